// The dial-up calls on a dial-up server: the pppd provider at its default
// paths against the stand-in pppd, in the testbed's namespaces (see
// TPppdTestbed.h): what the phonebook lists, the credentials it reads back,
// dials with their states, failures and time limit, hang-ups, a line cut
// at the far end as the monitor sees it, pid files that name other
// processes, and the permissions of a user who is not root.

#include <grp.h>
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "CPRasMonitor.h"
#include "RasControl.h"
#include "RasTestSupport.h"
#include "TManualClock.h"
#include "TPppdTestbed.h"
#include "TestSupport.h"

#ifdef __SANITIZE_THREAD__
// The tests start the tool and setpriv while the provider's threads run;
// the thread sanitizer would stop every such child.
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

// Starts an asynchronous dial; its notifications gather in Notified.
DWORD StartDial(const std::string& AEntry, HRASCONN& AHandle) {
  {
    std::lock_guard<std::mutex> Guard(NotifiedLock);
    Notified.clear();
  }
  RASDIALPARAMSA Params = StoredParams(AEntry);
  AHandle = 0;
  return RasDialA(nullptr, nullptr, &Params, 0, reinterpret_cast<LPVOID>(&RecordNotification),
                  &AHandle);
}

// Waits (real time: real processes answer) for the dial's last
// notification, connected or an error.
std::vector<TNotification> WaitForDialEnd(int ASeconds = 20) {
  std::unique_lock<std::mutex> Guard(NotifiedLock);
  NotifiedChanged.wait_for(Guard, std::chrono::seconds(ASeconds), [] {
    return !Notified.empty() &&
           (Notified.back().State == RASCS_Connected || Notified.back().Error != 0);
  });
  return Notified;
}

bool Reached(RASCONNSTATE AState) {
  std::lock_guard<std::mutex> Guard(NotifiedLock);
  return !Notified.empty() && Notified.back().State >= AState;
}

QString States(const std::vector<TNotification>& ANotes) {
  QStringList Texts;
  for (const TNotification& Note : ANotes)
    Texts << QString("%1/%2").arg(Note.State).arg(Note.Error);
  return Texts.join(' ');
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

// The pid a pid file of /run names; 0 when there is none.
pid_t PidIn(const QString& AFile) {
  QFile File("/run/" + AFile);
  if (!File.open(QIODevice::ReadOnly)) return 0;
  return static_cast<pid_t>(File.readLine().trimmed().toInt());
}

QStringList PppPidFiles() { return QDir("/run").entryList({"ppp*.pid"}, QDir::Files, QDir::Name); }

bool InterfaceExists(const QString& AName) { return QFile::exists("/sys/class/net/" + AName); }

struct TRun {
  int Exit = -1;
  QString Out;
  QString Err;
};

// A program of ours as another user: nobody, with or without the group dip.
TRun RunAsNobody(bool AInDip, const QString& AProgram, const QStringList& AArgs,
                 const QString& ARasDir) {
  const group* Dip = getgrnam("dip");
  QStringList Args = {"--reuid=65534", "--regid=65534"};
  Args << (AInDip && Dip != nullptr ? "--groups=" + QString::number(Dip->gr_gid)
                                    : QString("--clear-groups"));
  Args << AProgram << AArgs;
  QProcess Process;
  QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
  Environment.insert("DRAVIK_RAS_DIR", ARasDir);
  Environment.remove("XDG_RUNTIME_DIR");
  Process.setProcessEnvironment(Environment);
  Process.start("setpriv", Args);
  TRun Run;
  if (!Process.waitForFinished(30000)) return Run;
  Run.Exit = Process.exitStatus() == QProcess::NormalExit ? Process.exitCode() : -1;
  Run.Out = QString::fromLocal8Bit(Process.readAllStandardOutput());
  Run.Err = QString::fromLocal8Bit(Process.readAllStandardError());
  return Run;
}

TRun RunTool(const QStringList& AArgs) {
  QProcess Process;
  Process.start(ToolPath(), AArgs);
  TRun Run;
  if (!Process.waitForFinished(30000)) return Run;
  Run.Exit = Process.exitStatus() == QProcess::NormalExit ? Process.exitCode() : -1;
  Run.Out = QString::fromLocal8Bit(Process.readAllStandardOutput());
  Run.Err = QString::fromLocal8Bit(Process.readAllStandardError());
  return Run;
}

const QRegularExpression PoolAddress("^10\\.64\\.0\\.([0-9]+)$");

}  // namespace

