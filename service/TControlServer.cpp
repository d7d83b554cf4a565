#include "TControlServer.h"

#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>

#include "IsoTime.h"
#include "StatusJson.h"
#include "TClock.h"
#include "TComponent.h"
#include "THistory.h"
#include "THistoryReader.h"
#include "THttpRequestHead.h"
#include "TListenSocket.h"
#include "TMetricsPage.h"
#include "TPeerIdentity.h"
#include "TRotation.h"
#include "TTimer.h"

namespace {

// What a lingering close still reads before it gives up on the client.
constexpr int LingerBytes = 64 * 1024;
// Connections taken at one turn of the event loop, so that a crowd of new
// ones does not hold up the rest.
constexpr int AcceptsPerTurn = 64;

QByteArray ErrorBody(const QString& AText) {
  return QJsonDocument(QJsonObject{{"error", AText}}).toJson(QJsonDocument::Compact);
}

const char* Reason(int ACode) {
  switch (ACode) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 409:
      return "Conflict";
    case 411:
      return "Length Required";
    case 413:
      return "Content Too Large";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    case 505:
      return "HTTP Version Not Supported";
  }
  return "Error";
}

// The metrics in Prometheus' text format; every other answer is JSON.
const QByteArray MetricsType = "text/plain; version=0.0.4; charset=utf-8";

QByteArray Answer(int ACode, const QByteArray& ABody, bool AHeadOnly, bool AClose,
                  const QByteArray& AHeaderName, const QByteArray& AHeaderValue,
                  const QByteArray& AContentType) {
  // Server names us, so that a client that reached some other program on
  // the port can tell.
  QByteArray Text = "HTTP/1.1 " + QByteArray::number(ACode) + " " + Reason(ACode) +
                    "\r\nServer: dravikd\r\nContent-Type: " + AContentType +
                    "\r\nContent-Length: " + QByteArray::number(ABody.size()) + "\r\n";
  if (!AHeaderName.isEmpty()) Text += AHeaderName + ": " + AHeaderValue + "\r\n";
  if (AClose) Text += "Connection: close\r\n";
  Text += "\r\n";
  if (!AHeadOnly) Text += ABody;
  return Text;
}

uint64_t Now() { return TClock::Instance().Now(); }

}  // namespace

struct TControlServer::TConnection {
  uint64_t Id = 0;
  int Fd = -1;
  std::string Client;  // empty: not counted (a refusal on its way out)
  TState State = TState::Reading;
  // What the event set watches the socket for.
  bool WatchRead = true;
  bool WatchWrite = false;
  QByteArray In;
  QByteArray Out;
  qsizetype Sent = 0;
  // When the state's time began: the request's start, the answer's last
  // progress, the lingering's start.
  uint64_t Since = 0;
  // A request's body still to be read and let go.
  int64_t BodyLeft = 0;
  bool HasRequest = false;  // a request read, waiting for its body to pass
  TControlRequest Request;
  bool HeadOnly = false;
  bool CloseAfter = false;
  bool PeerDone = false;
  int Lingered = 0;
};

TControlServer::TControlServer(TRotation& ARotation, THistory* AHistory, std::string AToken,
                               TControlLimits ALimits)
    : FRotation(ARotation),
      FToken(std::move(AToken)),
      FLimits(ALimits),
      FTimers(std::make_unique<TComponent>(nullptr)) {
  rlimit Descriptors{};
  if (getrlimit(RLIMIT_NOFILE, &Descriptors) == 0 && Descriptors.rlim_cur != RLIM_INFINITY)
    FLimits.MaxConnections = ConnectionBudget(Descriptors.rlim_cur, FLimits.MaxConnections);
  if (FLimits.MaxPerClient <= 0) FLimits.MaxPerClient = std::max(1, FLimits.MaxConnections / 2);
  FTick = new TTimer(FTimers.get());
  FTick->SetEnabled(false);
  FTick->SetInterval(1000);
  FTick->OnTimer.Bind([this](TObject*) { Tick(); });
  FReader = std::make_unique<THistoryReader>(
      AHistory != nullptr && AHistory->IsOpen() ? AHistory->FileName() : std::string());
}

