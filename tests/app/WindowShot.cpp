// window-shot: shows the main window on the display in use, lets it run in
// real time for a while, and saves a picture of it. For looking at the
// window under Xvfb, where no screen-capture program is installed:
//
//   DRAVIK_RAS_DIR=... DRAVIK_RAS_PROVIDER=sim xvfb-run -a -s "-screen 0 1024x768x24"
//       window-shot OUT.png [SECONDS] [connect]
//
// The window speaks the language the program would (LANG=en_US.UTF-8 for
// English). The settings file is read from and written beside OUT.png (as if the
// executable were OUT.png's folder/dravik.bin), never beside this program.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPixmap>
#include <QTest>
#include <cstdio>

#include "TApplication.h"
#include "TGuiApplication.h"
#include "TTranslations.h"
#include "Unit1.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: window-shot OUT.png [SECONDS] [connect]\n");
    return 2;
  }
  TGuiApplication App(argc, argv);
  // In the language the program would speak (LANG=en_US.UTF-8 for English).
  const TTranslations Translations(TTranslations::Chosen());
  const QString Out = QString::fromLocal8Bit(argv[1]);
  const int Seconds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 3;
  const bool Connect = argc > 3 && QString::fromLocal8Bit(argv[3]) == QStringLiteral("connect");
  Application().SetTitle("【Dravik】 V2.0");
  const QString Folder = QFileInfo(Out).absolutePath();
  TForm1 Form(QDir(Folder).filePath(QStringLiteral("dravik.bin")).toStdString());
  Application().SetMainForm(&Form);
  Form.show();
  if (Connect) QTest::mouseClick(Form.msend, Qt::LeftButton);
  QElapsedTimer Elapsed;
  Elapsed.start();
  while (Elapsed.elapsed() < Seconds * 1000) QTest::qWait(50);
  if (!Form.grab().save(Out)) {
    std::fprintf(stderr, "window-shot: cannot save %s\n", argv[1]);
    return 1;
  }
  std::printf("%s\n", argv[1]);
  return 0;
}
