// The pppd provider's readers of pppd's files, without pppd: the word
// grammar of option and secrets files, a peer's options with their
// includes, the choice of a secret, pid files and command lines, which
// files are peers, the paths, and the tables of progress lines and exit
// statuses.

#include <signal.h>

#include <QTemporaryDir>
#include <QTest>

#include "PppdCodes.h"
#include "PppdLinks.h"
#include "PppdPaths.h"
#include "PppdPeers.h"
#include "PppdSecrets.h"
#include "PppdWords.h"
#include "TPppdProvider.h"

using namespace dravik::ras;
using namespace dravik::ras::pppd;

namespace {

QStringList Texts(const std::vector<TPppdWord>& AWords) {
  QStringList Result;
  for (const TPppdWord& Word : AWords) {
    Result << (Word.StartsLine ? "^" : "") + QString::fromStdString(Word.Text);
  }
  return Result;
}

TPeerOptions OptionsOf(const QByteArray& AText) {
  TPeerOptions Options;
  ApplyOptionWords(SplitPppdWords(AText.toStdString()), "/nonexistent", Options);
  return Options;
}

void Write(const QString& APath, const QByteArray& AText) {
  QFile File(APath);
  QVERIFY(File.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(File.write(AText), AText.size());
}

}  // namespace

class TestPppdFiles : public QObject {
  Q_OBJECT

 private slots:
  // Words as pppd reads them; "^" marks the first word of a line.
  void Words_data() {
    QTest::addColumn<QByteArray>("Text");
    QTest::addColumn<QStringList>("Words");
    QTest::newRow("plain") << QByteArray("user alice\nnoauth")
                           << QStringList{"^user", "alice", "^noauth"};
    QTest::newRow("double quotes")
        << QByteArray("user \"carol smith\"") << QStringList{"^user", "carol smith"};
    QTest::newRow("single quotes") << QByteArray("name 'a # b'") << QStringList{"^name", "a # b"};
    QTest::newRow("quotes inside a word") << QByteArray("ab\"c d\"e") << QStringList{"^abc de"};
    QTest::newRow("empty quoted word") << QByteArray("\"\" x") << QStringList{"^", "x"};
    QTest::newRow("escaped space") << QByteArray("a\\ b c") << QStringList{"^a b", "c"};
    QTest::newRow("escapes") << QByteArray("\\s\\t\\x41\\101\\q") << QStringList{"^ \tAAq"};
    QTest::newRow("escaped quote in quotes") << QByteArray("\"a\\\"b\"") << QStringList{"^a\"b"};
    QTest::newRow("comment line") << QByteArray("# user mallory\nuser bob")
                                  << QStringList{"^user", "bob"};
    QTest::newRow("comment after words")
        << QByteArray("noauth # user x\npersist") << QStringList{"^noauth", "^persist"};
    QTest::newRow("hash ends a word") << QByteArray("a#b c\nd") << QStringList{"^a", "^d"};
    QTest::newRow("hash in quotes") << QByteArray("\"a#b\"") << QStringList{"^a#b"};
    QTest::newRow("joined lines") << QByteArray("us\\\ner x") << QStringList{"^user", "x"};
    QTest::newRow("joined before a word") << QByteArray("a \\\nb") << QStringList{"^a", "b"};
    QTest::newRow("crlf") << QByteArray("user bob\r\npersist\r\n")
                          << QStringList{"^user", "bob", "^persist"};
    QTest::newRow("unterminated quote") << QByteArray("user \"bob") << QStringList{"^user", "bob"};
    QTest::newRow("backslash at the end") << QByteArray("a\\") << QStringList{"^a"};
    QTest::newRow("nothing") << QByteArray(" \n\t# only a comment") << QStringList{};
  }
  void Words() {
    QFETCH(QByteArray, Text);
    QFETCH(QStringList, Words);
    QCOMPARE(Texts(SplitPppdWords(Text.toStdString())), Words);
  }

