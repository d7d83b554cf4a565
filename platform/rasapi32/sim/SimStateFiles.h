#pragma once

// The simulated service's state file as the system's files see it: a peek
// at its first bytes and the writers' lock. The state's own logic is in
// SimState.cpp; only these differ between the systems.

#include <cstddef>
#include <cstdint>
#include <string>

namespace dravik::ras {

// Whether the regular file APath, of at most AMaxBytes, begins with APrefix;
// reads no further.
bool FileStartsWith(const std::string& APath, const std::string& APrefix, size_t AMaxBytes);

// An exclusive lock on the writers' lock file APath (made when absent),
// waited for when the object is made and held while it lives.
class TSimStateLock {
 public:
  explicit TSimStateLock(const std::string& APath);
  ~TSimStateLock();
  TSimStateLock(const TSimStateLock&) = delete;
  TSimStateLock& operator=(const TSimStateLock&) = delete;

  // Empty while the lock is held; else why it is not.
  const std::string& Problem() const { return FProblem; }

 private:
  intptr_t FFile = -1;
  std::string FProblem;
};

}  // namespace dravik::ras
