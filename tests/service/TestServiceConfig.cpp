// The service's configuration file: every key read, every bad line refused
// with the file, the line and the key named.

#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <set>
#include <sstream>

#include "ServiceTestSupport.h"
#include "TPlantedFile.h"
#include "TServiceConfig.h"
#include "TServicePaths.h"

Q_DECLARE_METATYPE(std::vector<std::string>)

class TestServiceConfig : public QObject {
  Q_OBJECT

 private slots:
  void FullFile() {
    const std::string Text =
        "# rotation of the broadband line\n"
        "[dravikd]\n"
        "entry = My line 2\n"
        "online-seconds=600\n"
        "  offline-seconds = 7  \n"
        "; comment\n"
        "distinct-from = 4\n"
        "redial-limit = 0\n"
        "retry-first-seconds = 2\n"
        "retry-longest-seconds = 64\n"
        "check-url = https://checker.example/ip\n"
        "check-timeout-seconds = 3\n"
        "hook = /usr/local/bin/announce --to \"pool a\" x\\\"y\n"
        "hook-timeout-seconds = 9\n"
        "listen = 127.0.0.2:0\n"
        "token-file = /run/dravik/token\n"
        "history-days = 30\n"
        "hangup-on-exit = yes\n"
        "distinct-prefix = 24\n"
        "distinct-prefix6 = 56\n"
        "online-jitter-seconds = 20\n"
        "online-jitter-seed = 18446744073709551615\n"
        "schedule = Mon-Fri 08:00-20:00, Sat 22:00-02:00\n"
        "outside-schedule = down\n";
    TServiceConfig Config;
    QCOMPARE(ParseServiceConfig("d.conf", Text, Config), std::string());
    QCOMPARE(Config.Entry, std::string("My line 2"));
    QCOMPARE(Config.OnlineSeconds, 600);
    QCOMPARE(Config.OfflineSeconds, 7);
    QCOMPARE(Config.DistinctFrom, 4);
    QCOMPARE(Config.RedialLimit, 0);
    QCOMPARE(Config.RetryFirstSeconds, 2);
    QCOMPARE(Config.RetryLongestSeconds, 64);
    QCOMPARE(Config.CheckUrl, std::string("https://checker.example/ip"));
    QCOMPARE(Config.CheckTimeoutSeconds, 3);
    QCOMPARE(Config.Hook,
             (std::vector<std::string>{"/usr/local/bin/announce", "--to", "pool a", "x\"y"}));
    QCOMPARE(Config.HookTimeoutSeconds, 9);
    QCOMPARE(Config.ListenAddress, std::string("127.0.0.2"));
    QCOMPARE(Config.ListenPort, 0);
    QCOMPARE(Config.TokenFile, std::string("/run/dravik/token"));
    QCOMPARE(Config.HistoryDays, 30);
    QVERIFY(Config.HangupOnExit);
    QCOMPARE(Config.DistinctPrefix, 24);
    QCOMPARE(Config.DistinctPrefix6, 56);
    QCOMPARE(Config.OnlineJitterSeconds, 20);
    QVERIFY(Config.JitterSeedGiven);
    QCOMPARE(Config.JitterSeed, uint64_t(18446744073709551615ull));
    QCOMPARE(Config.Schedule, (std::vector<TScheduleWindow>{{0x1F, 480, 1200}, {0x20, 1320, 120}}));
    QVERIFY(Config.DownOutsideSchedule);
    QVERIFY(Config.RotateAt.empty());
    TServiceConfig Fixed;
    QCOMPARE(ParseServiceConfig("d.conf", "entry=A\nrotate-at = 03:00, 15:00\n", Fixed),
             std::string());
    QCOMPARE(Fixed.RotateAt, (std::vector<TScheduleTime>{{0x7F, 180}, {0x7F, 900}}));
  }

