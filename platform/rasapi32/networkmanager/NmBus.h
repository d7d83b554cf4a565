#pragma once

// Small helpers over sd-bus for talking to NetworkManager: owned messages
// and errors, method calls with a time limit, and readers for the property
// dictionaries it answers with.

#include <systemd/sd-bus.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dravik::ras::nm {

constexpr const char* NmService = "org.freedesktop.NetworkManager";
constexpr const char* NmPath = "/org/freedesktop/NetworkManager";
constexpr const char* NmSettingsPath = "/org/freedesktop/NetworkManager/Settings";

struct TMessageUnref {
  void operator()(sd_bus_message* AMessage) const { sd_bus_message_unref(AMessage); }
};
using TMessage = std::unique_ptr<sd_bus_message, TMessageUnref>;

struct TBusUnref {
  void operator()(sd_bus* ABus) const { sd_bus_flush_close_unref(ABus); }
};
using TBus = std::unique_ptr<sd_bus, TBusUnref>;

// The outcome of a call: the reply, or the D-Bus error's name.
struct TCallResult {
  TMessage Reply;
  std::string ErrorName;
  bool Ok() const { return Reply != nullptr; }
};

// Opens the system bus (DBUS_SYSTEM_BUS_ADDRESS is honoured); null when
// there is none.
TBus OpenSystemBus();

// Calls a method of NetworkManager; AAppend adds the arguments.
TCallResult CallNm(sd_bus* ABus, const std::string& APath, const char* AInterface,
                   const char* AMember, uint64_t ATimeoutUs,
                   const std::function<int(sd_bus_message*)>& AAppend = {});

// Properties.GetAll / Properties.Get of a NetworkManager object.
TCallResult GetAllProperties(sd_bus* ABus, const std::string& APath, const char* AInterface);
TCallResult GetProperty(sd_bus* ABus, const std::string& APath, const char* AInterface,
                        const char* AName);

// Whether the bus name has an owner now; false also when the bus fails.
bool NameHasOwner(sd_bus* ABus, const char* AName, uint64_t ATimeoutUs);

// The unique name that owns the bus name now; empty when none does.
std::string NameOwner(sd_bus* ABus, const char* AName, uint64_t ATimeoutUs);

// A unique bus name (":1.42").
bool IsBusName(const std::string& AText);

// Walks an a{sv} at the message's position: AOn gets each key with the
// message at its variant and returns true when it read the variant; else
// the variant is passed over. False when the message is not of that form.
bool ReadDictionary(sd_bus_message* AMessage,
                    const std::function<bool(const std::string&, sd_bus_message*)>& AOn);

// Readers of a variant at the message's position; false (and the variant
// left unread) when it holds another type.
bool ReadVariantString(sd_bus_message* AMessage, char AType, std::string& AValue);
bool ReadVariantUint(sd_bus_message* AMessage, uint32_t& AValue);
bool ReadVariantBool(sd_bus_message* AMessage, bool& AValue);
bool ReadVariantPaths(sd_bus_message* AMessage, std::vector<std::string>& AValue);

}  // namespace dravik::ras::nm