TControlServer::~TControlServer() {
  FReader.reset();
  FEvents.reset();
  for (auto& [Id, Connection] : FConnections) close(Connection->Fd);
  FConnections.clear();
  if (FListenFd >= 0) close(FListenFd);
  if (FEpoll >= 0) close(FEpoll);
  if (!FUnixPath.empty()) unlink(FUnixPath.c_str());
}

int TControlServer::ConnectionBudget(uint64_t ADescriptors, int AWanted) {
  const uint64_t Half = ADescriptors / 2;
  return static_cast<int>(std::max<uint64_t>(4, std::min<uint64_t>(Half, AWanted)));
}

std::string TControlServer::Listen(const std::string& AAddress, int APort) {
  if (FListenFd >= 0) return "already listening";
  const std::string Problem = ListenTcp(AAddress, APort, FListenFd);
  if (!Problem.empty()) return Problem;
  FPort = ListeningPort(FListenFd);
  return WatchEvents();
}

std::string TControlServer::ListenUnix(const std::string& APath) {
  if (FListenFd >= 0) return "already listening";
  const std::string Problem = ::ListenUnix(APath, FListenFd);
  if (!Problem.empty()) return Problem;
  FUnixPath = APath;
  return WatchEvents();
}

// One event set for the listening socket and every connection, watched by
// the event loop as one descriptor: the loop's cost does not grow with the
// number of connections.
std::string TControlServer::WatchEvents() {
  FEpoll = epoll_create1(EPOLL_CLOEXEC);
  epoll_event Event{};
  Event.events = EPOLLIN;
  Event.data.u64 = 0;
  if (FEpoll < 0 || epoll_ctl(FEpoll, EPOLL_CTL_ADD, FListenFd, &Event) != 0)
    return std::string("cannot watch the socket: ") + std::strerror(errno);
  FAccepting = true;
  FEvents = std::make_unique<QSocketNotifier>(FEpoll, QSocketNotifier::Read);
  QObject::connect(FEvents.get(), &QSocketNotifier::activated, [this] { Dispatch(); });
  return {};
}

void TControlServer::Dispatch() {
  epoll_event Events[128];
  const int Count = epoll_wait(FEpoll, Events, 128, 0);
  for (int I = 0; I < Count; ++I) {
    const uint64_t Id = Events[I].data.u64;
    if (Id == 0) {
      if (FAccepting) Accept();
      continue;
    }
    const auto Found = FConnections.find(Id);
    if (Found == FConnections.end()) continue;
    const uint32_t What = Events[I].events;
    if ((What & (EPOLLIN | EPOLLHUP | EPOLLERR)) && Found->second->WatchRead) Readable(Id);
    if ((What & (EPOLLOUT | EPOLLHUP | EPOLLERR)) && FConnections.count(Id) != 0 &&
        Found->second->WatchWrite)
      Writable(Id);
  }
}

void TControlServer::Watch(TConnection& AConnection, bool ARead, bool AWrite) {
  if (AConnection.WatchRead == ARead && AConnection.WatchWrite == AWrite) return;
  AConnection.WatchRead = ARead;
  AConnection.WatchWrite = AWrite;
  epoll_event Event{};
  Event.events = (ARead ? EPOLLIN : 0u) | (AWrite ? EPOLLOUT : 0u);
  Event.data.u64 = AConnection.Id;
  epoll_ctl(FEpoll, EPOLL_CTL_MOD, AConnection.Fd, &Event);
}

bool TControlServer::Accepting() const { return FAccepting; }

void TControlServer::SetAccepting(bool AOn) {
  if (FEpoll < 0 || AOn == FAccepting) return;
  FAccepting = AOn;
  epoll_event Event{};
  Event.events = AOn ? EPOLLIN : 0u;
  Event.data.u64 = 0;
  epoll_ctl(FEpoll, EPOLL_CTL_MOD, FListenFd, &Event);
}

size_t TControlServer::HeldBytes() const {
  size_t Bytes = 0;
  for (const auto& [Id, Connection] : FConnections)
    Bytes += static_cast<size_t>(Connection->In.size() + Connection->Out.size());
  return Bytes;
}

