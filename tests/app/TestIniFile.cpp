// The settings file's reader and writer, and where the file is.

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "Exception.h"
#include "IniFile.h"
#include "IniFileName.h"
#include "TestSupport.h"

namespace {

QByteArray ReadAll(const QString& APath) {
  QFile File(APath);
  return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray("<missing>");
}

void WriteAll(const QString& APath, const QByteArray& AContent) {
  QFile File(APath);
  QVERIFY(File.open(QIODevice::WriteOnly | QIODevice::Truncate));
  File.write(AContent);
}

}  // namespace

class TestIniFile : public QObject {
  Q_OBJECT
  QTemporaryDir FDir;

  QString Path() const { return FDir.filePath(QStringLiteral("dravik.ini")); }
  // Everything in the folder besides the settings file: a write must leave
  // no temporary file behind.
  QStringList Leftovers() const {
    QStringList Names = QDir(FDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    Names.removeAll(QStringLiteral("dravik.ini"));
    return Names;
  }

 private slots:
  void init() {
    QVERIFY(FDir.isValid());
    QDir Folder(FDir.path());
    for (const QString& Name : Folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
      ::chmod(Folder.filePath(Name).toLocal8Bit().constData(), 0755);
      QFileInfo(Folder.filePath(Name)).isDir() ? QDir(Folder.filePath(Name)).removeRecursively()
                                               : Folder.remove(Name);
    }
  }

  void SettingsFileName_data() {
    QTest::addColumn<QString>("Executable");
    QTest::addColumn<QString>("Directory");
    QTest::addColumn<QString>("Name");
    QTest::newRow("ours") << "/usr/lib/dravik/dravik.bin"
                          << "/usr/lib/dravik/"
                          << "dravik.ini";
    QTest::newRow("capitals, and the folder keeps its case") << "/Opt/Tools/Cycler.EXE"
                                                             << "/Opt/Tools/"
                                                             << "cycler.ini";
    QTest::newRow("no extension") << "/opt/tool"
                                  << "/opt/"
                                  << "tini";
    QTest::newRow("shorter than three bytes") << "/x/AB"
                                              << "/x/"
                                              << "ini";
    // Only ASCII capitals change; the bytes of other characters stay.
    QTest::newRow("multi-byte name") << "/x/宽带ÄB.EXE"
                                     << "/x/"
                                     << "宽带Äb.ini";
  }
  void SettingsFileName() {
    QFETCH(QString, Executable);
    QFETCH(QString, Directory);
    QFETCH(QString, Name);
    const std::string Path = Executable.toStdString();
    QCOMPARE(QString::fromStdString(ExecutableDirectory(Path)), Directory);
    QCOMPARE(QString::fromStdString(IniFileNameFor(Path)), Name);
  }

  void ThisProgramIsFoundAsItself() {
    const std::string Path = ExecutablePath();
    QCOMPARE(QString::fromStdString(Path), QCoreApplication::applicationFilePath());
  }

  void Reading_data() {
    QTest::addColumn<QByteArray>("Content");
    QTest::addColumn<QString>("Value");
    QTest::addColumn<int>("Number");
    QTest::newRow("plain") << QByteArray("[config]\nhanguptime=42\n") << "42" << 42;
    QTest::newRow("blanks and letter case")
        << QByteArray("[ CONFIG ]\n  HangUpTime =  42  \n") << "42" << 42;
    QTest::newRow("carriage returns") << QByteArray("[config]\r\nhanguptime=42\r\n") << "42" << 42;
    QTest::newRow("first of two sections counts")
        << QByteArray("[config]\nother=1\n[config]\nhanguptime=5\n") << "-" << -1;
    QTest::newRow("first of two keys counts")
        << QByteArray("[config]\nhanguptime=7\nhanguptime=8\n") << "7" << 7;
    QTest::newRow("key of another section")
        << QByteArray("[other]\nhanguptime=3\n[config]\n") << "-" << -1;
    QTest::newRow("not a number") << QByteArray("[config]\nhanguptime=ten\n") << "ten" << -1;
    QTest::newRow("empty value") << QByteArray("[config]\nhanguptime=\n") << "" << -1;
    QTest::newRow("no line end at the end")
        << QByteArray("[config]\nhanguptime=$10") << "$10" << 16;
    QTest::newRow("binary junk") << QByteArray("\0\xff[config\n=\n\n", 12) << "-" << -1;
  }
  void Reading() {
    QFETCH(QByteArray, Content);
    QFETCH(QString, Value);
    QFETCH(int, Number);
    WriteAll(Path(), Content);
    const TIniFile Ini(Path().toStdString());
    QCOMPARE(QString::fromStdString(Ini.ReadString("config", "hanguptime", "-")), Value);
    QCOMPARE(Ini.ReadInteger("config", "hanguptime", -1), Number);
  }

  void UnreadableFilesGiveTheDefault() {
    const TIniFile Missing(FDir.filePath(QStringLiteral("none.ini")).toStdString());
    QCOMPARE(Missing.ReadInteger("config", "hanguptime", 60), 60);
    QVERIFY(QDir(FDir.path()).mkdir(QStringLiteral("dravik.ini")));
    const TIniFile Folder(Path().toStdString());
    QCOMPARE(Folder.ReadInteger("config", "hanguptime", 60), 60);
    init();
    WriteAll(Path(), "[config]\nhanguptime=5\n" + QByteArray(TIniFile::MaxFileSize, ';'));
    const TIniFile Huge(Path().toStdString());
    QCOMPARE(Huge.ReadInteger("config", "hanguptime", 60), 60);
  }

  // Each row writes hanguptime=90 into a file that held Before.
  void Writing_data() {
    QTest::addColumn<QByteArray>("Before");
    QTest::addColumn<QByteArray>("After");
    QTest::newRow("new file") << QByteArray() << QByteArray("[config]\nhanguptime=90\n");
    QTest::newRow("new section after the others, every line kept")
        << QByteArray("; settings\n[window]\nleft=10\n\n[other]\nx = 1 \n")
        << QByteArray(
               "; settings\n[window]\nleft=10\n\n[other]\nx = 1 \n[config]\nhanguptime=90\n");
    QTest::newRow("replaced in place, whatever its case and blanks")
        << QByteArray("[Config]\nchange=1\n  HangUpTime = 60\nconnecttime=20\n[x]\nhanguptime=1\n")
        << QByteArray("[Config]\nchange=1\nhanguptime=90\nconnecttime=20\n[x]\nhanguptime=1\n");
    QTest::newRow("new key at the end of its section, before the blank lines")
        << QByteArray("[config]\nchange=1\n\n\n[next]\na=b\n")
        << QByteArray("[config]\nchange=1\nhanguptime=90\n\n\n[next]\na=b\n");
    QTest::newRow("the file's own line ends")
        << QByteArray("[other]\r\na=b\r\n")
        << QByteArray("[other]\r\na=b\r\n[config]\r\nhanguptime=90\r\n");
    QTest::newRow("last line without its end")
        << QByteArray("[config]\nchange=0") << QByteArray("[config]\nchange=0\nhanguptime=90\n");
  }
  void Writing() {
    QFETCH(QByteArray, Before);
    QFETCH(QByteArray, After);
    if (!Before.isNull()) WriteAll(Path(), Before);
    TIniFile Ini(Path().toStdString());
    Ini.WriteInteger("config", "hanguptime", 90);
    QCOMPARE(ReadAll(Path()), After);
    QCOMPARE(Ini.ReadInteger("config", "hanguptime", 0), 90);
    QCOMPARE(Leftovers(), QStringList{});
  }

  void WritingKeepsTheFilesModeAndLinks() {
    const QString Real = FDir.filePath(QStringLiteral("real.ini"));
    WriteAll(Real, "[config]\nchange=0\n");
    ::chmod(Real.toLocal8Bit().constData(), 0640);
    QVERIFY(QFile::link(Real, Path()));
    TIniFile Ini(Path().toStdString());
    Ini.WriteInteger("config", "change", 1);
    QVERIFY(QFileInfo(Path()).isSymLink());
    QCOMPARE(ReadAll(Real), QByteArray("[config]\nchange=1\n"));
    struct stat Info {};
    QCOMPARE(::stat(Real.toLocal8Bit().constData(), &Info), 0);
    QCOMPARE(Info.st_mode & 07777, mode_t(0640));
  }

  // A write that cannot be made raises the framework's error with the file's
  // full path and leaves the old file exactly as it was.
  void FailedWritesChangeNothing_data() {
    QTest::addColumn<QString>("Case");
    QTest::newRow("read-only file") << "read-only";
    QTest::newRow("a folder in the file's place") << "folder";
    QTest::newRow("missing folder") << "missing folder";
    QTest::newRow("line break in the value") << "line break";
  }
  void FailedWritesChangeNothing() {
    QFETCH(QString, Case);
    QString Target = Path();
    const QByteArray Before = "[config]\nhanguptime=60\n";
    std::string Value = "90";
    if (Case == "read-only") {
      WriteAll(Target, Before);
      ::chmod(Target.toLocal8Bit().constData(), 0444);
    } else if (Case == "folder") {
      QVERIFY(QDir(FDir.path()).mkdir(QStringLiteral("dravik.ini")));
    } else if (Case == "missing folder") {
      Target = FDir.filePath(QStringLiteral("gone/dravik.ini"));
    } else {
      WriteAll(Target, Before);
      Value = "90\n[evil]";
    }
    TIniFile Ini(Target.toStdString());
    try {
      Ini.WriteString("config", "hanguptime", Value);
      QFAIL("the write did not fail");
    } catch (const Exception& Error) {
      QCOMPARE(QString::fromStdString(Error.Message()), "Unable to write to " + Target);
    }
    if (Case == "read-only" || Case == "line break") QCOMPARE(ReadAll(Target), Before);
    if (Case == "folder") QVERIFY(QFileInfo(Target).isDir());
    QCOMPARE(Leftovers(), QStringList{});
  }
};

DRAVIK_TEST_MAIN(TestIniFile)
#include "TestIniFile.moc"
