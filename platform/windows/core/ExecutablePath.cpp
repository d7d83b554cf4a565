#include "ExecutablePath.h"

#include <windows.h>

#include "WideText.h"

std::string ExecutablePath() {
  std::wstring Buffer(MAX_PATH, L'\0');
  // Long paths (up to the system's 32 767 characters) need a larger buffer;
  // a cut name is reported by a length equal to the buffer's.
  for (;;) {
    const DWORD Length =
        GetModuleFileNameW(nullptr, Buffer.data(), static_cast<DWORD>(Buffer.size()));
    if (Length == 0) return {};
    if (Length < Buffer.size()) {
      Buffer.resize(Length);
      break;
    }
    if (Buffer.size() >= 32768) return {};
    Buffer.resize(Buffer.size() * 2);
  }
  return dravik::windows::ForwardSlashes(dravik::windows::Utf8FromWide(Buffer));
}
