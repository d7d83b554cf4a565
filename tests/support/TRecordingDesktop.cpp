#include "TRecordingDesktop.h"

#include <cstring>
#include <stdexcept>

std::string NotifyRequestName(DWORD ARequest) {
  switch (ARequest) {
    case NIM_ADD:
      return "NIM_ADD";
    case NIM_MODIFY:
      return "NIM_MODIFY";
    case NIM_DELETE:
      return "NIM_DELETE";
    default:
      return "request " + std::to_string(ARequest);
  }
}

std::string TRecordingDesktop::TNotifyRequest::Tip() const {
  return std::string(Data.szTip, strnlen(Data.szTip, sizeof(Data.szTip)));
}

namespace {
std::string Text(LPCSTR AText) { return AText != nullptr ? AText : ""; }
}  // namespace

TRecordingDesktop::TRecordingDesktop() {
  ShellStandIns().NotifyIcon = [this](DWORD ARequest, const NOTIFYICONDATAA& AData) -> BOOL {
    if (FailNextNotify) {
      FailNextNotify = false;
      throw std::runtime_error("the shell stand-in refuses");
    }
    NotifyRequests.push_back({ARequest, AData});
    Calls.push_back("Shell_NotifyIconA " + NotifyRequestName(ARequest) + " " +
                    std::to_string(AData.uID));
    return NotifyResult;
  };
  ShellStandIns().NotificationAreaExists = [this] { return NotificationArea; };
  ShellStandIns().Execute = [this](HWND AOwner, LPCSTR AOperation, LPCSTR AFile, LPCSTR AParameters,
                                   LPCSTR ADirectory, int AShow) {
    OpenRequests.push_back(
        {AOwner, Text(AOperation), Text(AFile), Text(AParameters), Text(ADirectory), AShow});
    Calls.push_back("ShellExecuteA " + Text(AFile));
    return reinterpret_cast<HINSTANCE>(OpenResult);
  };
  InputStandIns().CursorPos = [this](POINT* APoint) -> BOOL {
    *APoint = Cursor;
    return 1;
  };
  InputStandIns().KeyState = [this](int AKey) -> SHORT {
    return KeysDown.count(AKey) != 0 ? static_cast<SHORT>(0x8000) : 0;
  };
  InputStandIns().ForegroundWindow = [this](HWND AWindow) -> BOOL {
    ForegroundRequests.push_back(AWindow);
    Calls.push_back("SetForegroundWindow");
    return 1;
  };
}

TRecordingDesktop::~TRecordingDesktop() {
  ShellStandIns() = TShellStandIns{};
  InputStandIns() = TInputStandIns{};
}

void TRecordingDesktop::Clear() {
  NotifyRequests.clear();
  OpenRequests.clear();
  ForegroundRequests.clear();
  Calls.clear();
}
