#pragma once

// The NetworkManager provider as the provider choice sees it: its detection
// and its making.

#include <memory>
#include <string>

#include "RasProvider.h"

namespace dravik::ras::nm {

// Whether org.freedesktop.NetworkManager has an owner on the system bus
// now. Asks with a short time limit; no bus reads as no.
bool DetectNetworkManager();

// The provider, reading its choice of types from AConfigFile; on failure
// AProblem says why.
std::shared_ptr<RasProvider> MakeNetworkManagerProvider(const std::string& AConfigFile,
                                                        std::string& AProblem);

}  // namespace dravik::ras::nm
