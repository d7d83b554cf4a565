#include "RasConfig.h"

#include <string_view>

#include "IniText.h"
#include "ReadBoundedFile.h"

namespace dravik::ras {

bool ConfigValue(const std::string& AFile, const std::string& AKey, std::string& AValue,
                 std::string& AProblem) {
  // A configuration file is a few lines; a larger one is not ours.
  constexpr size_t MaxConfigBytes = 64 * 1024;
  std::string Text;
  switch (ReadBoundedFile(AFile, MaxConfigBytes, Text)) {
    case TFileRead::Read:
      break;
    case TFileRead::Missing:
      return false;
    case TFileRead::CannotOpen:
      AProblem = AFile + " cannot be read";
      return false;
    case TFileRead::Refused:
      AProblem = AFile + " is not a plain file of at most 64 KiB";
      return false;
  }
  for (const TIniLine& Line : SplitIniLines(Text)) {
    std::string_view Key, Value;
    if (!IniKeyLine(Line.Text, Key, Value) || Key != AKey) continue;
    AValue = std::string(Value);
    return true;
  }
  return false;
}

}  // namespace dravik::ras
