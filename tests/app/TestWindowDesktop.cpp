// The main window on a real desktop, as a person and a screen reader meet it:
// a private X server with a window manager (openbox) and a session bus with
// AT-SPI's accessibility bus. The splash's pixels are read back from the X
// server while start-up waits; the status bars are read through AT-SPI, from
// this process's window and from the program itself, started in English.
//
// With DRAVIK_SHOT_DIR set to a folder, a picture of the screen with the
// English window, its dial failed, is saved there.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <cstdio>

#include "Maker.h"
#include "RasErrorText.h"
#include "TApplication.h"
#include "TAtSpiReader.h"
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
  int Count = 0;
  for (int Y = 0; Y < AOne.height(); ++Y)
    for (int X = 0; X < AOne.width(); ++X)
      if (AOne.pixel(X, Y) != AOther.pixel(X, Y)) ++Count;
  return Count;
}

bool Has(const QList<TAtSpiObject>& AObjects, const QString& ARole, const QString& AName) {
  for (const TAtSpiObject& Object : AObjects)
    if (Object.Role == ARole && Object.Name == AName) return true;
  return false;
}

// The text of the object with this role and name; "<none>" without one.
QString TextOf(const QList<TAtSpiObject>& AObjects, const QString& ARole, const QString& AName) {
  for (const TAtSpiObject& Object : AObjects)
    if (Object.Role == ARole && Object.Name == AName)
      return Object.HasText ? Object.Text : QStringLiteral("<no text>");
  return QStringLiteral("<none>");
}

// The texts the application announced into its bar named ABar from event
// AFrom on, each as "+text" (inserted) or "-text" (removed).
QStringList BarChanges(TAtSpiWatcher& AWatcher, const QString& AApplication, const QString& ABar,
                       int AFrom) {
  QStringList Changes;
  const QList<TAtSpiEvent>& Events = AWatcher.Events();
  for (int Index = AFrom; Index < Events.size(); ++Index) {
    const TAtSpiEvent& Event = Events[Index];
    if (Event.Application != AApplication || Event.Name != ABar) continue;
    if (Event.Type == QLatin1String("object:text-changed:insert")) Changes << '+' + Event.Data;
    if (Event.Type == QLatin1String("object:text-changed:delete")) Changes << '-' + Event.Data;
  }
  return Changes;
}

}  // namespace

class TestWindowDesktop : public QObject {
  Q_OBJECT
  TSimServiceDir FService;

 public:
  // Listening since before the application object.
  TAtSpiWatcher* Watcher = nullptr;

 private slots:
  void initTestCase() {
    QVERIFY(FService.IsValid());
    FService.WritePhonebook(Phonebook);
    Application().SetTitle("【Dravik】 V2.0");
    QTRY_VERIFY_WITH_TIMEOUT(TXDisplay::WindowManagerRunning(), 20000);
  }
  void init() { QVERIFY(TSimService::HangUpEverything()); }

  // While start-up waits, the screen shows the About window as it draws
  // itself: the picture, the maker's name and the links, not an empty frame.
  void SplashIsOnTheScreenDuringTheWait() {
    TManualClock& Clock = TManualClock::Instance();
    QImage OnScreen;
    QImage Drawn;
    QImage Picture;
    QRect PicturePlace;
    QRect NamePlace;
    Clock.Sleeping = [&](uint64_t) {
      for (QWidget* Top : QApplication::topLevelWidgets()) {
        auto* Splash = qobject_cast<TAboutBox*>(Top);
        if (Splash == nullptr || !Splash->isVisible()) continue;
        // The client area's pixels as the X server holds them.
        const QRect Area = Splash->geometry();
        OnScreen = QGuiApplication::primaryScreen()
                       ->grabWindow(0, Area.x(), Area.y(), Area.width(), Area.height())
                       .toImage()
                       .convertToFormat(QImage::Format_RGB32);
        Drawn = Splash->grab().toImage().convertToFormat(QImage::Format_RGB32);
        Picture = Splash->ProgramIcon->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
        PicturePlace = QRect(Splash->ProgramIcon->mapTo(Splash, QPoint()), Picture.size());
        NamePlace =
            QRect(Splash->ProductName->mapTo(Splash, QPoint()), Splash->ProductName->size());
      }
    };
    TWindowUnderTest Window;
    Window.Create();
    Clock.Sleeping = nullptr;
    QVERIFY(!Drawn.isNull());
    QCOMPARE(OnScreen.size(), Drawn.size());
    const int Different = DifferentPixels(OnScreen, Drawn);
    if (Different != 0) {
      const QByteArray Folder = qgetenv("DRAVIK_SHOT_DIR");
      if (!Folder.isEmpty()) {
        OnScreen.save(QString::fromLocal8Bit(Folder) + "/splash-on-screen.png");
        Drawn.save(QString::fromLocal8Bit(Folder) + "/splash-drawn.png");
      }
    }
    QCOMPARE(Different, 0);
    // The picture is on the screen as decoded, and the maker's name in dark
    // letters.
    QCOMPARE(Picture.size(), QSize(130, 60));
    QCOMPARE(DifferentPixels(OnScreen.copy(PicturePlace), Picture), 0);
    int Dark = 0;
    for (int Y = NamePlace.top(); Y <= NamePlace.bottom(); ++Y)
      for (int X = NamePlace.left(); X <= NamePlace.right(); ++X)
        if (qGray(OnScreen.pixel(X, Y)) < 100) ++Dark;
    QVERIFY2(Dark > 30, qPrintable(QString::number(Dark)));
  }

