#pragma once

// Who is at the other end of an accepted control connection, as the
// connection caps count clients: on this machine the user (a Unix socket's
// peer credentials, or for a loopback TCP connection the owner of the
// client's socket as the kernel's socket diagnostics tell it), else the
// peer's address.

#include <string>

std::string PeerIdentity(int AFd);
