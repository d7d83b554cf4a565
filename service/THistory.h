#pragma once

// The record of every dial, in an SQLite database in write-ahead-log mode:
// a row is on disk once Add has returned, and a process killed at any
// moment leaves a database that opens with every completed row.

#include <cstdint>
#include <string>
#include <vector>

#include "TDialRecord.h"

struct sqlite3;

class THistory {
 public:
  THistory() = default;
  ~THistory();
  THistory(const THistory&) = delete;
  THistory& operator=(const THistory&) = delete;

  // Opens (creating when missing) the database; empty on success, else why not.
  std::string Open(const std::string& AFileName);
  bool IsOpen() const { return FDb != nullptr; }

  // Empty on success, else why the row was not written.
  std::string Add(const TDialRecord& ARecord);

  // Rows from AFromMs on, oldest first, at most ALimit of the latest.
  std::vector<TDialRecord> Since(int64_t AFromMs, int ALimit) const;

  // The latest distinct verified addresses of the entry, newest first.
  std::vector<std::string> RecentAddresses(const std::string& AEntry, int ACount) const;

  // Removes the rows older than ABeforeMs; returns how many went.
  int Prune(int64_t ABeforeMs);

 private:
  std::string Exec(const char* ASql);
  sqlite3* FDb = nullptr;
};
