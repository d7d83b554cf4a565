#pragma once

// Checks of texts that come from NetworkManager over D-Bus before they are
// used: lengths that fit the dial-up records, and their form.

#include <string>

namespace dravik::ras::nm {

// A profile name the phonebook can list: 1 to 256 bytes, no NUL and no
// control characters (it is shown in lists and written one a line).
bool IsEntryName(const std::string& AText);

// A profile's UUID: hexadecimal digits and dashes.
bool IsUuid(const std::string& AText);

// A NetworkManager connection type name ("pppoe", "802-3-ethernet", ...).
bool IsTypeName(const std::string& AText);

// A user name or password that fits its field of the dial record.
bool IsCredential(const std::string& AText);

// A dotted IPv4 address.
bool IsIpv4Address(const std::string& AText);

// A network interface name.
bool IsInterfaceName(const std::string& AText);

}  // namespace dravik::ras::nm
