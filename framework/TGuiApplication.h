#pragma once

#include <QApplication>

// The toolkit's application. Handlers catch their own exceptions
// (TApplication::Guarded), since unwinding through the toolkit is not safe;
// this is the last net for one that slipped through: it is shown to the user
// and the program runs on.
class TGuiApplication : public QApplication {
 public:
  TGuiApplication(int& AArgc, char** AArgv);
  bool notify(QObject* AReceiver, QEvent* AEvent) override;
};
