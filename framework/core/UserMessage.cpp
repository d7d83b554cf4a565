#include "UserMessage.h"

#include <cstdio>
#include <utility>

#include "THook.h"

namespace {

void WriteToStandardError(const std::string& AMessage, TMsgDlgType) {
  std::fprintf(stderr, "%s\n", AMessage.c_str());
}

// Made at first use, so that it serves code that runs before main too.
THook<const std::string&, TMsgDlgType>& MessageHook() {
  static THook<const std::string&, TMsgDlgType> Hook(&WriteToStandardError);
  return Hook;
}

}  // namespace

void SetUserMessageHandler(TUserMessageHandler AHandler) {
  MessageHook().Install(std::move(AHandler));
}

void ShowUserMessage(const std::string& AMessage, TMsgDlgType AType) {
  MessageHook()(AMessage, AType);
}