  void LongWordIsCut() {
    const std::string Long(5000, 'x');
    const auto Words = SplitPppdWords("user " + Long + " persist");
    QCOMPARE(Words.size(), size_t(3));
    QCOMPARE(Words[1].Text.size(), MaxWordBytes);
    QCOMPARE(QString::fromStdString(Words[2].Text), QString("persist"));
  }

  // What the provider takes from a peer's options: the last occurrence
  // wins, and an option's argument is never taken for an option.
  void PeerOptions_data() {
    QTest::addColumn<QByteArray>("Text");
    QTest::addColumn<QString>("User");
    QTest::addColumn<bool>("HasUser");
    QTest::addColumn<bool>("Persist");
    QTest::addColumn<bool>("Demand");
    QTest::addColumn<bool>("Pppoe");
    QTest::addColumn<QString>("RemoteName");
    QTest::newRow("pppoeconf's")
        << QByteArray(
               "noipdefault\ndefaultroute\nreplacedefaultroute\nhide-password\nnoauth\npersist\n"
               "plugin rp-pppoe.so nic-eth0\nuser \"alice@isp\"\nusepeerdns\n")
        << "alice@isp" << true << true << false << true << "";
    QTest::newRow("last user wins")
        << QByteArray("user a\nuser b") << "b" << true << false << false << false << "";
    QTest::newRow("no user") << QByteArray("noauth\npersist\nnopersist") << "" << false << false
                             << false << false << "";
    QTest::newRow("user at the end, no argument")
        << QByteArray("user") << "" << false << false << false << false << "";
    QTest::newRow("argument named like an option")
        << QByteArray("remotename user\nipparam persist\nuser real") << "real" << true << false
        << false << false << "user";
    QTest::newRow("connect script")
        << QByteArray(
               "connect \"/usr/sbin/chat -v -f /etc/chatscripts/provider\"\n/dev/modem\nuser bob")
        << "bob" << true << false << false << false << "";
    QTest::newRow("demand") << QByteArray("demand\nidle 600") << "" << false << false << true
                            << false << "";
    QTest::newRow("plugin by path") << QByteArray("plugin /usr/lib/pppd/2.4.9/rp-pppoe.so\neth1")
                                    << "" << false << false << false << true << "";
    QTest::newRow("other plugin") << QByteArray("plugin passwordfd.so\nuser x") << "x" << true
                                  << false << false << false << "";
    QTest::newRow("nic option") << QByteArray("plugin pppoe.so\nnic-enp3s0") << "" << false << false
                                << false << true << "";
    QTest::newRow("commented user")
        << QByteArray("#user a\nuser b # not c") << "b" << true << false << false << false << "";
  }
  void PeerOptions() {
    QFETCH(QByteArray, Text);
    const TPeerOptions Options = OptionsOf(Text);
    QTEST(QString::fromStdString(Options.User), "User");
    QTEST(Options.HasUser, "HasUser");
    QTEST(Options.Persist, "Persist");
    QTEST(Options.Demand, "Demand");
    QTEST(Options.Pppoe, "Pppoe");
    QTEST(QString::fromStdString(Options.RemoteName), "RemoteName");
  }

