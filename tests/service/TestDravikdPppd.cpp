// dravikd rotating a dial-up server's line: the peer of pppd's own folder,
// dialled through the stand-in pppd in the pppd testbed's namespaces (see
// TPppdTestbed.h), 1 s online and 1 s offline, in real time: three turns
// with three new addresses and a history row each, then SIGTERM, which here
// hangs the line up.

#include <signal.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include "ServiceTestSupport.h"
#include "THistory.h"
#include "TPppdTestbed.h"

class TestDravikdPppd : public QObject {
  Q_OBJECT

 public:
  explicit TestDravikdPppd(TPppdTestbed& ATestbed) : FTestbed(ATestbed) {}

 private:
  TPppdTestbed& FTestbed;
  QTemporaryDir FWork;

 private slots:
  void initTestCase() {
    REQUIRE_PPPD_TESTBED(FTestbed);
    QVERIFY(TPppdTestbed::Write("/etc/ppp/peers/Line",
                                "noauth\nplugin rp-pppoe.so nic-eth0\nuser \"alice\"\n", 0640));
    QVERIFY(TPppdTestbed::Write("/etc/ppp/chap-secrets", "alice * s3cret\n", 0600));
    QVERIFY(FTestbed.WriteAccounts("alice s3cret\n"));
  }

  void RotatesThePeersLine() {
    QTcpServer Probe;
    QVERIFY(Probe.listen(QHostAddress::LocalHost, 0));
    const int Port = Probe.serverPort();
    Probe.close();
    const QString HookOut = FWork.filePath("hook.out");
    const QString Hook = FWork.filePath("hook.sh");
    WriteTextFile(Hook,
                  "#!/bin/sh\necho \"$DRAVIK_ADDRESS $DRAVIK_PREVIOUS_ADDRESS\" >> '" +
                      HookOut.toUtf8() + "'\n",
                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString Config = FWork.filePath("dravikd.conf");
    WriteTextFile(Config,
                  "[dravikd]\nentry = Line\nonline-seconds = 1\noffline-seconds = 1\n"
                  "hangup-on-exit = yes\nlisten = 127.0.0.1:" +
                      QByteArray::number(Port) + "\nhook = " + Hook.toUtf8() + "\n");
    QProcess Service;
    QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
    Environment.insert("DRAVIK_RAS_PROVIDER", "pppd");
    Environment.insert("STATE_DIRECTORY", FWork.filePath("state"));
    Environment.remove("JOURNAL_STREAM");
    Environment.remove("NOTIFY_SOCKET");
    Service.setProcessEnvironment(Environment);
    Service.start(DRAVIKD, {"--config", Config});
    QVERIFY(Service.waitForStarted(10000));

    auto HookLines = [&HookOut] {
      QFile Out(HookOut);
      if (!Out.open(QIODevice::ReadOnly)) return QStringList();
      return QString::fromUtf8(Out.readAll()).split('\n', Qt::SkipEmptyParts);
    };
    QTRY_VERIFY_WITH_TIMEOUT(HookLines().size() >= 3, 30000);
    ::kill(static_cast<pid_t>(Service.processId()), SIGTERM);
    QVERIFY(Service.waitForFinished(20000));
    QCOMPARE(Service.exitCode(), 0);
    const QString Log = QString::fromUtf8(Service.readAllStandardError());

    // Each turn a new address of the stand-in's pool, following the last.
    const QRegularExpression Pool("^10\\.64\\.0\\.[0-9]+$");
    QString Previous;
    const QStringList Lines = HookLines();
    for (int Turn = 0; Turn < 3; ++Turn) {
      const QStringList Fields = Lines[Turn].split(' ');
      QVERIFY2(Pool.match(Fields[0]).hasMatch() && Fields[0] != Previous, qPrintable(Log));
      QCOMPARE(Fields.value(1), Previous);
      Previous = Fields[0];
    }
    THistory History;
    QCOMPARE(History.Open(FWork.filePath("state/history.sqlite").toStdString()), std::string());
    const auto Rows = History.Since(0, 100);
    QVERIFY(Rows.size() >= 3);
    for (const TDialRecord& Row : Rows) QCOMPARE(Row.Outcome, std::string("connected"));
    // Hung up on the way out: no pppd is left.
    QCOMPARE(QDir("/run").entryList({"ppp*.pid"}, QDir::Files), QStringList{});
  }
};

// The testbed's namespaces are entered before the program has any thread.
int main(int argc, char** argv) {
  TPppdTestbed& Testbed = TPppdTestbed::Enter(TPppdTestbed::StandIn);
  QCoreApplication App(argc, argv);
  TManualClock::Use();
  TestDravikdPppd Test(Testbed);
  return QTest::qExec(&Test, argc, argv);
}

#include "TestDravikdPppd.moc"
