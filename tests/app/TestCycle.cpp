// The reconnect cycle and the event log, on the hand-driven clock against the
// simulated dial-up service. Each row is a script: the window is created,
// then user actions, the passing of time and outside events alternate with
// checks of the cycle's state, the line, the address field and the log.
//
// Time counts from the window's creation. The monitor polls at every full
// second, so the scripts tick the box at 1.3 s and keep the cycle's timers
// off the polls: a poll then sees the line as the last timer left it.

#include <QRegularExpression>
#include <QTest>

#include "MemoLines.h"
#include "TSimService.h"
#include "TSimServiceDir.h"
#include "TestSupport.h"
#include "TimeText.h"
#include "Unit1.h"

namespace {

const QByteArray Phonebook =
    "[Broadband]\nUserName=alice\nPassword=s3cret\nDialSeconds=0\n\n"
    "[Other]\nUserName=bob\nPassword=pw\nDialSeconds=0\n";

const QString Line = QStringLiteral("Broadband");

QString CycleState(const TForm1& AForm) {
  const bool HangUpArmed = AForm.Timer1->Enabled();
  const bool RedialArmed = AForm.Timer2->Enabled();
  if (HangUpArmed && RedialArmed) return QStringLiteral("Both");
  if (HangUpArmed) return QStringLiteral("Online");
  if (RedialArmed) return QStringLiteral("Offline");
  return QStringLiteral("Off");
}

// The log as "c" for a connect line and "d" for a disconnect line; "?" for a
// line of another shape.
QString LogKinds(const TForm1& AForm) {
  static const QRegularExpression Shape(
      QStringLiteral("^\\d{1,2}:\\d\\d:\\d\\d (connected|disconnected)$"));
  QString Kinds;
  const QString Text = AForm.Memo1->toPlainText();
  if (Text.isEmpty()) return Kinds;
  for (const QString& Entry : Text.split('\n')) {
    const QRegularExpressionMatch Match = Shape.match(Entry);
    Kinds += !Match.hasMatch() ? '?' : Match.captured(1) == "connected" ? 'c' : 'd';
  }
  return Kinds;
}

// Runs one script against a window of its own.
class TCycleScript {
 public:
  explicit TCycleScript(const QByteArray& ASettings) {
    if (!ASettings.isEmpty()) FWindow.WriteSettings(ASettings);
  }

  void Run(const QStringList& ASteps) {
    for (const QString& Step : ASteps) {
      Do(Step);
      if (QTest::currentTestFailed()) {
        qWarning("failed at step %s", qPrintable(Step));
        return;
      }
    }
    QCOMPARE(TModalRecorder::Instance().Shown().size(), size_t(0));
  }

 private:
  TForm1& Form() { return *FWindow.Form; }

  void Do(const QString& AStep) {
    const QString Name = AStep.section('=', 0, 0);
    const QString Value = AStep.section('=', 1);
    if (Name == "create") {
      TForm1& Form = FWindow.Create();
      Form.rasm1->OnConnecting.Bind([this](TObject*, int, int AState, int AError) {
        if (AError != 0 || AState == RASCS_Connected) ++FDialReports;
      });
      FLastHandle = Form.rasm1->ConnectionHandle();
    } else if (Name == "up") {
      QCOMPARE(TSimService::RunTool({"dial", Line}), 0);
    } else if (Name == "tick" || Name == "untick") {
      QCOMPARE(Form().CheckBox1->isChecked(), Name == "untick");
      QTest::mouseClick(Form().CheckBox1, Qt::LeftButton);
      QCOMPARE(Form().CheckBox1->isChecked(), Name == "tick");
    } else if (Name == "s1" || Name == "s2") {
      (Name == "s1" ? Form().SpinEdit1 : Form().SpinEdit2)->findChild<QLineEdit*>()->setText(Value);
    } else if (Name == "w") {
      Wait(Value.toULongLong());
    } else if (Name == "send" || Name == "stop") {
      QToolButton* Button = Name == "send" ? Form().msend : Form().mstop;
      QVERIFY(Button->isEnabled());
      QTest::mouseClick(Button, Qt::LeftButton);
      AfterEvent();
    } else if (Name == "drop") {
      QCOMPARE(TSimService::RunTool({"drop", Line}), 0);
    } else if (Name == "redial-outside") {
      // The line drops and another program dials it again: the dialler's
      // own handle is gone, the entry is connected under a new one, which is
      // no dial of the window's.
      QCOMPARE(TSimService::RunTool({"drop", Line}), 0);
      QCOMPARE(TSimService::RunTool({"dial", Line}), 0);
      FOutsideHandle = TSimService::HandleOf(Line);
      QVERIFY(FOutsideHandle != 0 && FOutsideHandle != Form().rasm1->ConnectionHandle());
    } else if (Name == "fail") {
      QCOMPARE(TSimService::RunTool({"fail", Line, "678"}), 0);
    } else if (Name == "peer") {
      QCOMPARE(TSimService::RunTool({"dial", "Other"}), 0);
    } else if (Name == "peer-hangup") {
      QCOMPARE(TSimService::RunTool({"hangup", "Other"}), 0);
    } else if (Name == "fill") {
      QStringList Typed;
      for (int Index = 1; Index <= Value.toInt(); ++Index) Typed << QString("typed %1").arg(Index);
      Form().Memo1->setPlainText(Typed.join('\n'));
    } else if (Name == "type") {
      Form().Memo1->setPlainText(
          QString(Value).replace(QStringLiteral("\\n"), QStringLiteral("\n")));
    } else if (Name.startsWith('?')) {
      Check(Name.mid(1), Value);
    } else {
      QFAIL(qPrintable("unknown step " + AStep));
    }
  }

