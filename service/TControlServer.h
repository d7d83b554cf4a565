#pragma once

// The control interface: HTTP/1.1 with JSON answers, every request carrying
// the bearer token.
//   GET  /status   entry, phase, address, since, seconds to the next step, last error
//   POST /rotate   rotate now
//   POST /pause    stop the timed steps, the line stays as it is
//   POST /resume   go on
//   GET  /history  the recorded dials (?since=MS since the epoch, ?limit=N up
//                  to 10 000, ?after=NEXT for the page after one whose answer
//                  named NEXT)
// HEAD is answered for what GET is.
//
// Served on the program's event loop by a server of its own with fixed
// limits, so that no client, with or without the token, can make the
// service hold more than they allow: the token is checked from the head
// alone, before any body is read; a head is at most 8 KiB, a body at most
// 1 KiB (and read only with the token); connections are capped in all
// (waiting in the kernel's queue beyond) and per client (answered 503
// beyond); a connection that sends no whole request head within 10 s of
// its start, or takes no bytes of its answer for 10 s, is closed; one
// request at a time is answered on a connection, the next read only once
// its answer is out, so a client that never reads holds one answer; the
// history's pages, read on a thread of their own, wait while the answers
// not yet taken reach 16 MiB. Timed limits run on the program's clock.

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>

#include "TControlRequest.h"

class QSocketNotifier;
class THistory;
class THistoryReader;
class TRotation;
class TTimer;
class TComponent;

struct TControlLimits {
  // Lowered to what the descriptors allow (ConnectionBudget).
  int MaxConnections = 512;
  // 0: half of MaxConnections, so that no one client (a user of this
  // machine, or an address elsewhere) can take every connection.
  int MaxPerClient = 0;
  int IdleSeconds = 10;
  // After an answer that ends the connection, what the client still sends
  // is read and let go for this long (at most 64 KiB), so that it sees the
  // answer rather than a reset.
  int LingerSeconds = 2;
  size_t MaxHeadBytes = 8192;
  int64_t MaxBodyBytes = 1024;
  size_t MaxQueuedBytes = 16 * 1024 * 1024;
};

class TControlServer {
 public:
  TControlServer(TRotation& ARotation, THistory* AHistory, std::string AToken,
                 TControlLimits ALimits = {});
  ~TControlServer();
  TControlServer(const TControlServer&) = delete;
  TControlServer& operator=(const TControlServer&) = delete;

  // Empty on success, else why it cannot listen. Port 0 picks a free port.
  std::string Listen(const std::string& AAddress, int APort);
  // A Unix socket at APath, mode 0660.
  std::string ListenUnix(const std::string& APath);
  int Port() const { return FPort; }

  // How many connections the descriptors allow: the soft limit's half is
  // left to the rest of the program (the dial-up library, the history, a
  // hook), the rest taken up to AWanted, at least 4.
  static int ConnectionBudget(uint64_t ADescriptors, int AWanted);
  const TControlLimits& Limits() const { return FLimits; }

  // For tests and the log: connections open, whether new ones are taken,
  // and the bytes held for them (read and not yet answered, answers not yet
  // taken).
  int Connections() const { return static_cast<int>(FConnections.size()); }
  bool Accepting() const;
  size_t HeldBytes() const;

 private:
  struct TConnection;
  enum class TState { Reading, Waiting, Writing, Lingering };

  std::string WatchEvents();
  void Dispatch();
  void Watch(TConnection& AConnection, bool ARead, bool AWrite);
  void Accept();
  void SetAccepting(bool AOn);
  void Readable(uint64_t AId);
  void Writable(uint64_t AId);
  void Process(TConnection& AConnection);
  void Execute(TConnection& AConnection, const TControlRequest& ARequest);
  void Respond(TConnection& AConnection, int ACode, const QByteArray& ABody,
               const QByteArray& AHeaderName = {}, const QByteArray& AHeaderValue = {},
               const QByteArray& AContentType = "application/json");
  void Refuse(TConnection& AConnection, int ACode, const QString& AError,
              const QByteArray& AHeaderName = {}, const QByteArray& AHeaderValue = {});
  void Flush(TConnection& AConnection);
  void Close(uint64_t AId);
  void PumpHistory();
  void Tick();
  void Reading(TConnection& AConnection, bool AOn);

  TRotation& FRotation;
  std::string FToken;
  TControlLimits FLimits;
  std::unique_ptr<TComponent> FTimers;
  TTimer* FTick = nullptr;
  int FListenFd = -1;
  std::string FUnixPath;
  int FPort = 0;
  int FEpoll = -1;
  bool FAccepting = false;
  std::unique_ptr<QSocketNotifier> FEvents;
  bool FOutOfDescriptors = false;

  uint64_t FNextId = 1;
  std::map<uint64_t, std::unique_ptr<TConnection>> FConnections;
  std::map<std::string, int> FPerClient;
  size_t FQueuedBytes = 0;

  struct TWaitingPage {
    uint64_t Id;
    TControlRequest Request;
  };
  std::deque<TWaitingPage> FWaitingPages;
  bool FReaderBusy = false;
  std::unique_ptr<THistoryReader> FReader;
};