void TControlServer::Accept() {
  for (int Taken = 0; Taken < AcceptsPerTurn; ++Taken) {
    // At the cap, new connections wait in the kernel's queue until one ends.
    if (Connections() >= FLimits.MaxConnections) {
      SetAccepting(false);
      return;
    }
    const int Fd = accept4(FListenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (Fd < 0) {
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        // Nothing to take the connection with: tried again when one ends or
        // at the next tick, rather than at once and for ever.
        FOutOfDescriptors = true;
        SetAccepting(false);
        FTick->SetEnabled(true);
      }
      return;
    }
    std::string Client = PeerIdentity(Fd);
    // Over its cap a client is answered at once and let go; the answer
    // still goes through a lingering close, so that the client sees it.
    const bool Over = FPerClient[Client] >= FLimits.MaxPerClient;
    if (Over) {
      Client.clear();
    } else {
      ++FPerClient[Client];
    }
    auto Connection = std::make_unique<TConnection>();
    TConnection& Added = *Connection;
    Added.Id = FNextId++;
    Added.Fd = Fd;
    Added.Client = std::move(Client);
    Added.Since = Now();
    const uint64_t Id = Added.Id;
    epoll_event Event{};
    Event.events = EPOLLIN;
    Event.data.u64 = Id;
    epoll_ctl(FEpoll, EPOLL_CTL_ADD, Fd, &Event);
    FConnections.emplace(Id, std::move(Connection));
    FTick->SetEnabled(true);
    if (Over) {
      Added.CloseAfter = true;
      Refuse(Added, 503, "too many connections from this client");
      continue;
    }
    // The request has usually come with the connection.
    Readable(Id);
  }
}

void TControlServer::Reading(TConnection& AConnection, bool AOn) {
  Watch(AConnection, AOn && !AConnection.PeerDone, AConnection.WatchWrite);
}

void TControlServer::Readable(uint64_t AId) {
  const auto Found = FConnections.find(AId);
  if (Found == FConnections.end()) return;
  TConnection& Connection = *Found->second;
  char Buffer[4096];
  if (Connection.State == TState::Lingering) {
    const ssize_t Got = recv(Connection.Fd, Buffer, sizeof Buffer, MSG_DONTWAIT);
    if (Got < 0 && (errno == EAGAIN || errno == EINTR)) return;
    Connection.Lingered += static_cast<int>(std::max<ssize_t>(Got, 0));
    if (Got <= 0 || Connection.Lingered > LingerBytes) Close(AId);
    return;
  }
  if (Connection.State != TState::Reading) {
    Reading(Connection, false);
    return;
  }
  // Never more than the head's cap in hand; a body is let go as it comes.
  const size_t Room = FLimits.MaxHeadBytes > static_cast<size_t>(Connection.In.size())
                          ? FLimits.MaxHeadBytes - static_cast<size_t>(Connection.In.size())
                          : 0;
  if (Room == 0) {
    Process(Connection);
    return;
  }
  const ssize_t Got = recv(Connection.Fd, Buffer, std::min(sizeof Buffer, Room), MSG_DONTWAIT);
  if (Got < 0) {
    if (errno == EAGAIN || errno == EINTR) return;
    Close(AId);
    return;
  }
  if (Got == 0) {
    // The client has sent all it will; what it sent is still answered.
    Connection.PeerDone = true;
    Connection.CloseAfter = true;
    Reading(Connection, false);
  } else {
    Connection.In.append(Buffer, Got);
  }
  Process(Connection);
}

