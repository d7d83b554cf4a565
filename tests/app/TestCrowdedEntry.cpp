// One entry worked by many processes at once: several dravik-ras processes,
// each started again as soon as it ends, dial and hang up the entry while
// the window's reconnect cycle runs on it (on the test clock) and this
// process watches the listing. No process crashes or hangs, each ends with a
// failure the situation explains, and the listing and the status calls
// agree throughout, as the dial-up contract has them:
// - an entry has at most one listed connection (a second dial joins it);
// - a listed handle's status is found, or the call says the handle is no
//   longer valid (it ended after the listing);
// - a connection's state only moves forward, through the dial's states;
// - the own address is there once the state is Connected;
// - a handle that has left the listing, or whose status was refused, never
//   shows up again.
// Afterwards the window's cycle still dials the entry up.

#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <array>
#include <memory>

#include "Ras.h"
#include "TSimService.h"
#include "TSimServiceDir.h"
#include "TestSupport.h"
#include "Unit1.h"

namespace {

const QString Entry = QStringLiteral("Line");

// The states a dial of the simulated service walks through, in order.
const QList<RASCONNSTATE> DialStates = {RASCS_OpenPort,
                                        RASCS_PortOpened,
                                        RASCS_ConnectDevice,
                                        RASCS_DeviceConnected,
                                        RASCS_AllDevicesConnected,
                                        RASCS_Authenticate,
                                        RASCS_Authenticated,
                                        RASCS_Connected};

struct TCommand {
  QStringList Args;
  // The error codes with which the command may fail while others work the
  // same entry.
  QSet<int> Failures;
};

// A dial fails when another process hangs the connection up before it is
// up, or, once up, before its address could be read; a hang-up when
// another process was first.
const std::array<TCommand, 3> Commands = {{
    {{"dial", Entry}, {ERROR_USER_DISCONNECTION, ERROR_INVALID_HANDLE}},
    {{"dial", Entry, "--async"}, {ERROR_USER_DISCONNECTION}},
    {{"hangup", Entry}, {ERROR_NO_CONNECTION}},
}};

constexpr int Slots = 7;
constexpr int Runs = 100;

std::vector<RASCONNA> Listing(DWORD& AResult) {
  std::vector<RASCONNA> Connections(64);
  Connections[0].dwSize = sizeof(RASCONNA);
  DWORD Size = static_cast<DWORD>(Connections.size() * sizeof(RASCONNA)), Count = 0;
  AResult = RasEnumConnectionsA(Connections.data(), &Size, &Count);
  Connections.resize(AResult == ERROR_SUCCESS ? Count : 0);
  return Connections;
}

}  // namespace

class TestCrowdedEntry : public QObject {
  Q_OBJECT

 private:
  TSimServiceDir FService;
  // What the watch has seen: the latest state of each listed handle, and
  // the handles that have ended.
  QMap<HRASCONN, RASCONNSTATE> FLastState;
  QSet<HRASCONN> FEnded;
  int FConnectedSeen = 0;

  void Watch() {
    DWORD Result = 0;
    const std::vector<RASCONNA> Listed = Listing(Result);
    QCOMPARE(Result, ERROR_SUCCESS);
    QVERIFY(Listed.size() <= 1);
    QSet<HRASCONN> Now;
    for (const RASCONNA& Connection : Listed) {
      const HRASCONN Handle = Connection.hrasconn;
      QCOMPARE(QString(Connection.szEntryName), Entry);
      QVERIFY2(!FEnded.contains(Handle), qPrintable(QString("handle %1 is back").arg(Handle)));
      RASCONNSTATUSA Status{};
      Status.dwSize = sizeof Status;
      const DWORD StatusResult = RasGetConnectStatusA(Handle, &Status);
      if (StatusResult == ERROR_INVALID_HANDLE) {
        FEnded.insert(Handle);
        continue;
      }
      QCOMPARE(StatusResult, ERROR_SUCCESS);
      QCOMPARE(Status.dwError, DWORD(0));
      QVERIFY2(DialStates.contains(Status.rasconnstate),
               qPrintable(QString::number(Status.rasconnstate)));
      if (FLastState.contains(Handle))
        QVERIFY(DialStates.indexOf(Status.rasconnstate) >= DialStates.indexOf(FLastState[Handle]));
      FLastState[Handle] = Status.rasconnstate;
      Now.insert(Handle);
      if (Status.rasconnstate != RASCS_Connected) continue;
      RASPPPIPA Projection{};
      Projection.dwSize = sizeof Projection;
      DWORD Size = sizeof Projection;
      const DWORD ProjectionResult = RasGetProjectionInfoA(Handle, RASP_PppIp, &Projection, &Size);
      if (ProjectionResult == ERROR_INVALID_HANDLE) {
        FEnded.insert(Handle);
        continue;
      }
      QCOMPARE(ProjectionResult, ERROR_SUCCESS);
      QVERIFY(Projection.szIpAddress[0] != '\0');
      ++FConnectedSeen;
    }
    for (auto Seen = FLastState.begin(); Seen != FLastState.end();) {
      if (Now.contains(Seen.key())) {
        ++Seen;
      } else {
        FEnded.insert(Seen.key());
        Seen = FLastState.erase(Seen);
      }
    }
  }

