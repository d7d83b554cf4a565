#pragma once

// Where the dial-up service keeps its files. DRAVIK_RAS_DIR, when set, holds
// all of them: the configuration, the phonebook and (in its "run" folder)
// the runtime state. Otherwise configuration and phonebook live in the
// user's configuration folder and the runtime state in $XDG_RUNTIME_DIR, or
// in a private folder under /tmp when there is none.

#include <string>

namespace dravik::ras {

struct TRasPaths {
  std::string ConfigDir;
  std::string ConfigFile;
  std::string PhonebookFile;
  std::string RuntimeDir;
  // Set when the folders cannot be told (DRAVIK_RAS_DIR set but not an
  // absolute path): the service must not fall back to the user's own files.
  std::string Problem;
};

TRasPaths RasPaths();

// Creates the folder (and missing parents) with mode 0700 when absent and
// checks that it is a real folder (no link) owned by this user; AClosed also
// demands that no one else may enter it. On failure AProblem says why.
bool EnsurePrivateDir(const std::string& APath, bool AClosed, std::string& AProblem);

}  // namespace dravik::ras
