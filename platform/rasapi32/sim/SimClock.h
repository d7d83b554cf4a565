#pragma once

// The simulated service's time: nanoseconds since boot, the same in every
// process, counting on while the machine sleeps. Connections are stamped with
// the boot they were made in, since none survives a restart.

#include <cstdint>
#include <string>

namespace dravik::ras {

int64_t SimNowNs();
const std::string& SimBootId();

}  // namespace dravik::ras
