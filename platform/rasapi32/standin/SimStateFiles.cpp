#include "SimStateFiles.h"

#include <windows.h>

#include "WideText.h"

namespace dravik::ras {

using dravik::windows::WideFromUtf8;

bool FileStartsWith(const std::string& APath, const std::string& APrefix, size_t AMaxBytes) {
  // Shared for deletion too: a writer replaces the file while it is read.
  const HANDLE File = CreateFileW(WideFromUtf8(APath).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (File == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION Info{};
  bool Same =
      GetFileInformationByHandle(File, &Info) &&
      (Info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
      Info.nFileSizeHigh == 0 && Info.nFileSizeLow <= AMaxBytes;
  std::string Start(APrefix.size(), '\0');
  size_t Got = 0;
  while (Same && Got < Start.size()) {
    DWORD Count = 0;
    if (!ReadFile(File, Start.data() + Got, static_cast<DWORD>(Start.size() - Got), &Count,
                  nullptr) ||
        Count == 0)
      Same = false;
    Got += Count;
  }
  CloseHandle(File);
  return Same && Start == APrefix;
}

TSimStateLock::TSimStateLock(const std::string& APath) {
  const HANDLE File = CreateFileW(WideFromUtf8(APath).c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (File == INVALID_HANDLE_VALUE) {
    FProblem = "the simulated service's lock " + APath + " cannot be opened: error " +
               std::to_string(GetLastError());
    return;
  }
  OVERLAPPED Whole{};
  if (!LockFileEx(File, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &Whole)) {
    FProblem = "the simulated service's lock " + APath + " cannot be taken: error " +
               std::to_string(GetLastError());
    CloseHandle(File);
    return;
  }
  FFile = reinterpret_cast<intptr_t>(File);
}

TSimStateLock::~TSimStateLock() {
  if (FFile == -1) return;
  // Closing the handle lets go of its lock.
  CloseHandle(reinterpret_cast<HANDLE>(FFile));
}

}  // namespace dravik::ras
