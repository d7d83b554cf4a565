#include "TDialThreads.h"

#include <algorithm>
#include <chrono>

#include "SimClock.h"

namespace dravik::ras {

TDialThreads& TDialThreads::Instance() {
  // Built at the first asynchronous dial, so that its destructor runs at exit
  // before anything the program built earlier is torn down (and at unload
  // when the library goes first): the threads stop while their notifiers'
  // targets still exist.
  static TDialThreads Threads;
  return Threads;
}

TDialThreads::~TDialThreads() { StopAll(); }

void TDialThreads::Launch(std::function<void(TDialThreads&)> AJob) {
  std::lock_guard<std::mutex> Guard(FLock);
  // While the process ends no new reports start.
  if (FStopping) return;
  JoinFinished();
  FWorkers.emplace_back();
  TWorker* Worker = &FWorkers.back();
  Worker->Thread = std::thread([this, Worker, Job = std::move(AJob)]() {
    Job(*this);
    std::lock_guard<std::mutex> Done(FLock);
    Worker->Done = true;
  });
}

// Joining a finished thread takes no time; it is done under the lock so that
// a launch never races a reap.
void TDialThreads::JoinFinished() {
  for (auto Worker = FWorkers.begin(); Worker != FWorkers.end();) {
    if (Worker->Done) {
      Worker->Thread.join();
      Worker = FWorkers.erase(Worker);
    } else {
      ++Worker;
    }
  }
}

bool TDialThreads::WaitUntil(int64_t AUntilNs, int64_t AMaxWaitNs) {
  std::unique_lock<std::mutex> Guard(FLock);
  const int64_t Wait = std::min(AUntilNs - SimNowNs(), AMaxWaitNs);
  if (Wait > 0) {
    FWake.wait_for(Guard, std::chrono::nanoseconds(Wait), [this] { return FStopping; });
  }
  return !FStopping;
}

bool TDialThreads::Stopping() {
  std::lock_guard<std::mutex> Guard(FLock);
  return FStopping;
}

void TDialThreads::StopAll() {
  std::list<TWorker> Workers;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    FStopping = true;
    Workers.swap(FWorkers);
  }
  FWake.notify_all();
  for (TWorker& Worker : Workers) {
    // A notifier that ends the process from its own thread cannot wait for
    // itself.
    if (Worker.Thread.get_id() == std::this_thread::get_id()) {
      Worker.Thread.detach();
    } else if (Worker.Thread.joinable()) {
      Worker.Thread.join();
    }
  }
}

}  // namespace dravik::ras
