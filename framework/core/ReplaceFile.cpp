#include "ReplaceFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace {

std::string DirectoryOf(const std::string& APath) {
  const size_t Slash = APath.rfind('/');
  if (Slash == std::string::npos) return ".";
  return Slash == 0 ? "/" : APath.substr(0, Slash);
}

bool WriteAll(int AFd, const std::string& AContent) {
  size_t Written = 0;
  while (Written < AContent.size()) {
    const ssize_t Count = ::pwrite(AFd, AContent.data() + Written, AContent.size() - Written,
                                   static_cast<off_t>(Written));
    if (Count < 0 && errno == EINTR) continue;
    if (Count <= 0) return false;
    Written += static_cast<size_t>(Count);
  }
  return true;
}

// The name mkostemp gives a temporary file for ABase: the base name, a dot
// and six letters or digits.
bool IsTemporaryName(const std::string& AName, const std::string& ABase) {
  if (AName.size() != ABase.size() + 7 || AName.compare(0, ABase.size(), ABase) != 0 ||
      AName[ABase.size()] != '.')
    return false;
  for (size_t I = ABase.size() + 1; I < AName.size(); ++I)
    if (!std::isalnum(static_cast<unsigned char>(AName[I]))) return false;
  return true;
}

void RemoveLeftovers(const std::string& APath) {
  const size_t Slash = APath.rfind('/');
  const std::string Base = Slash == std::string::npos ? APath : APath.substr(Slash + 1);
  DIR* Listing = ::opendir(DirectoryOf(APath).c_str());
  if (Listing == nullptr) return;
  while (const dirent* Entry = ::readdir(Listing)) {
    const std::string Name = Entry->d_name;
    if (!IsTemporaryName(Name, Base)) continue;
    struct stat Info {};
    if (::fstatat(::dirfd(Listing), Name.c_str(), &Info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(Info.st_mode) && Info.st_uid == ::geteuid())
      ::unlinkat(::dirfd(Listing), Name.c_str(), 0);
  }
  ::closedir(Listing);
}

bool RewriteInPlace(const std::string& APath, const std::string& AContent) {
  const int Fd = ::open(APath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (Fd < 0) return false;
  struct stat Info {};
  bool Ok = ::fstat(Fd, &Info) == 0 && S_ISREG(Info.st_mode);
  Ok = Ok && WriteAll(Fd, AContent);
  Ok = Ok && ::ftruncate(Fd, static_cast<off_t>(AContent.size())) == 0;
  Ok = Ok && ::fsync(Fd) == 0;
  Ok = ::close(Fd) == 0 && Ok;
  return Ok;
}

}  // namespace

bool ReplaceFile(const std::string& APath, const std::string& AContent,
                 const TReplaceOptions& AOptions) {
  struct stat Old {};
  const bool Existed = ::stat(APath.c_str(), &Old) == 0;
  if (Existed && AOptions.OnlyIfAbsent) return true;

  if (AOptions.RemoveLeftovers) RemoveLeftovers(APath);
  std::string Temporary = APath + ".XXXXXX";
  const int Fd = ::mkostemp(Temporary.data(), O_CLOEXEC);
  if (Fd < 0) {
    const bool FolderRefuses = errno == EACCES || errno == EPERM || errno == EROFS;
    return AOptions.InPlaceWhenFolderRefuses && Existed && FolderRefuses &&
           RewriteInPlace(APath, AContent);
  }
  const bool KeepOld = Existed && AOptions.KeepOldMode;
  bool Ok = ::fchmod(Fd, KeepOld ? (Old.st_mode & 07777) : AOptions.NewFileMode) == 0;
  if (Ok && KeepOld && ::geteuid() == 0) Ok = ::fchown(Fd, Old.st_uid, Old.st_gid) == 0;
  Ok = Ok && WriteAll(Fd, AContent);
  if (AOptions.Durable) Ok = Ok && ::fsync(Fd) == 0;
  Ok = ::close(Fd) == 0 && Ok;
  if (AOptions.OnlyIfAbsent) {
    // A link fails when the name is taken: a file that appeared meanwhile wins.
    Ok = Ok && (::link(Temporary.c_str(), APath.c_str()) == 0 || errno == EEXIST);
    ::unlink(Temporary.c_str());
  } else {
    Ok = Ok && ::rename(Temporary.c_str(), APath.c_str()) == 0;
    if (!Ok) ::unlink(Temporary.c_str());
  }
  if (!Ok) return false;
  if (AOptions.Durable) {
    const int Directory = ::open(DirectoryOf(APath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Directory >= 0) {
      ::fsync(Directory);
      ::close(Directory);
    }
  }
  return true;
}
