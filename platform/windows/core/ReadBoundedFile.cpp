#include "ReadBoundedFile.h"

#include <windows.h>

#include <cstdint>
#include <new>

#include "WideText.h"

TFileRead ReadBoundedFile(const std::string& APath, size_t AMaxBytes, std::string& AText,
                          bool AFollowLinks) {
  AText.clear();
  // Shared for writing and deleting too: a writer replaces the file whole
  // while it may be read, as on the other systems.
  const HANDLE File = CreateFileW(
      dravik::windows::WideFromUtf8(APath).c_str(), GENERIC_READ,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
      FILE_ATTRIBUTE_NORMAL | (AFollowLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr);
  if (File == INVALID_HANDLE_VALUE) {
    const DWORD Error = GetLastError();
    return Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND ? TFileRead::Missing
                                                                          : TFileRead::CannotOpen;
  }
  BY_HANDLE_FILE_INFORMATION Info{};
  TFileRead Result = TFileRead::Read;
  if (!GetFileInformationByHandle(File, &Info)) {
    Result = TFileRead::Refused;
  } else if (!AFollowLinks && (Info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    // A link is not followed, as a link is refused at opening elsewhere.
    Result = TFileRead::CannotOpen;
  } else {
    const uint64_t Size = (static_cast<uint64_t>(Info.nFileSizeHigh) << 32) | Info.nFileSizeLow;
    const bool Regular = GetFileType(File) == FILE_TYPE_DISK &&
                         (Info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    if (!Regular || Size > AMaxBytes) Result = TFileRead::Refused;
  }
  if (Result == TFileRead::Read) {
    try {
      char Buffer[65536];
      for (;;) {
        DWORD Count = 0;
        if (!ReadFile(File, Buffer, sizeof(Buffer), &Count, nullptr)) {
          Result = TFileRead::Refused;
          break;
        }
        if (Count == 0) break;
        AText.append(Buffer, Count);
        // The file may have grown since it was measured.
        if (AText.size() > AMaxBytes) {
          Result = TFileRead::Refused;
          break;
        }
      }
    } catch (const std::bad_alloc&) {
      Result = TFileRead::Refused;
    }
  }
  CloseHandle(File);
  if (Result != TFileRead::Read) AText.clear();
  return Result;
}
