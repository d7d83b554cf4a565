// The dial-up service's configuration file (ras.conf), as the provider
// choice and the NetworkManager provider read it: the values found are one
// trimmed line each, and a types list either gives type names only or is a
// problem to report.
//
// Input: the file's content.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzFile.h"
#include "IniText.h"
#include "NmTexts.h"
#include "NmTypes.h"
#include "RasConfig.h"

using namespace dravik::ras;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  static const bool Unset = unsetenv("DRAVIK_NM_TYPES") == 0;
  (void)Unset;
  const std::string File =
      fuzz::WriteScratchFile(std::string(reinterpret_cast<const char*>(AData), ASize));
  for (const char* Key : {"provider", "types"}) {
    std::string Value, Unreadable;
    const bool Found = ConfigValue(File, Key, Value, Unreadable);
    // The scratch file is a plain file of ours: only its size may refuse it.
    if (!Unreadable.empty() && ASize <= 64 * 1024) std::abort();
    if (!Found) continue;
    if (Value.find('\n') != std::string::npos || IniTrim(Value) != Value) std::abort();
  }
  std::string Problem;
  const std::vector<std::string> Types = nm::ChosenTypes(File, Problem);
  if (Problem.empty()) {
    if (Types.empty()) std::abort();
    for (const std::string& Type : Types)
      if (!nm::IsTypeName(Type)) std::abort();
  }
  return 0;
}
