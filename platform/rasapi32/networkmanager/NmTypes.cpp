#include "NmTypes.h"

#include <cstdlib>

#include "NmTexts.h"
#include "RasConfig.h"

namespace dravik::ras::nm {

namespace {

bool SplitTypes(const std::string& AList, std::vector<std::string>& ATypes) {
  ATypes.clear();
  if (AList.size() > 1000) return false;
  size_t Start = 0;
  for (;;) {
    const size_t Comma = AList.find(',', Start);
    std::string Item = AList.substr(Start, Comma == std::string::npos ? Comma : Comma - Start);
    const size_t First = Item.find_first_not_of(" \t");
    const size_t Last = Item.find_last_not_of(" \t");
    Item = First == std::string::npos ? std::string() : Item.substr(First, Last - First + 1);
    if (!IsTypeName(Item)) return false;
    ATypes.push_back(Item);
    if (Comma == std::string::npos) return true;
    Start = Comma + 1;
  }
}

}  // namespace

std::vector<std::string> ChosenTypes(const std::string& AConfigFile, std::string& AProblem) {
  std::vector<std::string> Types;
  const char* FromEnvironment = std::getenv("DRAVIK_NM_TYPES");
  if (FromEnvironment != nullptr && *FromEnvironment != 0) {
    if (!SplitTypes(FromEnvironment, Types)) {
      AProblem = "DRAVIK_NM_TYPES is not a comma-separated list of connection types";
    }
    return Types;
  }
  std::string Configured;
  if (ConfigValue(AConfigFile, "types", Configured, AProblem)) {
    if (!SplitTypes(Configured, Types)) {
      AProblem =
          "the types line of " + AConfigFile + " is not a comma-separated list of connection types";
    }
    return Types;
  }
  if (!AProblem.empty()) return {};
  return {"pppoe", "gsm", "cdma"};
}

}  // namespace dravik::ras::nm
