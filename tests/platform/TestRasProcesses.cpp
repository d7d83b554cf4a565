// The simulated dial-up service shared by several processes: the command-line
// tool and this test program see one set of connections, concurrent dials
// leave it consistent, a killed process leaves it readable, and the provider
// choice follows the environment and the configuration file.

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QTest>
#include <memory>

#include "Ras.h"
#include "RasTestSupport.h"
#include "TPlantedFile.h"
#include "TestSupport.h"

namespace {

struct TRun {
  int Exit = -1;
  QString Out;
  QString Err;
};

// Runs a program with an argument vector (no shell) and extra environment.
TRun RunProgram(const QString& AProgram, const QStringList& AArgs,
                const QStringList& AEnvironment = {}) {
  QProcess Process;
  QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
  for (const QString& Setting : AEnvironment) {
    const int Equals = Setting.indexOf('=');
    if (Equals < 0) {
      Environment.remove(Setting);
    } else {
      Environment.insert(Setting.left(Equals), Setting.mid(Equals + 1));
    }
  }
  Process.setProcessEnvironment(Environment);
  Process.start(AProgram, AArgs);
  TRun Run;
  if (!Process.waitForFinished(20000) || Process.exitStatus() != QProcess::NormalExit) return Run;
  Run.Exit = Process.exitCode();
  Run.Out = QString::fromLocal8Bit(Process.readAllStandardOutput());
  Run.Err = QString::fromLocal8Bit(Process.readAllStandardError());
  return Run;
}

TRun RunTool(const QStringList& AArgs, const QStringList& AEnvironment = {}) {
  return RunProgram(ToolPath(), AArgs, AEnvironment);
}

// The tool's "connections" lines, split into their fields.
QList<QStringList> ToolConnections() {
  QList<QStringList> Lines;
  const TRun Run = RunTool({"connections"});
  if (Run.Exit != 0) return Lines;
  for (const QString& Line : Run.Out.split('\n', Qt::SkipEmptyParts)) Lines << Line.split('\t');
  return Lines;
}

const QByteArray Phonebook =
    "[Instant]\nUserName=bob\nPassword=pw\nDialSeconds=0\n"
    "[A]\nDialSeconds=0.2\n"
    "[B]\nDialSeconds=0.1\n"
    "[C]\nDialSeconds=0\n"
    "[Slow]\nDialSeconds=3\n";

}  // namespace

class TestRasProcesses : public QObject {
  Q_OBJECT

 private:
  TSimServiceDir FDir{TSimServiceDir::ServiceChoosesProvider};

 private slots:
  void initTestCase() {
    QVERIFY(QFile::exists(ToolPath()));
    FDir.WritePhonebook(Phonebook);
  }
  void init() {
    FDir.WritePhonebook(Phonebook);
    QFile::remove(FDir.Path() + "/ras.conf");
    HangUpAll();
  }

  // A connection this process dialled is seen by the tool, and one the tool
  // dialled by this process, with the same handle and address.
  void OtherProcessSeesConnection() {
    RASDIALPARAMSA Params = StoredParams("Instant");
    HRASCONN Handle = 0;
    QCOMPARE(RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle), ERROR_SUCCESS);
    const QString Address = QString::fromStdString(AddressesOf(Handle).first);
    const QList<QStringList> Seen = ToolConnections();
    QCOMPARE(Seen.size(), 1);
    QCOMPARE(Seen[0], (QStringList{QString::number(Handle), "Instant", "Connected", Address,
                                   QString::fromStdString(AddressesOf(Handle).second)}));

    const TRun Dial = RunTool({"dial", "B"});
    QCOMPARE(Dial.Exit, 0);
    const QStringList Fields = Dial.Out.trimmed().split('\t');
    QCOMPARE(Fields.size(), 4);
    const auto Listed = ListedConnections();
    QCOMPARE(Listed.size(), size_t(2));
    QCOMPARE(QString::number(Listed[1].hrasconn), Fields[0]);
    QCOMPARE(QString(Listed[1].szEntryName), QString("B"));
    QCOMPARE(QString::fromStdString(AddressesOf(Listed[1].hrasconn).first), Fields[2]);