  // Included files apply where their option stands, one level deep; a peer
  // file that is missing, or a leftover's name, is no peer.
  void PeerFileIncludes() {
    QTemporaryDir Dir;
    QVERIFY(Dir.isValid());
    const QString Peers = Dir.filePath("peers");
    QVERIFY(QDir().mkdir(Peers));
    Write(Dir.filePath("options.dsl"),
          "user inside\npersist\nfile " + Dir.filePath("deeper").toUtf8() + "\n");
    Write(Dir.filePath("deeper"), "demand\nuser deepest\n");
    Write(Peers + "/common", "plugin rp-pppoe.so\nuser common\n");
    Write(Peers + "/Home", "user before\nfile " + Dir.filePath("options.dsl").toUtf8() +
                               "\nnopersist\ncall common\n" + "file /nonexistent/options\n");
    TPeerOptions Options;
    QCOMPARE(ReadPeerOptions(Peers.toStdString(), "Home", Options), TPeerRead::Read);
    QCOMPARE(QString::fromStdString(Options.User), QString("common"));
    QVERIFY(!Options.Persist);
    QVERIFY(!Options.Demand);
    QVERIFY(Options.Pppoe);

    Write(Peers + "/Late", "call common\nuser late\n");
    QCOMPARE(ReadPeerOptions(Peers.toStdString(), "Late", Options), TPeerRead::Read);
    QCOMPARE(QString::fromStdString(Options.User), QString("late"));
    QCOMPARE(ReadPeerOptions(Peers.toStdString(), "Missing", Options), TPeerRead::Missing);
    Write(Peers + "/Home~", "user old\n");
    QCOMPARE(ReadPeerOptions(Peers.toStdString(), "Home~", Options), TPeerRead::Missing);
    QVERIFY(QDir().mkdir(Peers + "/folder"));
    QCOMPARE(ReadPeerOptions(Peers.toStdString(), "folder", Options), TPeerRead::Refused);
  }

  void PeerNames_data() {
    QTest::addColumn<QString>("Name");
    QTest::addColumn<bool>("Peer");
    QTest::newRow("plain") << "dsl-provider" << true;
    QTest::newRow("with spaces") << "My ISP" << true;
    QTest::newRow("editor backup") << "dsl~" << false;
    QTest::newRow("bak") << "dsl.bak" << false;
    QTest::newRow("orig") << "dsl.orig" << false;
    QTest::newRow("swap file") << ".dsl.swp" << false;
    QTest::newRow("dpkg old") << "provider.dpkg-old" << false;
    QTest::newRow("dpkg dist") << "provider.dpkg-dist" << false;
    QTest::newRow("ucf") << "provider.ucf-old" << false;
    QTest::newRow("hidden") << ".provider" << false;
    QTest::newRow("emacs autosave") << "#dsl#" << false;
    QTest::newRow("control character") << "ds\tl" << false;
    QTest::newRow("longest") << QString(256, 'n') << true;
    QTest::newRow("too long") << QString(257, 'n') << false;
  }
  void PeerNames() {
    QFETCH(QString, Name);
    QTEST(IsPeerName(Name.toStdString()), "Peer");
  }

  // The listing: regular files (or links to one) with peer names, by name.
  void ListsPeers() {
    QTemporaryDir Dir;
    QVERIFY(Dir.isValid());
    for (const char* Name : {"b", "A", "a", "a~", ".hidden", "a.dpkg-new"}) {
      Write(Dir.filePath(Name), "user x\n");
    }
    QVERIFY(QDir().mkdir(Dir.filePath("sub")));
    QVERIFY(QFile::link(Dir.filePath("b"), Dir.filePath("linked")));
    QVERIFY(QFile::link(Dir.filePath("gone"), Dir.filePath("dangling")));
    std::vector<std::string> Names;
    QCOMPARE(ListPeers(Dir.path().toStdString(), Names), ERROR_SUCCESS);
    QCOMPARE(Names, (std::vector<std::string>{"A", "a", "b", "linked"}));
    QCOMPARE(ListPeers(Dir.filePath("none").toStdString(), Names),
             DWORD(ERROR_CANNOT_OPEN_PHONEBOOK));
  }

