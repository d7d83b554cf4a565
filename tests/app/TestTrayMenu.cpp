// The main window's tray menu, hiding and showing it, the web and mail
// buttons, the About window and the start-up splash, with the desktop's
// calls recorded (TRecordingDesktop) and time on the test clock.

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "AboutPictureColours.h"
#include "TApplication.h"
#include "TIcon.h"
#include "TJPEGImage.h"
#include "TMenuItem.h"
#include "TPopupMenu.h"
#include "TRecordingDesktop.h"
#include "TSimService.h"
#include "TSimServiceDir.h"
#include "TestSupport.h"
#include "Unit1.h"
#include "cwHyperLink.h"
#include "uAboutBox.h"

namespace {

const QByteArray Phonebook = "[Broadband]\nUserName=alice\nPassword=s3cret\nDialSeconds=0\n";
const char* const Site = "https://dravik.example.org/";

// "N1 N2 window taskbar" with + for enabled or shown, - otherwise, and m for a
// window shown minimised.
QString State(const TForm1& AForm) {
  const QChar Window = !AForm.isVisible() ? '-' : AForm.isMinimized() ? 'm' : '+';
  return QStringLiteral("%1N1 %2N2 %3window %4taskbar")
      .arg(AForm.N1->Enabled() ? '+' : '-')
      .arg(AForm.N2->Enabled() ? '+' : '-')
      .arg(Window)
      .arg(Application().TaskbarButtonVisible() ? '+' : '-');
}

// The shell's notification for a mouse message over the icon.
void IconMessage(TForm1& AForm, UINT AMouseMessage) {
  SendMessageA(AForm.antTaskbarIcon1->WindowHandle(), WM_TASKBARICON, 0, AMouseMessage);
}

bool Near(const QColor& AActual, const QColor& AExpected, int ATolerance = 24) {
  return std::abs(AActual.red() - AExpected.red()) <= ATolerance &&
         std::abs(AActual.green() - AExpected.green()) <= ATolerance &&
         std::abs(AActual.blue() - AExpected.blue()) <= ATolerance;
}

}  // namespace

class TestTrayMenu : public QObject {
  Q_OBJECT
  TSimServiceDir FService;

 private slots:
  void initTestCase() {
    QVERIFY(FService.IsValid());
    FService.WritePhonebook(Phonebook);
    Application().SetTitle("【Dravik】 V2.0");
  }

  void cleanup() {
    qunsetenv("DRAVIK_SHOW_STATE");
    TManualClock::Instance().Sleeping = nullptr;
    AboutBox = nullptr;
  }

  void IconAndMenuAsDesigned() {
    TRecordingDesktop Desktop;
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    TantTaskbarIcon* Icon = Form.antTaskbarIcon1;
    QVERIFY(Icon->Visible());
    QCOMPARE(Icon->Hint(), std::string("【Dravik】 V2.0"));
    QCOMPARE(Icon->Icon()->Width(), 32);
    QCOMPARE(Icon->Icon()->Height(), 32);
    QCOMPARE(Icon->PopupMenu(), Form.PopupMenu1);
    // Added while the form is read, and once more after it has been read.
    QVERIFY(Desktop.NotifyRequests.size() >= 2);
    QCOMPARE(Desktop.NotifyRequests[0].Request, NIM_ADD);
    QCOMPARE(Desktop.NotifyRequests.back().Request, NIM_ADD);
    QCOMPARE(Desktop.NotifyRequests.back().Tip(), std::string("【Dravik】 V2.0"));
    QStringList Items;
    for (TMenuItem* Item : Form.PopupMenu1->Items())
      Items << QString::fromLocal8Bit(Item->Caption().c_str()) + (Item->Enabled() ? "+" : "-");
    QCOMPARE(Items, (QStringList{"显示主窗口-", "最小化显示+", "登陆Dravik网+"}));
    QCOMPARE(Form.PopupMenu1->Menu()->actions().size(), 3);
  }