  void Check(const QString& AWhat, const QString& AValue) {
    if (AWhat == "Off" || AWhat == "Online" || AWhat == "Offline" || AWhat == "Both") {
      QCOMPARE(CycleState(Form()), AWhat);
    } else if (AWhat == "up" || AWhat == "down") {
      QCOMPARE(TSimService::ConnectedEntries().contains(Line), AWhat == "up");
    } else if (AWhat == "log") {
      QCOMPARE(LogKinds(Form()), AValue);
    } else if (AWhat == "lines") {
      QCOMPARE(MemoLineCount(Form().Memo1), AValue.toInt());
    } else if (AWhat == "i1") {
      QCOMPARE(static_cast<qulonglong>(Form().Timer1->Interval()), AValue.toULongLong());
    } else if (AWhat == "ip") {
      const QString Shown = Form().ip->text();
      if (AValue == "local") {
        QCOMPARE(Shown, QString::fromStdString(Form().Ras->LocalIP()));
      } else if (AValue == "same") {
        QCOMPARE(Shown, FAddress);
      } else {
        const QString Entry = AValue == "Other" ? QStringLiteral("Other") : Line;
        QVERIFY(!Shown.isEmpty());
        QCOMPARE(Shown, TSimService::AddressOf(Entry));
        if (AValue == "new") QVERIFY(Shown != FAddress);
      }
      FAddress = Shown;
    } else {
      QFAIL(qPrintable("unknown check " + AWhat));
    }
  }

  // Moves the clock on, one timer at a time, so that each dial the window
  // makes has reported before time goes on: a hang-up must not overtake the
  // report of the dial before it.
  void Wait(uint64_t AMilliseconds) {
    TManualClock& Clock = TManualClock::Instance();
    const uint64_t Target = Clock.Now() + AMilliseconds;
    uint64_t Due = 0;
    while (Clock.NextDue(Due) && Due <= Target) {
      // A timer that fell due during a sleep is already late.
      Clock.Advance(Due > Clock.Now() ? Due - Clock.Now() : 0);
      AfterEvent();
      if (QTest::currentTestFailed()) return;
    }
    Clock.Advance(Target - Clock.Now());
  }

  void AfterEvent() {
    TWindowUnderTest::Settle();
    // Every dial writes a fresh handle, failed ones included.
    const HRASCONN Handle = Form().rasm1->ConnectionHandle();
    if (Handle != 0 && Handle != FLastHandle) {
      FLastHandle = Handle;
      // Taken over from another program's dial, not dialled.
      if (Handle == FOutsideHandle) return;
      ++FDials;
      QTRY_VERIFY(FDialReports >= FDials);
    }
  }

  TWindowUnderTest FWindow;
  QString FAddress;
  HRASCONN FLastHandle = 0;
  HRASCONN FOutsideHandle = 0;
  int FDials = 0;
  int FDialReports = 0;
};

}  // namespace

class TestCycle : public QObject {
  Q_OBJECT
  TSimServiceDir FService;

 private slots:
  void initTestCase() {
    QVERIFY(FService.IsValid());
    FService.WritePhonebook(Phonebook);
    SetLongTimeFormat(TLongTimeFormat());
  }

  void init() {
    QVERIFY(TSimService::HangUpEverything());
    TModalRecorder::Instance().Clear();
  }

