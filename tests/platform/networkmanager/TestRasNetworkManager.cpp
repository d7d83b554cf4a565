// The dial-up calls against a real NetworkManager on the testbed: what the
// phonebook lists, the credentials it reads back, dials that connect with a
// fresh address, a line cut at the far end, and NetworkManager stopped and
// restarted under a running program.

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "RasControl.h"
#include "RasTestSupport.h"
#include "TNmTestbed.h"
#include "TestSupport.h"

#ifdef __SANITIZE_THREAD__
// The tests start nmcli, the tool and the testbed script while the
// provider's bus thread runs; the thread sanitizer would stop every such
// child.
extern "C" const char* __tsan_default_options() { return "die_after_fork=0"; }
#endif

namespace {

struct TNotification {
  RASCONNSTATE State;
  DWORD Error;
};

std::mutex NotifiedLock;
std::condition_variable NotifiedChanged;
std::vector<TNotification> Notified;

void WINAPI RecordNotification(UINT, RASCONNSTATE AState, DWORD AError) {
  std::lock_guard<std::mutex> Guard(NotifiedLock);
  Notified.push_back({AState, AError});
  NotifiedChanged.notify_all();
}

// Waits (real time: a real daemon answers) for a dial's last notification:
// connected, or an error.
std::vector<TNotification> WaitForDialEnd(int ASeconds = 30) {
  std::unique_lock<std::mutex> Guard(NotifiedLock);
  NotifiedChanged.wait_for(Guard, std::chrono::seconds(ASeconds), [] {
    return !Notified.empty() &&
           (Notified.back().State == RASCS_Connected || Notified.back().Error != 0);
  });
  std::vector<TNotification> Result;
  Result.swap(Notified);
  return Result;
}

// Dials with notifications and waits for the end; the handle goes to AHandle.
std::vector<TNotification> DialAndWait(const std::string& AEntry, HRASCONN& AHandle,
                                       DWORD* AStarted = nullptr) {
  {
    std::lock_guard<std::mutex> Guard(NotifiedLock);
    Notified.clear();
  }
  RASDIALPARAMSA Params = StoredParams(AEntry);
  AHandle = 0;
  const DWORD Started = RasDialA(nullptr, nullptr, &Params, 0,
                                 reinterpret_cast<LPVOID>(&RecordNotification), &AHandle);
  if (AStarted != nullptr) *AStarted = Started;
  if (Started != ERROR_SUCCESS) return {};
  return WaitForDialEnd();
}

// Polls until ACondition holds, at most ASeconds of real time.
template <typename TCondition>
bool WaitUntil(TCondition ACondition, int ASeconds) {
  QElapsedTimer Timer;
  Timer.start();
  while (Timer.elapsed() < ASeconds * 1000) {
    if (ACondition()) return true;
    QTest::qWait(50);
  }
  return ACondition();
}

std::vector<std::string> EntryNames(DWORD* AResult = nullptr) {
  std::vector<RASENTRYNAMEA> Buffer(64);
  Buffer[0].dwSize = sizeof(RASENTRYNAMEA);
  DWORD Bytes = static_cast<DWORD>(Buffer.size() * sizeof(RASENTRYNAMEA));
  DWORD Count = 0;
  const DWORD Result = RasEnumEntriesA(nullptr, nullptr, Buffer.data(), &Bytes, &Count);
  if (AResult != nullptr) *AResult = Result;
  std::vector<std::string> Names;
  for (DWORD Index = 0; Result == ERROR_SUCCESS && Index < Count; ++Index) {
    Names.push_back(Buffer[Index].szEntryName);
  }
  return Names;
}

bool InTestbedRange(const std::string& AAddress) {
  static const QRegularExpression Range("^10\\.77\\.0\\.([0-9]+)$");
  const auto Match = Range.match(QString::fromStdString(AAddress));
  if (!Match.hasMatch()) return false;
  const int Last = Match.captured(1).toInt();
  return Last >= 10 && Last <= 250;
}

const std::string Ethernet = "Line A";
// The same line with IPv6 from the far end's router advertisements, counted
// up only once it has its IPv6 address too.
const std::string Ethernet6 = "Line Six";
// A dial that makes no progress for this long ends.
constexpr int DialTimeoutSeconds = 5;

}  // namespace

class TestRasNetworkManager : public QObject {
  Q_OBJECT

 private:
  TNmTestbed FTestbed;

  void AddProfile(const QStringList& AArgs) {
    const auto Run = TNmTestbed::Nmcli(QStringList{"connection", "add"} + AArgs);
    QVERIFY2(Run.Exit == 0, qPrintable(Run.Err));
  }

 private slots:
  void initTestCase() {
    qputenv("DRAVIK_RAS_PROVIDER", "networkmanager");
    qputenv("DRAVIK_NM_TYPES", "pppoe,802-3-ethernet,gsm,cdma");
    qputenv("DRAVIK_NM_DIAL_TIMEOUT", QByteArray::number(DialTimeoutSeconds));
    REQUIRE_TESTBED(FTestbed);
    // The one profile that really dials here (no PPP in this kernel): an
    // ethernet line whose address comes from the far end's DHCP server, a
    // new one each time as each activation has a new hardware address.
    AddProfile({"type", "ethernet", "ifname", "veth-c", "con-name",
                QString::fromStdString(Ethernet), "connection.autoconnect", "no",
                "ethernet.cloned-mac-address", "random", "ipv6.method", "disabled"});
    AddProfile({"type", "ethernet", "ifname", "veth-c", "con-name",
                QString::fromStdString(Ethernet6), "connection.autoconnect", "no",
                "ethernet.cloned-mac-address", "random", "ipv6.method", "auto",
                "ipv6.addr-gen-mode", "eui64", "ipv6.may-fail", "no"});
    AddProfile({"type", "pppoe", "ifname", "ppp0", "pppoe.parent", "veth-c", "con-name", "DSL Home",
                "connection.uuid", "00000000-0000-4000-8000-000000000001", "username", "alice",
                "password", "s3cret", "connection.autoconnect", "no"});
    // The same name again: the first by UUID stands for it.
    AddProfile({"type", "pppoe", "ifname", "ppp1", "pppoe.parent", "veth-c", "con-name", "DSL Home",
                "connection.uuid", "ffffffff-0000-4000-8000-000000000001", "username", "zed",
                "password", "other", "connection.autoconnect", "no"});
    // Its password only an agent holds.
    AddProfile({"type", "pppoe", "ifname", "ppp2", "pppoe.parent", "veth-c", "con-name",
                "DSL Agent", "username", "bob", "pppoe.password-flags", "1",
                "connection.autoconnect", "no"});
    // Not listed: a type not chosen, a name with a control character. (A
    // name too long for an entry cannot be stored: NetworkManager names the
    // profile's file after it.)
    // Mobile profiles on the stand-in modem; its APN tells it how to answer.
    const auto Modem = FTestbed.Do({"modem", "veth-m", "10.78.0.2/24", "10.78.0.1"});
    QVERIFY2(Modem.Exit == 0, qPrintable(Modem.Err));
    const QStringList Mobile{"type", "gsm",         "ifname",   "*",       "connection.autoconnect",
                             "no",   "ipv6.method", "disabled", "con-name"};
    AddProfile(Mobile + QStringList{"Mobile", "gsm.apn", "internet", "gsm.username", "mob",
                                    "gsm.password", "mobpw"});
    AddProfile(Mobile + QStringList{"Mobile Refused", "gsm.apn", "refuse-auth"});
    AddProfile(Mobile + QStringList{"Mobile No Carrier", "gsm.apn", "no-carrier"});
    AddProfile(Mobile + QStringList{"Mobile Silent", "gsm.apn", "silent"});
    QVERIFY(WaitUntil(
        [] {
          return TNmTestbed::Nmcli({"-g", "GENERAL.TYPE", "device", "show", "ttyDRAVIK0"})
                     .Out.trimmed() == "gsm";
        },
        20));
    // Brought up by NetworkManager by itself, were there a CDMA modem.
    AddProfile({"type", "cdma", "ifname", "*", "con-name", "Old Mobile", "connection.autoconnect",
                "yes", "ipv6.method", "disabled"});
    AddProfile({"type", "dummy", "ifname", "dummy7", "con-name", "Not A Line",
                "connection.autoconnect", "no"});
    AddProfile({"type", "pppoe", "ifname", "ppp4", "pppoe.parent", "veth-c", "con-name",
                "Two\tWords", "username", "tab", "connection.autoconnect", "no"});
  }

  void init() {
    if (FTestbed.Up()) HangUpAll();
  }

  void cleanupTestCase() {
    if (FTestbed.Up()) HangUpAll();
  }

  void ListingFollowsChosenTypes() {
    REQUIRE_TESTBED(FTestbed);
    // NetworkManager announces new profiles by signal; the listing follows.
    const std::vector<std::string> Expected = {
        "DSL Agent",         "DSL Home",       Ethernet,        Ethernet6,   "Mobile",
        "Mobile No Carrier", "Mobile Refused", "Mobile Silent", "Old Mobile"};
    QVERIFY(WaitUntil([&] { return EntryNames() == Expected; }, 10));
  }

  // With NetworkManager on the bus and no provider named, detection
  // chooses it; the tool warns of profiles that come back by themselves.
  void DetectedWhenRunning() {
    REQUIRE_TESTBED(FTestbed);
    QProcess Tool;
    QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
    Environment.remove("DRAVIK_RAS_PROVIDER");
    Tool.setProcessEnvironment(Environment);
    Tool.start(ToolPath(), {"entries"});
    QVERIFY(Tool.waitForFinished(20000));
    QCOMPARE(Tool.exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(Tool.readAllStandardOutput()),
             QString("DSL Agent\nDSL Home\n") + QString::fromStdString(Ethernet) + "\n" +
                 QString::fromStdString(Ethernet6) +
                 "\nMobile\nMobile No Carrier\nMobile Refused\nMobile Silent\nOld Mobile\n");
    // Warned of: the one profile that comes back by itself.
    const QStringList Warnings =
        QString::fromLocal8Bit(Tool.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(Warnings.size(), 1);
    QVERIFY2(Warnings[0].contains("\"Old Mobile\"") && Warnings[0].contains("autoconnect no"),
             qPrintable(Warnings[0]));
  }

  void CredentialsReadBack_data() {
    QTest::addColumn<QString>("Entry");
    QTest::addColumn<QString>("UserName");
    QTest::addColumn<QString>("Password");
    QTest::newRow("stored") << "DSL Home"
                            << "alice"
                            << "s3cret";
    QTest::newRow("agent-owned password") << "DSL Agent"
                                          << "bob"
                                          << "";
    QTest::newRow("mobile") << "Mobile"
                            << "mob"
                            << "mobpw";
    QTest::newRow("no credentials") << QString::fromStdString(Ethernet) << ""
                                    << "";
  }
  void CredentialsReadBack() {
    REQUIRE_TESTBED(FTestbed);
    QFETCH(QString, Entry);
    QFETCH(QString, UserName);
    QFETCH(QString, Password);
    RASDIALPARAMSA Params = DialParamsFor(Entry.toStdString());
    BOOL HasPassword = -1;
    QCOMPARE(RasGetEntryDialParamsA(nullptr, &Params, &HasPassword), ERROR_SUCCESS);
    QCOMPARE(QString(Params.szUserName), UserName);
    QCOMPARE(QString(Params.szPassword), Password);
    QCOMPARE(HasPassword, Password.isEmpty() ? 0 : 1);
  }

  // A dial reports every state in order and ends connected with an address
  // from the far end's range; each dial after a hang-up brings a new one.
  void DialHangUpDialAgain() {
    REQUIRE_TESTBED(FTestbed);
    std::vector<std::string> Addresses;
    for (int Turn = 0; Turn < 2; ++Turn) {
      HRASCONN Handle = 0;
      DWORD Started = 0;
      const auto Notes = DialAndWait(Ethernet, Handle, &Started);
      QCOMPARE(Started, ERROR_SUCCESS);
      QVERIFY(Handle != 0);
      QVERIFY(Notes.size() >= 2);
      QCOMPARE(Notes.front().State, RASCS_OpenPort);
      for (size_t Index = 1; Index < Notes.size(); ++Index) {
        QVERIFY2(Notes[Index].State > Notes[Index - 1].State, "states go forward only");
      }
      QCOMPARE(Notes.back().State, RASCS_Connected);
      QCOMPARE(Notes.back().Error, DWORD(0));
      // What a dialler asks next finds the connection up, with its address.
      QCOMPARE(StateOf(Handle), RASCS_Connected);
      const auto [Own, Peer] = AddressesOf(Handle);
      QVERIFY2(InTestbedRange(Own), Own.c_str());
      QCOMPARE(Peer, std::string("10.77.0.1"));
      QCOMPARE(ListedEntryNames(), std::vector<std::string>{Ethernet});
      Addresses.push_back(Own);
      QCOMPARE(RasHangUpA(Handle), ERROR_SUCCESS);
      QVERIFY(ListedConnections().empty());
      DWORD Gone = 0;
      StateOf(Handle, &Gone);
      QCOMPARE(Gone, DWORD(ERROR_INVALID_HANDLE));
    }
    QVERIFY(Addresses[0] != Addresses[1]);
  }

  // The line's IPv6 facts from its IP6Config: the global address (not the
  // link-local one) and its prefix; a new address each dial. A line without
  // IPv6 has none, and says so without failing.
  void Ipv6Facts() {
    REQUIRE_TESTBED(FTestbed);
    std::vector<std::string> Addresses;
    for (int Turn = 0; Turn < 2; ++Turn) {
      HRASCONN Handle = 0;
      const auto Notes = DialAndWait(Ethernet6, Handle);
      QVERIFY(!Notes.empty());
      QCOMPARE(Notes.back().State, RASCS_Connected);
      char Address6[DRAVIK_RAS_IPV6_TEXT] = {};
      char Prefix6[DRAVIK_RAS_IPV6_TEXT] = {};
      QCOMPARE(DravikRasIpv6Info(Handle, Address6, sizeof Address6, Prefix6, sizeof Prefix6),
               DWORD(ERROR_SUCCESS));
      QVERIFY2(QByteArray(Address6).startsWith("2001:db8:77:0:"), Address6);
      QCOMPARE(QByteArray(Prefix6), QByteArray("2001:db8:77::/64"));
      Addresses.push_back(Address6);
      QCOMPARE(RasHangUpA(Handle), ERROR_SUCCESS);
    }
    QVERIFY(Addresses[0] != Addresses[1]);
    HRASCONN Handle = 0;
    QCOMPARE(DialAndWait(Ethernet, Handle).back().State, RASCS_Connected);
    char Address6[DRAVIK_RAS_IPV6_TEXT] = "x";
    char Prefix6[DRAVIK_RAS_IPV6_TEXT] = "x";
    QCOMPARE(DravikRasIpv6Info(Handle, Address6, sizeof Address6, Prefix6, sizeof Prefix6),
             DWORD(ERROR_SUCCESS));
    QCOMPARE(QByteArray(Address6), QByteArray());
    QCOMPARE(QByteArray(Prefix6), QByteArray());
    QCOMPARE(RasHangUpA(Handle), ERROR_SUCCESS);
  }

  // Through the stand-in modem: NetworkManager dials the gsm profile for
  // real; its failures come back as the platform's codes.
  void MobileDials_data() {
    QTest::addColumn<QString>("Entry");
    QTest::addColumn<uint>("Code");
    QTest::newRow("connects") << "Mobile" << 0u;
    QTest::newRow("password refused") << "Mobile Refused" << uint(ERROR_AUTHENTICATION_FAILURE);
    QTest::newRow("no carrier") << "Mobile No Carrier" << uint(ERROR_NO_CARRIER);
  }
  void MobileDials() {
    REQUIRE_TESTBED(FTestbed);
    QFETCH(QString, Entry);
    QFETCH(uint, Code);
    HRASCONN Handle = 0;
    DWORD Started = 0;
    const auto Notes = DialAndWait(Entry.toStdString(), Handle, &Started);
    QCOMPARE(Started, ERROR_SUCCESS);
    QVERIFY(!Notes.empty());
    QCOMPARE(Notes.front().State, RASCS_OpenPort);
    QCOMPARE(Notes.back().Error, DWORD(Code));
    if (Code == 0) {
      QCOMPARE(Notes.back().State, RASCS_Connected);
      QCOMPARE(AddressesOf(Handle),
               std::make_pair(std::string("10.78.0.2"), std::string("10.78.0.1")));
      QCOMPARE(RasHangUpA(Handle), ERROR_SUCCESS);
    } else {
      QVERIFY(Notes.back().State != RASCS_Connected);
      QVERIFY(WaitUntil([] { return ListedConnections().empty(); }, 5));
    }
  }

  // The same connection has the same handle in another process.
  void HandlesAgreeAcrossProcesses() {
    REQUIRE_TESTBED(FTestbed);
    RASDIALPARAMSA Params = StoredParams(Ethernet);
    HRASCONN Handle = 0;
    QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle), ERROR_SUCCESS);
    QProcess Tool;
    Tool.start(ToolPath(), {"connections"});
    QVERIFY(Tool.waitForFinished(20000));
    QCOMPARE(Tool.exitCode(), 0);
    const QStringList Fields = QString::fromLocal8Bit(Tool.readAllStandardOutput()).split('\t');
    QCOMPARE(Fields.value(0), QString::number(Handle));
    QCOMPARE(Fields.value(1), QString::fromStdString(Ethernet));
    QCOMPARE(Fields.value(2), QString("Connected"));
    QCOMPARE(Fields.value(3), QString::fromStdString(AddressesOf(Handle).first));
  }

  // Credentials other than the stored ones are refused, never written into
  // the profile; a dial of an entry not listed finds no entry.
  void DialRefusals_data() {
    QTest::addColumn<QString>("Entry");
    QTest::addColumn<QString>("UserName");
    QTest::addColumn<QString>("Password");
    QTest::addColumn<uint>("Code");
    QTest::newRow("other user") << "DSL Home"
                                << "mallory"
                                << "s3cret" << uint(ERROR_WRONG_INFO_SPECIFIED);
    QTest::newRow("other password") << "DSL Home"
                                    << "alice"
                                    << "guess" << uint(ERROR_WRONG_INFO_SPECIFIED);
    QTest::newRow("password for an agent-owned one") << "DSL Agent"
                                                     << "bob"
                                                     << "typed" << uint(ERROR_WRONG_INFO_SPECIFIED);
    QTest::newRow("type not chosen") << "Not A Line"
                                     << ""
                                     << "" << uint(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY);
  }
  void DialRefusals() {
    REQUIRE_TESTBED(FTestbed);
    QFETCH(QString, Entry);
    QFETCH(QString, UserName);
    QFETCH(QString, Password);
    QFETCH(uint, Code);
    RASDIALPARAMSA Params = DialParamsFor(Entry.toStdString());
    std::strcpy(Params.szUserName, UserName.toUtf8().constData());
    std::strcpy(Params.szPassword, Password.toUtf8().constData());
    HRASCONN Handle = 0;
    QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle), DWORD(Code));
    QVERIFY(ListedConnections().empty());
    // What NetworkManager holds for the profile is unchanged.
    const RASDIALPARAMSA Stored = StoredParams("DSL Home");
    QCOMPARE(QString(Stored.szUserName), QString("alice"));
    QCOMPARE(QString(Stored.szPassword), QString("s3cret"));
  }

  // The far end goes down: NetworkManager takes the connection down and the
  // listing no longer shows it.
  void FarEndCut() {
    REQUIRE_TESTBED(FTestbed);
    HRASCONN Handle = 0;
    const auto Notes = DialAndWait(Ethernet, Handle);
    QVERIFY(!Notes.empty());
    QCOMPARE(Notes.back().State, RASCS_Connected);
    QCOMPARE(FTestbed.Do({"cut"}).Exit, 0);
    const bool Gone = WaitUntil([] { return ListedConnections().empty(); }, 20);
    QCOMPARE(FTestbed.Do({"mend"}).Exit, 0);
    QVERIFY(Gone);
    // The line back, ready for the next dial.
    QVERIFY(WaitUntil(
        [] {
          return TNmTestbed::Nmcli({"-g", "GENERAL.STATE", "device", "show", "veth-c"})
              .Out.startsWith("30");
        },
        20));
    DWORD Result = 0;
    StateOf(Handle, &Result);
    QCOMPARE(Result, DWORD(ERROR_INVALID_HANDLE));
  }

  // NetworkManager stopped: every call fails with 711 at once. Started
  // again: the connection it kept up is seen again, by the same program.
  void NetworkManagerStopsAndReturns() {
    REQUIRE_TESTBED(FTestbed);
    HRASCONN Handle = 0;
    DWORD Started = 0;
    const auto Notes = DialAndWait(Ethernet, Handle, &Started);
    QCOMPARE(Started, ERROR_SUCCESS);
    QVERIFY(!Notes.empty());
    QCOMPARE(Notes.back().State, RASCS_Connected);
    const std::string Address = AddressesOf(Handle).first;

    QCOMPARE(FTestbed.Do({"nm-stop"}).Exit, 0);
    QVERIFY(WaitUntil(
        [] {
          DWORD Result = 0;
          EntryNames(&Result);
          return Result == ERROR_RASMAN_CANNOT_INITIALIZE;
        },
        5));
    QElapsedTimer Timer;
    Timer.start();
    DWORD Listing = 0;
    ListedConnections(&Listing);
    QCOMPARE(Listing, DWORD(ERROR_RASMAN_CANNOT_INITIALIZE));
    RASDIALPARAMSA Params = DialParamsFor(Ethernet);
    QCOMPARE(RasGetEntryDialParamsA(nullptr, &Params, nullptr), ERROR_RASMAN_CANNOT_INITIALIZE);
    HRASCONN Other = 0;
    QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Other),
             ERROR_RASMAN_CANNOT_INITIALIZE);
    QCOMPARE(RasHangUpA(Handle), ERROR_RASMAN_CANNOT_INITIALIZE);
    QVERIFY2(Timer.elapsed() < 2000, "calls answer at once while NetworkManager is away");

    const auto Back = FTestbed.Do({"nm-start"});
    QVERIFY2(Back.Exit == 0, qPrintable(Back.Err));
    QVERIFY(WaitUntil(
        [&] {
          const auto Listed = ListedConnections();
          return Listed.size() == 1 && Listed[0].szEntryName == Ethernet &&
                 StateOf(Listed[0].hrasconn) == RASCS_Connected &&
                 AddressesOf(Listed[0].hrasconn).first == Address;
        },
        20));
    QCOMPARE(EntryNames().size(), size_t(9));
  }

  // A dial that makes no progress (the network never answers the modem)
  // ends with a time-out and is taken down.
  void DialWithoutProgressTimesOut() {
    REQUIRE_TESTBED(FTestbed);
    QElapsedTimer Timer;
    Timer.start();
    HRASCONN Handle = 0;
    DWORD Started = 0;
    const auto Notes = DialAndWait("Mobile Silent", Handle, &Started);
    QCOMPARE(Started, ERROR_SUCCESS);
    QVERIFY(!Notes.empty());
    QCOMPARE(Notes.back().Error, DWORD(638));
    QVERIFY(Timer.elapsed() >= DialTimeoutSeconds * 1000 - 100);
    QVERIFY(WaitUntil([] { return ListedConnections().empty(); }, 5));
  }
};

DRAVIK_TEST_MAIN(TestRasNetworkManager)
#include "TestRasNetworkManager.moc"
