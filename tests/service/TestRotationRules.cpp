// The rotation's rules at work, on the test clock against the simulated
// service: a new address in a subnet seen recently is redialled (and the
// reason recorded), also for the IPv6 prefix; the line's IPv6 facts go into
// the rows and the status; online times drawn with jitter from the seed the
// log states; schedule windows over midnight, a weekend and the night the
// clocks go forward, with the line kept up or down between them; fixed
// times with the wall clock set back over one. Local time is Berlin's.

#include <time.h>

#include <QDateTime>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "AddressPrefix.h"
#include "RasControl.h"
#include "ServiceTestSupport.h"
#include "THistory.h"
#include "TJitter.h"
#include "TRotation.h"
#include "TServiceLog.h"
#include "TSimServiceDir.h"

namespace {

struct TRow {
  uint64_t At;  // on the test clock
  TDialRecord Record;
};

const QTimeZone Berlin("Europe/Berlin");

int64_t Local(const char* AText) {
  const QDateTime Time = QDateTime::fromString(AText, Qt::ISODate);
  return QDateTime(Time.date(), Time.time(), Berlin).toMSecsSinceEpoch();
}

int64_t Utc(const char* AText) {
  QDateTime Time = QDateTime::fromString(AText, Qt::ISODate);
  Time.setTimeZone(QTimeZone::utc());
  return Time.toMSecsSinceEpoch();
}

QString Shown(int64_t AMs) {
  return QDateTime::fromMSecsSinceEpoch(AMs, Berlin).toString(Qt::ISODate);
}

}  // namespace

class TestRotationRules : public QObject {
  Q_OBJECT

 private:
  TSimServiceDir FDir;
  QTemporaryDir FWork;
  TServiceLog FLog{false};
  std::unique_ptr<THistory> FHistory;
  std::unique_ptr<TRotation> FRotation;
  std::vector<TRow> FRows;
  QStringList FLogLines;
  // The wall clock: a start, the test clock's time since, and a jump.
  int64_t FWallStart = 0;
  uint64_t FClockStart = 0;
  int64_t FJump = 0;

  int64_t Wall() const {
    return FWallStart + static_cast<int64_t>(TClock::Instance().Now() - FClockStart) + FJump;
  }

  // A rotation of "Line" at 60 s online and 5 s offline, changed by
  // AChange, started with the wall clock at AWallMs (now when 0).
  void StartRotation(const std::function<void(TServiceConfig&)>& AChange, int64_t AWallMs = 0) {
    TServiceConfig Config;
    Config.Entry = "Line";
    if (AChange) AChange(Config);
    FWallStart = AWallMs != 0 ? AWallMs : QDateTime::currentMSecsSinceEpoch();
    FClockStart = TClock::Instance().Now();
    FJump = 0;
    FRotation =
        std::make_unique<TRotation>(nullptr, Config, FLog, FHistory.get(), nullptr, nullptr);
    FRotation->WallClock = [this] { return Wall(); };
    FRotation->OnRecorded = [this](const TDialRecord& ARow) {
      FRows.push_back({TClock::Instance().Now(), ARow});
    };
    std::string Problem;
    QVERIFY2(FRotation->Start(Problem), Problem.c_str());
  }

  bool WaitRows(size_t ACount, uint64_t AMaxMs = 600000, uint64_t AStepMs = 100) {
    return AdvanceUntil([&] { return FRows.size() >= ACount; }, AMaxMs, AStepMs,
                        [&] { return DialOnItsWay(FRotation.get()); });
  }
  // Moves the test clock on until the wall clock reads AWallMs.
  bool WaitUntilWall(int64_t AWallMs, uint64_t AStepMs = 1000) {
    const int64_t Left = AWallMs - Wall();
    return Left <= 0 ||
           AdvanceUntil([&] { return Wall() >= AWallMs; }, static_cast<uint64_t>(Left) + AStepMs,
                        AStepMs, [&] { return DialOnItsWay(FRotation.get()); });
  }

  static void InjectSubnet() { QCOMPARE(DravikRasSubnetNextAddress("Line"), DWORD(0)); }

 private slots:
  void initTestCase() { QVERIFY2(Berlin.isValid(), "the tests need the zone Europe/Berlin"); }

