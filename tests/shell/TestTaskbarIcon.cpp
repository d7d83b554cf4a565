// The notification-area icon against a recording stand-in of the shell: the
// requests and their records, and the shell's callback messages posted to
// the icon's own window as the shell would post them.

#include <QCoreApplication>
#include <QMenu>
#include <QPainter>
#include <QTimer>
#include <memory>

#include "TApplication.h"
#include "TIcon.h"
#include "TImageList.h"
#include "TMenuItem.h"
#include "TPopupMenu.h"
#include "TRecordingDesktop.h"
#include "TestSupport.h"
#include "antTaskbarIcon.h"

namespace {

QImage Square(QColor AColor, int ASide = 32) {
  QImage Picture(ASide, ASide, QImage::Format_ARGB32);
  Picture.fill(AColor);
  return Picture;
}

std::string ShiftText(TShiftState AShift) {
  std::string Text;
  if (AShift & ssShift) Text += "Shift ";
  if (AShift & ssAlt) Text += "Alt ";
  if (AShift & ssCtrl) Text += "Ctrl ";
  if (AShift & ssLeft) Text += "Left ";
  if (AShift & ssRight) Text += "Right ";
  if (!Text.empty()) Text.pop_back();
  return Text;
}

// An icon whose window's messages show up in the desktop's call list too.
class TWatchedIcon : public TantTaskbarIcon {
 public:
  TWatchedIcon(TComponent* AOwner, TRecordingDesktop& ADesktop)
      : TantTaskbarIcon(AOwner), FDesktop(ADesktop) {}

 protected:
  void HandleWindowMessage(TMessage& AMessage) override {
    if (AMessage.Msg == WM_NULL) FDesktop.Calls.push_back("WM_NULL");
    TantTaskbarIcon::HandleWindowMessage(AMessage);
  }

 private:
  TRecordingDesktop& FDesktop;
};

// Every message queued by now, and those they queue, handled.
void Drain() {
  for (int Round = 0; Round < 4; ++Round) QCoreApplication::sendPostedEvents();
}

}  // namespace

using TMessages = QList<uint>;
using TLines = QStringList;

class TestTaskbarIcon : public QObject {
  Q_OBJECT

  std::unique_ptr<TRecordingDesktop> Desktop;
  std::unique_ptr<TComponent> Form;
  TWatchedIcon* Icon = nullptr;

  QStringList Calls() const {
    QStringList Lines;
    for (const std::string& Line : Desktop->Calls) Lines << QString::fromStdString(Line);
    return Lines;
  }
  void Log(const std::string& ALine) { Desktop->Calls.push_back(ALine); }

  void BindEvents(TantTaskbarIcon* AIcon) {
    auto Mouse = [this](const char* AName) {
      return
          [this, AName](TObject* ASender, TMouseButton AButton, TShiftState AShift, int X, int Y) {
            QCOMPARE(ASender, static_cast<TObject*>(Icon));
            Log(std::string(AName) + (AButton == TMouseButton::mbLeft ? " left " : " right ") +
                ShiftText(AShift) + " @" + std::to_string(X) + "," + std::to_string(Y));
          };
    };
    AIcon->OnMouseDown.Bind(Mouse("MouseDown"));
    AIcon->OnMouseUp.Bind(Mouse("MouseUp"));
    AIcon->OnClick.Bind([this](TObject*) { Log("Click"); });
    AIcon->OnDblClick.Bind([this](TObject*) { Log("DblClick"); });
    AIcon->OnPopupMenu.Bind([this](TObject*) { Log("PopupMenu"); });
    AIcon->OnShow.Bind([this](TObject*) { Log("Show"); });
    AIcon->OnHide.Bind([this](TObject*) { Log("Hide"); });
  }

  // A menu that records where it opened and closes itself at once.
  TPopupMenu* MakeMenu(TComponent* AOwner) {
    auto* Menu = new TPopupMenu(AOwner);
    auto* Item = new TMenuItem(AOwner);
    Item->SetCaption("Item");
    Menu->Add(Item);
    Menu->OnPopup.Bind([this, Menu](TObject*) {
      Log("Menu @" + std::to_string(Menu->PopupX()) + "," + std::to_string(Menu->PopupY()));
      QTimer::singleShot(0, Menu->Menu(), [Menu] { Menu->Menu()->close(); });
    });
    return Menu;
  }

  void Notify(uint AMouseMessage, UINT AMessage = WM_TASKBARICON) {
    QVERIFY(PostMessageA(Icon->WindowHandle(), AMessage, static_cast<WPARAM>(Icon->IconID()),
                         static_cast<LPARAM>(AMouseMessage)));
    Drain();
  }

