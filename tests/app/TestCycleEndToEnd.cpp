// The reconnect cycle in real time: the main window with the simulated
// dial-up service, one second online and one second offline, on the system
// clock, for a few turns. The cycle's rules are tested on the hand-driven
// clock elsewhere; this shows that the real timers, the service and the
// monitor's polls fit together.
//
// Built a second time with DRAVIK_CYCLE_NETWORKMANAGER: the same against a
// real NetworkManager on the testbed, three seconds online and one offline,
// for three turns; and a third time with DRAVIK_CYCLE_PPPD: the same on a
// dial-up server, pppd's peer dialled through the stand-in pppd in the
// pppd testbed's namespaces.

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "TestSupport.h"
#ifdef DRAVIK_CYCLE_NETWORKMANAGER
#include "TNmTestbed.h"
#endif
#ifdef DRAVIK_CYCLE_PPPD
#include "TPppdTestbed.h"
#endif
#include "TimeText.h"
#include "Unit1.h"

namespace {

bool WriteFile(const QString& APath, const QByteArray& AContent) {
  QFile File(APath);
  return File.open(QIODevice::WriteOnly) && File.write(AContent) == AContent.size();
}

// Seconds from AFrom forward to ATo on the clock face, so that a run across
// midnight still compares.
int SecondsAfter(const QTime& AFrom, const QTime& ATo) {
  return (AFrom.secsTo(ATo) + 86400) % 86400;
}

}  // namespace

class TestCycleEndToEnd : public QObject {
  Q_OBJECT
  QTemporaryDir FFolder;
#if defined(DRAVIK_CYCLE_NETWORKMANAGER)
  TNmTestbed FTestbed;
  // Three turns: connected, disconnected, connected, disconnected, connected.
  const int FLines = 5;
  const int FWithinMs = 40000;
#elif defined(DRAVIK_CYCLE_PPPD)
  // Entered by main, before any thread.
  TPppdTestbed& FTestbed = TPppdTestbed::Enter(TPppdTestbed::StandIn);
  // Three turns, as above.
  const int FLines = 5;
  const int FWithinMs = 40000;
#else
  // Two full turns after the first connect: up, down, up, down, up. About
  // 2 s a turn; the limit leaves room for a poll that misses a phase.
  const int FLines = 5;
  const int FWithinMs = 14000;
#endif

