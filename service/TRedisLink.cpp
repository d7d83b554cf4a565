#include "TRedisLink.h"

#include <hiredis/async.h>
#include <hiredis/hiredis.h>

#include <QDateTime>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>

#include "TServiceLog.h"

namespace {

qint64 NowMs() { return QDateTime::currentMSecsSinceEpoch(); }

// A reply's text as a log line may carry it.
std::string ReplyText(const redisReply* AReply) {
  if (AReply == nullptr) return "no reply";
  std::string Text(AReply->str != nullptr ? AReply->str : "",
                   AReply->str != nullptr ? AReply->len : 0);
  if (Text.size() > 200) Text.resize(200);
  return Text;
}

}  // namespace

std::string RedisPlace(const TFleetConfig& AConfig) {
  return AConfig.Socket.empty() ? AConfig.Host + ":" + std::to_string(AConfig.Port)
                                : AConfig.Socket;
}

TRedisLink::TRedisLink(const TFleetConfig& AConfig, TServiceLog& ALog, const std::string& AName,
                       QObject* AParent)
    : QObject(AParent), FConfig(AConfig), FLog(ALog), FName(AName) {
  FRetry = new QTimer(this);
  FRetry->setSingleShot(true);
  connect(FRetry, &QTimer::timeout, this, [this] { Connect(); });
  FWatch = new QTimer(this);
  FWatch->setInterval(100);
  connect(FWatch, &QTimer::timeout, this, [this] { Watch(); });
}

TRedisLink::~TRedisLink() {
  FRetry->stop();
  FWatch->stop();
  if (FContext != nullptr) {
    redisAsyncContext* Context = FContext;
    FContext = nullptr;
    Context->data = nullptr;
    redisAsyncFree(Context);
  }
  for (TPending* Pending : FPending) delete Pending;
}

void TRedisLink::Start() {
  FWatch->start();
  Connect();
}

void TRedisLink::Connect() {
  FReady = false;
  redisAsyncContext* Context = FConfig.Socket.empty()
                                   ? redisAsyncConnect(FConfig.Host.c_str(), FConfig.Port)
                                   : redisAsyncConnectUnix(FConfig.Socket.c_str());
  if (Context == nullptr) {
    Lost("cannot make a connection");
    return;
  }
  if (Context->err != 0) {
    const std::string Why = Context->errstr;
    redisAsyncFree(Context);
    Lost(Why);
    return;
  }
  FContext = Context;
  Context->data = this;
  Context->ev.data = this;
  Context->ev.addRead = &TRedisLink::AddRead;
  Context->ev.delRead = &TRedisLink::DelRead;
  Context->ev.addWrite = &TRedisLink::AddWrite;
  Context->ev.delWrite = &TRedisLink::DelWrite;
  Context->ev.cleanup = &TRedisLink::Cleanup;
  redisAsyncSetConnectCallback(Context, &TRedisLink::Connected);
  redisAsyncSetDisconnectCallback(Context, &TRedisLink::Disconnected);
  FConnecting = true;
  FConnectStartMs = NowMs();
  // A Unix socket connects at once; the callback comes with the first write.
  AddWrite(this);
}

void TRedisLink::Connected(const redisAsyncContext* AContext, int AStatus) {
  auto* Link = static_cast<TRedisLink*>(AContext->data);
  if (Link == nullptr) return;
  Link->FConnecting = false;
  if (AStatus != REDIS_OK) {
    // hiredis frees the context after this call.
    const std::string Why = AContext->errstr;
    Link->FContext = nullptr;
    Link->Cleanup(Link);
    QTimer::singleShot(0, Link, [Link, Why] { Link->Lost(Why); });
    return;
  }
  Link->Handshake();
}

void TRedisLink::Disconnected(const redisAsyncContext* AContext, int) {
  auto* Link = static_cast<TRedisLink*>(AContext->data);
  if (Link == nullptr || Link->FContext != AContext) return;
  const std::string Why = AContext->err != 0 ? AContext->errstr : "the connection was closed";
  Link->FContext = nullptr;
  Link->Cleanup(Link);
  QTimer::singleShot(0, Link, [Link, Why] { Link->Lost(Why); });
}

