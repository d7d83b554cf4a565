// ShellExecuteA for real: xdg-open started by it hands the address to the
// user's default program for it, here a recording program made the default
// in a private configuration folder.

#include <sys/wait.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>

#include "ShellApi.h"
#include "TestSupport.h"

namespace {

QByteArray ReadAll(const QString& APath) {
  QFile File(APath);
  return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
}

bool Write(const QString& APath, const QByteArray& AText) {
  QDir().mkpath(QFileInfo(APath).absolutePath());
  QFile File(APath);
  return File.open(QIODevice::WriteOnly) && File.write(AText) == AText.size();
}

uintptr_t Open(const QByteArray& AAddress, const char* AOperation = "open") {
  return reinterpret_cast<uintptr_t>(
      ShellExecuteA(nullptr, AOperation, AAddress.constData(), nullptr, nullptr, SW_SHOWNORMAL));
}

}  // namespace

class TestShellExecute : public QObject {
  Q_OBJECT

  QTemporaryDir Home;
  QString RecordFile;

  // The addresses the recording program received, in the order received.
  QList<QByteArray> Received() const {
    QList<QByteArray> Addresses = ReadAll(RecordFile).split('\0');
    Addresses.removeLast();
    return Addresses;
  }

 private slots:
  void initTestCase() {
    QVERIFY(Home.isValid());
    RecordFile = Home.filePath("received");
    const QByteArray Types =
        "x-scheme-handler/http;x-scheme-handler/https;x-scheme-handler/mailto;"
        "x-scheme-handler/javascript;x-scheme-handler/file;x-scheme-handler/ftp;text/plain;";
    QByteArray Defaults = "[Default Applications]\n";
    for (const QByteArray& Type : Types.split(';'))
      if (!Type.isEmpty()) Defaults += Type + "=dravik-recorder.desktop\n";
    QVERIFY(Write(Home.filePath("config/mimeapps.list"), Defaults));
    QVERIFY(Write(Home.filePath("data/applications/dravik-recorder.desktop"),
                  "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" DRAVIK_URL_RECORDER
                  " %u\nMimeType=" +
                      Types + "\nNoDisplay=true\n"));
    QVERIFY(Write(Home.filePath("document.txt"), "text\n"));
    // The generic desktop, with our folders as the user's and no others.
    qputenv("XDG_CONFIG_HOME", Home.filePath("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", Home.filePath("data").toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", Home.filePath("none").toLocal8Bit());
    qputenv("XDG_DATA_DIRS", Home.filePath("none").toLocal8Bit());
    qputenv("DRAVIK_URL_RECORD", RecordFile.toLocal8Bit());
    // xdg-open asks the desktop's defaults only where a display is named;
    // this name is never connected to.
    qputenv("WAYLAND_DISPLAY", "dravik-no-display");
    for (const char* Name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                             "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID", "BROWSER"})
      qunsetenv(Name);
  }
  void init() { QFile::remove(RecordFile); }

  void addressesReachTheDefaultProgramIntact_data() {
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QByteArray>("received");
    const QByteArray Web = "https://dravik.example.org/a b?q=\"x\"&r='y'&s=$HOME;`id`|ü中文";
    QTest::newRow("web address with spaces, quotes, & and non-ASCII") << Web << Web;
    const QByteArray Mail = "mailto:dravik@example.org?subject=Hi there&body=\"1\"";
    QTest::newRow("mail address") << Mail << Mail;
    QTest::newRow("scheme in capitals")
        << QByteArray("HTTP://Dravik.example.org/A") << QByteArray("http://Dravik.example.org/A");
  }
  void addressesReachTheDefaultProgramIntact() {
    QFETCH(QByteArray, address);
    QFETCH(QByteArray, received);
    QVERIFY(Open(address) > 32);
    QTRY_COMPARE_WITH_TIMEOUT(Received(), QList<QByteArray>{received}, 20000);
    // Nothing of it is left a child of ours to reap, nor a zombie.
    QCOMPARE(waitpid(-1, nullptr, WNOHANG), pid_t(-1));
    QCOMPARE(errno, ECHILD);
  }

  void otherAddressesOpenNothing_data() {
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QByteArray>("operation");
    QTest::addColumn<int>("result");
    const QByteArray Document = "file://" + Home.filePath("document.txt").toLocal8Bit();
    QTest::newRow("file") << Document << QByteArray("open") << SE_ERR_NOASSOC;
    QTest::newRow("script") << QByteArray("javascript:alert(1)") << QByteArray("open")
                            << SE_ERR_NOASSOC;
    QTest::newRow("ftp") << QByteArray("ftp://dravik.example.org/") << QByteArray("open")
                         << SE_ERR_NOASSOC;
    QTest::newRow("a path") << Home.filePath("document.txt").toLocal8Bit() << QByteArray("open")
                            << SE_ERR_NOASSOC;
    QTest::newRow("empty") << QByteArray("") << QByteArray("open") << SE_ERR_FNF;
    QTest::newRow("line break") << QByteArray("https://dravik.example.org/\nfile:///etc/passwd")
                                << QByteArray("open") << SE_ERR_FNF;
    QTest::newRow("no host") << QByteArray("https:") << QByteArray("open") << SE_ERR_FNF;
    QTest::newRow("too long") << QByteArray("https://dravik.example.org/" + QByteArray(3000, 'a'))
                              << QByteArray("open") << SE_ERR_FNF;
    QTest::newRow("another operation")
        << QByteArray("https://dravik.example.org/") << QByteArray("print") << SE_ERR_NOASSOC;
  }
  void otherAddressesOpenNothing() {
    QFETCH(QByteArray, address);
    QFETCH(QByteArray, operation);
    QFETCH(int, result);
    QCOMPARE(Open(address, operation.constData()), uintptr_t(result));
    // What the opener does get arrives alone: the refused one started nothing.
    QVERIFY(Open("https://dravik.example.org/after") > 32);
    QTRY_COMPARE_WITH_TIMEOUT(Received(), QList<QByteArray>{"https://dravik.example.org/after"},
                              20000);
    QTest::qWait(200);
    QCOMPARE(Received(), QList<QByteArray>{"https://dravik.example.org/after"});
  }

  void refusedAddressesWouldReachTheRecorder() {
    // The control: handed to xdg-open directly, a script address does reach
    // the recording program, so its absence above means it was refused.
    QProcess Opener;
    Opener.start("xdg-open", {"javascript:alert(1)"});
    QVERIFY(Opener.waitForFinished(20000));
    QTRY_COMPARE_WITH_TIMEOUT(Received(), QList<QByteArray>{"javascript:alert(1)"}, 20000);
  }
};

DRAVIK_TEST_MAIN(TestShellExecute)
#include "TestShellExecute.moc"
