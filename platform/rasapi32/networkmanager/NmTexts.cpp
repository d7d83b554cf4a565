#include "NmTexts.h"

namespace dravik::ras::nm {

bool IsUuid(const std::string& AText) {
  if (AText.empty() || AText.size() > 64) return false;
  for (char Char : AText) {
    const bool Fits = (Char >= '0' && Char <= '9') || (Char >= 'a' && Char <= 'f') ||
                      (Char >= 'A' && Char <= 'F') || Char == '-';
    if (!Fits) return false;
  }
  return true;
}

bool IsTypeName(const std::string& AText) {
  if (AText.empty() || AText.size() > 64) return false;
  for (char Char : AText) {
    const bool Fits = (Char >= 'a' && Char <= 'z') || (Char >= '0' && Char <= '9') || Char == '-' ||
                      Char == '_' || Char == '.';
    if (!Fits) return false;
  }
  return true;
}

}  // namespace dravik::ras::nm
