// The simulated dial-up service inside one process: dialling, listing,
// notifications, hang-up, faults, the phonebook and the files it keeps.

#include <arpa/inet.h>
#include <sys/stat.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <algorithm>
#include <mutex>
#include <thread>

#include "AddressPrefix.h"
#include "Ras.h"
#include "RasControl.h"
#include "RasIpv6Info.h"
#include "RasTestSupport.h"
#include "SyncObjects.h"
#include "TPlantedFile.h"
#include "TestSupport.h"

namespace {

struct TNotification {
  UINT Msg;
  RASCONNSTATE State;
  DWORD Error;
  std::thread::id Thread;
};

// What the notifier received, from whichever thread it ran on.
std::mutex NotifiedLock;
std::vector<TNotification> Notified;

void WINAPI RecordNotification(UINT AMsg, RASCONNSTATE AState, DWORD AError) {
  std::lock_guard<std::mutex> Guard(NotifiedLock);
  Notified.push_back({AMsg, AState, AError, std::this_thread::get_id()});
}

std::vector<TNotification> NotifiedSoFar() {
  std::lock_guard<std::mutex> Guard(NotifiedLock);
  return Notified;
}

bool DialEnded() {
  const auto List = NotifiedSoFar();
  return !List.empty() && (List.back().Error != 0 || List.back().State == RASCS_Connected);
}

// The order in which a dial passes its states.
int StepOf(RASCONNSTATE AState) {
  const RASCONNSTATE Order[] = {RASCS_OpenPort,
                                RASCS_PortOpened,
                                RASCS_ConnectDevice,
                                RASCS_DeviceConnected,
                                RASCS_AllDevicesConnected,
                                RASCS_Authenticate,
                                RASCS_Authenticated,
                                RASCS_Connected};
  const auto* Found = std::find(std::begin(Order), std::end(Order), AState);
  return Found == std::end(Order) ? -1 : static_cast<int>(Found - std::begin(Order));
}

bool IsIpAddress(const std::string& AText) {
  in_addr Address;
  return inet_pton(AF_INET, AText.c_str(), &Address) == 1;
}

// The entry names the service lists; its answer in AResult.
QStringList EnumeratedEntries(DWORD& AResult) {
  std::vector<RASENTRYNAMEA> Buffer(100);
  std::memset(Buffer.data(), 0, Buffer.size() * sizeof(RASENTRYNAMEA));
  Buffer[0].dwSize = sizeof(RASENTRYNAMEA);
  DWORD Bytes = static_cast<DWORD>(Buffer.size() * sizeof(RASENTRYNAMEA));
  DWORD Count = 0;
  AResult = RasEnumEntriesA(nullptr, nullptr, Buffer.data(), &Bytes, &Count);
  QStringList Listed;
  for (DWORD Index = 0; AResult == ERROR_SUCCESS && Index < Count; ++Index)
    Listed << Buffer[Index].szEntryName;
  return Listed;
}

const QByteArray Phonebook =
    "[Slow]\nUserName=alice\nPassword=secret\nDialSeconds=0.4\n"
    "[Instant]\nUserName=bob\nPassword=pw\nDialSeconds=0\n"
    "[Failing]\nDialSeconds=0.2\nErrorCode=678\n"
    "[Quick]\nUserName=carol\nPassword=x\nDialSeconds=0.15\n";

}  // namespace

class TestRasSim : public QObject {
  Q_OBJECT

 private:
  TSimServiceDir FDir{TSimServiceDir::ServiceChoosesProvider};

  // Something done to a dial while it is on its way.
  void Interfere(const QString& AAction, const std::string& AEntry, HRASCONN AHandle) {
    if (AAction.isEmpty()) return;
    QTRY_VERIFY_WITH_TIMEOUT(StateOf(AHandle) >= RASCS_PortOpened, 5000);
    if (AAction == "hangup") QCOMPARE(RasHangUpA(AHandle), ERROR_SUCCESS);
    if (AAction == "drop") QCOMPARE(DravikRasDropEntry(AEntry.c_str()), ERROR_SUCCESS);
  }

 private slots:
  void initTestCase() { FDir.WritePhonebook(Phonebook); }
  void init() {
    FDir.WritePhonebook(Phonebook);
    HangUpAll();
    std::lock_guard<std::mutex> Guard(NotifiedLock);
    Notified.clear();
  }

