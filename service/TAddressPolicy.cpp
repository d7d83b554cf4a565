#include "TAddressPolicy.h"

#include "AddressPrefix.h"

const char* TAddressPolicy::ReasonName(TVerdict AVerdict) {
  switch (AVerdict) {
    case TVerdict::New:
      return "";
    case TVerdict::RepeatedAddress:
      return "repeated-address";
    case TVerdict::RepeatedSubnet:
      return "repeated-subnet";
    case TVerdict::RepeatedSubnet6:
      return "repeated-subnet6";
  }
  return "";
}

TAddressPolicy::TAddressPolicy(int ADistinctFrom, int APrefixLength, int APrefixLength6)
    : FDistinctFrom(ADistinctFrom), FPrefixLength(APrefixLength), FPrefixLength6(APrefixLength6) {}

const std::string& TAddressPolicy::Ipv6Of(const TLineAddresses& AAddresses) {
  return AAddresses.Address6.empty() ? AAddresses.Prefix6 : AAddresses.Address6;
}

TAddressPolicy::TVerdict TAddressPolicy::Judge(const TLineAddresses& AAddresses,
                                               std::string& ASeen) const {
  ASeen.clear();
  for (const TLineAddresses& Earlier : FRecent) {
    if (!AAddresses.Address.empty() && Earlier.Address == AAddresses.Address) {
      ASeen = Earlier.Address;
      return TVerdict::RepeatedAddress;
    }
  }
  if (FPrefixLength > 0) {
    const std::string Network = Ipv4Network(AAddresses.Address, FPrefixLength);
    for (const TLineAddresses& Earlier : FRecent) {
      if (!Network.empty() && Ipv4Network(Earlier.Address, FPrefixLength) == Network) {
        ASeen = Network;
        return TVerdict::RepeatedSubnet;
      }
    }
  }
  if (FPrefixLength6 > 0) {
    // A line without IPv6 (or a provider that does not tell) has nothing to
    // compare, and its turn counts on its IPv4 address alone.
    const std::string Network = Ipv6Network(Ipv6Of(AAddresses), FPrefixLength6);
    for (const TLineAddresses& Earlier : FRecent) {
      if (!Network.empty() && Ipv6Network(Ipv6Of(Earlier), FPrefixLength6) == Network) {
        ASeen = Network;
        return TVerdict::RepeatedSubnet6;
      }
    }
  }
  return TVerdict::New;
}

void TAddressPolicy::Remember(const TLineAddresses& AAddresses) {
  if (FDistinctFrom <= 0) return;
  FRecent.push_front(AAddresses);
  while (FRecent.size() > static_cast<size_t>(FDistinctFrom)) FRecent.pop_back();
}