void TControlServer::Process(TConnection& AConnection) {
  const uint64_t Id = AConnection.Id;
  while (AConnection.State == TState::Reading) {
    if (AConnection.BodyLeft > 0) {
      const qsizetype Passed =
          static_cast<qsizetype>(std::min<int64_t>(AConnection.BodyLeft, AConnection.In.size()));
      AConnection.In.remove(0, Passed);
      AConnection.BodyLeft -= Passed;
      if (AConnection.BodyLeft > 0) {
        if (AConnection.PeerDone) Close(Id);
        return;
      }
    }
    if (AConnection.HasRequest) {
      AConnection.HasRequest = false;
      Execute(AConnection, AConnection.Request);
      return;
    }
    const THttpRequestHead Head = ReadHttpRequestHead(AConnection.In, FLimits.MaxHeadBytes);
    if (Head.State == THttpRequestHead::TState::Incomplete) {
      if (AConnection.PeerDone) Close(Id);
      return;
    }
    if (Head.State == THttpRequestHead::TState::Refused) {
      AConnection.CloseAfter = true;
      Refuse(AConnection, Head.Code, Head.Error);
      return;
    }
    AConnection.In.remove(0, Head.Length);
    AConnection.CloseAfter = AConnection.CloseAfter || Head.Close;
    const TControlRequest Request =
        ReadControlRequest(Head.Method, Head.Target, Head.Headers, FToken);
    const bool HasBody = Head.HasTransferEncoding || Head.ContentLength > 0;
    if (Request.Action == TControlRequest::TAction::Refuse) {
      // Without the token nothing more is read: not the body, not the next
      // request.
      if (Request.Code == 401 || HasBody) AConnection.CloseAfter = true;
      AConnection.HeadOnly = Head.Method == "HEAD";
      Refuse(AConnection, Request.Code, Request.Error, Request.HeaderName, Request.HeaderValue);
      return;
    }
    AConnection.HeadOnly = Request.HeadOnly;
    if (Head.HasTransferEncoding) {
      AConnection.CloseAfter = true;
      Refuse(AConnection, 411, "a body goes with Content-Length, and no request here needs one");
      return;
    }
    if (Head.ContentLength > FLimits.MaxBodyBytes) {
      AConnection.CloseAfter = true;
      Refuse(AConnection, 413,
             QString("a body may have %1 bytes at most; no request here needs one")
                 .arg(FLimits.MaxBodyBytes));
      return;
    }
    AConnection.BodyLeft = std::max<int64_t>(Head.ContentLength, 0);
    AConnection.Request = Request;
    AConnection.HasRequest = true;
  }
}

void TControlServer::Execute(TConnection& AConnection, const TControlRequest& ARequest) {
  auto Reply = [&](const QJsonObject& AObject) {
    Respond(AConnection, 200, QJsonDocument(AObject).toJson(QJsonDocument::Compact));
  };
  auto Done = [&](TRotation::TRequest AResult, const char* AOnDone) {
    switch (AResult) {
      case TRotation::TRequest::Done:
        Reply(QJsonObject{{"result", AOnDone}});
        break;
      case TRotation::TRequest::Already:
        Reply(QJsonObject{{"result", "already rotating"}});
        break;
      case TRotation::TRequest::Busy:
        Refuse(AConnection, 409, "the rotation has not started yet");
        break;
      case TRotation::TRequest::Paused:
        Refuse(AConnection, 409, "the rotation is paused; resume it first");
        break;
      case TRotation::TRequest::Stopped:
        Refuse(AConnection, 503, "the service is stopping");
        break;
      case TRotation::TRequest::OutsideSchedule:
        Refuse(AConnection, 409,
               "outside the schedule's windows the line stays down (outside-schedule = down)");
        break;
    }
  };
  switch (ARequest.Action) {
    case TControlRequest::TAction::Refuse:
      Refuse(AConnection, ARequest.Code, ARequest.Error);
      break;
    case TControlRequest::TAction::Status: {
      Reply(StatusJson(FRotation.Status(), FRotation.WallClock()));
      break;
    }
    case TControlRequest::TAction::Metrics: {
      const std::string Page =
          MetricsPage(FRotation.Status(), FRotation.Metrics(), FRotation.WallClock());
      Respond(AConnection, 200, QByteArray::fromStdString(Page), {}, {}, MetricsType);
      break;
    }
    case TControlRequest::TAction::Rotate:
      Done(FRotation.RotateNow(), "rotating");
      break;
    case TControlRequest::TAction::Pause:
      Done(FRotation.Pause(), "paused");
      break;
    case TControlRequest::TAction::Resume:
      Done(FRotation.Resume(), "resumed");
      break;
    case TControlRequest::TAction::History:
      AConnection.State = TState::Waiting;
      Reading(AConnection, false);
      FWaitingPages.push_back({AConnection.Id, ARequest});
      PumpHistory();
      break;
  }
}

void TControlServer::PumpHistory() {
  while (!FReaderBusy && !FWaitingPages.empty() && FQueuedBytes < FLimits.MaxQueuedBytes) {
    const TWaitingPage Page = FWaitingPages.front();
    FWaitingPages.pop_front();
    if (FConnections.count(Page.Id) == 0) continue;
    FReaderBusy = true;
    const uint64_t Id = Page.Id;
    FReader->Query(Page.Request.Since, Page.Request.AfterId, static_cast<int>(Page.Request.Limit),
                   Page.Request.Latest, [this, Id](int ACode, QByteArray ABody) {
                     FReaderBusy = false;
                     const auto Found = FConnections.find(Id);
                     if (Found != FConnections.end()) Respond(*Found->second, ACode, ABody);
                     PumpHistory();
                   });
  }
}

