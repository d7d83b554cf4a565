// dravikd and dravikctl as programs, in real time at 1 s online and 1 s
// offline against the simulated service: turns with the hook, the control
// client, SIGTERM, kill -9 during rotations, bad configurations, the units.

#include <signal.h>
#include <sqlite3.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "ServiceTestSupport.h"
#include "TControlClient.h"
#include "THistory.h"
#include "TSimServiceDir.h"

namespace {

struct TRun {
  int Exit = -1;
  QString Out;
  QString Err;
};

}  // namespace

class TestDravikd : public QObject {
  Q_OBJECT

 private:
  TSimServiceDir FDir;
  QTemporaryDir FWork;
  QString FConfig;
  QString FHookOut;
  int FPort = 0;

  QProcessEnvironment Environment() const {
    QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
    Environment.insert("STATE_DIRECTORY", FWork.filePath("state"));
    Environment.remove("JOURNAL_STREAM");
    Environment.remove("NOTIFY_SOCKET");
    return Environment;
  }

  void WriteConfig(const QByteArray& AExtra = {}, int AOnlineSeconds = 1) {
    FPort = FreePort();
    QVERIFY(FPort > 0);
    FConfig = FWork.filePath("dravikd.conf");
    WriteTextFile(FConfig, "# end-to-end\n[dravikd]\nentry = Line\nonline-seconds = " +
                               QByteArray::number(AOnlineSeconds) +
                               "\noffline-seconds = 1\nlisten = 127.0.0.1:" +
                               QByteArray::number(FPort) + "\n" + AExtra);
  }

  QJsonObject StatusJson() {
    return QJsonDocument::fromJson(Ctl({"status", "--json"}).Out.toUtf8()).object();
  }

  TRun Ctl(const QStringList& AArgs) {
    QProcess Ctl;
    Ctl.setProcessEnvironment(Environment());
    Ctl.start(DRAVIKCTL, QStringList{"--config", FConfig} + AArgs);
    TRun Run;
    if (!Ctl.waitForFinished(20000)) return Run;
    Run.Exit = Ctl.exitStatus() == QProcess::NormalExit ? Ctl.exitCode() : -1;
    Run.Out = QString::fromUtf8(Ctl.readAllStandardOutput());
    Run.Err = QString::fromUtf8(Ctl.readAllStandardError());
    return Run;
  }

  void StartService(QProcess& AService, const QProcessEnvironment& AEnvironment) {
    AService.setProcessEnvironment(AEnvironment);
    AService.start(DRAVIKD, {"--config", FConfig});
    QVERIFY(AService.waitForStarted(10000));
  }

  std::vector<TDialRecord> Rows() const {
    THistory History;
    if (!History.Open(FWork.filePath("state/history.sqlite").toStdString()).empty()) return {};
    return History.Since(0, 1000);
  }

 private slots:
  void init() {
    FDir.WritePhonebook("[Line]\nUserName=u\nPassword=p\nDialSeconds=0.2\n");
    QDir(FWork.filePath("state")).removeRecursively();
    QFile::remove(FWork.filePath("hook.out"));
  }

