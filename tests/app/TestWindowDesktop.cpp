// The main window on a real desktop, as a person and a screen reader meet it:
// a private X server with a window manager (openbox). The splash's pixels are
// read back from the X server while start-up waits.

#include <QApplication>
#include <QScreen>
#include <cstdio>

#include "TApplication.h"
#include "TSimService.h"
#include "TSimServiceDir.h"
#include "TXDisplay.h"
#include "TestSupport.h"
#include "Unit1.h"
#include "uAboutBox.h"

namespace {

const QByteArray Phonebook = "[Broadband]\nUserName=alice\nPassword=s3cret\nDialSeconds=0\n";

// How many pixels of two pictures of one size differ.
int DifferentPixels(const QImage& AOne, const QImage& AOther) {
  const QImage One = AOne.convertToFormat(QImage::Format_RGB32);
  const QImage Other = AOther.convertToFormat(QImage::Format_RGB32);
  int Count = 0;
  for (int Y = 0; Y < One.height(); ++Y)
    for (int X = 0; X < One.width(); ++X)
      if (One.pixel(X, Y) != Other.pixel(X, Y)) ++Count;
  return Count;
}

}  // namespace

class TestWindowDesktop : public QObject {
  Q_OBJECT
  TSimServiceDir FService;

 private slots:
  void initTestCase() {
    QVERIFY(FService.IsValid());
    FService.WritePhonebook(Phonebook);
    Application().SetTitle("【Dravik】 V2.0");
    QTRY_VERIFY_WITH_TIMEOUT(TXDisplay::WindowManagerRunning(), 20000);
  }

  // While start-up waits, the screen shows the About window as it draws
  // itself: the picture, the maker's name and the links, not an empty frame.
  void SplashIsOnTheScreenDuringTheWait() {
    TManualClock& Clock = TManualClock::Instance();
    QImage OnScreen;
    QImage Drawn;
    QImage Picture;
    Clock.Sleeping = [&](uint64_t) {
      for (QWidget* Top : QApplication::topLevelWidgets()) {
        auto* Splash = qobject_cast<TAboutBox*>(Top);
        if (Splash == nullptr || !Splash->isVisible()) continue;
        // The client area's pixels as the X server holds them.
        const QRect Area = Splash->geometry();
        OnScreen = QGuiApplication::primaryScreen()
                       ->grabWindow(0, Area.x(), Area.y(), Area.width(), Area.height())
                       .toImage();
        Drawn = Splash->grab().toImage();
        Picture = Splash->ProgramIcon->pixmap().toImage();
      }
    };
    TWindowUnderTest Window;
    Window.Create();
    Clock.Sleeping = nullptr;
    QVERIFY(!Drawn.isNull());
    QCOMPARE(OnScreen.size(), Drawn.size());
    QCOMPARE(Picture.size(), QSize(130, 60));
    // What the window draws has the picture and text in it: many colours.
    QSet<QRgb> Colours;
    for (int Y = 0; Y < Drawn.height(); ++Y)
      for (int X = 0; X < Drawn.width(); ++X) Colours.insert(Drawn.pixel(X, Y));
    QVERIFY2(Colours.size() > 50, qPrintable(QString::number(Colours.size())));
    const int Different = DifferentPixels(OnScreen, Drawn);
    if (Different != 0) {
      const QByteArray Folder = qgetenv("DRAVIK_SHOT_DIR");
      if (!Folder.isEmpty()) {
        OnScreen.save(QString::fromLocal8Bit(Folder) + "/splash-on-screen.png");
        Drawn.save(QString::fromLocal8Bit(Folder) + "/splash-drawn.png");
      }
    }
    QCOMPARE(Different, 0);
  }
};

int main(int argc, char** argv) {
  TXDisplay Display;
  if (!Display.Start(800, 600)) {
    std::fprintf(stderr, "test_windowdesktop: %s\n", qPrintable(Display.Error()));
    return 1;
  }
  qputenv("QT_QPA_PLATFORM", "xcb");
  if (!Display.StartProgram({"openbox", "--sm-disable"})) {
    std::fprintf(stderr, "test_windowdesktop: openbox cannot be started\n");
    return 1;
  }
  TGuiApplication App(argc, argv);
  TManualClock::Use();
  TModalRecorder::Instance().Install();
  TestWindowDesktop Test;
  return QTest::qExec(&Test, argc, argv);
}

#include "TestWindowDesktop.moc"
