#pragma once

// What the monitor knows of the first active connection: a plain record of
// fixed-width text fields, all zero bytes when empty.

#include <cstdint>
#include <cstring>
#include <string>

// A text of at most 255 single-byte characters behind a length byte.
struct TShortString {
  uint8_t Length;
  char Chars[255];

  std::string Text() const { return std::string(Chars, Length); }
  // Longer texts are cut to 255 characters.
  void Assign(const std::string& AText) {
    Length = static_cast<uint8_t>(AText.size() < sizeof(Chars) ? AText.size() : sizeof(Chars));
    std::memcpy(Chars, AText.data(), Length);
  }
};

struct TRasConnectionDetails {
  uint32_t Handle;
  TShortString StatusText;
  char EntryName[257];
  char DeviceType[17];
  char DeviceName[129];
  char IPAddress[16];
  char ServerIPAddress[16];
};

// A fixed-width field's text: up to its first NUL, or its full width when it
// holds none.
template <size_t N>
std::string FieldText(const char (&AField)[N]) {
  const void* Nul = std::memchr(AField, '\0', N);
  return std::string(AField, Nul ? static_cast<const char*>(Nul) - AField : N);
}
