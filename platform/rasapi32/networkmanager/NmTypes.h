#pragma once

// Which NetworkManager profiles the phonebook lists: those whose connection
// type is among the chosen types. DRAVIK_NM_TYPES, else the "types" line of
// ras.conf, else pppoe, gsm and cdma; a comma-separated list of type names.

#include <string>
#include <vector>

namespace dravik::ras::nm {

// The chosen types; AProblem says what was wrong with a list that was given,
// or with a configuration file that is there but cannot be read (then the
// provider must not start).
std::vector<std::string> ChosenTypes(const std::string& AConfigFile, std::string& AProblem);

}  // namespace dravik::ras::nm
