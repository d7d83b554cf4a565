#pragma once

// The Windows Sockets 1.1 calls the components make, under their platform
// names. On Linux they are ours with the platform's contract: the socket
// layer must be started with WSAStartup before the host queries answer, and
// failures give SOCKET_ERROR (or null) with the reason in WSAGetLastError.
//
// The Linux forms of hostent and gethostbyname live in <netdb.h>; a file
// that includes this header must not include that one.

#include "Windows.h"

#ifdef _WIN32
#include <winsock.h>
#else

constexpr int WSADESCRIPTION_LEN = 256;
constexpr int WSASYS_STATUS_LEN = 128;
constexpr int SOCKET_ERROR = -1;

constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAVERNOTSUPPORTED = 10092;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSANO_DATA = 11004;

constexpr short AF_INET_WINSOCK = 2;

inline WORD MAKEWORD(BYTE ALow, BYTE AHigh) {
  return static_cast<WORD>(ALow | (static_cast<WORD>(AHigh) << 8));
}

// The 64-bit form of the platform's record.
struct WSADATA {
  WORD wVersion;
  WORD wHighVersion;
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
  char szDescription[WSADESCRIPTION_LEN + 1];
  char szSystemStatus[WSASYS_STATUS_LEN + 1];
};
using LPWSADATA = WSADATA*;

struct hostent {
  char* h_name;
  char** h_aliases;
  short h_addrtype;
  short h_length;
  char** h_addr_list;
};

// Starts the socket layer for versions 1.1 up to 2.2; 0 on success.
int WINAPI WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData);
// Ends one start; SOCKET_ERROR when the layer was not started.
int WINAPI WSACleanup();
int WINAPI WSAGetLastError();

// The host's name, NUL-terminated; SOCKET_ERROR when it does not fit in
// namelen bytes or the layer is not started.
int WINAPI gethostname(char* name, int namelen);

// The IPv4 addresses of a host, in a record that belongs to the calling
// thread and stays valid until its next call. For the host's own name (or
// an empty name) the addresses are those of its network interfaces that are
// up and not loopback, in the system's order, as the platform answers; only
// when there is none does the resolver answer, as for any other name. Null
// when the name has no IPv4 address.
hostent* WINAPI gethostbyname(const char* name);

#endif
