#pragma once

// Real connections through NetworkManager, over the system bus (sd-bus).
//
// One thread of the provider's own owns the bus connection, its signal
// subscriptions and a cache of the listed profiles and their active
// connections, kept current by NetworkManager's signals. Listing, status
// and projection answer from the cache; credentials, dial and hang-up are
// handed to that thread, and dial notifications come from it. When
// NetworkManager is not on the bus every call fails at once with
// ERROR_RASMAN_CANNOT_INITIALIZE; when it comes back (restarted) the cache
// is built again.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "NmBus.h"
#include "RasProvider.h"
#include "TNmCache.h"

namespace dravik::ras::nm {

class TNmProvider : public RasProvider {
 public:
  // A dial that makes no progress for this long ends with
  // ERROR_REQUEST_TIMEOUT (DRAVIK_NM_DIAL_TIMEOUT, in seconds, changes it).
  static constexpr int DefaultDialTimeoutSeconds = 60;

  TNmProvider(const std::string& AConfigFile, std::string& AProblem);
  ~TNmProvider() override;

  std::string Name() const override { return "networkmanager"; }
  DWORD EnumEntries(std::vector<std::string>& AEntries) override;
  DWORD GetEntryDialParams(RASDIALPARAMSA& AParams) override;
  DWORD Dial(const RASDIALPARAMSA& AParams, TDialNotifier ANotifier, HRASCONN& AHandle) override;
  DWORD HangUp(HRASCONN AHandle) override;
  DWORD EnumConnections(std::vector<RASCONNA>& AConnections) override;
  DWORD GetConnectStatus(HRASCONN AHandle, RASCONNSTATUSA& AStatus) override;
  DWORD GetPppIpProjection(HRASCONN AHandle, RASPPPIPA& AProjection) override;
  // From the active connection's IP6Config: NetworkManager does not
  // publish a prefix delegated to the line, so the prefix is the address's
  // on-link one.
  DWORD GetIpv6Info(HRASCONN AHandle, std::string& AAddress, std::string& APrefix) override;

  // Warns of a profile that NetworkManager brings up by itself.
  std::string EntryWarning(const std::string& AEntryName) override;
  DWORD WatchChanges() override;
  // Names the polkit permission a refused request needs.
  std::string ErrorAdvice(DWORD AError) const override;

 private:
  struct TSyncDial;
  struct TDialWatch {
    std::string ActivePath;
    std::vector<std::string> Devices;
    RASCONNSTATE Reached = RASCS_OpenPort;
    uint32_t DeviceReason = 0;
    bool HangUpAsked = false;
    // Set when the active connection ended without a device's reason yet:
    // the device's failure, signalled just after, says more.
    int64_t EndingNs = 0;
    DWORD EndingCode = 0;
    bool Done = false;
    int64_t StartNs = 0;
    int64_t DeadlineNs = 0;
    TDialNotifier Notifier;
    std::shared_ptr<TSyncDial> Sync;
  };

  // Runs AJob on the bus thread and returns its result; at once when called
  // from that thread (a notifier that hangs up).
  DWORD RunOnBusThread(std::function<DWORD()> AJob);
  void BusThread();
  void Connect();
  void Disconnected();
  void ProcessBus();
  void HandleSignal(sd_bus_message* AMessage);
  static int OnSignal(sd_bus_message* AMessage, void* AUserData, sd_bus_error* AError);
  void RefreshProfiles();
  void RefreshActives();
  bool ReadActive(const std::string& APath, TNmActive& AActive);

  DWORD DialOnBusThread(const RASDIALPARAMSA& AParams, TDialNotifier ANotifier,
                        std::shared_ptr<TSyncDial> ASync, HRASCONN& AHandle);
  DWORD ReadPassword(const TNmProfile& AProfile, std::string& APassword, bool& AReadable);
  void Advance(TDialWatch& ADial, RASCONNSTATE AState);
  void Finish(TDialWatch& ADial, DWORD ACode);
  void CheckDeadlines();
  // The code of the failure of a device of the dial since it started (of
  // any device while its devices are not known: a dial that failed before
  // they could be read); 0 when there is none.
  DWORD DeviceFailureOf(const TDialWatch& ADial) const;
  void Deliver();

  std::vector<std::string> FTypes;
  int64_t FDialTimeoutNs;

  // Read by every thread under FCacheLock; written by the bus thread only.
  mutable std::mutex FCacheLock;
  TNmCache FCache;
  bool FReady = false;
  std::condition_variable FReadyChanged;

  // Jobs for the bus thread; FWake wakes it.
  std::mutex FJobLock;
  std::deque<std::function<void(bool)>> FJobs;
  bool FStopping = false;
  int FWake = -1;

  // Owned by the bus thread.
  TBus FBus;
  sd_bus_slot* FSignalSlot = nullptr;
  sd_bus_slot* FOwnerSlot = nullptr;
  // The unique bus name of NetworkManager now; signals from others are not
  // heeded.
  std::string FNmOwner;
  // Connections hung up that NetworkManager still lists while it takes them
  // down.
  std::set<std::string> FHungUp;
  bool FProfilesDirty = false;
  bool FActivesDirty = false;
  int64_t FNextConnectNs = 0;
  std::list<TDialWatch> FDials;
  struct TDeviceFailure {
    uint32_t Reason;
    int64_t AtNs;
  };
  // The last failure of each device, for dials that learn their end from
  // the active connection first.
  std::map<std::string, TDeviceFailure> FDeviceFailures;
  std::vector<std::function<void()>> FPending;

  std::thread FThread;
  // The bus thread's id, set by itself: calls made from it run at once.
  std::atomic<std::thread::id> FBusThreadId{};
  bool OnBusThread() const { return std::this_thread::get_id() == FBusThreadId.load(); }
};

}  // namespace dravik::ras::nm
