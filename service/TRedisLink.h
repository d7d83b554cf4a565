#pragma once

// One connection to the fleet's Redis, driven by hiredis's asynchronous API on
// the service's own event loop (socket notifiers; no thread of its own).
// Every command has a time limit: a reply that does not come within it ends
// the connection, which is then made again after waits that grow from half a
// second to 30 s. An outage is logged once when it begins and once when it
// ends, however many commands it cost.

#include <QObject>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "TFleetConfig.h"

struct redisAsyncContext;
struct redisReply;
class QSocketNotifier;
class QTimer;
class TServiceLog;

class TRedisLink : public QObject {
 public:
  // How long a command's reply, or the connection itself, may take.
  static constexpr int CommandLimitMs = 1000;
  static constexpr int LongestWaitMs = 30000;

  TRedisLink(const TFleetConfig& AConfig, TServiceLog& ALog, const std::string& AName,
             QObject* AParent = nullptr);
  ~TRedisLink() override;

  void Start();
  bool Ready() const { return FReady; }

  // The reply, or null when none came (no connection, time limit, closed).
  using TDone = std::function<void(redisReply*)>;
  // False (and ADone not called) while there is no connection.
  bool Command(const std::vector<std::string>& AArgs, TDone ADone = nullptr);
  // Subscribes to AChannels; AMessage gets each message's channel and text,
  // again after every reconnect.
  void Subscribe(const std::vector<std::string>& AChannels,
                 std::function<void(const std::string&, const std::string&)> AMessage);

  // Raised each time the connection is ready for commands (after AUTH and
  // SELECT), the first time and after every outage.
  std::function<void()> OnReady;

 private:
  struct TPending {
    TRedisLink* Link;
    TDone Done;
    qint64 SentMs;
  };
  static void Replied(redisAsyncContext* AContext, void* AReply, void* APrivate);
  static void SubscribedMessage(redisAsyncContext* AContext, void* AReply, void* APrivate);
  static void Connected(const redisAsyncContext* AContext, int AStatus);
  static void Disconnected(const redisAsyncContext* AContext, int AStatus);
  static void AddRead(void* AData);
  static void DelRead(void* AData);
  static void AddWrite(void* AData);
  static void DelWrite(void* AData);
  static void Cleanup(void* AData);

  void Connect();
  void Handshake();
  // Ends the connection and plans the next try; AWhy is logged when an
  // outage begins.
  void Lost(const std::string& AWhy);
  void Watch();
  bool Send(const std::vector<std::string>& AArgs, void (*AFn)(redisAsyncContext*, void*, void*),
            void* APrivate);

  TFleetConfig FConfig;
  TServiceLog& FLog;
  std::string FName;
  redisAsyncContext* FContext = nullptr;
  QSocketNotifier* FRead = nullptr;
  QSocketNotifier* FWrite = nullptr;
  QTimer* FRetry = nullptr;
  QTimer* FWatch = nullptr;
  bool FReady = false;
  bool FConnecting = false;
  qint64 FConnectStartMs = 0;
  std::deque<TPending*> FPending;
  int FWaitMs = 500;
  qint64 FOutageSinceMs = -1;
  std::vector<std::string> FChannels;
  std::function<void(const std::string&, const std::string&)> FMessage;
};

// Where the configuration's Redis is, as a log line names it.
std::string RedisPlace(const TFleetConfig& AConfig);
