#pragma once

// The networks addresses belong to, for telling whether two addresses share
// a subnet: the /24 a provider's pool hands out from, or an IPv6 site's /56.

#include <string>

// The network of a dotted IPv4 address at a prefix length (0 to 32), as
// "100.64.3.0/24"; empty for anything else.
std::string Ipv4Network(const std::string& AAddress, int ALength);

// The network of an IPv6 address, or of a prefix written ADDRESS/LENGTH, at
// a prefix length (0 to 128), in the compressed form "2001:db8:1:100::/56";
// a prefix shorter than ALength gives its own network. Empty for anything
// else.
std::string Ipv6Network(const std::string& AText, int ALength);

// Whether the text is an IPv6 address (no length), or a prefix
// ADDRESS/LENGTH whose address has no bits set past its length.
bool IsIpv6Address(const std::string& AText);
bool IsIpv6Prefix(const std::string& AText);

// Whether the IPv6 address (no length) reaches beyond its link: not
// link-local, the old site-local, loopback, multicast, unspecified or an
// IPv4-mapped address.
bool IsGlobalIpv6(const std::string& AText);
