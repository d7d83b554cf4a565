#pragma once

#include <QApplication>

// The toolkit's application. While it exists, errors that escape a handler
// and the components' messages reach the user in message boxes, and status
// bars are read by assistive technology with the text they show. Handlers
// catch their own exceptions (Guarded), since unwinding through the toolkit
// is not safe; notify is the last net for one that slipped through: it is
// shown to the user and the program runs on. Its destruction first runs the
// application's end steps (AtApplicationEnd).
class TGuiApplication : public QApplication {
 public:
  TGuiApplication(int& AArgc, char** AArgv);
  ~TGuiApplication() override;
  bool notify(QObject* AReceiver, QEvent* AEvent) override;
};