  // Which item is enabled, and whether the window and its taskbar entry show,
  // after each way in and out of the notification area.
  void MenuItemStates_data() {
    QTest::addColumn<bool>("NotificationArea");
    QTest::addColumn<QString>("ShowState");
    QTest::addColumn<QStringList>("Steps");
    QTest::addColumn<QString>("Expected");
    QTest::newRow("start") << true << "" << QStringList{} << "-N1 +N2 +window +taskbar";
    QTest::newRow("N2") << true << "" << QStringList{"N2"} << "+N1 -N2 -window -taskbar";
    QTest::newRow("N2, N1") << true << "" << QStringList{"N2", "N1"} << "-N1 +N2 +window +taskbar";
    QTest::newRow("N2 twice") << true << "" << QStringList{"N2", "N2"}
                              << "+N1 -N2 -window -taskbar";
    QTest::newRow("N1 while shown")
        << true << "" << QStringList{"N1"} << "-N1 +N2 +window +taskbar";
    QTest::newRow("minimise") << true << "" << QStringList{"minimise"}
                              << "+N1 -N2 -window -taskbar";
    QTest::newRow("Application.Minimize")
        << true << "" << QStringList{"Minimize"} << "+N1 -N2 -window -taskbar";
    QTest::newRow("minimise, icon click")
        << true << "" << QStringList{"minimise", "click"} << "-N1 +N2 +window +taskbar";
    QTest::newRow("icon click while shown")
        << true << "" << QStringList{"click"} << "-N1 +N2 +window +taskbar";
    QTest::newRow("menu item N2, menu item N1")
        << true << "" << QStringList{"menu N2", "menu N1"} << "-N1 +N2 +window +taskbar";
    QTest::newRow("disabled N1 chosen while shown")
        << true << "" << QStringList{"menu N1"} << "-N1 +N2 +window +taskbar";
    QTest::newRow("started minimised")
        << true << "SW_SHOWMINNOACTIVE" << QStringList{"start"} << "+N1 -N2 -window -taskbar";
    QTest::newRow("started minimised, icon click")
        << true << "SW_SHOWMINNOACTIVE" << QStringList{"start", "click"}
        << "-N1 +N2 +window +taskbar";
    QTest::newRow("started normally")
        << true << "SW_SHOWNORMAL" << QStringList{"start"} << "-N1 +N2 +window +taskbar";
    // Without a notification area the window must stay reachable.
    QTest::newRow("no tray: N2") << false << "" << QStringList{"N2"} << "+N1 -N2 mwindow +taskbar";
    QTest::newRow("no tray: minimise")
        << false << "" << QStringList{"minimise"} << "+N1 -N2 mwindow +taskbar";
    QTest::newRow("no tray: restored from the taskbar")
        << false << "" << QStringList{"minimise", "restore"} << "-N1 +N2 +window +taskbar";
    QTest::newRow("no tray: started minimised")
        << false << "SW_SHOWMINNOACTIVE" << QStringList{"start"} << "+N1 -N2 mwindow +taskbar";
  }
  void MenuItemStates() {
    QFETCH(bool, NotificationArea);
    QFETCH(QString, ShowState);
    QFETCH(QStringList, Steps);
    QFETCH(QString, Expected);
    TRecordingDesktop Desktop;
    Desktop.NotificationArea = NotificationArea;
    if (!ShowState.isEmpty()) qputenv("DRAVIK_SHOW_STATE", ShowState.toLatin1());
    TWindowUnderTest Window;
    TForm1* Form = nullptr;
    if (Steps.value(0) == "start") {
      // As the program starts: created hidden, then shown as it was started.
      Window.Form = std::make_unique<TForm1>(Window.Folder.filePath("dravik.bin").toStdString());
      Form = Window.Form.get();
      Application().SetMainForm(Form);
      Application().ShowMainForm();
      Steps.removeFirst();
    } else {
      Form = &Window.Create();
      Application().SetMainForm(Form);
    }
    for (const QString& Step : Steps) {
      if (Step == "N1") Form->N1Click(Form);
      if (Step == "N2") Form->N2Click(Form);
      if (Step == "menu N1") Form->N1->Action()->trigger();
      if (Step == "menu N2") Form->N2->Action()->trigger();
      // As the window manager minimises it, and as the program does.
      if (Step == "minimise") Form->setWindowState(Form->windowState() | Qt::WindowMinimized);
      if (Step == "Minimize") Application().Minimize();
      if (Step == "restore") Form->showNormal();
      if (Step == "click") {
        IconMessage(*Form, WM_LBUTTONDOWN);
        IconMessage(*Form, WM_LBUTTONUP);
      }
    }
    QCOMPARE(State(*Form), Expected);
    Application().ShowTaskbarButton(true);
  }

