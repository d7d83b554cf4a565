#include "UserConfigDirectory.h"

#include <cstdlib>
#include <cstring>

bool FolderFromEnvironment(const char* AName, std::string& AFolder) {
  const char* Value = std::getenv(AName);
  if (Value == nullptr || Value[0] != '/' || std::strlen(Value) > 3000) return false;
  AFolder = Value;
  while (AFolder.size() > 1 && AFolder.back() == '/') AFolder.pop_back();
  return true;
}

std::string UserConfigDirectory() {
  std::string Folder;
  if (FolderFromEnvironment("XDG_CONFIG_HOME", Folder)) return Folder + "/dravik";
  if (FolderFromEnvironment("HOME", Folder)) return Folder + "/.config/dravik";
  return {};
}
