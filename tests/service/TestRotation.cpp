// The rotation on the test clock against the simulated dial-up service:
// turns, repeated addresses, failed dials, drops, pause, resume, rotate now,
// stopping, and a long run.

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <memory>

#include "CPRasMonitor.h"
#include "RASManager.h"
#include "RasControl.h"
#include "ServiceTestSupport.h"
#include "THistory.h"
#include "TRotation.h"
#include "TServiceLog.h"
#include "TSimServiceDir.h"

namespace {

const QRegularExpression SharedAddress("^100\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}$");

struct TRow {
  uint64_t At;  // on the test clock
  TDialRecord Record;
};

long RssKb() {
  std::ifstream Status("/proc/self/status");
  std::string Word;
  while (Status >> Word) {
    if (Word == "VmRSS:") {
      long Kb = 0;
      Status >> Kb;
      return Kb;
    }
  }
  return -1;
}

}  // namespace

class TestRotation : public QObject {
  Q_OBJECT

 private:
  TSimServiceDir FDir;
  QTemporaryDir FWork;
  TServiceLog FLog{false};
  std::unique_ptr<THistory> FHistory;
  std::unique_ptr<TRotation> FRotation;
  std::vector<TRow> FRows;
  QStringList FLogLines;

  void WritePhonebook(const QByteArray& ALine) {
    FDir.WritePhonebook("[Line]\nUserName=u\nPassword=p\nDialSeconds=0\n" + ALine + "\n");
  }

  // A rotation of "Line" at 60 s online and 5 s offline unless AChange says
  // otherwise, started.
  void StartRotation(const std::function<void(TServiceConfig&)>& AChange = {}) {
    TServiceConfig Config;
    Config.Entry = "Line";
    Config.RetryFirstSeconds = 5;
    Config.RetryLongestSeconds = 30;
    if (AChange) AChange(Config);
    FRotation =
        std::make_unique<TRotation>(nullptr, Config, FLog, FHistory.get(), nullptr, nullptr);
    FRotation->OnRecorded = [this](const TDialRecord& ARow) {
      FRows.push_back({TClock::Instance().Now(), ARow});
    };
    std::string Problem;
    QVERIFY2(FRotation->Start(Problem), Problem.c_str());
  }

  bool DialFailing() const { return ::DialFailing(FRotation.get(), "Line"); }

  bool WaitRows(size_t ACount, uint64_t AMaxMs = 600000) {
    return AdvanceUntil([&] { return FRows.size() >= ACount; }, AMaxMs, 100,
                        [&] { return DialFailing(); });
  }

  static bool LineConnected() { return IsEntryConnected("Line"); }

 private slots:
  void init() {
    QVERIFY(FDir.IsValid());
    WritePhonebook({});
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
    // Notifications of this test's dials still on their way from the
    // service's threads find no dialler and are dropped, not taken by the
    // next test's dialler.
    QTest::qWait(500);
    HangUpEntry("Line");
    QCOMPARE(IsEntryConnected("Line"), false);
  }

  // Three turns: each a new address, at 60 s online and 5 s offline, each a
  // row in the history.
  void ThreeTurns() {
    StartRotation();
    QVERIFY(WaitRows(3));
    QStringList Addresses;
    for (const TRow& Row : FRows) {
      QCOMPARE(Row.Record.Outcome, std::string("connected"));
      QCOMPARE(Row.Record.Entry, std::string("Line"));
      QVERIFY2(SharedAddress.match(QString::fromStdString(Row.Record.LineAddress)).hasMatch(),
               Row.Record.LineAddress.c_str());
      QCOMPARE(Row.Record.PeerAddress, std::string("100.64.0.1"));
      Addresses << QString::fromStdString(Row.Record.LineAddress);
    }
    QVERIFY(Addresses[0] != Addresses[1] && Addresses[1] != Addresses[2]);
    // The next dial comes 60 s online plus 5 s offline after a connect; the
    // monitor sees the new line within a poll.
    for (size_t I = 1; I < FRows.size(); ++I) {
      const uint64_t Gap = FRows[I].At - FRows[I - 1].At;
      QVERIFY2(Gap >= 65000 && Gap <= 66000, qPrintable(QString::number(Gap)));
    }
    const auto Stored = FHistory->Since(0, 100);
    QCOMPARE(Stored.size(), size_t(3));
    for (size_t I = 0; I < Stored.size(); ++I)
      QCOMPARE(Stored[I].LineAddress, FRows[I].Record.LineAddress);
    const auto Status = FRotation->Status();
    QCOMPARE(Status.Phase, TRotation::TPhase::Online);
    QCOMPARE(Status.Address, FRows.back().Record.LineAddress);
    QVERIFY(Status.NextStepMs > 58000 && Status.NextStepMs <= 60000);
  }

