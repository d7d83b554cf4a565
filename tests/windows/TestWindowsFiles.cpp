#include <windows.h>
// The system names a call of its own ReplaceFile; ours is meant.
#undef ReplaceFile

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <string>
#include <thread>

#include "ExecutablePath.h"
#include "FileChecks.h"
#include "IniFileName.h"
#include "ReadBoundedFile.h"
#include "ReplaceFile.h"
#include "UserConfigDirectory.h"

namespace {

// Paths as the program spells them: "/" between the parts.
std::string Path(const QString& AText) { return QDir::fromNativeSeparators(AText).toStdString(); }

void Write(const QString& APath, const QByteArray& AText) {
  QFile File(APath);
  QVERIFY(File.open(QIODevice::WriteOnly));
  File.write(AText);
}

// Through the C runtime's wide environment, which the helpers read.
void SetVariable(const wchar_t* AName, const QString& AValue) {
  _wputenv_s(AName, reinterpret_cast<const wchar_t*>(AValue.utf16()));
}

QByteArray ReadAll(const QString& APath) {
  QFile File(APath);
  return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray("(unreadable)");
}

}  // namespace

class TestWindowsFiles : public QObject {
  Q_OBJECT

 private slots:
  void BoundedReadTellsWhatItFound_data() {
    QTest::addColumn<QString>("What");
    QTest::addColumn<int>("Expected");
    QTest::newRow("a file within the bound") << "small" << int(TFileRead::Read);
    QTest::newRow("a file of exactly the bound") << "exact" << int(TFileRead::Read);
    QTest::newRow("a file past the bound") << "large" << int(TFileRead::Refused);
    QTest::newRow("no file") << "missing" << int(TFileRead::Missing);
    QTest::newRow("no folder on the way") << "missing/inside" << int(TFileRead::Missing);
  }
  void BoundedReadTellsWhatItFound() {
    QFETCH(QString, What);
    QFETCH(int, Expected);
    QTemporaryDir Dir;
    Write(Dir.filePath("small"), "abc");
    Write(Dir.filePath("exact"), QByteArray(8, 'x'));
    Write(Dir.filePath("large"), QByteArray(9, 'x'));
    std::string Text = "stale";
    QCOMPARE(int(ReadBoundedFile(Path(Dir.filePath(What)), 8, Text)), Expected);
    QCOMPARE(Text.empty(), Expected != int(TFileRead::Read));
  }

  void AFolderIsNeverReadAsAFile() {
    QTemporaryDir Dir;
    std::string Text;
    QVERIFY(ReadBoundedFile(Path(Dir.path()), 1024, Text) != TFileRead::Read);
  }

  // A reader that holds the old file without sharing its deletion (Qt's own
  // files do) only delays the replacement.
  void ReplacementWaitsForAReaderToLetGo() {
    QTemporaryDir Dir;
    const QString Name = Dir.filePath("settings.ini");
    Write(Name, "old");
    const HANDLE Reader = CreateFileW(
        reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(Name).utf16()), GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    QVERIFY(Reader != INVALID_HANDLE_VALUE);
    std::thread LetGo([Reader] {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      CloseHandle(Reader);
    });
    const bool Replaced = ReplaceFile(Path(Name), "new");
    LetGo.join();
    QVERIFY(Replaced);
    QCOMPARE(ReadAll(Name), QByteArray("new"));
    QCOMPARE(QDir(Dir.path()).entryList(QDir::Files), QStringList{"settings.ini"});
  }

  void CreationOnlyIfAbsentKeepsAnExistingFile() {
    QTemporaryDir Dir;
    const QString Name = Dir.filePath("phonebook.ini");
    TReplaceOptions How;
    How.OnlyIfAbsent = true;
    QVERIFY(ReplaceFile(Path(Name), "first", How));
    QVERIFY(ReplaceFile(Path(Name), "second", How));
    QCOMPARE(ReadAll(Name), QByteArray("first"));
    QCOMPARE(QDir(Dir.path()).entryList(QDir::Files), QStringList{"phonebook.ini"});
  }

