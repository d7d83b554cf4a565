#pragma once

// The "key = value" lines of the dial-up service's configuration file
// (ras.conf).

#include <string>

namespace dravik::ras {

// Whether a line names AKey; AValue gets the first such line's value,
// trimmed. No file (or one too large to be ours) reads as no line.
bool ConfigValue(const std::string& AFile, const std::string& AKey, std::string& AValue);

}  // namespace dravik::ras
