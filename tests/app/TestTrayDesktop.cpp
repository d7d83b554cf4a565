// The main window on a real desktop: a private X server with a window manager
// (openbox) and, unless DRAVIK_TEST_NO_TRAY_HOST is set, a tray host
// (trayer); the pointer moved and clicked through the X server's test
// extension (xdotool), as a user would. Whether a window has a taskbar entry
// is read where taskbars read it: the window manager's client list.
//
// With DRAVIK_SHOT_DIR set to a folder, pictures of the screen are saved
// there: the window with the icon in the tray, the open tray menu, the About
// window.

#include <QApplication>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStyleHints>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cstdio>

#include "ShellApi.h"
#include "TApplication.h"
#include "TMenuItem.h"
#include "TPopupMenu.h"
#include "TSimService.h"
#include "TSimServiceDir.h"
#include "TXDisplay.h"
#include "TestSupport.h"
#include "Unit1.h"
#include "uAboutBox.h"

namespace {

const QByteArray Phonebook = "[Broadband]\nUserName=alice\nPassword=s3cret\nDialSeconds=0\n";

bool Run(const QString& AProgram, const QStringList& AArguments, QByteArray* AOutput = nullptr) {
  QProcess Tool;
  Tool.start(AProgram, AArguments);
  if (!Tool.waitForFinished(10000) || Tool.exitCode() != 0) return false;
  if (AOutput != nullptr) *AOutput = Tool.readAllStandardOutput();
  return true;
}

// The windows the window manager lists for taskbars and pagers.
QList<quint64> ClientList() {
  QByteArray Output;
  QList<quint64> Windows;
  if (!Run("xprop", {"-root", "-notype", "_NET_CLIENT_LIST"}, &Output)) return Windows;
  static const QRegularExpression Id(QStringLiteral("0x[0-9a-fA-F]+"));
  for (const auto& Match : Id.globalMatch(QString::fromLatin1(Output)))
    Windows << Match.captured().toULongLong(nullptr, 16);
  return Windows;
}

bool HasTaskbarEntry(const QWidget& AWindow) { return ClientList().contains(AWindow.winId()); }

QSystemTrayIcon* TrayIcon() {
  const auto Icons = QCoreApplication::instance()->findChildren<QSystemTrayIcon*>();
  return Icons.size() == 1 ? Icons[0] : nullptr;
}

bool ClickIcon(int AButton) {
  // Clicks of one step must not make a double click with those of the last.
  QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 100);
  const QPoint Centre = TrayIcon()->geometry().center();
  return Run("xdotool", {"mousemove", QString::number(Centre.x()), QString::number(Centre.y()),
                         "click", QString::number(AButton)});
}

}  // namespace

class TestTrayDesktop : public QObject {
  Q_OBJECT
  TSimServiceDir FService;
  const bool FTrayHost = qEnvironmentVariableIsEmpty("DRAVIK_TEST_NO_TRAY_HOST");

  // A window as the program makes it: the application's main window.
  TForm1& Start(TWindowUnderTest& AWindow, bool AShowAsStarted = false) {
    AWindow.Form = std::make_unique<TForm1>(AWindow.Folder.filePath("dravik.bin").toStdString());
    Application().SetMainForm(AWindow.Form.get());
    if (AShowAsStarted)
      Application().ShowMainForm();
    else
      AWindow.Form->show();
    return *AWindow.Form;
  }

 private slots:
  void initTestCase() {
    QVERIFY(FService.IsValid());
    FService.WritePhonebook(Phonebook);
    Application().SetTitle("【Dravik】 V2.0");
    QTRY_VERIFY_WITH_TIMEOUT(TXDisplay::WindowManagerRunning(), 20000);
    if (FTrayHost) QTRY_VERIFY_WITH_TIMEOUT(NotificationAreaExists(), 20000);
    QVERIFY(!FTrayHost || TrayIcon() == nullptr);
  }
  void cleanup() { qunsetenv("DRAVIK_SHOW_STATE"); }

  // Minimised by the window manager, the window and its taskbar entry go;
  // a click on the icon brings both back. Without a tray host the window
  // stays reachable from the taskbar.
  void MinimiseAndBack() {
    TWindowUnderTest Window;
    TForm1& Form = Start(Window);
    QTRY_VERIFY_WITH_TIMEOUT(HasTaskbarEntry(Form), 10000);
    if (FTrayHost) {
      QTRY_VERIFY_WITH_TIMEOUT(TrayIcon() != nullptr && !TrayIcon()->geometry().isEmpty(), 10000);
      QTest::qWait(300);
      TXDisplay::Shot("window-and-tray.png");
    }
    QVERIFY(Run("xdotool", {"windowminimize", QString::number(Form.winId())}));
    if (FTrayHost) {
      QTRY_VERIFY_WITH_TIMEOUT(!Form.isVisible(), 10000);
      QTRY_VERIFY_WITH_TIMEOUT(!HasTaskbarEntry(Form), 10000);
      QVERIFY(Form.N1->Enabled() && !Form.N2->Enabled());
      QVERIFY(ClickIcon(1));
      QTRY_VERIFY_WITH_TIMEOUT(Form.isVisible() && !Form.isMinimized(), 10000);
      QTRY_VERIFY_WITH_TIMEOUT(HasTaskbarEntry(Form), 10000);
      QVERIFY(!Form.N1->Enabled() && Form.N2->Enabled());
    } else {
      QTRY_VERIFY_WITH_TIMEOUT(Form.isMinimized(), 10000);
      QTest::qWait(300);
      QVERIFY(Form.isVisible());
      QVERIFY(HasTaskbarEntry(Form));
      QVERIFY(Form.N1->Enabled() && !Form.N2->Enabled());
      // Back from the taskbar, as a taskbar asks the window manager.
      QVERIFY(Run("xdotool", {"windowactivate", QString::number(Form.winId())}));
      QTRY_VERIFY_WITH_TIMEOUT(!Form.isMinimized(), 10000);
      QVERIFY(!Form.N1->Enabled() && Form.N2->Enabled());
    }
  }

