#pragma once

// One server runs one service per line, each with a configuration file of
// its own in one folder (/etc/dravik/NAME.conf for the instance NAME). Two of
// them must not rotate the same entry, listen on the same port or keep their
// state in the same folder: this looks at the files beside a configuration
// for that.

#include <string>

#include "TServiceConfig.h"

// Empty when no other readable configuration file beside AFileName (ending
// in ".conf") clashes with AConfig; else one line per clash, naming the
// other file.
std::string CheckNeighbourConfigs(const std::string& AFileName, const TServiceConfig& AConfig);
