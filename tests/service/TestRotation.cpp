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

  bool DialWaited() const { return DialOnItsWay(FRotation.get()); }

  bool WaitRows(size_t ACount, uint64_t AMaxMs = 600000) {
    return AdvanceUntil([&] { return FRows.size() >= ACount; }, AMaxMs, 100,
                        [&] { return DialWaited(); });
  }

  static bool LineConnected() { return IsEntryConnected("Line"); }

  // A started rotation in APhase: dialling (its first dial just started),
  // online, offline (hung up after the online time), retry-wait (its first
  // dial failed) or paused (while online).
  void DriveTo(TRotation::TPhase APhase, const std::function<void(TServiceConfig&)>& AChange = {}) {
    using P = TRotation::TPhase;
    if (APhase == P::RetryWait) QCOMPARE(DravikRasFailNextDial("Line", 678), DWORD(0));
    StartRotation(AChange);
    if (APhase == P::Dialling) {
      QCOMPARE(FRotation->Phase(), P::Dialling);
      return;
    }
    const P Reached = APhase == P::Paused ? P::Online : APhase;
    QVERIFY(AdvanceUntil([&] { return FRotation->Phase() == Reached; }, 70000, 100,
                         [&] { return DialWaited(); }));
    if (APhase == P::Paused) QCOMPARE(FRotation->Pause(), TRotation::TRequest::Done);
    QCOMPARE(FRotation->Phase(), APhase);
  }

  // Ends this rotation and its line, for another within one test.
  void Restart() {
    FRotation.reset();
    QTest::qWait(100);
    HangUpEntry("Line");
    FRows.clear();
    FLogLines.clear();
  }

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
    QCOMPARE(FRotation->Status().LastError,
             std::string("dial failed: error 678: the remote end did not answer"));
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
    // The library tells of the drop in real time, from its own thread.
    QTRY_VERIFY_WITH_TIMEOUT(FRotation->Phase() == TRotation::TPhase::Offline, 5000);
    // The drop is a row of its own, with the address that went.
    QVERIFY(WaitRows(3));
    QCOMPARE(FRows[1].Record.Outcome, std::string("dropped"));
    QCOMPARE(FRows[1].Record.LineAddress, FRows[0].Record.LineAddress);
    QCOMPARE(FRows[1].Record.DialMs, int64_t(0));
    QVERIFY(FRows[1].At - DroppedAt < 1000);
    const uint64_t After = FRows[2].At - DroppedAt;
    QVERIFY2(After >= 5000 && After <= 6000, qPrintable(QString::number(After)));
    QCOMPARE(FRows[2].Record.Outcome, std::string("connected"));
    QVERIFY(FLogLines.filter("dropped while online").size() == 1);
    QCOMPARE(FRotation->Metrics().Drops, uint64_t(1));
  }

  // Pause keeps the line as it is and stops the turns; resume gives a fresh
  // online time; rotate now hangs up at once; requests that cannot be done
  // say so.
  void PauseResumeRotate() {
    StartRotation();
    // The first dial is on its way until the monitor sees the line up.
    QCOMPARE(FRotation->Phase(), TRotation::TPhase::Dialling);
    QCOMPARE(FRotation->RotateNow(), TRotation::TRequest::Already);
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
    // A second request during the offline wait is the same rotation: the
    // wait is not cut short.
    QCOMPARE(FRotation->RotateNow(), TRotation::TRequest::Already);
    QCOMPARE(FRotation->Phase(), TRotation::TPhase::Offline);
    const uint64_t RotatedAt = TClock::Instance().Now();
    QVERIFY(WaitRows(2));
    QVERIFY(FRows[1].At - RotatedAt >= 5000 && FRows[1].At - RotatedAt <= 6000);
    QVERIFY(FRows[1].Record.LineAddress != FRows[0].Record.LineAddress);
    // Paused while offline, resumed: dials at once.
    QVERIFY(AdvanceUntil([&] { return FRotation->Phase() == TRotation::TPhase::Offline; }, 70000));
    QCOMPARE(FRotation->Pause(), TRotation::TRequest::Done);
    QVERIFY(!AdvanceUntil([&] { return FRows.size() > 2; }, 60000, 1000));
    QCOMPARE(FRotation->Resume(), TRotation::TRequest::Done);
    QCOMPARE(FRotation->Phase(), TRotation::TPhase::Dialling);
    QVERIFY(WaitRows(3, 1000));
  }

  // The status in each phase: the address only while the line is up, the
  // last one beside it, what the wait is for, and a next step only where a
  // step is timed (a dial's own time limit is none).
  void StatusInEachPhase_data() {
    QTest::addColumn<int>("Phase");
    QTest::addColumn<bool>("Up");
    QTest::addColumn<QString>("WaitingFor");
    QTest::addColumn<bool>("Timed");
    using P = TRotation::TPhase;
    QTest::newRow("dialling") << int(P::Dialling) << false << "dial" << false;
    QTest::newRow("online") << int(P::Online) << true << "online time" << true;
    QTest::newRow("offline") << int(P::Offline) << false << "offline time" << true;
    QTest::newRow("retry wait") << int(P::RetryWait) << false << "retry after a failure" << true;
    QTest::newRow("paused") << int(P::Paused) << true << "resume" << false;
  }
  void StatusInEachPhase() {
    QFETCH(int, Phase);
    QFETCH(bool, Up);
    QFETCH(QString, WaitingFor);
    QFETCH(bool, Timed);
    DriveTo(static_cast<TRotation::TPhase>(Phase));
    const TRotation::TStatus Status = FRotation->Status();
    QCOMPARE(QString::fromStdString(Status.WaitingFor), WaitingFor);
    QCOMPARE(Status.NextStepMs >= 0, Timed);
    QCOMPARE(Status.UpSinceMs >= 0, Up);
    // A dial on its way may have its line listed before the rotation sees it.
    if (Phase != int(TRotation::TPhase::Dialling)) QCOMPARE(LineConnected(), Up);
    const std::string Last = FRows.empty() ? std::string() : FRows.back().Record.LineAddress;
    if (Up) {
      QCOMPARE(Status.Address, Last);
      QVERIFY(!Status.Address.empty());
      QCOMPARE(Status.PreviousAddress, std::string());
    } else {
      QCOMPARE(Status.Address, std::string());
      QCOMPARE(Status.PreviousAddress, Last);
    }
    const bool Failed = Phase == int(TRotation::TPhase::RetryWait);
    QCOMPARE(Status.LastErrorCode, Failed ? 678 : 0);
    QCOMPARE(Status.Failures, uint64_t(Failed ? 1 : 0));
    QCOMPARE(Status.LastError.empty(), !Failed);
    QCOMPARE(Status.Dials, uint64_t(1));
  }

  // Stopping ends at once in every phase: a dial on its way is abandoned
  // and recorded so; the line stays as it is unless the configuration asks
  // for a hang-up.
  void StopEndsAtOnce_data() {
    QTest::addColumn<int>("Phase");
    QTest::addColumn<bool>("HangupOnExit");
    QTest::addColumn<QString>("LastOutcome");
    QTest::addColumn<bool>("LineKept");
    using P = TRotation::TPhase;
    QTest::newRow("dialling, line kept") << int(P::Dialling) << false << "abandoned" << true;
    QTest::newRow("dialling, hung up") << int(P::Dialling) << true << "abandoned" << false;
    QTest::newRow("online, line kept") << int(P::Online) << false << "connected" << true;
    QTest::newRow("online, hung up") << int(P::Online) << true << "connected" << false;
    QTest::newRow("offline") << int(P::Offline) << false << "connected" << false;
    QTest::newRow("retry wait") << int(P::RetryWait) << false << "failed" << false;
    QTest::newRow("paused") << int(P::Paused) << false << "connected" << true;
  }
  void StopEndsAtOnce() {
    QFETCH(int, Phase);
    QFETCH(bool, HangupOnExit);
    QFETCH(QString, LastOutcome);
    QFETCH(bool, LineKept);
    DriveTo(static_cast<TRotation::TPhase>(Phase),
            [&](TServiceConfig& AConfig) { AConfig.HangupOnExit = HangupOnExit; });
    const size_t Before = FRows.size();
    bool Stopped = false;
    FRotation->Stop([&] { Stopped = true; });
    QVERIFY(Stopped);
    QCOMPARE(FRotation->Phase(), TRotation::TPhase::Stopped);
    QCOMPARE(FRotation->Pause(), TRotation::TRequest::Stopped);
    QVERIFY(!FRows.empty());
    QCOMPARE(QString::fromStdString(FRows.back().Record.Outcome), LastOutcome);
    QCOMPARE(FHistory->Since(0, 10).size(), FRows.size());
    // The dial-up service finishes or ends the abandoned dial in real time.
    QTRY_COMPARE_WITH_TIMEOUT(LineConnected(), LineKept, 5000);
    // Nothing more happens.
    QVERIFY(
        !AdvanceUntil([&] { return FRows.size() > std::max<size_t>(Before, 1); }, 200000, 1000));
  }

  // Any two control requests in a row, in any phase, leave the rotation in
  // a phase that matches the line: once resumed, the next turn brings a new
  // address that the status shows, and no dial waits out its time limit on
  // a line that is up.
  void ControlSequences_data() {
    QTest::addColumn<int>("Phase");
    using P = TRotation::TPhase;
    QTest::newRow("dialling") << int(P::Dialling);
    QTest::newRow("online") << int(P::Online);
    QTest::newRow("offline") << int(P::Offline);
    QTest::newRow("retry wait") << int(P::RetryWait);
    QTest::newRow("paused") << int(P::Paused);
  }
  void ControlSequences() {
    QFETCH(int, Phase);
    const char* const Names[] = {"rotate", "pause", "resume"};
    auto Request = [this](int AWhich) {
      switch (AWhich) {
        case 0:
          return FRotation->RotateNow();
        case 1:
          return FRotation->Pause();
        default:
          return FRotation->Resume();
      }
    };
    for (int First = 0; First < 3; ++First) {
      for (int Second = 0; Second < 3; ++Second) {
        const QString Case = QString("%1, %2").arg(Names[First], Names[Second]);
        DriveTo(static_cast<TRotation::TPhase>(Phase));
        const size_t Before = FRows.size();
        Request(First);
        Request(Second);
        // A pause asked for during a dial takes effect when the dial is over.
        QVERIFY2(AdvanceUntil([&] { return FRotation->Phase() != TRotation::TPhase::Dialling; },
                              200000, 100, [&] { return DialWaited(); }),
                 qPrintable(Case));
        if (FRotation->Phase() == TRotation::TPhase::Paused) {
          // Paused: the line stays as it was; nothing is dialled.
          QVERIFY2(!AdvanceUntil([&] { return FRows.size() > Before + 1; }, 100000, 1000),
                   qPrintable(Case));
          FRotation->Resume();
        }
        const bool Turned = AdvanceUntil(
            [&] {
              return FRotation->Phase() == TRotation::TPhase::Online && FRows.size() > Before &&
                     FRows.back().Record.Outcome == "connected";
            },
            200000, 100, [&] { return DialWaited(); });
        QVERIFY2(Turned, qPrintable(Case + ": " + TRotation::PhaseName(FRotation->Phase())));
        QVERIFY2(LineConnected(), qPrintable(Case));
        QCOMPARE(FRotation->Status().Address, FRows.back().Record.LineAddress);
        for (const TRow& Row : FRows)
          QVERIFY2(Row.Record.Detail.find("no connection within") == std::string::npos,
                   qPrintable(Case));
        Restart();
      }
    }
  }

  // A hang-up the dial-up service refuses is logged and recorded with its
  // code and text, and the turn waits the growing retry time; the line,
  // still up, is never dialled over. Once hang-ups work again the rotation
  // goes on.
  void HangUpRefused() {
    StartRotation();
    QVERIFY(WaitRows(1));
    WritePhonebook("HangUpErrorCode=5");
    QVERIFY(WaitRows(3));
    for (size_t I = 1; I < 3; ++I) {
      QCOMPARE(FRows[I].Record.Outcome, std::string("hangup-failed"));
      QCOMPARE(FRows[I].Record.ErrorCode, 5);
      QCOMPARE(FRows[I].Record.Detail, std::string("error 5: permission denied"));
    }
    // Online time, then the first retry wait.
    QVERIFY2(FRows[1].At - FRows[0].At <= 60100, qPrintable(QString::number(FRows[1].At)));
    const uint64_t Gap = FRows[2].At - FRows[1].At;
    QVERIFY2(Gap >= 5000 && Gap <= 5200, qPrintable(QString::number(Gap)));
    QVERIFY(LineConnected());
    QCOMPARE(FRotation->Phase(), TRotation::TPhase::RetryWait);
    QCOMPARE(FRotation->Status().LastError,
             std::string("hang-up failed: error 5: permission denied"));
    QVERIFY(FLogLines.filter("hang-up failed: error 5: permission denied").size() >= 2);
    QCOMPARE(FLogLines.filter("dialling").size(), 1);
    WritePhonebook({});
    QVERIFY(WaitRows(4));
    QCOMPARE(FRows[3].Record.Outcome, std::string("connected"));
    QVERIFY(FRows[3].Record.LineAddress != FRows[0].Record.LineAddress);
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
                          [&] { return DialWaited(); });
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
