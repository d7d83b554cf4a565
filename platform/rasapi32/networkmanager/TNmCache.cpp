#include "TNmCache.h"

namespace dravik::ras::nm {

const TNmProfile* TNmCache::FindProfile(const std::string& AName) const {
  for (const TNmProfile& Profile : Profiles) {
    if (Profile.Id == AName) return &Profile;
  }
  return nullptr;
}

const TNmActive* TNmCache::FindActive(HRASCONN AHandle) const {
  for (const TNmActive& Active : Actives) {
    if (Active.Handle == AHandle) return &Active;
  }
  return nullptr;
}

const TNmActive* TNmCache::FindActiveOfProfile(const std::string& AProfilePath) const {
  for (const TNmActive& Active : Actives) {
    if (Active.ProfilePath == AProfilePath) return &Active;
  }
  return nullptr;
}

HRASCONN HandleOfActivePath(const std::string& APath) {
  static const std::string Prefix = "/org/freedesktop/NetworkManager/ActiveConnection/";
  if (APath.compare(0, Prefix.size(), Prefix) == 0) {
    const std::string Number = APath.substr(Prefix.size());
    bool Digits = !Number.empty() && Number.size() <= 10;
    for (char Char : Number) Digits = Digits && Char >= '0' && Char <= '9';
    if (Digits) {
      const unsigned long long Value = std::stoull(Number);
      if (Value > 0 && Value <= 0xFFFFFFFFull) return static_cast<HRASCONN>(Value);
    }
  }
  // Any other path: a hash that is never 0 (FNV-1a).
  uint32_t Hash = 2166136261u;
  for (char Char : APath) Hash = (Hash ^ static_cast<unsigned char>(Char)) * 16777619u;
  return Hash == 0 ? 1 : Hash;
}

}  // namespace dravik::ras::nm