  // Three turns, each a new address, a row and a hook run with the right
  // variables; the client's views; SIGTERM ends with 0 and the last row.
  void ThreeTurnsThenSigterm() {
    FHookOut = FWork.filePath("hook.out");
    const QString Hook = FWork.filePath("hook.sh");
    WriteTextFile(
        Hook,
        "#!/bin/sh\necho \"$1 $DRAVIK_ENTRY $DRAVIK_ADDRESS $DRAVIK_PREVIOUS_ADDRESS\" >> '" +
            FHookOut.toUtf8() + "'\necho hook ran\n",
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    WriteConfig("hook = " + Hook.toUtf8() + " first-argument\n");
    QProcess Service;
    QProcessEnvironment Journal = Environment();
    Journal.insert("JOURNAL_STREAM", "8:1234");
    StartService(Service, Journal);
    auto HookLines = [&] {
      QFile Out(FHookOut);
      if (!Out.open(QIODevice::ReadOnly)) return QStringList();
      return QString::fromUtf8(Out.readAll()).split('\n', Qt::SkipEmptyParts);
    };
    QTRY_VERIFY_WITH_TIMEOUT(HookLines().size() >= 3, 30000);

    const TRun History = Ctl({"history", "--json"});
    QCOMPARE(History.Exit, 0);
    const QJsonArray Rows = QJsonDocument::fromJson(History.Out.toUtf8())["rows"].toArray();
    QVERIFY(Rows.size() >= 3);
    const QStringList Lines = HookLines();
    QString Previous;
    for (int I = 0; I < 3; ++I) {
      const QJsonObject Row = Rows[I].toObject();
      QCOMPARE(Row["outcome"].toString(), QString("connected"));
      // The simulated service was named; every row says it.
      QCOMPARE(Row["simulated"].toBool(), true);
      const QString Address = Row["line_address"].toString();
      QVERIFY(!Address.isEmpty() && Address != Previous);
      QCOMPARE(Lines[I], QString("first-argument Line %1 %2").arg(Address, Previous));
      Previous = Address;
    }

    const TRun Status = Ctl({"status"});
    QCOMPARE(Status.Exit, 0);
    QVERIFY2(Status.Out.contains("entry:       Line\n"), qPrintable(Status.Out));
    QVERIFY2(Status.Out.contains("line:        simulated"), qPrintable(Status.Out));
    const QJsonObject StatusJson =
        QJsonDocument::fromJson(Ctl({"status", "--json"}).Out.toUtf8()).object();
    QCOMPARE(StatusJson["simulated"].toBool(), true);
    QCOMPARE(StatusJson["provider"].toString(), QString("sim"));
    QVERIFY(
        Status.Out.contains(QRegularExpression("phase:       (online|offline|dialling) since ")));
    const TRun Text = Ctl({"history", "--since", "1h"});
    QCOMPARE(Text.Exit, 0);
    QVERIFY(Text.Out.startsWith("time "));
    QVERIFY(Text.Out.count("connected") >= 3);
    QVERIFY(Ctl({"history", "--since", "2099-01-01T00:00:00Z"}).Out.contains("no dials recorded"));
    QCOMPARE(Ctl({"pause"}).Out, QString("paused\n"));
    const TRun Refused = Ctl({"rotate"});
    QCOMPARE(Refused.Exit, 1);
    QVERIFY(Refused.Err.contains("paused"));
    QCOMPARE(Ctl({"resume"}).Exit, 0);

    ::kill(static_cast<pid_t>(Service.processId()), SIGTERM);
    QVERIFY(Service.waitForFinished(20000));
    QCOMPARE(Service.exitStatus(), QProcess::NormalExit);
    QCOMPARE(Service.exitCode(), 0);
    const QString Log = QString::fromUtf8(Service.readAllStandardError());
    QVERIFY2(Log.contains("<6>stopping\n"), qPrintable(Log));
    QVERIFY2(Log.startsWith("<4>simulated: the simulated dial-up service is in use"),
             qPrintable(Log));
    QVERIFY(Log.contains("<6>hook: hook ran\n"));
    QVERIFY(Log.endsWith("<6>stopped\n"));
    // Every dial is a row: completed, or the last one abandoned by the stop.
    const auto Stored = this->Rows();
    QVERIFY(Stored.size() >= 3);
    for (size_t I = 0; I < Stored.size(); ++I) {
      if (I + 1 == Stored.size() && Stored[I].Outcome == "abandoned") continue;
      QCOMPARE(Stored[I].Outcome, std::string("connected"));
    }
    // The service is gone; the client says so.
    const TRun Gone = Ctl({"status"});
    QCOMPARE(Gone.Exit, 3);
    QVERIFY(Gone.Err.contains("cannot be reached"));
  }

  // SIGTERM ends the service within moments however long the step in hand
  // would take: a dial that takes a minute, a retry wait after a refused
  // hang-up (logged with its code and text, the line left up and never
  // dialled over).
  void SigtermEndsAtOnce_data() {
    QTest::addColumn<QByteArray>("Phonebook");
    QTest::addColumn<QString>("Waited");
    QTest::addColumn<QString>("LastOutcome");
    QTest::newRow("during a long dial")
        << QByteArray("[Line]\nUserName=u\nPassword=p\nDialSeconds=60\n") << "dialling \"Line\""
        << "abandoned";
    QTest::newRow("after a refused hang-up")
        << QByteArray("[Line]\nUserName=u\nPassword=p\nDialSeconds=0\nHangUpErrorCode=5\n")
        << "<3>hang-up failed: error 5: permission denied\n"
        << "hangup-failed";
  }
  void SigtermEndsAtOnce() {
    QFETCH(QByteArray, Phonebook);
    QFETCH(QString, Waited);
    QFETCH(QString, LastOutcome);
    FDir.WritePhonebook(Phonebook);
    WriteConfig();
    QProcess Service;
    QProcessEnvironment Journal = Environment();
    Journal.insert("JOURNAL_STREAM", "8:1234");
    StartService(Service, Journal);
    QString Log;
    QTRY_VERIFY_WITH_TIMEOUT(
        (Log += QString::fromUtf8(Service.readAllStandardError())).contains(Waited), 20000);
    QElapsedTimer Stopping;
    Stopping.start();
    ::kill(static_cast<pid_t>(Service.processId()), SIGTERM);
    QVERIFY(Service.waitForFinished(5000));
    QVERIFY2(Stopping.elapsed() < 5000, qPrintable(QString::number(Stopping.elapsed())));
    QCOMPARE(Service.exitCode(), 0);
    Log += QString::fromUtf8(Service.readAllStandardError());
    const auto Stored = Rows();
    QVERIFY(!Stored.empty());
    QCOMPARE(QString::fromStdString(Stored.back().Outcome), LastOutcome);
    if (LastOutcome == "hangup-failed") {
      // The refused hang-up left the line up; nothing dialled over it.
      QCOMPARE(Log.count("<6>dialling \"Line\""), 1);
      QCOMPARE(Stored.back().ErrorCode, 5);
      QVERIFY(IsEntryConnected("Line"));
    }
    FDir.WritePhonebook("[Line]\nUserName=u\nPassword=p\nDialSeconds=0\n");
    HangUpEntry("Line");
  }

  // kill -9 at any moment of the rotation leaves a database that opens with
  // every completed row.
  void KilledDuringRotations() {
    WriteConfig();
    FDir.WritePhonebook("[Line]\nUserName=u\nPassword=p\nDialSeconds=0\n");
    for (int Round = 0; Round < 3; ++Round) {
      QProcess Service;
      StartService(Service, Environment());
      const size_t Before = Rows().size();
      QTRY_VERIFY_WITH_TIMEOUT(Rows().size() >= Before + 2, 20000);
      // At a different moment of the cycle each round.
      QTest::qWait(300 * Round);
      const size_t Seen = Rows().size();
      ::kill(static_cast<pid_t>(Service.processId()), SIGKILL);
      QVERIFY(Service.waitForFinished(10000));
      sqlite3* Db = nullptr;
      QCOMPARE(sqlite3_open_v2(FWork.filePath("state/history.sqlite").toUtf8().constData(), &Db,
                               SQLITE_OPEN_READWRITE, nullptr),
               SQLITE_OK);
      sqlite3_stmt* Check = nullptr;
      QCOMPARE(sqlite3_prepare_v2(Db, "PRAGMA integrity_check", -1, &Check, nullptr), SQLITE_OK);
      QCOMPARE(sqlite3_step(Check), SQLITE_ROW);
      QCOMPARE(QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(Check, 0))),
               QByteArray("ok"));
      sqlite3_finalize(Check);
      sqlite3_close(Db);
      const auto After = Rows();
      QVERIFY(After.size() >= Seen);
      for (const TDialRecord& Row : After) {
        QCOMPARE(Row.Outcome, std::string("connected"));
        QVERIFY(!Row.LineAddress.empty());
      }
    }
  }

  void BadConfiguration_data() {
    QTest::addColumn<QByteArray>("Text");
    QTest::addColumn<QString>("Message");
    QTest::newRow("bad value") << QByteArray("entry = Line\n\noffline-seconds = soon\n")
                               << ":3: offline-seconds: must be a whole number";
    QTest::newRow("unknown key") << QByteArray("entry = Line\nonline = 5\n")
                                 << ":2: online: unknown key";
    QTest::newRow("no entry") << QByteArray("# nothing\n") << ": entry: not set";
  }
  void BadConfiguration() {
    QFETCH(QByteArray, Text);
    QFETCH(QString, Message);
    const QString File = FWork.filePath("bad.conf");
    WriteTextFile(File, Text);
    for (const QStringList& Args :
         {QStringList{"--config", File}, QStringList{"--config", File, "--check-config"}}) {
      QProcess Service;
      Service.setProcessEnvironment(Environment());
      Service.start(DRAVIKD, Args);
      QVERIFY(Service.waitForFinished(10000));
      QCOMPARE(Service.exitCode(), 78);
      const QString Err = QString::fromUtf8(Service.readAllStandardError());
      QVERIFY2(Err.contains(File + Message), qPrintable(Err));
    }
    QVERIFY(!QFile::exists(FWork.filePath("state/history.sqlite")));
  }

  // What an operator sees: log lines that say when they were written,
  // rotate --wait printing the new address it waited for, the metrics page
  // as Prometheus reads it, and the history read from its file once the
  // service is gone.
  void OperatorsView() {
    HangUpEntry("Line");
    WriteConfig({}, 60);
    QProcess Service;
    StartService(Service, Environment());
    QString Log;
    auto LogHas = [&](const QString& AText) {
      Log += QString::fromUtf8(Service.readAllStandardError());
      return Log.count(AText);
    };
    QTRY_VERIFY_WITH_TIMEOUT(LogHas("new address") == 1, 20000);
    static const QRegularExpression Stamped(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d \\S");
    for (const QString& Line : Log.split('\n', Qt::SkipEmptyParts))
      QVERIFY2(Stamped.match(Line).hasMatch(), qPrintable(Line));

    const QString First = StatusJson()["address"].toString();
    QVERIFY(!First.isEmpty());
    // Online for a minute: the new address is the one the request brought.
    const TRun Rotated = Ctl({"rotate", "--wait", "--timeout", "20"});
    QCOMPARE(Rotated.Exit, 0);
    const QString Address = Rotated.Out.trimmed();
    QVERIFY2(!Address.isEmpty() && Address != First, qPrintable(Rotated.Out + Rotated.Err));
    const QJsonObject Status = StatusJson();
    QCOMPARE(Status["address"].toString(), Address);
    QCOMPARE(Status["previous_address"].toString(), First);
    QCOMPARE(Status["rotations"].toInt(), 2);
    QCOMPARE(Status["waiting_for"].toString(), QString("online time"));

    QFile TokenFile(FWork.filePath("state/token"));
    QVERIFY(TokenFile.open(QIODevice::ReadOnly));
    const TControlAnswer Metrics = AskControl({{}, "127.0.0.1", FPort}, "GET", "/metrics",
                                              TokenFile.readAll().trimmed().toStdString());
    QCOMPARE(Metrics.Status, 200);
    QVERIFY2(Metrics.Body.contains("\ndravik_turns_total{result=\"rotated\"} 2\n"),
             Metrics.Body.constData());
    QVERIFY(Metrics.Body.contains(
        "\ndravik_info{entry=\"Line\",provider=\"sim\",simulated=\"true\"} 1\n"));
    QVERIFY(Metrics.Body.contains("\ndravik_phase{phase=\"online\"} 1\n"));
    QVERIFY(Metrics.Body.contains("\ndravik_dials_total 2\n"));
    QProcess Promtool;
    Promtool.start("promtool", {"check", "metrics"});
    QVERIFY2(Promtool.waitForStarted(10000), "promtool (Debian's prometheus package) is missing");
    Promtool.write(Metrics.Body);
    Promtool.closeWriteChannel();
    QVERIFY(Promtool.waitForFinished(20000));
    QVERIFY2(Promtool.exitCode() == 0, Promtool.readAll().constData());

    ::kill(static_cast<pid_t>(Service.processId()), SIGTERM);
    QVERIFY(Service.waitForFinished(20000));
    const TRun History = Ctl({"history", "--limit", "2"});
    QCOMPARE(History.Exit, 0);
    QVERIFY2(History.Err.contains("does not answer"), qPrintable(History.Err));
    const QStringList Lines = History.Out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(Lines.size(), 3);
    QVERIFY(Lines[0].startsWith("time "));
    QVERIFY(Lines[1].contains(" Line ") && Lines[1].contains(First));
    QVERIFY(Lines[2].contains(" Line ") && Lines[2].contains(Address));
    const TRun Csv = Ctl({"history", "--csv"});
    QCOMPARE(Csv.Exit, 0);
    QVERIFY(Csv.Out.startsWith("time,entry,outcome,line_address,"));
    QCOMPARE(Csv.Out.count("\r\n"), 3);
  }

  // --check-config looks beyond the file: the entry must be in the
  // phonebook and the hook a program that can run.
  void CheckConfig_data() {
    QTest::addColumn<QByteArray>("Text");
    QTest::addColumn<int>("Exit");
    QTest::addColumn<QString>("Said");
    QTest::newRow("fine") << QByteArray("entry = Line\n") << 0 << ": fine";
    QTest::newRow("entry not in the phonebook")
        << QByteArray("entry = Lnie\n") << 78
        << ": entry: the phonebook has no entry \"Lnie\"; it lists \"Line\"";
    QTest::newRow("hook not executable")
        << QByteArray("entry = Line\nhook = HOOK\n") << 78 << "hook.txt is not an executable file";
    QTest::newRow("hook missing") << QByteArray("entry = Line\nhook = /nowhere/hook\n") << 78
                                  << ": hook: /nowhere/hook: No such file or directory";
  }
  void CheckConfig() {
    QFETCH(QByteArray, Text);
    QFETCH(int, Exit);
    QFETCH(QString, Said);
    const QString Hook = FWork.filePath("hook.txt");
    WriteTextFile(Hook, "#!/bin/sh\n");
    // A folder of its own: another test's file beside it would clash.
    QVERIFY(QDir().mkpath(FWork.filePath("check")));
    const QString File = FWork.filePath("check/check.conf");
    WriteTextFile(File, Text.replace("HOOK", Hook.toUtf8()));
    QProcess Check;
    Check.setProcessEnvironment(Environment());
    Check.start(DRAVIKD, {"--config", File, "--check-config"});
    QVERIFY(Check.waitForFinished(10000));
    QCOMPARE(Check.exitCode(), Exit);
    const QString Out =
        QString::fromUtf8(Check.readAllStandardOutput() + Check.readAllStandardError());
    QVERIFY2(Out.contains(Said), qPrintable(Out));
  }

  void ClientRefused() {
    WriteConfig("token-file = " + FWork.filePath("token").toUtf8() + "\n");
    QProcess Service;
    StartService(Service, Environment());
    QTRY_VERIFY_WITH_TIMEOUT(Ctl({"status"}).Exit == 0, 20000);
    WriteTextFile(FWork.filePath("token"), "another-token-of-the-right-size");
    const TRun Wrong = Ctl({"status"});
    QCOMPARE(Wrong.Exit, 3);
    QVERIFY(Wrong.Err.contains("refused the token"));
    QCOMPARE(Ctl({"reboot"}).Exit, 2);
    QCOMPARE(Ctl({"status", "--since", "1h"}).Exit, 2);
    QCOMPARE(Ctl({"history", "--since", "last week"}).Exit, 2);
    Service.terminate();
    QVERIFY(Service.waitForFinished(20000));
    QCOMPARE(Service.exitCode(), 0);
  }

  // Both units pass systemd's own check, pointed at the programs and the
  // manual pages built here.
  void UnitsVerify_data() {
    QTest::addColumn<QString>("Unit");
    QTest::addColumn<bool>("User");
    QTest::newRow("system") << "dravikd.service" << false;
    QTest::newRow("user") << "user/dravikd.service" << true;
    QTest::newRow("one per line") << "dravikd@.service" << false;
  }
  void UnitsVerify() {
    QFETCH(QString, Unit);
    QFETCH(bool, User);
    if (QStandardPaths::findExecutable("systemd-analyze").isEmpty())
      QSKIP("systemd-analyze is not installed");
    QFile Source(QString(DRAVIK_UNITS) + "/" + Unit);
    QVERIFY(Source.open(QIODevice::ReadOnly));
    QByteArray Text = Source.readAll();
    QVERIFY(Text.contains("ExecStart=/usr/bin/dravikd"));
    Text.replace("ExecStart=/usr/bin/dravikd", "ExecStart=" DRAVIKD);
    // A template is checked as one of its instances.
    const QString Name = Unit.endsWith("@.service") ? "dravikd@line2.service" : "dravikd.service";
    QTemporaryDir Dir;
    WriteTextFile(Dir.filePath(Name), Text, QFile::ReadOwner | QFile::WriteOwner);
    QDir().mkpath(Dir.filePath("run"));
    QProcess Analyze;
    QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
    Environment.insert("XDG_RUNTIME_DIR", Dir.filePath("run"));
    // The pages the units name in Documentation=, where man looks for them.
    const QDir Pages(DRAVIK_MAN_PAGES);
    for (const QString& Page : Pages.entryList({"*.[158]"}, QDir::Files)) {
      const QString Section = "man/man" + Page.right(1);
      QVERIFY(QDir().mkpath(Dir.filePath(Section)));
      QVERIFY(QFile::copy(Pages.filePath(Page), Dir.filePath(Section + "/" + Page)));
    }
    Environment.insert("MANPATH", Dir.filePath("man"));
    Analyze.setProcessEnvironment(Environment);
    Analyze.setProcessChannelMode(QProcess::MergedChannels);
    Analyze.start("systemd-analyze", QStringList(User ? "--user" : "--system")
                                         << "verify" << Dir.filePath(Name));
    QVERIFY(Analyze.waitForFinished(60000));
    const QByteArray Output = Analyze.readAll();
    QVERIFY2(Analyze.exitCode() == 0 && Output.isEmpty(), Output.constData());
  }
};

DRAVIK_SERVICE_TEST_MAIN(TestDravikd)
#include "TestDravikd.moc"