  // An address seen again is hung up and redialled after the offline time;
  // with no redials allowed the turn is not rotated and the line kept.
  void RepeatedAddress_data() {
    QTest::addColumn<int>("RedialLimit");
    QTest::newRow("redialled") << 3;
    QTest::newRow("limit reached") << 0;
  }
  void RepeatedAddress() {
    QFETCH(int, RedialLimit);
    StartRotation([&](TServiceConfig& AConfig) { AConfig.RedialLimit = RedialLimit; });
    QVERIFY(WaitRows(1));
    QCOMPARE(DravikRasRepeatNextAddress("Line"), DWORD(0));
    QVERIFY(WaitRows(2));
    QCOMPARE(FRows[1].Record.Outcome, std::string("repeated"));
    QCOMPARE(FRows[1].Record.LineAddress, FRows[0].Record.LineAddress);
    if (RedialLimit > 0) {
      QVERIFY(WaitRows(3));
      QCOMPARE(FRows[2].Record.Outcome, std::string("connected"));
      QVERIFY(FRows[2].Record.LineAddress != FRows[0].Record.LineAddress);
      // Redialled after the offline time, not after another online time.
      const uint64_t Gap = FRows[2].At - FRows[1].At;
      QVERIFY2(Gap >= 5000 && Gap <= 6000, qPrintable(QString::number(Gap)));
    } else {
      QVERIFY(FLogLines.filter("turn not rotated").size() == 1);
      QCOMPARE(FRotation->Phase(), TRotation::TPhase::Online);
      QVERIFY(LineConnected());
      // The next turn goes on after the online time.
      QVERIFY(WaitRows(3));
      QCOMPARE(FRows[2].Record.Outcome, std::string("connected"));
      const uint64_t Gap = FRows[2].At - FRows[1].At;
      QVERIFY2(Gap >= 65000 && Gap <= 66000, qPrintable(QString::number(Gap)));
    }
  }

  // Every dial fails: retried after 5, 10, 20, 30, 30 s, never giving up;
  // once the line works again the next dial connects and the wait resets.
  void FailedDialsRetried() {
    WritePhonebook("ErrorCode=678");
    StartRotation();
    QVERIFY(WaitRows(6));
    for (const TRow& Row : FRows) {
      QCOMPARE(Row.Record.Outcome, std::string("failed"));
      QCOMPARE(Row.Record.ErrorCode, 678);
    }
    const uint64_t Expected[] = {5000, 10000, 20000, 30000, 30000};
    for (size_t I = 1; I < FRows.size(); ++I) {
      const uint64_t Gap = FRows[I].At - FRows[I - 1].At;
      QVERIFY2(Gap >= Expected[I - 1] && Gap <= Expected[I - 1] + 200,
               qPrintable(QString("wait %1: %2 ms").arg(I).arg(Gap)));
    }
    QCOMPARE(FRotation->Status().LastError, std::string("dial failed with error 678"));
    WritePhonebook({});
    QVERIFY(WaitRows(7));
    QCOMPARE(FRows.back().Record.Outcome, std::string("connected"));
    QVERIFY(FRotation->Status().LastError.empty());
    // A one-off failure later waits the first retry time again.
    QCOMPARE(DravikRasFailNextDial("Line", 629), DWORD(0));
    QVERIFY(WaitRows(9));
    QCOMPARE(FRows[7].Record.ErrorCode, 629);
    const uint64_t Gap = FRows[8].At - FRows[7].At;
    QVERIFY2(Gap >= 5000 && Gap <= 5200, qPrintable(QString::number(Gap)));
  }

