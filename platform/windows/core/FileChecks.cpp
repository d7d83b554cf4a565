#include "FileChecks.h"

#include <windows.h>

#include <string>

#include "WideText.h"

using dravik::windows::WideFromUtf8;

std::string ResolvedLinkTarget(const std::string& AFileName) {
  // Links are rare on this system and replacing the file replaces the link
  // itself; the name is written as it is.
  return AFileName;
}

bool FileExists(const std::string& AFileName) {
  const DWORD Attributes = GetFileAttributesW(WideFromUtf8(AFileName).c_str());
  return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool WritableFile(const std::string& AFileName) {
  const std::wstring Name = WideFromUtf8(AFileName);
  const DWORD Attributes = GetFileAttributesW(Name.c_str());
  if (Attributes == INVALID_FILE_ATTRIBUTES) return true;
  if ((Attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) return false;
  // The file's permissions are asked by opening it for writing, as only the
  // system can weigh them.
  const HANDLE File = CreateFileW(Name.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (File == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
  CloseHandle(File);
  return true;
}

bool WritableFolder(const std::string& AFolder) {
  if (AFolder.empty()) return false;
  // A folder's read-only mark says nothing about who may write in it (the
  // programs folder has none and refuses users): a probe file answers, and
  // is gone when its handle closes.
  const std::string Probe = AFolder + (AFolder.back() == '/' ? "" : "/") + ".dravik-write-check-" +
                            std::to_string(GetCurrentProcessId()) + "-" +
                            std::to_string(GetTickCount64());
  const HANDLE File = CreateFileW(
      WideFromUtf8(Probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (File == INVALID_HANDLE_VALUE) return false;
  CloseHandle(File);
  return true;
}
