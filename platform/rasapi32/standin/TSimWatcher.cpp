// The stand-in follows no changes (see ChangeNotification.cpp here).

#include "TSimWatcher.h"

namespace dravik::ras {

TSimWatcher::TSimWatcher(const std::string& ARuntimeDir) : FDir(ARuntimeDir), FStore(ARuntimeDir) {}

TSimWatcher::~TSimWatcher() = default;

bool TSimWatcher::Start(std::string& AProblem) {
  AProblem = "the stand-in library follows no changes";
  return false;
}

void TSimWatcher::Run() {}

int64_t TSimWatcher::NextDialEnd(int64_t) const { return INT64_MAX; }

}  // namespace dravik::ras
