// dravikd as a program at its start and under signals, against the
// simulated service: lasting start failures with exit statuses of their
// own (and the units that do not restart for them), the control interface
// on a Unix socket with dravikctl following the same key, SIGUSR1 ignored,
// SIGHUP taking up a new configuration (and leaving a bad one), and the
// warning for listening beyond this machine.

#include <signal.h>
#include <sys/stat.h>

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "ServiceTestSupport.h"
#include "TSimServiceDir.h"

namespace {

struct TRun {
  int Exit = -1;
  QString Out;
  QString Err;
};

}  // namespace

class TestDravikdStart : public QObject {
  Q_OBJECT

 private:
  TSimServiceDir FDir;
  QTemporaryDir FWork;
  QString FConfig;

  QProcessEnvironment Environment() const {
    QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
    Environment.insert("STATE_DIRECTORY", FWork.filePath("state"));
    Environment.remove("JOURNAL_STREAM");
    Environment.remove("NOTIFY_SOCKET");
    return Environment;
  }

  void WriteConfig(const QByteArray& AText) {
    FConfig = FWork.filePath("dravikd.conf");
    WriteTextFile(FConfig, AText);
  }

  TRun Run(const char* AProgram, const QStringList& AArgs) {
    QProcess Process;
    Process.setProcessEnvironment(Environment());
    Process.start(AProgram, QStringList{"--config", FConfig} + AArgs);
    TRun Result;
    if (!Process.waitForFinished(20000)) return Result;
    Result.Exit = Process.exitStatus() == QProcess::NormalExit ? Process.exitCode() : -1;
    Result.Out = QString::fromUtf8(Process.readAllStandardOutput());
    Result.Err = QString::fromUtf8(Process.readAllStandardError());
    return Result;
  }

  QString SocketPath() const { return FWork.filePath("run/control.sock"); }

 private slots:
  void init() {
    FDir.WritePhonebook("[Line]\nUserName=u\nPassword=p\nDialSeconds=0.1\n");
    QDir(FWork.filePath("state")).removeRecursively();
    QDir().mkpath(FWork.filePath("state"));
    QDir().mkpath(FWork.filePath("run"));
  }