 private slots:
  void init() {
    Desktop = std::make_unique<TRecordingDesktop>();
    Desktop->Cursor = {300, 200};
    Form = std::make_unique<TComponent>(nullptr);
    Icon = new TWatchedIcon(Form.get(), *Desktop);
    Icon->SetName("antTaskbarIcon1");
    BindEvents(Icon);
  }
  void cleanup() {
    Form.reset();
    Drain();
    Desktop.reset();
  }

  void newIconSendsNothingAndHasItsDefaults() {
    QVERIFY(Desktop->Calls.empty());
    QVERIFY(IsWindow(Icon->WindowHandle()));
    QCOMPARE(Icon->IconFlags(), NIF_MESSAGE | NIF_TIP);
    QVERIFY(!Icon->Visible());
    QVERIFY(Icon->Enabled());
    QVERIFY(Icon->Icon()->Empty());
  }

  void clicks_data() {
    QTest::addColumn<TMessages>("messages");
    QTest::addColumn<bool>("withMenu");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("shiftCtrl");
    QTest::addColumn<TLines>("expected");
    const QString Fg = "SetForegroundWindow";
    QTest::newRow("single click") << TMessages{WM_LBUTTONDOWN, WM_LBUTTONUP} << false << true
                                  << false
                                  << TLines{"MouseDown left Left @300,200", Fg,
                                            "MouseUp left Left @300,200", "Click"};
    QTest::newRow("double click") << TMessages{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK,
                                               WM_LBUTTONUP}
                                  << false << true << false
                                  << TLines{"MouseDown left Left @300,200",
                                            Fg,
                                            "MouseUp left Left @300,200",
                                            "Click",
                                            "DblClick",
                                            Fg,
                                            "MouseUp left Left @300,200"};
    QTest::newRow("release without press") << TMessages{WM_LBUTTONUP} << false << true << false
                                           << TLines{Fg, "MouseUp left Left @300,200"};
    QTest::newRow("right click with a menu")
        << TMessages{WM_RBUTTONDOWN, WM_RBUTTONUP} << true << true << false
        << TLines{Fg, "MouseDown right Right @300,200", "Menu @300,200", "PopupMenu",
                  Fg, "MouseUp right Right @300,200",   "WM_NULL"};
    QTest::newRow("right click without a menu")
        << TMessages{WM_RBUTTONDOWN, WM_RBUTTONUP} << false << true << false
        << TLines{Fg, "MouseDown right Right @300,200", Fg, "MouseUp right Right @300,200"};
    QTest::newRow("disabled") << TMessages{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK,
                                           WM_RBUTTONDOWN, WM_RBUTTONUP}
                              << true << false << false << TLines{};
    QTest::newRow("shift and ctrl held") << TMessages{WM_LBUTTONDOWN} << false << true << true
                                         << TLines{"MouseDown left Shift Ctrl Left @300,200"};
    QTest::newRow("movement, middle button, right double click")
        << TMessages{WM_MOUSEMOVE, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_RBUTTONDBLCLK} << true << true
        << false << TLines{};
  }
  void clicks() {
    QFETCH(TMessages, messages);
    QFETCH(bool, withMenu);
    QFETCH(bool, enabled);
    QFETCH(bool, shiftCtrl);
    QFETCH(TLines, expected);
    if (withMenu) Icon->SetPopupMenu(MakeMenu(Form.get()));
    Icon->SetVisible(true);
    Icon->SetHint("Tip");
    Icon->SetEnabled(enabled);
    if (shiftCtrl) Desktop->KeysDown = {VK_SHIFT, VK_CONTROL};
    Desktop->Clear();
    for (uint Message : messages) Notify(Message);
    QCOMPARE(Calls(), expected);
    // The foreground request before a right press names the icon's window;
    // the one of every release names the application's.
    const QStringList Lines = Calls();
    size_t Request = 0;
    for (int Line = 0; Line < Lines.size(); ++Line) {
      if (Lines[Line] != "SetForegroundWindow") continue;
      const bool BeforeRightPress =
          Line + 1 < Lines.size() && Lines[Line + 1].startsWith("MouseDown right");
      QCOMPARE(Desktop->ForegroundRequests.at(Request++),
               BeforeRightPress ? Icon->WindowHandle() : Application().Handle());
    }
    QCOMPARE(Request, Desktop->ForegroundRequests.size());
    // Disabled or not, the icon stays as it was.
    QVERIFY(Icon->Visible());
    QCOMPARE(Icon->Hint(), std::string("Tip"));
  }

