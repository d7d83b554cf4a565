#include "ReadBoundedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>

TFileRead ReadBoundedFile(const std::string& APath, size_t AMaxBytes, std::string& AText,
                          bool AFollowLinks) {
  AText.clear();
  // Opened without blocking, so that a FIFO or a device under the name cannot
  // stop the caller; the check below then refuses it.
  const int Fd =
      ::open(APath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (AFollowLinks ? 0 : O_NOFOLLOW));
  if (Fd < 0)
    return errno == ENOENT || errno == ENOTDIR ? TFileRead::Missing : TFileRead::CannotOpen;
  struct stat Info {};
  TFileRead Result = TFileRead::Read;
  if (::fstat(Fd, &Info) != 0 || !S_ISREG(Info.st_mode) ||
      static_cast<uint64_t>(Info.st_size) > AMaxBytes) {
    Result = TFileRead::Refused;
  } else {
    try {
      AText.reserve(static_cast<size_t>(Info.st_size));
      char Buffer[65536];
      for (;;) {
        const ssize_t Count = ::read(Fd, Buffer, sizeof(Buffer));
        if (Count == 0) break;
        if (Count < 0) {
          if (errno == EINTR) continue;
          Result = TFileRead::Refused;
          break;
        }
        AText.append(Buffer, static_cast<size_t>(Count));
        // The file may have grown since it was measured.
        if (AText.size() > AMaxBytes) {
          Result = TFileRead::Refused;
          break;
        }
      }
    } catch (const std::bad_alloc&) {
      // More than fits in memory.
      Result = TFileRead::Refused;
    }
  }
  ::close(Fd);
  if (Result != TFileRead::Read) AText.clear();
  return Result;
}