  // The secret for a user: the line with the fewest wildcards, the first of
  // equal ones; a server named in a line is only a guess while the peer's
  // name is not known.
  void Secrets_data() {
    QTest::addColumn<QByteArray>("Text");
    QTest::addColumn<QString>("User");
    QTest::addColumn<QString>("Server");
    QTest::addColumn<QString>("Secret");
    const QByteArray Book =
        "# Secrets for authentication using CHAP\n"
        "# client\tserver\tsecret\tIP addresses\n"
        "alice\t*\ts3cret\n"
        "bob isp pw2 10.0.0.1 10.0.0.2\n"
        "* * wild\n"
        "\"carol smith\" * \"pass word\"\n"
        "short line\n"
        "dave\n"
        "erin * \"\"\n";
    QTest::newRow("pppoeconf's line") << Book << "alice"
                                      << ""
                                      << "s3cret";
    QTest::newRow("server guessed") << Book << "bob"
                                    << ""
                                    << "pw2";
    QTest::newRow("server known") << Book << "bob"
                                  << "isp"
                                  << "pw2";
    QTest::newRow("server other") << Book << "bob"
                                  << "other"
                                  << "wild";
    QTest::newRow("quoted") << Book << "carol smith"
                            << ""
                            << "pass word";
    QTest::newRow("wildcard client") << Book << "frank"
                                     << ""
                                     << "wild";
    QTest::newRow("empty secret") << Book << "erin"
                                  << ""
                                  << "";
    QTest::newRow("too short a line is none") << Book << "short"
                                              << ""
                                              << "wild";
    QTest::newRow("named server wins over *") << QByteArray("alice * a1\nalice isp a2\n") << "alice"
                                              << "isp"
                                              << "a2";
    QTest::newRow("first of equals") << QByteArray("alice * a1\nalice * a2\n") << "alice"
                                     << "isp"
                                     << "a1";
    QTest::newRow("wildcard server beats a guess")
        << QByteArray("alice isp a1\nalice * a2\n") << "alice"
        << ""
        << "a2";
    QTest::newRow("no line") << QByteArray("bob * x\n") << "alice"
                             << ""
                             << "<none>";
    QTest::newRow("joined line") << QByteArray("alice \\\n * joined\n") << "alice"
                                 << ""
                                 << "joined";
  }
  void Secrets() {
    QFETCH(QByteArray, Text);
    QFETCH(QString, User);
    QFETCH(QString, Server);
    const std::vector<TSecretLine> Lines = ParseSecrets(Text.toStdString());
    const TSecretLine* Line = FindSecret(Lines, User.toStdString(), Server.toStdString());
    QTEST(Line == nullptr ? QString("<none>") : QString::fromStdString(Line->Secret), "Secret");
  }

  // CHAP's file first, then PAP's; a secret kept in a file of its own; no
  // file is no password and no error.
  void SecretFiles() {
    QTemporaryDir Dir;
    QVERIFY(Dir.isValid());
    const std::string Chap = Dir.filePath("chap-secrets").toStdString();
    const std::string Pap = Dir.filePath("pap-secrets").toStdString();
    Write(QString::fromStdString(Chap),
          "alice * chap-pw\nkept * @" + Dir.filePath("kept").toUtf8() + "\n");
    Write(QString::fromStdString(Pap), "alice * pap-pw\nbob * pap-only\n");
    Write(Dir.filePath("kept"), "\"from file\" ignored\n");
    std::string Secret;
    QVERIFY(ReadSecret(Chap, Pap, "alice", "", Secret));
    QCOMPARE(QString::fromStdString(Secret), QString("chap-pw"));
    QVERIFY(ReadSecret(Chap, Pap, "bob", "", Secret));
    QCOMPARE(QString::fromStdString(Secret), QString("pap-only"));
    QVERIFY(ReadSecret(Chap, Pap, "kept", "", Secret));
    QCOMPARE(QString::fromStdString(Secret), QString("from file"));
    QVERIFY(!ReadSecret(Chap, Pap, "nobody", "", Secret));
    QVERIFY(Secret.empty());
    QVERIFY(!ReadSecret("/nonexistent/a", "/nonexistent/b", "alice", "", Secret));
  }

