#include "SimStateFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dravik::ras {

bool FileStartsWith(const std::string& APath, const std::string& APrefix, size_t AMaxBytes) {
  const int Fd = open(APath.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (Fd < 0) return false;
  struct stat Info;
  bool Same = fstat(Fd, &Info) == 0 && S_ISREG(Info.st_mode) &&
              static_cast<uint64_t>(Info.st_size) <= AMaxBytes;
  std::string Start(APrefix.size(), '\0');
  size_t Got = 0;
  while (Same && Got < Start.size()) {
    const ssize_t Count = read(Fd, Start.data() + Got, Start.size() - Got);
    if (Count < 0 && errno == EINTR) continue;
    if (Count <= 0) Same = false;
    if (Count > 0) Got += static_cast<size_t>(Count);
  }
  close(Fd);
  return Same && Start == APrefix;
}

TSimStateLock::TSimStateLock(const std::string& APath) {
  const int Fd = open(APath.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (Fd < 0) {
    FProblem =
        "the simulated service's lock " + APath + " cannot be opened: " + std::strerror(errno);
    return;
  }
  // Only a regular file of ours can be the lock.
  struct stat Info;
  if (fstat(Fd, &Info) != 0 || !S_ISREG(Info.st_mode)) {
    close(Fd);
    FProblem = "the simulated service's lock " + APath + " is not a plain file";
    return;
  }
  while (flock(Fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      close(Fd);
      FProblem =
          "the simulated service's lock " + APath + " cannot be taken: " + std::strerror(errno);
      return;
    }
  }
  FFile = Fd;
}

TSimStateLock::~TSimStateLock() {
  if (FFile >= 0) close(static_cast<int>(FFile));
}

}  // namespace dravik::ras