  // A dial is listed from the moment RasDialA returns, says how far it has
  // got, has no address until connected, and then has one.
  void DialIsListedAtOnceAndConnects() {
    RASDIALPARAMSA Params = StoredParams("Slow");
    HRASCONN Handle = 0;
    QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, reinterpret_cast<LPVOID>(&RecordNotification),
                      &Handle),
             ERROR_SUCCESS);
    QVERIFY(Handle != 0);
    const auto Listed = ListedConnections();
    QCOMPARE(Listed.size(), size_t(1));
    QCOMPARE(Listed[0].hrasconn, Handle);
    QCOMPARE(QByteArray(Listed[0].szEntryName), QByteArray("Slow"));
    QCOMPARE(QByteArray(Listed[0].szDeviceType), QByteArray("PPPoE"));
    QVERIFY(Listed[0].szDeviceName[0] != 0);
    QVERIFY(StateOf(Handle) < RASCS_Connected);
    DWORD Result = 0;
    QVERIFY(AddressesOf(Handle, &Result).first.empty());
    QCOMPARE(Result, ERROR_PROJECTION_NOT_COMPLETE);
    char Address6[DRAVIK_RAS_IPV6_TEXT] = "x";
    char Prefix6[DRAVIK_RAS_IPV6_TEXT] = "x";
    QCOMPARE(DravikRasIpv6Info(Handle, Address6, sizeof Address6, Prefix6, sizeof Prefix6),
             DWORD(ERROR_PROJECTION_NOT_COMPLETE));

    QTRY_COMPARE_WITH_TIMEOUT(StateOf(Handle), RASCS_Connected, 5000);
    const auto [Own, Peer] = AddressesOf(Handle, &Result);
    QCOMPARE(Result, ERROR_SUCCESS);
    QVERIFY2(IsIpAddress(Own), Own.c_str());
    QVERIFY2(IsIpAddress(Peer), Peer.c_str());
    QVERIFY(Own != Peer);
    // Beside it, the line's IPv6 facts: a /56 delegated from the
    // documentation range and an address in it.
    QCOMPARE(DravikRasIpv6Info(Handle, Address6, sizeof Address6, Prefix6, sizeof Prefix6),
             DWORD(ERROR_SUCCESS));
    QVERIFY2(IsGlobalIpv6(Address6), Address6);
    QVERIFY2(IsIpv6Prefix(Prefix6) && QByteArray(Prefix6).endsWith("/56") &&
                 Ipv6Network(Prefix6, 32) == "2001:db8::/32",
             Prefix6);
    QCOMPARE(Ipv6Network(Address6, 56), std::string(Prefix6));
    // The same through the platform's call, as the components make it.
    std::string Seen6, SeenPrefix6;
    QVERIFY(RasIpv6Info(Handle, Seen6, SeenPrefix6));
    QCOMPARE(Seen6, std::string(Address6));
    QCOMPARE(SeenPrefix6, std::string(Prefix6));
    // Buffers that could cut a text are refused; so is a handle not listed.
    QCOMPARE(DravikRasIpv6Info(Handle, Address6, DRAVIK_RAS_IPV6_TEXT - 1, Prefix6, sizeof Prefix6),
             DWORD(ERROR_BUFFER_TOO_SMALL));
    QCOMPARE(DravikRasIpv6Info(Handle, Address6, sizeof Address6, nullptr, 0),
             DWORD(ERROR_INVALID_PARAMETER));
    QCOMPARE(DravikRasIpv6Info(Handle + 1000, Address6, sizeof Address6, Prefix6, sizeof Prefix6),
             DWORD(ERROR_INVALID_HANDLE));
    QTRY_VERIFY_WITH_TIMEOUT(DialEnded(), 5000);
  }

  // The change notification: the caller's event is set when a connection
  // comes up (at the end of its dial, when nothing is written) and when it
  // ends; wrong arguments are refused; an event its caller has closed is let
  // go of at the next change.
  void ChangeNotification() {
    const HANDLE Event = CreateEventA(nullptr, 0, 0, nullptr);
    QCOMPARE(RasConnectionNotificationA(DRAVIK_ALL_RAS_CONNECTIONS, nullptr, RASCN_Connection),
             DWORD(ERROR_INVALID_HANDLE));
    QCOMPARE(RasConnectionNotificationA(DRAVIK_ALL_RAS_CONNECTIONS, Event, 0),
             DWORD(ERROR_INVALID_PARAMETER));
    QCOMPARE(RasConnectionNotificationA(DRAVIK_ALL_RAS_CONNECTIONS, Event, 4),
             DWORD(ERROR_INVALID_PARAMETER));
    QCOMPARE(RasConnectionNotificationA(DRAVIK_ALL_RAS_CONNECTIONS, Event,
                                        RASCN_Connection | RASCN_Disconnection),
             DWORD(ERROR_SUCCESS));
    QCOMPARE(WaitForSingleObject(Event, 0), WAIT_TIMEOUT);
    RASDIALPARAMSA Params = StoredParams("Slow");
    HRASCONN Handle = 0;
    QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, reinterpret_cast<LPVOID>(&RecordNotification),
                      &Handle),
             ERROR_SUCCESS);
    // Listed at once, connected 0.4 s later: two changes.
    QCOMPARE(WaitForSingleObject(Event, 2000), WAIT_OBJECT_0);
    QVERIFY(StateOf(Handle) < RASCS_Connected);
    QCOMPARE(WaitForSingleObject(Event, 2000), WAIT_OBJECT_0);
    QCOMPARE(StateOf(Handle), RASCS_Connected);
    QCOMPARE(RasHangUpA(Handle), ERROR_SUCCESS);
    QCOMPARE(WaitForSingleObject(Event, 2000), WAIT_OBJECT_0);
    QVERIFY(CloseHandle(Event));
    Params = StoredParams("Instant");
    QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle), ERROR_SUCCESS);
    QCOMPARE(RasHangUpA(Handle), ERROR_SUCCESS);
    QTRY_VERIFY_WITH_TIMEOUT(DialEnded(), 5000);
  }

  // A hang-up the service refuses leaves the line up and answers the code.
  void HangUpRefused() {
    FDir.WritePhonebook(Phonebook + "[Kept]\nDialSeconds=0\nHangUpErrorCode=5\n");
    RASDIALPARAMSA Params = StoredParams("Kept");
    HRASCONN Handle = 0;
    QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle), ERROR_SUCCESS);
    QCOMPARE(RasHangUpA(Handle), DWORD(ERROR_ACCESS_DENIED));
    QCOMPARE(StateOf(Handle), RASCS_Connected);
    FDir.WritePhonebook(Phonebook + "[Kept]\nDialSeconds=0\n");
    QCOMPARE(RasHangUpA(Handle), ERROR_SUCCESS);
  }

  // With no real service found the simulated one serves, and says so.
  void ChosenAsFallback() {
    DWORD How = 0;
    char Text[512] = {};
    QCOMPARE(DravikRasProviderChoice(&How, Text, sizeof Text), DWORD(ERROR_SUCCESS));
    QCOMPARE(How, DWORD(3));
    QVERIFY2(QByteArray(Text).contains("looked for: NetworkManager"), Text);
  }

  // Each dial of the entry gets an address other than the one before.
  void NextDialGetsAnotherAddress() {
    std::string Previous;
    for (int Round = 0; Round < 20; ++Round) {
      RASDIALPARAMSA Params = StoredParams("Instant");
      HRASCONN Handle = 0;
      QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle), ERROR_SUCCESS);
      const std::string Address = AddressesOf(Handle).first;
      QVERIFY(IsIpAddress(Address));
      QVERIFY2(Address != Previous, Address.c_str());
      Previous = Address;
      QCOMPARE(RasHangUpA(Handle), ERROR_SUCCESS);
    }
  }

  // How a dial ends, reported through the notifier (asynchronous) or as the
  // result of RasDialA (synchronous), and what stays listed.
  void DialEnds_data() {
    QTest::addColumn<QString>("Entry");
    QTest::addColumn<QString>("Action");
    QTest::addColumn<bool>("Async");
    QTest::addColumn<DWORD>("Error");
    QTest::addColumn<bool>("ListedAfter");
    for (bool Async : {true, false}) {
      const QString Mode = Async ? " async" : " sync";
      QTest::newRow(qPrintable("connects" + Mode)) << "Slow"
                                                   << "" << Async << DWORD(0) << true;
      QTest::newRow(qPrintable("entry with an error code" + Mode))
          << "Failing"
          << "" << Async << DWORD(678) << false;
      QTest::newRow(qPrintable("next dial made to fail" + Mode))
          << "Quick"
          << "fail-next" << Async << DWORD(777) << false;
      QTest::newRow(qPrintable("wrong password" + Mode))
          << "Quick"
          << "wrong-password" << Async << ERROR_AUTHENTICATION_FAILURE << false;
      QTest::newRow(qPrintable("hung up while dialling" + Mode))
          << "Slow"
          << "hangup" << Async << ERROR_USER_DISCONNECTION << false;
      QTest::newRow(qPrintable("line cut while dialling" + Mode))
          << "Slow"
          << "drop" << Async << ERROR_PORT_DISCONNECTED << false;
    }
  }
  void DialEnds() {
    QFETCH(QString, Entry);
    QFETCH(QString, Action);
    QFETCH(bool, Async);
    QFETCH(DWORD, Error);
    QFETCH(bool, ListedAfter);
    const std::string Name = Entry.toStdString();
    if (Action == "fail-next") QCOMPARE(DravikRasFailNextDial(Name.c_str(), 777), ERROR_SUCCESS);
    RASDIALPARAMSA Params = StoredParams(Name);
    if (Action == "wrong-password") std::strcpy(Params.szPassword, "guess");
    HRASCONN Handle = 0;
    DWORD Result = 0;
    if (Async) {
      Result = RasDialA(nullptr, nullptr, &Params, 0, reinterpret_cast<LPVOID>(&RecordNotification),
                        &Handle);
      QCOMPARE(Result, ERROR_SUCCESS);
      Interfere(Action, Name, Handle);
      QTRY_VERIFY_WITH_TIMEOUT(DialEnded(), 5000);
    } else {
      // A synchronous dial holds its thread; the interference comes from
      // another one, once the dial is listed.
      std::thread Other([&] {
        if (Action != "hangup" && Action != "drop") return;
        QElapsedTimer Waited;
        Waited.start();
        while (ListedConnections().empty() && Waited.elapsed() < 5000) {
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto Listed = ListedConnections();
        if (Listed.empty()) return;
        if (Action == "hangup") RasHangUpA(Listed[0].hrasconn);
        if (Action == "drop") DravikRasDropEntry(Name.c_str());
      });
      Result = RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle);
      Other.join();
      QVERIFY(Handle != 0);
      QCOMPARE(Result, Error);
    }
    if (Async) {
      const auto List = NotifiedSoFar();
      int LastStep = -1;
      for (size_t Index = 0; Index < List.size(); ++Index) {
        const TNotification& Note = List[Index];
        QCOMPARE(Note.Msg, WM_RASDIALEVENT);
        QVERIFY(Note.Thread != std::this_thread::get_id());
        const int Step = StepOf(Note.State);
        QVERIFY2(Step >= 0, qPrintable(QString::number(Note.State)));
        const bool Last = Index + 1 == List.size();
        // States come in order, each once; only the last report may repeat
        // the state it fails in.
        QVERIFY(Step > LastStep || (Last && Step == LastStep && Note.Error != 0));
        QCOMPARE(Note.Error, Last ? Error : DWORD(0));
        LastStep = Step;
      }
      QCOMPARE(StepOf(List.front().State), 0);
      if (Error == 0) QCOMPARE(List.back().State, RASCS_Connected);
      if (Error == 0) QCOMPARE(List.size(), size_t(8));
    }
    QCOMPARE(ListedConnections().size(), size_t(ListedAfter ? 1 : 0));
    QCOMPARE(StateOf(Handle), ListedAfter ? RASCS_Connected : RASCONNSTATE(-1));
    // Nothing is reported after the end.
    const size_t Reported = NotifiedSoFar().size();
    QTest::qWait(250);
    QCOMPARE(NotifiedSoFar().size(), Reported);
  }

  // A made-to-fail dial fails once; the next dial of the entry connects.
  void FailNextAppliesOnce() {
    QCOMPARE(DravikRasFailNextDial("Instant", 629), ERROR_SUCCESS);
    for (DWORD Expected : {DWORD(629), DWORD(0)}) {
      RASDIALPARAMSA Params = StoredParams("Instant");
      HRASCONN Handle = 0;
      QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle), Expected);
    }
    QCOMPARE(ListedEntryNames(), std::vector<std::string>{"Instant"});
  }

  // The repeat fault hands the entry's last address to its next dial, once;
  // the dial after it gets a fresh address again.
  void RepeatNextAppliesOnce() {
    auto DialAddress = [] {
      RASDIALPARAMSA Params = StoredParams("Instant");
      HRASCONN Handle = 0;
      if (RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle) != ERROR_SUCCESS)
        return std::string();
      const std::string Address = AddressesOf(Handle).first;
      RasHangUpA(Handle);
      return Address;
    };
    const std::string First = DialAddress();
    QVERIFY(IsIpAddress(First));
    QCOMPARE(DravikRasRepeatNextAddress("Instant"), ERROR_SUCCESS);
    QCOMPARE(DialAddress(), First);
    const std::string Third = DialAddress();
    QVERIFY(IsIpAddress(Third));
    QVERIFY(Third != First);
    QCOMPARE(DravikRasRepeatNextAddress("Nobody"), DWORD(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY));
  }

  // The subnet fault, set by the tool in another process, gives the next
  // dial, once, another address in the /24 of the last one and another IPv6
  // address in its prefix; the repeat fault gives both addresses again;
  // without a fault both are fresh.
  void AddressFaults_data() {
    QTest::addColumn<QString>("Fault");
    QTest::newRow("none") << "";
    QTest::newRow("subnet") << "subnet";
    QTest::newRow("repeat") << "repeat";
  }
  void AddressFaults() {
    QFETCH(QString, Fault);
    struct TLine {
      std::string Address, Address6, Prefix6;
    };
    auto Dial = [] {
      TLine Line;
      RASDIALPARAMSA Params = StoredParams("Instant");
      HRASCONN Handle = 0;
      if (RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle) != ERROR_SUCCESS) return Line;
      Line.Address = AddressesOf(Handle).first;
      RasIpv6Info(Handle, Line.Address6, Line.Prefix6);
      RasHangUpA(Handle);
      return Line;
    };
    const TLine First = Dial();
    QVERIFY(IsIpAddress(First.Address));
    QVERIFY(!First.Prefix6.empty());
    if (!Fault.isEmpty()) {
      QProcess Tool;
      Tool.start(ToolPath(), {Fault, "Instant"});
      QVERIFY(Tool.waitForFinished(20000));
      QCOMPARE(Tool.exitCode(), 0);
    }
    const TLine Second = Dial();
    QVERIFY(IsIpAddress(Second.Address));
    QCOMPARE(Ipv6Network(Second.Address6, 56), Second.Prefix6);
    const bool Same24 = Ipv4Network(First.Address, 24) == Ipv4Network(Second.Address, 24);
    if (Fault == "repeat") {
      QCOMPARE(Second.Address, First.Address);
      QCOMPARE(Second.Address6, First.Address6);
      QCOMPARE(Second.Prefix6, First.Prefix6);
    } else if (Fault == "subnet") {
      QVERIFY(Second.Address != First.Address);
      QVERIFY2(Same24, (First.Address + " " + Second.Address).c_str());
      QVERIFY(Second.Address6 != First.Address6);
      QCOMPARE(Ipv6Network(Second.Address6, 64), Ipv6Network(First.Address6, 64));
      QCOMPARE(Second.Prefix6, First.Prefix6);
    } else {
      QVERIFY(Second.Address != First.Address);
      QVERIFY(Second.Prefix6 != First.Prefix6);
    }
    // Once only.
    QVERIFY(Dial().Prefix6 != Second.Prefix6);
  }

  // A second dial of an entry already on its way joins that connection.
  void SecondDialJoins() {
    RASDIALPARAMSA Params = StoredParams("Quick");
    HRASCONN First = 0;
    HRASCONN Second = 0;
    QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, reinterpret_cast<LPVOID>(&RecordNotification),
                      &First),
             ERROR_SUCCESS);
    QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Second), ERROR_SUCCESS);
    QCOMPARE(Second, First);
    QCOMPARE(StateOf(First), RASCS_Connected);
    QCOMPARE(ListedConnections().size(), size_t(1));
    QTRY_VERIFY_WITH_TIMEOUT(DialEnded(), 5000);
  }

  // A handle that is no longer (or never was) a connection's.
  void StaleHandle_data() {
    QTest::addColumn<bool>("Issued");
    QTest::newRow("hung up") << true;
    QTest::newRow("never issued") << false;
  }
  void StaleHandle() {
    QFETCH(bool, Issued);
    HRASCONN Handle = 0xFFFFFF00u;
    if (Issued) {
      RASDIALPARAMSA Params = StoredParams("Instant");
      QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle), ERROR_SUCCESS);
      QCOMPARE(RasHangUpA(Handle), ERROR_SUCCESS);
    }
    QCOMPARE(RasHangUpA(Handle), ERROR_INVALID_HANDLE);
    DWORD Result = 0;
    StateOf(Handle, &Result);
    QCOMPARE(Result, ERROR_INVALID_HANDLE);
    AddressesOf(Handle, &Result);
    QCOMPARE(Result, ERROR_INVALID_HANDLE);
    // A new dial never gets the handle back.
    RASDIALPARAMSA Params = StoredParams("Instant");
    HRASCONN Next = 0;
    QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Next), ERROR_SUCCESS);
    QVERIFY(Next != Handle);
  }

  // The phonebook as written by hand: what is listed, in which order.
  void PhonebookListing_data() {
    QTest::addColumn<QByteArray>("Text");
    QTest::addColumn<QStringList>("Entries");
    const QByteArray Long256(256, 'L');
    const QByteArray Long257(257, 'M');
    QTest::newRow("file order") << QByteArray("[Zeta]\n[Alpha]\n[Mid]\n")
                                << QStringList{"Zeta", "Alpha", "Mid"};
    QTest::newRow("letter case makes names differ")
        << QByteArray("[Home]\n[home]\n[HOME]\n") << QStringList{"Home", "home", "HOME"};
    QTest::newRow("spaces inside a name kept")
        << QByteArray("[ My DSL ]\n  [Work line]  \n") << QStringList{" My DSL ", "Work line"};
    QTest::newRow("256 kept, 257 skipped") << "[" + Long257 + "]\n[" + Long256 + "]\n[After]\n"
                                           << QStringList{QString(Long256), "After"};
    QTest::newRow("repeated section listed once")
        << QByteArray("[A]\nUserName=1\n[B]\n[A]\nUserName=2\n") << QStringList{"A", "B"};
    QTest::newRow("malformed lines skipped")
        << QByteArray("junk\n[Open\n=x\n[]\n[Good]\nno equals sign\n[Also good]\n")
        << QStringList{"Good", "Also good"};
    QTest::newRow("comments and CRLF")
        << QByteArray("; note\r\n# note\r\n[Dos]\r\nA=b\r\n") << QStringList{"Dos"};
    QTest::newRow("binary junk") << QByteArray("\x01\xff[\x00]\n\xfe\n[Ok]\n", 14)
                                 << QStringList{"Ok"};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
  }
  void PhonebookListing() {
    QFETCH(QByteArray, Text);
    QFETCH(QStringList, Entries);
    FDir.WritePhonebook(Text);
    std::vector<RASENTRYNAMEA> Buffer(100);
    std::memset(Buffer.data(), 0, Buffer.size() * sizeof(RASENTRYNAMEA));
    Buffer[0].dwSize = sizeof(RASENTRYNAMEA);
    DWORD Bytes = static_cast<DWORD>(Buffer.size() * sizeof(RASENTRYNAMEA));
    DWORD Count = 0;
    QCOMPARE(RasEnumEntriesA(nullptr, nullptr, Buffer.data(), &Bytes, &Count), ERROR_SUCCESS);
    QStringList Listed;
    for (DWORD Index = 0; Index < Count; ++Index) Listed << Buffer[Index].szEntryName;
    QCOMPARE(Listed, Entries);
  }

  // What else a user may have in the phonebook's place: the calls that read
  // it answer with the phonebook errors, a link is never followed (the
  // phonebook holds passwords), and nothing there is replaced, not even by
  // the sample a missing phonebook gets. Text that is not a phonebook is the
  // listing's table above.
  void BadPhonebookFiles_data() {
    QTest::addColumn<QString>("Kind");
    QTest::addColumn<QByteArray>("Content");
    QTest::addColumn<DWORD>("Result");
    QTest::addColumn<QStringList>("Entries");
    const QByteArray Text = "[Instant]\nUserName=bob\nPassword=pw\nDialSeconds=0\n";
    QTest::newRow("truncated inside a section name")
        << "file" << Text + "[Sl" << ERROR_SUCCESS << QStringList{"Instant"};
    QTest::newRow("huge") << "huge" << Text << ERROR_CANNOT_LOAD_PHONEBOOK << QStringList{};
    QTest::newRow("a folder") << "folder" << Text << ERROR_CANNOT_LOAD_PHONEBOOK << QStringList{};
    QTest::newRow("a FIFO") << "fifo" << Text << ERROR_CANNOT_LOAD_PHONEBOOK << QStringList{};
    QTest::newRow("unreadable") << "unreadable" << Text << ERROR_CANNOT_OPEN_PHONEBOOK
                                << QStringList{};
    QTest::newRow("link to a phonebook elsewhere")
        << "link" << Text << ERROR_CANNOT_OPEN_PHONEBOOK << QStringList{};
    QTest::newRow("dangling link")
        << "dangling link" << Text << ERROR_CANNOT_OPEN_PHONEBOOK << QStringList{};
    QTest::newRow("link loop") << "link loop" << Text << ERROR_CANNOT_OPEN_PHONEBOOK
                               << QStringList{};
  }
  void BadPhonebookFiles() {
    QFETCH(QString, Kind);
    QFETCH(QByteArray, Content);
    QFETCH(DWORD, Result);
    QFETCH(QStringList, Entries);
    if (!TPlantedFile::MeaningfulFor(Kind)) QSKIP("root reads a file without read permission");
    QVERIFY(QFile::remove(FDir.Phonebook()));
    const auto Cleanup = qScopeGuard([this] { TPlantedFile::Remove(FDir.Phonebook()); });
    QVERIFY(TPlantedFile::Plant(FDir.Phonebook(), Kind, Content));
    const auto Planted = [this] {
      QStringList Lines = TPlantedFile::Snapshot(FDir.Path());
      // The runtime state is the service's own.
      Lines.removeIf([](const QString& ALine) { return ALine.startsWith("run"); });
      return Lines;
    };
    const QStringList Before = Planted();
    DWORD Enumerated = 0;
    QCOMPARE(EnumeratedEntries(Enumerated), Entries);
    QCOMPARE(Enumerated, Result);
    RASDIALPARAMSA Params = DialParamsFor("Instant");
    QCOMPARE(RasGetEntryDialParamsA(nullptr, &Params, nullptr), Result);
    QCOMPARE(QByteArray(Params.szUserName), QByteArray(Result == ERROR_SUCCESS ? "bob" : ""));
    if (Result != ERROR_SUCCESS) {
      HRASCONN Handle = 0;
      QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle), Result);
      QCOMPARE(Handle, HRASCONN(0));
    }
    QCOMPARE(Planted(), Before);
  }

  // Values of an entry as the credentials lookup and a dial use them.
  void PhonebookValues_data() {
    QTest::addColumn<QByteArray>("Text");
    QTest::addColumn<QString>("UserName");
    QTest::addColumn<DWORD>("DialResult");
    QTest::newRow("first section of a name wins")
        << QByteArray("[E]\nUserName=first\nDialSeconds=0\n[E]\nUserName=second\n") << "first"
        << DWORD(0);
    QTest::newRow("spaces around keys and values")
        << QByteArray("[E]\n  UserName = pat \nDialSeconds= 0 \n") << "pat" << DWORD(0);
    QTest::newRow("user name too long skipped")
        << "[E]\nUserName=" + QByteArray(257, 'u') + "\nDialSeconds=0\n"
        << "" << DWORD(0);
    QTest::newRow("error code") << QByteArray("[E]\nDialSeconds=0\nErrorCode=691\n") << ""
                                << DWORD(691);
    QTest::newRow("error code not a number ignored")
        << QByteArray("[E]\nDialSeconds=0\nErrorCode=bad\n") << "" << DWORD(0);
    QTest::newRow("keys before any section ignored")
        << QByteArray("UserName=nobody\nErrorCode=5\n[E]\nDialSeconds=0\n") << "" << DWORD(0);
  }
  void PhonebookValues() {
    QFETCH(QByteArray, Text);
    QFETCH(QString, UserName);
    QFETCH(DWORD, DialResult);
    FDir.WritePhonebook(Text);
    RASDIALPARAMSA Params = DialParamsFor("E");
    QCOMPARE(RasGetEntryDialParamsA(nullptr, &Params, nullptr), ERROR_SUCCESS);
    QCOMPARE(QString(Params.szUserName), UserName);
    HRASCONN Handle = 0;
    QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle), DialResult);
  }

  // Malformed or invalid dial seconds fall back to the default, never to a
  // dial that hangs: the dial is listed and still on its way at once.
  void BadDialSecondsUseDefault_data() {
    QTest::addColumn<QByteArray>("Value");
    QTest::newRow("negative") << QByteArray("-1");
    QTest::newRow("not a number") << QByteArray("soon");
    QTest::newRow("infinite") << QByteArray("inf");
    QTest::newRow("too long") << QByteArray("1e308");
  }
  void BadDialSecondsUseDefault() {
    QFETCH(QByteArray, Value);
    FDir.WritePhonebook("[E]\nDialSeconds=" + Value + "\n");
    RASDIALPARAMSA Params = StoredParams("E");
    HRASCONN Handle = 0;
    QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, reinterpret_cast<LPVOID>(&RecordNotification),
                      &Handle),
             ERROR_SUCCESS);
    QVERIFY(StateOf(Handle) < RASCS_Connected);
    QCOMPARE(RasHangUpA(Handle), ERROR_SUCCESS);
    QTRY_VERIFY_WITH_TIMEOUT(DialEnded(), 5000);
  }

  // A fresh machine gets a phonebook with one entry to dial; the files that
  // hold the password and the state are the user's alone.
  void FilesAndFirstUse() {
    QVERIFY(QFile::remove(FDir.Phonebook()));
    std::vector<RASENTRYNAMEA> Buffer(100);
    Buffer[0].dwSize = sizeof(RASENTRYNAMEA);
    DWORD Bytes = static_cast<DWORD>(Buffer.size() * sizeof(RASENTRYNAMEA));
    DWORD Count = 0;
    QCOMPARE(RasEnumEntriesA(nullptr, nullptr, Buffer.data(), &Bytes, &Count), ERROR_SUCCESS);
    QCOMPARE(Count, DWORD(1));
    RASDIALPARAMSA Params = StoredParams(Buffer[0].szEntryName);
    QVERIFY(Params.szUserName[0] != 0);
    QVERIFY(Params.szPassword[0] != 0);
    DravikRasAddConnected(Buffer[0].szEntryName, 1);

    const auto ModeOf = [](const QString& APath) {
      struct stat Info;
      return stat(APath.toLocal8Bit().constData(), &Info) == 0 ? int(Info.st_mode & 0777) : -1;
    };
    QCOMPARE(ModeOf(FDir.Phonebook()), 0600);
    QCOMPARE(ModeOf(FDir.Path() + "/run"), 0700);
    QCOMPARE(ModeOf(FDir.Path() + "/run/state"), 0600);
    QCOMPARE(ModeOf(FDir.Path() + "/run/state.lock"), 0600);
  }

  // A state file that someone else wrote badly, or something else in its
  // place. What does not parse is ignored, and so is what cannot be the
  // state (too large, not a plain file): the next change writes a sound file
  // in its place, for the state is the service's own. What the service cannot
  // open (a link, no permission) fails every call with 711 and stays; so does
  // a folder, which a change cannot replace.
  void DamagedState_data() {
    QTest::addColumn<QString>("Kind");
    QTest::addColumn<QByteArray>("Text");
    QTest::addColumn<DWORD>("ListResult");
    QTest::addColumn<DWORD>("DialResult");
    const QByteArray Sound = "dravik-ras-state 1\nnext 9\n";
    const auto Row = [](const char* AName, const QString& AKind, const QByteArray& AText,
                        DWORD AList = ERROR_SUCCESS, DWORD ADial = ERROR_SUCCESS) {
      QTest::newRow(AName) << AKind << AText << AList << ADial;
    };
    Row("garbage", "file", QByteArray("\x00\x01garbage\n\xff", 11));
    Row("no header", "file", "conn 5 0 0 0 1.2.3.4 1.2.3.5 Instant\n");
    Row("bad fields", "file",
        "dravik-ras-state 1\n"
        "conn 0 0 0 0 1.2.3.4 1.2.3.5 Instant\n"
        "conn 5 x 0 0 1.2.3.4 1.2.3.5 Instant\n"
        "conn 6 0 0 0 999.2.3.4 1.2.3.5 Instant\n"
        "conn 7 0 0 0 1.2.3.4 1.2.3.5\n"
        "next 0\n");
    Row("another boot", "file",
        "dravik-ras-state 1\nboot some-other-boot\n"
        "conn 5 0 0 0 1.2.3.4 1.2.3.5 Instant\n");
    Row("truncated inside a connection", "file", Sound + "conn 5 0 0 0 1.2.3.4 1.2");
    Row("huge", "huge", Sound);
    Row("a FIFO", "fifo", Sound);
    Row("a folder", "folder", Sound, ERROR_SUCCESS, ERROR_RASMAN_CANNOT_INITIALIZE);
    Row("unreadable", "unreadable", Sound, ERROR_RASMAN_CANNOT_INITIALIZE,
        ERROR_RASMAN_CANNOT_INITIALIZE);
    Row("link to a state elsewhere", "link", Sound, ERROR_RASMAN_CANNOT_INITIALIZE,
        ERROR_RASMAN_CANNOT_INITIALIZE);
    Row("dangling link", "dangling link", Sound, ERROR_RASMAN_CANNOT_INITIALIZE,
        ERROR_RASMAN_CANNOT_INITIALIZE);
    Row("link loop", "link loop", Sound, ERROR_RASMAN_CANNOT_INITIALIZE,
        ERROR_RASMAN_CANNOT_INITIALIZE);
  }
  void DamagedState() {
    QFETCH(QString, Kind);
    QFETCH(QByteArray, Text);
    QFETCH(DWORD, ListResult);
    QFETCH(DWORD, DialResult);
    if (!TPlantedFile::MeaningfulFor(Kind)) QSKIP("root reads a file without read permission");
    const QString State = FDir.Path() + "/run/state";
    QFile::remove(State);
    const auto Cleanup = qScopeGuard([&State] { TPlantedFile::Remove(State); });
    QVERIFY(TPlantedFile::Plant(State, Kind, Text));
    const QStringList Before = TPlantedFile::Snapshot(FDir.Path() + "/run");
    DWORD Listing = 0;
    QCOMPARE(int(ListedConnections(&Listing).size()), 0);
    QCOMPARE(Listing, ListResult);
    RASDIALPARAMSA Params = StoredParams("Instant");
    HRASCONN Handle = 0;
    QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle), DialResult);
    if (DialResult != ERROR_SUCCESS) {
      QCOMPARE(Handle, HRASCONN(0));
      QCOMPARE(TPlantedFile::Snapshot(FDir.Path() + "/run"), Before);
      return;
    }
    QVERIFY(Handle != 0);
    QCOMPARE(ListedEntryNames(), std::vector<std::string>{"Instant"});
    QVERIFY(QFileInfo(State).isFile());
    QVERIFY(QFileInfo(State).size() < 4096);
  }

  // A state file as versions before the stamp wrote it, kept from before an
  // update: read as it stands, and still read afresh at every call when
  // someone rewrites it in place.
  void StateWithoutStamp() {
    QFile BootId(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    QVERIFY(BootId.open(QIODevice::ReadOnly));
    const QByteArray Boot = BootId.readLine().trimmed();
    const QByteArray Head = "dravik-ras-state 1\nboot " + Boot + "\nnext 41\n";
    QFile File(FDir.Path() + "/run/state");
    auto Write = [&File](const QByteArray& AText) {
      QVERIFY(File.open(QIODevice::WriteOnly | QIODevice::Truncate));
      File.write(AText);
      File.close();
    };
    Write(Head + "conn 40 0 0 0 100.64.7.9 100.64.0.1 Instant\nlast 100.64.7.9 Instant\n");
    QCOMPARE(ListedEntryNames(), std::vector<std::string>{"Instant"});
    QCOMPARE(StateOf(40), RASCS_Connected);
    QCOMPARE(AddressesOf(40).first, std::string("100.64.7.9"));

    Write(Head + "conn 39 0 0 0 100.64.7.8 100.64.0.1 Quick\nlast 100.64.7.9 Instant\n");
    DWORD Result = 0;
    StateOf(40, &Result);
    QCOMPARE(Result, DWORD(ERROR_INVALID_HANDLE));
    QCOMPARE(AddressesOf(39).first, std::string("100.64.7.8"));

    // The next change writes the file anew, stamped, and keeps what it held.
    QCOMPARE(RasHangUpA(39), ERROR_SUCCESS);
    RASDIALPARAMSA Params = StoredParams("Instant");
    HRASCONN Handle = 0;
    QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle), ERROR_SUCCESS);
    QCOMPARE(Handle, HRASCONN(41));
    QVERIFY(AddressesOf(Handle).first != "100.64.7.9");
    QVERIFY(File.open(QIODevice::ReadOnly));
    const QList<QByteArray> Lines = File.readAll().split('\n');
    File.close();
    QVERIFY(Lines.size() > 2);
    QCOMPARE(Lines[0], QByteArray("dravik-ras-state 1"));
    QVERIFY2(QRegularExpression(QStringLiteral("^stamp [0-9a-f]{16}$"))
                 .match(QString::fromLatin1(Lines[1]))
                 .hasMatch(),
             Lines[1].constData());
  }
};

DRAVIK_TEST_MAIN(TestRasSim)
#include "TestRasSim.moc"
