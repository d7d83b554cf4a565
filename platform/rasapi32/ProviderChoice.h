#pragma once

// Which provider stands behind the exported calls, chosen once per process:
// the environment variable DRAVIK_RAS_PROVIDER, else the "provider" line of
// ras.conf in the user's configuration folder, else the first provider whose
// detection finds its service on this machine, else the simulated service.
// A provider that is unknown or cannot start is replaced by one that fails
// every call with ERROR_RASMAN_CANNOT_INITIALIZE and says why.

#include <memory>
#include <string>

#include "RasProvider.h"

namespace dravik::ras {

std::shared_ptr<RasProvider> CurrentProvider();

// How the provider in use was chosen, and by what (in words): named by the
// environment or ras.conf, detected, or the simulated service as the
// fallback when no real service was found (then Text says what was looked
// for).
struct TProviderChoice {
  enum THow { Named = 1, Detected = 2, Fallback = 3 };
  THow How = Named;
  std::string Text;
};
TProviderChoice CurrentProviderChoice();

// The provider named ("sim", ...), or an unusable one that says why.
std::shared_ptr<RasProvider> MakeProvider(const std::string& AName, const std::string& AOrigin);

}  // namespace dravik::ras