void TControlServer::Refuse(TConnection& AConnection, int ACode, const QString& AError,
                            const QByteArray& AHeaderName, const QByteArray& AHeaderValue) {
  Respond(AConnection, ACode, ErrorBody(AError), AHeaderName, AHeaderValue);
}

void TControlServer::Respond(TConnection& AConnection, int ACode, const QByteArray& ABody,
                             const QByteArray& AHeaderName, const QByteArray& AHeaderValue,
                             const QByteArray& AContentType) {
  AConnection.Out = Answer(ACode, ABody, AConnection.HeadOnly, AConnection.CloseAfter, AHeaderName,
                           AHeaderValue, AContentType);
  AConnection.Sent = 0;
  FQueuedBytes += static_cast<size_t>(AConnection.Out.size());
  AConnection.State = TState::Writing;
  AConnection.Since = Now();
  Reading(AConnection, false);
  Flush(AConnection);
}

void TControlServer::Writable(uint64_t AId) {
  const auto Found = FConnections.find(AId);
  if (Found != FConnections.end()) Flush(*Found->second);
}

void TControlServer::Flush(TConnection& AConnection) {
  const uint64_t Id = AConnection.Id;
  while (AConnection.Sent < AConnection.Out.size()) {
    const ssize_t Put = send(AConnection.Fd, AConnection.Out.constData() + AConnection.Sent,
                             static_cast<size_t>(AConnection.Out.size() - AConnection.Sent),
                             MSG_NOSIGNAL | MSG_DONTWAIT);
    if (Put < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        Watch(AConnection, AConnection.WatchRead, true);
        return;
      }
      Close(Id);
      return;
    }
    AConnection.Sent += Put;
    FQueuedBytes -= static_cast<size_t>(Put);
    AConnection.Since = Now();
  }
  Watch(AConnection, AConnection.WatchRead, false);
  AConnection.Out.clear();
  AConnection.Sent = 0;
  if (AConnection.CloseAfter) {
    shutdown(AConnection.Fd, SHUT_WR);
    if (AConnection.PeerDone) {
      Close(Id);
    } else {
      AConnection.State = TState::Lingering;
      AConnection.In.clear();
      Watch(AConnection, true, false);
    }
  } else {
    AConnection.State = TState::Reading;
    AConnection.HeadOnly = false;
    Reading(AConnection, true);
    // A request sent behind the one answered is read now.
    Process(AConnection);
  }
  PumpHistory();
}

void TControlServer::Close(uint64_t AId) {
  const auto Found = FConnections.find(AId);
  if (Found == FConnections.end()) return;
  TConnection& Connection = *Found->second;
  FQueuedBytes -= static_cast<size_t>(Connection.Out.size() - Connection.Sent);
  if (!Connection.Client.empty() && --FPerClient[Connection.Client] <= 0)
    FPerClient.erase(Connection.Client);
  close(Connection.Fd);
  FConnections.erase(Found);
  if (!Accepting() && FEpoll >= 0 && Connections() < FLimits.MaxConnections) {
    FOutOfDescriptors = false;
    SetAccepting(true);
  }
}

void TControlServer::Tick() {
  const uint64_t Time = Now();
  const uint64_t Idle = static_cast<uint64_t>(FLimits.IdleSeconds) * 1000;
  const uint64_t Linger = static_cast<uint64_t>(FLimits.LingerSeconds) * 1000;
  std::vector<uint64_t> Ending;
  for (const auto& [Id, Connection] : FConnections) {
    const uint64_t Passed = Time - Connection->Since;
    if ((Connection->State == TState::Reading && Passed >= Idle) ||
        (Connection->State == TState::Writing && Passed >= Idle) ||
        (Connection->State == TState::Lingering && Passed >= Linger))
      Ending.push_back(Id);
  }
  for (const uint64_t Id : Ending) Close(Id);
  if (FOutOfDescriptors && !Accepting()) {
    FOutOfDescriptors = false;
    SetAccepting(true);
  }
  if (FConnections.empty()) FTick->SetEnabled(false);
}