void TRedisLink::Handshake() {
  std::vector<std::vector<std::string>> Steps;
  if (!FConfig.Password.empty()) {
    if (FConfig.User.empty()) {
      Steps.push_back({"AUTH", FConfig.Password});
    } else {
      Steps.push_back({"AUTH", FConfig.User, FConfig.Password});
    }
  }
  if (FConfig.Database != 0) Steps.push_back({"SELECT", std::to_string(FConfig.Database)});
  Steps.push_back({"PING"});
  auto Failed = std::make_shared<bool>(false);
  for (size_t I = 0; I < Steps.size(); ++I) {
    const bool Last = I + 1 == Steps.size();
    const std::string What = Steps[I][0];
    auto* Pending = new TPending{this, nullptr, NowMs()};
    Pending->Done = [this, Last, What, Failed](redisReply* AReply) {
      if (*Failed || AReply == nullptr) return;
      if (AReply->type == REDIS_REPLY_ERROR) {
        *Failed = true;
        const std::string Text = ReplyText(AReply);
        const std::string Why = What == "AUTH" ? "Redis refused the password: " + Text
                                               : "Redis refused " + What + ": " + Text;
        QTimer::singleShot(0, this, [this, Why] { Lost(Why); });
        return;
      }
      if (!Last) return;
      FReady = true;
      FWaitMs = 500;
      if (FOutageSinceMs >= 0) {
        FLog.Info("fleet: Redis at " + RedisPlace(FConfig) + " reached again after " +
                  std::to_string((NowMs() - FOutageSinceMs + 500) / 1000) + " s (" + FName + ")");
        FOutageSinceMs = -1;
      }
      if (!FChannels.empty()) {
        std::vector<std::string> Args{"SUBSCRIBE"};
        Args.insert(Args.end(), FChannels.begin(), FChannels.end());
        Send(Args, &TRedisLink::SubscribedMessage, this);
      }
      if (OnReady) OnReady();
    };
    FPending.push_back(Pending);
    if (!Send(Steps[I], &TRedisLink::Replied, Pending)) {
      FPending.pop_back();
      delete Pending;
      return;
    }
  }
}

bool TRedisLink::Send(const std::vector<std::string>& AArgs,
                      void (*AFn)(redisAsyncContext*, void*, void*), void* APrivate) {
  if (FContext == nullptr) return false;
  std::vector<const char*> Argv;
  std::vector<size_t> Lengths;
  for (const std::string& Arg : AArgs) {
    Argv.push_back(Arg.data());
    Lengths.push_back(Arg.size());
  }
  return redisAsyncCommandArgv(FContext, AFn, APrivate, static_cast<int>(Argv.size()), Argv.data(),
                               Lengths.data()) == REDIS_OK;
}

bool TRedisLink::Command(const std::vector<std::string>& AArgs, TDone ADone) {
  if (!FReady || FContext == nullptr ||
      (FContext->c.flags & (REDIS_DISCONNECTING | REDIS_FREEING)) != 0)
    return false;
  auto* Pending = new TPending{this, std::move(ADone), NowMs()};
  FPending.push_back(Pending);
  if (!Send(AArgs, &TRedisLink::Replied, Pending)) {
    FPending.pop_back();
    delete Pending;
    return false;
  }
  return true;
}

void TRedisLink::Subscribe(const std::vector<std::string>& AChannels,
                           std::function<void(const std::string&, const std::string&)> AMessage) {
  FChannels = AChannels;
  FMessage = std::move(AMessage);
}

void TRedisLink::Replied(redisAsyncContext*, void* AReply, void* APrivate) {
  auto* Pending = static_cast<TPending*>(APrivate);
  TRedisLink* Link = Pending->Link;
  auto Found = std::find(Link->FPending.begin(), Link->FPending.end(), Pending);
  if (Found != Link->FPending.end()) Link->FPending.erase(Found);
  TDone Done = std::move(Pending->Done);
  delete Pending;
  if (Done) Done(static_cast<redisReply*>(AReply));
}

