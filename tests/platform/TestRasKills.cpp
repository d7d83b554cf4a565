// The simulated service's state against processes killed (SIGKILL) at
// random moments of their dials and hang-ups, many times over: the state
// file is always whole, the next calls still work (no lock is left held, no
// call hangs), the listing stays consistent, and what a killed write left
// behind does not pile up.

#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <map>
#include <set>

#include "RasControl.h"
#include "RasTestSupport.h"
#include "SimState.h"
#include "TestSupport.h"

using dravik::ras::TSimStateData;
using dravik::ras::TSimStore;

namespace {

// Other connections that make the state file long enough for a write of it
// to take a while.
constexpr DWORD Crowd = 200;

const QByteArray Phonebook =
    "[Line]\nUserName=u\nPassword=p\nDialSeconds=0.05\n"
    "[Crowd]\nUserName=c\nPassword=c\nDialSeconds=0\n";

// Runs the tool to its end; its exit code, or -1 when it did not end in
// time or crashed.
int RunTool(const QStringList& AArgs, QString* AError = nullptr) {
  QProcess Tool;
  Tool.start(ToolPath(), AArgs);
  if (!Tool.waitForFinished(10000) || Tool.exitStatus() != QProcess::NormalExit) {
    Tool.kill();
    Tool.waitForFinished();
    return -1;
  }
  if (AError != nullptr) *AError = QString::fromLocal8Bit(Tool.readAllStandardError());
  return Tool.exitCode();
}

}  // namespace

class TestRasKills : public QObject {
  Q_OBJECT

 private:
  TSimServiceDir FDir;

  QString RuntimeDir() const { return FDir.Path() + "/run"; }
  QString StatePath() const { return RuntimeDir() + "/state"; }

  // The temporary files of the state's writes in the service's folder.
  QStringList Temporaries() const {
    return QDir(RuntimeDir())
        .entryList(QDir::Files | QDir::Hidden)
        .filter(QRegularExpression(QStringLiteral("^state\\.[A-Za-z0-9]{6}$")));
  }

  // The state file as a whole write leaves it: it reads back to exactly its
  // own text, and every listed connection's entry has its latest address
  // recorded after it (the part a cut between lines would lose).
  void CheckStateWhole() {
    QFile File(StatePath());
    QVERIFY(File.open(QIODevice::ReadOnly));
    const std::string Text = File.readAll().toStdString();
    TSimStateData State;
    TSimStore::Parse(Text, State);
    QCOMPARE(TSimStore::Format(State), Text);
    std::map<std::string, int> PerEntry;
    for (const auto& Connection : State.Connections) PerEntry[Connection.EntryName] += 1;
    for (const auto& [Entry, Count] : PerEntry) QVERIFY(State.LastAddress.count(Entry) == 1);
    QCOMPARE(PerEntry["Crowd"], int(Crowd));
    QVERIFY(PerEntry["Line"] <= 1);
  }

  // The listing as this process sees it: every crowd connection, and at
  // most one of the line, each with a status.
  void CheckListing() {
    std::vector<RASCONNA> Listed(Crowd + 16);
    Listed[0].dwSize = sizeof(RASCONNA);
    DWORD Bytes = static_cast<DWORD>(Listed.size() * sizeof(RASCONNA));
    DWORD Count = 0;
    QCOMPARE(RasEnumConnectionsA(Listed.data(), &Bytes, &Count), ERROR_SUCCESS);
    Listed.resize(Count);
    int Lines = 0;
    int Crowded = 0;
    std::set<HRASCONN> Handles;
    for (const RASCONNA& Connection : Listed) {
      Handles.insert(Connection.hrasconn);
      Lines += std::string(Connection.szEntryName) == "Line";
      Crowded += std::string(Connection.szEntryName) == "Crowd";
    }
    QCOMPARE(Handles.size(), Listed.size());
    QVERIFY(Lines <= 1);
    QCOMPARE(Crowded, int(Crowd));
  }

 private slots:
  void initTestCase() {
    QVERIFY(QFile::exists(ToolPath()));
    FDir.WritePhonebook(Phonebook);
    QCOMPARE(DravikRasAddConnected("Crowd", Crowd), ERROR_SUCCESS);
  }

  void KilledDuringCalls_data() {
    QTest::addColumn<QStringList>("Command");
    QTest::newRow("dial") << QStringList{"dial", "Line"};
    QTest::newRow("dial --async") << QStringList{"dial", "Line", "--async"};
    QTest::newRow("hangup") << QStringList{"hangup", "Line"};
  }
  void KilledDuringCalls() {
    QFETCH(QStringList, Command);
    const bool HangUp = Command[0] == "hangup";
    // How long the call lives when it is left alone: the kills fall over
    // all of it.
    QElapsedTimer Clock;
    Clock.start();
    RunTool({HangUp ? "dial" : "hangup", "Line"});
    Clock.restart();
    QCOMPARE(RunTool(Command), 0);
    const qint64 Lifetime = std::max<qint64>(Clock.nsecsElapsed() / 1000, 1000);

    for (int Kill = 0; Kill < 30; ++Kill) {
      // The line as the call expects to find it, set by the tool, which
      // must not hang on a lock the killed process held.
      QString Error;
      const int Prepared = RunTool({HangUp ? "dial" : "hangup", "Line"}, &Error);
      QVERIFY2(Prepared == 0 || (!HangUp && Prepared == 1 && Error.contains("(error 668)")),
               qPrintable(QString::number(Prepared) + " " + Error));

      QProcess Call;
      Call.start(ToolPath(), Command);
      QVERIFY(Call.waitForStarted(10000));
      QThread::usleep(QRandomGenerator::global()->bounded(Lifetime * 5 / 4));
      ::kill(static_cast<pid_t>(Call.processId()), SIGKILL);
      QVERIFY(Call.waitForFinished(10000));

      CheckStateWhole();
      if (QTest::currentTestFailed()) return;
      QVERIFY2(Temporaries().size() <= 1, qPrintable(Temporaries().join(' ')));
      CheckListing();
      if (QTest::currentTestFailed()) return;
    }
    // A change after all that still goes through, and leaves no temporary
    // file behind.
    QCOMPARE(RunTool({"dial", "Line"}), 0);
    QCOMPARE(RunTool({"hangup", "Line"}), 0);
    CheckStateWhole();
    CheckListing();
    QCOMPARE(Temporaries(), QStringList());
  }

  // What a write killed half-way leaves beside the state goes with the next
  // change, whichever process makes it; files that only look alike stay.
  void LeftoverRemovedByNextChange() {
    const QStringList Leftovers = {"state.a1B2c3", "state.XXXXXX"};
    for (const QString& Name : Leftovers) {
      QFile File(RuntimeDir() + "/" + Name);
      QVERIFY(File.open(QIODevice::WriteOnly));
      File.write("dravik-ras-state 1\nnext 4");
    }
    const QStringList Kept = {"state.abc", "state.a1B2c3.old", "other.a1B2c3"};
    for (const QString& Name : Kept) {
      QFile File(RuntimeDir() + "/" + Name);
      QVERIFY(File.open(QIODevice::WriteOnly));
    }
    QCOMPARE(Temporaries().size(), 2);
    QCOMPARE(RunTool({"dial", "Line"}), 0);
    QCOMPARE(Temporaries(), QStringList());
    for (const QString& Name : Kept) QVERIFY(QFile::remove(RuntimeDir() + "/" + Name));
    CheckStateWhole();
    QCOMPARE(RunTool({"hangup", "Line"}), 0);
  }
};

DRAVIK_TEST_MAIN(TestRasKills)
#include "TestRasKills.moc"
