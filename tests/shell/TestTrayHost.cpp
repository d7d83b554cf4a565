// The notification-area icon in a real notification area: a private X server
// with trayer, an XEmbed tray host, as the desktop; the pointer moved and
// clicked through the X server's test extension (xdotool), as a user would.
//
// With DRAVIK_TRAY_SHOT set to a file name, a picture of the screen with the
// icon in the tray is saved there.

#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QStyleHints>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolTip>
#include <cstdio>
#include <memory>

#include "TApplication.h"
#include "TIcon.h"
#include "TMenuItem.h"
#include "TPopupMenu.h"
#include "TXDisplay.h"
#include "TestSupport.h"
#include "antTaskbarIcon.h"

namespace {

const QColor IconColour(224, 32, 160);

// A 32 x 32 picture: a filled disc with a lighter ring, drawn here.
QImage TestPicture() {
  QImage Picture(32, 32, QImage::Format_ARGB32);
  Picture.fill(Qt::transparent);
  QPainter Painter(&Picture);
  Painter.setPen(QPen(QColor(255, 230, 250), 2));
  Painter.setBrush(IconColour);
  Painter.drawEllipse(QRect(2, 2, 28, 28));
  return Picture;
}

QImage Screen() { return QGuiApplication::primaryScreen()->grabWindow(0).toImage(); }

int PixelsOf(const QImage& AImage, const QRect& AArea, const QColor& AColour) {
  int Count = 0;
  const QRect Area = AArea.intersected(AImage.rect());
  for (int Y = Area.top(); Y <= Area.bottom(); ++Y)
    for (int X = Area.left(); X <= Area.right(); ++X)
      if (AImage.pixelColor(X, Y) == AColour) ++Count;
  return Count;
}

bool Pointer(const QStringList& AArguments) {
  QProcess Tool;
  Tool.start("xdotool", AArguments);
  return Tool.waitForFinished(10000) && Tool.exitCode() == 0;
}

QSystemTrayIcon* TrayIcon() {
  const auto Icons = QCoreApplication::instance()->findChildren<QSystemTrayIcon*>();
  return Icons.size() == 1 ? Icons[0] : nullptr;
}

}  // namespace

class TestTrayHost : public QObject {
  Q_OBJECT

  std::unique_ptr<TComponent> Form;
  TantTaskbarIcon* Icon = nullptr;
  TPopupMenu* Menu = nullptr;
  QStringList Events;
  QPoint MenuAt;
  bool MenuShown = false;

  QPoint IconCentre() const { return TrayIcon()->geometry().center(); }

