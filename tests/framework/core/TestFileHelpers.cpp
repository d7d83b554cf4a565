#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <string>

#include "IniText.h"
#include "ReadBoundedFile.h"
#include "ReplaceFile.h"
#include "SameText.h"
#include "TestSupport.h"

Q_DECLARE_METATYPE(TFileRead)

namespace {

void Write(const QString& APath, const QByteArray& AText) {
  QFile File(APath);
  QVERIFY(File.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(File.write(AText), AText.size());
}

QByteArray Read(const QString& APath) {
  QFile File(APath);
  return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray("(cannot read)");
}

mode_t ModeOf(const QString& APath) {
  struct stat Info {};
  return ::stat(APath.toLocal8Bit().constData(), &Info) == 0 ? (Info.st_mode & 07777) : 0;
}

}  // namespace

// The core's file helpers, which the settings file, the simulated service and
// its configuration all go through.
class TestFileHelpers : public QObject {
  Q_OBJECT
 private slots:
  void BoundedReadTellsWhatItFound_data() {
    QTest::addColumn<QString>("Name");
    QTest::addColumn<bool>("FollowLinks");
    QTest::addColumn<TFileRead>("Result");
    QTest::addColumn<QByteArray>("Text");
    QTest::newRow("whole file") << "small" << true << TFileRead::Read << QByteArray("[a]\nk=v\n");
    QTest::newRow("at the limit") << "limit" << true << TFileRead::Read << QByteArray(16, 'x');
    QTest::newRow("over the limit") << "large" << true << TFileRead::Refused << QByteArray();
    QTest::newRow("missing") << "none" << true << TFileRead::Missing << QByteArray();
    QTest::newRow("under a file") << "small/none" << true << TFileRead::Missing << QByteArray();
    QTest::newRow("a folder") << "folder" << true << TFileRead::Refused << QByteArray();
    QTest::newRow("a link, followed")
        << "link" << true << TFileRead::Read << QByteArray("[a]\nk=v\n");
    QTest::newRow("a link, not followed")
        << "link" << false << TFileRead::CannotOpen << QByteArray();
    // Refused at once: a reader that waited for a writer would never end.
    QTest::newRow("a FIFO") << "fifo" << true << TFileRead::Refused << QByteArray();
    QTest::newRow("a link to no file") << "dangling" << true << TFileRead::Missing << QByteArray();
    QTest::newRow("a link to itself") << "loop" << true << TFileRead::CannotOpen << QByteArray();
    QTest::newRow("no read permission")
        << "unreadable" << true << TFileRead::CannotOpen << QByteArray();
  }
  void BoundedReadTellsWhatItFound() {
    QFETCH(QString, Name);
    QFETCH(bool, FollowLinks);
    QFETCH(TFileRead, Result);
    QFETCH(QByteArray, Text);
    QTemporaryDir Dir;
    Write(Dir.filePath("small"), "[a]\nk=v\n");
    Write(Dir.filePath("limit"), QByteArray(16, 'x'));
    Write(Dir.filePath("large"), QByteArray(17, 'x'));
    QVERIFY(QDir(Dir.path()).mkdir("folder"));
    QVERIFY(QFile::link(Dir.filePath("small"), Dir.filePath("link")));
    QCOMPARE(::mkfifo(Dir.filePath("fifo").toLocal8Bit().constData(), 0600), 0);
    QVERIFY(QFile::link(Dir.filePath("none"), Dir.filePath("dangling")));
    QVERIFY(QFile::link(Dir.filePath("loop"), Dir.filePath("loop")));
    Write(Dir.filePath("unreadable"), "[a]\nk=v\n");
    QCOMPARE(::chmod(Dir.filePath("unreadable").toLocal8Bit().constData(), 0200), 0);
    if (Name == "unreadable" && ::geteuid() == 0)
      QSKIP("root reads a file without read permission");
    std::string Got = "left over";
    QCOMPARE(ReadBoundedFile(Dir.filePath(Name).toStdString(), 16, Got, FollowLinks), Result);
    QCOMPARE(QByteArray::fromStdString(Got), Text);
  }

