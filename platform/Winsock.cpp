#include "Winsock.h"

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "HostAddresses.h"
#include "SameText.h"

namespace {

std::mutex LayerLock;
int StartCount = 0;
thread_local int LastError = 0;

bool Started() {
  std::lock_guard<std::mutex> Guard(LayerLock);
  return StartCount > 0;
}

int Fail(int AError) {
  LastError = AError;
  return SOCKET_ERROR;
}

// The calling thread's answer of gethostbyname, as the platform keeps one
// per thread.
struct THostRecord {
  std::string Name;
  std::vector<uint32_t> Addresses;
  std::vector<char*> AddressList;
  char* NoAliases[1] = {nullptr};
  hostent Entry{};
};
thread_local THostRecord HostRecord;

}  // namespace

int WINAPI WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData) {
  const BYTE Major = wVersionRequested & 0xFF;
  const BYTE Minor = wVersionRequested >> 8;
  if (lpWSAData == nullptr) return WSAEFAULT;
  std::memset(lpWSAData, 0, sizeof *lpWSAData);
  lpWSAData->wHighVersion = MAKEWORD(2, 2);
  if (Major < 1 || (Major == 1 && Minor < 1)) return WSAVERNOTSUPPORTED;
  lpWSAData->wVersion =
      (Major > 2 || (Major == 2 && Minor > 2)) ? MAKEWORD(2, 2) : wVersionRequested;
  std::strcpy(lpWSAData->szDescription, "Dravik sockets");
  std::strcpy(lpWSAData->szSystemStatus, "Running");
  std::lock_guard<std::mutex> Guard(LayerLock);
  ++StartCount;
  return 0;
}

int WINAPI WSACleanup() {
  std::lock_guard<std::mutex> Guard(LayerLock);
  if (StartCount == 0) return Fail(WSANOTINITIALISED);
  --StartCount;
  return 0;
}

int WINAPI WSAGetLastError() { return LastError; }

int WINAPI gethostname(char* name, int namelen) {
  if (!Started()) return Fail(WSANOTINITIALISED);
  if (name == nullptr || namelen <= 0) return Fail(WSAEFAULT);
  std::string Name;
  if (!dravik::platform::SystemHostName(Name)) return Fail(WSAEFAULT);
  if (Name.size() + 1 > static_cast<size_t>(namelen)) return Fail(WSAEFAULT);
  std::memcpy(name, Name.c_str(), Name.size() + 1);
  return 0;
}

hostent* WINAPI gethostbyname(const char* name) {
  if (!Started()) {
    Fail(WSANOTINITIALISED);
    return nullptr;
  }
  if (name == nullptr || std::strlen(name) > 255) {
    Fail(WSAEFAULT);
    return nullptr;
  }
  std::string OwnName;
  const bool HaveOwnName = dravik::platform::SystemHostName(OwnName);
  const std::string Name = *name == 0 && HaveOwnName ? OwnName : std::string(name);
  std::vector<uint32_t> Addresses;
  if (HaveOwnName && SameText(Name, OwnName)) Addresses = dravik::platform::InterfaceAddresses();
  if (Addresses.empty() && !Name.empty()) Addresses = dravik::platform::ResolvedAddresses(Name);
  if (Addresses.empty()) {
    Fail(WSAHOST_NOT_FOUND);
    return nullptr;
  }
  THostRecord& Record = HostRecord;
  Record.Name = Name;
  Record.Addresses = std::move(Addresses);
  Record.AddressList.clear();
  for (uint32_t& Address : Record.Addresses) {
    Record.AddressList.push_back(reinterpret_cast<char*>(&Address));
  }
  Record.AddressList.push_back(nullptr);
  Record.Entry.h_name = Record.Name.data();
  Record.Entry.h_aliases = Record.NoAliases;
  Record.Entry.h_addrtype = AF_INET_WINSOCK;
  Record.Entry.h_length = 4;
  Record.Entry.h_addr_list = Record.AddressList.data();
  return &Record.Entry;
}
