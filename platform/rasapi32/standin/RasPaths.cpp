// Where the stand-in keeps its files: DRAVIK_RAS_DIR when set, else the
// user's configuration folder with the runtime state under the system's
// folder for temporary files.

#include "RasPaths.h"

#include <windows.h>

#include <cstdlib>

#include "UserConfigDirectory.h"
#include "WideText.h"

namespace dravik::ras {

namespace {

using dravik::windows::WideFromUtf8;

bool MakeFolder(const std::string& APath, std::string& AProblem) {
  const size_t Slash = APath.rfind('/');
  // Parents first; a drive ("C:") or the share's root needs no making.
  if (Slash != std::string::npos && Slash > 2) {
    const std::string Parent = APath.substr(0, Slash);
    const DWORD Attributes = GetFileAttributesW(WideFromUtf8(Parent).c_str());
    if (Attributes == INVALID_FILE_ATTRIBUTES && !MakeFolder(Parent, AProblem)) return false;
  }
  if (!CreateDirectoryW(WideFromUtf8(APath).c_str(), nullptr) &&
      GetLastError() != ERROR_ALREADY_EXISTS) {
    AProblem = "cannot create " + APath + ": error " + std::to_string(GetLastError());
    return false;
  }
  return true;
}

}  // namespace

TRasPaths RasPaths() {
  TRasPaths Paths;
  std::string Dir;
  const char* Moved = std::getenv("DRAVIK_RAS_DIR");
  if (Moved != nullptr && *Moved != 0 && !FolderFromEnvironment("DRAVIK_RAS_DIR", Dir)) {
    Paths.Problem = "DRAVIK_RAS_DIR must be an absolute folder path";
    return Paths;
  }
  if (!Dir.empty()) {
    Paths.ConfigDir = Dir;
    Paths.RuntimeDir = Dir + "/run";
  } else {
    std::string Temporary;
    Paths.ConfigDir = UserConfigDirectory();
    Paths.RuntimeDir = FolderFromEnvironment("TEMP", Temporary) ? Temporary + "/dravik-ras"
                                                                : Paths.ConfigDir + "/run";
    if (Paths.ConfigDir.empty()) Paths.Problem = "neither DRAVIK_RAS_DIR nor APPDATA is set";
  }
  Paths.ConfigFile = Paths.ConfigDir + "/ras.conf";
  Paths.PhonebookFile = Paths.ConfigDir + "/phonebook.ini";
  return Paths;
}

// The folders take the permissions the user's own folders hand down: the
// owner and mode checks of the other systems have no counterpart here.
bool EnsurePrivateDir(const std::string& APath, bool /*AClosed*/, std::string& AProblem) {
  DWORD Attributes = GetFileAttributesW(WideFromUtf8(APath).c_str());
  if (Attributes == INVALID_FILE_ATTRIBUTES) {
    if (!MakeFolder(APath, AProblem)) return false;
    Attributes = GetFileAttributesW(WideFromUtf8(APath).c_str());
  }
  if (Attributes == INVALID_FILE_ATTRIBUTES || (Attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (Attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    AProblem = APath + " is not a folder";
    return false;
  }
  return true;
}

}  // namespace dravik::ras
