#include "TScriptedRasProvider.h"

#include <cstdio>
#include <cstring>

TScriptedRasProvider::~TScriptedRasProvider() { JoinNotifier(); }

void TScriptedRasProvider::AddConnection(const std::string& AEntryName, HRASCONN AHandle) {
  RASCONNA Connection;
  std::memset(&Connection, 0, sizeof(Connection));
  Connection.dwSize = sizeof(RASCONNA);
  Connection.hrasconn = AHandle;
  std::strncpy(Connection.szEntryName, AEntryName.c_str(), RAS_MaxEntryName);
  std::strcpy(Connection.szDeviceType, "PPPoE");
  std::snprintf(Connection.szDeviceName, sizeof(Connection.szDeviceName), "eth%u", AHandle);
  Connections.push_back(Connection);
}

void TScriptedRasProvider::SetConnectionCount(int ACount) {
  Connections.clear();
  for (int I = 1; I <= ACount; ++I)
    AddConnection("Line " + std::to_string(I), static_cast<HRASCONN>(I));
}

void TScriptedRasProvider::JoinNotifier() {
  if (FNotifier.joinable()) FNotifier.join();
}

DWORD TScriptedRasProvider::EnumEntries(std::vector<std::string>& AEntries) {
  if (EnumEntriesResult != 0) return EnumEntriesResult;
  for (const TEntry& Entry : Entries) AEntries.push_back(Entry.Name);
  return 0;
}

DWORD TScriptedRasProvider::GetEntryDialParams(RASDIALPARAMSA& AParams) {
  ++EntryLookups;
  for (const TEntry& Entry : Entries) {
    if (Entry.Name != AParams.szEntryName) continue;
    std::strncpy(AParams.szUserName, Entry.UserName.c_str(), UNLEN);
    std::strncpy(AParams.szPassword, Entry.Password.c_str(), PWLEN);
    return 0;
  }
  return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
}

DWORD TScriptedRasProvider::Dial(const RASDIALPARAMSA& AParams,
                                 dravik::ras::TDialNotifier ANotifier, HRASCONN& AHandle) {
  Dialled.push_back(AParams.szEntryName);
  AHandle = NextHandle++;
  if (DialConnects) AddConnection(AParams.szEntryName, AHandle);
  if (ANotifier) {
    JoinNotifier();
    FNotifier = std::thread([Notifier = std::move(ANotifier), Script = DialNotifications] {
      for (const auto& [Msg, State, Error] : Script) Notifier(Msg, State, Error);
    });
  }
  return DialResult;
}

DWORD TScriptedRasProvider::HangUp(HRASCONN AHandle) {
  HungUp.push_back(AHandle);
  for (auto It = Connections.begin(); It != Connections.end(); ++It) {
    if (It->hrasconn != AHandle) continue;
    Connections.erase(It);
    return 0;
  }
  return ERROR_INVALID_HANDLE;
}

DWORD TScriptedRasProvider::EnumConnections(std::vector<RASCONNA>& AConnections) {
  if (EnumConnectionsResult != 0) return EnumConnectionsResult;
  AConnections = Connections;
  return 0;
}

DWORD TScriptedRasProvider::GetConnectStatus(HRASCONN AHandle, RASCONNSTATUSA& AStatus) {
  if (StatusResult != 0) return StatusResult;
  const auto Found = Statuses.find(AHandle);
  const TStatus Status = Found == Statuses.end() ? TStatus{} : Found->second;
  AStatus.rasconnstate = Status.State;
  AStatus.dwError = Status.Error;
  return 0;
}

DWORD TScriptedRasProvider::GetPppIpProjection(HRASCONN AHandle, RASPPPIPA& AProjection) {
  if (ProjectionResult != 0) return ProjectionResult;
  std::snprintf(AProjection.szIpAddress, sizeof(AProjection.szIpAddress), "10.0.%u.1",
                AHandle % 256);
  std::strcpy(AProjection.szServerIpAddress, "10.255.0.1");
  return 0;
}
