#include "SimClock.h"

#include <time.h>

#include <cctype>
#include <fstream>

namespace dravik::ras {

int64_t SimNowNs() {
  timespec Now{};
  clock_gettime(CLOCK_BOOTTIME, &Now);
  return static_cast<int64_t>(Now.tv_sec) * 1000000000 + Now.tv_nsec;
}

const std::string& SimBootId() {
  // Never destroyed: the simulated service's watch thread may read it while
  // the process ends.
  static const std::string& Id = *new std::string([] {
    std::ifstream File("/proc/sys/kernel/random/boot_id");
    std::string Text;
    std::getline(File, Text);
    // Kept as one word of at most 64 characters, as the state file stores it.
    std::string Word;
    for (char Char : Text.substr(0, 64)) {
      if (std::isalnum(static_cast<unsigned char>(Char)) || Char == '-') Word += Char;
    }
    return Word.empty() ? std::string("unknown") : Word;
  }());
  return Id;
}

}  // namespace dravik::ras