  void PidFileNames_data() {
    QTest::addColumn<QString>("Name");
    QTest::addColumn<int>("Kind");
    QTest::addColumn<QString>("Link");
    QTest::addColumn<QString>("Interface");
    QTest::newRow("link") << "ppp-Home.pid" << int(TPidFileKind::Link) << "Home"
                          << "";
    QTest::newRow("link with spaces") << "ppp-My ISP.pid" << int(TPidFileKind::Link) << "My ISP"
                                      << "";
    QTest::newRow("unit") << "ppp0.pid" << int(TPidFileKind::Unit) << ""
                          << "ppp0";
    QTest::newRow("unit 12") << "ppp12.pid" << int(TPidFileKind::Unit) << ""
                             << "ppp12";
    QTest::newRow("no name") << "ppp-.pid" << int(TPidFileKind::None) << ""
                             << "";
    QTest::newRow("hidden link") << "ppp-.x.pid" << int(TPidFileKind::None) << ""
                                 << "";
    QTest::newRow("pppd's own") << "pppd.pid" << int(TPidFileKind::None) << ""
                                << "";
    QTest::newRow("unit too long") << "ppp1234567.pid" << int(TPidFileKind::None) << ""
                                   << "";
    QTest::newRow("other") << "sshd.pid" << int(TPidFileKind::None) << ""
                           << "";
    QTest::newRow("database") << "pppd2.tdb" << int(TPidFileKind::None) << ""
                              << "";
  }
  void PidFileNames() {
    QFETCH(QString, Name);
    std::string Link, Interface;
    QTEST(int(KindOfPidFileName(Name.toStdString(), Link, Interface)), "Kind");
    QTEST(QString::fromStdString(Link), "Link");
    QTEST(QString::fromStdString(Interface), "Interface");
  }

  void PidFiles_data() {
    QTest::addColumn<QByteArray>("Text");
    QTest::addColumn<bool>("Link");
    QTest::addColumn<int>("Pid");
    QTest::addColumn<QString>("Interface");
    QTest::newRow("link") << QByteArray("1234\nppp0\n") << true << 1234 << "ppp0";
    QTest::newRow("unit") << QByteArray("1234\n") << false << 1234 << "";
    QTest::newRow("crlf and spaces") << QByteArray(" 77 \r\nppp3\r\n") << true << 77 << "ppp3";
    QTest::newRow("no line end") << QByteArray("5") << false << 5 << "";
    QTest::newRow("link without interface") << QByteArray("1234\n") << true << -1 << "";
    QTest::newRow("interface with a slash") << QByteArray("1234\n../x\n") << true << -1 << "";
    QTest::newRow("interface too long")
        << QByteArray("1234\nppp0123456789abcd\n") << true << -1 << "";
    QTest::newRow("zero") << QByteArray("0\nppp0\n") << true << -1 << "";
    QTest::newRow("too large") << QByteArray("99999999\n") << false << -1 << "";
    QTest::newRow("negative") << QByteArray("-1\n") << false << -1 << "";
    QTest::newRow("words") << QByteArray("pid 12\n") << false << -1 << "";
    QTest::newRow("empty") << QByteArray("") << false << -1 << "";
  }
  void PidFiles() {
    QFETCH(QByteArray, Text);
    QFETCH(bool, Link);
    QFETCH(int, Pid);
    pid_t Read = 0;
    std::string Interface;
    const bool Parsed = ParsePidFile(
        Text.toStdString(), Link ? TPidFileKind::Link : TPidFileKind::Unit, Read, Interface);
    QCOMPARE(Parsed, Pid > 0);
    if (!Parsed) return;
    QCOMPARE(int(Read), Pid);
    QTEST(QString::fromStdString(Interface), "Interface");
  }

