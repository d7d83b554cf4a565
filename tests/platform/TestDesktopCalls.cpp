// The window and shell calls on the desktop itself (no stand-ins): message-
// only windows and their queues, and Shell_NotifyIconA over the toolkit's
// notification-area icon, driven as a tray host would drive it.

#include <QCoreApplication>
#include <QSystemTrayIcon>
#include <QThread>
#include <thread>
#include <vector>

#include "ShellApi.h"
#include "TMessageWindow.h"
#include "TestSupport.h"

namespace {

struct TReceived {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  bool OnCreatingThread;
};

void Drain() {
  for (int Round = 0; Round < 4; ++Round) QCoreApplication::sendPostedEvents();
}

QImage Square(QColor AColor) {
  QImage Picture(16, 16, QImage::Format_ARGB32);
  Picture.fill(AColor);
  return Picture;
}

}  // namespace

using TMessages = QList<uint>;

class TestDesktopCalls : public QObject {
  Q_OBJECT

  std::vector<TReceived> Received;
  std::unique_ptr<TMessageWindow> Window;

  HWND MakeWindow() {
    Window = std::make_unique<TMessageWindow>([this](TMessage& AMessage) {
      Received.push_back(
          {AMessage.Msg, AMessage.WParam, AMessage.LParam, QThread::currentThread() == thread()});
      AMessage.Result = 1000 + static_cast<LRESULT>(AMessage.Msg);
    });
    return Window->Handle();
  }

  NOTIFYICONDATAA Record(HWND AWindow, UINT AId, const char* ATip, HICON AIcon = nullptr) {
    NOTIFYICONDATAA Data{};
    Data.cbSize = sizeof(Data);
    Data.hWnd = AWindow;
    Data.uID = AId;
    Data.uFlags = NIF_MESSAGE | NIF_TIP | (AIcon != nullptr ? NIF_ICON : 0);
    Data.uCallbackMessage = WM_USER + 1;
    Data.hIcon = AIcon;
    std::snprintf(Data.szTip, sizeof(Data.szTip), "%s", ATip);
    return Data;
  }

  static QList<QSystemTrayIcon*> TrayIcons() {
    return QCoreApplication::instance()->findChildren<QSystemTrayIcon*>();
  }

 private slots:
  void cleanup() {
    Window.reset();
    Received.clear();
  }

  void postedMessagesArriveInOrderOnTheWindowsThread() {
    const HWND Handle = MakeWindow();
    QVERIFY(PostMessageA(Handle, WM_USER + 1, 3, WM_LBUTTONDOWN));
    std::thread Other([Handle] { PostMessageA(Handle, WM_USER + 1, 3, WM_LBUTTONUP); });
    Other.join();
    QVERIFY(Received.empty());  // posted, not sent
    Drain();
    QCOMPARE(Received.size(), size_t(2));
    QCOMPARE(Received[0].LParam, LPARAM(WM_LBUTTONDOWN));
    QCOMPARE(Received[1].LParam, LPARAM(WM_LBUTTONUP));
    QCOMPARE(Received[1].WParam, WPARAM(3));
    QVERIFY(Received[1].OnCreatingThread);
    QCOMPARE(SendMessageA(Handle, WM_NULL, 0, 0), LRESULT(1000));
  }

  void aGoneWindowGetsNothing() {
    const HWND Handle = MakeWindow();
    QVERIFY(PostMessageA(Handle, WM_USER + 1, 0, WM_LBUTTONUP));
    Window.reset();
    Drain();
    QVERIFY(Received.empty());
    QVERIFY(!IsWindow(Handle));
    QVERIFY(!PostMessageA(Handle, WM_NULL, 0, 0));
    // A new window never gets the old handle.
    QVERIFY(MakeWindow() != Handle);
  }

