#include <QTest>
#include <memory>
#include <stdexcept>
#include <vector>

#include "TApplication.h"
#include "TTimer.h"
#include "TestSupport.h"

Q_DECLARE_METATYPE(std::vector<uint64_t>)

namespace {

// A timer whose firings are recorded as clock times.
struct TRecordedTimer {
  TComponent Owner{nullptr};
  TTimer* Timer = new TTimer(&Owner);
  std::vector<uint64_t> Fired;
  uint64_t Start = TClock::Instance().Now();

  TRecordedTimer() {
    Timer->OnTimer.Bind([this](TObject*) { Fired.push_back(TClock::Instance().Now() - Start); });
  }
};

// Steps of a timer scenario: "i<ms>" interval, "e"/"d" enable/disable,
// "a<ms>" advance the clock.
void Run(TRecordedTimer& ATimer, const QStringList& ASteps) {
  for (const QString& Step : ASteps) {
    const uint64_t Arg = Step.mid(1).toULongLong();
    switch (Step.at(0).toLatin1()) {
      case 'i':
        ATimer.Timer->SetInterval(static_cast<uint32_t>(Arg));
        break;
      case 'e':
        ATimer.Timer->SetEnabled(true);
        break;
      case 'd':
        ATimer.Timer->SetEnabled(false);
        break;
      case 'a':
        TManualClock::Instance().Advance(Arg);
        break;
    }
  }
}

}  // namespace

class TestTimer : public QObject {
  Q_OBJECT
 private slots:
  void Semantics_data() {
    QTest::addColumn<QStringList>("Steps");
    QTest::addColumn<std::vector<uint64_t>>("Fired");
    QTest::newRow("fires every interval")
        << QStringList{"i100", "e", "a350"} << std::vector<uint64_t>{100, 200, 300};
    QTest::newRow("enabling an enabled timer changes nothing")
        << QStringList{"i100", "e", "a60", "e", "a50"} << std::vector<uint64_t>{100};
    QTest::newRow("disabling a disabled timer changes nothing")
        << QStringList{"i100", "d", "a200"} << std::vector<uint64_t>{};
    QTest::newRow("enable after disable starts afresh")
        << QStringList{"i100", "e", "a60", "d", "a10", "e", "a99"} << std::vector<uint64_t>{};
    QTest::newRow("equal interval keeps the countdown")
        << QStringList{"i100", "e", "a60", "i100", "a40"} << std::vector<uint64_t>{100};
    QTest::newRow("new interval while enabled restarts")
        << QStringList{"i100", "e", "a60", "i100", "i50", "a60"} << std::vector<uint64_t>{110};
    QTest::newRow("new interval while disabled is only stored")
        << QStringList{"i100", "a10", "i30", "a100", "e", "a30"} << std::vector<uint64_t>{140};
    QTest::newRow("interval 0 never fires")
        << QStringList{"i0", "e", "a100000"} << std::vector<uint64_t>{};
    QTest::newRow("interval 0 then a real one fires")
        << QStringList{"i0", "e", "a100", "i20", "a20"} << std::vector<uint64_t>{120};
    // The unsigned reading of -1000 ms: about 49.7 days, neither at once nor never.
    QTest::newRow("4294966296 ms fires after 49.7 days")
        << QStringList{"i4294966296", "e", "a4294966295", "a1"}
        << std::vector<uint64_t>{4294966296ULL};
  }
  void Semantics() {
    QFETCH(QStringList, Steps);
    QFETCH(std::vector<uint64_t>, Fired);
    TRecordedTimer Timer;
    Run(Timer, Steps);
    QCOMPARE(Timer.Fired, Fired);
  }

  void HandlerThatDisablesItsTimerFiresOnce() {
    TComponent Owner(nullptr);
    auto* Timer = new TTimer(&Owner);
    int Count = 0;
    Timer->OnTimer.Bind([&](TObject* Sender) {
      ++Count;
      QCOMPARE(Sender, static_cast<TObject*>(Timer));
      Timer->SetEnabled(false);
    });
    Timer->SetInterval(1000);
    Timer->SetEnabled(true);
    TManualClock::Instance().Advance(10000);
    QCOMPARE(Count, 1);
  }

  void TimersFireInOrderOfDueTime() {
    TComponent Owner(nullptr);
    std::vector<int> Order;
    auto Arm = [&](int AId, uint32_t AInterval) {
      auto* Timer = new TTimer(&Owner);
      Timer->OnTimer.Bind([&Order, AId, Timer](TObject*) {
        Order.push_back(AId);
        Timer->SetEnabled(false);
      });
      Timer->SetInterval(AInterval);
      Timer->SetEnabled(true);
    };
    Arm(1, 300);
    Arm(2, 100);
    Arm(3, 200);
    Arm(4, 100);
    TManualClock::Instance().Advance(1000);
    QCOMPARE(Order, (std::vector<int>{2, 4, 3, 1}));
  }

  void DestroyedTimerNeverFires() {
    int Count = 0;
    {
      TComponent Owner(nullptr);
      auto* Timer = new TTimer(&Owner);
      Timer->OnTimer.Bind([&](TObject*) { ++Count; });
      Timer->SetEnabled(true);
    }
    TManualClock::Instance().Advance(5000);
    QCOMPARE(Count, 0);
  }

  void ExceptionInHandlerIsShownAndTimersGoOn() {
    Application().SetTitle("Dravik test");
    TModalRecorder::Instance().Clear();
    TComponent Owner(nullptr);
    auto* Failing = new TTimer(&Owner);
    auto* Other = new TTimer(&Owner);
    int FailingCount = 0, OtherCount = 0;
    Failing->OnTimer.Bind([&](TObject*) {
      ++FailingCount;
      throw std::runtime_error("Not enough timers available");
    });
    Other->OnTimer.Bind([&](TObject*) { ++OtherCount; });
    Failing->SetInterval(1000);
    Other->SetInterval(1500);
    Failing->SetEnabled(true);
    Other->SetEnabled(true);

    TManualClock::Instance().Advance(1000);
    QCOMPARE(TModalRecorder::Instance().Shown().size(), size_t(1));
    const TModalRequest& Box = TModalRecorder::Instance().Shown().front();
    QCOMPARE(Box.Type, TMsgDlgType::mtError);
    QCOMPARE(Box.Title, std::string("Dravik test"));
    QCOMPARE(Box.Text, std::string("Not enough timers available."));

    TManualClock::Instance().Advance(2000);
    QCOMPARE(FailingCount, 3);
    QCOMPARE(OtherCount, 2);
  }
};

DRAVIK_TEST_MAIN(TestTimer)
#include "TestTimer.moc"