  // Whose pppd a process is, by its command line; the pid file it was
  // found through must agree with it.
  void CommandLines_data() {
    QTest::addColumn<QByteArray>("CommandLine");
    QTest::addColumn<QString>("FileLink");
    QTest::addColumn<bool>("OfHome");
    const QByteArray Ours("/usr/sbin/pppd\0call\0Home\0linkname\0Home\0updetach\0", 47);
    QTest::newRow("Dravik's, link file") << Ours << "Home" << true;
    QTest::newRow("Dravik's, unit file") << Ours << "" << true;
    QTest::newRow("other link name") << Ours << "Office" << false;
    QTest::newRow("pon's, peer file's link name")
        << QByteArray("/usr/sbin/pppd\0call\0Home\0", 25) << "Home" << true;
    QTest::newRow("pon's, unit file") << QByteArray("pppd\0call\0Home\0", 15) << "" << true;
    QTest::newRow("another peer") << QByteArray("/usr/sbin/pppd\0call\0Office\0", 27) << ""
                                  << false;
    QTest::newRow("not pppd") << QByteArray("/bin/sleep\0call\0Home\0", 21) << "" << false;
    QTest::newRow("pppd in an argument only")
        << QByteArray("sh\0-c\0pppd\0call\0Home\0", 21) << "" << false;
    QTest::newRow("call without a name") << QByteArray("pppd\0call\0", 10) << "" << false;
    QTest::newRow("no call") << QByteArray("pppd\0file\0/etc/ppp/x\0", 21) << "" << false;
    QTest::newRow("gone") << QByteArray() << "" << false;
  }
  void CommandLines() {
    QFETCH(QByteArray, CommandLine);
    QFETCH(QString, FileLink);
    TPidFile File;
    File.Kind = FileLink.isEmpty() ? TPidFileKind::Unit : TPidFileKind::Link;
    File.LinkName = FileLink.toStdString();
    const auto Args = SplitCommandLine(std::string(CommandLine.constData(), CommandLine.size()));
    QTEST(IsPppdOf(Args, "Home", File, "/usr/sbin/pppd"), "OfHome");
  }

  void MovedProgramIsPppd() {
    const std::vector<std::string> Args = {"/opt/test/stand-in", "call", "Home"};
    std::string Link;
    QCOMPARE(PeerOfCommandLine(Args, "/opt/test/stand-in", Link), std::string("Home"));
    QCOMPARE(PeerOfCommandLine(Args, "/usr/sbin/pppd", Link), std::string());
  }

  // pppd's progress lines, as far as they tell the dial's progress.
  void ProgressLines_data() {
    QTest::addColumn<QString>("Line");
    QTest::addColumn<QList<int>>("States");
    QTest::newRow("interface") << "Using interface ppp0" << QList<int>{RASCS_PortOpened};
    QTest::newRow("connect") << "Connect: ppp0 <--> eth0" << QList<int>{RASCS_DeviceConnected};
    QTest::newRow("chap ok") << "CHAP authentication succeeded"
                             << QList<int>{RASCS_Authenticate, RASCS_Authenticated};
    QTest::newRow("pap ok") << "PAP authentication succeeded"
                            << QList<int>{RASCS_Authenticate, RASCS_Authenticated};
    QTest::newRow("chap failed") << "CHAP authentication failed: Access denied"
                                 << QList<int>{RASCS_Authenticate};
    QTest::newRow("local address") << "local  IP address 10.64.0.12" << QList<int>{RASCS_Projected};
    QTest::newRow("remote address") << "remote IP address 10.64.0.1" << QList<int>{};
    QTest::newRow("plugin") << "Plugin rp-pppoe.so loaded." << QList<int>{};
    QTest::newRow("local other") << "local  DNS address 1.1.1.1" << QList<int>{};
  }
  void ProgressLines() {
    QFETCH(QString, Line);
    QList<int> States;
    for (RASCONNSTATE State : DialStatesOfLine(Line.toStdString())) States << State;
    QTEST(States, "States");
  }

  void ExitStatuses_data() {
    QTest::addColumn<int>("Status");
    QTest::addColumn<bool>("Refused");
    QTest::addColumn<int>("Code");
    QTest::newRow("detached") << 0 << false << 0;
    QTest::newRow("fatal: no PPPoE in the kernel") << 1 << false << 711;
    QTest::newRow("options") << 2 << false << 625;
    QTest::newRow("option only root may give") << 2 << true << 5;
    QTest::newRow("not set-uid") << 3 << false << 5;
    QTest::newRow("no kernel support") << 4 << false << 711;
    QTest::newRow("signal") << 5 << false << 631;
    QTest::newRow("lock") << 6 << false << 633;
    QTest::newRow("open") << 7 << false << 608;
    QTest::newRow("connect script, PPPoE discovery") << 8 << false << 678;
    QTest::newRow("negotiation") << 10 << false << 734;
    QTest::newRow("peer authentication") << 11 << false << 691;
    QTest::newRow("peer not responding") << 15 << false << 678;
    QTest::newRow("modem hung up") << 16 << false << 629;
    QTest::newRow("loopback") << 17 << false << 737;
    QTest::newRow("our authentication") << 19 << false << 691;
    QTest::newRow("not in the manual") << 42 << false << 635;
  }
  void ExitStatuses() {
    QFETCH(int, Status);
    QFETCH(bool, Refused);
    QTEST(int(CodeOfExitStatus(Status, Refused)), "Code");
  }

