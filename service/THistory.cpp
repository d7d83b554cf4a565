#include "THistory.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <memory>

#include "THistoryWriter.h"

namespace {

struct TStatementDeleter {
  void operator()(sqlite3_stmt* AStatement) const { sqlite3_finalize(AStatement); }
};
using TStatement = std::unique_ptr<sqlite3_stmt, TStatementDeleter>;

TStatement Prepare(sqlite3* ADb, const char* ASql) {
  sqlite3_stmt* Statement = nullptr;
  if (sqlite3_prepare_v2(ADb, ASql, -1, &Statement, nullptr) != SQLITE_OK) return nullptr;
  return TStatement(Statement);
}

std::string Column(sqlite3_stmt* AStatement, int AIndex) {
  const unsigned char* Text = sqlite3_column_text(AStatement, AIndex);
  return Text == nullptr
             ? std::string()
             : std::string(reinterpret_cast<const char*>(Text),
                           static_cast<size_t>(sqlite3_column_bytes(AStatement, AIndex)));
}

void Bind(sqlite3_stmt* AStatement, int AIndex, const std::string& AText) {
  sqlite3_bind_text(AStatement, AIndex, AText.data(), static_cast<int>(AText.size()),
                    SQLITE_TRANSIENT);
}

}  // namespace

THistory::THistory() = default;

THistory::~THistory() {
  // The writer finishes (or gives up on) its rows before the database goes.
  FWriter.reset();
  if (FDb != nullptr) sqlite3_close(FDb);
}

std::string THistory::Exec(const char* ASql) {
  char* Message = nullptr;
  if (sqlite3_exec(FDb, ASql, nullptr, nullptr, &Message) == SQLITE_OK) return {};
  std::string Text = Message != nullptr ? Message : sqlite3_errmsg(FDb);
  sqlite3_free(Message);
  return Text;
}

std::string THistory::Open(const std::string& AFileName) {
  if (FDb != nullptr) return "already open";
  // SQLite's own answer for these is "unable to open database file"; the
  // user is told what is in the history's place instead.
  struct stat Info {};
  if (lstat(AFileName.c_str(), &Info) == 0) {
    if (S_ISLNK(Info.st_mode)) return AFileName + ": a symbolic link, not the history database";
    if (!S_ISREG(Info.st_mode)) return AFileName + ": not a plain file";
  }
  if (sqlite3_open_v2(AFileName.c_str(), &FDb,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW,
                      nullptr) != SQLITE_OK) {
    std::string Text = AFileName + ": " + (FDb != nullptr ? sqlite3_errmsg(FDb) : "cannot open");
    sqlite3_close(FDb);
    FDb = nullptr;
    return Text;
  }
  // A file without write permission opens read-only: every dial after the
  // start would go unrecorded.
  if (sqlite3_db_readonly(FDb, "main") == 1) {
    sqlite3_close(FDb);
    FDb = nullptr;
    return AFileName + ": cannot be written";
  }
  sqlite3_busy_timeout(FDb, 5000);
  // A damaged page would otherwise show only later, as every row failing
  // with "database disk image is malformed" and no file named.
  bool Damaged = false;
  const std::string Damage = QuickCheck(Damaged);
  if (!Damage.empty()) {
    sqlite3_close(FDb);
    FDb = nullptr;
    return AFileName + ": " +
           (Damaged ? "the database is damaged (" + Damage +
                          "); move it away and a new history is started"
                    : Damage);
  }
  // WAL with NORMAL syncing loses no committed row when the process dies;
  // only a power cut may take the latest ones.
  std::string Problem = Exec(
      "PRAGMA journal_mode=WAL;"
      "PRAGMA synchronous=NORMAL;"
      // A service that runs for months keeps its page cache small.
      "PRAGMA cache_size=-256;"
      "CREATE TABLE IF NOT EXISTS dials ("
      " id INTEGER PRIMARY KEY,"
      " time_ms INTEGER NOT NULL,"
      " entry TEXT NOT NULL,"
      " line_address TEXT NOT NULL,"
      " peer_address TEXT NOT NULL,"
      " public_address TEXT NOT NULL,"
      " dial_ms INTEGER NOT NULL,"
      " outcome TEXT NOT NULL,"
      " error_code INTEGER NOT NULL,"
      " detail TEXT NOT NULL,"
      " simulated INTEGER NOT NULL DEFAULT 0,"
      " reason TEXT NOT NULL DEFAULT '',"
      " address6 TEXT NOT NULL DEFAULT '',"
      " prefix6 TEXT NOT NULL DEFAULT '');"
      "CREATE INDEX IF NOT EXISTS dials_time ON dials(time_ms);");
  // A history from before rows told a simulated line from a real one gets
  // the column; its rows were all taken as real ones.
  if (Problem.empty() && !HasColumn("simulated"))
    Problem = Exec("ALTER TABLE dials ADD COLUMN simulated INTEGER NOT NULL DEFAULT 0;");
  // Nor had it why a turn was redialled, or the line's IPv6 facts.
  for (const char* Column : {"reason", "address6", "prefix6"}) {
    if (!Problem.empty() || HasColumn(Column)) continue;
    Problem =
        Exec(("ALTER TABLE dials ADD COLUMN " + std::string(Column) + " TEXT NOT NULL DEFAULT '';")
                 .c_str());
  }
  if (!Problem.empty()) {
    sqlite3_close(FDb);
    FDb = nullptr;
    return AFileName + ": " + Problem;
  }
  FFileName = AFileName;
  FRowColumns = RowColumns();
  return {};
}

