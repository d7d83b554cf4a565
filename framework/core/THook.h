#pragma once

#include <functional>
#include <utility>

// A program-wide handler that the program installs at start-up (the window
// program its boxes, a service its log), with a fallback that serves until
// one is installed and again after an empty one is.
template <typename... Args>
class THook {
 public:
  using THandler = std::function<void(Args...)>;

  explicit THook(void (*AFallback)(Args...)) : FFallback(AFallback) {}

  void Install(THandler AHandler) { FHandler = std::move(AHandler); }

  void operator()(Args... AArgs) const {
    if (FHandler)
      FHandler(AArgs...);
    else
      FFallback(AArgs...);
  }

 private:
  void (*FFallback)(Args...);
  THandler FHandler;
};
