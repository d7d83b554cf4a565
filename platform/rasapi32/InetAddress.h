#pragma once

// The system's conversions of IPv4 addresses between text and bytes
// (inet_pton, inet_ntop).

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif
