#include <ifaddrs.h>
#include <netinet/in.h>
#include <unistd.h>

#include <QRegularExpression>
#include <QTest>
#include <cstring>
#include <memory>
#include <string>

#include "CPRasMiniApi.h"
#include "CPRasMonitor.h"
#include "TManualClock.h"
#include "TScriptedRasProvider.h"
#include "TestSupport.h"

Q_DECLARE_METATYPE(std::vector<uint64_t>)

namespace {

bool AllZero(const TRasConnectionDetails& ARecord) {
  static const TRasConnectionDetails Zero{};
  return std::memcmp(&ARecord, &Zero, sizeof(ARecord)) == 0;
}

// A monitor against a scripted service; every event is logged with the
// number of the poll it came in.
struct TMonitorFixture {
  std::shared_ptr<TScriptedRasProvider> Provider = std::make_shared<TScriptedRasProvider>();
  std::unique_ptr<TComponent> Owner = std::make_unique<TComponent>(nullptr);
  TRasMonitor* Monitor = nullptr;
  QStringList Events;
  std::vector<uint64_t> StatusTimes;
  int Poll = 0;
  uint64_t Start = TClock::Instance().Now();

  TMonitorFixture() {
    dravik::ras::SetProviderForTesting(Provider);
    Monitor = new TRasMonitor(Owner.get());
    Monitor->OnRasConnected.Bind([this](TObject* ASender, TRasConnectionDetails ADetails) {
      // The handler finds the address in the monitor's record as well.
      const bool Same =
          std::memcmp(&ADetails, &Monitor->ConnectionDetails(), sizeof(ADetails)) == 0;
      Events << QString("%1 connected h=%2 ip=%3 server=%4 status=%5%6%7")
                    .arg(Poll)
                    .arg(ADetails.Handle)
                    .arg(QString::fromStdString(FieldText(ADetails.IPAddress)))
                    .arg(QString::fromStdString(FieldText(ADetails.ServerIPAddress)))
                    .arg(QString::fromStdString(ADetails.StatusText.Text()))
                    .arg(Same ? "" : " (record differs)")
                    .arg(ASender == Monitor ? "" : " (wrong sender)");
    });
    Monitor->OnRasDisconnected.Bind([this](TObject* ASender, TRasConnectionDetails ADetails) {
      Events << QString("%1 disconnected%2%3")
                    .arg(Poll)
                    .arg(AllZero(ADetails) ? "" : " (record not empty)")
                    .arg(ASender == Monitor ? "" : " (wrong sender)");
    });
    Monitor->OnRasStatusChanged.Bind(
        [this](TObject* ASender, TRasConnectionDetails ADetails, std::string AStatus) {
          StatusTimes.push_back(TClock::Instance().Now() - Start);
          Events << QString("%1 status %2 h=%3%4%5")
                        .arg(Poll)
                        .arg(QString::fromStdString(AStatus))
                        .arg(ADetails.Handle)
                        .arg(ADetails.StatusText.Text() == AStatus ? "" : " (record differs)")
                        .arg(ASender == Monitor ? "" : " (wrong sender)");
        });
  }

  ~TMonitorFixture() {
    Owner.reset();
    dravik::ras::SetProviderForTesting(nullptr);
  }

  // The service before one poll, in words separated by spaces:
  // "<handle>:<state>[:<error>]" a listed connection (entry "Line <handle>"),
  // "*<n>" n connected lines with handles 1 to n, "!<code>" the listing fails,
  // "-status" / "-projection" those calls fail. Empty: nothing listed.
  void SetService(const QString& AService) {
    Provider->Connections.clear();
    Provider->Statuses.clear();
    Provider->EnumConnectionsResult = 0;
    Provider->StatusResult = 0;
    Provider->ProjectionResult = 0;
    for (const QString& Word : AService.split(' ', Qt::SkipEmptyParts)) {
      if (Word.startsWith('*')) {
        Provider->SetConnectionCount(Word.mid(1).toInt());
      } else if (Word.startsWith('!')) {
        Provider->EnumConnectionsResult = Word.mid(1).toUInt();
      } else if (Word == "-status") {
        Provider->StatusResult = ERROR_INVALID_HANDLE;
      } else if (Word == "-projection") {
        Provider->ProjectionResult = ERROR_PROJECTION_NOT_COMPLETE;
      } else {
        const QStringList Parts = Word.split(':');
        const HRASCONN Handle = Parts.value(0).toUInt();
        Provider->AddConnection("Line " + std::to_string(Handle), Handle);
        Provider->Statuses[Handle] = {Parts.value(1).toInt(), Parts.value(2, "0").toUInt()};
      }
    }
  }

  void PollOnce(const QString& AService) {
    SetService(AService);
    ++Poll;
    TManualClock::Instance().Advance(static_cast<uint64_t>(Monitor->PollInterval()));
  }
};

}  // namespace

