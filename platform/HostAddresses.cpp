#include "HostAddresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>

namespace dravik::platform {

bool SystemHostName(std::string& AName) {
  char Buffer[256] = {};
  if (::gethostname(Buffer, sizeof Buffer - 1) != 0) return false;
  AName = Buffer;
  return true;
}

std::vector<uint32_t> InterfaceAddresses() {
  std::vector<uint32_t> Result;
  ifaddrs* List = nullptr;
  if (getifaddrs(&List) != 0) return Result;
  for (const ifaddrs* Item = List; Item != nullptr; Item = Item->ifa_next) {
    if (Item->ifa_addr == nullptr || Item->ifa_addr->sa_family != AF_INET) continue;
    if ((Item->ifa_flags & IFF_UP) == 0 || (Item->ifa_flags & IFF_LOOPBACK) != 0) continue;
    const uint32_t Address = reinterpret_cast<const sockaddr_in*>(Item->ifa_addr)->sin_addr.s_addr;
    if ((ntohl(Address) >> 24) == 127) continue;
    if (std::find(Result.begin(), Result.end(), Address) == Result.end()) Result.push_back(Address);
  }
  freeifaddrs(List);
  return Result;
}

std::vector<uint32_t> ResolvedAddresses(const std::string& AName) {
  std::vector<uint32_t> Result;
  addrinfo Hints{};
  Hints.ai_family = AF_INET;
  Hints.ai_socktype = SOCK_STREAM;
  addrinfo* List = nullptr;
  if (getaddrinfo(AName.c_str(), nullptr, &Hints, &List) != 0) return Result;
  for (const addrinfo* Item = List; Item != nullptr; Item = Item->ai_next) {
    if (Item->ai_family != AF_INET || Item->ai_addr == nullptr) continue;
    const uint32_t Address = reinterpret_cast<const sockaddr_in*>(Item->ai_addr)->sin_addr.s_addr;
    if (std::find(Result.begin(), Result.end(), Address) == Result.end()) Result.push_back(Address);
  }
  freeaddrinfo(List);
  return Result;
}

}  // namespace dravik::platform