  void init() {
    QVERIFY(FDir.IsValid());
    FDir.WritePhonebook("[Line]\nUserName=u\nPassword=p\nDialSeconds=0\n");
    FRows.clear();
    FLogLines.clear();
    FLog.Tap = [this](TServiceLog::TPriority, const std::string& AText) {
      FLogLines << QString::fromStdString(AText);
    };
    FHistory = std::make_unique<THistory>();
    QFile::remove(FWork.filePath("history.sqlite"));
    QCOMPARE(FHistory->Open(FWork.filePath("history.sqlite").toStdString()), std::string());
  }

  void cleanup() {
    FRotation.reset();
    FHistory.reset();
    QTest::qWait(200);
    HangUpEntry("Line");
  }

  // The subnet fault gives the next dial an address in the /24 of the last
  // one and an IPv6 address in its prefix: redialled, with the reason
  // recorded, when the subnet (or the IPv6 prefix) is compared; kept with
  // the turn not rotated at the redial limit; taken when neither is.
  void SubnetRedials_data() {
    QTest::addColumn<int>("Prefix");
    QTest::addColumn<int>("Prefix6");
    QTest::addColumn<int>("RedialLimit");
    QTest::addColumn<QString>("Outcome");  // of the turn after the fault
    QTest::addColumn<QString>("Reason");
    QTest::newRow("subnet redialled") << 24 << 0 << 2 << "repeated"
                                      << "repeated-subnet";
    QTest::newRow("IPv6 prefix redialled") << 0 << 56 << 2 << "repeated"
                                           << "repeated-subnet6";
    QTest::newRow("redial limit reached") << 24 << 0 << 0 << "repeated"
                                          << "repeated-subnet";
    QTest::newRow("subnets not compared") << 0 << 0 << 2 << "connected"
                                          << "";
  }
  void SubnetRedials() {
    QFETCH(int, Prefix);
    QFETCH(int, Prefix6);
    QFETCH(int, RedialLimit);
    QFETCH(QString, Outcome);
    QFETCH(QString, Reason);
    StartRotation([&](TServiceConfig& AConfig) {
      AConfig.DistinctPrefix = Prefix;
      AConfig.DistinctPrefix6 = Prefix6;
      AConfig.RedialLimit = RedialLimit;
    });
    QVERIFY(WaitRows(1));
    InjectSubnet();
    QVERIFY(WaitRows(2, 70000));
    const TDialRecord First = FRows[0].Record;
    const TDialRecord Second = FRows[1].Record;
    QVERIFY(Second.LineAddress != First.LineAddress);
    QCOMPARE(Ipv4Network(Second.LineAddress, 24), Ipv4Network(First.LineAddress, 24));
    QCOMPARE(Second.Prefix6, First.Prefix6);
    QCOMPARE(QString::fromStdString(Second.Outcome), Outcome);
    QCOMPARE(QString::fromStdString(Second.Reason), Reason);
    QCOMPARE(FHistory->Since(0, 10).back().Reason, Second.Reason);
    if (Outcome == "connected") return;
    const std::string Network =
        Prefix6 > 0 ? Ipv6Network(Second.Address6, 56) : Ipv4Network(Second.LineAddress, 24);
    QCOMPARE(Second.Detail, Network + " seen recently");
    if (RedialLimit == 0) {
      QCOMPARE(
          FLogLines
              .filter("turn not rotated: address " + QString::fromStdString(Second.LineAddress))
              .size(),
          1);
      QCOMPARE(FRotation->Phase(), TRotation::TPhase::Online);
      QCOMPARE(FRotation->Status().Address, Second.LineAddress);
      QCOMPARE(FRotation->Metrics().TurnsNotRotated, uint64_t(1));
      return;
    }
    // Redialled after the offline time: out of the subnet now.
    QVERIFY(WaitRows(3, 10000));
    const TDialRecord& Third = FRows[2].Record;
    QCOMPARE(Third.Outcome, std::string("connected"));
    QVERIFY(Third.Prefix6 != First.Prefix6);
    QVERIFY(FRows[2].At - FRows[1].At <= 5200);
    QCOMPARE(FRotation->Metrics().Redials.at(Reason.toStdString()), uint64_t(1));
    QVERIFY2(
        !FLogLines.filter(QString::fromStdString(", seen recently; redialling (1 of 2)")).isEmpty(),
        qPrintable(FLogLines.join('\n')));
  }

