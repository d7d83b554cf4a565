#pragma once

#include <stdexcept>
#include <string>

// The framework's error: a message shown to the user when it escapes a handler.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& AMessage) : std::runtime_error(AMessage) {}
  std::string Message() const { return what(); }
};
