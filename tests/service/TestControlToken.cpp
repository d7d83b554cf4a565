// The control token: read from a private file, made when missing, refused
// when others may read it or it is not a plain, sane token.

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "ServiceTestSupport.h"
#include "TControlToken.h"
#include "TPlantedFile.h"
#include "TestSupport.h"

class TestControlToken : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir FDir;

 private slots:
  void MadeWhenMissing() {
    const std::string Path = FDir.filePath("made").toStdString();
    std::string Token;
    QCOMPARE(LoadControlToken(Path, false, Token),
             Path + ": cannot be read: No such file or directory");
    QCOMPARE(LoadControlToken(Path, true, Token), std::string());
    QCOMPARE(Token.size(), size_t(64));
    QCOMPARE(Token.find_first_not_of("0123456789abcdef"), std::string::npos);
    struct stat Info;
    QCOMPARE(stat(Path.c_str(), &Info), 0);
    QCOMPARE(Info.st_mode & 0777, 0600u);
    // Read again, the same token; another file, another token.
    std::string Again;
    QCOMPARE(LoadControlToken(Path, true, Again), std::string());
    QCOMPARE(Again, Token);
    std::string Other;
    QCOMPARE(LoadControlToken(FDir.filePath("other").toStdString(), true, Other), std::string());
    QVERIFY(Other != Token);
  }

  void Files_data() {
    QTest::addColumn<QByteArray>("Text");
    QTest::addColumn<int>("Mode");
    QTest::addColumn<QString>("Problem");
    QTest::addColumn<QString>("Token");
    QTest::newRow("fine") << QByteArray("abcdefghijklmnop-._~+/=\n") << 0600 << ""
                          << "abcdefghijklmnop-._~+/=";
    QTest::newRow("read-only for owner") << QByteArray("abcdefghijklmnopq") << 0400 << ""
                                         << "abcdefghijklmnopq";
    QTest::newRow("group may read")
        << QByteArray("abcdefghijklmnopq") << 0640 << "must have mode 0600"
        << "";
    QTest::newRow("others may write")
        << QByteArray("abcdefghijklmnopq") << 0602 << "must have mode 0600"
        << "";
    QTest::newRow("too short") << QByteArray("abcdefghijklmno") << 0600 << "the token must be"
                               << "";
    QTest::newRow("two lines") << QByteArray("abcdefghijklmnopq\nsecond line") << 0600
                               << "the token must be"
                               << "";
    QTest::newRow("blank inside") << QByteArray("abcdefgh ijklmnopq") << 0600 << "the token must be"
                                  << "";
    QTest::newRow("too long") << QByteArray(600, 'a') << 0600 << "the token must be"
                              << "";
    QTest::newRow("empty") << QByteArray() << 0600 << "the token must be"
                           << "";
  }
  void Files() {
    QFETCH(QByteArray, Text);
    QFETCH(int, Mode);
    QFETCH(QString, Problem);
    QFETCH(QString, Token);
    const QString Path = FDir.filePath(QTest::currentDataTag());
    WriteTextFile(Path, Text);
    QCOMPARE(chmod(QFile::encodeName(Path).constData(), static_cast<mode_t>(Mode)), 0);
    std::string Read = "unchanged";
    const std::string Got = LoadControlToken(Path.toStdString(), true, Read);
    if (Problem.isEmpty()) {
      QCOMPARE(Got, std::string());
      QCOMPARE(QString::fromStdString(Read), Token);
    } else {
      QVERIFY2(QString::fromStdString(Got).contains(Problem), Got.c_str());
      QCOMPARE(Read, std::string("unchanged"));
    }
  }

  // What else may be in the token file's place: each refused with the file
  // named, at once (a FIFO that no one writes must not stop the service), no
  // token taken and nothing there replaced by a new token file.
  void BadTokenFiles_data() {
    QTest::addColumn<QString>("Kind");
    QTest::addColumn<QByteArray>("Content");
    QTest::addColumn<QString>("Problem");
    const QByteArray Token = "abcdefghijklmnopq\n";
    QTest::newRow("binary")
        << "file" << QByteArray("abcdefghijklmnopq\x00\xff\x1b", 20)
        << ": the token must be one line of 16 to 512 letters, digits or -._~+/=";
    QTest::newRow("huge, a token at its start")
        << "huge" << Token
        << ": the token must be one line of 16 to 512 letters, digits or -._~+/=";
    QTest::newRow("a folder") << "folder" << Token << ": not a plain file";
    QTest::newRow("a FIFO") << "fifo" << Token << ": not a plain file";
    QTest::newRow("unreadable") << "unreadable" << Token << ": cannot be read: Permission denied";
    QTest::newRow("dangling link")
        << "dangling link" << Token << ": a symbolic link to a file that is not there";
    QTest::newRow("link loop") << "link loop" << Token << ": symbolic links in a loop";
    QTest::newRow("a folder that takes no new file")
        << "none" << Token << ": cannot be created: Permission denied";
  }
  void BadTokenFiles() {
    QFETCH(QString, Kind);
    QFETCH(QByteArray, Content);
    QFETCH(QString, Problem);
    if (!TPlantedFile::MeaningfulFor(Kind)) QSKIP("root reads a file without read permission");
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("token");
    if (Kind != "none") QVERIFY(TPlantedFile::Plant(Path, Kind, Content));
    const QStringList Before = TPlantedFile::Snapshot(Dir.path());
    const std::string File = Path.toStdString();
    const auto Load = [&File] {
      std::string Token = "unchanged";
      return LoadControlToken(File, true, Token) + "|" + Token;
    };
    const std::string Got = Kind == "none" ? RunWithoutWriteAccess(Dir.path(), Load) : Load();
    QCOMPARE(QString::fromStdString(Got), Path + Problem + "|unchanged");
    QCOMPARE(TPlantedFile::Snapshot(Dir.path()), Before);
  }

  // A link is followed to a private file of the service's user; a link to
  // a file others may read, or to one of another user, is refused with the
  // reason and the link named.
  void Links() {
    WriteTextFile(FDir.filePath("target"), "abcdefghijklmnopq");
    QFile::remove(FDir.filePath("link"));
    QVERIFY(QFile::link(FDir.filePath("target"), FDir.filePath("link")));
    const std::string Link = FDir.filePath("link").toStdString();
    std::string Token;
    QCOMPARE(LoadControlToken(Link, true, Token), std::string());
    QCOMPARE(Token, std::string("abcdefghijklmnopq"));

    QVERIFY(QFile::setPermissions(FDir.filePath("target"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    Token.clear();
    QCOMPARE(LoadControlToken(Link, true, Token),
             Link + " (a symbolic link): others may read or change it; it must have mode 0600");
    QVERIFY(Token.empty());

    if (geteuid() != 0) QSKIP("only root can give a file to another user");
    QVERIFY(QFile::setPermissions(FDir.filePath("target"), QFile::ReadOwner | QFile::WriteOwner));
    QCOMPARE(chown(FDir.filePath("target").toUtf8().constData(), 65534, 65534), 0);
    QCOMPARE(LoadControlToken(Link, true, Token),
             Link + " (a symbolic link): owned by user 65534, not by the service's user 0");
    // The client only reads the token: whose file it is does not matter.
    QCOMPARE(LoadControlToken(Link, false, Token), std::string());
  }

  void SameSecret_data() {
    QTest::addColumn<QString>("A");
    QTest::addColumn<QString>("B");
    QTest::addColumn<bool>("Same");
    QTest::newRow("equal") << "abcdef"
                           << "abcdef" << true;
    QTest::newRow("last differs") << "abcdef"
                                  << "abcdeg" << false;
    QTest::newRow("prefix") << "abcdef"
                            << "abc" << false;
    QTest::newRow("longer") << "abc"
                            << "abcdef" << false;
    QTest::newRow("empty against text") << ""
                                        << "a" << false;
  }
  void SameSecret() {
    QFETCH(QString, A);
    QFETCH(QString, B);
    QFETCH(bool, Same);
    QCOMPARE(::SameSecret(A.toStdString(), B.toStdString()), Same);
  }
};

DRAVIK_SERVICE_TEST_MAIN(TestControlToken)
#include "TestControlToken.moc"
