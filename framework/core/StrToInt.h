#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Reads a signed 32-bit integer the way the framework reads numbers typed by
// the user or stored in a profile file: leading blanks, an optional sign, then
// decimal digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X", up
// to the end of the text. Anything else, or a value outside 32 bits, is no
// number.
std::optional<int32_t> TryStrToInt(std::string_view AText);

inline int32_t StrToIntDef(std::string_view AText, int32_t ADefault) {
  return TryStrToInt(AText).value_or(ADefault);
}