  void Defaults() {
    TServiceConfig Config;
    QCOMPARE(ParseServiceConfig("d.conf", "entry=Line\n", Config), std::string());
    QCOMPARE(Config.OnlineSeconds, 60);
    QCOMPARE(Config.OfflineSeconds, 5);
    QCOMPARE(Config.DistinctFrom, 1);
    QCOMPARE(Config.RedialLimit, 3);
    QVERIFY(Config.CheckUrl.empty());
    QVERIFY(Config.Hook.empty());
    QCOMPARE(Config.ListenAddress, std::string("127.0.0.1"));
    QVERIFY(!Config.HangupOnExit);
    QCOMPARE(Config.DistinctPrefix, 0);
    QCOMPARE(Config.DistinctPrefix6, 0);
    QCOMPARE(Config.OnlineJitterSeconds, 0);
    QVERIFY(!Config.JitterSeedGiven);
    QVERIFY(Config.Schedule.empty());
    QVERIFY(!Config.DownOutsideSchedule);
    QVERIFY(Config.RotateAt.empty());
  }

  // The file installed as /etc/dravik/dravikd.conf keeps the service from
  // starting until its entry is named, saying so; it shows every key the
  // service reads, each taken as written once uncommented.
  void ShippedFile() {
    QFile File(DRAVIK_SHIPPED_CONFIG);
    QVERIFY(File.open(QIODevice::ReadOnly));
    const std::string Text = File.readAll().toStdString();
    TServiceConfig Config;
    QCOMPARE(ParseServiceConfig("/etc/dravik/dravikd.conf", Text, Config),
             std::string("/etc/dravik/dravikd.conf: entry: not set: this file must name the "
                         "phonebook entry to rotate (entry = NAME; dravik-ras entries lists "
                         "them)"));

    const std::vector<std::string> Keys = ServiceConfigKeys();
    const std::set<std::string> Known(Keys.begin(), Keys.end());
    std::set<std::string> Shown;
    std::string Uncommented;
    std::istringstream Lines(Text);
    for (std::string Line; std::getline(Lines, Line);) {
      const size_t Equals = Line.find(" = ");
      // The first "#key = value" of each key; a second shows another form.
      if (Line.rfind('#', 0) == 0 && Equals != std::string::npos &&
          Line.find_first_of(" #", 1) == Equals && Known.count(Line.substr(1, Equals - 1)) &&
          Shown.insert(Line.substr(1, Equals - 1)).second)
        Line.erase(0, 1);
      Uncommented += Line + "\n";
    }
    Config = TServiceConfig();
    QCOMPARE(ParseServiceConfig("dravikd.conf", Uncommented, Config), std::string());
    QCOMPARE(Config.Entry, std::string("DSL"));
    for (const std::string& Key : Keys)
      QVERIFY2(Shown.count(Key) == 1, ("the shipped file does not show " + Key).c_str());
  }

  // Every key the service reads has its paragraph in dravikd.conf(5).
  void EveryKeyInTheManualPage() {
    QFile File(DRAVIK_CONFIG_MAN_PAGE);
    QVERIFY(File.open(QIODevice::ReadOnly));
    const QString Page = QString::fromUtf8(File.readAll());
    QVERIFY(!ServiceConfigKeys().empty());
    for (const std::string& Key : ServiceConfigKeys()) {
      const QString Heading = ".BI " + QString::fromStdString(Key).replace("-", "\\-") + " \" = ";
      QVERIFY2(Page.contains("\n" + Heading),
               qPrintable("dravikd.conf(5) does not describe " + QString::fromStdString(Key)));
    }
  }

