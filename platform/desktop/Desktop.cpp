#include <cstdlib>

#include "WinUser.h"

bool DesktopAvailable() {
  const char* Platform = std::getenv("QT_QPA_PLATFORM");
  return (Platform != nullptr && *Platform != '\0') || std::getenv("DISPLAY") != nullptr ||
         std::getenv("WAYLAND_DISPLAY") != nullptr;
}
