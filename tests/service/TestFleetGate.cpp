// The fleet's say before a hang-up, on the test clock: a slot asked for and
// granted, none free (asked again each second), no answer from Redis (the
// node goes on by itself after the documented wait), and the drain time.

#include <QTest>

#include "ServiceTestSupport.h"
#include "TFleetGate.h"
#include "TManualClock.h"
#include "TServiceLog.h"

class TestFleetGate : public QObject {
  Q_OBJECT

 private:
  TServiceLog FLog{false};
  QStringList FLines;

  // Asks until the gate lets the line go, moving the clock by each wait;
  // the time that took on the test clock, or -1 past ALimitMs.
  static int64_t TimeToHangUp(TFleetGate& AGate, int64_t ALimitMs, QStringList* AFor = nullptr) {
    const uint64_t Start = TManualClock::Instance().Now();
    for (;;) {
      std::string For;
      const int64_t Wait = AGate.BeforeHangUp(For);
      if (Wait == 0) return static_cast<int64_t>(TManualClock::Instance().Now() - Start);
      if (AFor != nullptr && !AFor->contains(QString::fromStdString(For)))
        AFor->append(QString::fromStdString(For));
      TManualClock::Instance().Advance(static_cast<uint64_t>(Wait));
      if (static_cast<int64_t>(TManualClock::Instance().Now() - Start) > ALimitMs) return -1;
    }
  }

 private slots:
  void init() {
    FLines.clear();
    FLog.Tap = [this](TServiceLog::TPriority, const std::string& AText) {
      FLines.append(QString::fromStdString(AText));
    };
  }

  // Each row: how Redis answers the first asks (G granted, N no slot, -
  // none), max-offline and drain, and when the line may hang up.
  void Answers_data() {
    QTest::addColumn<QString>("Answers");
    QTest::addColumn<int>("MaxOffline");
    QTest::addColumn<int>("Drain");
    QTest::addColumn<int>("HangUpMs");
    QTest::addColumn<int>("Asks");
    QTest::addColumn<QStringList>("WaitedFor");
    QTest::newRow("no limit, no drain") << "" << 0 << 0 << 0 << 0 << QStringList{};
    QTest::newRow("no limit, drain") << "" << 0 << 5 << 5000 << 0 << QStringList{"the drain time"};
    QTest::newRow("granted at once") << "G" << 1 << 0 << 0 << 1 << QStringList{};
    QTest::newRow("granted, then drain")
        << "G" << 2 << 3 << 3000 << 1 << QStringList{"the drain time"};
    // None free: the node stays up and asks again each second.
    QTest::newRow("two refusals") << "NNG" << 1 << 0 << 2000 << 3 << QStringList{"a slot"};
    QTest::newRow("refusals, then drain")
        << "NG" << 1 << 2 << 3000 << 2 << QStringList{"a slot", "the drain time"};
    // Redis silent: the node goes by its own schedule after the limit.
    QTest::newRow("no answer") << "-" << 1 << 0 << int(TFleetGate::AnswerLimitMs) << 1
                               << QStringList{"a slot"};
    QTest::newRow("no answer, then drain") << "-" << 1 << 4 << int(TFleetGate::AnswerLimitMs) + 4000
                                           << 1 << QStringList{"a slot", "the drain time"};
  }
  void Answers() {
    QFETCH(QString, Answers);
    QFETCH(int, MaxOffline);
    QFETCH(int, Drain);
    QFETCH(int, HangUpMs);
    QFETCH(int, Asks);
    QFETCH(QStringList, WaitedFor);
    TFleetGate Gate(MaxOffline, Drain, FLog);
    int Asked = 0;
    int Left = 0;
    Gate.AskSlot = [&] {
      const QChar Answer = Asked < Answers.size() ? Answers[Asked] : QChar('-');
      ++Asked;
      if (Answer == 'G') Gate.Answered(TFleetGate::TAnswer::Granted);
      if (Answer == 'N') Gate.Answered(TFleetGate::TAnswer::NoSlot);
    };
    Gate.Leave = [&] { ++Left; };
    QStringList For;
    QCOMPARE(TimeToHangUp(Gate, 60000, &For), int64_t(HangUpMs));
    QCOMPARE(Asked, Asks);
    QCOMPARE(For, WaitedFor);
    // The node leaves the registry once, before it hangs up.
    QCOMPARE(Left, 1);
    QCOMPARE(Gate.HoldsSlot(), Answers.endsWith('G'));
    QCOMPARE(FLines.filter("no answer about a slot").size(), Answers == "-" ? 1 : 0);
    // Further hang-ups of the same turn (a redial) need no second slot.
    QCOMPARE(TimeToHangUp(Gate, 1000), int64_t(0));
    QCOMPARE(Asked, Asks);
    Gate.Settled();
    QVERIFY(!Gate.HoldsSlot());
  }

  // A slot's answer that comes late, after the node already went on by its
  // own schedule, changes nothing; the next turn asks again, and the
  // outage is logged once, not at every turn.
  void LateAnswerAndOneLogLine() {
    TFleetGate Gate(1, 0, FLog);
    int Asked = 0;
    Gate.AskSlot = [&] { ++Asked; };
    for (int Turn = 0; Turn < 3; ++Turn) {
      QCOMPARE(TimeToHangUp(Gate, 60000), int64_t(TFleetGate::AnswerLimitMs));
      Gate.Answered(TFleetGate::TAnswer::Granted);
      QVERIFY(!Gate.HoldsSlot());
      Gate.Settled();
    }
    QCOMPARE(Asked, 3);
    QCOMPARE(FLines.filter("no answer about a slot").size(), 1);
    // Answers again: said once, and a slot taken at once.
    Gate.AskSlot = [&] { Gate.Answered(TFleetGate::TAnswer::Granted); };
    QCOMPARE(TimeToHangUp(Gate, 60000), int64_t(0));
    QCOMPARE(FLines.filter("slots are answered again").size(), 1);
  }
};

DRAVIK_SERVICE_TEST_MAIN(TestFleetGate)
#include "TestFleetGate.moc"
