// The dialler against the simulated service, with a peer process working the
// same service: what one process dials or cuts, the other sees.

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <memory>

#include "RASManager.h"
#include "TManualClock.h"
#include "TRasPeer.h"
#include "TSimServiceDir.h"
#include "TestSupport.h"

namespace {

const QByteArray Phonebook =
    "[Broadband]\nUserName=alice\nPassword=s3cret\nDialSeconds=0\n\n"
    "[Slow line]\nUserName=bob\nPassword=pw\nDialSeconds=0.4\n\n"
    "[Refused]\nUserName=carol\nPassword=x\nDialSeconds=1\nErrorCode=691\n\n"
    "[broadband]\nUserName=dave\nPassword=lower\nDialSeconds=0\n";

struct TSimDialler {
  std::unique_ptr<TRASManager> Dialler = std::make_unique<TRASManager>(nullptr);
  QStringList Events;

  explicit TSimDialler(const char* AEntryName) {
    TRASManager* Self = Dialler.get();
    Dialler->OnConnecting.Bind([this, Self](TObject* ASender, int AMsg, int AState, int AError) {
      Events << QString("connecting %1 %2 %3%4")
                    .arg(AMsg)
                    .arg(AState)
                    .arg(AError)
                    .arg(Faults(ASender, Self));
    });
    Dialler->OnError.Bind([this, Self](TObject* ASender, int AError) {
      Events << QString("error %1%2").arg(AError).arg(Faults(ASender, Self));
    });
    Dialler->SetEntryName(AEntryName);
  }

  static QString Faults(TObject* ASender, TRASManager* ASelf) {
    QString Result;
    if (ASender != ASelf) Result += " (wrong sender)";
    if (QThread::currentThread() != QCoreApplication::instance()->thread())
      Result += " (off the GUI thread)";
    return Result;
  }
};

// Whether the service reports the entry's line as connected (not dialling).
bool LineConnected(const std::string& AEntryName) {
  RASCONNA Connections[16] = {};
  Connections[0].dwSize = sizeof(RASCONNA);
  DWORD Size = sizeof(Connections), Count = 0;
  if (RasEnumConnectionsA(Connections, &Size, &Count) != 0) return false;
  for (DWORD I = 0; I < Count; ++I) {
    if (AEntryName != Connections[I].szEntryName) continue;
    RASCONNSTATUSA Status = {};
    Status.dwSize = sizeof(Status);
    return RasGetConnectStatusA(Connections[I].hrasconn, &Status) == 0 &&
           Status.rasconnstate == RASCS_Connected;
  }
  return false;
}

}  // namespace

class TestRASManagerSim : public QObject {
  Q_OBJECT
  TSimServiceDir FDir;

 private slots:
  void initTestCase() {
    QVERIFY(FDir.IsValid());
    FDir.WritePhonebook(Phonebook);
  }

  void init() {
    TModalRecorder::Instance().Clear();
    for (const char* Entry : {"Broadband", "Slow line", "Refused", "broadband"})
      RunRasPeer({"hangup", Entry});
    QCOMPARE(PeerConnectedEntries(), QStringList{});
  }

  void PhonebookAndCredentials() {
    std::vector<std::string> Entries;
    ListPhonebookEntries(Entries);
    QCOMPARE(Entries, (std::vector<std::string>{"Broadband", "Slow line", "Refused", "broadband"}));
    TSimDialler Upper("Broadband");
    QCOMPARE(Upper.Dialler->UserName(), std::string("alice"));
    QCOMPARE(Upper.Dialler->Password(), std::string("s3cret"));
    TSimDialler Lower("broadband");
    QCOMPARE(Lower.Dialler->UserName(), std::string("dave"));
    QCOMPARE(Lower.Dialler->Password(), std::string("lower"));
    TSimDialler Unknown("Nowhere");
    QCOMPARE(Unknown.Dialler->EntryName(), std::string());
    QCOMPARE(Unknown.Events, QStringList{"error 623"});
  }

  // A blocking dial of "Broadband" after the peer has worked the service.
  void Dial_data() {
    QTest::addColumn<QStringList>("Peer");
    QTest::addColumn<QStringList>("Events");
    QTest::addColumn<bool>("Connected");
    QTest::addColumn<QStringList>("PeerSees");
    QTest::addColumn<int>("Elapsed");

    QTest::newRow("connects, and the peer sees the line")
        << QStringList{} << QStringList{} << true << QStringList{"Broadband"} << 2;
    QTest::newRow("a dial the peer made to fail reports its code")
        << QStringList{"failnext", "Broadband", "678"} << QStringList{"error 678"} << false
        << QStringList{} << 0;
    // Already connected: no dial, and no count either.
    QTest::newRow("a line the peer dialled is not dialled again")
        << QStringList{"dial", "Broadband"} << QStringList{} << true << QStringList{"Broadband"}
        << 0;
    QTest::newRow("the peer's line of the other letter case is another entry")
        << QStringList{"dial", "broadband"} << QStringList{} << true
        << QStringList{"broadband", "Broadband"} << 2;
  }
  void Dial() {
    QFETCH(QStringList, Peer);
    QFETCH(QStringList, Events);
    QFETCH(bool, Connected);
    QFETCH(QStringList, PeerSees);
    QFETCH(int, Elapsed);
    TSimDialler Sim("Broadband");
    if (!Peer.isEmpty()) QCOMPARE(RunRasPeer(Peer).ExitCode, 0);
    Sim.Dialler->Dial();
    QCOMPARE(Sim.Events, Events);
    QCOMPARE(Sim.Dialler->Connected(), Connected);
    QCOMPARE(PeerConnectedEntries(), PeerSees);
    TManualClock::Instance().Advance(2000);
    QCOMPARE(Sim.Dialler->ElapsedSeconds(), Elapsed);
  }

