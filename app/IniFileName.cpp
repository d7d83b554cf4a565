#include "IniFileName.h"

#include "FileChecks.h"
#include "UserConfigDirectory.h"

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

std::string SettingsFilePathFor(const std::string& AExePath) {
  const std::string Folder = ExecutableDirectory(AExePath);
  const std::string Beside = Folder + IniFileNameFor(AExePath);
  // A settings file that exists but cannot be written (or is no file) does
  // not count: the user's folder is the place then, as for an unwritable
  // folder.
  const bool WritableFileBeside = FileExists(Beside) && WritableFile(Beside);
  if (WritableFileBeside) return Beside;
  if (WritableFolder(Folder)) return Beside;
  const std::string UserFolder = UserConfigDirectory();
  if (UserFolder.empty()) return Beside;
  return UserFolder + "/" + IniFileNameFor(AExePath);
}
