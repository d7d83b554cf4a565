#include "NmReaders.h"

#include <cstring>

#include "AddressPrefix.h"
#include "NmBus.h"
#include "NmTexts.h"

namespace dravik::ras::nm {

std::vector<std::string> ReadPaths(sd_bus_message* AMessage) {
  std::vector<std::string> Paths;
  if (sd_bus_message_enter_container(AMessage, SD_BUS_TYPE_ARRAY, "o") <= 0) return Paths;
  const char* Path = nullptr;
  while (sd_bus_message_read(AMessage, "o", &Path) > 0) {
    if (Paths.size() < MaxObjects) Paths.push_back(Path);
  }
  sd_bus_message_exit_container(AMessage);
  return Paths;
}

bool ReadSettings(
    sd_bus_message* AMessage,
    const std::function<bool(const std::string&, const std::string&, sd_bus_message*)>& AOn) {
  if (sd_bus_message_enter_container(AMessage, SD_BUS_TYPE_ARRAY, "{sa{sv}}") <= 0) return false;
  for (;;) {
    const int Entered = sd_bus_message_enter_container(AMessage, SD_BUS_TYPE_DICT_ENTRY, "sa{sv}");
    if (Entered < 0) return false;
    if (Entered == 0) break;
    const char* Setting = nullptr;
    if (sd_bus_message_read(AMessage, "s", &Setting) <= 0) return false;
    const std::string SettingName = Setting;
    const bool Read =
        ReadDictionary(AMessage, [&](const std::string& AKey, sd_bus_message* AValue) {
          return AOn(SettingName, AKey, AValue);
        });
    if (!Read || sd_bus_message_exit_container(AMessage) < 0) return false;
  }
  return sd_bus_message_exit_container(AMessage) >= 0;
}

std::string SecretSettingOf(const std::string& AType) {
  if (AType == "pppoe" || AType == "gsm" || AType == "cdma") return AType;
  return {};
}

bool ReadProfile(sd_bus_message* ASettings, const std::string& APath, TNmProfile& AProfile) {
  TNmProfile Profile;
  Profile.Path = APath;
  // NetworkManager leaves out settings at their default; autoconnect's is on.
  Profile.Autoconnect = true;
  std::string UserName;
  std::string UserNameSetting;
  const bool Read = ReadSettings(
      ASettings, [&](const std::string& ASetting, const std::string& AKey, sd_bus_message* AValue) {
        if (ASetting == "connection") {
          if (AKey == "id") return ReadVariantString(AValue, SD_BUS_TYPE_STRING, Profile.Id);
          if (AKey == "uuid") return ReadVariantString(AValue, SD_BUS_TYPE_STRING, Profile.Uuid);
          if (AKey == "type") return ReadVariantString(AValue, SD_BUS_TYPE_STRING, Profile.Type);
          if (AKey == "autoconnect") return ReadVariantBool(AValue, Profile.Autoconnect);
        } else if (AKey == "username" && !SecretSettingOf(ASetting).empty()) {
          UserNameSetting = ASetting;
          return ReadVariantString(AValue, SD_BUS_TYPE_STRING, UserName);
        }
        return false;
      });
  if (!Read || !IsEntryName(Profile.Id) || !IsTypeName(Profile.Type) || !IsUuid(Profile.Uuid)) {
    return false;
  }
  Profile.SecretSetting = SecretSettingOf(Profile.Type);
  if (UserNameSetting == Profile.SecretSetting && IsCredential(UserName)) {
    Profile.UserName = UserName;
  }
  AProfile = std::move(Profile);
  return true;
}

bool ReadSecretPassword(sd_bus_message* ASecrets, const std::string& ASetting,
                        std::string& APassword) {
  std::string Password;
  bool Found = false;
  ReadSettings(ASecrets,
               [&](const std::string& AName, const std::string& AKey, sd_bus_message* AValue) {
                 if (AName != ASetting || AKey != "password") return false;
                 Found = ReadVariantString(AValue, SD_BUS_TYPE_STRING, Password);
                 return Found;
               });
  if (!Found || !IsCredential(Password)) return false;
  APassword = Password;
  return true;
}

bool ReadActiveProperties(sd_bus_message* AProperties, TNmActive& AActive, std::string& AIp4Path,
                          std::string& AIp6Path) {
  return ReadDictionary(AProperties, [&](const std::string& AKey, sd_bus_message* AValue) {
    if (AKey == "Connection")
      return ReadVariantString(AValue, SD_BUS_TYPE_OBJECT_PATH, AActive.ProfilePath);
    if (AKey == "Type") return ReadVariantString(AValue, SD_BUS_TYPE_STRING, AActive.Type);
    if (AKey == "State") return ReadVariantUint(AValue, AActive.State);
    if (AKey == "Devices") return ReadVariantPaths(AValue, AActive.Devices);
    if (AKey == "Ip4Config") return ReadVariantString(AValue, SD_BUS_TYPE_OBJECT_PATH, AIp4Path);
    if (AKey == "Ip6Config") return ReadVariantString(AValue, SD_BUS_TYPE_OBJECT_PATH, AIp6Path);
    return false;
  });
}

void ReadIp4Config(sd_bus_message* AProperties, std::string& AAddress, std::string& AGateway) {
  std::string Gateway;
  ReadDictionary(AProperties, [&](const std::string& AKey, sd_bus_message* AValue) {
    if (AKey == "AddressData") return ReadFirstAddress(AValue, AAddress);
    if (AKey == "Gateway") return ReadVariantString(AValue, SD_BUS_TYPE_STRING, Gateway);
    return false;
  });
  if (IsIpv4Address(Gateway)) AGateway = Gateway;
}

bool ReadFirstAddress(sd_bus_message* AMessage, std::string& AAddress) {
  char Type = 0;
  const char* Contents = nullptr;
  if (sd_bus_message_peek_type(AMessage, &Type, &Contents) <= 0 || Type != SD_BUS_TYPE_VARIANT ||
      Contents == nullptr || std::strcmp(Contents, "aa{sv}") != 0) {
    return false;
  }
  if (sd_bus_message_enter_container(AMessage, SD_BUS_TYPE_VARIANT, "aa{sv}") <= 0) return false;
  bool Read = sd_bus_message_enter_container(AMessage, SD_BUS_TYPE_ARRAY, "a{sv}") > 0;
  while (Read && sd_bus_message_at_end(AMessage, false) == 0) {
    std::string Address;
    Read = ReadDictionary(AMessage, [&Address](const std::string& AKey, sd_bus_message* AValue) {
      return AKey == "address" && ReadVariantString(AValue, SD_BUS_TYPE_STRING, Address);
    });
    if (Read && AAddress.empty() && IsIpv4Address(Address)) AAddress = Address;
  }
  if (Read) sd_bus_message_exit_container(AMessage);
  sd_bus_message_exit_container(AMessage);
  return Read;
}

namespace {

// The first global address of an IP6Config's AddressData (aa{sv}) at the
// variant, with its prefix length.
bool ReadFirstGlobalIpv6(sd_bus_message* AMessage, std::string& AAddress, std::string& APrefix) {
  char Type = 0;
  const char* Contents = nullptr;
  if (sd_bus_message_peek_type(AMessage, &Type, &Contents) <= 0 || Type != SD_BUS_TYPE_VARIANT ||
      Contents == nullptr || std::strcmp(Contents, "aa{sv}") != 0) {
    return false;
  }
  if (sd_bus_message_enter_container(AMessage, SD_BUS_TYPE_VARIANT, "aa{sv}") <= 0) return false;
  bool Read = sd_bus_message_enter_container(AMessage, SD_BUS_TYPE_ARRAY, "a{sv}") > 0;
  while (Read && sd_bus_message_at_end(AMessage, false) == 0) {
    std::string Address;
    uint32_t Length = 129;
    Read = ReadDictionary(AMessage, [&](const std::string& AKey, sd_bus_message* AValue) {
      if (AKey == "address") return ReadVariantString(AValue, SD_BUS_TYPE_STRING, Address);
      if (AKey == "prefix") return ReadVariantUint(AValue, Length);
      return false;
    });
    // NetworkManager lists the link-local address too; the line's own is
    // the first that reaches beyond the link.
    const std::string Prefix = Length <= 128 ? Ipv6Network(Address, static_cast<int>(Length)) : "";
    if (Read && AAddress.empty() && IsGlobalIpv6(Address) && !Prefix.empty()) {
      AAddress = Address;
      APrefix = Prefix;
    }
  }
  if (Read) sd_bus_message_exit_container(AMessage);
  sd_bus_message_exit_container(AMessage);
  return Read;
}

}  // namespace

void ReadIp6Config(sd_bus_message* AProperties, std::string& AAddress, std::string& APrefix) {
  ReadDictionary(AProperties, [&](const std::string& AKey, sd_bus_message* AValue) {
    return AKey == "AddressData" && ReadFirstGlobalIpv6(AValue, AAddress, APrefix);
  });
}

}  // namespace dravik::ras::nm
