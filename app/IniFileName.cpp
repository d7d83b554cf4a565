#include "IniFileName.h"

#include <unistd.h>

#include <climits>

std::string ExecutablePath() {
  char Buffer[PATH_MAX];
  const ssize_t Length = ::readlink("/proc/self/exe", Buffer, sizeof(Buffer));
  if (Length <= 0 || static_cast<size_t>(Length) >= sizeof(Buffer)) return {};
  std::string Path(Buffer, static_cast<size_t>(Length));
  // An executable replaced while it runs (a package upgrade) is reported with
  // this mark; the settings belong beside the new file of the same name.
  const std::string Deleted = " (deleted)";
  if (Path.size() > Deleted.size() &&
      Path.compare(Path.size() - Deleted.size(), Deleted.size(), Deleted) == 0)
    Path.resize(Path.size() - Deleted.size());
  return Path;
}

std::string ExecutableDirectory(const std::string& AExePath) {
  const size_t Slash = AExePath.rfind('/');
  return Slash == std::string::npos ? std::string() : AExePath.substr(0, Slash + 1);
}

std::string IniFileNameFor(const std::string& AExePath) {
  const size_t Slash = AExePath.rfind('/');
  std::string Name = Slash == std::string::npos ? AExePath : AExePath.substr(Slash + 1);
  // Bytes only: the bytes of multi-byte characters are never letters here.
  for (char& Byte : Name)
    if (Byte >= 'A' && Byte <= 'Z') Byte = static_cast<char>(Byte - 'A' + 'a');
  Name.resize(Name.size() > 3 ? Name.size() - 3 : 0);
  return Name + "ini";
}