  // A line that drops while online is redialled after the offline time, not
  // after the rest of the online time.
  void DropWhileOnline() {
    StartRotation();
    QVERIFY(WaitRows(1));
    QVERIFY(AdvanceUntil([] { return false; }, 10000) == false);
    const uint64_t DroppedAt = TClock::Instance().Now();
    QCOMPARE(DravikRasDropEntry("Line"), DWORD(0));
    QVERIFY(WaitRows(2));
    const uint64_t After = FRows[1].At - DroppedAt;
    QVERIFY2(After >= 5000 && After <= 6000, qPrintable(QString::number(After)));
    QCOMPARE(FRows[1].Record.Outcome, std::string("connected"));
    QVERIFY(FLogLines.filter("dropped while online").size() == 1);
  }

  // Pause keeps the line as it is and stops the turns; resume gives a fresh
  // online time; rotate now hangs up at once; requests that cannot be done
  // say so.
  void PauseResumeRotate() {
    StartRotation();
    // The first dial is on its way until the monitor sees the line up.
    QCOMPARE(FRotation->Phase(), TRotation::TPhase::Dialling);
    QCOMPARE(FRotation->RotateNow(), TRotation::TRequest::Busy);
    QVERIFY(WaitRows(1));
    QCOMPARE(FRotation->Pause(), TRotation::TRequest::Done);
    QCOMPARE(FRotation->Phase(), TRotation::TPhase::Paused);
    QCOMPARE(FRotation->RotateNow(), TRotation::TRequest::Paused);
    QVERIFY(!AdvanceUntil([&] { return FRows.size() > 1; }, 300000, 1000));
    QVERIFY(LineConnected());
    QCOMPARE(FRotation->Status().NextStepMs, int64_t(-1));
    QCOMPARE(FRotation->Resume(), TRotation::TRequest::Done);
    QCOMPARE(FRotation->Phase(), TRotation::TPhase::Online);
    QCOMPARE(FRotation->Status().NextStepMs, int64_t(60000));
    QCOMPARE(FRotation->RotateNow(), TRotation::TRequest::Done);
    QCOMPARE(FRotation->Phase(), TRotation::TPhase::Offline);
    QVERIFY(!LineConnected());
    const uint64_t RotatedAt = TClock::Instance().Now();
    QVERIFY(WaitRows(2));
    QVERIFY(FRows[1].At - RotatedAt <= 6000);
    QVERIFY(FRows[1].Record.LineAddress != FRows[0].Record.LineAddress);
    // Paused while offline, resumed: dials at once.
    QVERIFY(AdvanceUntil([&] { return FRotation->Phase() == TRotation::TPhase::Offline; }, 70000));
    QCOMPARE(FRotation->Pause(), TRotation::TRequest::Done);
    QVERIFY(!AdvanceUntil([&] { return FRows.size() > 2; }, 60000, 1000));
    QCOMPARE(FRotation->Resume(), TRotation::TRequest::Done);
    QCOMPARE(FRotation->Phase(), TRotation::TPhase::Dialling);
    QVERIFY(WaitRows(3, 1000));
  }

