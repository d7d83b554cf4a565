#include "ShellApi.h"
#include "WinUser.h"

bool DesktopAvailable() { return true; }

bool NotificationAreaExists() { return FindWindowA("Shell_TrayWnd", nullptr) != nullptr; }
