#pragma once

#include <functional>
#include <utility>

#include "TComponent.h"

// A bound event: a handler together with the object it belongs to, or
// nothing. Raising an unbound event does nothing; senders come first.
template <typename... Args>
class TEvent {
 public:
  TEvent() = default;

  template <typename Object>
  void Bind(Object* AObject, void (Object::*AMethod)(Args...)) {
    FHandler = [AObject, AMethod](Args... AArgs) { (AObject->*AMethod)(AArgs...); };
  }
  void Bind(std::function<void(Args...)> AHandler) { FHandler = std::move(AHandler); }
  void Unbind() { FHandler = nullptr; }
  bool Assigned() const { return static_cast<bool>(FHandler); }

  void operator()(Args... AArgs) const {
    if (FHandler) FHandler(AArgs...);
  }

 private:
  std::function<void(Args...)> FHandler;
};

using TNotifyEvent = TEvent<TObject*>;
