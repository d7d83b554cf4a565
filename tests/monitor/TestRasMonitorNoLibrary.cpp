// The monitor where the dial-up library cannot be found: this program is
// built apart from the library's folder and does not link it.

#include <QTest>

#include "CPRasMiniApi.h"
#include "CPRasMonitor.h"
#include "Exception.h"
#include "TestSupport.h"

class TestRasMonitorNoLibrary : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    // Otherwise nothing here would show what an absent library does.
    HMODULE Library = LoadLibraryA("RASAPI32.DLL");
    if (Library != nullptr) {
      FreeLibrary(Library);
      QFAIL("the dial-up library is reachable from this program");
    }
  }

  void NothingIsLoaded() {
    TRasMonitor Monitor(nullptr);
    QVERIFY(!Monitor.RasApiLoaded());
    QVERIFY(CPRasMiniApi::RasApiLoadAttempted);
    QVERIFY(CPRasMiniApi::RasApiLibrary == nullptr);
    QVERIFY(CPRasMiniApi::RasEnumConnectionsA == nullptr);
    QVERIFY(CPRasMiniApi::RasGetConnectStatusA == nullptr);
    QVERIFY(CPRasMiniApi::RasHangUpA == nullptr);
    QVERIFY(CPRasMiniApi::RasGetProjectionInfoA == nullptr);
    // One attempt per process, and a second monitor gets its answer.
    QVERIFY(!CPRasMiniApi::LoadRasApi());
    TRasMonitor Second(nullptr);
    QVERIFY(!Second.RasApiLoaded());
  }

  void WritingEnabledRaises_data() {
    QTest::addColumn<bool>("Value");
    QTest::newRow("true") << true;
    QTest::newRow("false") << false;
  }
  void WritingEnabledRaises() {
    QFETCH(bool, Value);
    TRasMonitor Monitor(nullptr);
    try {
      Monitor.SetEnabled(Value);
      QFAIL("no error raised");
    } catch (const Exception& AError) {
      QCOMPARE(AError.Message(), std::string("RASAPI Not Loaded, unable to access RAS Functions"));
    }
    QVERIFY(!Monitor.Enabled());
  }

  void DesignModeRaisesNothing() {
    TRasMonitor Monitor(nullptr);
    Monitor.SetDesigning(true);
    Monitor.SetEnabled(true);
    QVERIFY(!Monitor.Enabled());
  }

  // The host queries do not need the library.
  void HostNameStillKnown() {
    TRasMonitor Monitor(nullptr);
    QVERIFY(!Monitor.LocalHost().empty());
  }
};

DRAVIK_TEST_MAIN(TestRasMonitorNoLibrary)
#include "TestRasMonitorNoLibrary.moc"
