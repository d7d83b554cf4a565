#pragma once

// This node in the fleet's Redis: its registry entry, heartbeat, events and
// history after each new address; its slot and leaving before each hang-up
// (through TFleetGate); the fleet's control channels. Redis being away
// never holds the rotation up: commands have time limits, the state is
// published again when Redis is back.

#include <QObject>
#include <functional>
#include <string>

#include "TFleetConfig.h"
#include "TFleetGate.h"
#include "TRotation.h"

class QTimer;
class TRedisLink;
class TServiceLog;

class TFleetNode : public QObject {
 public:
  TFleetNode(const TFleetConfig& AConfig, int AOnlineSeconds, int AOfflineSeconds,
             TServiceLog& ALog, QObject* AParent = nullptr);

  // Hooks the node into the rotation and connects to Redis.
  void Start(TRotation& ARotation);

  // The heartbeat key's time to live: a little over the online time.
  int HeartbeatSeconds() const { return FOnlineSeconds + 5; }
  // A slot's lifetime: renewed at every heartbeat while the node holds it,
  // so that a node that died frees it within this time.
  static constexpr int SlotSeconds = 10;

 private:
  void Settled(const TRotation::TStatus& AStatus);
  void Publish(bool AEvent);
  void Leave();
  void AskSlot();
  void Beat();
  void Control(const std::string& AText);
  std::string Key(const std::string& AName) const { return FConfig.Prefix + ":" + AName; }

  TFleetConfig FConfig;
  int FOnlineSeconds;
  int FOfflineSeconds;
  TServiceLog& FLog;
  TFleetGate FGate;
  TRotation* FRotation = nullptr;
  TRedisLink* FLink = nullptr;
  TRedisLink* FControl = nullptr;
  QTimer* FBeat = nullptr;
  bool FListed = false;  // in the registry, as far as this node knows
  std::string FEntry;    // the registry entry's JSON
  uint64_t FTurn = 0;
};
