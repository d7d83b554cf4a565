#include "UserMessage.h"

#include <cstdio>
#include <utility>

namespace {

TUserMessageHandler& Installed() {
  static TUserMessageHandler Handler;
  return Handler;
}

}  // namespace

void SetUserMessageHandler(TUserMessageHandler AHandler) { Installed() = std::move(AHandler); }

void ShowUserMessage(const std::string& AMessage, TMsgDlgType AType) {
  if (Installed()) {
    Installed()(AMessage, AType);
    return;
  }
  std::fprintf(stderr, "%s\n", AMessage.c_str());
}
