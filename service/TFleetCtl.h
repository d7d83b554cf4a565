#pragma once

// dravikctl's fleet commands, straight to the fleet's Redis: list the live
// nodes, and rotate, pause or resume one node or all of them.

#include <string>
#include <vector>

#include "TFleetConfig.h"

// AArgs: the words after "fleet". Empty when they are fine, else what is wrong.
std::string CheckFleetArgs(const std::vector<std::string>& AArgs);

// Runs the command; the exit status as dravikctl's.
int RunFleetCommand(const TFleetConfig& AConfig, const std::vector<std::string>& AArgs, bool AJson);