class TestRasMonitor : public QObject {
  Q_OBJECT
 private slots:
  void init() { TModalRecorder::Instance().Clear(); }

  void LoaderFindsTheLibraryOnce() {
    TMonitorFixture F;
    QVERIFY(F.Monitor->RasApiLoaded());
    QVERIFY(CPRasMiniApi::RasApiLoadAttempted);
    QVERIFY(CPRasMiniApi::RasApiLibrary != nullptr);
    QVERIFY(CPRasMiniApi::RasEnumConnectionsA != nullptr);
    QVERIFY(CPRasMiniApi::RasGetConnectStatusA != nullptr);
    QVERIFY(CPRasMiniApi::RasHangUpA != nullptr);
    QVERIFY(CPRasMiniApi::RasGetProjectionInfoA != nullptr);
    const HMODULE Library = CPRasMiniApi::RasApiLibrary;
    QVERIFY(CPRasMiniApi::LoadRasApi());
    QCOMPARE(CPRasMiniApi::RasApiLibrary, Library);
    // The loaded entry points are the service's own calls.
    F.SetService("7:8192");
    RASCONNA Connections[8] = {};
    Connections[0].dwSize = sizeof(RASCONNA);
    DWORD Size = sizeof(Connections), Count = 0;
    QCOMPARE(CPRasMiniApi::RasEnumConnectionsA(Connections, &Size, &Count), DWORD(0));
    QCOMPARE(Count, DWORD(1));
    QCOMPARE(Connections[0].hrasconn, HRASCONN(7));
  }

  // One row per story, one service state per poll; Online after each poll.
  void Polls_data() {
    QTest::addColumn<QStringList>("Polls");
    QTest::addColumn<QStringList>("Events");
    QTest::addColumn<QString>("Online");

    const QString Up7 = "connected h=7 ip=10.0.7.1 server=10.255.0.1 status=Connected";
    QTest::newRow("a connection that stays up: one OnRasConnected")
        << QStringList{"7:8192", "7:8192", "7:8192", "7:8192 8:3", "7:8192"}
        << QStringList{"1 " + Up7, "1 status Connected h=7"} << "11111";
    QTest::newRow("dialling reports its progress, then connected after OnRasConnected")
        << QStringList{"7:2", "7:14", "7:8192", "7:8192"}
        << QStringList{"1 status Connecting device h=7", "2 status Authenticated h=7", "3 " + Up7,
                       "3 status Connected h=7"}
        << "0011";
    QTest::newRow("more than eight: offline without an event, connected again below")
        << QStringList{"*1", "*9", "*9", "*8"}
        << QStringList{"1 connected h=1 ip=10.0.1.1 server=10.255.0.1 status=Connected",
                       "1 status Connected h=1",
                       "4 connected h=1 ip=10.0.1.1 server=10.255.0.1 status=Connected",
                       "4 status Connected h=1"}
        << "1001";
    QTest::newRow("the list empties: OnRasDisconnected with an empty record, once")
        << QStringList{"7:8192", "", ""}
        << QStringList{"1 " + Up7, "1 status Connected h=7", "2 disconnected"} << "100";
    QTest::newRow("a failing listing goes offline silently")
        << QStringList{"7:8192", "!621", "", "7:8192"}
        << QStringList{"1 " + Up7, "1 status Connected h=7", "4 " + Up7, "4 status Connected h=7"}
        << "1001";
    QTest::newRow("disconnected state while online stays online until unlisted")
        << QStringList{"7:8192", "7:8193", ""}
        << QStringList{"1 " + Up7, "1 status Connected h=7", "3 disconnected"} << "110";
    QTest::newRow("a state outside the table: no status event")
        << QStringList{"7:4100", "7:4100"} << QStringList{} << "00";
    QTest::newRow("a non-zero error code reads ERRROR")
        << QStringList{"7:3:678"} << QStringList{"1 status ERRROR h=7"} << "0";
    QTest::newRow("connected with an error code still goes online, as ERRROR")
        << QStringList{"7:8192:5"}
        << QStringList{"1 connected h=7 ip=10.0.7.1 server=10.255.0.1 status=ERRROR",
                       "1 status ERRROR h=7"}
        << "1";
    QTest::newRow("a failing projection goes online with empty addresses")
        << QStringList{"7:8192 -projection", "7:8192"}
        << QStringList{"1 connected h=7 ip= server= status=Connected", "1 status Connected h=7"}
        << "11";
    QTest::newRow("a failing status call reads as opening port")
        << QStringList{"7:8192 -status", "7:8192"}
        << QStringList{"1 status Opening port h=7", "2 " + Up7, "2 status Connected h=7"} << "01";
    QTest::newRow("only the first listed connection counts")
        << QStringList{"7:3 8:8192", "8:8192 7:3", "8:8192"}
        << QStringList{"1 status Device connected h=7",
                       "2 connected h=8 ip=10.0.8.1 server=10.255.0.1 status=Connected",
                       "2 status Connected h=8"}
        << "011";
  }
  void Polls() {
    QFETCH(QStringList, Polls);
    QFETCH(QStringList, Events);
    QFETCH(QString, Online);
    TMonitorFixture F;
    F.Monitor->SetEnabled(true);
    QString Seen;
    for (const QString& Service : Polls) {
      F.PollOnce(Service);
      Seen += F.Monitor->Online() ? '1' : '0';
    }
    QCOMPARE(F.Events, Events);
    QCOMPARE(Seen, Online);
  }

  // What the current record holds between polls.
  void CurrentRecord() {
    TMonitorFixture F;
    F.Monitor->SetEnabled(true);
    QVERIFY(AllZero(F.Monitor->ConnectionDetails()));

    F.PollOnce("7:8192 9:3");
    const TRasConnectionDetails& Record = F.Monitor->ConnectionDetails();
    QCOMPARE(Record.Handle, 7u);
    QCOMPARE(FieldText(Record.IPAddress), std::string("10.0.7.1"));
    QCOMPARE(FieldText(Record.ServerIPAddress), std::string("10.255.0.1"));

    // The poll after the one that went online refills all but the addresses.
    F.PollOnce("7:8192 9:3");
    QCOMPARE(Record.Handle, 7u);
    QCOMPARE(F.Monitor->CurrentHandle(), HRASCONN(7));
    QCOMPARE(Record.StatusText.Text(), std::string("Connected"));
    QCOMPARE(FieldText(Record.EntryName), std::string("Line 7"));
    QCOMPARE(FieldText(Record.DeviceType), std::string("PPPoE"));
    QCOMPARE(FieldText(Record.DeviceName), std::string("eth7"));
    QCOMPARE(FieldText(Record.IPAddress), std::string());
    QCOMPARE(FieldText(Record.ServerIPAddress), std::string());

    // A failing listing leaves the record empty; the last handle stays known.
    F.PollOnce("!621");
    QVERIFY(AllZero(Record));
    QCOMPARE(F.Monitor->CurrentHandle(), HRASCONN(7));
  }

  // When polls come: Enabled starts and stops the timer; PollInterval is
  // read only when polling is switched on. A dialling line raises a status
  // event at every poll, which marks the poll's time.
  void Polling_data() {
    QTest::addColumn<QStringList>("Steps");
    QTest::addColumn<std::vector<uint64_t>>("Polls");

    QTest::newRow("first poll one interval after switching on")
        << QStringList{"e1", "a999", "a1", "a2000"} << std::vector<uint64_t>{1000, 2000, 3000};
    QTest::newRow("an interval written while off applies at switch-on")
        << QStringList{"i250", "a5000", "e1", "a1000"}
        << std::vector<uint64_t>{5250, 5500, 5750, 6000};
    QTest::newRow("an interval written while on waits for the next switch-on")
        << QStringList{"e1", "a1000", "i300", "a1000", "e0", "e1", "a600"}
        << std::vector<uint64_t>{1000, 2000, 2300, 2600};
    QTest::newRow("switching on twice does not restart the timer")
        << QStringList{"e1", "a600", "i100", "e1", "a400"} << std::vector<uint64_t>{1000};
    QTest::newRow("switching off stops polling")
        << QStringList{"e1", "a1000", "e0", "a5000"} << std::vector<uint64_t>{1000};
    QTest::newRow("interval 0 gives no polls")
        << QStringList{"i0", "e1", "a100000"} << std::vector<uint64_t>{};
  }
  void Polling() {
    QFETCH(QStringList, Steps);
    QFETCH(std::vector<uint64_t>, Polls);
    TMonitorFixture F;
    F.SetService("7:2");
    for (const QString& Step : Steps) {
      const QString Arg = Step.mid(1);
      switch (Step.at(0).toLatin1()) {
        case 'e':
          F.Monitor->SetEnabled(Arg == "1");
          break;
        case 'i':
          F.Monitor->SetPollInterval(Arg.toInt());
          break;
        case 'a':
          TManualClock::Instance().Advance(Arg.toULongLong());
          break;
      }
    }
    QCOMPARE(F.StatusTimes, Polls);
  }

  void SwitchingOffAndOnKeepsTheState() {
    TMonitorFixture F;
    F.Monitor->SetEnabled(true);
    F.PollOnce("7:8192");
    F.Monitor->SetEnabled(false);
    QVERIFY(F.Monitor->Online());
    QCOMPARE(F.Monitor->ConnectionDetails().Handle, 7u);
    F.Monitor->SetEnabled(true);
    QVERIFY(F.Monitor->Online());
    QCOMPARE(F.Events.size(), 2);
  }

