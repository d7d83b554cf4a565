#pragma once

// Checks of texts that come from NetworkManager over D-Bus before they are
// used: lengths that fit the dial-up records, and their form.

#include <string>

#include "RasTexts.h"

namespace dravik::ras::nm {

// Profile names, credentials, addresses and interface names pass the checks
// every provider makes.
using ras::IsCredential;
using ras::IsEntryName;
using ras::IsInterfaceName;
using ras::IsIpv4Address;

// A profile's UUID: hexadecimal digits and dashes.
bool IsUuid(const std::string& AText);

// A NetworkManager connection type name ("pppoe", "802-3-ethernet", ...).
bool IsTypeName(const std::string& AText);

}  // namespace dravik::ras::nm