  // What a restart cannot mend ends the start with a status of its own,
  // which both units name as not to be restarted for.
  void LastingFailures_data() {
    QTest::addColumn<QByteArray>("Extra");
    QTest::addColumn<QString>("Plant");
    QTest::addColumn<int>("Exit");
    QTest::addColumn<QString>("Message");
    QTest::newRow("no such entry")
        << QByteArray("entry = Other\n") << "" << 79 << "the phonebook has no entry \"Other\"";
    QTest::newRow("damaged history")
        << QByteArray("entry = Line\n") << "history.sqlite" << 80
        << "cannot open the history: " + FWork.filePath("state/history.sqlite") +
               ": file is not a database";
    QTest::newRow("token others may read")
        << QByteArray("entry = Line\ntoken-file = " + FWork.filePath("state/token").toUtf8() + "\n")
        << "token" << 81 << "it must have mode 0600";
  }
  void LastingFailures() {
    QFETCH(QByteArray, Extra);
    QFETCH(QString, Plant);
    QFETCH(int, Exit);
    QFETCH(QString, Message);
    WriteConfig(Extra + "listen = unix:" + SocketPath().toUtf8() + "\n");
    if (!Plant.isEmpty())
      WriteTextFile(FWork.filePath("state/" + Plant), "not what it should be, 0123456789abcdef\n",
                    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    const TRun Result = Run(DRAVIKD, {});
    QCOMPARE(Result.Exit, Exit);
    QVERIFY2(Result.Err.contains(Message), qPrintable(Result.Err));
    for (const QString Unit : {"dravikd.service", "user/dravikd.service"}) {
      QFile File(QString(DRAVIK_UNITS) + "/" + Unit);
      QVERIFY(File.open(QIODevice::ReadOnly));
      const QRegularExpressionMatch Line =
          QRegularExpression("^RestartPreventExitStatus=(.*)$", QRegularExpression::MultilineOption)
              .match(QString::fromUtf8(File.readAll()));
      QVERIFY(Line.hasMatch());
      QVERIFY2(Line.captured(1).split(' ').contains(QString::number(Exit)),
               qPrintable(Unit + ": " + Line.captured(1)));
    }
  }

  // On a Unix socket (mode 0660) with dravikctl following the key; SIGUSR1
  // changes nothing; SIGHUP with a bad file keeps the service as it is,
  // with a good one starts it anew in the same process with the new
  // settings; SIGTERM ends it and takes the socket away.
  void SocketAndSignals() {
    const QByteArray Listen = "listen = unix:" + SocketPath().toUtf8() + "\n";
    WriteConfig("entry = Line\nonline-seconds = 30\noffline-seconds = 1\n" + Listen);
    QProcess Service;
    Service.setProcessEnvironment(Environment());
    Service.setProcessChannelMode(QProcess::MergedChannels);
    Service.start(DRAVIKD, {"--config", FConfig});
    QVERIFY(Service.waitForStarted(10000));
    QString Log;
    auto LogHas = [&](const QString& AText) {
      Log += QString::fromUtf8(Service.readAll());
      return Log.count(AText);
    };
    QTRY_VERIFY_WITH_TIMEOUT(LogHas("new address") == 1, 20000);
    struct stat Info {};
    QCOMPARE(lstat(SocketPath().toUtf8().constData(), &Info), 0);
    QVERIFY(S_ISSOCK(Info.st_mode));
    QCOMPARE(Info.st_mode & 0777, 0660u);
    TRun Status = Run(DRAVIKCTL, {"status"});
    QCOMPARE(Status.Exit, 0);
    QVERIFY2(Status.Out.contains("phase:       online"), qPrintable(Status.Out + Status.Err));
    QVERIFY2(Status.Out.contains("waiting for: online time, next step in 30 s") ||
                 Status.Out.contains("next step in 29 s"),
             qPrintable(Status.Out));

    ::kill(static_cast<pid_t>(Service.processId()), SIGUSR1);
    QCOMPARE(Run(DRAVIKCTL, {"status"}).Exit, 0);
    QCOMPARE(Service.state(), QProcess::Running);

    WriteConfig("entry = Line\nonline-seconds = soon\n" + Listen);
    ::kill(static_cast<pid_t>(Service.processId()), SIGHUP);
    QTRY_VERIFY_WITH_TIMEOUT(LogHas("SIGHUP: the configuration is not taken up") == 1, 10000);
    QCOMPARE(Service.state(), QProcess::Running);
    QCOMPARE(LogHas("stopping"), 0);

    WriteConfig("entry = Line\nonline-seconds = 300\noffline-seconds = 1\n" + Listen);
    const qint64 Pid = Service.processId();
    ::kill(static_cast<pid_t>(Pid), SIGHUP);
    QTRY_VERIFY_WITH_TIMEOUT(LogHas("rotating \"Line\": 300 s online") == 1, 20000);
    QCOMPARE(Service.processId(), Pid);
    QCOMPARE(Service.state(), QProcess::Running);
    QTRY_VERIFY_WITH_TIMEOUT(Run(DRAVIKCTL, {"status"}).Out.contains("in 300 s") ||
                                 Run(DRAVIKCTL, {"status"}).Out.contains("in 299 s"),
                             10000);

    Service.terminate();
    QVERIFY(Service.waitForFinished(20000));
    QCOMPARE(Service.exitCode(), 0);
    QVERIFY(!QFile::exists(SocketPath()));
    const TRun Gone = Run(DRAVIKCTL, {"status"});
    QCOMPARE(Gone.Exit, 3);
    QVERIFY2(Gone.Err.contains("unix:" + SocketPath() + " cannot be reached"),
             qPrintable(Gone.Err));
  }

  // Listening beyond loopback: refused without allow-remote, and with it
  // the check says why it is unwise.
  void RemoteListening() {
    WriteConfig("entry = Line\nlisten = 0.0.0.0:7480\n");
    TRun Check = Run(DRAVIKD, {"--check-config"});
    QCOMPARE(Check.Exit, 78);
    QVERIFY2(Check.Err.contains("set allow-remote = yes"), qPrintable(Check.Err));
    WriteConfig("entry = Line\nlisten = 0.0.0.0:7480\nallow-remote = yes\n");
    Check = Run(DRAVIKD, {"--check-config"});
    QCOMPARE(Check.Exit, 0);
    QVERIFY2(Check.Out.contains(": warning: the control interface listens on 0.0.0.0:7480, which "
                                "other machines reach: the token travels in clear"),
             qPrintable(Check.Out));
    QVERIFY(Check.Out.endsWith(": fine\n"));
  }
};

DRAVIK_SERVICE_TEST_MAIN(TestDravikdStart)
#include "TestDravikdStart.moc"
