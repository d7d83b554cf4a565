#pragma once

// The threads that report asynchronous dials. Each dial gets a thread of the
// library's own; a thread waits through TDialThreads so that the library can
// stop it: when the library is unloaded or the process ends, every thread is
// woken, told to stop and joined, so that no notifier runs afterwards.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

namespace dravik::ras {

class TDialThreads {
 public:
  static TDialThreads& Instance();

  // Runs AJob on a new thread. AJob receives this object to wait on.
  void Launch(std::function<void(TDialThreads&)> AJob);

  // Waits until AUntilNs on the service's clock, at most AMaxWaitNs; false
  // when the threads are told to stop.
  bool WaitUntil(int64_t AUntilNs, int64_t AMaxWaitNs);

  bool Stopping();

  // Stops and joins every thread. Runs by itself at unload or exit.
  void StopAll();

  ~TDialThreads();

 private:
  TDialThreads() = default;
  struct TWorker {
    std::thread Thread;
    bool Done = false;
  };
  void JoinFinished();

  std::mutex FLock;
  std::condition_variable FWake;
  std::list<TWorker> FWorkers;
  bool FStopping = false;
};

}  // namespace dravik::ras
