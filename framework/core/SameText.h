#pragma once

#include <string_view>

// Whether two texts are equal regardless of ASCII letter case. Bytes only:
// the bytes of multi-byte characters are never letters here.
bool SameText(std::string_view A, std::string_view B);
