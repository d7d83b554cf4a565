#include "ErrorHandler.h"

#include <cstdio>
#include <utility>

namespace {

TErrorHandler& Installed() {
  static TErrorHandler Handler;
  return Handler;
}

}  // namespace

void SetErrorHandler(TErrorHandler AHandler) { Installed() = std::move(AHandler); }

void HandleException(std::exception_ptr AError) {
  if (Installed()) {
    Installed()(AError);
    return;
  }
  std::fprintf(stderr, "error: %s\n", ErrorText(AError).c_str());
}

std::string ErrorText(std::exception_ptr AError) {
  std::string Text;
  try {
    std::rethrow_exception(AError);
  } catch (const std::exception& Error) {
    Text = Error.what();
  } catch (...) {
    Text = "Unknown error";
  }
  if (Text.empty() || Text.back() != '.') Text += '.';
  return Text;
}
