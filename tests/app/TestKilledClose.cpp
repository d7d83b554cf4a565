// The window program killed (SIGKILL) at random moments while its close
// saves the settings, many times over: the settings file is always wholly
// the old one or wholly the new one, and a killed save leaves at most one
// temporary file beside it, which the next save removes.

#include <signal.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "TSimServiceDir.h"
#include "TestSupport.h"

namespace {

// The settings as the helper's two sets of values leave them, in a file
// that holds more than the window's own keys.
QByteArray Settings(const QByteArray& AEnding, bool ASecond) {
  QByteArray Text =
      "; kept as it is\n[config]\nhanguptime=61\nconnecttime=21\nchange=0\n\n"
      "[other]\nkey=a value that stays\n";
  if (ASecond)
    Text.replace("hanguptime=61", "hanguptime=3600")
        .replace("connecttime=21", "connecttime=7")
        .replace("change=0", "change=1");
  Text.replace("\n", AEnding);
  return Text;
}

}  // namespace

class TestKilledClose : public QObject {
  Q_OBJECT

 private:
  TSimServiceDir FService;

 private slots:
  void initTestCase() {
    QVERIFY(FService.IsValid());
    FService.WritePhonebook("[Line]\nUserName=u\nPassword=p\nDialSeconds=0\n");
  }

  void KilledWhileClosing_data() {
    QTest::addColumn<QByteArray>("Ending");
    QTest::addColumn<QByteArray>("Mark");
    QTest::newRow("lf") << QByteArray("\n") << QByteArray();
    QTest::newRow("crlf, byte-order mark") << QByteArray("\r\n") << QByteArray("\xEF\xBB\xBF");
  }
  void KilledWhileClosing() {
    QFETCH(QByteArray, Ending);
    QFETCH(QByteArray, Mark);
    const QByteArray First = Mark + Settings(Ending, false);
    const QByteArray Second = Mark + Settings(Ending, true);
    QTemporaryDir Folder;
    QVERIFY(Folder.isValid());
    const QString Path = Folder.filePath("dravik.ini");
    WriteWhole(Path, First);

    int SeenSecond = 0;
    int LeftOver = 0;
    constexpr int Kills = 30;
    for (int Kill = 0; Kill < Kills; ++Kill) {
      QProcess Window;
      Window.start(QStringLiteral(SETTINGS_CLOSER), {Folder.filePath("dravik.bin")});
      QVERIFY(Window.waitForStarted(10000));
      QVERIFY2(Window.waitForReadyRead(30000), qPrintable(Window.readAllStandardError()));
      QCOMPARE(Window.readLine(), QByteArray("ready\n"));
      // Over several saves, which the helper makes one after another.
      QThread::usleep(QRandomGenerator::global()->bounded(20000));
      ::kill(static_cast<pid_t>(Window.processId()), SIGKILL);
      QVERIFY(Window.waitForFinished(10000));
      QCOMPARE(Window.exitStatus(), QProcess::CrashExit);

      QFile File(Path);
      QVERIFY(File.open(QIODevice::ReadOnly));
      const QByteArray Content = File.readAll();
      if (Content != First) QCOMPARE(Content, Second);
      SeenSecond += Content == Second;
      const QStringList Others =
          QDir(Folder.path())
              .entryList(QDir::Files | QDir::Hidden)
              .filter(QRegularExpression(QStringLiteral("^dravik\\.ini\\.[A-Za-z0-9]{6}$")));
      QVERIFY2(Others.size() <= 1, qPrintable(Others.join(' ')));
      LeftOver += Others.size();
      QCOMPARE(QDir(Folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 1 + Others.size());
    }
    // The kills fell while saves were being made, not only before the
    // first.
    QVERIFY2(SeenSecond > 0 && SeenSecond < Kills, qPrintable(QString::number(SeenSecond)));
    qInfo("%d of %d kills left the second values, %d a temporary file", SeenSecond, Kills,
          LeftOver);
  }

 private:
  static void WriteWhole(const QString& APath, const QByteArray& AContent) {
    QFile File(APath);
    QVERIFY(File.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(File.write(AContent), AContent.size());
  }
};

DRAVIK_TEST_MAIN(TestKilledClose)
#include "TestKilledClose.moc"