  void callbackOfAnotherNumberRaisesNothing() {
    Icon->SetVisible(true);
    Desktop->Clear();
    Notify(WM_LBUTTONDOWN, WM_USER + 2);
    Notify(WM_LBUTTONUP, WM_USER + 2);
    QCOMPARE(Calls(), QStringList{});
    QVERIFY(!Icon->LeftButtonDown());
  }

  void showingSendsTheRecord() {
    auto Picture = std::make_unique<TIcon>();
    Picture->SetImage(Square(Qt::red));
    Icon->SetIcon(Picture.get());
    Icon->SetHint("Dravik");
    Icon->SetIconID(7);
    Desktop->Clear();
    Icon->SetVisible(true);
    QCOMPARE(Calls(), (QStringList{"Shell_NotifyIconA NIM_ADD 7", "Show"}));
    const NOTIFYICONDATAA& Data = Desktop->NotifyRequests.at(0).Data;
    QCOMPARE(Data.cbSize, DWORD(88));
    QCOMPARE(static_cast<HWND>(Data.hWnd), Icon->WindowHandle());
    QCOMPARE(Data.uID, UINT(7));
    QCOMPARE(Data.uFlags, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    QCOMPARE(Data.uCallbackMessage, UINT(0x0401));
    QVERIFY(static_cast<HICON>(Data.hIcon) != nullptr);
    QCOMPARE(static_cast<HICON>(Data.hIcon), Icon->Icon()->Handle());
    QCOMPARE(Desktop->NotifyRequests.at(0).Tip(), std::string("Dravik"));
    Desktop->Clear();
    Icon->SetVisible(false);
    QCOMPARE(Calls(), (QStringList{"Shell_NotifyIconA NIM_DELETE 7", "Hide"}));
    QCOMPARE(Desktop->NotifyRequests.at(0).Data.uFlags, NIF_MESSAGE | NIF_TIP);
  }

  void hint_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("kept");
    QTest::newRow("100 bytes") << 100 << 63;
    QTest::newRow("63 bytes") << 63 << 63;
    QTest::newRow("64 bytes") << 64 << 63;
    QTest::newRow("empty") << 0 << 0;
  }
  void hint() {
    QFETCH(int, length);
    QFETCH(int, kept);
    std::string Text;
    for (int Index = 0; Index < length; ++Index) Text += static_cast<char>('a' + Index % 26);
    Icon->SetHint(Text);
    QCOMPARE(Icon->Hint(), Text.substr(0, static_cast<size_t>(kept)));
    QCOMPARE(Calls(), QStringList{"Shell_NotifyIconA NIM_MODIFY 0"});
    const NOTIFYICONDATAA& Data = Desktop->NotifyRequests.at(0).Data;
    QCOMPARE(std::string(Data.szTip), Text.substr(0, static_cast<size_t>(kept)));
    QCOMPARE(Data.szTip[kept], '\0');
  }

  void visibleUnchangedSendsNothing() {
    Icon->SetVisible(false);
    QCOMPARE(Calls(), QStringList{});
    Icon->SetVisible(true);
    Desktop->Clear();
    Icon->SetVisible(true);
    QCOMPARE(Calls(), QStringList{});
  }

  void iconIdChange_data() {
    QTest::addColumn<bool>("shown");
    QTest::addColumn<TLines>("expected");
    QTest::newRow("shown") << true
                           << TLines{"Shell_NotifyIconA NIM_DELETE 0", "Hide",
                                     "Shell_NotifyIconA NIM_ADD 5", "Show"};
    QTest::newRow("hidden") << false << TLines{};
  }
  void iconIdChange() {
    QFETCH(bool, shown);
    QFETCH(TLines, expected);
    Icon->SetVisible(shown);
    Desktop->Clear();
    Icon->SetIconID(5);
    QCOMPARE(Calls(), expected);
    QCOMPARE(Icon->IconID(), 5);
    QCOMPARE(Icon->Visible(), shown);
    Desktop->Clear();
    Icon->SetIconID(5);
    QCOMPARE(Calls(), QStringList{});
  }