 private slots:
  void initTestCase() {
    QVERIFY(FFolder.isValid());
#ifdef DRAVIK_CYCLE_NETWORKMANAGER
    REQUIRE_TESTBED(FTestbed);
    // The line of the testbed, a new address at each activation.
    const auto Added =
        TNmTestbed::Nmcli({"connection", "add", "type", "ethernet", "ifname", "veth-c", "con-name",
                           "Broadband", "connection.autoconnect", "no",
                           "ethernet.cloned-mac-address", "random", "ipv6.method", "disabled"});
    QVERIFY2(Added.Exit == 0, qPrintable(Added.Err));
    qputenv("DRAVIK_RAS_PROVIDER", "networkmanager");
    qputenv("DRAVIK_NM_TYPES", "802-3-ethernet");
    QVERIFY(WriteFile(FFolder.filePath(QStringLiteral("dravik.ini")),
                      "[config]\nhanguptime=3\nconnecttime=1\nchange=1\n"));
    SetLongTimeFormat({true, QStringLiteral(":"), TDesignatorPosition::None, {}, {}});
    return;
#endif
#ifdef DRAVIK_CYCLE_PPPD
    REQUIRE_PPPD_TESTBED(FTestbed);
    // A PPPoE peer as pppoeconf writes one, its password in chap-secrets;
    // the stand-in's provider knows the account.
    QVERIFY(TPppdTestbed::Write("/etc/ppp/peers/Broadband",
                                "noipdefault\ndefaultroute\nhide-password\nnoauth\n"
                                "plugin rp-pppoe.so nic-eth0\nuser \"alice\"\n",
                                0640));
    QVERIFY(TPppdTestbed::Write("/etc/ppp/chap-secrets", "\"alice\" * \"s3cret\"\n", 0600));
    QVERIFY(FTestbed.WriteAccounts("alice s3cret\n"));
    qputenv("DRAVIK_RAS_PROVIDER", "pppd");
    QVERIFY(WriteFile(FFolder.filePath(QStringLiteral("dravik.ini")),
                      "[config]\nhanguptime=3\nconnecttime=1\nchange=1\n"));
    SetLongTimeFormat({true, QStringLiteral(":"), TDesignatorPosition::None, {}, {}});
    return;
#endif
    // A service of our own, so that nothing of the user's is dialled; its
    // entry connects at once, which leaves the monitor a whole second to see
    // each connection at its one-second polls.
    const QString ServiceDir = FFolder.filePath(QStringLiteral("ras"));
    QVERIFY(QDir().mkdir(ServiceDir));
    QVERIFY(
        QFile::setPermissions(ServiceDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(WriteFile(ServiceDir + QStringLiteral("/phonebook.ini"),
                      "[Broadband]\nUserName=someone\nPassword=secret\nDialSeconds=0\n"));
    qputenv("DRAVIK_RAS_DIR", ServiceDir.toLocal8Bit());
    qputenv("DRAVIK_RAS_PROVIDER", "sim");
    QVERIFY(WriteFile(FFolder.filePath(QStringLiteral("dravik.ini")),
                      "[config]\nhanguptime=1\nconnecttime=1\nchange=1\n"));
    SetLongTimeFormat({true, QStringLiteral(":"), TDesignatorPosition::None, {}, {}});
  }

  void TurnsInRealTime() {
#ifdef DRAVIK_CYCLE_NETWORKMANAGER
    REQUIRE_TESTBED(FTestbed);
#endif
#ifdef DRAVIK_CYCLE_PPPD
    REQUIRE_PPPD_TESTBED(FTestbed);
#endif
    const QTime Start = QTime::currentTime();
    TForm1 Form(FFolder.filePath(QStringLiteral("dravik.bin")).toStdString());
    Form.show();
    QVERIFY(Form.CheckBox1->isChecked());

    // The address field as each connect line is written.
    QStringList Addresses;
    int SeenLines = 0;
    connect(Form.Memo1, &QPlainTextEdit::textChanged, this, [&] {
      const QStringList Lines = Form.Memo1->toPlainText().split(u'\n', Qt::SkipEmptyParts);
      if (Lines.size() > SeenLines && Lines.constLast().endsWith(QStringLiteral(" connected")))
        Addresses << Form.ip->text();
      SeenLines = Lines.size();
    });

    auto Log = [&Form] { return Form.Memo1->toPlainText().split(u'\n', Qt::SkipEmptyParts); };
    QTRY_VERIFY_WITH_TIMEOUT(Log().size() >= FLines, FWithinMs);
    const QTime End = QTime::currentTime();

    const QStringList Lines = Log();
    qInfo().noquote() << "log:" << Lines.join(QStringLiteral(" | "));
    const QRegularExpression Shape(
        QStringLiteral("^(\\d\\d:\\d\\d:\\d\\d) (connected|disconnected)$"));
    for (int I = 0; I < Lines.size(); ++I) {
      const QRegularExpressionMatch Match = Shape.match(Lines[I]);
      QVERIFY2(Match.hasMatch(), qPrintable(Lines[I]));
      // The monitor sees each change in its own state, so the lines take
      // turns, starting with the first connect.
      QCOMPARE(Match.captured(2),
               I % 2 == 0 ? QStringLiteral("connected") : QStringLiteral("disconnected"));
      const QTime Stamp = QTime::fromString(Match.captured(1), QStringLiteral("HH:mm:ss"));
      QVERIFY2(SecondsAfter(Start.addSecs(-1), Stamp) <= SecondsAfter(Start.addSecs(-1), End) + 1,
               qPrintable(Lines[I]));
    }

    qInfo().noquote() << "addresses:" << Addresses.join(u' ');
    QCOMPARE(Addresses.size(), (Lines.size() + 1) / 2);
    const QRegularExpression Dotted(QStringLiteral("^\\d{1,3}(\\.\\d{1,3}){3}$"));
    for (int I = 0; I < Addresses.size(); ++I) {
      QVERIFY2(Dotted.match(Addresses[I]).hasMatch(), qPrintable(Addresses[I]));
      QVERIFY2(Addresses[I] != QString::fromStdString(Form.Ras->LocalIP()),
               qPrintable(Addresses[I]));
      if (I > 0) QVERIFY2(Addresses[I] != Addresses[I - 1], qPrintable(Addresses.join(u' ')));
    }
    // The address of the connection that ended stays after a disconnect.
    if (Lines.size() % 2 == 0) QCOMPARE(Form.ip->text(), Addresses.constLast());

    const auto& Boxes = TModalRecorder::Instance().Shown();
    QVERIFY2(Boxes.empty(), Boxes.empty() ? "" : Boxes.front().Text.c_str());
  }

#ifdef DRAVIK_CYCLE_NETWORKMANAGER
  // Connected by hand, the line cut at the far end: NetworkManager takes
  // the connection down, the monitor sees it gone and the log says so.
  void FarEndCutIsLogged() {
    REQUIRE_TESTBED(FTestbed);
    // The line the cycle left up goes down first.
    TNmTestbed::Nmcli({"connection", "down", "Broadband"});
    QVERIFY(WriteFile(FFolder.filePath(QStringLiteral("dravik.ini")),
                      "[config]\nhanguptime=600\nconnecttime=1\nchange=0\n"));
    TForm1 Form(FFolder.filePath(QStringLiteral("dravik.bin")).toStdString());
    Form.show();
    auto LastLine = [&Form] {
      const QStringList Lines = Form.Memo1->toPlainText().split(u'\n', Qt::SkipEmptyParts);
      return Lines.isEmpty() ? QString() : Lines.constLast();
    };
    QTest::mouseClick(Form.msend, Qt::LeftButton);
    QTRY_VERIFY2_WITH_TIMEOUT(LastLine().endsWith(QStringLiteral(" connected")),
                              qPrintable(Form.Memo1->toPlainText()), 20000);
    QVERIFY2(Form.ip->text().startsWith(QStringLiteral("10.77.0.")), qPrintable(Form.ip->text()));
    QCOMPARE(FTestbed.Do({"cut"}).Exit, 0);
    QTRY_VERIFY2_WITH_TIMEOUT(LastLine().endsWith(QStringLiteral(" disconnected")),
                              qPrintable(Form.Memo1->toPlainText()), 30000);
    QCOMPARE(FTestbed.Do({"mend"}).Exit, 0);
  }
#endif
};

// This test is about real time: it runs on the system clock, unlike every
// other test program, and still answers any box the program would show.
int main(int argc, char** argv) {
#ifdef DRAVIK_CYCLE_PPPD
  TPppdTestbed::Enter(TPppdTestbed::StandIn);
#endif
  TGuiApplication App(argc, argv);
  TModalRecorder::Instance().Install();
  TestCycleEndToEnd Test;
  return QTest::qExec(&Test, argc, argv);
}

#include "TestCycleEndToEnd.moc"