  void DesignModeIgnoresEnabled() {
    TMonitorFixture F;
    F.SetService("7:2");
    F.Monitor->SetDesigning(true);
    F.Monitor->SetEnabled(true);
    QVERIFY(!F.Monitor->Enabled());
    TManualClock::Instance().Advance(5000);
    QCOMPARE(F.Events, QStringList{});
  }

  void ReportingPropertiesIgnoreWrites() {
    TMonitorFixture F;
    F.Monitor->SetEnabled(true);
    F.PollOnce("7:8192");
    const std::string IP = F.Monitor->LocalIP();
    const std::string Host = F.Monitor->LocalHost();
    F.Monitor->SetOnline(false);
    F.Monitor->SetRasApiLoaded(false);
    F.Monitor->SetLocalIP("1.2.3.4");
    F.Monitor->SetLocalHost("elsewhere");
    QVERIFY(F.Monitor->Online());
    QVERIFY(F.Monitor->RasApiLoaded());
    QCOMPARE(F.Monitor->LocalIP(), IP);
    QCOMPARE(F.Monitor->LocalHost(), Host);
    // Still loaded: switching works.
    F.Monitor->SetEnabled(false);
    QVERIFY(!F.Monitor->Enabled());
  }

  // LocalHost is the host's name; LocalIP its first IPv4 interface address
  // that is not loopback, when it has one.
  void HostNameAndAddress() {
    TMonitorFixture F;
    char Name[256] = {};
    QCOMPARE(::gethostname(Name, sizeof(Name) - 1), 0);
    QCOMPARE(F.Monitor->LocalHost(), std::string(Name));

    QStringList Outside;
    ifaddrs* List = nullptr;
    QCOMPARE(getifaddrs(&List), 0);
    for (ifaddrs* It = List; It != nullptr; It = It->ifa_next) {
      if (It->ifa_addr == nullptr || It->ifa_addr->sa_family != AF_INET) continue;
      const auto* Bytes = reinterpret_cast<const unsigned char*>(
          &reinterpret_cast<const sockaddr_in*>(It->ifa_addr)->sin_addr);
      if (Bytes[0] == 127) continue;
      Outside << QString("%1.%2.%3.%4").arg(Bytes[0]).arg(Bytes[1]).arg(Bytes[2]).arg(Bytes[3]);
    }
    freeifaddrs(List);
    const QString IP = QString::fromStdString(F.Monitor->LocalIP());
    if (Outside.isEmpty()) {
      QVERIFY2(
          IP.isEmpty() || QRegularExpression("^\\d{1,3}(\\.\\d{1,3}){3}$").match(IP).hasMatch(),
          qPrintable(IP));
    } else {
      QCOMPARE(IP, Outside.first());
    }
  }

  void StatusTexts_data() {
    QTest::addColumn<int>("State");
    QTest::addColumn<int>("Error");
    QTest::addColumn<QString>("Text");
    QTest::newRow("0") << 0 << 0 << "Opening port";
    QTest::newRow("10") << 10 << 0 << "Authentication: projecting";
    QTest::newRow("21") << 21 << 0 << "Logging on network";
    QTest::newRow("22 is not a state") << 22 << 0 << "";
    QTest::newRow("4096") << 4096 << 0 << "Interactive";
    QTest::newRow("4099") << 4099 << 0 << "Password expired";
    QTest::newRow("4100 is not a state") << 4100 << 0 << "";
    QTest::newRow("8192") << 8192 << 0 << "Connected";
    QTest::newRow("8193") << 8193 << 0 << "Disconnected";
    QTest::newRow("8194 is not a state") << 8194 << 0 << "";
    QTest::newRow("-1 is not a state") << -1 << 0 << "";
    QTest::newRow("an error wins over the state") << 8192 << 691 << "ERRROR";
    QTest::newRow("an error wins over an unknown state") << 4100 << 1 << "ERRROR";
  }
  void StatusTexts() {
    QFETCH(int, State);
    QFETCH(int, Error);
    QFETCH(QString, Text);
    QCOMPARE(QString::fromStdString(StateText(State, static_cast<DWORD>(Error))), Text);
  }

  void ShortStringsAreCut() {
    TShortString Text{};
    Text.Assign(std::string(300, 'x'));
    QCOMPARE(Text.Length, uint8_t(255));
    QCOMPARE(Text.Text(), std::string(255, 'x'));
    const char Full[4] = {'a', 'b', 'c', 'd'};
    QCOMPARE(FieldText(Full), std::string("abcd"));
  }
};

DRAVIK_TEST_MAIN(TestRasMonitor)
#include "TestRasMonitor.moc"