  // Clicks of one test must not make a double click with those of the last.
  static void PauseBetweenClicks() {
    QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 100);
  }

 private slots:
  void initTestCase() {
    QTRY_VERIFY_WITH_TIMEOUT(NotificationAreaExists(), 20000);
    Form = std::make_unique<TComponent>(nullptr);
    Icon = new TantTaskbarIcon(Form.get());
    Icon->SetName("antTaskbarIcon1");
    Menu = new TPopupMenu(Form.get());
    auto* Item = new TMenuItem(Form.get());
    Item->SetCaption("Show the main window");
    Menu->Add(Item);
    Menu->OnPopup.Bind([this](TObject*) {
      QTimer::singleShot(300, Menu->Menu(), [this] {
        MenuShown = Menu->Menu()->isVisible();
        MenuAt = Menu->Menu()->geometry().topLeft();
        Menu->Menu()->close();
      });
    });
    Icon->SetPopupMenu(Menu);
    Icon->OnClick.Bind([this](TObject*) { Events << "Click"; });
    Icon->OnMouseDown.Bind([this](TObject*, TMouseButton AButton, TShiftState, int, int) {
      Events << (AButton == TMouseButton::mbLeft ? "MouseDown left" : "MouseDown right");
    });
    Icon->OnMouseUp.Bind([this](TObject*, TMouseButton AButton, TShiftState, int, int) {
      Events << (AButton == TMouseButton::mbLeft ? "MouseUp left" : "MouseUp right");
    });
    Icon->OnPopupMenu.Bind([this](TObject*) { Events << "PopupMenu"; });
    Icon->OnDblClick.Bind([this](TObject*) { Events << "DblClick"; });
  }
  void cleanupTestCase() { Form.reset(); }

  void iconAppearsWithItsTooltip() {
    TIcon Picture;
    Picture.SetImage(TestPicture());
    Icon->SetIcon(&Picture);
    Icon->SetHint("【Dravik】 V2.0");
    Icon->SetVisible(true);
    QVERIFY(TrayIcon() != nullptr);
    // Embedded in the tray host's panel at the top left, showing our picture.
    QTRY_VERIFY_WITH_TIMEOUT(!TrayIcon()->geometry().isEmpty(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(PixelsOf(Screen(), TrayIcon()->geometry(), IconColour) > 50, 10000);
    QVERIFY(TrayIcon()->geometry().top() < 40);
    if (const QByteArray Shot = qgetenv("DRAVIK_TRAY_SHOT"); !Shot.isEmpty())
      QVERIFY(Screen().save(QString::fromLocal8Bit(Shot)));
    QVERIFY(Pointer(
        {"mousemove", QString::number(IconCentre().x()), QString::number(IconCentre().y())}));
    QTRY_COMPARE_WITH_TIMEOUT(QToolTip::text(), QStringLiteral("【Dravik】 V2.0"), 10000);
  }

  void leftClickRaisesClick() {
    PauseBetweenClicks();
    Events.clear();
    QVERIFY(Pointer({"mousemove", QString::number(IconCentre().x()),
                     QString::number(IconCentre().y()), "click", "1"}));
    QTRY_VERIFY_WITH_TIMEOUT(Events.contains("Click"), 10000);
    QCOMPARE(Events, (QStringList{"MouseDown left", "MouseUp left", "Click"}));
  }

  void doubleClickRaisesOneClickAndDblClick() {
    PauseBetweenClicks();
    Events.clear();
    QVERIFY(
        Pointer({"mousemove", QString::number(IconCentre().x()), QString::number(IconCentre().y()),
                 "click", "--repeat", "2", "--delay", "60", "1"}));
    QTRY_VERIFY_WITH_TIMEOUT(Events.contains("DblClick") && Events.count("MouseUp left") == 2,
                             10000);
    QCOMPARE(Events,
             (QStringList{"MouseDown left", "MouseUp left", "Click", "DblClick", "MouseUp left"}));
  }

  void rightClickOpensTheMenuAtTheCursor() {
    PauseBetweenClicks();
    Events.clear();
    const QPoint Cursor = IconCentre();
    QVERIFY(Pointer(
        {"mousemove", QString::number(Cursor.x()), QString::number(Cursor.y()), "click", "3"}));
    QTRY_VERIFY_WITH_TIMEOUT(Events.contains("MouseUp right"), 10000);
    QCOMPARE(Events, (QStringList{"MouseDown right", "PopupMenu", "MouseUp right"}));
    QVERIFY(MenuShown);
    QCOMPARE(MenuAt, Cursor);
  }

  void deletingRemovesIt() {
    const QRect Where = TrayIcon()->geometry();
    Icon->SetVisible(false);
    QVERIFY(TrayIcon() == nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(PixelsOf(Screen(), Where, IconColour), 0, 10000);
  }
};

int main(int argc, char** argv) {
  TXDisplay Display;
  if (!Display.Start()) {
    std::fprintf(stderr, "test_trayhost: %s\n", qPrintable(Display.Error()));
    return 1;
  }
  // Alone on its display: the tray host is the only notification area, and no
  // session bus offers another.
  qputenv("QT_QPA_PLATFORM", "xcb");
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  if (!Display.StartProgram({"trayer", "--edge", "top", "--align", "left", "--widthtype", "pixel",
                             "--width", "120", "--height", "40", "--transparent", "false",
                             "--SetDockType", "false", "--SetPartialStrut", "false"})) {
    std::fprintf(stderr, "test_trayhost: trayer cannot be started\n");
    return 1;
  }
  TGuiApplication App(argc, argv);
  TModalRecorder::Instance().Install();
  TestTrayHost Test;
  return QTest::qExec(&Test, argc, argv);
}

#include "TestTrayHost.moc"
