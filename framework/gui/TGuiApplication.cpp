#include "TGuiApplication.h"

#include "ApplicationEnd.h"
#include "ErrorHandler.h"
#include "TAccessibleStatusBar.h"
#include "TApplication.h"
#include "TDialogs.h"
#include "UserMessage.h"

TGuiApplication::TGuiApplication(int& AArgc, char** AArgv) : QApplication(AArgc, AArgv) {
  SetErrorHandler(&TApplication::ShowException);
  SetUserMessageHandler(
      [](const std::string& AMessage, TMsgDlgType AType) { MessageDlg(AMessage, AType); });
  TAccessibleStatusBar::Install();
}

TGuiApplication::~TGuiApplication() {
  // Before anything of the application goes away: what other threads post
  // to it is shut first.
  RunApplicationEndSteps();
  // Without the application no box can be shown.
  SetUserMessageHandler(nullptr);
  SetErrorHandler(nullptr);
}

bool TGuiApplication::notify(QObject* AReceiver, QEvent* AEvent) {
  try {
    return QApplication::notify(AReceiver, AEvent);
  } catch (...) {
    HandleException(std::current_exception());
    return false;
  }
}