  // Hidden in the notification area the cycle goes on: the monitor polls and
  // the log grows.
  void CycleRunsWhileHidden() {
    TRecordingDesktop Desktop;
    TWindowUnderTest Window;
    Window.WriteSettings("[config]\nhanguptime=3\nconnecttime=2\nchange=1\n");
    TForm1& Form = Window.Create();
    QTest::mouseClick(Form.msend, Qt::LeftButton);
    Form.N2Click(&Form);
    QVERIFY(!Form.isVisible());
    TManualClock& Clock = TManualClock::Instance();
    for (int Step = 0; Step < 80 && !Form.Memo1->toPlainText().contains("disconnected\n"); ++Step) {
      Clock.Advance(100);
      TWindowUnderTest::Settle();
    }
    const QStringList Log = Form.Memo1->toPlainText().split('\n');
    QVERIFY2(Log.size() >= 3, qPrintable(Form.Memo1->toPlainText()));
    QVERIFY(Log[0].endsWith(" connected"));
    QVERIFY(Log[1].endsWith(" disconnected"));
    QVERIFY(Log[2].endsWith(" connected"));
    QVERIFY(!Form.isVisible());
    QVERIFY(TSimService::HangUpEverything());
  }

  // The buttons, the menu's site item and every link of the About window ask
  // the shell to open the maker's addresses.
  void Links_data() {
    QTest::addColumn<QString>("Control");
    QTest::addColumn<QString>("Address");
    QTest::addColumn<int>("ShowCommand");
    QTest::newRow("邮箱") << "SpeedButton3"
                          << "mailto:dravik@example.org" << SW_SHOW;
    QTest::newRow("主页") << "SpeedButton5" << Site << SW_SHOW;
    QTest::newRow("N3") << "N3" << Site << SW_SHOW;
    for (const char* Link :
         {"cwHyperLink1", "cwHyperLink2", "cwHyperLink3", "cwHyperLink4", "cwHyperLink6"})
      QTest::newRow(Link) << Link << Site << SW_SHOWNORMAL;
  }
  void Links() {
    QFETCH(QString, Control);
    QFETCH(QString, Address);
    QFETCH(int, ShowCommand);
    TRecordingDesktop Desktop;
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    TAboutBox About;
    if (Control == "N3") {
      Form.N3->Action()->trigger();
    } else if (Control.startsWith("SpeedButton")) {
      QTest::mouseClick(Form.findChild<QWidget*>(Control), Qt::LeftButton);
    } else {
      About.show();
      auto* Link = About.findChild<TcwHyperLink*>(Control);
      QVERIFY(Link != nullptr);
      QTest::mousePress(Link, Qt::LeftButton, {}, QPoint(4, 4));
      QTest::mouseRelease(Link, Qt::LeftButton, {}, QPoint(4, 4));
    }
    QCOMPARE(Desktop.OpenRequests.size(), size_t(1));
    const auto& Request = Desktop.OpenRequests[0];
    QCOMPARE(QString::fromStdString(Request.File), Address);
    QCOMPARE(Request.Operation, std::string("open"));
    QCOMPARE(Request.ShowCommand, ShowCommand);
    if (ShowCommand == SW_SHOW) {
      QCOMPARE(Request.Owner, reinterpret_cast<HWND>(Form.winId()));
      QCOMPARE(Request.Parameters, std::string());
      QCOMPARE(Request.Directory, std::string());
    }
  }