  void Cycle_data() {
    QTest::addColumn<QByteArray>("Settings");
    QTest::addColumn<QStringList>("Steps");
    const QStringList Connected{"create", "s1=5", "s2=3", "send", "w=1300", "tick"};
    // Connected, ticked at 1300: hang-up at 6300, redial at 9300.

    QTest::newRow("hang-up after SpinEdit1, redial after SpinEdit2, over and over")
        << QByteArray()
        << QStringList{"create",   "s1=5",     "s2=3",    "send",     "?up",        "w=1000",
                       "?log=c",   "?ip=line", "w=300",   "tick",     "?Online",    "w=4999",
                       "?up",      "w=1",      "?down",   "?Offline", "w=700",      "?log=cd",
                       "?ip=same", "w=2299",   "?down",   "w=1",      "?up",        "?Online",
                       "w=700",    "?log=cdc", "?ip=new", "w=4300",   "?down",      "?Offline",
                       "w=3000",   "?up",      "?Online", "w=700",    "?log=cdcdc", "?ip=new"};
    QTest::newRow("unticked in an online phase: off, the line stays up")
        << QByteArray()
        << Connected + QStringList{"w=2000", "untick", "?Off", "w=30000", "?Off", "?up", "?log=c"};
    QTest::newRow("unticked in an offline phase: the redial comes and the cycle goes on")
        << QByteArray()
        << Connected + QStringList{"w=5000",  "?Offline", "w=1000",   "untick", "?Offline",
                                   "w=1999",  "?down",    "w=1",      "?up",    "?Online",
                                   "w=5000",  "?down",    "?Offline", "w=3000", "?up",
                                   "?Online", "tick",     "untick",   "?Off",   "w=30000",
                                   "?Off",    "?up"};
    QTest::newRow("ticked in an offline phase: both; the hang-up fires first, the redial keeps")
        << QByteArray()
        << Connected + QStringList{"w=5000", "untick", "?Offline", "s1=1", "w=500",    "tick",
                                   "?Both",  "w=999",  "?Both",    "w=1",  "?Offline", "?down",
                                   "w=1499", "?down",  "w=1",      "?up",  "?Online"};
    QTest::newRow("both; SpinEdit2 changed: the hang-up restarts the redial countdown")
        << QByteArray()
        << Connected + QStringList{"w=5000", "untick",   "s1=1",   "w=500", "tick", "?Both", "s2=4",
                                   "w=1000", "?Offline", "w=3999", "?down", "w=1",  "?up"};
    QTest::newRow("both; the redial fires first, the hang-up keeps its countdown")
        << QByteArray()
        << Connected + QStringList{"w=5000", "untick", "s1=10",   "w=500",   "tick",
                                   "?Both",  "w=2500", "?Online", "?up",     "w=7499",
                                   "?up",    "w=1",    "?down",   "?Offline"};
    QTest::newRow("SpinEdit2 changed in an offline phase applies from the next one")
        << QByteArray()
        << Connected + QStringList{"w=5000", "s2=10", "w=2999", "?down", "w=1", "?up",
                                   "w=5000", "?down", "w=9999", "?down", "w=1", "?up"};
    QTest::newRow("SpinEdit1 of 0 holds the online phase")
        << QByteArray() << QStringList{"create",  "s1=0",  "send",    "w=1300",  "tick",
                                       "?Online", "?i1=0", "w=60000", "?Online", "?up"};
    QTest::newRow("SpinEdit1 that is no number reads as 0")
        << QByteArray() << QStringList{"create",  "s1=abc", "send",    "w=1300",  "tick",
                                       "?Online", "?i1=0",  "w=60000", "?Online", "?up"};
    QTest::newRow("SpinEdit1 of -1: the unsigned reading of -1000 ms")
        << QByteArray() << QStringList{"create", "s1=-1", "tick", "?Online", "?i1=4294966296"};
    QTest::newRow("SpinEdit1 of 2147484: beyond the signed range, read unsigned")
        << QByteArray() << QStringList{"create", "s1=2147484", "tick", "?Online", "?i1=2147484000"};
    QTest::newRow("SpinEdit1 of 4294968: the product wraps at 32 bits")
        << QByteArray() << QStringList{"create", "s1=4294968", "tick", "?Online", "?i1=704"};
    QTest::newRow("SpinEdit2 of 0 holds the offline phase until a tick's hang-up re-arms it")
        << QByteArray()
        << QStringList{"create",   "s1=5",     "s2=0",    "send",     "w=1300", "tick",
                       "w=5000",   "?Offline", "w=60000", "?Offline", "?down",  "untick",
                       "?Offline", "s2=2",     "s1=1",    "tick",     "?Both",  "w=1000",
                       "?Offline", "w=1999",   "?down",   "w=1",      "?up",    "?Online"};
    QTest::newRow("ticked again after a redial: the countdown runs on, SpinEdit1 unchanged")
        << QByteArray()
        << Connected + QStringList{"w=5000",  "untick", "w=3000", "?Online", "w=2000", "tick",
                                   "?Online", "w=2999", "?up",    "w=1",     "?down",  "?Offline"};
    QTest::newRow("ticked again after a redial: the countdown restarts, SpinEdit1 changed")
        << QByteArray()
        << Connected + QStringList{"w=5000", "untick", "w=3000", "w=2000", "s1=4", "tick",
                                   "w=2999", "?up",    "w=1000", "?up",    "w=1",  "?down"};
    QTest::newRow("manual disconnect in an online phase: offline wait and redial follow")
        << QByteArray()
        << Connected + QStringList{"w=1000",   "stop",   "?down", "?Online", "w=4000",
                                   "?Offline", "w=3000", "?up",   "?Online"};
    QTest::newRow("manual connect in an offline phase: the redial finds the line up")
        << QByteArray()
        << Connected + QStringList{"w=5000",   "?down",    "w=1000", "send",    "?up", "w=700",
                                   "?log=cdc", "?ip=line", "w=1300", "?Online", "?up", "w=700",
                                   "?log=cdc", "?ip=same", "w=4299", "?up",     "w=1", "?down"};
    QTest::newRow("the line drops by itself: logged; the hang-up time finds nothing to do")
        << QByteArray()
        << Connected + QStringList{"?ip=line", "w=1000",  "drop",    "w=700",    "?log=cd",
                                   "?ip=same", "?Online", "w=3300",  "?Offline", "w=3000",
                                   "?up",      "w=700",   "?log=cdc"};
    QTest::newRow("dropped and redialled from outside: the cycle goes on with new addresses")
        << QByteArray()
        << Connected + QStringList{"?ip=line", "w=1000",   "redial-outside", "?up",    "w=4000",
                                   "?down",    "?Offline", "w=700",          "w=2300", "?up",
                                   "?Online",  "w=700",    "?ip=new",        "w=4300", "?down",
                                   "w=3000",   "?up",      "w=700",          "?ip=new"};
    QTest::newRow("a failed redial: the cycle tries again after the next offline wait")
        << QByteArray()
        << Connected + QStringList{"w=5000", "fail",     "w=3000", "?down", "?Online",
                                   "w=5000", "?Offline", "w=3000", "?up"};
    // The hang-up timer is armed before the 2 s splash, so the first hang-up
    // comes 2 s sooner after the window is shown.
    QTest::newRow("switched on in the settings: the hang-up timer runs from before the splash")
        << QByteArray("[config]\nhanguptime=4\nconnecttime=3\nchange=1\n")
        << QStringList{"create", "?Online",  "?i1=4000", "w=1999", "?Online",
                       "w=1",    "?Offline", "w=3000",   "?up",    "?Online"};
    // The first poll fell due during the splash and is served right after it.
    QTest::newRow("a line already up at start-up is logged at the first poll")
        << QByteArray()
        << QStringList{"up", "create", "?ip=local", "?log=", "w=0", "?log=c", "?ip=line"};
    QTest::newRow("another program's connection is logged and shown; its end keeps the address")
        << QByteArray() << QStringList{"create",      "peer",   "w=1000",  "?log=c",   "?ip=Other",
                                       "peer-hangup", "w=1000", "?log=cd", "?ip=same", "?Off"};
    QTest::newRow("the 501st line as a connect line stays")
        << QByteArray() << QStringList{"create", "fill=500", "send", "w=1000", "?lines=501"};
    QTest::newRow("the 501st line as a disconnect line empties the log")
        << QByteArray() << QStringList{"create", "send",   "w=1000",   "fill=500",
                                       "stop",   "w=1000", "?lines=0", "?log="};
    QTest::newRow("user text that ends in a line break: the next line follows it")
        << QByteArray()
        << QStringList{"create", "type=a note\\n", "send", "w=1000", "?log=?c", "?lines=2"};
    QTest::newRow("the 500th line as a disconnect line stays")
        << QByteArray()
        << QStringList{"create", "send", "w=1000", "fill=499", "stop", "w=1000", "?lines=500"};
  }
  void Cycle() {
    QFETCH(QByteArray, Settings);
    QFETCH(QStringList, Steps);
    TCycleScript Script(Settings);
    Script.Run(Steps);
  }
};

DRAVIK_TEST_MAIN(TestCycle)
#include "TestCycle.moc"
