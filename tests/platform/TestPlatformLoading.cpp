// Run-time loading of the dial-up library by its platform name, and the one
// copy that the program's own calls and the loaded entry points share.

#include <QTest>
#include <atomic>
#include <cstring>
#include <memory>

#include "Ras.h"
#include "RasProvider.h"
#include "RasTestSupport.h"
#include "TestSupport.h"
#include "Windows.h"

namespace {

// A provider that answers with one marked connection and counts the calls
// that reach it.
class TFakeProvider : public dravik::ras::RasProvider {
 public:
  std::atomic<int> Calls{0};
  bool Overlong = false;

  std::string Name() const override { return "fake"; }
  DWORD EnumEntries(std::vector<std::string>& AEntries) override {
    ++Calls;
    AEntries = {"Fake entry"};
    return ERROR_SUCCESS;
  }
  DWORD GetEntryDialParams(RASDIALPARAMSA& AParams) override {
    ++Calls;
    std::memset(AParams.szUserName, 'u', sizeof AParams.szUserName);  // no end of its own
    return ERROR_SUCCESS;
  }
  DWORD Dial(const RASDIALPARAMSA&, dravik::ras::TDialNotifier, HRASCONN& AHandle) override {
    ++Calls;
    AHandle = 4242;
    return ERROR_SUCCESS;
  }
  DWORD HangUp(HRASCONN) override {
    ++Calls;
    return ERROR_SUCCESS;
  }
  DWORD EnumConnections(std::vector<RASCONNA>& AConnections) override {
    ++Calls;
    RASCONNA Connection;
    std::memset(&Connection, 0, sizeof Connection);
    Connection.hrasconn = 4242;
    std::strcpy(Connection.szEntryName, "Fake entry");
    if (Overlong) std::memset(Connection.szDeviceName, 'd', sizeof Connection.szDeviceName);
    AConnections = {Connection};
    return ERROR_SUCCESS;
  }
  DWORD GetConnectStatus(HRASCONN, RASCONNSTATUSA& AStatus) override {
    ++Calls;
    AStatus.rasconnstate = RASCS_Connected;
    return ERROR_SUCCESS;
  }
  DWORD GetPppIpProjection(HRASCONN, RASPPPIPA& AProjection) override {
    ++Calls;
    std::strcpy(AProjection.szIpAddress, "10.9.8.7");
    return ERROR_SUCCESS;
  }
};

}  // namespace

class TestPlatformLoading : public QObject {
  Q_OBJECT

 private:
  TSimServiceDir FDir{TSimServiceDir::ServiceChoosesProvider};

 private slots:
  void cleanup() { dravik::ras::SetProviderForTesting(nullptr); }

  void LoadByName_data() {
    QTest::addColumn<QByteArray>("Name");
    QTest::addColumn<bool>("Found");
    QTest::newRow("platform name") << QByteArray("RASAPI32.DLL") << true;
    QTest::newRow("lower case") << QByteArray("rasapi32.dll") << true;
    QTest::newRow("mixed case") << QByteArray("RasApi32.Dll") << true;
    QTest::newRow("missing library") << QByteArray("NOSUCHLIB.DLL") << false;
    QTest::newRow("empty name") << QByteArray("") << false;
  }
  void LoadByName() {
    QFETCH(QByteArray, Name);
    QFETCH(bool, Found);
    const HMODULE Library = LoadLibraryA(Name.constData());
    QCOMPARE(Library != nullptr, Found);
    if (Library != nullptr) QVERIFY(FreeLibrary(Library) != 0);
  }

  void EntryPoints_data() {
    QTest::addColumn<QByteArray>("Name");
    QTest::addColumn<bool>("Found");
    for (const char* Name :
         {"RasEnumConnectionsA", "RasGetConnectStatusA", "RasHangUpA", "RasGetProjectionInfoA",
          "RasDialA", "RasEnumEntriesA", "RasGetEntryDialParamsA"}) {
      QTest::newRow(Name) << QByteArray(Name) << true;
    }
    QTest::newRow("unknown name") << QByteArray("RasNoSuchCallA") << false;
    // Only the platform's calls are visible, not the library's inner parts.
    QTest::newRow("inner part") << QByteArray("_ZN6dravik3ras8SimNowNsEv") << false;
  }
  void EntryPoints() {
    QFETCH(QByteArray, Name);
    QFETCH(bool, Found);
    const HMODULE Library = LoadLibraryA("RASAPI32.DLL");
    QVERIFY(Library != nullptr);
    QCOMPARE(GetProcAddress(Library, Name.constData()) != nullptr, Found);
    FreeLibrary(Library);
  }

  void NullArguments() {
    QVERIFY(LoadLibraryA(nullptr) == nullptr);
    QVERIFY(GetProcAddress(nullptr, "RasDialA") == nullptr);
    QCOMPARE(FreeLibrary(nullptr), BOOL(0));
  }

  // The loaded entry points are the linked ones: a provider set for this
  // process answers through both, after the size checks of the library.
  void LoadedAndLinkedShareOneCopy() {
    const HMODULE Library = LoadLibraryA("RASAPI32.DLL");
    QVERIFY(Library != nullptr);
    const auto Enum =
        reinterpret_cast<TRasEnumConnectionsA>(GetProcAddress(Library, "RasEnumConnectionsA"));
    QVERIFY(Enum == &RasEnumConnectionsA);

    auto Fake = std::make_shared<TFakeProvider>();
    dravik::ras::SetProviderForTesting(Fake);
    RASCONNA Connections[8];
    std::memset(Connections, 0, sizeof Connections);
    Connections[0].dwSize = sizeof(RASCONNA);
    DWORD Bytes = sizeof Connections;
    DWORD Count = 0;
    QCOMPARE(Enum(Connections, &Bytes, &Count), ERROR_SUCCESS);
    QCOMPARE(Count, DWORD(1));
    QCOMPARE(QByteArray(Connections[0].szEntryName), QByteArray("Fake entry"));
    QCOMPARE(Fake->Calls.load(), 1);

    // A wrong size never reaches the provider.
    Connections[0].dwSize = 0;
    QCOMPARE(Enum(Connections, &Bytes, &Count), ERROR_INVALID_SIZE);
    QCOMPARE(Fake->Calls.load(), 1);

    dravik::ras::SetProviderForTesting(nullptr);
    Connections[0].dwSize = sizeof(RASCONNA);
    Bytes = sizeof Connections;
    QCOMPARE(Enum(Connections, &Bytes, &Count), ERROR_SUCCESS);
    QCOMPARE(Count, DWORD(0));
    FreeLibrary(Library);
  }

  // Texts a provider leaves without an end still reach the caller ended
  // inside their fields.
  void ProviderTextsEndInsideFields() {
    auto Fake = std::make_shared<TFakeProvider>();
    Fake->Overlong = true;
    dravik::ras::SetProviderForTesting(Fake);
    const auto Listed = ListedConnections();
    QCOMPARE(Listed.size(), size_t(1));
    QCOMPARE(std::strlen(Listed[0].szDeviceName), size_t(RAS_MaxDeviceName));
    RASDIALPARAMSA Params = DialParamsFor("Fake entry");
    QCOMPARE(RasGetEntryDialParamsA(nullptr, &Params, nullptr), ERROR_SUCCESS);
    QCOMPARE(std::strlen(Params.szUserName), size_t(UNLEN));
  }
};

DRAVIK_TEST_MAIN(TestPlatformLoading)
#include "TestPlatformLoading.moc"
