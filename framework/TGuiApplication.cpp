#include "TGuiApplication.h"

#include "TApplication.h"

TGuiApplication::TGuiApplication(int& AArgc, char** AArgv) : QApplication(AArgc, AArgv) {}

bool TGuiApplication::notify(QObject* AReceiver, QEvent* AEvent) {
  try {
    return QApplication::notify(AReceiver, AEvent);
  } catch (...) {
    TApplication::HandleException(std::current_exception());
    return false;
  }
}