  // The simulated line's IPv6 facts go into each row and the status.
  void Ipv6Recorded() {
    StartRotation({});
    QVERIFY(WaitRows(2, 70000));
    for (const TRow& Row : FRows) {
      QVERIFY2(IsGlobalIpv6(Row.Record.Address6), Row.Record.Address6.c_str());
      QCOMPARE(Ipv6Network(Row.Record.Address6, 56), Row.Record.Prefix6);
    }
    QVERIFY(FRows[0].Record.Prefix6 != FRows[1].Record.Prefix6);
    const auto Kept = FHistory->Since(0, 10);
    QCOMPARE(Kept.back().Address6, FRows[1].Record.Address6);
    QCOMPARE(Kept.back().Prefix6, FRows[1].Record.Prefix6);
    const TRotation::TStatus Status = FRotation->Status();
    QCOMPARE(Status.Address6, FRows[1].Record.Address6);
    QCOMPARE(Status.Prefix6, FRows[1].Record.Prefix6);
  }

  // Online times drawn from 60 s +- 20 s with the seed the log states: the
  // turns follow the seed's draws, and the status shows the drawn time.
  void JitteredOnlineTimes() {
    StartRotation([](TServiceConfig& AConfig) {
      AConfig.OnlineJitterSeconds = 20;
      AConfig.JitterSeedGiven = true;
      AConfig.JitterSeed = 4711;
    });
    QVERIFY2(!FLogLines.filter("online times drawn from 60 s +- 20 s, seed 4711").isEmpty(),
             qPrintable(FLogLines.join('\n')));
    QVERIFY(WaitRows(6, 600000));
    TJitter Same(4711);
    QSet<uint64_t> Gaps;
    for (size_t I = 1; I < FRows.size(); ++I) {
      const int64_t Drawn = Same.Draw(60000, 20000);
      QVERIFY(Drawn >= 40000 && Drawn <= 80000);
      const int64_t Gap = static_cast<int64_t>(FRows[I].At - FRows[I - 1].At);
      // The drawn online time, the 5 s offline, and the clock's 100 ms steps.
      QVERIFY2(Gap >= Drawn + 5000 && Gap <= Drawn + 5200,
               qPrintable(QString("%1 ms after drawing %2 ms").arg(Gap).arg(Drawn)));
      Gaps.insert(static_cast<uint64_t>(Gap) / 1000);
    }
    QVERIFY(Gaps.size() > 1);
    const TRotation::TStatus Status = FRotation->Status();
    QCOMPARE(Status.Phase, TRotation::TPhase::Online);
    QCOMPARE(Status.OnlineMs, Same.Draw(60000, 20000));
  }

  // Windows on weekdays by day and Saturday night, the line kept up between
  // them: it is not rotated after Friday's window ends, rotated when
  // Saturday's begins, and that window, over the night the clocks go
  // forward, is an hour shorter than its clock times say; Monday's begins on
  // time.
  void WindowsOverTheWeekend() {
    StartRotation(
        [](TServiceConfig& AConfig) {
          AConfig.OnlineSeconds = 600;
          ParseScheduleWindows("Mon-Fri 08:00-20:00, Sat 23:00-03:30", AConfig.Schedule);
        },
        Local("2026-03-27T19:55:00"));
    QVERIFY(WaitRows(1));
    QVERIFY(WaitUntilWall(Local("2026-03-27T20:00:30")));
    QCOMPARE(FRotation->Phase(), TRotation::TPhase::OutsideSchedule);
    QVERIFY(IsEntryConnected("Line"));
    QCOMPARE(FRotation->Status().NextStepMs, Local("2026-03-28T23:00:00") - Wall());
    QCOMPARE(FRows.size(), size_t(1));
    QVERIFY(WaitUntilWall(Local("2026-03-28T22:59:00"), 10000));
    QCOMPARE(FRows.size(), size_t(1));
    QVERIFY(WaitRows(2, 120000));
    QVERIFY2(std::llabs(FRows[1].Record.TimeMs - (Local("2026-03-28T23:00:05"))) <= 1000,
             qPrintable(Shown(FRows[1].Record.TimeMs)));
    // 03:30 on Sunday is 01:30 UTC: 3 h 30 min after the window began, not
    // the 4 h 30 min the clock shows.
    QVERIFY(AdvanceUntil([&] { return FRotation->Phase() == TRotation::TPhase::OutsideSchedule; },
                         4 * 3600000, 1000, [&] { return DialOnItsWay(FRotation.get()); }));
    QVERIFY2(std::llabs(Wall() - Utc("2026-03-29T01:30:00")) <= 1000, qPrintable(Shown(Wall())));
    const size_t Night = FRows.size();
    // Friday's, and a turn every 605 s from 22:00:05 UTC to 01:30 UTC.
    QCOMPARE(Night, size_t(22));
    QVERIFY(WaitRows(Night + 1, 3 * 86400000ull, 10000));
    QVERIFY2(std::llabs(FRows[Night].Record.TimeMs - Local("2026-03-30T08:00:05")) <= 10000,
             qPrintable(Shown(FRows[Night].Record.TimeMs)));
  }

