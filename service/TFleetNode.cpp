#include "TFleetNode.h"

#include <hiredis/hiredis.h>

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include "TRedisLink.h"
#include "TServiceLog.h"

namespace {

// Takes a free slot (or renews the one this node holds) among ARGV[3]:
// 1..N, or 0 when all are taken. Keys expire on their own.
const char* TakeSlot = R"(
for i = 1, tonumber(ARGV[3]) do
  local k = ARGV[1] .. ':slot:' .. i
  if redis.call('GET', k) == ARGV[2] then
    redis.call('EXPIRE', k, ARGV[4])
    return i
  end
end
for i = 1, tonumber(ARGV[3]) do
  if redis.call('SET', ARGV[1] .. ':slot:' .. i, ARGV[2], 'NX', 'EX', ARGV[4]) then return i end
end
return 0)";

const char* ReleaseSlot = R"(
for i = 1, tonumber(ARGV[3]) do
  local k = ARGV[1] .. ':slot:' .. i
  if redis.call('GET', k) == ARGV[2] then redis.call('DEL', k) end
end
return 0)";

// Drops from the registry every node whose heartbeat has expired.
const char* Sweep = R"(
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
  if (FConfig.MaxOffline > 0)
    FLink->Command({"EVAL", ReleaseSlot, "0", FConfig.Prefix, FConfig.Node,
                    std::to_string(FConfig.MaxOffline)});
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
