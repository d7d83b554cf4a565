#include "PppdIpv6.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include "AddressPrefix.h"

namespace dravik::ras::pppd {

namespace {

int PrefixLength(const sockaddr_in6* AMask) {
  int Length = 0;
  for (const unsigned char Byte : AMask->sin6_addr.s6_addr) {
    for (int Bit = 7; Bit >= 0 && (Byte >> Bit & 1) != 0; --Bit) ++Length;
    if (Byte != 0xFF) break;
  }
  return Length;
}

}  // namespace

void InterfaceIpv6(const std::string& AInterface, std::string& AAddress, std::string& APrefix) {
  AAddress.clear();
  APrefix.clear();
  ifaddrs* List = nullptr;
  if (AInterface.empty() || getifaddrs(&List) != 0) return;
  for (const ifaddrs* Item = List; Item != nullptr; Item = Item->ifa_next) {
    if (Item->ifa_addr == nullptr || Item->ifa_addr->sa_family != AF_INET6 ||
        Item->ifa_netmask == nullptr || AInterface != Item->ifa_name)
      continue;
    char Text[INET6_ADDRSTRLEN] = {};
    const auto* Address = reinterpret_cast<const sockaddr_in6*>(Item->ifa_addr);
    if (inet_ntop(AF_INET6, &Address->sin6_addr, Text, sizeof Text) == nullptr ||
        !IsGlobalIpv6(Text))
      continue;
    AAddress = Text;
    APrefix =
        Ipv6Network(Text, PrefixLength(reinterpret_cast<const sockaddr_in6*>(Item->ifa_netmask)));
    break;
  }
  freeifaddrs(List);
}

}  // namespace dravik::ras::pppd
