#include "AddressPrefix.h"

// The system's own text-to-address conversions: Winsock's on Windows.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif

#include <cstring>

namespace {

// An IPv6 text's bytes and length: 128 for an address; false when it is
// neither an address nor ADDRESS/LENGTH.
bool ReadIpv6(const std::string& AText, in6_addr& AAddress, int& ALength) {
  if (AText.empty() || AText.size() > INET6_ADDRSTRLEN + 4) return false;
  const size_t Slash = AText.find('/');
  ALength = 128;
  if (Slash != std::string::npos) {
    const std::string Digits = AText.substr(Slash + 1);
    if (Digits.empty() || Digits.size() > 3 ||
        Digits.find_first_not_of("0123456789") != std::string::npos)
      return false;
    ALength = std::stoi(Digits);
    if (ALength > 128) return false;
  }
  return inet_pton(AF_INET6, AText.substr(0, Slash).c_str(), &AAddress) == 1;
}

void Mask(unsigned char* ABytes, size_t ACount, int ALength) {
  for (size_t Index = 0; Index < ACount; ++Index) {
    const int Kept = ALength - static_cast<int>(Index) * 8;
    if (Kept >= 8) continue;
    ABytes[Index] &= Kept <= 0 ? 0 : static_cast<unsigned char>(0xFF << (8 - Kept));
  }
}

}  // namespace

std::string Ipv4Network(const std::string& AAddress, int ALength) {
  in_addr Address;
  if (ALength < 0 || ALength > 32 || AAddress.size() > INET_ADDRSTRLEN ||
      inet_pton(AF_INET, AAddress.c_str(), &Address) != 1)
    return {};
  Mask(reinterpret_cast<unsigned char*>(&Address.s_addr), 4, ALength);
  char Text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &Address, Text, sizeof Text);
  return std::string(Text) + "/" + std::to_string(ALength);
}

std::string Ipv6Network(const std::string& AText, int ALength) {
  in6_addr Address;
  int Own = 128;
  if (ALength < 0 || ALength > 128 || !ReadIpv6(AText, Address, Own)) return {};
  const int Length = ALength < Own ? ALength : Own;
  Mask(Address.s6_addr, 16, Length);
  char Text[INET6_ADDRSTRLEN] = {};
  inet_ntop(AF_INET6, &Address, Text, sizeof Text);
  return std::string(Text) + "/" + std::to_string(Length);
}

bool IsIpv6Address(const std::string& AText) {
  in6_addr Address;
  int Length = 0;
  return AText.find('/') == std::string::npos && ReadIpv6(AText, Address, Length);
}

bool IsIpv6Prefix(const std::string& AText) {
  in6_addr Address;
  int Length = 0;
  if (AText.find('/') == std::string::npos || !ReadIpv6(AText, Address, Length)) return false;
  in6_addr Masked = Address;
  Mask(Masked.s6_addr, 16, Length);
  return std::memcmp(&Masked, &Address, sizeof Address) == 0;
}

bool IsGlobalIpv6(const std::string& AText) {
  in6_addr Address;
  int Length = 0;
  if (AText.find('/') != std::string::npos || !ReadIpv6(AText, Address, Length)) return false;
  const unsigned char* B = Address.s6_addr;
  return !IN6_IS_ADDR_LINKLOCAL(&Address) && !IN6_IS_ADDR_LOOPBACK(&Address) &&
         !IN6_IS_ADDR_MULTICAST(&Address) && !IN6_IS_ADDR_UNSPECIFIED(&Address) &&
         !IN6_IS_ADDR_V4MAPPED(&Address) && !(B[0] == 0xFE && (B[1] & 0xC0) == 0xC0);
}
