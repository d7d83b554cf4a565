#pragma once

// The IPv6 side of a pppd link. pppd itself negotiates only the link-local
// address; the global one comes from the provider's router advertisement
// (or a DHCPv6 client beside pppd) and sits on the same interface, which is
// where it is read.

#include <string>

namespace dravik::ras::pppd {

// The first global IPv6 address of the interface and its on-link prefix
// (ADDRESS/LENGTH); both empty when it has none.
void InterfaceIpv6(const std::string& AInterface, std::string& AAddress, std::string& APrefix);

}  // namespace dravik::ras::pppd