  // Stopping finishes a dial on its way and records it; the line stays up
  // unless the configuration asks for a hang-up.
  void StopFinishesStep_data() {
    QTest::addColumn<bool>("HangupOnExit");
    QTest::newRow("line kept") << false;
    QTest::newRow("hung up") << true;
  }
  void StopFinishesStep() {
    QFETCH(bool, HangupOnExit);
    StartRotation([&](TServiceConfig& AConfig) { AConfig.HangupOnExit = HangupOnExit; });
    QCOMPARE(FRotation->Phase(), TRotation::TPhase::Dialling);
    bool Stopped = false;
    FRotation->Stop([&] { Stopped = true; });
    QVERIFY(!Stopped);
    QCOMPARE(FRotation->Pause(), TRotation::TRequest::Stopped);
    QVERIFY(AdvanceUntil([&] { return Stopped; }, 5000));
    QCOMPARE(FRows.size(), size_t(1));
    QCOMPARE(FHistory->Since(0, 10).size(), size_t(1));
    QCOMPARE(FRotation->Phase(), TRotation::TPhase::Stopped);
    QCOMPARE(LineConnected(), !HangupOnExit);
    // Nothing more happens.
    QVERIFY(!AdvanceUntil([&] { return FRows.size() > 1; }, 200000, 1000));
  }

  // The addresses recorded before a restart count as recent ones.
  void RecentAddressesSurviveRestart() {
    StartRotation();
    QVERIFY(WaitRows(1));
    FRotation.reset();
    QCOMPARE(DravikRasRepeatNextAddress("Line"), DWORD(0));
    HangUpEntry("Line");
    StartRotation();
    QVERIFY(WaitRows(3));
    QCOMPARE(FRows[1].Record.Outcome, std::string("repeated"));
    QCOMPARE(FRows[1].Record.LineAddress, FRows[0].Record.LineAddress);
    QCOMPARE(FRows[2].Record.Outcome, std::string("connected"));
  }

  // Rows older than the retention go as new ones come.
  void OldRowsGo() {
    const int64_t Now = QDateTime::currentMSecsSinceEpoch();
    TDialRecord Old;
    Old.Entry = "Line";
    Old.Outcome = "failed";
    Old.TimeMs = Now - 3 * 86400000LL;
    QCOMPARE(FHistory->Add(Old), std::string());
    Old.TimeMs = Now - 86400000LL;
    QCOMPARE(FHistory->Add(Old), std::string());
    StartRotation([](TServiceConfig& AConfig) { AConfig.HistoryDays = 2; });
    QVERIFY(WaitRows(1));
    const auto Kept = FHistory->Since(0, 10);
    QCOMPARE(Kept.size(), size_t(2));
    QCOMPARE(Kept[0].TimeMs, Now - 86400000LL);
    QCOMPARE(Kept[1].Outcome, std::string("connected"));
  }

  // 10 000 turns on the test clock: every one recorded, memory flat.
  void TenThousandTurns() {
    StartRotation([](TServiceConfig& AConfig) {
      AConfig.OnlineSeconds = 1;
      AConfig.OfflineSeconds = 1;
    });
    FLog.Tap = nullptr;
    // Counted, not kept: the test's own memory must stay flat too.
    size_t Turns = 0;
    size_t Connected = 0;
    FRotation->OnRecorded = [&](const TDialRecord& ARow) {
      ++Turns;
      Connected += ARow.Outcome == "connected";
    };
    auto WaitTurns = [&](size_t ACount) {
      return AdvanceUntil([&] { return Turns >= ACount; }, 100000000, 100,
                          [&] { return DialFailing(); });
    };
    // By 2000 turns the database's page cache has grown to its size.
    QVERIFY(WaitTurns(2000));
    const long RssAt2000 = RssKb();
    QVERIFY(WaitTurns(10000));
    const long RssAt10000 = RssKb();
    qInfo("VmRSS after 2000 turns %ld kB, after 10000 turns %ld kB", RssAt2000, RssAt10000);
    QCOMPARE(Connected, Turns);
    QCOMPARE(FHistory->Since(0, 20000).size(), Turns);
    // The rows go to disk, not into memory: 8000 more turns may not cost
    // more than about a hundred bytes each (a row kept would cost more).
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    QVERIFY2(RssAt10000 - RssAt2000 < 800, qPrintable(QString::number(RssAt10000 - RssAt2000)));
#endif
  }
};

DRAVIK_SERVICE_TEST_MAIN(TestRotation)
#include "TestRotation.moc"
