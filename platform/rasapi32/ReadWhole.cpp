#include "ReadWhole.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace dravik::ras {

bool ReadWhole(int AFd, size_t AMaxBytes, std::string& AText) {
  struct stat Info;
  if (fstat(AFd, &Info) != 0 || !S_ISREG(Info.st_mode)) return false;
  if (static_cast<size_t>(Info.st_size) > AMaxBytes) return false;
  AText.resize(static_cast<size_t>(Info.st_size));
  size_t Done = 0;
  while (Done < AText.size()) {
    const ssize_t Got = read(AFd, &AText[Done], AText.size() - Done);
    if (Got < 0 && errno == EINTR) continue;
    if (Got <= 0) break;
    Done += static_cast<size_t>(Got);
  }
  AText.resize(Done);
  return true;
}

}  // namespace dravik::ras
