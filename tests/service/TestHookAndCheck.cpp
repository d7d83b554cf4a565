// The hook (argument vector, variables, output in the log, failure, time
// limit) and the address check (answers, failures, time limit), alone and
// within the rotation against the simulated service.

#include <signal.h>

#include <QHttpServer>
#include <QHttpServerResponse>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "RASManager.h"
#include "RasControl.h"
#include "ServiceTestSupport.h"
#include "TAddressCheck.h"
#include "THistory.h"
#include "THookRunner.h"
#include "TRotation.h"
#include "TServiceLog.h"
#include "TSimServiceDir.h"

namespace {

bool ProcessGone(const QString& APid) {
  QFile Stat("/proc/" + APid + "/stat");
  if (!Stat.open(QIODevice::ReadOnly)) return true;
  const QByteArray Text = Stat.readAll();
  // A zombie waiting for a parent that does not reap it is gone too.
  return Text.mid(Text.lastIndexOf(')') + 2, 1) == "Z";
}

}  // namespace

class TestHookAndCheck : public QObject {
  Q_OBJECT

 private:
  TSimServiceDir FDir;
  QTemporaryDir FWork;
  TServiceLog FLog{false};
  QStringList FLines;
  QHttpServer FWeb;
  int FWebPort = 0;
  QStringList FAnswers;  // what /ip answers next, one per request
  QByteArray FBigAnswer = QByteArray(10000, '1');