    // Hung up by the tool: gone here too, for its status as for the listing.
    QCOMPARE(RunTool({"hangup", "Instant"}).Exit, 0);
    DWORD Result = 0;
    StateOf(Handle, &Result);
    QCOMPARE(Result, DWORD(ERROR_INVALID_HANDLE));
    QCOMPARE(ListedEntryNames(), std::vector<std::string>{"B"});
  }

  // Many processes dialling and adding at the same moment: every dial of an
  // entry ends in its one connection, nothing is lost, no handle or address
  // is given twice.
  void ConcurrentProcesses() {
    std::vector<std::unique_ptr<QProcess>> Processes;
    const QList<QStringList> Commands = {{"dial", "A"},     {"dial", "B"},
                                         {"dial", "A"},     {"dial", "B", "--async"},
                                         {"add", "C", "5"}, {"dial", "A", "--async"},
                                         {"add", "C", "5"}, {"dial", "B"}};
    for (const QStringList& Command : Commands) {
      Processes.push_back(std::make_unique<QProcess>());
      Processes.back()->start(ToolPath(), Command);
    }
    QSet<QString> DialHandles[2];
    for (size_t Index = 0; Index < Processes.size(); ++Index) {
      QProcess& Process = *Processes[Index];
      QVERIFY(Process.waitForFinished(20000));
      QCOMPARE(Process.exitCode(), 0);
      const QStringList& Command = Commands[int(Index)];
      if (Command[0] == "dial" && Command.size() == 2) {
        DialHandles[Command[1] == "A" ? 0 : 1]
            << QString(Process.readAllStandardOutput()).section('\t', 0, 0);
      }
    }
    QCOMPARE(DialHandles[0].size(), 1);
    QCOMPARE(DialHandles[1].size(), 1);

    const auto Listed = ListedConnections();
    QMap<QString, int> PerEntry;
    QSet<HRASCONN> Handles;
    QSet<QString> Addresses;
    for (const RASCONNA& Connection : Listed) {
      PerEntry[Connection.szEntryName] += 1;
      Handles << Connection.hrasconn;
      QCOMPARE(StateOf(Connection.hrasconn), RASCS_Connected);
      Addresses << QString::fromStdString(AddressesOf(Connection.hrasconn).first);
    }
    QCOMPARE(PerEntry, (QMap<QString, int>{{"A", 1}, {"B", 1}, {"C", 10}}));
    QCOMPARE(Handles.size(), int(Listed.size()));
    QCOMPARE(Addresses.size(), int(Listed.size()));
    // The dials of an entry all got the handle of its one connection.
    for (const RASCONNA& Connection : Listed) {
      const QString Entry = Connection.szEntryName;
      if (Entry == "C") continue;
      QCOMPARE(*DialHandles[Entry == "A" ? 0 : 1].begin(), QString::number(Connection.hrasconn));
    }
    QCOMPARE(ToolConnections().size(), int(Listed.size()));
  }

  // A process killed in the middle of its dial leaves the connection listed,
  // and it comes up on time for everyone.
  void KilledMidDial() {
    QProcess Process;
    Process.start(ToolPath(), {"dial", "Slow"});
    QVERIFY(Process.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(ListedEntryNames(), std::vector<std::string>{"Slow"}, 5000);
    Process.kill();
    QVERIFY(Process.waitForFinished());
    const HRASCONN Handle = ListedConnections()[0].hrasconn;
    QVERIFY(StateOf(Handle) < RASCS_Connected);
    QTRY_COMPARE_WITH_TIMEOUT(StateOf(Handle), RASCS_Connected, 10000);
    QVERIFY(!AddressesOf(Handle).first.empty());
  }

  // A program that ends while the library reports its dial ends at once and
  // cleanly; the dial goes on without it.
  void ExitWhileDialling() {
    QElapsedTimer Timer;
    Timer.start();
    const TRun Run = RunProgram(QCoreApplication::applicationDirPath() + "/ras_probe",
                                {"exit-while-dialling", "Slow"});
    QCOMPARE(Run.Exit, 0);
    QVERIFY2(Run.Err.isEmpty(), qPrintable(Run.Err));
    QVERIFY2(Run.Out.contains("dialled 0 "), qPrintable(Run.Out));
    QVERIFY(!Run.Out.contains("notified 8192"));
    QVERIFY(Timer.elapsed() < 3000);  // did not wait for the dial's 3 s
    QCOMPARE(ListedEntryNames(), std::vector<std::string>{"Slow"});
    QTRY_COMPARE_WITH_TIMEOUT(StateOf(ListedConnections()[0].hrasconn), RASCS_Connected, 10000);
  }

  // The tool's commands: exit status and what it says.
  void ToolCommands_data() {
    QTest::addColumn<QStringList>("Args");
    QTest::addColumn<int>("Exit");
    QTest::addColumn<QString>("Out");
    QTest::addColumn<QString>("Err");
    QTest::newRow("entries") << QStringList{"entries"} << 0 << "Instant\nA\nB\nC\nSlow\n"
                             << "";
    QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: dravik-ras"
                          << "";
    QTest::newRow("dial async")
        << QStringList{"dial", "B", "--async"} << 0
        << "0\tOpening port\t0\n1\tPort opened\t0\n2\tConnecting device\t0\n"
           "3\tDevice connected\t0\n4\tAll devices connected\t0\n5\tStart authenticating\t0\n"
           "14\tAuthenticated\t0\n8192\tConnected\t0\n"
        << "";
    QTest::newRow("dial unknown entry") << QStringList{"dial", "Nowhere"} << 1 << ""
                                        << "no such entry (error 623)";
    QTest::newRow("hangup without connection") << QStringList{"hangup", "A"} << 1 << ""
                                               << "(error 668)";
    QTest::newRow("drop without connection") << QStringList{"drop", "A"} << 1 << ""
                                             << "(error 668)";
    QTest::newRow("fail unknown entry") << QStringList{"fail", "Z", "5"} << 1 << ""
                                        << "623";
    QTest::newRow("fail code not a number") << QStringList{"fail", "A", "x5"} << 2 << ""
                                            << "error code must be a number";
    QTest::newRow("repeat unknown entry") << QStringList{"repeat", "Z"} << 1 << ""
                                          << "623";
    QTest::newRow("repeat known entry") << QStringList{"repeat", "A"} << 0 << ""
                                        << "";
    QTest::newRow("repeat two entries") << QStringList{"repeat", "A", "B"} << 2 << ""
                                        << "wrong number";
    QTest::newRow("add none") << QStringList{"add", "A", "0"} << 2 << ""
                              << "count must be";
    QTest::newRow("add too many") << QStringList{"add", "A", "1001"} << 2 << ""
                                  << "count must be";
    QTest::newRow("no command") << QStringList{} << 2 << ""
                                << "no command";
    QTest::newRow("unknown command") << QStringList{"redial"} << 2 << ""
                                     << "unknown command";
    QTest::newRow("missing entry") << QStringList{"dial"} << 2 << ""
                                   << "wrong number";
    QTest::newRow("unknown option") << QStringList{"dial", "A", "--sync"} << 2 << ""
                                    << "unknown option";
    QTest::newRow("name too long") << QStringList{"dial", QString(257, 'n')} << 2 << ""
                                   << "1 to 256 characters";
  }
  void ToolCommands() {
    QFETCH(QStringList, Args);
    QFETCH(int, Exit);
    QFETCH(QString, Out);
    QFETCH(QString, Err);
    const TRun Run = RunTool(Args);
    QCOMPARE(Run.Exit, Exit);
    if (Exit == 0 && Args.value(0) != "--help") QCOMPARE(Run.Out, Out);
    QVERIFY2(Run.Out.contains(Out), qPrintable(Run.Out));
    QVERIFY2(Run.Err.contains(Err), qPrintable(Run.Err));
    if (Exit != 0) QVERIFY(!Run.Err.isEmpty());
  }

  // A phonebook that cannot be used, or that lists nothing, is named with
  // what is wrong with it; so is a file of the run folder in the way.
  void BadPhonebooks_data() {
    QTest::addColumn<QString>("Kind");
    QTest::addColumn<QByteArray>("Content");
    QTest::addColumn<QStringList>("Args");
    QTest::addColumn<int>("Exit");
    QTest::addColumn<QString>("Err");
    const QStringList Entries{"entries"};
    QTest::newRow("binary") << "file" << QByteArray("\x00\x01\x7f[A]\n", 8) << Entries << 0
                            << "phonebook.ini holds binary data (NUL bytes): it is no text file";
    QTest::newRow("comments only")
        << "file" << QByteArray("; nothing yet\n") << Entries << 0
        << "phonebook.ini lists no entries (each entry is a section: a line [NAME], then its keys)";
    QTest::newRow("a folder") << "folder" << QByteArray() << Entries << 1
                              << "the phonebook cannot be read (error 622): the phonebook " +
                                     FDir.Phonebook() +
                                     " is not a plain file, or larger than 1 MiB";
    QTest::newRow("huge, dialled") << "huge" << QByteArray("[A]\n") << QStringList{"dial", "A"} << 1
                                   << "phonebook.ini is not a plain file, or larger than 1 MiB";
    QTest::newRow("a FIFO") << "fifo" << QByteArray() << Entries << 1
                            << "phonebook.ini is not a plain file";
  }
  void BadPhonebooks() {
    QFETCH(QString, Kind);
    QFETCH(QByteArray, Content);
    QFETCH(QStringList, Args);
    QFETCH(int, Exit);
    QFETCH(QString, Err);
    const QString File = FDir.Phonebook();
    QFile::remove(File);
    const auto Cleanup = qScopeGuard([&File] { TPlantedFile::Remove(File); });
    QVERIFY(TPlantedFile::Plant(File, Kind, Content));
    const TRun Tool = RunTool(Args, {"DRAVIK_RAS_PROVIDER=sim"});
    QCOMPARE(Tool.Exit, Exit);
    QVERIFY2(Tool.Err.contains(Err), qPrintable(Tool.Err));
  }
  void RunFolderFileNamed() {
    const QString Lock = FDir.Path() + "/run/state.lock";
    QFile::remove(Lock);
    QVERIFY(QDir().mkpath(Lock));
    const auto Cleanup = qScopeGuard([&Lock] { QDir().rmdir(Lock); });
    const TRun Tool = RunTool({"dial", "Instant"}, {"DRAVIK_RAS_PROVIDER=sim"});
    QCOMPARE(Tool.Exit, 1);
    QVERIFY2(Tool.Err.contains("(error 711): the simulated service's lock " + Lock +
                               " cannot be opened: Is a directory"),
             qPrintable(Tool.Err));
  }

  // Which provider answers: the environment first, then the configuration
  // file; one that is unknown or cannot start fails every call with 711 and
  // the tool says why. A configuration file that is there but cannot be read
  // is named the same way, never taken for a missing one.
  void ProviderChoice_data() {
    QTest::addColumn<QStringList>("Environment");
    QTest::addColumn<QString>("Kind");
    QTest::addColumn<QByteArray>("Config");
    QTest::addColumn<bool>("Usable");
    QTest::addColumn<QString>("Err");
    const QStringList None;
    const QByteArray Sim = "provider = sim\n";
    QTest::newRow("default") << None << "none" << QByteArray() << true << "";
    QTest::newRow("environment sim")
        << QStringList{"DRAVIK_RAS_PROVIDER=sim"} << "none" << QByteArray() << true << "";
    // Detection finds no NetworkManager: the simulated service, as before.
    QTest::newRow("no system bus")
        << QStringList{"DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/dravik-bus"} << "none"
        << QByteArray() << true << "";
    QTest::newRow("environment unknown")
        << QStringList{"DRAVIK_RAS_PROVIDER=carrier-pigeon"} << "none" << QByteArray() << false
        << "unknown dial-up provider \"carrier-pigeon\"";
    QTest::newRow("environment not a name")
        << QStringList{"DRAVIK_RAS_PROVIDER=$(rm -rf x)"} << "none" << QByteArray() << false
        << "(not a provider name)";
    QTest::newRow("config sim") << None << "file" << QByteArray("# chosen\nprovider = sim\n")
                                << true << "";
    QTest::newRow("config unknown")
        << None << "file" << QByteArray("provider=smoke-signals\n") << false << "ras.conf";
    QTest::newRow("config not a name")
        << None << "file" << QByteArray("provider=a b\n") << false << "not a provider name";
    QTest::newRow("environment wins over config")
        << QStringList{"DRAVIK_RAS_PROVIDER=sim"} << "file"
        << QByteArray("provider=smoke-signals\n") << true << "";
    QTest::newRow("service folder not absolute")
        << QStringList{"DRAVIK_RAS_DIR=relative/dir"} << "none" << QByteArray() << false
        << "DRAVIK_RAS_DIR must be an absolute folder path";
    QTest::newRow("runtime folder unusable")
        << QStringList{"DRAVIK_RAS_DIR=/proc/self/no-such-folder"} << "none" << QByteArray()
        << false << "cannot start";
    QTest::newRow("config binary, no provider line") << None << "file"
                                                     << QByteArray(
                                                            "\x7f"
                                                            "ELF\x02\x01\x00\xff\n=\n[\n",
                                                            13)
                                                     << true << "";
    QTest::newRow("config truncated inside the name")
        << None << "file" << QByteArray("provider = si") << false
        << "unknown dial-up provider \"si\"";
    QTest::newRow("config huge") << None << "huge" << Sim << false
                                 << "ras.conf is not a plain file of at most 64 KiB";
    QTest::newRow("config a folder")
        << None << "folder" << Sim << false << "ras.conf is not a plain file";
    QTest::newRow("config a FIFO")
        << None << "fifo" << Sim << false << "ras.conf is not a plain file";
    QTest::newRow("config unreadable")
        << None << "unreadable" << Sim << false << "ras.conf cannot be read";
    QTest::newRow("config link to a file elsewhere") << None << "link" << Sim << true << "";
    QTest::newRow("config dangling link: no file") << None << "dangling link" << Sim << true << "";
    QTest::newRow("config link loop")
        << None << "link loop" << Sim << false << "ras.conf cannot be read";
    QTest::newRow("config a folder, the environment names the provider")
        << QStringList{"DRAVIK_RAS_PROVIDER=sim"} << "folder" << Sim << true << "";
  }
  void ProviderChoice() {
    QFETCH(QStringList, Environment);
    QFETCH(QString, Kind);
    QFETCH(QByteArray, Config);
    QFETCH(bool, Usable);
    QFETCH(QString, Err);
    if (!TPlantedFile::MeaningfulFor(Kind)) QSKIP("root reads a file without read permission");
    const QString File = FDir.Path() + "/ras.conf";
    const auto Cleanup = qScopeGuard([&File] { TPlantedFile::Remove(File); });
    if (Kind != "none") QVERIFY(TPlantedFile::Plant(File, Kind, Config));
    const QStringList Before = TPlantedFile::Snapshot(FDir.Path());
    if (!Environment.join(' ').contains("DRAVIK_RAS_PROVIDER")) {
      Environment << "DRAVIK_RAS_PROVIDER";
    }
    const TRun Tool = RunTool({"entries"}, Environment);
    QCOMPARE(Tool.Exit, Usable ? 0 : 3);
    if (Usable) QCOMPARE(Tool.Out, QString("Instant\nA\nB\nC\nSlow\n"));
    QVERIFY2(Tool.Err.contains(Err), qPrintable(Tool.Err));
    // Every call answers 711 from an unusable provider, never anything else.
    const TRun Probe =
        RunProgram(QCoreApplication::applicationDirPath() + "/ras_probe", {}, Environment);
    QCOMPARE(Probe.Exit, 0);
    const QStringList Lines = Probe.Out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(Lines.size(), 7);
    for (const QString& Line : Lines) {
      QCOMPARE(Line.section(' ', 1) == "711", !Usable);
    }
    // The configuration is only read.
    const QRegularExpression Configuration("^(ras\\.conf|elsewhere)");
    QCOMPARE(TPlantedFile::Snapshot(FDir.Path()).filter(Configuration),
             Before.filter(Configuration));
  }

  // pppd is detected where its program is and its peers folder holds a
  // peer; its paths move with the environment, else with ras.conf. ("@"
  // stands for the service folder.)
  void PppdChoice_data() {
    QTest::addColumn<QStringList>("Environment");
    QTest::addColumn<QByteArray>("Config");
    QTest::addColumn<int>("Exit");
    QTest::addColumn<QString>("Out");
    QTest::addColumn<QString>("Err");
    const QString Sim = "Instant\nA\nB\nC\nSlow\n";
    QTest::newRow("detected") << QStringList{"DRAVIK_PPPD=@/pppd", "DRAVIK_PPP_DIR=@/ppp"}
                              << QByteArray() << 0 << "DSL\n"
                              << "";
    QTest::newRow("no program") << QStringList{"DRAVIK_PPPD=@/missing", "DRAVIK_PPP_DIR=@/ppp"}
                                << QByteArray() << 0 << Sim << "";
    QTest::newRow("no peer") << QStringList{"DRAVIK_PPPD=@/pppd", "DRAVIK_PPP_DIR=@/empty"}
                             << QByteArray() << 0 << Sim << "";
    QTest::newRow("leftovers only")
        << QStringList{"DRAVIK_PPPD=@/pppd", "DRAVIK_PPP_DIR=@/leftovers"} << QByteArray() << 0
        << Sim << "";
    QTest::newRow("configured with its folder")
        << QStringList{"DRAVIK_PPP_DIR"} << QByteArray("provider = pppd\nppp-dir = @/ppp\n") << 0
        << "DSL\n"
        << "";
    QTest::newRow("environment wins over the configured folder")
        << QStringList{"DRAVIK_PPP_DIR=@/empty"} << QByteArray("provider = pppd\nppp-dir = @/ppp\n")
        << 0 << ""
        << "";
    QTest::newRow("folder not absolute")
        << QStringList{"DRAVIK_RAS_PROVIDER=pppd", "DRAVIK_PPP_DIR=etc/ppp"} << QByteArray() << 3
        << ""
        << "DRAVIK_PPP_DIR must be an absolute path";
    QTest::newRow("configured folder not absolute")
        << QStringList{"DRAVIK_PPP_DIR"} << QByteArray("provider=pppd\nppp-dir=ppp\n") << 3 << ""
        << "the ppp-dir line of";
    QTest::newRow("no peers folder")
        << QStringList{"DRAVIK_RAS_PROVIDER=pppd", "DRAVIK_PPP_DIR=@/nowhere"} << QByteArray() << 1
        << ""
        << "(error 621)";
  }
  void PppdChoice() {
    QFETCH(QStringList, Environment);
    QFETCH(QByteArray, Config);
    const QString Base = FDir.Path();
    for (const char* Folder : {"ppp/peers", "empty/peers", "leftovers/peers"}) {
      QVERIFY(QDir().mkpath(Base + "/" + QString(Folder)));
    }
    for (const char* File : {"pppd", "ppp/peers/DSL", "leftovers/peers/DSL~"}) {
      QFile Made(Base + "/" + QString(File));
      QVERIFY(Made.open(QIODevice::WriteOnly));
      Made.write("user alice\n");
    }
    if (!Config.isEmpty()) {
      QFile File(Base + "/ras.conf");
      QVERIFY(File.open(QIODevice::WriteOnly));
      File.write(Config.replace('@', Base.toUtf8()));
    }
    Environment.replaceInStrings("@", Base);
    const TRun Tool = RunTool({"entries"}, Environment);
    QTEST(Tool.Exit, "Exit");
    QTEST(Tool.Out, "Out");
    QFETCH(QString, Err);
    QVERIFY2(Tool.Err.contains(Err), qPrintable(Tool.Err));
  }

  // NetworkManager named but not on the bus (here: no bus at all): every
  // call fails with 711 at once, and the tool says so.
  void NetworkManagerAbsent() {
    const QStringList Environment{"DRAVIK_RAS_PROVIDER=networkmanager",
                                  "DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/dravik-bus"};
    QElapsedTimer Timer;
    Timer.start();
    const TRun Probe =
        RunProgram(QCoreApplication::applicationDirPath() + "/ras_probe", {}, Environment);
    QVERIFY2(Timer.elapsed() < 5000, "no wait for a service that is not there");
    QCOMPARE(Probe.Exit, 0);
    const QStringList Lines = Probe.Out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(Lines.size(), 7);
    for (const QString& Line : Lines) QCOMPARE(Line.section(' ', 1), QString("711"));
    const TRun Tool = RunTool({"entries"}, Environment);
    QCOMPARE(Tool.Exit, 1);
    QVERIFY2(Tool.Err.contains("(error 711)"), qPrintable(Tool.Err));
  }
};

DRAVIK_TEST_MAIN(TestRasProcesses)
#include "TestRasProcesses.moc"
