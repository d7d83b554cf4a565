#pragma once

// Waits for the dial-up library's change notification on a thread of its
// own and hands each one to the thread that made the waiter, where OnChanged
// runs. The library sets an event whenever a connection comes up or ends;
// waiting for it is how the platform tells of changes without a poll.

#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "Windows.h"

class QObject;

class TRasChangeWaiter {
 public:
  TRasChangeWaiter();
  // Stops the thread; changes still on their way are dropped.
  ~TRasChangeWaiter();
  TRasChangeWaiter(const TRasChangeWaiter&) = delete;
  TRasChangeWaiter& operator=(const TRasChangeWaiter&) = delete;

  // Asks the library for its change notification and starts waiting; false
  // when the library lacks it or refuses, and then nothing runs.
  bool Start();
  bool Running() const { return FThread.joinable(); }

  // Runs on the thread that made the waiter, once for one or more changes.
  std::function<void()> OnChanged;

 private:
  void Wait();

  HANDLE FChanged = nullptr;
  HANDLE FStop = nullptr;
  std::mutex FPostLock;
  std::unique_ptr<QObject> FReceiver;
  std::thread FThread;
};