class TestRasPppd : public QObject {
  Q_OBJECT

 public:
  explicit TestRasPppd(TPppdTestbed& ATestbed) : FTestbed(ATestbed) {}

 private:
  TPppdTestbed& FTestbed;

 private slots:
  void initTestCase() {
    REQUIRE_PPPD_TESTBED(FTestbed);
    // Detection chooses: no NetworkManager (no system bus here), pppd and
    // its peers at their places.
    qunsetenv("DRAVIK_RAS_PROVIDER");
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/dravik-bus");
    qputenv("DRAVIK_PPPD_DIAL_TIMEOUT", "2");
    const QString Peers = "/etc/ppp/peers/";
    const auto Peer = [&Peers](const char* AName, const QByteArray& AText) {
      QVERIFY(TPppdTestbed::Write((Peers + AName).toStdString(), AText.toStdString(), 0640));
    };
    Peer("Home",
         "# written by pppoeconf\nnoipdefault\ndefaultroute\nhide-password\nnoauth\n"
         "plugin rp-pppoe.so nic-veth0\nuser \"alice\"\n");
    Peer("Office", "user bob\npersist\nmaxfail 0\n");
    Peer("NoUser", "noauth\n");
    Peer("Carol", "user \"carol smith\" # quoted\n");
    Peer("Slow", "user alice\nconnect-delay 1000\n");
    Peer("Silent", "user quiet\n");
    Peer("Wrong", "user mallory\n");
    for (const char* Leftover : {"Home~", "Home.bak", "Home.dpkg-old", ".Home.swp", "#Home#"}) {
      Peer(Leftover, "user old\n");
    }
    QVERIFY(QDir().mkdir(Peers + "folder"));
    QVERIFY(TPppdTestbed::Write("/etc/ppp/chap-secrets",
                                "# Secrets for authentication using CHAP\n"
                                "# client\tserver\tsecret\t\t\tIP addresses\n"
                                "\"alice\"\t*\t\"s3cret\"\n"
                                "mallory * guessed\n"
                                "quiet * pw\n"
                                "\"carol smith\" * \"pass word\"\n",
                                0600));
    QVERIFY(TPppdTestbed::Write("/etc/ppp/pap-secrets", "bob * pap-pass\n", 0600));
    QVERIFY(FTestbed.WriteAccounts(
        "alice s3cret\nbob pap-pass\nmallory right\nquiet pw silent\ncarol x\n"));
  }

  void init() {
    REQUIRE_PPPD_TESTBED(FTestbed);
    TPppdTestbed::KillAll();
    QTRY_VERIFY_WITH_TIMEOUT(ListedConnections().empty(), 10000);
  }

  void DetectedAndListed() {
    char Name[64] = {};
    QCOMPARE(DravikRasProviderInfo(Name, sizeof Name), ERROR_SUCCESS);
    QCOMPARE(QString(Name), QString("pppd"));
    DWORD Result = 0;
    const auto Names = EntryNames(&Result);
    QCOMPARE(Result, ERROR_SUCCESS);
    QCOMPARE(Names, (std::vector<std::string>{"Carol", "Home", "NoUser", "Office", "Silent", "Slow",
                                              "Wrong"}));
    // The tool lists the same and warns of the peer pppd redials by itself.
    const TRun Tool = RunTool({"entries"});
    QCOMPARE(Tool.Exit, 0);
    QCOMPARE(Tool.Out, QString("Carol\nHome\nNoUser\nOffice\nSilent\nSlow\nWrong\n"));
    QVERIFY2(Tool.Err.contains("warning: \"Office\": pppd dials this peer again by itself") &&
                 Tool.Err.contains("persist"),
             qPrintable(Tool.Err));
    QCOMPARE(Tool.Err.count("warning"), 1);
  }

