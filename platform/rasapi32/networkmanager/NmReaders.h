#pragma once

// The readings of what NetworkManager answers over D-Bus: a profile's
// settings and secrets, an active connection's properties, an IP4Config's
// addresses and lists of object paths. Each reads one message at its
// position and takes only texts that pass the checks of NmTexts.h; no bus
// is needed, so that any message can be fed to them.

#include <systemd/sd-bus.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "TNmCache.h"

namespace dravik::ras::nm {

// At most this many object paths are kept of a list.
constexpr size_t MaxObjects = 10000;

// The object paths of an "ao" reply.
std::vector<std::string> ReadPaths(sd_bus_message* AMessage);

// Walks an a{sa{sv}} (a profile's settings or secrets): AOn gets each
// setting's name and key at the key's variant and returns true when it read
// the variant. False when the message is not of that form.
bool ReadSettings(
    sd_bus_message* AMessage,
    const std::function<bool(const std::string&, const std::string&, sd_bus_message*)>& AOn);

// The credentials setting of a profile type; empty for types without one.
std::string SecretSettingOf(const std::string& AType);

// A profile from its GetSettings reply: name, UUID, type, autoconnect and
// the user name of its credentials setting. False for a reply that does not
// read or a profile without a listable name, type or UUID.
bool ReadProfile(sd_bus_message* ASettings, const std::string& APath, TNmProfile& AProfile);

// The password of ASetting in a GetSecrets reply; false when there is none
// that fits the dial record.
bool ReadSecretPassword(sd_bus_message* ASecrets, const std::string& ASetting,
                        std::string& APassword);

// An active connection's GetAll reply: its profile, type, state, devices
// and the paths of its IP4Config and IP6Config ("/" or empty for none).
bool ReadActiveProperties(sd_bus_message* AProperties, TNmActive& AActive, std::string& AIp4Path,
                          std::string& AIp6Path);

// An IP4Config's GetAll reply: the first IPv4 address of AddressData and
// the gateway, each kept only when it is a dotted IPv4 address.
void ReadIp4Config(sd_bus_message* AProperties, std::string& AAddress, std::string& AGateway);

// The first address of an IP4Config's AddressData (aa{sv}) at the variant.
bool ReadFirstAddress(sd_bus_message* AMessage, std::string& AAddress);

// An IP6Config's GetAll reply: the first global address of AddressData and
// its on-link prefix (ADDRESS/LENGTH), kept only in those forms.
void ReadIp6Config(sd_bus_message* AProperties, std::string& AAddress, std::string& APrefix);

}  // namespace dravik::ras::nm
