#include "TFleetNode.h"

#include <hiredis/hiredis.h>

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include "TRedisLink.h"
#include "TServiceLog.h"

namespace {

// Slots are the members of a sorted set scored by when they lapse: expired
// ones are dropped first, then this node's is renewed or, with fewer than
// ARGV[3] held, added. 1: the node holds a slot; 0: none is free.
const char* TakeSlot = R"(
local key = ARGV[1] .. ':slots'
local t = redis.call('TIME')
local now = tonumber(t[1]) * 1000 + math.floor(tonumber(t[2]) / 1000)
redis.call('ZREMRANGEBYSCORE', key, '-inf', now)
local lapse = now + tonumber(ARGV[4]) * 1000
if redis.call('ZSCORE', key, ARGV[2]) or redis.call('ZCARD', key) < tonumber(ARGV[3]) then
  redis.call('ZADD', key, lapse, ARGV[2])
  redis.call('PEXPIRE', key, tonumber(ARGV[4]) * 1000)
  return 1
end
return 0)";

// Drops from the registry every node whose heartbeat has expired; one node
// of the fleet a second does it, whichever comes first.
const char* Sweep = R"(
if not redis.call('SET', ARGV[1] .. ':sweep', '1', 'NX', 'PX', '1000') then return 0 end
local gone = 0
for _, n in ipairs(redis.call('HKEYS', ARGV[1] .. ':nodes')) do
  if redis.call('EXISTS', ARGV[1] .. ':node:' .. n) == 0 then
    redis.call('HDEL', ARGV[1] .. ':nodes', n)
    gone = gone + 1
  end
end
return gone)";

std::string Replaced(std::string AText, const std::string& AAddress) {
  const std::string Mark = "{address}";
  for (size_t At = AText.find(Mark); At != std::string::npos;
       At = AText.find(Mark, At + AAddress.size()))
    AText.replace(At, Mark.size(), AAddress);
  return AText;
}

std::string JsonText(const QJsonObject& AObject) {
  return QJsonDocument(AObject).toJson(QJsonDocument::Compact).toStdString();
}

}  // namespace

TFleetNode::TFleetNode(const TFleetConfig& AConfig, int AOnlineSeconds, int AOfflineSeconds,
                       TServiceLog& ALog, QObject* AParent)
    : QObject(AParent),
      FConfig(AConfig),
      FOnlineSeconds(AOnlineSeconds),
      FOfflineSeconds(AOfflineSeconds),
      FLog(ALog),
      FGate(AConfig.MaxOffline, AConfig.DrainSeconds, ALog) {
  FLink = new TRedisLink(FConfig, FLog, "commands", this);
  FControl = new TRedisLink(FConfig, FLog, "control", this);
  FBeat = new QTimer(this);
  FBeat->setInterval(2000);
  connect(FBeat, &QTimer::timeout, this, [this] { Beat(); });
  FGate.AskSlot = [this] { AskSlot(); };
  FGate.Leave = [this] { Leave(); };
}

void TFleetNode::Start(TRotation& ARotation) {
  FRotation = &ARotation;
  ARotation.BeforeHangUp = [this](std::string& AWaitingFor) {
    return FGate.BeforeHangUp(AWaitingFor);
  };
  ARotation.OnSettled = [this](const TRotation::TStatus& AStatus) { Settled(AStatus); };
  // Back after an outage: the registry learns this node's state again.
  FLink->OnReady = [this] {
    if (FListed) Publish(false);
  };
  FControl->Subscribe({Key("control"), Key("control:" + FConfig.Node)},
                      [this](const std::string&, const std::string& AText) { Control(AText); });
  FLink->Start();
  FControl->Start();
  FBeat->start();
}