  void ReplacementKeepsOrSetsTheMode() {
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("file");
    QVERIFY(ReplaceFile(Path.toStdString(), "one", {}));
    QCOMPARE(Read(Path), QByteArray("one"));
    QCOMPARE(ModeOf(Path), mode_t(0644));
    QVERIFY(::chmod(Path.toLocal8Bit().constData(), 0640) == 0);
    QVERIFY(ReplaceFile(Path.toStdString(), "two", {}));
    QCOMPARE(Read(Path), QByteArray("two"));
    QCOMPARE(ModeOf(Path), mode_t(0640));
    TReplaceOptions Private;
    Private.NewFileMode = 0600;
    Private.KeepOldMode = false;
    Private.Durable = false;
    QVERIFY(ReplaceFile(Path.toStdString(), "three", Private));
    QCOMPARE(Read(Path), QByteArray("three"));
    QCOMPARE(ModeOf(Path), mode_t(0600));
    // Nothing is left beside the file.
    QCOMPARE(QDir(Dir.path()).entryList(QDir::Files), QStringList{"file"});
  }

  void CreationOnlyIfAbsentKeepsAnExistingFile() {
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("phonebook.ini");
    TReplaceOptions Create;
    Create.OnlyIfAbsent = true;
    Create.NewFileMode = 0600;
    QVERIFY(ReplaceFile(Path.toStdString(), "sample", Create));
    QCOMPARE(Read(Path), QByteArray("sample"));
    QCOMPARE(ModeOf(Path), mode_t(0600));
    Write(Path, "the user's own");
    QVERIFY(ReplaceFile(Path.toStdString(), "sample", Create));
    QCOMPARE(Read(Path), QByteArray("the user's own"));
    QCOMPARE(QDir(Dir.path()).entryList(QDir::Files), QStringList{"phonebook.ini"});
  }

  void FailedReplacementLeavesNothing() {
    QTemporaryDir Dir;
    QVERIFY(!ReplaceFile(Dir.filePath("missing/file").toStdString(), "x", {}));
    QVERIFY(QDir(Dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
  }

  void IniLinesKeepTheTextAndTellItsParts() {
    const std::string Text = "[ Sec ] tail\r\nkey = value \n;c=1\n=x\n[open\nlast";
    const auto Lines = SplitIniLines(Text);
    QCOMPARE(Lines.size(), size_t(6));
    QCOMPARE(JoinIniLines(Lines), Text);
    std::string_view Name, Rest, Key, Value;
    QVERIFY(IniSectionLine(Lines[0].Text, Name, Rest));
    QCOMPARE(std::string(Name), std::string(" Sec "));
    QCOMPARE(std::string(Rest), std::string(" tail"));
    QVERIFY(!IniKeyLine(Lines[0].Text, Key, Value));
    QVERIFY(IniKeyLine(Lines[1].Text, Key, Value));
    QCOMPARE(std::string(Key), std::string("key"));
    QCOMPARE(std::string(Value), std::string("value"));
    QVERIFY(IniKeyLine(Lines[3].Text, Key, Value));
    QVERIFY(Key.empty());
    QVERIFY(!IniSectionLine(Lines[4].Text, Name, Rest));
    QVERIFY(!IniKeyLine(Lines[5].Text, Key, Value));
  }

  void SameTextIgnoresAsciiCaseOnly_data() {
    QTest::addColumn<QByteArray>("A");
    QTest::addColumn<QByteArray>("B");
    QTest::addColumn<bool>("Same");
    QTest::newRow("case") << QByteArray("HangUpTime") << QByteArray("hanguptime") << true;
    QTest::newRow("length") << QByteArray("config") << QByteArray("config ") << false;
    QTest::newRow("letters") << QByteArray("config") << QByteArray("confih") << false;
    QTest::newRow("not letters") << QByteArray("[") << QByteArray("{") << false;
    QTest::newRow("high bytes") << QByteArray("\xc4") << QByteArray("\xe4") << false;
  }
  void SameTextIgnoresAsciiCaseOnly() {
    QFETCH(QByteArray, A);
    QFETCH(QByteArray, B);
    QFETCH(bool, Same);
    QCOMPARE(SameText(A.toStdString(), B.toStdString()), Same);
  }
};

DRAVIK_TEST_MAIN(TestFileHelpers)
#include "TestFileHelpers.moc"