  void BadFile_data() {
    QTest::addColumn<QByteArray>("Text");
    QTest::addColumn<QString>("Message");
    QTest::newRow("no entry") << QByteArray("online-seconds=5\n")
                              << "/etc/d.conf: entry: not set: this file must name";
    QTest::newRow("prefix too long") << QByteArray("entry=A\ndistinct-prefix = 33\n")
                                     << "/etc/d.conf:2: distinct-prefix: must be a whole number "
                                        "from 0 to 32";
    QTest::newRow("prefix6 too long") << QByteArray("entry=A\ndistinct-prefix6 = 129\n")
                                      << "/etc/d.conf:2: distinct-prefix6: must be a whole number "
                                         "from 0 to 128";
    QTest::newRow("seed too large")
        << QByteArray("entry=A\nonline-jitter-seed = 18446744073709551616\n")
        << "/etc/d.conf:2: online-jitter-seed: must be a whole number";
    QTest::newRow("schedule day")
        << QByteArray("entry=A\n\nschedule = Mon-Fry 08:00-20:00\n")
        << "/etc/d.conf:3: schedule: \"Mon-Fry\" is no day or range of days";
    QTest::newRow("schedule bytes shown escaped")
        << QByteArray("entry=A\nschedule = M\xc3\xb6n 08:00-20:00\n")
        << "/etc/d.conf:2: schedule: \"M\\xc3\\xb6n\" is no day";
    QTest::newRow("rotate-at time") << QByteArray("entry=A\nrotate-at = 3:00, 25:00\n")
                                    << "/etc/d.conf:2: rotate-at: \"25:00\" is no time";
    QTest::newRow("outside-schedule") << QByteArray("entry=A\noutside-schedule = off\n")
                                      << "/etc/d.conf:2: outside-schedule: must be stay or down";
    QTest::newRow("unknown key") << QByteArray("entry=A\n\nonline=5\n")
                                 << "/etc/d.conf:3: online: unknown key";
    QTest::newRow("not a number") << QByteArray("entry=A\nonline-seconds = 5s\n")
                                  << "/etc/d.conf:2: online-seconds: must be a whole number from 1";
    QTest::newRow("zero online") << QByteArray("entry=A\nonline-seconds = 0\n")
                                 << "/etc/d.conf:2: online-seconds: must be a whole number";
    QTest::newRow("negative") << QByteArray("entry=A\noffline-seconds=-1\n")
                              << "/etc/d.conf:2: offline-seconds: must be a whole number";
    QTest::newRow("huge") << QByteArray("entry=A\nredial-limit=99999999999999999999\n")
                          << "/etc/d.conf:2: redial-limit: must be a whole number from 0 to 100";
    QTest::newRow("twice") << QByteArray("entry=A\nentry=B\n")
                           << "/etc/d.conf:2: entry: given twice";
    QTest::newRow("no equals") << QByteArray("entry=A\njust words\n")
                               << "/etc/d.conf:2: expected KEY = VALUE";
    QTest::newRow("other section")
        << QByteArray("[config]\nentry=A\n") << "/etc/d.conf:1: unknown section [config]";
    QTest::newRow("entry too long") << QByteArray("entry=" + QByteArray(257, 'x') + "\n")
                                    << "/etc/d.conf:1: entry: must have 1 to 256";
    QTest::newRow("ftp url") << QByteArray("entry=A\ncheck-url=ftp://x/ip\n")
                             << "/etc/d.conf:2: check-url: must be an http";
    QTest::newRow("relative hook") << QByteArray("entry=A\nhook=announce $ADDRESS\n")
                                   << "/etc/d.conf:2: hook: must start with the program's absolute";
    QTest::newRow("open quote") << QByteArray("entry=A\nhook=/bin/x \"a b\n")
                                << "/etc/d.conf:2: hook: has an unfinished quote";
    QTest::newRow("listen name") << QByteArray("entry=A\nlisten=localhost:80\n")
                                 << "/etc/d.conf:2: listen: must be ADDRESS:PORT";
    QTest::newRow("listen port") << QByteArray("entry=A\nlisten=127.0.0.1:65536\n")
                                 << "/etc/d.conf:2: listen: must be ADDRESS:PORT";
    QTest::newRow("relative token") << QByteArray("entry=A\ntoken-file=token\n")
                                    << "/etc/d.conf:2: token-file: must be an absolute path";
    QTest::newRow("bool") << QByteArray("entry=A\nhangup-on-exit=maybe\n")
                          << "/etc/d.conf:2: hangup-on-exit: must be yes or no";
    QTest::newRow("control character")
        << QByteArray("entry=A\x01\n") << "/etc/d.conf:1: entry: the value is too long or holds";
    QTest::newRow("retry order")
        << QByteArray("entry=A\nretry-first-seconds=60\nretry-longest-seconds=30\n")
        << "/etc/d.conf: retry-longest-seconds: must not be below retry-first-seconds";
    // Names from the file are shown with their control characters escaped
    // and cut short: the problem line cannot clear a terminal or run on.
    QTest::newRow("escape in key")
        << QByteArray("entry=A\non\x1b[2Jline=5\n") << "/etc/d.conf:2: on\\x1b[2Jline: unknown key";
    QTest::newRow("bell in section")
        << QByteArray("[a\ab]\n") << "/etc/d.conf:1: unknown section [a\\x07b] (there are";
    QTest::newRow("long key") << QByteArray(QByteArray(100, 'k') + "=1\n")
                              << "/etc/d.conf:1: " + QString(64, 'k') + "...: unknown key";
    QTest::newRow("comment after a value")
        << QByteArray("entry = Broadband # the line\n")
        << "/etc/d.conf:1: entry: a \"#\" after the value is no comment here";
    QTest::newRow("comment after a number")
        << QByteArray("entry = A\nonline-seconds = 5   # five\n")
        << "/etc/d.conf:2: online-seconds: a \"#\" after the value";
    QTest::newRow("every address, no allow-remote")
        << QByteArray("entry=A\nlisten = 0.0.0.0:7480\n")
        << "/etc/d.conf: listen: 0.0.0.0 is reached from other machines, and the token would "
           "travel in clear: set allow-remote = yes";
    QTest::newRow("0 for every address")
        << QByteArray("entry=A\nlisten = 0:7480\n") << "/etc/d.conf: listen: 0.0.0.0 is reached";
    QTest::newRow("an outside address") << QByteArray("entry=A\nlisten = 192.0.2.7:7480\n")
                                        << "/etc/d.conf: listen: 192.0.2.7 is reached";
    QTest::newRow("allow-remote no") << QByteArray("entry=A\nallow-remote = no\nlisten=0:1\n")
                                     << "/etc/d.conf: listen: 0.0.0.0 is reached";
    QTest::newRow("relative socket") << QByteArray("entry=A\nlisten = unix:run/d.sock\n")
                                     << "/etc/d.conf:2: listen: unix: takes an absolute path";
    QTest::newRow("socket path too long")
        << QByteArray("entry=A\nlisten = unix:/" + QByteArray(107, 's') + "\n")
        << "/etc/d.conf:2: listen: unix: takes an absolute path of at most 107 bytes";
    // The fleet's section: its keys checked as the others, named by line.
    QTest::newRow("fleet without redis")
        << QByteArray("entry=A\n[fleet]\nnode=n1\n") << "/etc/d.conf:2: redis: missing";
    QTest::newRow("fleet unknown key") << QByteArray("entry=A\n[fleet]\nredis=unix:///r\nttl=5\n")
                                       << "/etc/d.conf:4: ttl: unknown key";
    QTest::newRow("fleet key in dravikd")
        << QByteArray("entry=A\nredis=redis://h\n") << "/etc/d.conf:2: redis: unknown key";
    QTest::newRow("redis scheme") << QByteArray("entry=A\n[fleet]\nredis=http://h\n")
                                  << "/etc/d.conf:3: redis: must be redis://";
    QTest::newRow("redis password in address")
        << QByteArray("entry=A\n[fleet]\nredis=redis://u:secret@h\n")
        << "/etc/d.conf:3: redis: holds a password: put it in password-file";
    QTest::newRow("redis port") << QByteArray("entry=A\n[fleet]\nredis=redis://h:0\n")
                                << "/etc/d.conf:3: redis: the port must be";
    QTest::newRow("redis database") << QByteArray("entry=A\n[fleet]\nredis=redis://h/16\n")
                                    << "/etc/d.conf:3: redis: the database must be";
    QTest::newRow("redis relative socket") << QByteArray("entry=A\n[fleet]\nredis=unix://r.sock\n")
                                           << "/etc/d.conf:3: redis: unix:// takes an absolute";
    QTest::newRow("node name") << QByteArray("entry=A\n[fleet]\nredis=unix:///r\nnode=a b\n")
                               << "/etc/d.conf:4: node: must have 1 to 64 letters";
    QTest::newRow("prefix name") << QByteArray("entry=A\n[fleet]\nredis=unix:///r\nprefix=a:b\n")
                                 << "/etc/d.conf:4: prefix: must have 1 to 64 letters";
    QTest::newRow("proxy without address")
        << QByteArray("entry=A\n[fleet]\nredis=unix:///r\nproxy=http://x:3128\n")
        << "/etc/d.conf:4: proxy: must hold {address}";
    QTest::newRow("max-offline") << QByteArray(
                                        "entry=A\n[fleet]\nredis=unix:///r\nmax-offline=-1\n")
                                 << "/etc/d.conf:4: max-offline: must be a whole number";
    QTest::newRow("drain") << QByteArray("entry=A\n[fleet]\nredis=unix:///r\ndrain-seconds=9999\n")
                           << "/etc/d.conf:4: drain-seconds: must be a whole number from 0 to 3600";
    QTest::newRow("user without password")
        << QByteArray("entry=A\n[fleet]\nredis=redis://fleet@h\n")
        << "/etc/d.conf:2: password-file: missing: a Redis user needs a password";
    QTest::newRow("fleet twice") << QByteArray("entry=A\n[fleet]\nredis=unix:///r\n[fleet]\n")
                                 << "/etc/d.conf:4: [fleet] given twice";
    QTest::newRow("fleet key twice")
        << QByteArray("entry=A\n[fleet]\nredis=unix:///r\nredis=unix:///s\n")
        << "/etc/d.conf:4: redis: given twice";
  }

