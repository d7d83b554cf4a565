#include "ReplaceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    const ssize_t Count = ::write(AFd, AContent.data() + Written, AContent.size() - Written);
    if (Count < 0 && errno == EINTR) continue;
    if (Count <= 0) return false;
    Written += static_cast<size_t>(Count);
  }
  return true;
}

}  // namespace

bool ReplaceFile(const std::string& APath, const std::string& AContent,
                 const TReplaceOptions& AOptions) {
  struct stat Old {};
  const bool Existed = ::stat(APath.c_str(), &Old) == 0;
  if (Existed && AOptions.OnlyIfAbsent) return true;

  std::string Temporary = APath + ".XXXXXX";
  const int Fd = ::mkostemp(Temporary.data(), O_CLOEXEC);
  if (Fd < 0) return false;
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