  // User name from the peer file, password from chap-secrets, else
  // pap-secrets.
  void Credentials_data() {
    QTest::addColumn<QString>("Entry");
    QTest::addColumn<int>("Result");
    QTest::addColumn<QString>("User");
    QTest::addColumn<QString>("Password");
    QTest::newRow("chap") << "Home" << 0 << "alice"
                          << "s3cret";
    QTest::newRow("pap") << "Office" << 0 << "bob"
                         << "pap-pass";
    QTest::newRow("quoted") << "Carol" << 0 << "carol smith"
                            << "pass word";
    QTest::newRow("no user") << "NoUser" << 0 << ""
                             << "";
    QTest::newRow("leftover") << "Home~" << int(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY) << ""
                              << "";
    QTest::newRow("missing") << "Nowhere" << int(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY) << ""
                             << "";
  }
  void Credentials() {
    QFETCH(QString, Entry);
    RASDIALPARAMSA Params = DialParamsFor(Entry.toStdString());
    BOOL Stored = -1;
    QTEST(int(RasGetEntryDialParamsA(nullptr, &Params, &Stored)), "Result");
    QTEST(QString(Params.szUserName), "User");
    QTEST(QString(Params.szPassword), "Password");
  }

  // A dial walks through pppd's progress lines to connected; the link is
  // pppd's, seen alike by every process; a hang-up takes it down before it
  // returns.
  void DialAndHangUp() {
    HRASCONN Handle = 0;
    QCOMPARE(StartDial("Home", Handle), ERROR_SUCCESS);
    QVERIFY(Handle != 0);
    const auto Notes = WaitForDialEnd();
    QCOMPARE(States(Notes), QString("0/0 1/0 3/0 5/0 14/0 18/0 %1/0").arg(RASCS_Connected));

    const auto Listed = ListedConnections();
    QCOMPARE(Listed.size(), size_t(1));
    QCOMPARE(Listed[0].hrasconn, Handle);
    QCOMPARE(QString(Listed[0].szEntryName), QString("Home"));
    QCOMPARE(QString(Listed[0].szDeviceType), QString("PPPoE"));
    const QString Interface = Listed[0].szDeviceName;
    QVERIFY2(Interface.startsWith("ppp") && InterfaceExists(Interface), qPrintable(Interface));
    QCOMPARE(StateOf(Handle), RASCS_Connected);
    const auto [Own, Peer] = AddressesOf(Handle);
    QVERIFY2(PoolAddress.match(QString::fromStdString(Own)).hasMatch(), Own.c_str());
    QCOMPARE(Peer, std::string("10.64.0.1"));
    // The interface's global IPv6 address beside it, with its prefix.
    char Address6[DRAVIK_RAS_IPV6_TEXT] = {};
    char Prefix6[DRAVIK_RAS_IPV6_TEXT] = {};
    QCOMPARE(DravikRasIpv6Info(Handle, Address6, sizeof Address6, Prefix6, sizeof Prefix6),
             DWORD(ERROR_SUCCESS));
    const QString Pool = QString::fromStdString(Own).section('.', 3);
    QCOMPARE(QString(Address6), "2001:db8:64:" + Pool + "::2");
    QCOMPARE(QString(Prefix6), "2001:db8:64:" + Pool + "::/64");
    const pid_t Pppd = PidIn("ppp-Home.pid");
    QVERIFY(Pppd > 0 && kill(Pppd, 0) == 0);

    const TRun Tool = RunTool({"connections"});
    QCOMPARE(Tool.Out, QString("%1\tHome\tConnected\t%2\t10.64.0.1\n")
                           .arg(Handle)
                           .arg(QString::fromStdString(Own)));

    QCOMPARE(RasHangUpA(Handle), ERROR_SUCCESS);
    QVERIFY(ListedConnections().empty());
    QVERIFY(!InterfaceExists(Interface));
    QCOMPARE(PppPidFiles(), QStringList{});
    DWORD Result = 0;
    StateOf(Handle, &Result);
    QCOMPARE(Result, DWORD(ERROR_INVALID_HANDLE));
    QCOMPARE(RasHangUpA(Handle), DWORD(ERROR_INVALID_HANDLE));
  }