  // A window every night over midnight, the line down outside it: not
  // dialled before the window, hung up when it ends; a rotation asked for
  // outside is refused.
  void WindowOverMidnightLineDown() {
    StartRotation(
        [](TServiceConfig& AConfig) {
          AConfig.OnlineSeconds = 3600;
          ParseScheduleWindows("22:00-06:00", AConfig.Schedule);
          AConfig.DownOutsideSchedule = true;
        },
        Local("2026-03-26T21:00:00"));
    QCOMPARE(FRotation->Phase(), TRotation::TPhase::OutsideSchedule);
    QVERIFY(!IsEntryConnected("Line"));
    QCOMPARE(FRotation->RotateNow(), TRotation::TRequest::OutsideSchedule);
    QVERIFY(WaitRows(1, 2 * 3600000, 1000));
    QVERIFY2(std::llabs(FRows[0].Record.TimeMs - Local("2026-03-26T22:00:00")) <= 1000,
             qPrintable(Shown(FRows[0].Record.TimeMs)));
    QVERIFY(AdvanceUntil([&] { return FRotation->Phase() == TRotation::TPhase::OutsideSchedule; },
                         9 * 3600000, 1000, [&] { return DialOnItsWay(FRotation.get()); }));
    QVERIFY2(std::llabs(Wall() - Local("2026-03-27T06:00:00")) <= 1000, qPrintable(Shown(Wall())));
    QVERIFY(!IsEntryConnected("Line"));
    // Hourly turns from 22:00 to 06:00, each a new address.
    QCOMPARE(FRows.size(), size_t(8));
    for (const TRow& Row : FRows) QCOMPARE(Row.Record.Outcome, std::string("connected"));
    QCOMPARE(QString(TRotation::PhaseName(FRotation->Status().Phase)), QString("outside-schedule"));
    QCOMPARE(FRotation->Status().WaitingFor, std::string("schedule's next window"));
  }

  // A fixed time: rotated at it; the clock set back over it brings no
  // second rotation; on the night the clocks skip it, rotated when they
  // jump.
  void FixedTimeAndTheClock() {
    StartRotation([](TServiceConfig& AConfig) { ParseScheduleTimes("02:30", AConfig.RotateAt); },
                  Local("2026-03-28T02:00:00"));
    QVERIFY(WaitRows(1));
    QVERIFY(WaitRows(2, 3600000, 1000));
    QVERIFY2(std::llabs(FRows[1].Record.TimeMs - Local("2026-03-28T02:30:05")) <= 1000,
             qPrintable(Shown(FRows[1].Record.TimeMs)));
    QVERIFY(WaitUntilWall(Local("2026-03-28T02:40:00")));
    FJump -= 3600000;
    QVERIFY(WaitUntilWall(Local("2026-03-28T02:45:00"), 10000));
    QCOMPARE(FRows.size(), size_t(2));
    QVERIFY(WaitRows(3, 86400000, 10000));
    QVERIFY2(std::llabs(FRows[2].Record.TimeMs - Utc("2026-03-29T01:00:05")) <= 10000,
             qPrintable(Shown(FRows[2].Record.TimeMs)));
  }
};

int main(int argc, char** argv) {
  // The schedule's local time: a zone with daylight saving, whatever the
  // machine's.
  qputenv("TZ", "Europe/Berlin");
  tzset();
  QCoreApplication App(argc, argv);
  TManualClock::Use();
  TestRotationRules Test;
  return QTest::qExec(&Test, argc, argv);
}
#include "TestRotationRules.moc"
