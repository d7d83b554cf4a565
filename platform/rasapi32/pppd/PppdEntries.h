#pragma once

// A peer as an entry of the pppd provider's phonebook: the credentials
// stored for it and what its user should know about it.

#include <string>

#include "PppdPaths.h"
#include "Ras.h"

namespace dravik::ras::pppd {

struct TStoredEntry {
  // The peer's user option; empty without one.
  std::string User;
  // The user's secret; empty when there is none the caller may read.
  std::string Password;
  bool Pppoe = false;
};

// Reads the peer AName: ERROR_SUCCESS, ERROR_CANNOT_FIND_PHONEBOOK_ENTRY for
// no such peer, or ErrorAccessDenied when the caller may not read its file.
DWORD ReadStoredEntry(const TPppdPaths& APaths, const std::string& AName, TStoredEntry& AEntry);

// A warning about a peer that pppd dials again, or brings up, by itself;
// empty when there is none.
std::string WarningOfPeer(const TPppdPaths& APaths, const std::string& AName);

}  // namespace dravik::ras::pppd