void TRedisLink::SubscribedMessage(redisAsyncContext* AContext, void* AReply, void*) {
  auto* Link = static_cast<TRedisLink*>(AContext->data);
  const auto* Reply = static_cast<const redisReply*>(AReply);
  if (Link == nullptr || Reply == nullptr || Reply->type != REDIS_REPLY_ARRAY ||
      Reply->elements != 3)
    return;
  const redisReply* Kind = Reply->element[0];
  if (Kind->type != REDIS_REPLY_STRING || std::string(Kind->str, Kind->len) != "message") return;
  const redisReply* Channel = Reply->element[1];
  const redisReply* Text = Reply->element[2];
  if (Channel->type != REDIS_REPLY_STRING || Text->type != REDIS_REPLY_STRING || Text->len > 1024)
    return;
  if (Link->FMessage)
    Link->FMessage(std::string(Channel->str, Channel->len), std::string(Text->str, Text->len));
}

void TRedisLink::Watch() {
  const qint64 Now = NowMs();
  if (FConnecting && Now - FConnectStartMs > CommandLimitMs) {
    Lost("no connection within " + std::to_string(CommandLimitMs) + " ms");
  } else if (!FPending.empty() && Now - FPending.front()->SentMs > CommandLimitMs) {
    Lost("no reply within " + std::to_string(CommandLimitMs) + " ms");
  }
}

void TRedisLink::Lost(const std::string& AWhy) {
  FReady = false;
  FConnecting = false;
  if (FContext != nullptr) {
    redisAsyncContext* Context = FContext;
    FContext = nullptr;
    Context->data = nullptr;
    // Calls every pending command's callback with no reply.
    redisAsyncFree(Context);
  }
  std::deque<TPending*> Pending;
  Pending.swap(FPending);
  for (TPending* Each : Pending) {
    TDone Done = std::move(Each->Done);
    delete Each;
    if (Done) Done(nullptr);
  }
  if (FOutageSinceMs < 0) {
    FOutageSinceMs = NowMs();
    FLog.Warning("fleet: Redis at " + RedisPlace(FConfig) + " unreachable (" + FName +
                 "): " + AWhy + "; trying again with waits growing to " +
                 std::to_string(LongestWaitMs / 1000) + " s");
  }
  if (FRetry->isActive()) return;
  FRetry->start(FWaitMs);
  FWaitMs = std::min(FWaitMs * 2, LongestWaitMs);
}

void TRedisLink::AddRead(void* AData) {
  auto* Link = static_cast<TRedisLink*>(AData);
  if (Link->FRead != nullptr || Link->FContext == nullptr) return;
  Link->FRead = new QSocketNotifier(Link->FContext->c.fd, QSocketNotifier::Read, Link);
  connect(Link->FRead, &QSocketNotifier::activated, Link, [Link] {
    if (Link->FContext != nullptr) redisAsyncHandleRead(Link->FContext);
  });
}

void TRedisLink::DelRead(void* AData) {
  auto* Link = static_cast<TRedisLink*>(AData);
  // Called from within the notifier's own signal at times.
  if (Link->FRead == nullptr) return;
  Link->FRead->setEnabled(false);
  Link->FRead->deleteLater();
  Link->FRead = nullptr;
}

void TRedisLink::AddWrite(void* AData) {
  auto* Link = static_cast<TRedisLink*>(AData);
  if (Link->FWrite != nullptr || Link->FContext == nullptr) return;
  Link->FWrite = new QSocketNotifier(Link->FContext->c.fd, QSocketNotifier::Write, Link);
  connect(Link->FWrite, &QSocketNotifier::activated, Link, [Link] {
    if (Link->FContext != nullptr) redisAsyncHandleWrite(Link->FContext);
  });
}

void TRedisLink::DelWrite(void* AData) {
  auto* Link = static_cast<TRedisLink*>(AData);
  if (Link->FWrite == nullptr) return;
  Link->FWrite->setEnabled(false);
  Link->FWrite->deleteLater();
  Link->FWrite = nullptr;
}

void TRedisLink::Cleanup(void* AData) {
  DelRead(AData);
  DelWrite(AData);
}
