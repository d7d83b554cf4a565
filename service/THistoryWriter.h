#pragma once

// The history's writer thread: rows queued by the rotation are written
// through a connection of its own, so that a database held by another
// process (or a slow disk) never holds up the rotation. A row that cannot
// be written is kept, in order, and tried again every second; the queue
// keeps at most MaxQueuedRows, beyond which the oldest goes, said in the log.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "TDialRecord.h"

class QObject;

class THistoryWriter {
 public:
  static constexpr size_t MaxQueuedRows = 10000;
  static constexpr int RetryMilliseconds = 1000;
  // What the writer may still take when it is ended (the service stopping).
  static constexpr int FinishMilliseconds = 2000;

  // ANote hears of problems (true) and of the rows being in again (false),
  // on the thread that made the writer, through its event loop.
  THistoryWriter(std::string AFileName, std::function<void(bool, const std::string&)> ANote);
  // Writes what is queued, for FinishMilliseconds at most; what is left
  // then is named in a note, given at once.
  ~THistoryWriter();

  void Push(const TDialRecord& ARecord);
  void Prune(int64_t ABeforeMs);
  bool Flush(int AMilliseconds);
  size_t Queued() const;

 private:
  void Run();
  void Note(bool AProblem, const std::string& AText);

  const std::string FFileName;
  std::function<void(bool, const std::string&)> FNote;
  std::unique_ptr<QObject> FContext;

  mutable std::mutex FLock;
  std::condition_variable FWake;
  std::condition_variable FDrained;
  std::deque<TDialRecord> FRows;
  int64_t FPruneBefore = 0;
  bool FWriting = false;  // a row is being written, still at the queue's front
  bool FEnding = false;
  uint64_t FDropped = 0;
  std::thread FThread;
};
