#pragma once

// A dial-up provider whose every answer a test sets beforehand, for the cases
// the simulated service cannot stage: failing listings, status and projection
// calls, more connections than a buffer holds, scripted dial notifications.

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "RasProvider.h"

class TScriptedRasProvider : public dravik::ras::RasProvider {
 public:
  struct TEntry {
    std::string Name;
    std::string UserName;
    std::string Password;
  };
  struct TStatus {
    RASCONNSTATE State = RASCS_Connected;
    DWORD Error = 0;
  };
  // Message number, state, error code.
  using TNotification = std::tuple<UINT, RASCONNSTATE, DWORD>;

  ~TScriptedRasProvider() override;

  // The phonebook, in listing order, and its answers.
  std::vector<TEntry> Entries;
  DWORD EnumEntriesResult = 0;
  // Listed connections, in listing order.
  std::vector<RASCONNA> Connections;
  DWORD EnumConnectionsResult = 0;
  // Status of a handle; a handle without one is connected without error.
  std::map<HRASCONN, TStatus> Statuses;
  DWORD StatusResult = 0;
  DWORD ProjectionResult = 0;

  // What the next dials do: the code they return, whether the entry is
  // listed as connected afterwards, and the notifications sent from a thread
  // of the provider's own when a notifier is given.
  DWORD DialResult = 0;
  bool DialConnects = true;
  std::vector<TNotification> DialNotifications;
  HRASCONN NextHandle = 100;

  // What the component asked for.
  int EntryLookups = 0;
  std::vector<std::string> Dialled;
  std::vector<HRASCONN> HungUp;

  // Lists a connection; its addresses are 10.0.<handle>.1 and 10.255.0.1.
  void AddConnection(const std::string& AEntryName, HRASCONN AHandle);
  // Lists ACount connections under their own names, handles 1 to ACount.
  void SetConnectionCount(int ACount);
  // Waits until the last dial's notifications have all been sent.
  void JoinNotifier();

  std::string Name() const override { return "scripted"; }
  DWORD EnumEntries(std::vector<std::string>& AEntries) override;
  DWORD GetEntryDialParams(RASDIALPARAMSA& AParams) override;
  DWORD Dial(const RASDIALPARAMSA& AParams, dravik::ras::TDialNotifier ANotifier,
             HRASCONN& AHandle) override;
  DWORD HangUp(HRASCONN AHandle) override;
  DWORD EnumConnections(std::vector<RASCONNA>& AConnections) override;
  DWORD GetConnectStatus(HRASCONN AHandle, RASCONNSTATUSA& AStatus) override;
  DWORD GetPppIpProjection(HRASCONN AHandle, RASPPPIPA& AProjection) override;

 private:
  std::thread FNotifier;
};
