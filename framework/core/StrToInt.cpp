#include "StrToInt.h"

namespace {

int DigitValue(char ADigit, int ABase) {
  int Value = -1;
  if (ADigit >= '0' && ADigit <= '9')
    Value = ADigit - '0';
  else if (ADigit >= 'a' && ADigit <= 'f')
    Value = ADigit - 'a' + 10;
  else if (ADigit >= 'A' && ADigit <= 'F')
    Value = ADigit - 'A' + 10;
  return Value < ABase ? Value : -1;
}

}  // namespace

std::optional<int32_t> TryStrToInt(std::string_view AText) {
  size_t Pos = 0;
  while (Pos < AText.size() && AText[Pos] == ' ') ++Pos;
  bool Negative = false;
  if (Pos < AText.size() && (AText[Pos] == '+' || AText[Pos] == '-')) {
    Negative = AText[Pos] == '-';
    ++Pos;
  }
  int Base = 10;
  std::string_view Rest = AText.substr(Pos);
  if (Rest.substr(0, 2) == "0x" || Rest.substr(0, 2) == "0X") {
    Base = 16;
    Pos += 2;
  } else if (!Rest.empty() && (Rest[0] == '$' || Rest[0] == 'x' || Rest[0] == 'X')) {
    Base = 16;
    Pos += 1;
  }
  if (Pos >= AText.size()) return std::nullopt;

  // Hexadecimal texts cover the full 32 bits, as $FFFFFFFF reads as -1.
  const int64_t Limit = Base == 16 ? 0xFFFFFFFFLL : (Negative ? 0x80000000LL : 0x7FFFFFFFLL);
  int64_t Magnitude = 0;
  for (; Pos < AText.size(); ++Pos) {
    const int Digit = DigitValue(AText[Pos], Base);
    if (Digit < 0) return std::nullopt;
    Magnitude = Magnitude * Base + Digit;
    if (Magnitude > Limit) return std::nullopt;
  }
  int64_t Value = Base == 16
                      ? static_cast<int64_t>(static_cast<int32_t>(static_cast<uint32_t>(Magnitude)))
                      : Magnitude;
  if (Negative) Value = -Value;
  if (Value < INT32_MIN || Value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(Value);
}
