#include "Windows.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace {

struct TShowCommandName {
  const char* Name;
  int Command;
};

constexpr TShowCommandName ShowCommandNames[] = {
    {"SW_HIDE", SW_HIDE},
    {"SW_SHOWNORMAL", SW_SHOWNORMAL},
    {"SW_SHOWMINIMIZED", SW_SHOWMINIMIZED},
    {"SW_SHOW", SW_SHOW},
    {"SW_MINIMIZE", SW_MINIMIZE},
    {"SW_SHOWMINNOACTIVE", SW_SHOWMINNOACTIVE},
    {"SW_RESTORE", SW_RESTORE},
};

bool ParseShowCommand(const char* AText, int& ACommand) {
  if (AText == nullptr || std::strlen(AText) > 32) return false;
  for (const TShowCommandName& Entry : ShowCommandNames) {
    if (std::strcmp(AText, Entry.Name) == 0 || std::to_string(Entry.Command) == AText) {
      ACommand = Entry.Command;
      return true;
    }
  }
  return false;
}

std::mutex WindowsLock;
std::map<HWND, bool>& WindowVisibility() {
  static std::map<HWND, bool> Visibility;
  return Visibility;
}

}  // namespace

void WINAPI GetStartupInfoA(STARTUPINFOA* lpStartupInfo) {
  const DWORD Size = lpStartupInfo->cb;
  *lpStartupInfo = STARTUPINFOA{};
  lpStartupInfo->cb = Size;
  int Command = 0;
  if (ParseShowCommand(std::getenv("DRAVIK_SHOW_STATE"), Command)) {
    lpStartupInfo->dwFlags = STARTF_USESHOWWINDOW;
    lpStartupInfo->wShowWindow = static_cast<WORD>(Command);
  }
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  std::lock_guard<std::mutex> Guard(WindowsLock);
  auto& Visibility = WindowVisibility();
  const auto Found = Visibility.find(hWnd);
  const bool WasVisible = Found == Visibility.end() || Found->second;
  Visibility[hWnd] = nCmdShow != SW_HIDE;
  return WasVisible ? 1 : 0;
}

BOOL WINAPI IsWindowVisible(HWND hWnd) {
  std::lock_guard<std::mutex> Guard(WindowsLock);
  const auto Found = WindowVisibility().find(hWnd);
  return Found == WindowVisibility().end() || Found->second ? 1 : 0;
}