  // The fleet's section read whole, and its password file refused unless
  // only its owner may read it.
  void FleetSection() {
    QTemporaryDir Dir;
    const QString Password = Dir.filePath("redis.pass");
    WriteTextFile(Password, "s3cret\n");
    QFile::setPermissions(Password, QFile::ReadOwner | QFile::WriteOwner);
    const std::string Text =
        "[dravikd]\nentry=A\n[fleet]\nredis = redis://fleet@10.0.0.5:6380/2\n"
        "password-file = " +
        Password.toStdString() +
        "\nnode = exit-7\nprefix = pool\nproxy = http://{address}:3128\n"
        "max-offline = 2\ndrain-seconds = 5\n";
    TServiceConfig Config;
    QCOMPARE(ParseServiceConfig("d.conf", Text, Config), std::string());
    QVERIFY(Config.Fleet.Enabled);
    QCOMPARE(Config.Fleet.Host, std::string("10.0.0.5"));
    QCOMPARE(Config.Fleet.Port, 6380);
    QCOMPARE(Config.Fleet.Database, 2);
    QCOMPARE(Config.Fleet.User, std::string("fleet"));
    QCOMPARE(Config.Fleet.Password, std::string("s3cret"));
    QCOMPARE(Config.Fleet.Node, std::string("exit-7"));
    QCOMPARE(Config.Fleet.Prefix, std::string("pool"));
    QCOMPARE(Config.Fleet.Proxy, std::string("http://{address}:3128"));
    QCOMPARE(Config.Fleet.MaxOffline, 2);
    QCOMPARE(Config.Fleet.DrainSeconds, 5);

    TServiceConfig Plain;
    QCOMPARE(ParseServiceConfig("d.conf", "entry=A\n[fleet]\nredis=unix:///run/r.sock\n", Plain),
             std::string());
    QCOMPARE(Plain.Fleet.Socket, std::string("/run/r.sock"));
    QCOMPARE(Plain.Fleet.Node, DefaultNodeName());
    QCOMPARE(Plain.Fleet.Prefix, std::string("dravik"));
    TServiceConfig None;
    QCOMPARE(ParseServiceConfig("d.conf", "entry=A\n", None), std::string());
    QVERIFY(!None.Fleet.Enabled);

    QFile::setPermissions(Password, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    TServiceConfig Open;
    QCOMPARE(ParseServiceConfig("d.conf", Text, Open),
             "d.conf:5: password-file: " + Password.toStdString() +
                 ": others may read or change it; it must have mode 0600");
    const std::string Missing = "entry=A\n[fleet]\nredis=unix:///r\npassword-file=/nonexistent/p\n";
    QCOMPARE(ParseServiceConfig("d.conf", Missing, Open),
             std::string("d.conf:4: password-file: /nonexistent/p cannot be read"));
  }

  // A byte-order mark, as editors write it, is no part of the first key;
  // listening beyond loopback is taken when asked for, with a warning; a
  // Unix socket needs no address.
  void AcceptedForms() {
    TServiceConfig Config;
    QCOMPARE(ParseServiceConfig("d.conf",
                                "\xEF\xBB\xBF"
                                "entry = Line\n",
                                Config),
             std::string());
    QCOMPARE(Config.Entry, std::string("Line"));
    QCOMPARE(RemoteListenWarning(Config), std::string());

    QCOMPARE(ParseServiceConfig("d.conf", "entry=A\nlisten=0:7480\nallow-remote = yes\n", Config),
             std::string());
    QCOMPARE(Config.ListenAddress, std::string("0.0.0.0"));
    QVERIFY(Config.AllowRemote);
    QCOMPARE(RemoteListenWarning(Config),
             std::string("the control interface listens on 0.0.0.0:7480, which other machines "
                         "reach: the token travels in clear; reach it through an SSH tunnel or a "
                         "TLS proxy instead"));

    TServiceConfig Socket;
    QCOMPARE(
        ParseServiceConfig("d.conf", "entry=A\nlisten = unix:/run/dravik/a/control.sock\n", Socket),
        std::string());
    QCOMPARE(Socket.ListenSocket, std::string("/run/dravik/a/control.sock"));
    QCOMPARE(RemoteListenWarning(Socket), std::string());
    // A hash inside a value, with no blank before it, is part of it.
    QCOMPARE(ParseServiceConfig("d.conf", "entry=Line#2\n", Socket), std::string());
    QCOMPARE(Socket.Entry, std::string("Line#2"));
  }

  void BadFile() {
    QFETCH(QByteArray, Text);
    QFETCH(QString, Message);
    TServiceConfig Config;
    Config.OnlineSeconds = 42;
    const std::string Problem = ParseServiceConfig("/etc/d.conf", Text.toStdString(), Config);
    QVERIFY2(QString::fromStdString(Problem).startsWith(Message), Problem.c_str());
    // Nothing of a refused file is taken.
    QCOMPARE(Config.OnlineSeconds, 42);
    QVERIFY(Config.Entry.empty());
  }

  void SplitCommandLine_data() {
    QTest::addColumn<QString>("Text");
    QTest::addColumn<bool>("Fine");
    QTest::addColumn<QStringList>("Words");
    QTest::newRow("blanks") << " /bin/a  b\tc " << true << QStringList{"/bin/a", "b", "c"};
    QTest::newRow("quoted") << "/bin/a \"b c\" d\"e f\"" << true
                            << QStringList{"/bin/a", "b c", "de f"};
    QTest::newRow("escaped") << "/bin/a b\\ c \\\\" << true << QStringList{"/bin/a", "b c", "\\"};
    QTest::newRow("empty quotes") << "/bin/a \"\"" << true << QStringList{"/bin/a", ""};
    QTest::newRow("no shell") << "/bin/a $HOME;rm -rf *" << true
                              << QStringList{"/bin/a", "$HOME;rm", "-rf", "*"};
    QTest::newRow("open quote") << "/bin/a \"b" << false << QStringList{};
    QTest::newRow("trailing backslash") << "/bin/a b\\" << false << QStringList{};
  }

  void SplitCommandLine() {
    QFETCH(QString, Text);
    QFETCH(bool, Fine);
    QFETCH(QStringList, Words);
    std::vector<std::string> Got;
    QCOMPARE(::SplitCommandLine(Text.toStdString(), Got), Fine);
    if (!Fine) return;
    QStringList GotList;
    for (const std::string& Word : Got) GotList << QString::fromStdString(Word);
    QCOMPARE(GotList, Words);
  }

  // Files a user may have in the configuration's place: every one refused
  // with the file named (and, for a line in it, the line), the service's
  // settings left as they were; a name from the file is shown back cut
  // short, with every byte outside printable ASCII escaped. The rules for
  // keys and values are the table above.
  void BadConfigFiles_data() {
    QTest::addColumn<QString>("Kind");
    QTest::addColumn<QByteArray>("Content");
    QTest::addColumn<QString>("Message");
    const QByteArray Fine = "entry = Line\nonline-seconds = 9\n";
    QTest::newRow("binary") << "file"
                            << QByteArray(
                                   "entry = A\n\x7f"
                                   "ELF\x02\x01\x00\xff=\x1b[2J\n",
                                   24)
                            << ":2: \\x7fELF\\x02\\x01\\x00\\xff: unknown key";
    QTest::newRow("a line of a thousand bytes") << "file"
                                                << "entry = A\n" + QByteArray(1000, 'k') + "=1\n"
                                                << ":2: " + QString(64, 'k') + "...: unknown key";
    QTest::newRow("garbage section")
        << "file" << QByteArray("[\x1b[31mred]\nentry = A\n")
        << ":1: unknown section [\\x1b[31mred] (there are [dravikd] and [fleet])";
    QTest::newRow("truncated inside a key")
        << "file" << QByteArray("entry = A\nonline-sec") << ":2: expected KEY = VALUE";
    QTest::newRow("a folder") << "folder" << Fine << ": not a plain file, or larger than 64 KiB";
    QTest::newRow("a FIFO") << "fifo" << Fine << ": not a plain file, or larger than 64 KiB";
    QTest::newRow("unreadable") << "unreadable" << Fine << ": cannot be read";
    QTest::newRow("link to a file elsewhere") << "link" << Fine << "";
    QTest::newRow("dangling link") << "dangling link" << Fine << ": cannot be read";
    QTest::newRow("link loop") << "link loop" << Fine << ": cannot be read";
  }
  void BadConfigFiles() {
    QFETCH(QString, Kind);
    QFETCH(QByteArray, Content);
    QFETCH(QString, Message);
    if (!TPlantedFile::MeaningfulFor(Kind)) QSKIP("root reads a file without read permission");
    QTemporaryDir Dir;
    const QString File = Dir.filePath("dravikd.conf");
    QVERIFY(TPlantedFile::Plant(File, Kind, Content));
    const QStringList Before = TPlantedFile::Snapshot(Dir.path());
    TServiceConfig Config;
    Config.OnlineSeconds = 42;
    const std::string Problem = LoadServiceConfig(File.toStdString(), Config);
    QCOMPARE(QString::fromStdString(Problem), Message.isEmpty() ? QString() : File + Message);
    QCOMPARE(Config.OnlineSeconds, Message.isEmpty() ? 9 : 42);
    QCOMPARE(TPlantedFile::Snapshot(Dir.path()), Before);
  }

  void LoadFile() {
    QTemporaryDir Dir;
    TServiceConfig Config;
    const std::string Missing = Dir.filePath("none.conf").toStdString();
    QCOMPARE(LoadServiceConfig(Missing, Config), Missing + ": cannot be read");
    WriteTextFile(Dir.filePath("d.conf"), "entry = Line\nonline-seconds = 9\n");
    QCOMPARE(LoadServiceConfig(Dir.filePath("d.conf").toStdString(), Config), std::string());
    QCOMPARE(Config.OnlineSeconds, 9);
    WriteTextFile(Dir.filePath("big.conf"), "entry = Line\n# " + QByteArray(70000, 'x') + "\n");
    QVERIFY(
        QString::fromStdString(LoadServiceConfig(Dir.filePath("big.conf").toStdString(), Config))
            .endsWith("larger than 64 KiB"));
  }

  // dravikd and dravikctl reading the same file agree on where the state
  // and the token are, whatever the environment of each: the template
  // unit's file names its own folder.
  void StateDirFollowsConfig_data() {
    QTest::addColumn<QString>("File");
    QTest::addColumn<QString>("Key");
    QTest::addColumn<QString>("Folder");
    QTest::newRow("the plain unit's file") << "/etc/dravik/dravikd.conf"
                                           << ""
                                           << "/var/lib/dravik";
    QTest::newRow("a template instance's file") << "/etc/dravik/line2.conf"
                                                << ""
                                                << "/var/lib/dravik/line2";
    QTest::newRow("a file elsewhere") << "/srv/lines/a.conf"
                                      << ""
                                      << "/var/lib/dravik";
    QTest::newRow("state-dir set") << "/etc/dravik/line2.conf"
                                   << "/srv/state"
                                   << "/srv/state";
  }
  void StateDirFollowsConfig() {
    QFETCH(QString, File);
    QFETCH(QString, Key);
    QFETCH(QString, Folder);
    if (geteuid() != 0 && Key.isEmpty()) QSKIP("the system's folders are root's");
    const QByteArray Saved = qgetenv("STATE_DIRECTORY");
    qunsetenv("STATE_DIRECTORY");
    qputenv("XDG_STATE_HOME", "/home/someone/.state");
    const std::string Dir = ServiceStateDirFor(File.toStdString(), Key.toStdString());
    const std::string Token = ServiceTokenFileFor(File.toStdString(), Key.toStdString(), {});
    const std::string Named = ServiceTokenFileFor(File.toStdString(), Key.toStdString(), "/t");
    if (!Saved.isNull()) qputenv("STATE_DIRECTORY", Saved);
    QCOMPARE(QString::fromStdString(Dir), Folder);
    QCOMPARE(QString::fromStdString(Token), Folder + "/token");
    QCOMPARE(Named, std::string("/t"));
  }
};

DRAVIK_SERVICE_TEST_MAIN(TestServiceConfig)
#include "TestServiceConfig.moc"
