#pragma once

// What the NetworkManager provider knows of NetworkManager at a moment:
// the listed profiles and their active connections, kept current by its
// signals so that listing and status queries need no round trip.

#include <cstdint>
#include <string>
#include <vector>

#include "Ras.h"

namespace dravik::ras::nm {

struct TNmProfile {
  std::string Path;
  std::string Id;
  std::string Uuid;
  std::string Type;
  std::string UserName;
  // The setting that holds the credentials ("pppoe", "gsm", "cdma"); empty
  // for types without any.
  std::string SecretSetting;
  bool Autoconnect = false;
};

struct TNmActive {
  std::string Path;
  HRASCONN Handle = 0;
  std::string ProfilePath;
  std::string EntryName;
  std::string Type;
  uint32_t State = 0;
  // The first device's interface and state.
  std::string Interface;
  uint32_t DeviceState = 0;
  std::vector<std::string> Devices;
  std::string Address;
  std::string Gateway;
  // The first global IPv6 address and its on-link prefix, when it has one.
  std::string Address6;
  std::string Prefix6;
};

struct TNmCache {
  // Whether NetworkManager is on the bus.
  bool Running = false;
  // Listed profiles in listing order: by name, then by UUID.
  std::vector<TNmProfile> Profiles;
  // Active connections of listed profiles, in NetworkManager's order.
  std::vector<TNmActive> Actives;

  // The profile a name reaches: the first listed with that name.
  const TNmProfile* FindProfile(const std::string& AName) const;
  const TNmActive* FindActive(HRASCONN AHandle) const;
  const TNmActive* FindActiveOfProfile(const std::string& AProfilePath) const;
};

// The handle of an active connection: the number NetworkManager gives its
// object, the same in every process.
HRASCONN HandleOfActivePath(const std::string& APath);

}  // namespace dravik::ras::nm