  void requestsOverTheToolkitsIcon() {
    const HWND Handle = MakeWindow();
    NOTIFYICONDATAA Data = Record(Handle, 4, "Dravik");
    QVERIFY(!Shell_NotifyIconA(NIM_MODIFY, &Data));  // not there yet
    Shell_NotifyIconA(NIM_ADD, &Data);
    QCOMPARE(TrayIcons().size(), 1);
    QCOMPARE(TrayIcons()[0]->toolTip(), QStringLiteral("Dravik"));
    QVERIFY(TrayIcons()[0]->icon().isNull());
    // A second add for the same window and identifier changes nothing.
    NOTIFYICONDATAA Again = Record(Handle, 4, "Other");
    QVERIFY(!Shell_NotifyIconA(NIM_ADD, &Again));
    QCOMPARE(TrayIcons().size(), 1);
    QCOMPARE(TrayIcons()[0]->toolTip(), QStringLiteral("Dravik"));
    // A change replaces picture and tooltip.
    const QImage Picture = Square(QColor(200, 20, 140));
    const HICON Icon = CreateIcon(nullptr, 16, 16, 1, 32, nullptr, Picture.constBits());
    QVERIFY(Icon != nullptr);
    NOTIFYICONDATAA Changed = Record(Handle, 4, "【Dravik】 V2.0", Icon);
    QVERIFY(Shell_NotifyIconA(NIM_MODIFY, &Changed));
    QCOMPARE(TrayIcons()[0]->toolTip(), QStringLiteral("【Dravik】 V2.0"));
    QCOMPARE(TrayIcons()[0]->icon().pixmap(16, 16).toImage().pixelColor(8, 8),
             QColor(200, 20, 140));
    // Another identifier is another icon.
    NOTIFYICONDATAA Second = Record(Handle, 5, "Second");
    Shell_NotifyIconA(NIM_ADD, &Second);
    QCOMPARE(TrayIcons().size(), 2);
    QVERIFY(Shell_NotifyIconA(NIM_DELETE, &Second));
    QVERIFY(Shell_NotifyIconA(NIM_DELETE, &Data));
    QCOMPARE(TrayIcons().size(), 0);
    QVERIFY(!Shell_NotifyIconA(NIM_DELETE, &Data));
    DestroyIcon(Icon);
    // A record smaller than its first form is refused.
    Data.cbSize = 80;
    QVERIFY(!Shell_NotifyIconA(NIM_ADD, &Data));
    QCOMPARE(TrayIcons().size(), 0);
  }

  void tooltipNeverBeyond63Bytes() {
    const HWND Handle = MakeWindow();
    NOTIFYICONDATAA Data = Record(Handle, 1, "");
    // 62 letters and a character of three bytes cut after its first: the host
    // shows the letters only. A member without its zero shows 63 bytes.
    std::memset(Data.szTip, 'a', 62);
    std::memcpy(Data.szTip + 62, "\xE3\x80\x90", 2);  // "【" cut short
    Shell_NotifyIconA(NIM_ADD, &Data);
    QCOMPARE(TrayIcons()[0]->toolTip(), QString(62, QLatin1Char('a')));
    std::memset(Data.szTip, 'b', sizeof(Data.szTip));
    Shell_NotifyIconA(NIM_MODIFY, &Data);
    QCOMPARE(TrayIcons()[0]->toolTip(), QString(63, QLatin1Char('b')));
    Shell_NotifyIconA(NIM_DELETE, &Data);
  }

  void hostActivityBecomesMouseMessages_data() {
    QTest::addColumn<int>("reason");
    QTest::addColumn<TMessages>("messages");
    QTest::newRow("activation") << int(QSystemTrayIcon::Trigger)
                                << TMessages{WM_LBUTTONDOWN, WM_LBUTTONUP};
    QTest::newRow("double activation")
        << int(QSystemTrayIcon::DoubleClick) << TMessages{WM_LBUTTONDBLCLK, WM_LBUTTONUP};
    QTest::newRow("context request")
        << int(QSystemTrayIcon::Context) << TMessages{WM_RBUTTONDOWN, WM_RBUTTONUP};
    QTest::newRow("middle button")
        << int(QSystemTrayIcon::MiddleClick) << TMessages{WM_MBUTTONDOWN, WM_MBUTTONUP};
  }
  void hostActivityBecomesMouseMessages() {
    QFETCH(int, reason);
    QFETCH(TMessages, messages);
    const HWND Handle = MakeWindow();
    NOTIFYICONDATAA Data = Record(Handle, 9, "Dravik");
    Shell_NotifyIconA(NIM_ADD, &Data);
    emit TrayIcons()[0]->activated(static_cast<QSystemTrayIcon::ActivationReason>(reason));
    Drain();
    TMessages Seen;
    for (const TReceived& Message : Received) {
      QCOMPARE(Message.Msg, UINT(WM_USER + 1));
      QCOMPARE(Message.WParam, WPARAM(9));
      Seen << static_cast<uint>(Message.LParam);
    }
    QCOMPARE(Seen, messages);
    // Without NIF_MESSAGE in the add, nothing comes back.
    Shell_NotifyIconA(NIM_DELETE, &Data);
    Data.uFlags = NIF_TIP;
    Shell_NotifyIconA(NIM_ADD, &Data);
    Received.clear();
    emit TrayIcons()[0]->activated(static_cast<QSystemTrayIcon::ActivationReason>(reason));
    Drain();
    QVERIFY(Received.empty());
    Shell_NotifyIconA(NIM_DELETE, &Data);
  }
};

DRAVIK_TEST_MAIN(TestDesktopCalls)
#include "TestDesktopCalls.moc"
