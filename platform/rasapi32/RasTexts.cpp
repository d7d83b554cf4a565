#include "RasTexts.h"

#include "InetAddress.h"
#include "Ras.h"

namespace dravik::ras {

namespace {

bool HasNoControl(const std::string& AText) {
  for (char Char : AText) {
    const auto Byte = static_cast<unsigned char>(Char);
    if (Byte < 0x20 || Byte == 0x7F) return false;
  }
  return true;
}

}  // namespace

bool IsEntryName(const std::string& AText) {
  return !AText.empty() && AText.size() <= static_cast<size_t>(RAS_MaxEntryName) &&
         HasNoControl(AText);
}

bool IsCredential(const std::string& AText) {
  return AText.size() <= static_cast<size_t>(UNLEN) && AText.find('\0') == std::string::npos;
}

bool IsIpv4Address(const std::string& AText) {
  if (AText.empty() || AText.size() > static_cast<size_t>(RAS_MaxIpAddress)) return false;
  in_addr Address;
  return inet_pton(AF_INET, AText.c_str(), &Address) == 1;
}

bool IsInterfaceName(const std::string& AText) {
  return !AText.empty() && AText.size() < 16 && HasNoControl(AText) &&
         AText.find('/') == std::string::npos;
}

}  // namespace dravik::ras