  // Only the names a killed writer leaves (the name, a dot, six letters or
  // digits) are taken away.
  void LeftoversOfKilledWritersGo() {
    QTemporaryDir Dir;
    const QString Name = Dir.filePath("state");
    for (const char* Other : {"state.a1B2c3", "state.toolong1", "state.ab-123", "statex.abcdef"})
      Write(Dir.filePath(Other), "x");
    TReplaceOptions How;
    How.RemoveLeftovers = true;
    QVERIFY(ReplaceFile(Path(Name), "now", How));
    QStringList Left = QDir(Dir.path()).entryList(QDir::Files);
    Left.sort();
    QCOMPARE(Left, (QStringList{"state", "state.ab-123", "state.toolong1", "statex.abcdef"}));
  }

  void WritabilityOfFilesAndFolders() {
    QTemporaryDir Dir;
    const QString ReadOnly = Dir.filePath("read-only.ini");
    Write(ReadOnly, "x");
    QVERIFY(SetFileAttributesW(
        reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(ReadOnly).utf16()),
        FILE_ATTRIBUTE_READONLY));
    Write(Dir.filePath("plain.ini"), "x");
    QVERIFY(!WritableFile(Path(ReadOnly)));
    QVERIFY(WritableFile(Path(Dir.filePath("plain.ini"))));
    QVERIFY(WritableFile(Path(Dir.filePath("not-yet.ini"))));
    QVERIFY(!WritableFile(Path(Dir.path())));
    QVERIFY(FileExists(Path(ReadOnly)));
    QVERIFY(!FileExists(Path(Dir.path())));
    QVERIFY(WritableFolder(Path(Dir.path())));
    QVERIFY(WritableFolder(Path(Dir.path()) + "/"));
    QVERIFY(!WritableFolder(Path(Dir.filePath("no-such-folder"))));
    // The probe leaves nothing behind.
    QCOMPARE(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
  }

  void FoldersFromTheEnvironment_data() {
    QTest::addColumn<QString>("Value");
    QTest::addColumn<bool>("Taken");
    QTest::addColumn<QString>("Folder");
    QTest::newRow("a drive's folder")
        << "C:\\Users\\li\\AppData\\" << true << "C:/Users/li/AppData";
    QTest::newRow("a drive itself") << "D:\\" << true << "D:/";
    QTest::newRow("a network share") << "\\\\server\\share\\dir" << true << "//server/share/dir";
    QTest::newRow("Chinese in the name") << "C:\\用户\\李" << true << "C:/用户/李";
    QTest::newRow("a relative folder") << "relative\\dir" << false << "";
    QTest::newRow("a drive without its root") << "C:dir" << false << "";
    QTest::newRow("empty") << "" << false << "";
  }
  void FoldersFromTheEnvironment() {
    QFETCH(QString, Value);
    QFETCH(bool, Taken);
    QFETCH(QString, Folder);
    SetVariable(L"DRAVIK_TEST_FOLDER", Value);
    std::string Found;
    QCOMPARE(FolderFromEnvironment("DRAVIK_TEST_FOLDER", Found), Taken);
    if (Taken) QCOMPARE(QString::fromStdString(Found), Folder);
  }

  // Beside the program while its folder takes new files; else in the user's
  // application data.
  void SettingsFilePlace() {
    QTemporaryDir Dir;
    const QString Saved = qEnvironmentVariable("APPDATA");
    SetVariable(L"APPDATA", QDir::toNativeSeparators(Dir.filePath("roaming")));
    const std::string Beside = SettingsFilePathFor(Path(Dir.filePath("dravik.exe")));
    const std::string Elsewhere = SettingsFilePathFor(Path(Dir.filePath("locked/bin/DRAVIK.EXE")));
    SetVariable(L"APPDATA", Saved);
    QCOMPARE(QString::fromStdString(Beside),
             QDir::fromNativeSeparators(Dir.filePath("dravik.ini")));
    QCOMPARE(QString::fromStdString(Elsewhere),
             QDir::fromNativeSeparators(Dir.filePath("roaming/dravik/dravik.ini")));
  }

  void ExecutablePathNamesThisProgram() {
    const QString Found = QString::fromStdString(ExecutablePath());
    QVERIFY2(Found.endsWith("/test_windows_files.exe", Qt::CaseInsensitive), qPrintable(Found));
    QVERIFY(!Found.contains('\\'));
    QVERIFY(FileExists(ExecutablePath()));
  }
};

QTEST_GUILESS_MAIN(TestWindowsFiles)
#include "TestWindowsFiles.moc"
