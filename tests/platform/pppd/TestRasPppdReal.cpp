// The pppd provider with Debian's own pppd at /usr/sbin/pppd, in the
// testbed's namespaces (see TPppdTestbed.h). This kernel has no PPP, so no
// link comes up: pppd runs the provider's command line against real peer
// files, parses them and then fails for want of kernel support; that
// failure, like an option error, reaches the caller at once as its code.

#include <grp.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <condition_variable>
#include <mutex>

#include "RasTestSupport.h"
#include "TPppdTestbed.h"
#include "TestSupport.h"

#ifdef __SANITIZE_THREAD__
extern "C" const char* __tsan_default_options() { return "die_after_fork=0"; }
#endif

namespace {

std::mutex NotifiedLock;
std::condition_variable NotifiedChanged;
QStringList Notified;

void WINAPI RecordNotification(UINT, RASCONNSTATE AState, DWORD AError) {
  std::lock_guard<std::mutex> Guard(NotifiedLock);
  Notified << QString("%1/%2").arg(AState).arg(AError);
  NotifiedChanged.notify_all();
}

// Far below the dial's time limit: pppd's end is what ends the dial.
constexpr int PromptMs = 10000;

}  // namespace

class TestRasPppdReal : public QObject {
  Q_OBJECT

 public:
  explicit TestRasPppdReal(TPppdTestbed& ATestbed) : FTestbed(ATestbed) {}

 private:
  TPppdTestbed& FTestbed;

 private slots:
  void initTestCase() {
    REQUIRE_PPPD_TESTBED(FTestbed);
    qputenv("DRAVIK_RAS_PROVIDER", "pppd");
    qputenv("DRAVIK_PPPD_DIAL_TIMEOUT", "60");
    // As pppoeconf writes a peer; the PPPoE plugin finds no PPPoE in the
    // kernel.
    QVERIFY(TPppdTestbed::Write("/etc/ppp/peers/DSL",
                                "noipdefault\ndefaultroute\nreplacedefaultroute\nhide-password\n"
                                "noauth\npersist\nplugin rp-pppoe.so nic-veth0\nuser \"alice\"\n",
                                0640));
    // A line pppd opens itself: every option parsed, then no /dev/ppp.
    QVERIFY(TPppdTestbed::Write("/etc/ppp/peers/Serial",
                                "pty \"/bin/cat\"\nnoauth\nuser alice\nlock\n", 0640));
    QVERIFY(TPppdTestbed::Write("/etc/ppp/peers/Broken", "noauth\nnosuchoption\n", 0640));
    QVERIFY(TPppdTestbed::Write("/etc/ppp/chap-secrets", "alice * s3cret\n", 0600));
  }

  void FailuresReachTheCaller_data() {
    QTest::addColumn<QString>("Entry");
    QTest::addColumn<int>("Code");
    QTest::newRow("PPPoE without kernel support") << "DSL" << int(ERROR_RASMAN_CANNOT_INITIALIZE);
    QTest::newRow("no /dev/ppp") << "Serial" << int(ERROR_RASMAN_CANNOT_INITIALIZE);
    QTest::newRow("unknown option") << "Broken" << int(ERROR_CORRUPT_PHONEBOOK);
  }
  void FailuresReachTheCaller() {
    QFETCH(QString, Entry);
    {
      std::lock_guard<std::mutex> Guard(NotifiedLock);
      Notified.clear();
    }
    QElapsedTimer Timer;
    Timer.start();
    RASDIALPARAMSA Params = StoredParams(Entry.toStdString());
    HRASCONN Handle = 0;
    QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, reinterpret_cast<LPVOID>(&RecordNotification),
                      &Handle),
             ERROR_SUCCESS);
    QFETCH(int, Code);
    const QString End = QString("0/%1").arg(Code);
    {
      std::unique_lock<std::mutex> Guard(NotifiedLock);
      NotifiedChanged.wait_for(Guard, std::chrono::milliseconds(PromptMs),
                               [&End] { return Notified.contains(End); });
      QCOMPARE(Notified, (QStringList{"0/0", End}));
    }
    QVERIFY2(Timer.elapsed() < PromptMs, qPrintable(QString::number(Timer.elapsed())));
    QVERIFY(ListedConnections().empty());
    // Without a notifier the dial waits for pppd and returns its code.
    QCOMPARE(int(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle)), Code);
  }

  // A member of dip gets past pppd's option parsing too: the command line
  // holds no option only root may give.
  void MemberOfDip() {
    const group* Dip = getgrnam("dip");
    QVERIFY(Dip != nullptr);
    QProcess Tool;
    QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
    Environment.insert("DRAVIK_RAS_DIR", QString::fromStdString(FTestbed.Folder() + "/open"));
    Tool.setProcessEnvironment(Environment);
    Tool.start("setpriv", {"--reuid=65534", "--regid=65534",
                           "--groups=" + QString::number(Dip->gr_gid), ToolPath(), "dial",
                           "Serial"});
    QVERIFY(Tool.waitForFinished(PromptMs));
    const QString Err = Tool.readAllStandardError();
    QCOMPARE(Tool.exitCode(), 1);
    QVERIFY2(Err.contains("(error 711)"), qPrintable(Err));
  }
};

// The testbed's namespaces are entered before the program has any thread.
int main(int argc, char** argv) {
  TPppdTestbed& Testbed = TPppdTestbed::Enter(TPppdTestbed::Real);
  QCoreApplication App(argc, argv);
  TestRasPppdReal Test(Testbed);
  return QTest::qExec(&Test, argc, argv);
}

#include "TestRasPppdReal.moc"
