#pragma once

// The pppd provider as the provider choice sees it: its detection and its
// making.

#include <memory>
#include <string>

#include "RasProvider.h"

namespace dravik::ras::pppd {

// Whether this machine dials with pppd: the program is there and the peers
// folder holds a peer, or is there but closed to the caller (who then
// learns that the group dip is needed, rather than meeting the simulated
// service). Paths as the provider would take them from AConfigFile.
bool DetectPppd(const std::string& AConfigFile);

// The provider; on failure AProblem says why.
std::shared_ptr<RasProvider> MakePppdProvider(const std::string& AConfigFile,
                                              std::string& AProblem);

}  // namespace dravik::ras::pppd
