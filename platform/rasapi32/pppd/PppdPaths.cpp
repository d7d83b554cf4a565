#include "PppdPaths.h"

#include <cstdlib>

#include "RasConfig.h"

namespace dravik::ras::pppd {

namespace {

// An absolute path of a sane length without control characters; the
// provider builds file names and pppd's argument vector from it.
bool IsAbsolutePath(const std::string& AText) {
  if (AText.size() < 2 || AText.size() > 1024 || AText[0] != '/') return false;
  for (char Char : AText) {
    const auto Byte = static_cast<unsigned char>(Char);
    if (Byte < 0x20 || Byte == 0x7F) return false;
  }
  return true;
}

// One path: the environment variable, else the configuration line, else
// ADefault as it is.
void Choose(const char* AVariable, const char* AKey, const std::string& AConfigFile,
            std::string& APath, std::string& AProblem) {
  if (!AProblem.empty()) return;
  const char* FromEnvironment = std::getenv(AVariable);
  if (FromEnvironment != nullptr && *FromEnvironment != 0) {
    if (!IsAbsolutePath(FromEnvironment)) {
      AProblem = std::string(AVariable) + " must be an absolute path";
      return;
    }
    APath = FromEnvironment;
    return;
  }
  std::string Configured;
  if (!ConfigValue(AConfigFile, AKey, Configured, AProblem)) return;
  if (!IsAbsolutePath(Configured)) {
    AProblem = "the " + std::string(AKey) + " line of " + AConfigFile + " is not an absolute path";
    return;
  }
  APath = Configured;
}

}  // namespace

TPppdPaths ChosenPppdPaths(const std::string& AConfigFile, std::string& AProblem) {
  TPppdPaths Paths;
  Choose("DRAVIK_PPPD", "pppd", AConfigFile, Paths.Program, AProblem);
  Choose("DRAVIK_PPP_DIR", "ppp-dir", AConfigFile, Paths.ConfigDir, AProblem);
  Choose("DRAVIK_PPP_RUN_DIR", "ppp-run-dir", AConfigFile, Paths.RunDir, AProblem);
  // A trailing slash would make "//" in every name built from a folder.
  for (std::string* Folder : {&Paths.ConfigDir, &Paths.RunDir}) {
    while (Folder->size() > 1 && Folder->back() == '/') Folder->pop_back();
  }
  return Paths;
}

}  // namespace dravik::ras::pppd
