#include "RasConfig.h"

#include <string_view>

#include "IniText.h"
#include "ReadBoundedFile.h"

namespace dravik::ras {

bool ConfigValue(const std::string& AFile, const std::string& AKey, std::string& AValue) {
  // A configuration file is a few lines; a larger one is not ours.
  constexpr size_t MaxConfigBytes = 64 * 1024;
  std::string Text;
  if (ReadBoundedFile(AFile, MaxConfigBytes, Text) != TFileRead::Read) return false;
  for (const TIniLine& Line : SplitIniLines(Text)) {
    std::string_view Key, Value;
    if (!IniKeyLine(Line.Text, Key, Value) || Key != AKey) continue;
    AValue = std::string(Value);
    return true;
  }
  return false;
}

}  // namespace dravik::ras