  void HangUpEndsTheLineForEveryone() {
    const TRasPeerResult Dialled = RunRasPeer({"dial", "Broadband"});
    QCOMPARE(Dialled.ExitCode, 0);
    TSimDialler Sim("Broadband");
    // The peer's line, found by name.
    QCOMPARE(QString::number(Sim.Dialler->ConnectionHandle()),
             Dialled.Output.section(' ', 1).trimmed());
    Sim.Dialler->HangUp();
    QCOMPARE(PeerConnectedEntries(), QStringList{});
    QVERIFY(!Sim.Dialler->Connected());
  }

  void ALineThePeerCutIsNotHungUp() {
    TSimDialler Sim("Broadband");
    Sim.Dialler->Dial();
    TManualClock::Instance().Advance(1000);
    QCOMPARE(RunRasPeer({"drop", "Broadband"}).ExitCode, 0);
    QVERIFY(!Sim.Dialler->Connected());
    Sim.Dialler->HangUp();
    // Not connected: HangUp left the count running.
    TManualClock::Instance().Advance(1000);
    QCOMPARE(Sim.Dialler->ElapsedSeconds(), 2);
    QVERIFY(Sim.Events.isEmpty());
  }

  void DestructionLeavesTheLineUp() {
    {
      TSimDialler Sim("Broadband");
      Sim.Dialler->Dial();
    }
    QCOMPARE(PeerConnectedEntries(), QStringList{"Broadband"});
  }

  // The service reports from a thread of its own; the dialler raises the
  // events on the GUI thread, states in order, OnError after its OnConnecting.
  void AsynchronousDial_data() {
    QTest::addColumn<QString>("Entry");
    QTest::addColumn<int>("Error");
    QTest::addColumn<bool>("Connected");
    QTest::newRow("progress to connected") << "Slow line" << 0 << true;
    QTest::newRow("refused at authentication") << "Refused" << 691 << false;
  }
  void AsynchronousDial() {
    QFETCH(QString, Entry);
    QFETCH(int, Error);
    QFETCH(bool, Connected);
    TSimDialler Sim(qPrintable(Entry));
    Sim.Dialler->SetDialAsync(true);
    Sim.Dialler->Dial();
    // On its way up the line is listed: the dial itself reports nothing.
    QCOMPARE(Sim.Events, QStringList{});
    const QString Last = Error == 0 ? QString(" %1 0").arg(RASCS_Connected) : "error";
    QTRY_VERIFY_WITH_TIMEOUT(!Sim.Events.isEmpty() && Sim.Events.last().contains(Last), 10000);
    int State = -1;
    for (int I = 0; I < Sim.Events.size(); ++I) {
      const QStringList Words = Sim.Events[I].split(' ');
      if (Words[0] == "error") {
        // Right after the notification that carried the code.
        QVERIFY2(Sim.Events[I] == QString("error %1").arg(Error),
                 qPrintable(Sim.Events.join(", ")));
        QVERIFY(I > 0 && Sim.Events[I - 1].endsWith(QString(" %1").arg(Error)));
        continue;
      }
      QCOMPARE(Words.size(), 4);  // no fault marks
      QCOMPARE(Words[1].toUInt(), WM_RASDIALEVENT);
      QVERIFY2(Words[2].toInt() >= State, qPrintable(Sim.Events.join(", ")));
      State = Words[2].toInt();
    }
    QCOMPARE(Sim.Events.filter("error").size(), Error == 0 ? 0 : 1);
    QTRY_COMPARE(Sim.Dialler->Connected(), Connected);
  }

  // A dialler that goes while its dial is still reported: the service goes
  // on reporting, and no other, live dialler hears of it.
  void NotificationsOfADestroyedDiallerReachNothing() {
    auto Sim = std::make_unique<TSimDialler>("Slow line");
    TRASManager Other(nullptr);
    QStringList Late;
    Other.OnConnecting.Bind([&Late](TObject*, int, int, int) { Late << "connecting"; });
    Other.OnError.Bind([&Late](TObject*, int) { Late << "error"; });
    Sim->Dialler->SetDialAsync(true);
    Sim->Dialler->Dial();
    QCOMPARE(ActiveDialler(), Sim->Dialler.get());
    Sim->Dialler.reset();
    QCOMPARE(ActiveDialler(), nullptr);
    // The service goes on reporting the dial until it has connected.
    QTRY_VERIFY_WITH_TIMEOUT(LineConnected("Slow line"), 10000);
    QTest::qWait(300);
    QCOMPARE(Late, QStringList{});
  }
};

DRAVIK_TEST_MAIN(TestRASManagerSim)
#include "TestRASManagerSim.moc"
