// Writes dial rows through the service's history, one after another, until
// it is killed: "history_writer FILE FIRST" adds rows numbered from FIRST on
// (the number is the row's time) and prints each number once its Add has
// returned, so that a test knows which rows were complete when it killed the
// writer.
//
// "history_writer FILE --lock" is another process holding the database:
// it takes the write lock, prints "locked" and keeps it until its standard
// input ends.

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "THistory.h"

namespace {

int HoldLock(const char* AFile) {
  sqlite3* Db = nullptr;
  if (sqlite3_open_v2(AFile, &Db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
      sqlite3_exec(Db, "BEGIN EXCLUSIVE; DELETE FROM dials WHERE id < 0;", nullptr, nullptr,
                   nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "history_writer: %s\n", sqlite3_errmsg(Db));
    return 1;
  }
  std::printf("locked\n");
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  sqlite3_exec(Db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(Db);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  if (std::strcmp(argv[2], "--lock") == 0) return HoldLock(argv[1]);
  THistory History;
  const std::string Problem = History.Open(argv[1]);
  if (!Problem.empty()) {
    std::fprintf(stderr, "history_writer: %s\n", Problem.c_str());
    return 1;
  }
  for (long long Number = std::atoll(argv[2]);; ++Number) {
    TDialRecord Row;
    Row.TimeMs = Number;
    Row.Entry = "Line";
    Row.LineAddress =
        "100.64." + std::to_string(Number / 250 % 250) + "." + std::to_string(Number % 250 + 1);
    Row.PeerAddress = "10.0.0.1";
    Row.DialMs = Number % 997;
    Row.Outcome = "connected";
    Row.Detail = "row " + std::to_string(Number);
    const std::string Failed = History.Add(Row);
    if (!Failed.empty()) {
      std::fprintf(stderr, "history_writer: %s\n", Failed.c_str());
      return 1;
    }
    std::printf("%lld\n", Number);
    std::fflush(stdout);
  }
}
