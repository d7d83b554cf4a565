#include "IniFileName.h"

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
