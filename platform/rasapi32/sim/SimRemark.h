#pragma once

// What the simulated service has to say about the last call of this thread
// that read its files: why it failed, or why a listing came out empty,
// naming the file. Empty when there is nothing to say.

#include <string>

namespace dravik::ras {

std::string& SimRemark();

}  // namespace dravik::ras
