#include "ErrorHandler.h"

#include <cstdio>
#include <utility>

#include "THook.h"

namespace {

void WriteToStandardError(std::exception_ptr AError) {
  std::fprintf(stderr, "error: %s\n", ErrorText(AError).c_str());
}

// Made at first use, so that it serves code that runs before main too.
THook<std::exception_ptr>& ErrorHook() {
  static THook<std::exception_ptr> Hook(&WriteToStandardError);
  return Hook;
}

}  // namespace

void SetErrorHandler(TErrorHandler AHandler) { ErrorHook().Install(std::move(AHandler)); }

void HandleException(std::exception_ptr AError) { ErrorHook()(AError); }

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
