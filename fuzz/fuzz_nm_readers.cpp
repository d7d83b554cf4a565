// The NetworkManager provider's readings of what NetworkManager answers:
// profile settings and secrets, an active connection's properties, an
// IP4Config and IP6Config, path lists and single property values. Each reader is fed the
// same message from its start; whatever it holds, what they take passes the
// provider's checks.
//
// Input: see NmMessage.h.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "AddressPrefix.h"
#include "NmBus.h"
#include "NmMessage.h"
#include "NmReaders.h"
#include "NmTexts.h"

using namespace dravik::ras::nm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  fuzz::TNmMessage Message(AData, ASize);
  if (!Message.Build()) return 0;

  if (ReadPaths(Message.Rewound()).size() > MaxObjects) std::abort();

  TNmProfile Profile;
  if (ReadProfile(Message.Rewound(), "/org/freedesktop/NetworkManager/Settings/1", Profile)) {
    if (!IsEntryName(Profile.Id) || !IsUuid(Profile.Uuid) || !IsTypeName(Profile.Type) ||
        !IsCredential(Profile.UserName))
      std::abort();
    if (Profile.SecretSetting != SecretSettingOf(Profile.Type)) std::abort();
  }

  for (const char* Setting : {"pppoe", "gsm"}) {
    std::string Password;
    if (ReadSecretPassword(Message.Rewound(), Setting, Password) && !IsCredential(Password))
      std::abort();
  }

  TNmActive Active;
  std::string Ip4Path, Ip6Path;
  if (ReadActiveProperties(Message.Rewound(), Active, Ip4Path, Ip6Path) &&
      Active.Devices.size() > MaxObjects)
    std::abort();

  std::string Address, Gateway;
  ReadIp4Config(Message.Rewound(), Address, Gateway);
  if ((!Address.empty() && !IsIpv4Address(Address)) ||
      (!Gateway.empty() && !IsIpv4Address(Gateway)))
    std::abort();

  std::string Address6, Prefix6;
  ReadIp6Config(Message.Rewound(), Address6, Prefix6);
  if (Address6.empty() != Prefix6.empty() || (!Address6.empty() && !IsGlobalIpv6(Address6)) ||
      (!Prefix6.empty() && !IsIpv6Prefix(Prefix6)))
    std::abort();

  // Properties.Get replies: one variant.
  std::string Text;
  ReadVariantString(Message.Rewound(), SD_BUS_TYPE_STRING, Text);
  ReadVariantString(Message.Rewound(), SD_BUS_TYPE_OBJECT_PATH, Text);
  uint32_t Number = 0;
  ReadVariantUint(Message.Rewound(), Number);
  bool Flag = false;
  ReadVariantBool(Message.Rewound(), Flag);
  std::vector<std::string> Paths;
  ReadVariantPaths(Message.Rewound(), Paths);
  if (Paths.size() > MaxObjects) std::abort();
  return 0;
}