  // Each dial gets a new address; a dial without a notifier waits.
  void RedialGetsANewAddress() {
    QStringList Addresses;
    for (int Turn = 0; Turn < 2; ++Turn) {
      RASDIALPARAMSA Params = StoredParams("Office");
      HRASCONN Handle = 0;
      QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle), ERROR_SUCCESS);
      Addresses << QString::fromStdString(AddressesOf(Handle).first);
      QCOMPARE(QString(ListedConnections()[0].szDeviceType), QString("modem"));
      QCOMPARE(RasHangUpA(Handle), ERROR_SUCCESS);
    }
    QVERIFY2(PoolAddress.match(Addresses[0]).hasMatch() && Addresses[0] != Addresses[1],
             qPrintable(Addresses.join(' ')));
  }

  // Failures reach the caller as their codes, with the pppd gone.
  void FailedDials_data() {
    QTest::addColumn<QString>("Entry");
    QTest::addColumn<int>("Code");
    QTest::addColumn<int>("LastState");
    QTest::newRow("wrong password")
        << "Wrong" << int(ERROR_AUTHENTICATION_FAILURE) << int(RASCS_Authenticate);
    QTest::newRow("no progress") << "Silent" << 638 << int(RASCS_DeviceConnected);
  }
  void FailedDials() {
    QFETCH(QString, Entry);
    HRASCONN Handle = 0;
    QElapsedTimer Timer;
    Timer.start();
    QCOMPARE(StartDial(Entry.toStdString(), Handle), ERROR_SUCCESS);
    QTRY_VERIFY_WITH_TIMEOUT(Reached(RASCS_PortOpened), 10000);
    const pid_t Pppd = PidIn(Entry == "Wrong" ? "ppp-Wrong.pid" : "ppp-Silent.pid");
    const auto Notes = WaitForDialEnd();
    QVERIFY2(!Notes.empty(), "no end of the dial");
    QTEST(int(Notes.back().Error), "Code");
    QTEST(int(Notes.back().State), "LastState");
    QVERIFY(ListedConnections().empty());
    QCOMPARE(PppPidFiles(), QStringList{});
    // The pppd the provider started is ended (and reaped).
    QVERIFY(Pppd == 0 || kill(Pppd, 0) != 0);
    if (Entry == "Silent") QVERIFY2(Timer.elapsed() >= 1900, qPrintable(States(Notes)));
  }

  void HangUpWhileDialling() {
    HRASCONN Handle = 0;
    QCOMPARE(StartDial("Slow", Handle), ERROR_SUCCESS);
    QTRY_VERIFY_WITH_TIMEOUT(Reached(RASCS_PortOpened), 10000);
    QCOMPARE(StateOf(Handle), RASCS_PortOpened);
    QCOMPARE(RasHangUpA(Handle), ERROR_SUCCESS);
    const auto Notes = WaitForDialEnd();
    QCOMPARE(Notes.back().Error, DWORD(ERROR_USER_DISCONNECTION));
    QVERIFY(ListedConnections().empty());
    QCOMPARE(PppPidFiles(), QStringList{});
  }

  // The far end drops the line (pppd's SIGHUP, the modem hanging up): the
  // link goes, and the monitor's next poll reports it.
  void FarEndDropSeenByMonitor() {
    TRasMonitor Monitor(nullptr);
    QStringList Events;
    Monitor.OnRasConnected.Bind([&Events](TObject*, TRasConnectionDetails ADetails) {
      Events << "connected " + QString::fromStdString(FieldText(ADetails.IPAddress));
    });
    Monitor.OnRasDisconnected.Bind(
        [&Events](TObject*, TRasConnectionDetails) { Events << "disconnected"; });
    Monitor.SetEnabled(true);
    RASDIALPARAMSA Params = StoredParams("Home");
    HRASCONN Handle = 0;
    QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle), ERROR_SUCCESS);
    TManualClock::Instance().Advance(1000);
    QCOMPARE(Events, QStringList{"connected " + QString::fromStdString(AddressesOf(Handle).first)});
    Events.clear();

    QVERIFY(kill(PidIn("ppp-Home.pid"), SIGHUP) == 0);
    QTRY_VERIFY_WITH_TIMEOUT(ListedConnections().empty(), 10000);
    TManualClock::Instance().Advance(1000);
    QCOMPARE(Events, QStringList{"disconnected"});
    QCOMPARE(PppPidFiles(), QStringList{});
  }

  // A pid file whose pid is now another process's (not pppd, or the pppd
  // of another peer) is no link: nothing is listed for it and nothing is
  // signalled.
  void PidFilesOfOtherProcessesLeftAlone() {
    RASDIALPARAMSA Params = StoredParams("Office");
    HRASCONN Office = 0;
    QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Office), ERROR_SUCCESS);
    const QString OfficeInterface = ListedConnections()[0].szDeviceName;
    QProcess Sleeper;
    Sleeper.start("sleep", {"60"});
    QVERIFY(Sleeper.waitForStarted());
    const QString Pid = QString::number(Sleeper.processId());
    QVERIFY(TPppdTestbed::Write("/run/ppp-Home.pid",
                                (Pid + "\n" + OfficeInterface + "\n").toStdString()));
    QVERIFY(TPppdTestbed::Write(
        "/run/ppp-Slow.pid",
        (QString::number(PidIn("ppp-Office.pid")) + "\n" + OfficeInterface + "\n").toStdString()));
    QVERIFY(TPppdTestbed::Write("/run/ppp9.pid", (Pid + "\n").toStdString()));
    // A link that comes and goes after the planted files: by then they are
    // read.
    Params = StoredParams("Wrong");
    HRASCONN Failed = 0;
    QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Failed),
             DWORD(ERROR_AUTHENTICATION_FAILURE));
    QCOMPARE(ListedEntryNames(), std::vector<std::string>{"Office"});
    const TRun HangUp = RunTool({"hangup", "Home"});
    QCOMPARE(HangUp.Exit, 1);
    QVERIFY2(HangUp.Err.contains("(error 668)"), qPrintable(HangUp.Err));
    QCOMPARE(RunTool({"hangup", "Slow"}).Exit, 1);
    QCOMPARE(Sleeper.state(), QProcess::Running);
    QCOMPARE(ListedEntryNames(), std::vector<std::string>{"Office"});
    Sleeper.kill();
    Sleeper.waitForFinished();
    QCOMPARE(RunTool({"hangup", "Office"}).Exit, 0);
  }

  // A user who is not in the group dip may not read the peers: told so,
  // naming the group. One who is lists and dials them (pppd's command line
  // then without linkname, which only root may give), without the secrets
  // it may not read.
  void OtherUsers() {
    const QString Open = QString::fromStdString(FTestbed.Folder() + "/open");
    TRun Run = RunAsNobody(false, ToolPath(), {"entries"}, Open);
    QCOMPARE(Run.Exit, 1);
    QVERIFY2(Run.Err.contains("permission denied (error 5); the user must be in the group dip"),
             qPrintable(Run.Err));

    Run = RunAsNobody(true, ToolPath(), {"entries"}, Open);
    QCOMPARE(Run.Exit, 0);
    QVERIFY(Run.Out.startsWith("Carol\nHome\n"));
    Run = RunAsNobody(true, QCoreApplication::applicationDirPath() + "/ras_probe",
                      {"credentials", "Home"}, Open);
    QCOMPARE(Run.Out, QString("user=alice password= result=0\n"));

    Run = RunAsNobody(true, ToolPath(), {"dial", "Home"}, Open);
    QVERIFY2(Run.Exit == 0, qPrintable(Run.Err));
    // Seen here as soon as this process's watch has taken in the change.
    QTRY_COMPARE_WITH_TIMEOUT(ListedEntryNames(), std::vector<std::string>{"Home"}, 10000);
    QCOMPARE(PppPidFiles().filter(QRegularExpression("^ppp[0-9]+\\.pid$")).size(), 1);
    Run = RunAsNobody(true, ToolPath(), {"hangup", "Home"}, Open);
    QVERIFY2(Run.Exit == 0, qPrintable(Run.Err));
    QTRY_VERIFY_WITH_TIMEOUT(ListedConnections().empty(), 10000);
  }
};

// The testbed's namespaces are entered before the program has any thread.
int main(int argc, char** argv) {
  TPppdTestbed& Testbed = TPppdTestbed::Enter(TPppdTestbed::StandIn);
  TGuiApplication App(argc, argv);
  TManualClock::Use();
  TModalRecorder::Instance().Install();
  TestRasPppd Test(Testbed);
  return QTest::qExec(&Test, argc, argv);
}

#include "TestRasPppd.moc"
