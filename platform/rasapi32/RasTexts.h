#pragma once

// Checks of texts a provider takes from outside (a service's answers, a
// system's files) before it hands them to a caller: lengths that fit the
// dial-up records, and their form.

#include <string>

namespace dravik::ras {

// An entry name the phonebook can list: 1 to 256 bytes, no NUL and no
// control characters (it is shown in lists and written one a line).
bool IsEntryName(const std::string& AText);

// A user name or password that fits its field of the dial record.
bool IsCredential(const std::string& AText);

// A dotted IPv4 address.
bool IsIpv4Address(const std::string& AText);

// A network interface name.
bool IsInterfaceName(const std::string& AText);

}  // namespace dravik::ras
