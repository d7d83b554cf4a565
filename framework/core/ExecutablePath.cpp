#include "ExecutablePath.h"

#include <unistd.h>

#include <climits>

std::string ExecutablePath() {
  char Buffer[PATH_MAX];
  const ssize_t Length = ::readlink("/proc/self/exe", Buffer, sizeof(Buffer));
  if (Length <= 0 || static_cast<size_t>(Length) >= sizeof(Buffer)) return {};
  std::string Path(Buffer, static_cast<size_t>(Length));
  // An executable replaced while it runs (a package upgrade) is reported with
  // this mark; what belongs beside it belongs beside the new file of the
  // same name.
  const std::string Deleted = " (deleted)";
  if (Path.size() > Deleted.size() &&
      Path.compare(Path.size() - Deleted.size(), Deleted.size(), Deleted) == 0)
    Path.resize(Path.size() - Deleted.size());
  return Path;
}
