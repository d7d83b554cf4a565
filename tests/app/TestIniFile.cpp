// The settings file's reader and writer, and where the file is.

#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
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
    QStringList Names =
        QDir(FDir.path())
            .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    Names.removeAll(QStringLiteral("dravik.ini"));
    return Names;
  }

 private slots:
  void init() {
    QVERIFY(FDir.isValid());
    QDir Folder(FDir.path());
    // FIFOs are system entries.
    for (const QString& Name :
         Folder.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)) {
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

  // Nothing that cannot be a settings file is read, and nothing blocks: a
  // FIFO under the file's name would stop a reader that waited for a writer.
  void UnreadableFilesGiveTheDefault_data() {
    QTest::addColumn<QString>("Case");
    QTest::newRow("missing") << "missing";
    QTest::newRow("a folder") << "folder";
    QTest::newRow("a FIFO") << "fifo";
  }
  void UnreadableFilesGiveTheDefault() {
    QFETCH(QString, Case);
    if (Case == "folder") QVERIFY(QDir(FDir.path()).mkdir(QStringLiteral("dravik.ini")));
    if (Case == "fifo") QCOMPARE(::mkfifo(Path().toLocal8Bit().constData(), 0644), 0);
    TIniFile Ini(Path().toStdString());
    QCOMPARE(Ini.ReadInteger("config", "hanguptime", 60), 60);
    QCOMPARE(Ini.Unreadable(), Case != "missing");
    if (Case == "missing") return;
    // Nor is it written over.
    QVERIFY_THROWS_EXCEPTION(Exception, Ini.WriteInteger("config", "hanguptime", 5));
    QCOMPARE(QFileInfo(Path()).isDir(), Case == "folder");
    QCOMPARE(Leftovers(), QStringList{});
  }

  // A file of several MiB (a long comment block) is read and rewritten whole.
  void LargeFilesAreReadAndWritten() {
    const QByteArray Comments = QByteArray(3 << 20, ';') + '\n';
    WriteAll(Path(), "[config]\nhanguptime=5\n" + Comments + "[last]\nx=1\n");
    TIniFile Ini(Path().toStdString());
    QVERIFY(!Ini.Unreadable());
    QCOMPARE(Ini.ReadInteger("config", "hanguptime", 60), 5);
    Ini.WriteInteger("config", "hanguptime", 7);
    QCOMPARE(ReadAll(Path()), "[config]\nhanguptime=7\n" + Comments + "[last]\nx=1\n");
  }

  // A leading UTF-8 byte-order mark is read past and kept.
  void ByteOrderMarkIsKept() {
    const QByteArray Mark = "\xEF\xBB\xBF";
    WriteAll(Path(), Mark + "[config]\r\nhanguptime=42\r\n");
    TIniFile Ini(Path().toStdString());
    QCOMPARE(Ini.ReadInteger("config", "hanguptime", 60), 42);
    Ini.WriteStrings("config", {{"hanguptime", "43"}, {"change", "1"}});
    QCOMPARE(ReadAll(Path()), Mark + "[config]\r\nhanguptime=43\r\nchange=1\r\n");
  }

  // The three keys go in one replacement: a write killed at any moment
  // leaves the file wholly old or wholly new, and the next write removes the
  // temporary file such a write may leave.
  void KilledWritesLeaveOldOrNew() {
    const QByteArray Old = "[config]\nhanguptime=1\nconnecttime=1\nchange=0\n";
    const QByteArray New = "[config]\nhanguptime=2\nconnecttime=2\nchange=1\n";
    WriteAll(Path(), Old);
    const std::string File = Path().toStdString();
    for (int Round = 0; Round < 40; ++Round) {
      const pid_t Child = ::fork();
      if (Child == 0) {
        TIniFile Ini(File);
        for (int I = 0;; ++I) {
          const std::string Value = I % 2 == 0 ? "2" : "1";
          Ini.WriteStrings(
              "config",
              {{"hanguptime", Value}, {"connecttime", Value}, {"change", I % 2 == 0 ? "1" : "0"}});
        }
      }
      QVERIFY(Child > 0);
      ::usleep(QRandomGenerator::global()->bounded(200u, 4000u));
      ::kill(Child, SIGKILL);
      ::waitpid(Child, nullptr, 0);
      const QByteArray Now = ReadAll(Path());
      QVERIFY2(Now == Old || Now == New, Now.constData());
    }
    // Anything beside the file now is a temporary file of a killed write.
    for (const QString& Name : Leftovers())
      QVERIFY2(QRegularExpression("^dravik\\.ini\\.[A-Za-z0-9]{6}$").match(Name).hasMatch(),
               qPrintable(Name));
    WriteAll(FDir.filePath(QStringLiteral("dravik.ini.Ab12Cd")), "left over");
    WriteAll(FDir.filePath(QStringLiteral("dravik.ini.bak")), "a user's copy");
    TIniFile(File).WriteInteger("config", "hanguptime", 9);
    QCOMPARE(Leftovers(), QStringList{"dravik.ini.bak"});
  }

  // In a folder where no file can be made beside it, a writable settings
  // file is rewritten in place; without the file there, the write fails.
  void WritingInAFolderThatCannotTakeNewFiles() {
    QVERIFY(QFile::setPermissions(
        FDir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                         QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup));
    const QString Folder = FDir.filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkpath(Folder));
    const QString Settings = Folder + QStringLiteral("/dravik.ini");
    WriteAll(Settings, "; kept\n[config]\nhanguptime=60\nconnecttime=20\nchange=0\n");
    ::chmod(Settings.toLocal8Bit().constData(), 0666);
    const std::string Target = Settings.toStdString();
    const std::string Missing = (Folder + QStringLiteral("/other.ini")).toStdString();
    const std::string Outcome = RunWithoutWriteAccess(Folder, [&Target, &Missing] {
      std::string Result;
      try {
        TIniFile(Target).WriteStrings("config", {{"hanguptime", "5"}, {"change", "1"}});
        Result += "written";
      } catch (const Exception& Error) {
        Result += Error.Message();
      }
      try {
        TIniFile(Missing).WriteInteger("config", "hanguptime", 5);
        Result += ", made";
      } catch (const Exception& Error) {
        Result += ", " + Error.Message();
      }
      return Result;
    });
    QCOMPARE(QString::fromStdString(Outcome),
             "written, Unable to write to " + QString::fromStdString(Missing));
    QCOMPARE(ReadAll(Settings),
             QByteArray("; kept\n[config]\nhanguptime=5\nconnecttime=20\nchange=1\n"));
    QCOMPARE(QDir(Folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"dravik.ini"});
  }

  // Where the settings live: beside the executable while it can hold them,
  // else in the user's configuration folder.
  void SettingsFilePlace_data() {
    QTest::addColumn<QString>("Case");
    QTest::addColumn<QString>("Place");
    QTest::newRow("writable folder") << "writable folder"
                                     << "beside";
    QTest::newRow("writable file in a locked folder") << "writable file"
                                                      << "beside";
    QTest::newRow("read-only file in a locked folder") << "read-only file"
                                                       << "config";
    QTest::newRow("locked folder, no file") << "no file"
                                            << "config";
    QTest::newRow("locked folder, no XDG_CONFIG_HOME") << "no XDG"
                                                       << "home";
  }
  void SettingsFilePlace() {
    QFETCH(QString, Case);
    QFETCH(QString, Place);
    QVERIFY(QFile::setPermissions(
        FDir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                         QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup));
    const QString Folder = FDir.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(Folder));
    const QString Beside = Folder + QStringLiteral("/dravik.ini");
    if (Case == "writable file" || Case == "read-only file") {
      WriteAll(Beside, "[config]\n");
      ::chmod(Beside.toLocal8Bit().constData(), Case == "writable file" ? 0666 : 0444);
    }
    const QByteArray SavedConfig = qgetenv("XDG_CONFIG_HOME");
    const QByteArray SavedHome = qgetenv("HOME");
    qputenv("XDG_CONFIG_HOME", FDir.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("HOME", FDir.filePath(QStringLiteral("home")).toLocal8Bit());
    if (Case == "no XDG") qputenv("XDG_CONFIG_HOME", "relative/is/ignored");
    const std::string Exe = (Folder + QStringLiteral("/dravik.bin")).toStdString();
    const QString Found = Case == "writable folder"
                              ? QString::fromStdString(SettingsFilePathFor(Exe))
                              : QString::fromStdString(RunWithoutWriteAccess(
                                    Folder, [&Exe] { return SettingsFilePathFor(Exe); }));
    qputenv("XDG_CONFIG_HOME", SavedConfig);
    qputenv("HOME", SavedHome);
    const QString Expected = Place == "beside"   ? Beside
                             : Place == "config" ? FDir.filePath("config/dravik/dravik.ini")
                                                 : FDir.filePath("home/.config/dravik/dravik.ini");
    QCOMPARE(Found, Expected);
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
    // Names that would not read back as written.
    QTest::newRow("key that reads as a section") << "section key";
    QTest::newRow("blanks around the key") << "blank key";
    QTest::newRow("blanks around the section") << "blank section";
  }
  void FailedWritesChangeNothing() {
    QFETCH(QString, Case);
    QString Target = Path();
    const QByteArray Before = "[config]\nhanguptime=60\n";
    std::string Value = "90";
    std::string Section = "config";
    std::string Ident = "hanguptime";
    if (Case == "read-only") {
      WriteAll(Target, Before);
      ::chmod(Target.toLocal8Bit().constData(), 0444);
    } else if (Case == "folder") {
      QVERIFY(QDir(FDir.path()).mkdir(QStringLiteral("dravik.ini")));
    } else if (Case == "missing folder") {
      Target = FDir.filePath(QStringLiteral("gone/dravik.ini"));
    } else {
      WriteAll(Target, Before);
      if (Case == "line break") Value = "90\n[evil]";
      if (Case == "section key") Ident = "[evil]hanguptime";
      if (Case == "blank key") Ident = " hanguptime";
      if (Case == "blank section") Section = "config ";
    }
    TIniFile Ini(Target.toStdString());
    try {
      Ini.WriteString(Section, Ident, Value);
      QFAIL("the write did not fail");
    } catch (const Exception& Error) {
      QCOMPARE(QString::fromStdString(Error.Message()), "Unable to write to " + Target);
    }
    if (Case != "folder" && Case != "missing folder") QCOMPARE(ReadAll(Target), Before);
    if (Case == "folder") QVERIFY(QFileInfo(Target).isDir());
    QCOMPARE(Leftovers(), QStringList{});
  }
};

DRAVIK_TEST_MAIN(TestIniFile)
#include "TestIniFile.moc"
