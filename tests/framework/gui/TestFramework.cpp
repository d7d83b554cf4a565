#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <stdexcept>

#include "Exception.h"
#include "StrToInt.h"
#include "TApplication.h"
#include "TEvent.h"
#include "TSpinEdit.h"
#include "TestSupport.h"

namespace {

// Counts its own destructions, in order.
struct TCountedComponent : TComponent {
  TCountedComponent(TComponent* AOwner, std::vector<std::string>& ALog, const std::string& AName)
      : TComponent(AOwner), FLog(ALog) {
    SetName(AName);
  }
  ~TCountedComponent() override { FLog.push_back(Name()); }
  std::vector<std::string>& FLog;
};

struct THandlerOwner {
  TObject* LastSender = nullptr;
  int LastValue = 0;
  void Handle(TObject* ASender, int AValue) {
    LastSender = ASender;
    LastValue = AValue;
  }
};

}  // namespace

class TestFramework : public QObject {
  Q_OBJECT
 private slots:
  void OwnerDestroysWhatItOwns() {
    std::vector<std::string> Log;
    auto* Root = new TCountedComponent(nullptr, Log, "root");
    auto* Child = new TCountedComponent(Root, Log, "child");
    new TCountedComponent(Child, Log, "grandchild");
    new TCountedComponent(Root, Log, "second");
    QCOMPARE(Root->FindComponent("second")->Name(), std::string("second"));
    delete Child;  // an owned component destroyed early leaves its owner's list
    QCOMPARE(Root->Components().size(), size_t(1));
    delete Root;
    // A component runs its own destructor before it destroys what it owns.
    QCOMPARE(Log, (std::vector<std::string>{"child", "grandchild", "root", "second"}));
  }

  void EventsRaiseOnlyWhenBound() {
    TEvent<TObject*, int> Event;
    QVERIFY(!Event.Assigned());
    Event(nullptr, 1);  // unbound: nothing happens
    THandlerOwner Owner;
    TComponent Sender(nullptr);
    Event.Bind(&Owner, &THandlerOwner::Handle);
    QVERIFY(Event.Assigned());
    Event(&Sender, 42);
    QCOMPARE(Owner.LastSender, static_cast<TObject*>(&Sender));
    QCOMPARE(Owner.LastValue, 42);
    Event.Unbind();
    Event(&Sender, 7);
    QCOMPARE(Owner.LastValue, 42);
  }

  void SpinEditReadsItsText_data() {
    QTest::addColumn<QString>("Text");
    QTest::addColumn<int>("Value");
    QTest::newRow("decimal") << "12" << 12;
    QTest::newRow("leading blank") << " 7" << 7;
    QTest::newRow("plus sign") << "+3" << 3;
    QTest::newRow("negative") << "-5" << -5;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("beyond 32 bits") << "99999999999" << 0;
    QTest::newRow("hexadecimal") << "$3C" << 60;
    QTest::newRow("trailing blank") << "7 " << 0;
    QTest::newRow("lowest") << "-2147483648" << int(INT32_MIN);
    QTest::newRow("one beyond the highest") << "2147483648" << 0;
  }
  void SpinEditReadsItsText() {
    QFETCH(QString, Text);
    QFETCH(int, Value);
    TSpinEdit Spin;
    Spin.findChild<QLineEdit*>()->setText(Text);
    QCOMPARE(Spin.Value(), Value);
  }

  void SpinEditStepsByOne() {
    TSpinEdit Spin;
    Spin.SetValue(-1);
    Spin.stepUp();
    Spin.stepUp();
    QCOMPARE(Spin.Value(), 1);
    Spin.findChild<QLineEdit*>()->setText("abc");
    Spin.stepDown();
    QCOMPARE(Spin.Value(), -1);
    QCOMPARE(Spin.text(), QString("-1"));
  }

  void ErrorTextEndsWithOneFullStop_data() {
    QTest::addColumn<QString>("Message");
    QTest::addColumn<QString>("Shown");
    QTest::newRow("appended") << "Unable to write to /x/dravik.ini"
                              << "Unable to write to /x/dravik.ini.";
    QTest::newRow("kept") << "Done."
                          << "Done.";
    QTest::newRow("empty") << ""
                           << ".";
  }
  void ErrorTextEndsWithOneFullStop() {
    QFETCH(QString, Message);
    QFETCH(QString, Shown);
    const auto Error = std::make_exception_ptr(Exception(Message.toStdString()));
    QCOMPARE(QString::fromStdString(TApplication::ErrorText(Error)), Shown);
  }

  void ExceptionInAControlEventIsShownAndTheProgramRunsOn() {
    Application().SetTitle("Dravik test");
    TModalRecorder::Instance().Clear();
    QPushButton Button;
    int Clicks = 0;
    QObject::connect(&Button, &QPushButton::clicked, [&] {
      TApplication::Guarded([&] {
        if (++Clicks == 1) throw Exception("Unable to write to /x/dravik.ini");
      });
    });
    QTest::mouseClick(&Button, Qt::LeftButton);
    QTest::mouseClick(&Button, Qt::LeftButton);
    QCOMPARE(Clicks, 2);
    QCOMPARE(TModalRecorder::Instance().Shown().size(), size_t(1));
    QCOMPARE(TModalRecorder::Instance().Shown()[0].Title, std::string("Dravik test"));
    QCOMPARE(TModalRecorder::Instance().Shown()[0].Text,
             std::string("Unable to write to /x/dravik.ini."));
  }

  void MessageDlgIsAnsweredByTheHook() {
    TModalRecorder::Instance().Clear();
    TModalRecorder::Instance().SetNextAnswer(mrCancel);
    QCOMPARE(MessageDlg("RASManager: Invalid Timeout value (0..MaxInt)", TMsgDlgType::mtError),
             int(mrCancel));
    QCOMPARE(TModalRecorder::Instance().Shown().size(), size_t(1));
    QCOMPARE(TModalRecorder::Instance().Shown()[0].Text,
             std::string("RASManager: Invalid Timeout value (0..MaxInt)"));
  }

  void StartedMinimizedFollowsTheShowState_data() {
    QTest::addColumn<QByteArray>("State");
    QTest::addColumn<bool>("Minimized");
    QTest::newRow("unset") << QByteArray() << false;
    QTest::newRow("by name") << QByteArray("SW_SHOWMINNOACTIVE") << true;
    QTest::newRow("by number") << QByteArray("7") << true;
    QTest::newRow("normal") << QByteArray("SW_SHOWNORMAL") << false;
    QTest::newRow("garbage") << QByteArray("minimised please") << false;
  }
  void StartedMinimizedFollowsTheShowState() {
    QFETCH(QByteArray, State);
    QFETCH(bool, Minimized);
    if (State.isNull())
      qunsetenv("DRAVIK_SHOW_STATE");
    else
      qputenv("DRAVIK_SHOW_STATE", State);
    QCOMPARE(TApplication::StartedMinimized(), Minimized);
    qunsetenv("DRAVIK_SHOW_STATE");
  }
};

DRAVIK_TEST_MAIN(TestFramework)
#include "TestFramework.moc"
