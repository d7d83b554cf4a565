#pragma once

// The record of every dial, in an SQLite database in write-ahead-log mode:
// a row is on disk once Add has returned, and a process killed at any
// moment leaves a database that opens with every completed row. After
// WriteInBackground, Add only queues the row for a writer thread, so that a
// database held by another process never holds up the caller.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TDialRecord.h"

struct sqlite3;
class THistoryWriter;

class THistory {
 public:
  THistory();
  ~THistory();
  THistory(const THistory&) = delete;
  THistory& operator=(const THistory&) = delete;

  // Opens (creating when missing) the database and checks it (SQLite's
  // quick check); empty on success, else why not, naming the file.
  std::string Open(const std::string& AFileName);
  // Opens an existing database for reading only, without checks.
  std::string OpenForReading(const std::string& AFileName);
  bool IsOpen() const { return FDb != nullptr; }
  const std::string& FileName() const { return FFileName; }

  // From now on rows are written by a thread of their own, through a
  // connection of its own: Add and Prune return at once. A row that cannot
  // be written (the database locked by another process, the disk full) is
  // kept and tried again until it is written; ANote hears of that on the
  // thread that called this, with true for a problem and false when the rows
  // are in again.
  void WriteInBackground(std::function<void(bool, const std::string&)> ANote);
  // Waits up to AMilliseconds for the queued rows to be written; whether
  // none is left.
  bool Flush(int AMilliseconds);

  // Empty on success (or once queued), else why the row was not written.
  std::string Add(const TDialRecord& ARecord);

  // Rows from AFromMs on, oldest first, at most ALimit of the latest.
  std::vector<TDialRecord> Since(int64_t AFromMs, int ALimit) const;

  // The latest distinct verified addresses of the entry, newest first.
  std::vector<std::string> RecentAddresses(const std::string& AEntry, int ACount) const;
  // The same turns with the line's IPv6 facts: each row's compared address
  // (the public one when checked) in PublicAddress, Address6 and Prefix6.
  std::vector<TDialRecord> RecentTurns(const std::string& AEntry, int ACount) const;

  // A page of rows from AFromMs on after the row AAfterId, oldest first, at
  // most ALimit; ANextId is the last row's id when more follow, else 0.
  // False when the database cannot be read (AProblem says why).
  bool Page(int64_t AFromMs, int64_t AAfterId, int ALimit, std::vector<TDialRecord>& ARows,
            int64_t& ANextId, std::string& AProblem) const;

  // The latest ALimit rows from AFromMs on, oldest first; false when the
  // database cannot be read (AProblem says why).
  bool Latest(int64_t AFromMs, int ALimit, std::vector<TDialRecord>& ARows,
              std::string& AProblem) const;

  // Removes the rows older than ABeforeMs; returns how many went (0 when
  // written in the background).
  int Prune(int64_t ABeforeMs);

 private:
  friend class THistoryWriter;
  std::string Exec(const char* ASql);
  std::string Insert(const TDialRecord& ARecord);
  // Empty when SQLite's quick check passes; else its first finding
  // (ADamaged) or why it could not run.
  std::string QuickCheck(bool& ADamaged);
  bool HasColumn(const char* AName) const;
  // The columns a row is read from, in ReadRow's order.
  std::string RowColumns() const;
  std::string FRowColumns;
  sqlite3* FDb = nullptr;
  std::string FFileName;
  std::unique_ptr<THistoryWriter> FWriter;
};
