#include "FileChecks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace {

std::string DirectoryOf(const std::string& APath) {
  const size_t Slash = APath.rfind('/');
  if (Slash == std::string::npos) return ".";
  return Slash == 0 ? "/" : APath.substr(0, Slash);
}

}  // namespace

std::string ResolvedLinkTarget(const std::string& AFileName) {
  std::string Path = AFileName;
  // As many links as the system itself follows in one path.
  for (int Hops = 0; Hops < 40; ++Hops) {
    struct stat Info {};
    if (::lstat(Path.c_str(), &Info) != 0 || !S_ISLNK(Info.st_mode)) return Path;
    char Text[PATH_MAX];
    const ssize_t Length = ::readlink(Path.c_str(), Text, sizeof(Text));
    if (Length <= 0 || static_cast<size_t>(Length) >= sizeof(Text)) return {};
    const std::string Link(Text, static_cast<size_t>(Length));
    Path = Link.front() == '/' ? Link : DirectoryOf(Path) + "/" + Link;
  }
  return {};
}

bool FileExists(const std::string& AFileName) {
  struct stat Info {};
  return ::stat(AFileName.c_str(), &Info) == 0 && S_ISREG(Info.st_mode);
}

bool WritableFile(const std::string& AFileName) {
  struct stat Info {};
  if (::stat(AFileName.c_str(), &Info) != 0) return true;
  return S_ISREG(Info.st_mode) && (Info.st_mode & 0222) != 0 &&
         ::access(AFileName.c_str(), W_OK) == 0;
}

bool WritableFolder(const std::string& AFolder) {
  return !AFolder.empty() && ::access(AFolder.c_str(), W_OK | X_OK) == 0;
}