void TFleetNode::Settled(const TRotation::TStatus& AStatus) {
  ++FTurn;
  const std::string& Shown =
      AStatus.PublicAddress.empty() ? AStatus.Address : AStatus.PublicAddress;
  QJsonObject Entry{{"node", QString::fromStdString(FConfig.Node)},
                    {"entry", QString::fromStdString(AStatus.Entry)},
                    {"address", QString::fromStdString(AStatus.Address)},
                    {"public", QString::fromStdString(AStatus.PublicAddress)},
                    {"proxy", QString::fromStdString(Replaced(FConfig.Proxy, Shown))},
                    {"since", static_cast<qint64>(QDateTime::currentMSecsSinceEpoch())},
                    {"turn", static_cast<qint64>(FTurn)}};
  FEntry = JsonText(Entry);
  FListed = true;
  FGate.Settled();
  Publish(true);
}

void TFleetNode::Publish(bool AEvent) {
  const std::string Heartbeat = std::to_string(HeartbeatSeconds());
  FLink->Command({"HSET", Key("nodes"), FConfig.Node, FEntry});
  FLink->Command({"SET", Key("node:" + FConfig.Node), FEntry, "EX", Heartbeat});
  QJsonObject Event = QJsonDocument::fromJson(QByteArray::fromStdString(FEntry)).object();
  Event.insert("event", AEvent ? "address" : "back");
  FLink->Command({"PUBLISH", Key("events"), JsonText(Event)});
  if (AEvent) {
    const QJsonObject E = Event;
    FLink->Command({"XADD", Key("rotations"), "MAXLEN", "~", "100000", "*", "node", FConfig.Node,
                    "entry", E["entry"].toString().toStdString(), "address",
                    E["address"].toString().toStdString(), "public",
                    E["public"].toString().toStdString(), "proxy",
                    E["proxy"].toString().toStdString(), "turn", std::to_string(FTurn)});
  }
  // After the new address is out: the slot is free for the next node.
  if (FConfig.MaxOffline > 0) FLink->Command({"ZREM", Key("slots"), FConfig.Node});
}

void TFleetNode::Leave() {
  FListed = false;
  FLink->Command({"HDEL", Key("nodes"), FConfig.Node});
  FLink->Command({"DEL", Key("node:" + FConfig.Node)});
  const QJsonObject Event{{"event", "leaving"},
                          {"node", QString::fromStdString(FConfig.Node)},
                          {"time", static_cast<qint64>(QDateTime::currentMSecsSinceEpoch())}};
  FLink->Command({"PUBLISH", Key("events"), JsonText(Event)});
}

void TFleetNode::AskSlot() {
  const bool Sent =
      FLink->Command({"EVAL", TakeSlot, "0", FConfig.Prefix, FConfig.Node,
                      std::to_string(FConfig.MaxOffline), std::to_string(SlotSeconds)},
                     [this](redisReply* AReply) {
                       if (AReply == nullptr || AReply->type != REDIS_REPLY_INTEGER) {
                         FGate.Answered(TFleetGate::TAnswer::NoAnswer);
                       } else {
                         FGate.Answered(AReply->integer > 0 ? TFleetGate::TAnswer::Granted
                                                            : TFleetGate::TAnswer::NoSlot);
                       }
                     });
  if (!Sent) FGate.Answered(TFleetGate::TAnswer::NoAnswer);
}

void TFleetNode::Beat() {
  if (!FLink->Ready()) return;
  if (FListed)
    FLink->Command({"EXPIRE", Key("node:" + FConfig.Node), std::to_string(HeartbeatSeconds())});
  if (FGate.HoldsSlot())
    FLink->Command({"EVAL", TakeSlot, "0", FConfig.Prefix, FConfig.Node,
                    std::to_string(FConfig.MaxOffline), std::to_string(SlotSeconds)});
  FLink->Command({"EVAL", Sweep, "0", FConfig.Prefix});
}

void TFleetNode::Control(const std::string& AText) {
  if (FRotation == nullptr) return;
  if (AText == "rotate") {
    FLog.Info("fleet: rotation requested");
    FRotation->RotateNow();
  } else if (AText == "pause") {
    FRotation->Pause();
  } else if (AText == "resume") {
    FRotation->Resume();
  }
}
