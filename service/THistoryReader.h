#pragma once

// Pages of the history for the control interface, read and turned into
// their JSON answer on a thread of their own through a read-only
// connection, so that a large or slow query never holds up the rotation.
// One query at a time; the caller decides when to hand in the next.

#include <QByteArray>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class QObject;
struct TDialRecord;
class QJsonObject;

class THistoryReader {
 public:
  // AFileName: the history database; empty: every page is empty.
  explicit THistoryReader(std::string AFileName);
  // A query on its way is finished first; its answer is not delivered.
  ~THistoryReader();

  // The answer's status and body. ADone runs on the thread that made the
  // reader, through its event loop.
  using TDone = std::function<void(int ACode, QByteArray ABody)>;
  // False while a query is on its way.
  // ALatest: the latest ALimit rows from ASinceMs on, in one page.
  bool Query(int64_t ASinceMs, int64_t AAfterId, int ALimit, bool ALatest, TDone ADone);
  bool Busy() const;

  static QJsonObject RowJson(const TDialRecord& ARow);

 private:
  struct TJob {
    int64_t SinceMs;
    int64_t AfterId;
    int Limit;
    bool Latest;
    TDone Done;
  };
  void Run();

  const std::string FFileName;
  std::unique_ptr<QObject> FContext;
  mutable std::mutex FLock;
  std::condition_variable FWake;
  std::optional<TJob> FJob;
  bool FBusy = false;
  bool FEnding = false;
  std::thread FThread;
};