  // A right click on the icon opens the menu: three items, the one that
  // shows the window disabled while it is shown.
  void RightClickOpensTheMenu() {
    if (!FTrayHost) QSKIP("needs a tray host");
    TWindowUnderTest Window;
    TForm1& Form = Start(Window);
    QTRY_VERIFY_WITH_TIMEOUT(TrayIcon() != nullptr && !TrayIcon()->geometry().isEmpty(), 10000);
    QStringList Items;
    Form.PopupMenu1->OnPopup.Bind([&](TObject*) {
      QTimer::singleShot(400, Form.PopupMenu1->Menu(), [&] {
        QMenu* Menu = Form.PopupMenu1->Menu();
        if (Menu->isVisible())
          for (QAction* Item : Menu->actions())
            Items << Item->text() + (Item->isEnabled() ? "+" : "-");
        TXDisplay::Shot("tray-menu.png");
        Menu->close();
      });
    });
    QVERIFY(ClickIcon(3));
    QTRY_VERIFY_WITH_TIMEOUT(!Items.isEmpty(), 10000);
    QCOMPARE(Items, (QStringList{"显示主窗口-", "最小化显示+", "登陆Dravik网+"}));
  }

  // Started minimised, only the icon shows until it is clicked.
  void StartedMinimised() {
    if (!FTrayHost) QSKIP("needs a tray host");
    qputenv("DRAVIK_SHOW_STATE", "SW_SHOWMINNOACTIVE");
    QTest::qWait(500);
    const QList<quint64> Before = ClientList();
    TWindowUnderTest Window;
    TForm1& Form = Start(Window, true);
    QTRY_VERIFY_WITH_TIMEOUT(TrayIcon() != nullptr && !TrayIcon()->geometry().isEmpty(), 10000);
    QTest::qWait(500);
    QVERIFY(!Form.isVisible());
    // No window of ours among the manager's clients (asking for the window's
    // own id here would make a native window the program has not made).
    QVERIFY(ClientList().size() <= Before.size());
    QVERIFY(ClickIcon(1));
    QTRY_VERIFY_WITH_TIMEOUT(Form.isVisible() && !Form.isMinimized(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(HasTaskbarEntry(Form), 10000);
  }

  // The About window over the main window, for a look at it.
  void AboutWindow() {
    TWindowUnderTest Window;
    TForm1& Form = Start(Window);
    TAboutBox About;
    AboutBox = &About;
    QTRY_VERIFY_WITH_TIMEOUT(HasTaskbarEntry(Form), 10000);
    bool WasShown = false;
    QTimer::singleShot(0, [&] {
      QTest::qWait(500);
      WasShown = About.isVisible();
      TXDisplay::Shot("about.png");
      About.SpeedButton1->click();
    });
    QTest::mouseClick(Form.SpeedButton7, Qt::LeftButton);
    AboutBox = nullptr;
    QVERIFY(WasShown);
  }
};

int main(int argc, char** argv) {
  TXDisplay Display;
  if (!Display.Start(800, 600)) {
    std::fprintf(stderr, "test_traydesktop: %s\n", qPrintable(Display.Error()));
    return 1;
  }
  // Alone on its display: no session bus offers another notification area.
  qputenv("QT_QPA_PLATFORM", "xcb");
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  if (!Display.StartProgram({"openbox", "--sm-disable"})) {
    std::fprintf(stderr, "test_traydesktop: openbox cannot be started\n");
    return 1;
  }
  if (qEnvironmentVariableIsEmpty("DRAVIK_TEST_NO_TRAY_HOST") &&
      !Display.StartProgram({"trayer", "--edge", "bottom", "--align", "right", "--widthtype",
                             "pixel", "--width", "120", "--height", "32", "--transparent", "false",
                             "--SetDockType", "true", "--SetPartialStrut", "true"})) {
    std::fprintf(stderr, "test_traydesktop: trayer cannot be started\n");
    return 1;
  }
  TGuiApplication App(argc, argv);
  TManualClock::Use();
  TModalRecorder::Instance().Install();
  TestTrayDesktop Test;
  return QTest::qExec(&Test, argc, argv);
}

#include "TestTrayDesktop.moc"
