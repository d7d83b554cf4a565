#pragma once

// The control interface: HTTP with JSON answers, every request carrying the
// bearer token.
//   GET  /status   entry, phase, address, since, seconds to the next step, last error
//   POST /rotate   rotate now
//   POST /pause    stop the timed steps, the line stays as it is
//   POST /resume   go on
//   GET  /history  the recorded dials (?since=MS since the epoch, ?limit=N)

#include <QHttpServer>
#include <QJsonObject>
#include <memory>
#include <string>

class THistory;
class TRotation;
struct TDialRecord;

class TControlServer {
 public:
  TControlServer(TRotation& ARotation, THistory* AHistory, std::string AToken);
  ~TControlServer();

  // Empty on success, else why it cannot listen. Port 0 picks a free port.
  std::string Listen(const std::string& AAddress, int APort);
  int Port() const { return FPort; }

  static QJsonObject RowJson(const TDialRecord& ARow);

 private:
  void Handle(const QHttpServerRequest& ARequest, QHttpServerResponder&& AResponder);

  TRotation& FRotation;
  THistory* FHistory;
  std::string FToken;
  std::unique_ptr<QHttpServer> FServer;
  int FPort = 0;
};
