// Stands in for the window program in the tests that kill it while it
// closes: the real main window on the test clock (the About splash and the
// cycle's timers never run), its settings file beside the executable path
// given as the only argument. It prints "ready" once the window is up and
// then closes the window over and over, each close saving the other of two
// sets of values, until it is killed.

#include <QCoreApplication>
#include <cstdio>

#include "TestSupport.h"
#include "Unit1.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  TGuiApplication App(argc, argv);
  TManualClock::Use();
  TModalRecorder::Instance().Install();
  TForm1 Form(argv[1]);
  Form.show();
  QCoreApplication::processEvents();
  std::printf("ready\n");
  std::fflush(stdout);
  for (bool Second = true;; Second = !Second) {
    Form.SpinEdit1->SetValue(Second ? 3600 : 61);
    Form.SpinEdit2->SetValue(Second ? 7 : 21);
    Form.CheckBox1->setChecked(Second);
    Form.show();
    if (!Form.close()) return 1;
    QCoreApplication::processEvents();
  }
}
