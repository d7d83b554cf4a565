#pragma once

// Follows the simulated service's state for the library's change
// notification: a thread that wakes when any process replaces the state file
// (inotify on the runtime folder) and when a listed dial reaches its end (it
// connects or fails then, without a write), and tells the library each time.

#include <string>
#include <thread>

#include "SimState.h"

namespace dravik::ras {

class TSimWatcher {
 public:
  explicit TSimWatcher(const std::string& ARuntimeDir);
  ~TSimWatcher();
  TSimWatcher(const TSimWatcher&) = delete;
  TSimWatcher& operator=(const TSimWatcher&) = delete;

  // Starts the thread; false (and why) when the folder cannot be watched.
  bool Start(std::string& AProblem);

 private:
  void Run();
  // The moment the next listed dial reaches its end, after ANowNs; INT64_MAX
  // when none is on its way.
  int64_t NextDialEnd(int64_t ANowNs) const;

  std::string FDir;
  TSimStore FStore;
  int FNotify = -1;
  int FStop = -1;
  std::thread FThread;
};

}  // namespace dravik::ras