  void AboutWindowAsDesigned() {
    TAboutBox About;
    QCOMPARE(About.windowTitle(), QStringLiteral("关于本软件"));
    QCOMPARE(About.size(), QSize(299, 189));
    const Qt::WindowFlags Flags = About.windowFlags();
    QVERIFY(Flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!Flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!Flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(About.Panel1->geometry(), QRect(8, 8, 281, 169));
    QCOMPARE(About.ProgramIcon->geometry(), QRect(8, 8, 130, 60));
    QCOMPARE(About.SpeedButton1->geometry(), QRect(224, 120, 33, 33));
    QCOMPARE(About.findChildren<TcwHyperLink*>().size(), 5);
    for (TcwHyperLink* Link : About.findChildren<TcwHyperLink*>()) {
      QCOMPARE(Link->URL(), std::string(Site));
      QVERIFY(!Link->Caption().empty());
      QCOMPARE(Link->cursor().shape(), Qt::PointingHandCursor);
    }
    // The picture decoded: the product's teal, and the yellow bars.
    const QImage Picture = About.ProgramIcon->pixmap().toImage();
    QCOMPARE(Picture.size(), QSize(AboutPicture::Width, AboutPicture::Height));
    QVERIFY(Near(Picture.pixelColor(128, 2), AboutPicture::LightTeal));
    QVERIFY(Near(Picture.pixelColor(1, 58), AboutPicture::DarkTeal));
    QVERIFY(
        Near(Picture.pixelColor(AboutPicture::FirstBarX + 3 * 17 + 6, 30), AboutPicture::Yellow));
    QVERIFY(Near(Picture.pixelColor(AboutPicture::FirstBarX + 6, 45), AboutPicture::Yellow));
    QVERIFY(!Near(Picture.pixelColor(AboutPicture::FirstBarX + 6, 30), AboutPicture::Yellow));
  }

  // A picture that does not decode leaves the control empty; the window
  // opens all the same.
  void AboutWindowWithABrokenPicture_data() {
    QTest::addColumn<QByteArray>("Content");
    QFile Good(QString::fromLatin1(TAboutBox::PictureFile.c_str()));
    QVERIFY(Good.open(QIODevice::ReadOnly));
    const QByteArray Whole = Good.readAll();
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not a JPEG") << QByteArray("GIF89a not a picture at all");
    QTest::newRow("cut in half") << Whole.left(Whole.size() / 2);
    QTest::newRow("header only") << Whole.left(20);
  }
  void AboutWindowWithABrokenPicture() {
    QFETCH(QByteArray, Content);
    QTemporaryDir Folder;
    QFile Broken(Folder.filePath("about.jpg"));
    QVERIFY(Broken.open(QIODevice::WriteOnly));
    Broken.write(Content);
    Broken.close();
    TJPEGImage Picture;
    QVERIFY(!Picture.LoadFromData(Content));
    QVERIFY(Picture.Empty());
    const std::string Shipped = TAboutBox::PictureFile;
    TAboutBox::PictureFile = Broken.fileName().toStdString();
    {
      TAboutBox About;
      About.show();
      QVERIFY(About.isVisible());
      QVERIFY(About.ProgramIcon->pixmap().isNull());
    }
    TAboutBox::PictureFile = Shipped;
  }

  // The About button shows the one About window modally: the main window
  // takes no input until it closes, by SpeedButton1 or by its close box.
  void AboutButtonShowsItModally_data() {
    QTest::addColumn<QString>("CloseBy");
    QTest::newRow("SpeedButton1") << "SpeedButton1";
    QTest::newRow("close box") << "close box";
  }
  void AboutButtonShowsItModally() {
    QFETCH(QString, CloseBy);
    TRecordingDesktop Desktop;
    TWindowUnderTest Window;
    TForm1& Form = Window.Create();
    TAboutBox About;
    AboutBox = &About;
    // A click as the window system delivers it, through the main window.
    const auto ClickHomePage = [&Form] {
      QTest::mouseClick(Form.windowHandle(), Qt::LeftButton, {},
                        Form.SpeedButton5->mapTo(&Form, Form.SpeedButton5->rect().center()));
    };
    for (int Round = 0; Round < 2; ++Round) {
      QString Seen;
      QTimer::singleShot(0, [&] {
        QTest::qWait(50);
        Seen = QStringLiteral("%1 %2 %3")
                   .arg(QApplication::activeModalWidget() == &About ? "modal" : "not modal")
                   .arg(About.isVisible() ? "shown" : "hidden")
                   .arg(About.windowModality() == Qt::ApplicationModal ? "application" : "other");
        ClickHomePage();
        Seen += QStringLiteral(" %1 opened").arg(Desktop.OpenRequests.size());
        if (CloseBy == "SpeedButton1")
          QTest::mouseClick(About.SpeedButton1, Qt::LeftButton);
        else
          About.windowHandle()->close();
        // Never left open, whatever the test saw.
        if (About.isVisible()) About.reject();
      });
      QTest::mouseClick(Form.SpeedButton7, Qt::LeftButton);
      QCOMPARE(Seen, QStringLiteral("modal shown application 0 opened"));
      QVERIFY(!About.isVisible());
      QCOMPARE(QApplication::activeModalWidget(), static_cast<QWidget*>(nullptr));
    }
    // The main window takes input again.
    ClickHomePage();
    QCOMPARE(Desktop.OpenRequests.size(), size_t(1));
  }

  // At start the About window shows without owner for the splash time, then
  // hides; a ticked cycle has armed its hang-up timer before it.
  void Splash_data() {
    QTest::addColumn<QByteArray>("Settings");
    QTest::addColumn<bool>("HangUpArmed");
    QTest::newRow("cycle off") << QByteArray() << false;
    QTest::newRow("cycle on") << QByteArray("[config]\nhanguptime=30\nchange=1\n") << true;
  }
  void Splash() {
    QFETCH(QByteArray, Settings);
    QFETCH(bool, HangUpArmed);
    TRecordingDesktop Desktop;
    TWindowUnderTest Window;
    if (!Settings.isEmpty()) Window.WriteSettings(Settings);
    TManualClock& Clock = TManualClock::Instance();
    QStringList Seen;
    uint64_t SleptAt = 0;
    Clock.Sleeping = [&](uint64_t AMilliseconds) {
      SleptAt = Clock.Now();
      for (QWidget* Top : QApplication::topLevelWidgets()) {
        if (auto* About = qobject_cast<TAboutBox*>(Top); About != nullptr && About->isVisible())
          Seen << QStringLiteral("About shown, owner %1")
                      .arg(About->parentWidget() ? "yes" : "none");
        if (auto* Form = qobject_cast<TForm1*>(Top))
          Seen << QStringLiteral("main window %1, hang-up %2")
                      .arg(Form->isVisible() ? "shown" : "hidden")
                      .arg(Form->Timer1->Enabled() ? "armed" : "off");
      }
      Seen << QStringLiteral("sleep %1").arg(AMilliseconds);
    };
    const uint64_t Before = Clock.Now();
    TForm1& Form = Window.Create();
    Clock.Sleeping = nullptr;
    Seen.sort();
    QCOMPARE(
        Seen,
        (QStringList{
            "About shown, owner none",
            QStringLiteral("main window hidden, hang-up %1").arg(HangUpArmed ? "armed" : "off"),
            "sleep 2000"}));
    QCOMPARE(SleptAt, Before);
    QCOMPARE(Clock.Now(), Before + 2000);
    QVERIFY(Form.SplashAboutBox() != nullptr);
    QVERIFY(!Form.SplashAboutBox()->isVisible());
    QCOMPARE(Form.Timer1->Enabled(), HangUpArmed);
    if (HangUpArmed) {
      // Armed before the splash: 28 s of the 30 are left once the window shows.
      Clock.Advance(27999);
      QVERIFY(Form.Timer1->Enabled());
      Clock.Advance(1);
      QVERIFY(!Form.Timer1->Enabled());
      QVERIFY(Form.Timer2->Enabled());
    }
  }
};

DRAVIK_TEST_MAIN(TestTrayMenu)

#include "TestTrayMenu.moc"