  // The error code in the tool's failure message.
  static int FailureCode(const QString& AError) {
    static const QRegularExpression Code(QStringLiteral("\\(error (\\d+)\\)\\n$"));
    const QRegularExpressionMatch Match = Code.match(AError);
    return Match.hasMatch() ? Match.captured(1).toInt() : -1;
  }

 private slots:
  void initTestCase() {
    QVERIFY(FService.IsValid());
    FService.WritePhonebook("[Line]\nUserName=u\nPassword=p\nDialSeconds=0.05\n");
  }

  void ManyProcessesOneEntry() {
    TWindowUnderTest Window;
    Window.WriteSettings("[config]\nhanguptime=1\nconnecttime=1\nchange=1\n");
    TForm1& Form = Window.Create();
    QVERIFY(Form.CheckBox1->isChecked());

    struct TSlot {
      std::unique_ptr<QProcess> Process;
      const TCommand* Command = nullptr;
      QElapsedTimer Running;
    };
    std::array<TSlot, Slots> Running;
    int Started = 0;
    int Ended = 0;
    QMap<QString, int> Outcomes;
    // A hang-up waits until the watch has seen a connection up since the
    // last one, or for a while: started back to back, hang-ups end every
    // dial before it is up on a fast machine, and the connected state would
    // never be put to the test.
    int ConnectedSeenAtHangUp = -1;
    QElapsedTimer SinceHangUp;
    SinceHangUp.start();
    auto Start = [&](TSlot& ASlot) {
      const TCommand& Next = Commands[size_t(Started % int(Commands.size()))];
      if (Next.Args.front() == "hangup") {
        if (FConnectedSeen == ConnectedSeenAtHangUp && SinceHangUp.elapsed() < 200) return;
        ConnectedSeenAtHangUp = FConnectedSeen;
        SinceHangUp.start();
      }
      ASlot.Command = &Next;
      ASlot.Process = std::make_unique<QProcess>();
      ASlot.Process->start(QStringLiteral(DRAVIK_RAS_TOOL), ASlot.Command->Args);
      ASlot.Running.start();
      ++Started;
    };

    while (Ended < Runs) {
      for (TSlot& Slot : Running) {
        if (!Slot.Process) {
          if (Started < Runs) Start(Slot);
          continue;
        }
        QProcess& Process = *Slot.Process;
        if (Process.state() != QProcess::NotRunning) {
          QVERIFY2(Slot.Running.elapsed() < 20000,
                   qPrintable(Slot.Command->Args.join(' ') + " hangs"));
          continue;
        }
        const QString Error = QString::fromLocal8Bit(Process.readAllStandardError());
        const QString What = Slot.Command->Args.join(' ');
        QVERIFY2(Process.error() != QProcess::FailedToStart, qPrintable(What));
        QVERIFY2(Process.exitStatus() == QProcess::NormalExit, qPrintable(What + ": crashed"));
        const int Code = Process.exitCode() == 0 ? 0 : FailureCode(Error);
        QVERIFY2(Process.exitCode() == 0 ||
                     (Process.exitCode() == 1 && Slot.Command->Failures.contains(Code)),
                 qPrintable(What + ": " + QString::number(Process.exitCode()) + " " + Error));
        Outcomes[What + " " + QString::number(Code)] += 1;
        ++Ended;
        Slot.Process.reset();
      }
      Watch();
      if (QTest::currentTestFailed()) return;
      // The window's cycle moves on the test clock meanwhile, slowly enough
      // that a dial of the other processes (a twentieth of a second) can come
      // up between two of the window's hang-ups on a fast machine.
      TManualClock::Instance().Advance(20);
      TWindowUnderTest::Settle();
      QTest::qWait(2);
    }
    qInfo("%s", qPrintable([&] {
            QStringList Lines;
            for (auto Outcome = Outcomes.cbegin(); Outcome != Outcomes.cend(); ++Outcome)
              Lines << Outcome.key() + ": " + QString::number(Outcome.value());
            return Lines.join(", ");
          }()));
    // The connection was seen up, not only coming and going.
    QVERIFY(FConnectedSeen > 0);

    // The window's cycle still brings the entry up by itself: it hangs up
    // at the end of its online time and dials at the end of the offline one.
    QVERIFY(TSimService::HangUpEverything());
    bool Dialled = false;
    QElapsedTimer Waiting;
    Waiting.start();
    while (!Dialled && Waiting.elapsed() < 10000) {
      TManualClock::Instance().Advance(100);
      TWindowUnderTest::Settle();
      QTest::qWait(5);
      Watch();
      if (QTest::currentTestFailed()) return;
      Dialled = TSimService::ConnectedEntries() == QStringList{Entry} && Form.Timer1->Enabled();
    }
    QVERIFY(Dialled);
    QVERIFY(Window.Close());
  }
};

DRAVIK_TEST_MAIN(TestCrowdedEntry)
#include "TestCrowdedEntry.moc"
