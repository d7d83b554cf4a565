#include "THistoryWriter.h"

#include <sqlite3.h>

#include <QCoreApplication>
#include <QObject>
#include <chrono>

#include "THistory.h"

THistoryWriter::THistoryWriter(std::string AFileName,
                               std::function<void(bool, const std::string&)> ANote)
    : FFileName(std::move(AFileName)), FNote(std::move(ANote)), FContext(new QObject) {
  FThread = std::thread([this] { Run(); });
}

THistoryWriter::~THistoryWriter() {
  {
    std::lock_guard<std::mutex> Guard(FLock);
    FEnding = true;
  }
  FWake.notify_all();
  FThread.join();
  const size_t Left = FRows.size();
  if (Left > 0 && FNote)
    FNote(true, "history: " + std::to_string(Left) + " row(s) could not be written to " +
                    FFileName + " before the end");
}

void THistoryWriter::Push(const TDialRecord& ARecord) {
  {
    std::lock_guard<std::mutex> Guard(FLock);
    // The row at the front may be in the middle of its write.
    if (FRows.size() >= MaxQueuedRows && FRows.size() > (FWriting ? 1u : 0u)) {
      FRows.erase(FRows.begin() + (FWriting ? 1 : 0));
      ++FDropped;
    }
    FRows.push_back(ARecord);
  }
  FWake.notify_all();
}

void THistoryWriter::Prune(int64_t ABeforeMs) {
  {
    std::lock_guard<std::mutex> Guard(FLock);
    FPruneBefore = std::max(FPruneBefore, ABeforeMs);
  }
  FWake.notify_all();
}

size_t THistoryWriter::Queued() const {
  std::lock_guard<std::mutex> Guard(FLock);
  return FRows.size();
}

bool THistoryWriter::Flush(int AMilliseconds) {
  std::unique_lock<std::mutex> Guard(FLock);
  return FDrained.wait_for(Guard, std::chrono::milliseconds(AMilliseconds),
                           [this] { return FRows.empty(); });
}

void THistoryWriter::Note(bool AProblem, const std::string& AText) {
  if (!FNote) return;
  // Handed to the owner's thread; dropped when the writer is gone by then.
  QMetaObject::invokeMethod(
      FContext.get(), [Note = FNote, AProblem, AText] { Note(AProblem, AText); },
      Qt::QueuedConnection);
}

void THistoryWriter::Run() {
  THistory Db;
  std::string Failing;  // the problem of the last failed write, empty while rows go in
  std::chrono::steady_clock::time_point Deadline{};
  std::unique_lock<std::mutex> Guard(FLock);
  for (;;) {
    FWake.wait(Guard, [this] { return FEnding || !FRows.empty() || FPruneBefore != 0; });
    if (FEnding && Deadline == std::chrono::steady_clock::time_point{})
      Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(FinishMilliseconds);
    if (FEnding && (FRows.empty() || std::chrono::steady_clock::now() >= Deadline)) break;
    if (FDropped != 0) {
      const uint64_t Dropped = FDropped;
      FDropped = 0;
      Note(true, "history: " + std::to_string(Dropped) + " of the oldest waiting row(s) let go: " +
                     "more than " + std::to_string(MaxQueuedRows) + " rows wait for " + FFileName);
    }
    std::string Problem;
    if (!Db.IsOpen()) {
      Guard.unlock();
      Problem = Db.Open(FFileName);
      // Short waits for a lock, so that an end is never held up for long.
      if (Problem.empty()) sqlite3_busy_timeout(Db.FDb, 500);
      Guard.lock();
    }
    if (Problem.empty() && !FRows.empty()) {
      FWriting = true;
      const TDialRecord Row = FRows.front();
      Guard.unlock();
      Problem = Db.Insert(Row);
      Guard.lock();
      FWriting = false;
      if (Problem.empty()) {
        FRows.pop_front();
        if (!Failing.empty()) {
          Failing.clear();
          Note(false, "history: rows are written again to " + FFileName);
        }
        if (FRows.empty()) FDrained.notify_all();
      } else {
        Problem = FFileName + ": " + Problem;
      }
    }
    if (Problem.empty() && FPruneBefore != 0 && FRows.empty()) {
      const int64_t Before = FPruneBefore;
      FPruneBefore = 0;
      Guard.unlock();
      Db.Prune(Before);
      Guard.lock();
    }
    if (!Problem.empty()) {
      if (Problem != Failing)
        Note(true, "history: " + std::to_string(FRows.size()) +
                       " row(s) kept until they can be written: " + Problem);
      Failing = Problem;
      // Tried again after a while, or at once when asked to end.
      FWake.wait_for(Guard, std::chrono::milliseconds(RetryMilliseconds),
                     [this] { return FEnding; });
    }
  }
}
