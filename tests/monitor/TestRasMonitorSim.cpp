// The monitor, loading the dial-up library at run time, watches the
// simulated service while a peer process dials, cuts and hangs up.

#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <cstring>

#include "CPRasMonitor.h"
#include "TManualClock.h"
#include "TRasPeer.h"
#include "TSimServiceDir.h"
#include "TestSupport.h"

namespace {

const QByteArray Phonebook =
    "[Broadband]\nUserName=alice\nPassword=s3cret\nDialSeconds=0\n\n"
    "[Slow line]\nUserName=bob\nPassword=pw\nDialSeconds=120\n\n"
    "[Spare]\nUserName=carol\nPassword=x\nDialSeconds=0\n\n"
    "[Half]\nUserName=dave\nPassword=y\nDialSeconds=0.3\n";

// The service hands out addresses from the shared address space 100.64.0.0/10.
const QRegularExpression SharedAddress(
    "^100\\.(6[4-9]|[7-9]\\d|1[01]\\d|12[0-7])\\.\\d{1,3}\\.\\d{1,3}$");

struct TSimMonitor {
  TRasMonitor Monitor{nullptr};
  QStringList Events;
  QStringList Addresses;

  // AEntry: the one entry watched (empty: the first listed connection);
  // ANotified: the library's change notification on, polls all but never.
  explicit TSimMonitor(const std::string& AEntry = {}, bool ANotified = false) {
    Monitor.SetEntryName(AEntry);
    Monitor.SetChangeNotification(ANotified);
    if (ANotified) Monitor.SetPollInterval(24 * 3600 * 1000);
    Monitor.OnRasConnected.Bind([this](TObject*, TRasConnectionDetails ADetails) {
      Addresses << QString::fromStdString(FieldText(ADetails.IPAddress));
      Events << QString("connected %1 %2 %3 server=%4")
                    .arg(QString::fromStdString(FieldText(ADetails.EntryName)))
                    .arg(QString::fromStdString(FieldText(ADetails.DeviceType)))
                    .arg(QString::fromStdString(ADetails.StatusText.Text()))
                    .arg(QString::fromStdString(FieldText(ADetails.ServerIPAddress)));
    });
    Monitor.OnRasDisconnected.Bind([this](TObject*, TRasConnectionDetails ADetails) {
      static const TRasConnectionDetails Zero{};
      Events << (std::memcmp(&ADetails, &Zero, sizeof(Zero)) == 0 ? "disconnected"
                                                                  : "disconnected (not empty)");
    });
    Monitor.OnRasStatusChanged.Bind(
        [this](TObject*, TRasConnectionDetails ADetails, std::string AStatus) {
          Events << QString("status %1 %2")
                        .arg(QString::fromStdString(FieldText(ADetails.EntryName)))
                        .arg(QString::fromStdString(AStatus));
        });
    Monitor.SetEnabled(true);
  }

  // One poll; the events it raised.
  QStringList Poll() {
    Events.clear();
    TManualClock::Instance().Advance(1000);
    return Events;
  }
};

void Peer(const QStringList& AArguments) { QCOMPARE(RunRasPeer(AArguments).ExitCode, 0); }

}  // namespace

class TestRasMonitorSim : public QObject {
  Q_OBJECT
  TSimServiceDir FDir;

 private slots:
  void initTestCase() {
    QVERIFY(FDir.IsValid());
    FDir.WritePhonebook(Phonebook);
  }

  void init() {
    for (const char* Entry : {"Broadband", "Slow line", "Spare", "Half"})
      RunRasPeer({"hangup", Entry});
    QCOMPARE(PeerConnectedEntries(), QStringList{});
  }

