#include "TFleetConfig.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "ReadBoundedFile.h"

namespace {

constexpr size_t MaxPasswordBytes = 512;

std::string WholeNumber(const std::string& AValue, int AMin, int AMax, int& AField) {
  const std::string Range =
      "must be a whole number from " + std::to_string(AMin) + " to " + std::to_string(AMax);
  if (AValue.empty() || AValue.size() > 9 ||
      AValue.find_first_not_of("0123456789") != std::string::npos)
    return Range;
  const long Number = std::strtol(AValue.c_str(), nullptr, 10);
  if (Number < AMin || Number > AMax) return Range;
  AField = static_cast<int>(Number);
  return {};
}

bool IsHostName(const std::string& AText) {
  if (AText.empty() || AText.size() > 253) return false;
  for (const char C : AText) {
    const bool Fine = (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9') ||
                      C == '.' || C == '-';
    if (!Fine) return false;
  }
  return true;
}

std::string ReadRedis(const std::string& AValue, TFleetConfig& AConfig) {
  const std::string Form = "must be redis://[USER@]HOST[:PORT][/DB] or unix:///PATH";
  TFleetConfig Read = AConfig;
  Read.Host.clear();
  Read.Socket.clear();
  Read.User.clear();
  Read.Port = 6379;
  Read.Database = 0;
  if (AValue.rfind("unix://", 0) == 0) {
    Read.Socket = AValue.substr(7);
    // sockaddr_un's room, its final zero byte left out.
    if (Read.Socket.rfind('/', 0) != 0 || Read.Socket.size() > 107)
      return "unix:// takes an absolute path of at most 107 bytes";
  } else if (AValue.rfind("redis://", 0) == 0) {
    std::string Rest = AValue.substr(8);
    const size_t At = Rest.find('@');
    if (At != std::string::npos) {
      Read.User = Rest.substr(0, At);
      Rest = Rest.substr(At + 1);
      if (Read.User.find(':') != std::string::npos)
        return "holds a password: put it in password-file instead";
      if (!IsFleetName(Read.User)) return Form;
    }
    const size_t Slash = Rest.find('/');
    if (Slash != std::string::npos) {
      if (!WholeNumber(Rest.substr(Slash + 1), 0, 15, Read.Database).empty())
        return "the database must be a number from 0 to 15";
      Rest = Rest.substr(0, Slash);
    }
    const size_t Colon = Rest.find(':');
    if (Colon != std::string::npos) {
      if (!WholeNumber(Rest.substr(Colon + 1), 1, 65535, Read.Port).empty())
        return "the port must be a number from 1 to 65535";
      Rest = Rest.substr(0, Colon);
    }
    if (!IsHostName(Rest)) return Form;
    Read.Host = Rest;
  } else {
    return Form;
  }
  Read.Redis = AValue;
  AConfig = Read;
  return {};
}

}  // namespace

bool IsFleetName(const std::string& AText) {
  if (AText.empty() || AText.size() > 64) return false;
  for (const char C : AText) {
    const bool Fine = (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9') ||
                      C == '.' || C == '_' || C == '-';
    if (!Fine) return false;
  }
  return true;
}

std::string DefaultNodeName() {
  char Name[256] = {};
  if (gethostname(Name, sizeof Name - 1) != 0) return {};
  std::string Text(Name);
  if (Text.size() > 64) Text.resize(64);
  return IsFleetName(Text) ? Text : std::string();
}

std::string ReadFleetKey(const std::string& AKey, const std::string& AValue,
                         TFleetConfig& AConfig) {
  if (AKey == "redis") return ReadRedis(AValue, AConfig);
  if (AKey == "password-file") {
    if (AValue.rfind('/', 0) != 0) return "must be an absolute path";
    AConfig.PasswordFile = AValue;
    return {};
  }
  if (AKey == "node" || AKey == "prefix") {
    if (!IsFleetName(AValue)) return "must have 1 to 64 letters, digits, \".\", \"_\" or \"-\"";
    (AKey == "node" ? AConfig.Node : AConfig.Prefix) = AValue;
    return {};
  }
  if (AKey == "proxy") {
    if (AValue.empty() || AValue.size() > 512) return "must have 1 to 512 characters";
    if (AValue.find("{address}") == std::string::npos) return "must hold {address}";
    if (AValue.find_first_of("\"\\") != std::string::npos)
      return "must not hold a quote or a backslash";
    AConfig.Proxy = AValue;
    return {};
  }
  if (AKey == "max-offline") return WholeNumber(AValue, 0, 100000, AConfig.MaxOffline);
  if (AKey == "drain-seconds") return WholeNumber(AValue, 0, 3600, AConfig.DrainSeconds);
  return "unknown key";
}

std::string FinishFleetConfig(TFleetConfig& AConfig, std::string& AKey) {
  if (AConfig.Redis.empty()) {
    AKey = "redis";
    return "missing: name the fleet's Redis";
  }
  if (AConfig.Node.empty()) AConfig.Node = DefaultNodeName();
  if (AConfig.Node.empty()) {
    AKey = "node";
    return "missing, and the host name is no fit: name this node";
  }
  if (!AConfig.User.empty() && AConfig.PasswordFile.empty()) {
    AKey = "password-file";
    return "missing: a Redis user needs a password";
  }
  if (AConfig.PasswordFile.empty()) return {};
  AKey = "password-file";
  const std::string& Path = AConfig.PasswordFile;
  struct stat Info {};
  if (lstat(Path.c_str(), &Info) != 0) return Path + " cannot be read";
  if (!S_ISREG(Info.st_mode)) return Path + " is not a plain file";
  if ((Info.st_mode & 077) != 0)
    return Path + ": others may read or change it; it must have mode 0600";
  std::string Text;
  if (ReadBoundedFile(Path, MaxPasswordBytes, Text, false) != TFileRead::Read)
    return Path + " cannot be read, or is larger than 512 bytes";
  while (!Text.empty() && (Text.back() == '\n' || Text.back() == '\r')) Text.pop_back();
  if (Text.empty()) return Path + " holds no password";
  for (const unsigned char C : Text)
    if (C < 0x20 || C == 0x7F) return Path + ": the password holds control characters";
  AConfig.Password = Text;
  AKey.clear();
  return {};
}
