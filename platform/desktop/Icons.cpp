#include <cstring>
#include <map>
#include <mutex>

#include "IconTable.h"

namespace {

constexpr int MaxIconSide = 256;

std::mutex Lock;
std::map<HICON, QImage>& Icons() {
  static std::map<HICON, QImage> Made;
  return Made;
}
// Handles only grow and stay within 32 bits, as icon handles do.
uintptr_t NextHandle = 0x20000;

}  // namespace

HICON WINAPI CreateIcon(HINSTANCE, int nWidth, int nHeight, BYTE cPlanes, BYTE cBitsPixel,
                        const BYTE*, const BYTE* lpbXORbits) {
  if (nWidth < 1 || nHeight < 1 || nWidth > MaxIconSide || nHeight > MaxIconSide ||
      lpbXORbits == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (cPlanes != 1 || cBitsPixel != 32) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  QImage Picture(nWidth, nHeight, QImage::Format_ARGB32);
  const size_t RowBytes = static_cast<size_t>(nWidth) * 4;
  for (int Row = 0; Row < nHeight; ++Row)
    std::memcpy(Picture.scanLine(Row), lpbXORbits + RowBytes * static_cast<size_t>(Row), RowBytes);
  std::lock_guard<std::mutex> Guard(Lock);
  NextHandle += 4;
  const HICON Handle = reinterpret_cast<HICON>(NextHandle);
  Icons()[Handle] = Picture;
  return Handle;
}

BOOL WINAPI DestroyIcon(HICON hIcon) {
  std::lock_guard<std::mutex> Guard(Lock);
  if (Icons().erase(hIcon) == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return 1;
}

QImage IconImage(HICON AIcon) {
  std::lock_guard<std::mutex> Guard(Lock);
  const auto Found = Icons().find(AIcon);
  return Found == Icons().end() ? QImage() : Found->second;
}