  QString Script(const QString& AName, const QByteArray& ABody) {
    const QString Path = FWork.filePath(AName);
    WriteTextFile(Path, "#!/bin/sh\n" + ABody,
                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return Path;
  }

  std::string Url(const char* APath) const {
    return QString("http://127.0.0.1:%1%2").arg(FWebPort).arg(APath).toStdString();
  }

 private slots:
  void initTestCase() {
    FLog.Tap = [this](TServiceLog::TPriority, const std::string& AText) {
      FLines << QString::fromStdString(AText);
    };
    FWeb.route("/ip",
               [this] { return FAnswers.isEmpty() ? QString("no more") : FAnswers.takeFirst(); });
    FWeb.route("/html", [] { return QString("<html><body>203.0.113.7</body></html>"); });
    FWeb.route("/big", [this] { return FBigAnswer; });
    FWebPort = FWeb.listen(QHostAddress::LocalHost, 0);
    QVERIFY(FWebPort > 0);
  }

  void init() { FLines.clear(); }

  // Program and arguments as given, no shell; the variables in its
  // environment; its output in the log, one line a line.
  void HookArgumentsAndVariables() {
    const QString Hook = Script("args",
                                "printf '[%s]' \"$@\"; echo\n"
                                "echo \"$DRAVIK_ENTRY|$DRAVIK_ADDRESS|$DRAVIK_PREVIOUS_ADDRESS\"\n"
                                "printf 'no line end'\n");
    THookRunner Runner(nullptr, {Hook.toStdString(), "a b", "$HOME", "*;true"}, 30, FLog);
    int Finished = 0;
    int Code = -2;
    Runner.OnFinished = [&](int ACode, bool) {
      ++Finished;
      Code = ACode;
    };
    Runner.Run({{"DRAVIK_ENTRY", "My line"},
                {"DRAVIK_ADDRESS", "100.64.0.7"},
                {"DRAVIK_PREVIOUS_ADDRESS", ""}});
    QTRY_COMPARE_WITH_TIMEOUT(Finished, 1, 10000);
    QCOMPARE(Code, 0);
    QCOMPARE(FLines, (QStringList{"hook: [a b][$HOME][*;true]", "hook: My line|100.64.0.7|",
                                  "hook: no line end"}));
  }

  void HookFails_data() {
    QTest::addColumn<QByteArray>("Body");
    QTest::addColumn<int>("Code");
    QTest::addColumn<QString>("Logged");
    QTest::newRow("exit code") << QByteArray("exit 3\n") << 3 << "hook: failed with exit code 3";
    QTest::newRow("signal") << QByteArray("kill -9 $$\n") << -1 << "hook: ended by a signal";
  }
  void HookFails() {
    QFETCH(QByteArray, Body);
    QFETCH(int, Code);
    QFETCH(QString, Logged);
    THookRunner Runner(nullptr, {Script("fails", Body).toStdString()}, 30, FLog);
    int Got = -2;
    Runner.OnFinished = [&](int ACode, bool) { Got = ACode; };
    Runner.Run({});
    QTRY_COMPARE_WITH_TIMEOUT(Got, Code, 10000);
    QVERIFY2(FLines.contains(Logged), qPrintable(FLines.join('\n')));
  }

  void HookMissing() {
    THookRunner Runner(nullptr, {FWork.filePath("none").toStdString()}, 30, FLog);
    int Got = -2;
    Runner.OnFinished = [&](int ACode, bool) { Got = ACode; };
    Runner.Run({});
    QTRY_COMPARE_WITH_TIMEOUT(Got, -1, 10000);
    QVERIFY(FLines.filter("did not start").size() == 1);
    QVERIFY(!Runner.Running());
  }

  // At its time limit (on the test clock) the hook is killed, with what it
  // started; the next waiting run goes ahead.
  void HookTimeLimit() {
    const QString PidFile = FWork.filePath("child.pid");
    const QString Slow =
        Script("slow", "sleep 600 &\necho $! > '" + PidFile.toUtf8() + "'\necho started\nwait\n");
    THookRunner Runner(nullptr, {Slow.toStdString()}, 5, FLog);
    std::vector<std::pair<int, bool>> Runs;
    Runner.OnFinished = [&](int ACode, bool AKilled) { Runs.push_back({ACode, AKilled}); };
    Runner.Run({});
    Runner.Run({});
    QCOMPARE(Runner.Waiting(), size_t(1));
    QTRY_VERIFY_WITH_TIMEOUT(FLines.contains("hook: started"), 10000);
    const auto ChildPid = [&PidFile] {
      QFile Pid(PidFile);
      return Pid.open(QIODevice::ReadOnly) ? QString::fromLatin1(Pid.readAll().trimmed())
                                           : QString();
    };
    QTRY_VERIFY_WITH_TIMEOUT(!ChildPid().isEmpty(), 10000);
    const QString Child = ChildPid();
    TManualClock::Instance().Advance(4900);
    QCoreApplication::processEvents();
    QVERIFY(Runs.empty());
    TManualClock::Instance().Advance(100);
    QTRY_COMPARE_WITH_TIMEOUT(Runs.size(), size_t(1), 10000);
    QCOMPARE(Runs[0], std::make_pair(-1, true));
    QVERIFY(FLines.contains("hook: killed after 5 s"));
    QTRY_VERIFY_WITH_TIMEOUT(ProcessGone(Child), 10000);
    // The second run started; end it the same way.
    QTRY_COMPARE_WITH_TIMEOUT(FLines.count("hook: started"), 2, 10000);
    TManualClock::Instance().Advance(5000);
    QTRY_COMPARE_WITH_TIMEOUT(Runs.size(), size_t(2), 10000);
  }

  void AnswerForms_data() {
    QTest::addColumn<QByteArray>("Answer");
    QTest::addColumn<QString>("Address");
    QTest::newRow("IPv4") << QByteArray("203.0.113.7") << "203.0.113.7";
    QTest::newRow("line break") << QByteArray("203.0.113.7\r\n") << "203.0.113.7";
    QTest::newRow("IPv6") << QByteArray("2001:DB8::1\n") << "2001:db8::1";
    QTest::newRow("two addresses") << QByteArray("203.0.113.7 203.0.113.8") << "";
    QTest::newRow("html") << QByteArray("<b>203.0.113.7</b>") << "";
    QTest::newRow("out of range") << QByteArray("203.0.113.300") << "";
    QTest::newRow("empty") << QByteArray("") << "";
    QTest::newRow("hex word") << QByteArray("deadbeef") << "";
  }
  void AnswerForms() {
    QFETCH(QByteArray, Answer);
    QFETCH(QString, Address);
    QCOMPARE(QString::fromStdString(TAddressCheck::AddressFromAnswer(Answer)), Address);
  }

  void CheckOutcomes_data() {
    QTest::addColumn<QString>("Path");
    QTest::addColumn<QString>("Address");
    QTest::addColumn<QString>("Problem");
    QTest::newRow("address") << "/ip"
                             << "198.51.100.4"
                             << "";
    QTest::newRow("html") << "/html"
                          << ""
                          << "the answer holds no address";
    QTest::newRow("too long") << "/big"
                              << ""
                              << "the answer is longer than an address";
    QTest::newRow("not found") << "/none"
                               << ""
                               << "Not Found";
  }
  void CheckOutcomes() {
    QFETCH(QString, Path);
    QFETCH(QString, Address);
    QFETCH(QString, Problem);
    FAnswers = {"198.51.100.4\n"};
    TAddressCheck Check(nullptr, Url(Path.toUtf8().constData()), 10);
    int Calls = 0;
    QString GotAddress, GotProblem;
    Check.Fetch([&](const std::string& AAddress, const std::string& AProblem) {
      ++Calls;
      GotAddress = QString::fromStdString(AAddress);
      GotProblem = QString::fromStdString(AProblem);
    });
    QTRY_COMPARE_WITH_TIMEOUT(Calls, 1, 10000);
    QCOMPARE(GotAddress, Address);
    QVERIFY2(GotProblem.contains(Problem) && GotProblem.isEmpty() == Problem.isEmpty(),
             qPrintable(GotProblem));
    QVERIFY(!Check.Busy());
  }

  // A server that never answers: the check gives up at its time limit.
  void CheckTimeLimit() {
    QTcpServer Silent;
    QVERIFY(Silent.listen(QHostAddress::LocalHost, 0));
    TAddressCheck Check(
        nullptr, QString("http://127.0.0.1:%1/ip").arg(Silent.serverPort()).toStdString(), 3);
    QString GotProblem;
    Check.Fetch([&](const std::string&, const std::string& AProblem) {
      GotProblem = QString::fromStdString(AProblem);
    });
    QTRY_VERIFY_WITH_TIMEOUT(Silent.hasPendingConnections(), 10000);
    TManualClock::Instance().Advance(2999);
    QCoreApplication::processEvents();
    QVERIFY(GotProblem.isEmpty());
    TManualClock::Instance().Advance(1);
    QCOMPARE(GotProblem, QString("no answer within 3 s"));
  }

  // With hook-on-failure the hook hears of a failed dial too, with its
  // code; without it only of new addresses. Each run says when.
  void HookOnFailure_data() {
    QTest::addColumn<bool>("OnFailure");
    QTest::newRow("new addresses only") << false;
    QTest::newRow("failures too") << true;
  }
  void HookOnFailure() {
    QFETCH(bool, OnFailure);
    FDir.WritePhonebook("[Line]\nUserName=u\nPassword=p\nDialSeconds=0\n");
    const QString Out = FWork.filePath("failure.out");
    QFile::remove(Out);
    const QString Hook = Script("failure",
                                "echo \"$DRAVIK_RESULT|$DRAVIK_ERROR|$DRAVIK_ADDRESS|"
                                "$DRAVIK_PREVIOUS_ADDRESS|$DRAVIK_INTERFACE|$DRAVIK_ADDRESS6|"
                                "$DRAVIK_PREFIX6|$DRAVIK_TIME\" >> '" +
                                    Out.toUtf8() + "'\n");
    TServiceConfig Config;
    Config.Entry = "Line";
    Config.HookOnFailure = OnFailure;
    TComponent Root(nullptr);
    auto* Runner = new THookRunner(&Root, {Hook.toStdString()}, 30, FLog);
    auto* Rotation = new TRotation(&Root, Config, FLog, nullptr, nullptr, Runner);
    std::vector<TDialRecord> Rows;
    Rotation->OnRecorded = [&](const TDialRecord& ARow) { Rows.push_back(ARow); };
    QCOMPARE(DravikRasFailNextDial("Line", 691), DWORD(0));
    std::string Problem;
    QVERIFY(Rotation->Start(Problem));
    QVERIFY(AdvanceUntil([&] { return Rows.size() >= 2; }, 60000, 100,
                         [&] { return DialOnItsWay(Rotation) || Runner->Running(); }));
    QCOMPARE(Rows[0].Outcome, std::string("failed"));
    QCOMPARE(Rows[1].Outcome, std::string("connected"));
    const int Runs = OnFailure ? 2 : 1;
    QTRY_COMPARE_WITH_TIMEOUT(Runner->Runs(), uint64_t(Runs), 10000);
    QFile Recorded(Out);
    QVERIFY(Recorded.open(QIODevice::ReadOnly));
    const QStringList Lines = QString::fromUtf8(Recorded.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(Lines.size(), Runs);
    // The simulated line has no network interface of its own to name.
    // The line's IPv6 facts come with a new address only.
    QVERIFY(!Rows[1].Address6.empty() && !Rows[1].Prefix6.empty());
    const QString Rotated = QString::fromStdString("rotated||" + Rows[1].LineAddress + "|||" +
                                                   Rows[1].Address6 + "|" + Rows[1].Prefix6 + "|");
    QVERIFY2(Lines.last().startsWith(Rotated), qPrintable(Lines.last()));
    if (OnFailure) QVERIFY2(Lines[0].startsWith("failed|691||||||"), qPrintable(Lines[0]));
    static const QRegularExpression Time(
        "\\|\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$");
    for (const QString& Line : Lines) QVERIFY2(Time.match(Line).hasMatch(), qPrintable(Line));
    HangUpEntry("Line");
  }

  // Within the rotation: the public address is the one verified, recorded
  // and handed to the hook; a public address seen again is redialled even
  // though the line's own address changed; a failed check is retried.
  void RotationWithCheckAndHook() {
    FDir.WritePhonebook("[Line]\nUserName=u\nPassword=p\nDialSeconds=0\n");
    const QString Out = FWork.filePath("hook.out");
    const QString Hook = Script("record",
                                "echo \"$DRAVIK_ENTRY $DRAVIK_ADDRESS $DRAVIK_PREVIOUS_ADDRESS "
                                "$DRAVIK_PUBLIC_ADDRESS\" >> '" +
                                    Out.toUtf8() + "'\n");
    FAnswers = {"203.0.113.1", "203.0.113.1", "203.0.113.2", "garbage", "203.0.113.3"};
    TServiceConfig Config;
    Config.Entry = "Line";
    Config.CheckUrl = Url("/ip");
    QTemporaryDir Work;
    THistory History;
    QCOMPARE(History.Open(Work.filePath("h.sqlite").toStdString()), std::string());
    TComponent Root(nullptr);
    auto* Check = new TAddressCheck(&Root, Config.CheckUrl, 10);
    auto* Runner = new THookRunner(&Root, {Hook.toStdString()}, 30, FLog);
    int Hooks = 0;
    Runner->OnFinished = [&](int, bool) { ++Hooks; };
    auto* Rotation = new TRotation(&Root, Config, FLog, &History, Check, Runner);
    std::vector<TDialRecord> Rows;
    Rotation->OnRecorded = [&](const TDialRecord& ARow) { Rows.push_back(ARow); };
    std::string Problem;
    QVERIFY(Rotation->Start(Problem));
    // The check and the hook run in real time; the test clock waits for them.
    const bool Done = AdvanceUntil([&] { return Rows.size() >= 5; }, 1000000, 100,
                                   [&] {
                                     return Rotation->Phase() == TRotation::TPhase::Checking ||
                                            Runner->Running() || DialOnItsWay(Rotation);
                                   });
    QVERIFY(Done);
    const QStringList Outcomes{"connected", "repeated", "connected", "check-failed", "connected"};
    const QStringList Publics{"203.0.113.1", "203.0.113.1", "203.0.113.2", "", "203.0.113.3"};
    for (int I = 0; I < 5; ++I) {
      QCOMPARE(QString::fromStdString(Rows[I].Outcome), Outcomes[I]);
      QCOMPARE(QString::fromStdString(Rows[I].PublicAddress), Publics[I]);
      QVERIFY(!Rows[I].LineAddress.empty());
    }
    QVERIFY(Rows[1].LineAddress != Rows[0].LineAddress);
    QCOMPARE(Rows[3].Detail, std::string("the answer holds no address"));
    QCOMPARE(History.Since(0, 10).size(), size_t(5));
    QTRY_COMPARE_WITH_TIMEOUT(Hooks, 3, 10000);
    QVERIFY2(FLines.filter("hook: killed").isEmpty(), qPrintable(FLines.join("\n")));
    QFile Recorded(Out);
    QVERIFY(Recorded.open(QIODevice::ReadOnly));
    const QStringList Lines = QString::fromUtf8(Recorded.readAll()).split('\n', Qt::SkipEmptyParts);
    const auto Line = [&](int ARow, const std::string& APrevious) {
      return QString::fromStdString("Line " + Rows[ARow].LineAddress + " " + APrevious + " " +
                                    Rows[ARow].PublicAddress);
    };
    QCOMPARE(Lines, (QStringList{Line(0, ""), Line(2, Rows[0].LineAddress),
                                 Line(4, Rows[2].LineAddress)}));
    HangUpEntry("Line");
  }
};

DRAVIK_SERVICE_TEST_MAIN(TestHookAndCheck)
#include "TestHookAndCheck.moc"
