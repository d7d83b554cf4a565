#pragma once

// Whether a line's new addresses count as new: the far end must see someone
// it has not seen in the last few turns. An address counts when it differs
// from the recent turns' addresses, and, when asked for, when its network
// (IPv4 /N, IPv6 /N6) differs from theirs as well: sites block by network,
// and a pool often hands out the next address of the same /24.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// What a turn's line showed of itself.
struct TLineAddresses {
  std::string Address;   // the address compared: the public one when checked, else the line's
  std::string Address6;  // the line's global IPv6 address, empty when none is known
  std::string Prefix6;   // its IPv6 prefix (ADDRESS/LENGTH), empty when none is known
};

class TAddressPolicy {
 public:
  enum class TVerdict { New, RepeatedAddress, RepeatedSubnet, RepeatedSubnet6 };
  // The name the history, the log and the metrics give a redial's reason:
  // "repeated-address", "repeated-subnet", "repeated-subnet6"; empty for New.
  static const char* ReasonName(TVerdict AVerdict);

  // ADistinctFrom recent turns are kept (0: every address counts);
  // APrefixLength and APrefixLength6 are the IPv4 and IPv6 network sizes
  // compared (0: networks are not compared).
  TAddressPolicy(int ADistinctFrom, int APrefixLength, int APrefixLength6);

  // The verdict on AAddresses, and the recent one it repeats (the address,
  // or the network as ADDRESS/LENGTH) in ASeen.
  TVerdict Judge(const TLineAddresses& AAddresses, std::string& ASeen) const;
  // Keeps AAddresses as the newest turn's.
  void Remember(const TLineAddresses& AAddresses);
  // The recent turns, newest first.
  const std::deque<TLineAddresses>& Recent() const { return FRecent; }

 private:
  // The IPv6 text compared: the address, else the prefix.
  static const std::string& Ipv6Of(const TLineAddresses& AAddresses);

  int FDistinctFrom;
  int FPrefixLength;
  int FPrefixLength6;
  std::deque<TLineAddresses> FRecent;
};