  // Both bars' texts as a screen reader reads them, and every change of the
  // one that shows the failures announced with the text it brings and the
  // text it takes away.
  void StatusBarsThroughAtSpi() {
    const QString Self = QCoreApplication::applicationName();
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    QList<TAtSpiObject> Objects;
    QVERIFY(TAtSpiReader::Read(Self, Objects));
    const QString Notice = TForm1::SimulatedServiceNotice();
    QCOMPARE(TextOf(Objects, "status bar", "StatusBar2"), Notice);
    QCOMPARE(TextOf(Objects, "status bar", "StatusBar1"),
             Maker::Text(Maker::NameLine) + ' ' + Maker::Text(Maker::ContactLine));

    // A failed dial, then a dial that connects and ends the failure.
    const int From = static_cast<int>(Watcher->Events().size());
    QCOMPARE(TSimService::RunTool({"fail", "Broadband", "691"}), 0);
    Form.msendClick(&Form);
    QTRY_VERIFY(!Form.LastDialFailure().isEmpty());
    const QString Failure = Form.LastDialFailure();
    QVERIFY(TAtSpiReader::Read(Self, Objects));
    QCOMPARE(TextOf(Objects, "status bar", "StatusBar2"), Failure);
    Form.msendClick(&Form);
    QTRY_COMPARE(TSimService::ConnectedEntries(), QStringList{"Broadband"});
    TManualClock::Instance().Advance(1000);
    TWindowUnderTest::Settle();
    QTRY_COMPARE(Form.StatusBar2->currentMessage(), Notice);
    QTRY_COMPARE_WITH_TIMEOUT(
        BarChanges(*Watcher, Self, "StatusBar2", From),
        (QStringList{'-' + Notice, '+' + Failure, '-' + Failure, '+' + Notice}), 10000);
    QVERIFY(TAtSpiReader::Read(Self, Objects));
    QCOMPARE(TextOf(Objects, "status bar", "StatusBar2"), Notice);
  }

  // The program started under an English locale, as a screen reader meets
  // it: every text English, and a failed dial told in English.
  void EnglishProgramThroughAtSpi() {
    // A copy of the program with its translations beside it, so that its
    // settings file is one of its own.
    QTemporaryDir Folder;
    const QString Program = Folder.filePath("dravik.bin");
    const QFileInfo Built(QStringLiteral(DRAVIK_PROGRAM));
    QVERIFY(QFile::copy(Built.filePath(), Program));
    QVERIFY(QDir(Folder.path()).mkdir("translations"));
    const QDir Translations(Built.dir().filePath("translations"));
    for (const QString& File : Translations.entryList({"*.qm"}, QDir::Files))
      QVERIFY(QFile::copy(Translations.filePath(File), Folder.filePath("translations/" + File)));

    QProcess Running;
    QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
    for (const char* Name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE", "DRAVIK_LANG"})
      Environment.remove(Name);
    Environment.insert("LANG", "en_US.UTF-8");
    Environment.insert("DRAVIK_TEST_ANSWER_BOXES", "1");
    Running.setProcessEnvironment(Environment);
    Running.setProcessChannelMode(QProcess::ForwardedChannels);
    Running.start(Program, {});
    QVERIFY(Running.waitForStarted());
    const QString Name = QStringLiteral("dravik.bin");
    const int From = static_cast<int>(Watcher->Events().size());

    // Once the splash has gone, the window is there to read.
    QList<TAtSpiObject> Objects;
    QTRY_VERIFY_WITH_TIMEOUT(
        TAtSpiReader::Read(Name, Objects) && Has(Objects, "push button", "Dial"), 20000);
    QStringList Chinese;
    for (const TAtSpiObject& Object : Objects)
      if (HasChinese(Object.Name) || HasChinese(Object.Text))
        Chinese << Object.Role + ": " + Object.Name + " " + Object.Text;
    QVERIFY2(Chinese.isEmpty(), qPrintable(Chinese.join(" | ")));
    for (const char* Label : {"Entry:", "IP address:", "User name:", "Password:"})
      QVERIFY2(Has(Objects, "label", Label), Label);
    const QString Notice = TextOf(Objects, "status bar", "StatusBar2");
    QVERIFY2(Notice.startsWith("Simulated dial-up service"), qPrintable(Notice));

    QCOMPARE(TSimService::RunTool({"fail", "Broadband", "691"}), 0);
    QVERIFY(TAtSpiReader::Press(Name, "Dial"));
    const QString Failure = QStringLiteral(" Dialling “Broadband” failed, error 691: ") +
                            QString::fromUtf8(RasErrorTextEnglish(691));
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
          const QStringList Changes = BarChanges(*Watcher, Name, "StatusBar2", From);
          return Changes.size() >= 2 && Changes.last().endsWith(Failure) &&
                 Changes[Changes.size() - 2] == '-' + Notice;
        }(),
        10000);
    TXDisplay::Shot("english-window.png");
    Running.terminate();
    QVERIFY(Running.waitForFinished(10000));
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
  if (!Display.StartSessionBus()) {
    std::fprintf(stderr, "test_windowdesktop: %s\n", qPrintable(Display.Error()));
    return 1;
  }
  // As when a screen reader runs: the toolkit's AT-SPI bridge is on.
  qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
  TAtSpiWatcher Watcher;
  if (!Watcher.Start()) {
    std::fprintf(stderr, "test_windowdesktop: the AT-SPI watcher did not start\n");
    return 1;
  }
  TGuiApplication App(argc, argv);
  TManualClock::Use();
  TModalRecorder::Instance().Install();
  TestWindowDesktop Test;
  Test.Watcher = &Watcher;
  return QTest::qExec(&Test, argc, argv);
}

#include "TestWindowDesktop.moc"
