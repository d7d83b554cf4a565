#pragma once

#include <exception>
#include <functional>
#include <string>

// Where an exception goes that escapes a handler run by the toolkit or a
// timer: to the one error handler of the program. The window program installs
// one that shows an error box; a program without a window installs its own
// (a log line). Until one is installed, the error is written to the standard
// error. The core itself never shows anything.
using TErrorHandler = std::function<void(std::exception_ptr)>;

// Installs AHandler for every error to come; an empty one restores the
// standard error.
void SetErrorHandler(TErrorHandler AHandler);

// Hands AError to the installed handler.
void HandleException(std::exception_ptr AError);

// The error text as the user is shown it: a full stop is appended when missing.
std::string ErrorText(std::exception_ptr AError);

// Runs a handler that the toolkit calls (a slot, a notifier), handing on what
// it throws: an exception must never unwind through the toolkit's frames.
template <typename Handler>
void Guarded(Handler&& AHandler) noexcept {
  try {
    AHandler();
  } catch (...) {
    HandleException(std::current_exception());
  }
}
