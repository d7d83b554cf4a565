#include "ReplaceFile.h"

#include <windows.h>
// The system names a call of its own ReplaceFile; ours is meant.
#undef ReplaceFile

#include <algorithm>
#include <cctype>
#include <random>

#include "WideText.h"

using dravik::windows::WideFromUtf8;

namespace {

std::string DirectoryOf(const std::string& APath) {
  const size_t Slash = APath.rfind('/');
  return Slash == std::string::npos ? std::string(".") : APath.substr(0, Slash);
}

std::string BaseName(const std::string& APath) {
  const size_t Slash = APath.rfind('/');
  return Slash == std::string::npos ? APath : APath.substr(Slash + 1);
}

// The temporary file's name for APath: the name, a dot and six letters or
// digits, as the other systems' writers make it.
std::string TemporaryName(const std::string& APath) {
  static const char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937 Random(std::random_device{}());
  std::uniform_int_distribution<size_t> Pick(0, sizeof(Letters) - 2);
  std::string Name = APath + ".";
  for (int Index = 0; Index < 6; ++Index) Name += Letters[Pick(Random)];
  return Name;
}

bool IsTemporaryName(const std::string& AName, const std::string& ABase) {
  if (AName.size() != ABase.size() + 7 || AName.compare(0, ABase.size(), ABase) != 0 ||
      AName[ABase.size()] != '.')
    return false;
  for (size_t I = ABase.size() + 1; I < AName.size(); ++I)
    if (!std::isalnum(static_cast<unsigned char>(AName[I]))) return false;
  return true;
}

void RemoveLeftovers(const std::string& APath) {
  const std::string Folder = DirectoryOf(APath);
  const std::string Base = BaseName(APath);
  WIN32_FIND_DATAW Found{};
  const HANDLE Search = FindFirstFileW(WideFromUtf8(APath + ".??????").c_str(), &Found);
  if (Search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string Name = dravik::windows::Utf8FromWide(Found.cFileName);
    const bool PlainFile =
        (Found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
    if (PlainFile && IsTemporaryName(Name, Base))
      DeleteFileW(WideFromUtf8(Folder + "/" + Name).c_str());
  } while (FindNextFileW(Search, &Found));
  FindClose(Search);
}

bool WriteAll(HANDLE AFile, const std::string& AContent) {
  size_t Written = 0;
  while (Written < AContent.size()) {
    const DWORD Chunk = static_cast<DWORD>(std::min<size_t>(AContent.size() - Written, 1 << 20));
    DWORD Count = 0;
    if (!WriteFile(AFile, AContent.data() + Written, Chunk, &Count, nullptr) || Count == 0)
      return false;
    Written += Count;
  }
  return true;
}

bool RewriteInPlace(const std::string& APath, const std::string& AContent) {
  const HANDLE File = CreateFileW(WideFromUtf8(APath).c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (File == INVALID_HANDLE_VALUE) return false;
  bool Ok = WriteAll(File, AContent) && FlushFileBuffers(File);
  Ok = CloseHandle(File) && Ok;
  return Ok;
}

// Puts the temporary file in the name's place. A reader that opened the old
// file without sharing its deletion (another program, a virus scanner) holds
// the name for a moment: the move is tried again for up to a second.
bool MoveIntoPlace(const std::wstring& ATemporary, const std::wstring& APath, DWORD AFlags) {
  for (int Attempt = 0;; ++Attempt) {
    if (MoveFileExW(ATemporary.c_str(), APath.c_str(), AFlags)) return true;
    const DWORD Error = GetLastError();
    const bool Held = Error == ERROR_SHARING_VIOLATION || Error == ERROR_ACCESS_DENIED ||
                      Error == ERROR_LOCK_VIOLATION;
    if (!Held || Attempt >= 100) return false;
    Sleep(10);
  }
}

}  // namespace

bool ReplaceFile(const std::string& APath, const std::string& AContent,
                 const TReplaceOptions& AOptions) {
  const std::wstring Path = WideFromUtf8(APath);
  const DWORD Attributes = GetFileAttributesW(Path.c_str());
  const bool Existed = Attributes != INVALID_FILE_ATTRIBUTES;
  if (Existed && AOptions.OnlyIfAbsent) return true;

  if (AOptions.RemoveLeftovers) RemoveLeftovers(APath);
  // The new file takes the permissions its folder hands down: the modes of
  // the other systems have no meaning here.
  std::wstring Temporary;
  HANDLE File = INVALID_HANDLE_VALUE;
  for (int Attempt = 0; Attempt < 100 && File == INVALID_HANDLE_VALUE; ++Attempt) {
    Temporary = WideFromUtf8(TemporaryName(APath));
    File = CreateFileW(Temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (File == INVALID_HANDLE_VALUE) {
    const DWORD Error = GetLastError();
    const bool FolderRefuses = Error == ERROR_ACCESS_DENIED || Error == ERROR_WRITE_PROTECT;
    return AOptions.InPlaceWhenFolderRefuses && Existed && FolderRefuses &&
           RewriteInPlace(APath, AContent);
  }
  bool Ok = WriteAll(File, AContent);
  if (AOptions.Durable) Ok = Ok && FlushFileBuffers(File);
  Ok = CloseHandle(File) && Ok;
  if (Ok && AOptions.OnlyIfAbsent) {
    // A move without replacing fails when the name is taken: a file that
    // appeared meanwhile wins.
    if (!MoveFileExW(Temporary.c_str(), Path.c_str(), MOVEFILE_WRITE_THROUGH)) {
      const DWORD Error = GetLastError();
      Ok = Error == ERROR_ALREADY_EXISTS || Error == ERROR_FILE_EXISTS;
      DeleteFileW(Temporary.c_str());
    }
    return Ok;
  }
  const DWORD Flags = MOVEFILE_REPLACE_EXISTING | (AOptions.Durable ? MOVEFILE_WRITE_THROUGH : 0);
  Ok = Ok && MoveIntoPlace(Temporary, Path, Flags);
  if (!Ok) DeleteFileW(Temporary.c_str());
  return Ok;
}
