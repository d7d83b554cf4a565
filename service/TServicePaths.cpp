#include "TServicePaths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// The first of a colon-separated list of folders systemd hands over, if set.
std::string FirstOfList(const char* AVariable) {
  const char* Value = std::getenv(AVariable);
  if (Value == nullptr || *Value != '/') return {};
  const std::string Text = Value;
  return Text.substr(0, Text.find(':'));
}

std::string UserDir(const char* AVariable, const char* AFallback) {
  const char* Value = std::getenv(AVariable);
  if (Value != nullptr && *Value == '/') return Value;
  const char* Home = std::getenv("HOME");
  return std::string(Home != nullptr && *Home == '/' ? Home : "") + AFallback;
}

}  // namespace

std::string DefaultServiceConfigFile() {
  std::string Dir = FirstOfList("CONFIGURATION_DIRECTORY");
  if (Dir.empty())
    Dir = geteuid() == 0 ? "/etc/dravik" : UserDir("XDG_CONFIG_HOME", "/.config") + "/dravik";
  return Dir + "/dravikd.conf";
}

std::string ServiceStateDir() {
  const std::string Dir = FirstOfList("STATE_DIRECTORY");
  if (!Dir.empty()) return Dir;
  if (geteuid() == 0) return "/var/lib/dravik";
  return UserDir("XDG_STATE_HOME", "/.local/state") + "/dravik";
}

std::string ServiceStateDirFor(const std::string& AConfigFile, const std::string& AStateDirKey) {
  if (!AStateDirKey.empty()) return AStateDirKey;
  if (!FirstOfList("STATE_DIRECTORY").empty() || geteuid() != 0) return ServiceStateDir();
  const std::string SystemFolder = "/etc/dravik/";
  const std::string Suffix = ".conf";
  if (AConfigFile.size() > SystemFolder.size() + Suffix.size() &&
      AConfigFile.compare(0, SystemFolder.size(), SystemFolder) == 0 &&
      AConfigFile.compare(AConfigFile.size() - Suffix.size(), Suffix.size(), Suffix) == 0) {
    const std::string Name = AConfigFile.substr(
        SystemFolder.size(), AConfigFile.size() - SystemFolder.size() - Suffix.size());
    // systemd's instance names never hold a slash; dravikd.conf is the
    // plain unit's own.
    if (Name != "dravikd" && Name.find('/') == std::string::npos && Name[0] != '.')
      return "/var/lib/dravik/" + Name;
  }
  return ServiceStateDir();
}

std::string ServiceTokenFileFor(const std::string& AConfigFile, const std::string& AStateDirKey,
                                const std::string& ATokenFileKey) {
  if (!ATokenFileKey.empty()) return ATokenFileKey;
  return ServiceStateDirFor(AConfigFile, AStateDirKey) + "/token";
}

std::string MakePrivateDir(const std::string& APath) {
  for (size_t Slash = APath.find('/', 1); Slash != std::string::npos;
       Slash = APath.find('/', Slash + 1)) {
    const std::string Parent = APath.substr(0, Slash);
    if (mkdir(Parent.c_str(), 0755) != 0 && errno != EEXIST)
      return Parent + ": " + std::strerror(errno);
  }
  if (mkdir(APath.c_str(), 0700) != 0 && errno != EEXIST)
    return APath + ": " + std::strerror(errno);
  struct stat Info;
  if (stat(APath.c_str(), &Info) != 0 || !S_ISDIR(Info.st_mode)) return APath + ": not a folder";
  return {};
}
