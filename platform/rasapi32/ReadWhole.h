#pragma once

#include <cstddef>
#include <string>

namespace dravik::ras {

// Reads the regular file open as AFd into AText, refusing one larger than
// AMaxBytes, so that a file planted by another process cannot make the
// service read without end. A read that stops early leaves what was read.
bool ReadWhole(int AFd, size_t AMaxBytes, std::string& AText);

}  // namespace dravik::ras
