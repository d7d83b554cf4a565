#pragma once

// The control interface's listening socket: TCP on a numeric IPv4 address,
// or a Unix socket with mode 0660 (its folder decides who reaches it).

#include <string>

// A listening, non-blocking socket in AFd, or why not. Port 0 picks a free one.
std::string ListenTcp(const std::string& AAddress, int APort, int& AFd);
// A stale socket at APath (nothing answers on it) is replaced; any other
// file there is left alone and named.
std::string ListenUnix(const std::string& APath, int& AFd);
// The port a TCP socket listens on, 0 for others.
int ListeningPort(int AFd);
