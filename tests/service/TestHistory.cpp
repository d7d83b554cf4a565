// The history database: rows kept in order, filtered by time, old rows
// removed, the recent addresses, write-ahead logging, and files that are not
// a history.

#include <sqlite3.h>

#include <QJsonObject>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include "ServiceTestSupport.h"
#include "THistory.h"
#include "THistoryReader.h"
#include "TPlantedFile.h"

namespace {

TDialRecord Row(int64_t ATimeMs, const std::string& AAddress,
                const std::string& AOutcome = "connected", const std::string& APublic = {}) {
  TDialRecord Record;
  Record.TimeMs = ATimeMs;
  Record.Entry = "Line";
  Record.LineAddress = AAddress;
  Record.PeerAddress = "100.64.0.1";
  Record.PublicAddress = APublic;
  Record.DialMs = 1234;
  Record.Outcome = AOutcome;
  Record.ErrorCode = AOutcome == "failed" ? 678 : 0;
  Record.Detail = AOutcome == "failed" ? "it's \"quoted\"; DROP TABLE dials;" : "";
  return Record;
}

}  // namespace

class TestHistory : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir FDir;
  std::string File() const { return FDir.filePath("history.sqlite").toStdString(); }

 private slots:
  void init() { QFile::remove(FDir.filePath("history.sqlite")); }

  void RowsKeptWhole() {
    THistory History;
    QCOMPARE(History.Open(File()), std::string());
    const TDialRecord Failed = Row(1000, "", "failed");
    QCOMPARE(History.Add(Row(500, "100.64.1.2", "connected", "203.0.113.9")), std::string());
    QCOMPARE(History.Add(Failed), std::string());
    const auto Rows = History.Since(0, 10);
    QCOMPARE(Rows.size(), size_t(2));
    QCOMPARE(Rows[0].TimeMs, int64_t(500));
    QCOMPARE(Rows[0].LineAddress, std::string("100.64.1.2"));
    QCOMPARE(Rows[0].PublicAddress, std::string("203.0.113.9"));
    QCOMPARE(Rows[0].PeerAddress, std::string("100.64.0.1"));
    QCOMPARE(Rows[0].DialMs, int64_t(1234));
    QCOMPARE(Rows[1].Outcome, std::string("failed"));
    QCOMPARE(Rows[1].ErrorCode, 678);
    QCOMPARE(Rows[1].Detail, Failed.Detail);
  }

  // A row of the simulated line says so, a redial's row its reason, a
  // line's row its IPv6 facts; a history made before rows could say these
  // reads as real rows without them, and gets the columns once written to.
  void SimulatedRows() {
    {
      sqlite3* Db = nullptr;
      QCOMPARE(sqlite3_open(File().c_str(), &Db), SQLITE_OK);
      QCOMPARE(sqlite3_exec(Db,
                            "CREATE TABLE dials (id INTEGER PRIMARY KEY, time_ms INTEGER NOT NULL,"
                            " entry TEXT NOT NULL, line_address TEXT NOT NULL, peer_address TEXT"
                            " NOT NULL, public_address TEXT NOT NULL, dial_ms INTEGER NOT NULL,"
                            " outcome TEXT NOT NULL, error_code INTEGER NOT NULL, detail TEXT NOT"
                            " NULL); INSERT INTO dials VALUES (1, 100, 'Line', '100.64.1.1',"
                            " '100.64.0.1', '', 5, 'connected', 0, '');",
                            nullptr, nullptr, nullptr),
               SQLITE_OK);
      sqlite3_close(Db);
    }
    {
      // Read as it is (dravikctl with the service stopped): nothing added.
      THistory Reading;
      QCOMPARE(Reading.OpenForReading(File()), std::string());
      std::vector<TDialRecord> Rows;
      int64_t Next = -1;
      std::string Problem;
      QVERIFY2(Reading.Page(0, 0, 10, Rows, Next, Problem), Problem.c_str());
      QCOMPARE(Rows.size(), size_t(1));
      QCOMPARE(Rows[0].Simulated, false);
      QCOMPARE(Rows[0].Reason, std::string());
      QCOMPARE(Rows[0].Address6, std::string());
      QVERIFY2(Reading.Latest(0, 1, Rows, Problem), Problem.c_str());
      QCOMPARE(Rows[0].LineAddress, std::string("100.64.1.1"));
    }
    THistory History;
    QCOMPARE(History.Open(File()), std::string());
    TDialRecord Simulated = Row(200, "100.64.1.2", "repeated");
    Simulated.Simulated = true;
    Simulated.Reason = "repeated-subnet";
    Simulated.Address6 = "2001:db8:1:100::5";
    Simulated.Prefix6 = "2001:db8:1:100::/56";
    QCOMPARE(History.Add(Simulated), std::string());
    const auto Rows = History.Since(0, 10);
    QCOMPARE(Rows.size(), size_t(2));
    QCOMPARE(Rows[0].Simulated, false);
    QCOMPARE(Rows[0].Reason, std::string());
    QCOMPARE(Rows[0].Address6, std::string());
    QCOMPARE(Rows[1].Simulated, true);
    QCOMPARE(Rows[1].Reason, std::string("repeated-subnet"));
    QCOMPARE(Rows[1].Address6, Simulated.Address6);
    QCOMPARE(Rows[1].Prefix6, Simulated.Prefix6);
    const QJsonObject Json = THistoryReader::RowJson(Rows[1]);
    QCOMPARE(Json["simulated"].toBool(), true);
    QCOMPARE(Json["reason"].toString(), QString("repeated-subnet"));
    QCOMPARE(Json["address6"].toString(), QString("2001:db8:1:100::5"));
    QCOMPARE(Json["prefix6"].toString(), QString("2001:db8:1:100::/56"));
  }

  // Since filters by time; the limit keeps the latest rows, oldest first.
  void SinceAndLimit() {
    THistory History;
    QCOMPARE(History.Open(File()), std::string());
    for (int I = 1; I <= 10; ++I) History.Add(Row(I * 1000, "100.64.0." + std::to_string(10 + I)));
    QCOMPARE(History.Since(7000, 100).size(), size_t(4));
    const auto Latest = History.Since(0, 3);
    QCOMPARE(Latest.size(), size_t(3));
    QCOMPARE(Latest[0].TimeMs, int64_t(8000));
    QCOMPARE(Latest[2].TimeMs, int64_t(10000));
  }

  void PruneOldRows() {
    THistory History;
    QCOMPARE(History.Open(File()), std::string());
    for (int I = 1; I <= 5; ++I) History.Add(Row(I * 1000, "100.64.0.9"));
    QCOMPARE(History.Prune(3000), 2);
    QCOMPARE(History.Since(0, 100).size(), size_t(3));
    QCOMPARE(History.Since(0, 100).front().TimeMs, int64_t(3000));
  }

  // Newest first, each once; a checked public address is the one compared.
  void RecentAddresses() {
    THistory History;
    QCOMPARE(History.Open(File()), std::string());
    History.Add(Row(1, "100.64.0.1"));
    History.Add(Row(2, "100.64.0.2"));
    History.Add(Row(3, "100.64.0.1"));
    History.Add(Row(4, "100.64.0.3", "repeated"));
    History.Add(Row(5, "100.64.0.4", "connected", "203.0.113.5"));
    QCOMPARE(History.RecentAddresses("Line", 10),
             (std::vector<std::string>{"203.0.113.5", "100.64.0.1", "100.64.0.2"}));
    QCOMPARE(History.RecentAddresses("Line", 1), std::vector<std::string>{"203.0.113.5"});
    QVERIFY(History.RecentAddresses("Other", 5).empty());
    QVERIFY(History.RecentAddresses("Line", 0).empty());
  }

  // The recent turns carry the IPv6 facts of each address's latest row.
  void RecentTurnsWithIpv6() {
    THistory History;
    QCOMPARE(History.Open(File()), std::string());
    auto WithIpv6 = [](int64_t ATime, const std::string& AAddress, const std::string& APrefix) {
      TDialRecord Record = Row(ATime, AAddress);
      Record.Address6 = APrefix.substr(0, APrefix.find('/')) + "1";
      Record.Prefix6 = APrefix;
      return Record;
    };
    History.Add(WithIpv6(1, "100.64.0.1", "2001:db8:1::/56"));
    History.Add(Row(2, "100.64.0.2"));
    History.Add(WithIpv6(3, "100.64.0.1", "2001:db8:3::/56"));
    const auto Turns = History.RecentTurns("Line", 5);
    QCOMPARE(Turns.size(), size_t(2));
    QCOMPARE(Turns[0].PublicAddress, std::string("100.64.0.1"));
    QCOMPARE(Turns[0].Address6, std::string("2001:db8:3::1"));
    QCOMPARE(Turns[0].Prefix6, std::string("2001:db8:3::/56"));
    QCOMPARE(Turns[1].PublicAddress, std::string("100.64.0.2"));
    QCOMPARE(Turns[1].Prefix6, std::string());
  }

  // Write-ahead logging: another connection reads every committed row while
  // the writer holds the database open.
  void WriteAheadLog() {
    THistory History;
    QCOMPARE(History.Open(File()), std::string());
    History.Add(Row(1, "100.64.0.1"));
    sqlite3* Reader = nullptr;
    QCOMPARE(sqlite3_open_v2(File().c_str(), &Reader, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* Statement = nullptr;
    QCOMPARE(sqlite3_prepare_v2(Reader, "PRAGMA journal_mode", -1, &Statement, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_step(Statement), SQLITE_ROW);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(Statement, 0))),
             QByteArray("wal"));
    sqlite3_finalize(Statement);
    QCOMPARE(sqlite3_prepare_v2(Reader, "SELECT COUNT(*) FROM dials", -1, &Statement, nullptr),
             SQLITE_OK);
    QCOMPARE(sqlite3_step(Statement), SQLITE_ROW);
    QCOMPARE(sqlite3_column_int(Statement, 0), 1);
    sqlite3_finalize(Statement);
    sqlite3_close(Reader);
  }

  // What may be in the history's place: each refused with the file named,
  // at once (a FIFO must not stop the service), the history not open, and
  // nothing there changed: a file that is not a history may be the user's.
  void BadHistoryFiles_data() {
    QTest::addColumn<QString>("Kind");
    QTest::addColumn<QByteArray>("Content");
    QTest::addColumn<QString>("Problem");
    QTemporaryDir Dir;
    const std::string Made = Dir.filePath("made.sqlite").toStdString();
    {
      THistory History;
      QCOMPARE(History.Open(Made), std::string());
      for (int I = 0; I < 1000; ++I) History.Add(Row(I, "100.64.0.1", "failed"));
    }
    QFile File(QString::fromStdString(Made));
    QVERIFY(File.open(QIODevice::ReadOnly));
    const QByteArray Database = File.readAll();
    QVERIFY(Database.size() > 8 * 4096);
    QTest::newRow("a text file") << "file" << QByteArray("my notes\n")
                                 << ": file is not a database";
    QTest::newRow("truncated history") << "file" << Database.left(Database.size() / 2 + 100)
                                       << ": database disk image is malformed";
    // A page in the middle overwritten: the file opens, and only the check
    // at start sees it.
    QByteArray Damaged = Database;
    Damaged.replace(6 * 4096, 4096, QByteArray(4096, '\x5a'));
    QTest::newRow("a damaged page")
        << "file" << Damaged
        << ": the database is damaged (*** in database main *** Page 7: btreeInitPage() "
           "returns error code 11); move it away and a new history is started";
    QTest::newRow("a folder") << "folder" << QByteArray() << ": not a plain file";
    QTest::newRow("a FIFO") << "fifo" << QByteArray() << ": not a plain file";
    QTest::newRow("unreadable") << "unreadable" << Database << ": unable to open database file";
    QTest::newRow("a history without write permission")
        << "read-only" << Database << ": cannot be written";
    QTest::newRow("link to a history elsewhere")
        << "link" << Database << ": a symbolic link, not the history database";
    QTest::newRow("dangling link")
        << "dangling link" << QByteArray() << ": a symbolic link, not the history database";
    QTest::newRow("link loop") << "link loop" << QByteArray()
                               << ": a symbolic link, not the history database";
  }
  void BadHistoryFiles() {
    QFETCH(QString, Kind);
    QFETCH(QByteArray, Content);
    QFETCH(QString, Problem);
    if (!TPlantedFile::MeaningfulFor(Kind))
      QSKIP("root reads and writes a file without permissions");
    const QString Path = FDir.filePath("history.sqlite");
    QFile::remove(Path);
    const auto Cleanup = qScopeGuard([&Path] { TPlantedFile::Remove(Path); });
    QVERIFY(TPlantedFile::Plant(Path, Kind, Content));
    // What the file's name and its links stand for; SQLite's own files
    // beside it do not count.
    const QRegularExpression Planted("^(history\\.sqlite( |\\.loop)|elsewhere)");
    const QStringList Before = TPlantedFile::Snapshot(FDir.path()).filter(Planted);
    THistory History;
    QCOMPARE(QString::fromStdString(History.Open(File())), Path + Problem);
    QVERIFY(!History.IsOpen());
    QCOMPARE(TPlantedFile::Snapshot(FDir.path()).filter(Planted), Before);
  }

  void NotAHistory() {
    WriteTextFile(FDir.filePath("history.sqlite"), QByteArray(4096, 'x'));
    THistory History;
    const std::string Problem = History.Open(File());
    QVERIFY2(Problem.rfind(File() + ": ", 0) == 0, Problem.c_str());
    QVERIFY(!History.IsOpen());
    QVERIFY(!History.Add(Row(1, "100.64.0.1")).empty());
    QVERIFY(History.Since(0, 10).empty());
  }
};

DRAVIK_SERVICE_TEST_MAIN(TestHistory)
#include "TestHistory.moc"