  void imageList() {
    auto Picture = std::make_unique<TIcon>();
    Picture->SetImage(Square(Qt::red));
    Icon->SetIcon(Picture.get());
    Desktop->Clear();
    // Without a list the index is only stored.
    Icon->SetImageIndex(1);
    QCOMPARE(Calls(), QStringList{});
    QCOMPARE(Icon->Icon()->Image().pixelColor(0, 0), QColor(Qt::red));
    auto* List = new TImageList(Form.get());
    List->Add(Square(Qt::green));
    List->Add(Square(Qt::blue));
    Icon->SetImageList(List);
    QCOMPARE(Icon->Icon()->Image().pixelColor(0, 0), QColor(Qt::blue));
    QCOMPARE(Calls(), QStringList{"Shell_NotifyIconA NIM_MODIFY 0"});
    // A number the list does not hold leaves the icon without a picture.
    Icon->SetImageIndex(9);
    QVERIFY(Icon->Icon()->Empty());
    QVERIFY(static_cast<HICON>(Desktop->NotifyRequests.back().Data.hIcon) == nullptr);
    // A list that goes is let go of.
    delete List;
    QVERIFY(Icon->ImageList() == nullptr);
    Desktop->Clear();
    Icon->SetImageIndex(0);
    QCOMPARE(Calls(), QStringList{});
  }

  void menuRemoval_data() {
    QTest::addColumn<bool>("sameOwner");
    QTest::newRow("same owner") << true;
    QTest::newRow("another owner") << false;
  }
  void menuRemoval() {
    QFETCH(bool, sameOwner);
    auto OtherForm = std::make_unique<TComponent>(nullptr);
    TPopupMenu* Menu = MakeMenu(sameOwner ? Form.get() : OtherForm.get());
    Icon->SetPopupMenu(Menu);
    Icon->SetVisible(true);
    delete Menu;
    QVERIFY(Icon->PopupMenu() == nullptr);
    Desktop->Clear();
    Notify(WM_RBUTTONDOWN);
    Notify(WM_RBUTTONUP);
    QVERIFY(!Calls().contains("PopupMenu"));
    QVERIFY(!Calls().filter("Menu @").size());
  }

  void destruction_data() {
    QTest::addColumn<bool>("shown");
    QTest::addColumn<TLines>("expected");
    QTest::newRow("shown") << true << TLines{"Shell_NotifyIconA NIM_DELETE 0", "Hide"};
    QTest::newRow("hidden") << false << TLines{};
  }
  void destruction() {
    QFETCH(bool, shown);
    QFETCH(TLines, expected);
    Icon->SetVisible(shown);
    const HWND Window = Icon->WindowHandle();
    Desktop->Clear();
    delete Icon;
    QCOMPARE(Calls(), expected);
    QVERIFY(!IsWindow(Window));
    // A callback still on its way to the gone window reaches nothing.
    QVERIFY(!PostMessageA(Window, WM_TASKBARICON, 0, WM_LBUTTONUP));
  }

  void loadedAddsAgain() {
    Icon->OnShow.Unbind();
    Icon->SetVisible(true);
    BindEvents(Icon);
    Desktop->Clear();
    Icon->Loaded();
    QCOMPARE(Calls(), (QStringList{"Shell_NotifyIconA NIM_ADD 0", "Show"}));
  }

  void failedRequest_data() {
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("visible");
    QTest::newRow("add") << "show"
                         << "antTaskbarIcon1.AddToTaskbar failed" << true;
    QTest::newRow("delete") << "hide"
                            << "antTaskbarIcon1.DeleteFromTaskbar failed" << false;
    QTest::newRow("modify") << "hint"
                            << "antTaskbarIcon1.UpDate failed" << true;
    QTest::newRow("picture without a handle") << "bigicon"
                                              << "antTaskbarIcon1.UpDate failed" << true;
  }
  void failedRequest() {
    QFETCH(QString, step);
    QFETCH(QString, message);
    QFETCH(bool, visible);
    if (step != "show") Icon->SetVisible(true);
    Desktop->Clear();
    Desktop->FailNextNotify = step != "bigicon";
    QString Raised;
    try {
      if (step == "show") Icon->SetVisible(true);
      if (step == "hide") Icon->SetVisible(false);
      if (step == "hint") Icon->SetHint("x");
      if (step == "bigicon") {
        // The platform makes no icon of more than 256 pixels a side.
        auto Picture = std::make_unique<TIcon>();
        Picture->SetImage(Square(Qt::red, 300));
        Icon->SetIcon(Picture.get());
      }
    } catch (const EantTaskbarIcon& Error) {
      Raised = QString::fromStdString(Error.Message());
    }
    QCOMPARE(Raised, message);
    QCOMPARE(Icon->Visible(), visible);
    QCOMPARE((Icon->IconFlags() & NIF_ICON) != 0, visible);
    // No OnShow or OnHide after a failed add or delete.
    QCOMPARE(Calls(), QStringList{});
  }

  void notificationAreaIsAnswerable() {
    QVERIFY(NotificationAreaExists());
    Desktop->NotificationArea = false;
    QVERIFY(!NotificationAreaExists());
  }
};

DRAVIK_TEST_MAIN(TestTaskbarIcon)
#include "TestTaskbarIcon.moc"