  void SignalsAndAdvice() {
    QCOMPARE(CodeOfSignal(SIGTERM), DWORD(ERROR_USER_DISCONNECTION));
    QCOMPARE(CodeOfSignal(SIGKILL), DWORD(ERROR_UNKNOWN));
    QVERIFY(IsPermissionLine("pppd: using the linkname option requires root privilege"));
    QVERIFY(
        IsPermissionLine("pppd: Can't open options file /etc/ppp/peers/dsl: Permission denied"));
    QVERIFY(!IsPermissionLine("CHAP authentication failed: Access denied"));
    QCOMPARE(QString::fromStdString(AdviceOfCode(ErrorAccessDenied)),
             QString("the user must be in the group dip"));
    QCOMPARE(AdviceOfCode(ERROR_AUTHENTICATION_FAILURE), std::string());
  }

  // The defaults, moved by the environment before ras.conf.
  void Paths() {
    QTemporaryDir Dir;
    QVERIFY(Dir.isValid());
    const std::string Config = Dir.filePath("ras.conf").toStdString();
    std::string Problem;
    TPppdPaths Paths = ChosenPppdPaths(Config, Problem);
    QCOMPARE(Problem, std::string());
    QCOMPARE(Paths.Program, std::string("/usr/sbin/pppd"));
    QCOMPARE(Paths.PeersDir(), std::string("/etc/ppp/peers"));
    QCOMPARE(Paths.ChapSecrets(), std::string("/etc/ppp/chap-secrets"));
    QCOMPARE(Paths.RunDir, std::string("/run"));

    Write(QString::fromStdString(Config),
          "provider = pppd\npppd = /opt/pppd\nppp-dir = /srv/ppp/\nppp-run-dir = /srv/run\n");
    qputenv("DRAVIK_PPP_RUN_DIR", "/tmp/run");
    Paths = ChosenPppdPaths(Config, Problem);
    qunsetenv("DRAVIK_PPP_RUN_DIR");
    QCOMPARE(Problem, std::string());
    QCOMPARE(Paths.Program, std::string("/opt/pppd"));
    QCOMPARE(Paths.PeersDir(), std::string("/srv/ppp/peers"));
    QCOMPARE(Paths.RunDir, std::string("/tmp/run"));

    qputenv("DRAVIK_PPPD", "pppd");
    ChosenPppdPaths(Config, Problem);
    qunsetenv("DRAVIK_PPPD");
    QCOMPARE(Problem, std::string("DRAVIK_PPPD must be an absolute path"));
    Problem.clear();
    Write(QString::fromStdString(Config), "ppp-dir = etc/ppp\n");
    ChosenPppdPaths(Config, Problem);
    QVERIFY2(Problem.find("ppp-dir line") != std::string::npos, Problem.c_str());
  }

  void HandlesAreStable() {
    QCOMPARE(TPppdProvider::HandleOfEntry("Home"), TPppdProvider::HandleOfEntry("Home"));
    QVERIFY(TPppdProvider::HandleOfEntry("Home") != TPppdProvider::HandleOfEntry("Office"));
    QVERIFY(TPppdProvider::HandleOfEntry("") != 0);
  }
};

QTEST_GUILESS_MAIN(TestPppdFiles)
#include "TestPppdFiles.moc"
