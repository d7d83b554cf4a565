#pragma once

// The "key = value" lines of the dial-up service's configuration file
// (ras.conf).

#include <string>

namespace dravik::ras {

// Whether a line names AKey; AValue gets the first such line's value,
// trimmed. No file reads as no line. A file that is there but cannot be read
// as ours (not a plain file, larger than 64 KiB, no permission, links in a
// loop) reads as no line too, and AProblem then says so, naming the file: a
// choice the user wrote there must not be replaced by a default unseen.
bool ConfigValue(const std::string& AFile, const std::string& AKey, std::string& AValue,
                 std::string& AProblem);

}  // namespace dravik::ras