  // The whole round the program lives on: up, steady, down, up with a new address.
  void FollowsThePeersLine() {
    TSimMonitor Sim;
    QVERIFY(Sim.Monitor.RasApiLoaded());
    QCOMPARE(Sim.Poll(), QStringList{});

    Peer({"dial", "Broadband"});
    QCOMPARE(Sim.Poll(), (QStringList{"connected Broadband PPPoE Connected server=100.64.0.1",
                                      "status Broadband Connected"}));
    QVERIFY(Sim.Monitor.Online());
    QVERIFY2(SharedAddress.match(Sim.Addresses.last()).hasMatch(),
             qPrintable(Sim.Addresses.last()));
    QCOMPARE(QString::fromStdString(FieldText(Sim.Monitor.ConnectionDetails().IPAddress)),
             Sim.Addresses.last());

    QCOMPARE(Sim.Poll(), QStringList{});
    QCOMPARE(FieldText(Sim.Monitor.ConnectionDetails().IPAddress), std::string());

    Peer({"hangup", "Broadband"});
    QCOMPARE(Sim.Poll(), QStringList{"disconnected"});
    QVERIFY(!Sim.Monitor.Online());

    Peer({"dial", "Broadband"});
    QCOMPARE(Sim.Poll().size(), 2);
    QCOMPARE(Sim.Addresses.size(), 2);
    QVERIFY2(Sim.Addresses[0] != Sim.Addresses[1], qPrintable(Sim.Addresses.join(" ")));
  }

  // A dial in progress in the peer: reported at every poll, never online.
  void ReportsADialOnItsWay() {
    TSimMonitor Sim;
    QProcess Dialling;
    Dialling.start(QStringLiteral(DRAVIK_RAS_PEER), {"dial", "Slow line"});
    QTRY_COMPARE(PeerConnectedEntries(), QStringList{"Slow line"});
    for (int I = 0; I < 2; ++I) {
      const QStringList Events = Sim.Poll();
      QCOMPARE(Events.size(), 1);
      QVERIFY2(Events[0].startsWith("status Slow line ") && !Events[0].endsWith(" Connected"),
               qPrintable(Events[0]));
      QVERIFY(!Sim.Monitor.Online());
    }
    // Hung up on its way: the peer's dial ends, and the monitor, never
    // online, has nothing to report.
    Peer({"hangup", "Slow line"});
    QVERIFY(Dialling.waitForFinished(10000));
    QCOMPARE(QString(Dialling.readAllStandardOutput()).section(' ', 0, 0),
             QString::number(ERROR_USER_DISCONNECTION));
    QCOMPARE(Sim.Poll(), QStringList{});
  }

  // Given its entry and the library's change notification, the monitor
  // sees its own line come up and go as it happens, with no poll, and other
  // lines, listed before it or coming and going, not at all.
  void OwnLineNotified() {
    TSimMonitor Sim("Half", true);
    QVERIFY(Sim.Monitor.Notified());
    Peer({"dial", "Broadband"});
    Peer({"add", "Broadband", "9"});
    QTest::qWait(300);
    QCOMPARE(Sim.Events, QStringList{});
    // The dial takes its time: the library tells of its end, though nothing
    // is written then.
    Peer({"dial", "Half"});
    QTRY_COMPARE_WITH_TIMEOUT(Sim.Events.filter("connected Half").size(), 1, 2000);
    QVERIFY(Sim.Monitor.Online());
    QCOMPARE(QString::fromStdString(FieldText(Sim.Monitor.ConnectionDetails().IPAddress)),
             Sim.Addresses.last());
    Sim.Events.clear();
    Peer({"hangup", "Broadband"});
    QTest::qWait(300);
    QCOMPARE(Sim.Events, QStringList{});
    Peer({"drop", "Half"});
    QTRY_COMPARE_WITH_TIMEOUT(Sim.Events, QStringList{"disconnected (not empty)"}, 2000);
    QVERIFY(!Sim.Monitor.Online());
  }

  void MoreThanEightLines() {
    TSimMonitor Sim;
    Peer({"dial", "Broadband"});
    QCOMPARE(Sim.Poll().size(), 2);
    Peer({"add", "Spare", "8"});
    QCOMPARE(Sim.Poll(), QStringList{});
    QVERIFY(!Sim.Monitor.Online());
    Peer({"hangup", "Spare"});
    QCOMPARE(Sim.Poll(), (QStringList{"connected Broadband PPPoE Connected server=100.64.0.1",
                                      "status Broadband Connected"}));
  }
};

DRAVIK_TEST_MAIN(TestRasMonitorSim)
#include "TestRasMonitorSim.moc"
