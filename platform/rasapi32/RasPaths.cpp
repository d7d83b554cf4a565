#include "RasPaths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "UserConfigDirectory.h"

namespace dravik::ras {

namespace {

bool MakeParents(const std::string& APath, std::string& AProblem);

// Creates the folder with mode 0700 after its missing parents; one that
// another process created meanwhile will do.
bool MakeFolder(const std::string& APath, std::string& AProblem) {
  const size_t Slash = APath.rfind('/');
  if (Slash != std::string::npos && Slash > 0 && !MakeParents(APath.substr(0, Slash), AProblem)) {
    return false;
  }
  if (mkdir(APath.c_str(), 0700) != 0 && errno != EEXIST) {
    AProblem = "cannot create " + APath + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

// Parents above our folders (/home/user/.config, ...) may belong to others;
// they only have to exist.
bool MakeParents(const std::string& APath, std::string& AProblem) {
  struct stat Info;
  if (stat(APath.c_str(), &Info) == 0) {
    if (S_ISDIR(Info.st_mode)) return true;
    AProblem = APath + " is not a folder";
    return false;
  }
  return MakeFolder(APath, AProblem);
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
    const std::string ConfigDir = UserConfigDirectory();
    // Without any home the configuration falls back to the runtime folder,
    // so that the service still works for a user without one.
    std::string RuntimeHome;
    Paths.RuntimeDir = FolderFromEnvironment("XDG_RUNTIME_DIR", RuntimeHome)
                           ? RuntimeHome + "/dravik-ras"
                           : "/tmp/dravik-ras-" + std::to_string(getuid());
    Paths.ConfigDir = ConfigDir.empty() ? Paths.RuntimeDir : ConfigDir;
  }
  Paths.ConfigFile = Paths.ConfigDir + "/ras.conf";
  Paths.PhonebookFile = Paths.ConfigDir + "/phonebook.ini";
  return Paths;
}

bool EnsurePrivateDir(const std::string& APath, bool AClosed, std::string& AProblem) {
  struct stat Info;
  if (lstat(APath.c_str(), &Info) != 0) {
    if (errno != ENOENT) {
      AProblem = "cannot examine " + APath + ": " + std::strerror(errno);
      return false;
    }
    if (!MakeFolder(APath, AProblem)) return false;
    if (lstat(APath.c_str(), &Info) != 0) {
      AProblem = "cannot examine " + APath + ": " + std::strerror(errno);
      return false;
    }
  }
  if (!S_ISDIR(Info.st_mode)) {
    AProblem = APath + " is not a folder";
    return false;
  }
  if (Info.st_uid != geteuid()) {
    AProblem = APath + " belongs to another user";
    return false;
  }
  if (AClosed && (Info.st_mode & 077) != 0) {
    AProblem = APath + " is open to other users (it must have mode 0700)";
    return false;
  }
  return true;
}

}  // namespace dravik::ras
