#pragma once

#include <QApplication>

// The toolkit's application, made to catch an exception that escapes a
// handler run from the message loop: it is shown to the user and the program
// runs on.
class TGuiApplication : public QApplication {
 public:
  TGuiApplication(int& AArgc, char** AArgv);
  bool notify(QObject* AReceiver, QEvent* AEvent) override;
};
