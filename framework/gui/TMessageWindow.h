#pragma once

#include <functional>

#include "WinUser.h"

// A message as a window procedure receives it, with the result it gives back.
struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

using TWndMethod = std::function<void(TMessage&)>;

// A window that is never shown and only receives messages: every message
// posted or sent to its handle goes to its method, on the thread that made
// it. The handle ends with the object; messages still queued for it then go
// nowhere.
class TMessageWindow {
 public:
  explicit TMessageWindow(TWndMethod AMethod);
  ~TMessageWindow();
  TMessageWindow(const TMessageWindow&) = delete;
  TMessageWindow& operator=(const TMessageWindow&) = delete;

  HWND Handle() const { return FHandle; }

 private:
  static LRESULT CALLBACK WindowProc(HWND AWindow, UINT AMsg, WPARAM AWParam, LPARAM ALParam);

  TWndMethod FMethod;
  HWND FHandle;
};