bool THistory::HasColumn(const char* AName) const {
  TStatement Columns = Prepare(FDb, "SELECT 1 FROM pragma_table_info('dials') WHERE name = ?");
  if (!Columns) return false;
  sqlite3_bind_text(Columns.get(), 1, AName, -1, SQLITE_STATIC);
  return sqlite3_step(Columns.get()) == SQLITE_ROW;
}

std::string THistory::QuickCheck(bool& ADamaged) {
  TStatement Check = Prepare(FDb, "PRAGMA quick_check(1)");
  if (!Check) return sqlite3_errmsg(FDb);
  const int Step = sqlite3_step(Check.get());
  if (Step != SQLITE_ROW) return sqlite3_errmsg(FDb);
  std::string Answer = Column(Check.get(), 0);
  ADamaged = Answer != "ok";
  for (char& C : Answer)
    if (C == '\n' || C == '\r') C = ' ';
  return ADamaged ? Answer.substr(0, 200) : std::string();
}

std::string THistory::RowColumns() const {
  // A history from before a column came is read as its rows were meant:
  // the column's default. Only the service, which writes, adds the column.
  return std::string(
             "time_ms, entry, line_address, peer_address, public_address, dial_ms,"
             " outcome, error_code, detail, id, ") +
         (HasColumn("simulated") ? "simulated" : "0") +
         (HasColumn("reason") ? ", reason" : ", ''") +
         (HasColumn("address6") ? ", address6" : ", ''") +
         (HasColumn("prefix6") ? ", prefix6" : ", ''");
}

std::string THistory::OpenForReading(const std::string& AFileName) {
  if (FDb != nullptr) return "already open";
  if (sqlite3_open_v2(AFileName.c_str(), &FDb, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW,
                      nullptr) != SQLITE_OK) {
    std::string Text = AFileName + ": " + (FDb != nullptr ? sqlite3_errmsg(FDb) : "cannot open");
    sqlite3_close(FDb);
    FDb = nullptr;
    return Text;
  }
  sqlite3_busy_timeout(FDb, 1000);
  Exec("PRAGMA cache_size=-256;");
  FFileName = AFileName;
  FRowColumns = RowColumns();
  return {};
}

