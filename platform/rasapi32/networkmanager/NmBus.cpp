#include "NmBus.h"

#include <cstring>

namespace dravik::ras::nm {

namespace {

constexpr uint64_t PropertyTimeoutUs = 5000000;

TCallResult Call(sd_bus* ABus, const char* ADestination, const std::string& APath,
                 const char* AInterface, const char* AMember, uint64_t ATimeoutUs,
                 const std::function<int(sd_bus_message*)>& AAppend) {
  TCallResult Result;
  sd_bus_message* Raw = nullptr;
  if (sd_bus_message_new_method_call(ABus, &Raw, ADestination, APath.c_str(), AInterface, AMember) <
      0) {
    Result.ErrorName = "org.freedesktop.DBus.Error.Disconnected";
    return Result;
  }
  TMessage Call(Raw);
  if (AAppend && AAppend(Call.get()) < 0) {
    Result.ErrorName = "org.freedesktop.DBus.Error.InvalidArgs";
    return Result;
  }
  sd_bus_error Error = SD_BUS_ERROR_NULL;
  sd_bus_message* Reply = nullptr;
  if (sd_bus_call(ABus, Call.get(), ATimeoutUs, &Error, &Reply) < 0) {
    Result.ErrorName =
        Error.name != nullptr ? Error.name : "org.freedesktop.DBus.Error.Disconnected";
    sd_bus_error_free(&Error);
    return Result;
  }
  sd_bus_error_free(&Error);
  Result.Reply.reset(Reply);
  return Result;
}

// Enters the variant at the position when it holds AContents.
bool EnterVariant(sd_bus_message* AMessage, const char* AContents) {
  char Type = 0;
  const char* Contents = nullptr;
  if (sd_bus_message_peek_type(AMessage, &Type, &Contents) <= 0) return false;
  if (Type != SD_BUS_TYPE_VARIANT || Contents == nullptr || std::strcmp(Contents, AContents) != 0) {
    return false;
  }
  return sd_bus_message_enter_container(AMessage, SD_BUS_TYPE_VARIANT, AContents) > 0;
}

}  // namespace

TBus OpenSystemBus() {
  sd_bus* Bus = nullptr;
  if (sd_bus_open_system(&Bus) < 0) return nullptr;
  return TBus(Bus);
}

TCallResult CallNm(sd_bus* ABus, const std::string& APath, const char* AInterface,
                   const char* AMember, uint64_t ATimeoutUs,
                   const std::function<int(sd_bus_message*)>& AAppend) {
  return Call(ABus, NmService, APath, AInterface, AMember, ATimeoutUs, AAppend);
}

TCallResult GetAllProperties(sd_bus* ABus, const std::string& APath, const char* AInterface) {
  return CallNm(ABus, APath, "org.freedesktop.DBus.Properties", "GetAll", PropertyTimeoutUs,
                [AInterface](sd_bus_message* AMessage) {
                  return sd_bus_message_append(AMessage, "s", AInterface);
                });
}

TCallResult GetProperty(sd_bus* ABus, const std::string& APath, const char* AInterface,
                        const char* AName) {
  return CallNm(ABus, APath, "org.freedesktop.DBus.Properties", "Get", PropertyTimeoutUs,
                [AInterface, AName](sd_bus_message* AMessage) {
                  return sd_bus_message_append(AMessage, "ss", AInterface, AName);
                });
}

bool NameHasOwner(sd_bus* ABus, const char* AName, uint64_t ATimeoutUs) {
  const TCallResult Result = Call(
      ABus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
      ATimeoutUs,
      [AName](sd_bus_message* AMessage) { return sd_bus_message_append(AMessage, "s", AName); });
  int Has = 0;
  return Result.Ok() && sd_bus_message_read(Result.Reply.get(), "b", &Has) > 0 && Has != 0;
}

std::string NameOwner(sd_bus* ABus, const char* AName, uint64_t ATimeoutUs) {
  const TCallResult Result = Call(
      ABus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetNameOwner",
      ATimeoutUs,
      [AName](sd_bus_message* AMessage) { return sd_bus_message_append(AMessage, "s", AName); });
  const char* Owner = nullptr;
  if (!Result.Ok() || sd_bus_message_read(Result.Reply.get(), "s", &Owner) <= 0) return {};
  return Owner != nullptr && IsBusName(Owner) ? Owner : "";
}

bool IsBusName(const std::string& AText) {
  if (AText.size() < 2 || AText.size() > 255 || AText[0] != ':') return false;
  for (char Char : AText.substr(1)) {
    const bool Fits = (Char >= '0' && Char <= '9') || (Char >= 'a' && Char <= 'z') ||
                      (Char >= 'A' && Char <= 'Z') || Char == '.' || Char == '_' || Char == '-';
    if (!Fits) return false;
  }
  return true;
}

bool ReadDictionary(sd_bus_message* AMessage,
                    const std::function<bool(const std::string&, sd_bus_message*)>& AOn) {
  if (sd_bus_message_enter_container(AMessage, SD_BUS_TYPE_ARRAY, "{sv}") <= 0) return false;
  for (;;) {
    const int Entered = sd_bus_message_enter_container(AMessage, SD_BUS_TYPE_DICT_ENTRY, "sv");
    if (Entered < 0) return false;
    if (Entered == 0) break;
    const char* Key = nullptr;
    if (sd_bus_message_read(AMessage, "s", &Key) <= 0) return false;
    if (!AOn(Key, AMessage) && sd_bus_message_skip(AMessage, "v") < 0) return false;
    if (sd_bus_message_exit_container(AMessage) < 0) return false;
  }
  return sd_bus_message_exit_container(AMessage) >= 0;
}

bool ReadVariantString(sd_bus_message* AMessage, char AType, std::string& AValue) {
  const char Contents[2] = {AType, 0};
  if (!EnterVariant(AMessage, Contents)) return false;
  const char* Text = nullptr;
  const bool Read = sd_bus_message_read_basic(AMessage, AType, &Text) > 0 && Text != nullptr;
  if (Read) AValue = Text;
  sd_bus_message_exit_container(AMessage);
  return Read;
}

bool ReadVariantUint(sd_bus_message* AMessage, uint32_t& AValue) {
  if (!EnterVariant(AMessage, "u")) return false;
  const bool Read = sd_bus_message_read(AMessage, "u", &AValue) > 0;
  sd_bus_message_exit_container(AMessage);
  return Read;
}

bool ReadVariantBool(sd_bus_message* AMessage, bool& AValue) {
  if (!EnterVariant(AMessage, "b")) return false;
  int Value = 0;
  const bool Read = sd_bus_message_read(AMessage, "b", &Value) > 0;
  AValue = Value != 0;
  sd_bus_message_exit_container(AMessage);
  return Read;
}

bool ReadVariantPaths(sd_bus_message* AMessage, std::vector<std::string>& AValue) {
  if (!EnterVariant(AMessage, "ao")) return false;
  AValue.clear();
  bool Read = sd_bus_message_enter_container(AMessage, SD_BUS_TYPE_ARRAY, "o") > 0;
  const char* Path = nullptr;
  while (Read && sd_bus_message_read(AMessage, "o", &Path) > 0) {
    if (AValue.size() < 10000) AValue.push_back(Path);
  }
  if (Read) sd_bus_message_exit_container(AMessage);
  sd_bus_message_exit_container(AMessage);
  return Read;
}

}  // namespace dravik::ras::nm