void THistory::WriteInBackground(std::function<void(bool, const std::string&)> ANote) {
  if (FDb == nullptr || FWriter) return;
  FWriter = std::make_unique<THistoryWriter>(FFileName, std::move(ANote));
}

bool THistory::Flush(int AMilliseconds) { return !FWriter || FWriter->Flush(AMilliseconds); }

std::string THistory::Add(const TDialRecord& ARecord) {
  if (FDb == nullptr) return "the history is not open";
  if (FWriter) {
    FWriter->Push(ARecord);
    return {};
  }
  return Insert(ARecord);
}

std::string THistory::Insert(const TDialRecord& ARecord) {
  TStatement Insert = Prepare(FDb,
                              "INSERT INTO dials (time_ms, entry, line_address, peer_address,"
                              " public_address, dial_ms, outcome, error_code, detail, simulated,"
                              " reason, address6, prefix6)"
                              " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  if (!Insert) return sqlite3_errmsg(FDb);
  sqlite3_bind_int64(Insert.get(), 1, ARecord.TimeMs);
  Bind(Insert.get(), 2, ARecord.Entry);
  Bind(Insert.get(), 3, ARecord.LineAddress);
  Bind(Insert.get(), 4, ARecord.PeerAddress);
  Bind(Insert.get(), 5, ARecord.PublicAddress);
  sqlite3_bind_int64(Insert.get(), 6, ARecord.DialMs);
  Bind(Insert.get(), 7, ARecord.Outcome);
  sqlite3_bind_int(Insert.get(), 8, ARecord.ErrorCode);
  Bind(Insert.get(), 9, ARecord.Detail);
  sqlite3_bind_int(Insert.get(), 10, ARecord.Simulated ? 1 : 0);
  Bind(Insert.get(), 11, ARecord.Reason);
  Bind(Insert.get(), 12, ARecord.Address6);
  Bind(Insert.get(), 13, ARecord.Prefix6);
  if (sqlite3_step(Insert.get()) != SQLITE_DONE) return sqlite3_errmsg(FDb);
  return {};
}

namespace {

TDialRecord ReadRow(sqlite3_stmt* AStatement) {
  TDialRecord Row;
  Row.TimeMs = sqlite3_column_int64(AStatement, 0);
  Row.Entry = Column(AStatement, 1);
  Row.LineAddress = Column(AStatement, 2);
  Row.PeerAddress = Column(AStatement, 3);
  Row.PublicAddress = Column(AStatement, 4);
  Row.DialMs = sqlite3_column_int64(AStatement, 5);
  Row.Outcome = Column(AStatement, 6);
  Row.ErrorCode = sqlite3_column_int(AStatement, 7);
  Row.Detail = Column(AStatement, 8);
  Row.Simulated = sqlite3_column_int(AStatement, 10) != 0;
  Row.Reason = Column(AStatement, 11);
  Row.Address6 = Column(AStatement, 12);
  Row.Prefix6 = Column(AStatement, 13);
  return Row;
}

}  // namespace

bool THistory::Page(int64_t AFromMs, int64_t AAfterId, int ALimit, std::vector<TDialRecord>& ARows,
                    int64_t& ANextId, std::string& AProblem) const {
  ARows.clear();
  ANextId = 0;
  if (FDb == nullptr) {
    AProblem = "the history is not open";
    return false;
  }
  const std::string Sql =
      "SELECT " + FRowColumns + " FROM dials WHERE id > ? AND time_ms >= ? ORDER BY id LIMIT ?";
  TStatement Select = Prepare(FDb, Sql.c_str());
  if (!Select) {
    AProblem = sqlite3_errmsg(FDb);
    return false;
  }
  sqlite3_bind_int64(Select.get(), 1, AAfterId);
  sqlite3_bind_int64(Select.get(), 2, AFromMs);
  // One row more than the page tells whether another page follows.
  sqlite3_bind_int(Select.get(), 3, ALimit + 1);
  int64_t LastId = 0;
  int Step = SQLITE_ROW;
  while ((Step = sqlite3_step(Select.get())) == SQLITE_ROW) {
    if (static_cast<int>(ARows.size()) == ALimit) {
      ANextId = LastId;
      break;
    }
    ARows.push_back(ReadRow(Select.get()));
    LastId = sqlite3_column_int64(Select.get(), 9);
  }
  if (Step != SQLITE_ROW && Step != SQLITE_DONE) {
    AProblem = sqlite3_errmsg(FDb);
    ARows.clear();
    return false;
  }
  return true;
}

std::vector<TDialRecord> THistory::Since(int64_t AFromMs, int ALimit) const {
  std::vector<TDialRecord> Rows;
  std::string Problem;
  Latest(AFromMs, ALimit, Rows, Problem);
  return Rows;
}

bool THistory::Latest(int64_t AFromMs, int ALimit, std::vector<TDialRecord>& ARows,
                      std::string& AProblem) const {
  ARows.clear();
  if (FDb == nullptr) {
    AProblem = "the history is not open";
    return false;
  }
  const std::string Sql = "SELECT * FROM (SELECT " + FRowColumns +
                          " FROM dials WHERE time_ms >= ? ORDER BY id DESC LIMIT ?) ORDER BY id";
  TStatement Select = Prepare(FDb, Sql.c_str());
  if (!Select) {
    AProblem = sqlite3_errmsg(FDb);
    return false;
  }
  sqlite3_bind_int64(Select.get(), 1, AFromMs);
  sqlite3_bind_int(Select.get(), 2, ALimit);
  int Step = SQLITE_ROW;
  while ((Step = sqlite3_step(Select.get())) == SQLITE_ROW) ARows.push_back(ReadRow(Select.get()));
  if (Step != SQLITE_DONE) {
    AProblem = sqlite3_errmsg(FDb);
    ARows.clear();
    return false;
  }
  return true;
}

std::vector<std::string> THistory::RecentAddresses(const std::string& AEntry, int ACount) const {
  std::vector<std::string> Addresses;
  for (const TDialRecord& Turn : RecentTurns(AEntry, ACount))
    Addresses.push_back(Turn.PublicAddress);
  return Addresses;
}

std::vector<TDialRecord> THistory::RecentTurns(const std::string& AEntry, int ACount) const {
  std::vector<TDialRecord> Turns;
  if (FDb == nullptr || ACount <= 0) return Turns;
  // The IPv6 facts are those of each address's latest row (SQLite takes
  // the other columns from the row MAX picks).
  TStatement Select =
      Prepare(FDb,
              "SELECT CASE WHEN public_address != '' THEN public_address ELSE line_address END"
              " AS address, address6, prefix6, MAX(id) FROM dials"
              " WHERE entry = ? AND outcome = 'connected'"
              " GROUP BY address ORDER BY MAX(id) DESC LIMIT ?");
  if (!Select) return Turns;
  Bind(Select.get(), 1, AEntry);
  sqlite3_bind_int(Select.get(), 2, ACount);
  while (sqlite3_step(Select.get()) == SQLITE_ROW) {
    TDialRecord Turn;
    Turn.Entry = AEntry;
    Turn.PublicAddress = Column(Select.get(), 0);
    Turn.Address6 = Column(Select.get(), 1);
    Turn.Prefix6 = Column(Select.get(), 2);
    Turns.push_back(std::move(Turn));
  }
  return Turns;
}

int THistory::Prune(int64_t ABeforeMs) {
  if (FDb == nullptr) return 0;
  if (FWriter) {
    FWriter->Prune(ABeforeMs);
    return 0;
  }
  TStatement Delete = Prepare(FDb, "DELETE FROM dials WHERE time_ms < ?");
  if (!Delete) return 0;
  sqlite3_bind_int64(Delete.get(), 1, ABeforeMs);
  if (sqlite3_step(Delete.get()) != SQLITE_DONE) return 0;
  return sqlite3_changes(FDb);
}
