#pragma once

// The moments a line came up, as the dial-up library tells them: a thread of
// its own waits for the library's change notification and notes the wall
// time whenever the entry is seen connected after being seen without a
// connection. A reference for the moments others record.

#include <QDateTime>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Ras.h"
#include "SyncObjects.h"

class TLineWatch {
 public:
  explicit TLineWatch(std::string AEntry) : FEntry(std::move(AEntry)) {
    FChanged = CreateEventA(nullptr, 0, 0, nullptr);
    FStop = CreateEventA(nullptr, 1, 0, nullptr);
    FOk = RasConnectionNotificationA(DRAVIK_ALL_RAS_CONNECTIONS, FChanged,
                                     RASCN_Connection | RASCN_Disconnection) == 0;
    FThread = std::thread([this] { Run(); });
  }
  ~TLineWatch() {
    SetEvent(FStop);
    FThread.join();
    CloseHandle(FChanged);
    CloseHandle(FStop);
  }
  bool Ok() const { return FOk; }
  std::vector<int64_t> ConnectedAt() {
    std::lock_guard<std::mutex> Guard(FLock);
    return FConnectedAt;
  }
  // The wall times at which the entry was first seen without a connected
  // line after being seen connected.
  std::vector<int64_t> DownAt() {
    std::lock_guard<std::mutex> Guard(FLock);
    return FDownAt;
  }

 private:
  bool EntryConnected() const {
    RASCONNA Connections[16];
    std::memset(Connections, 0, sizeof Connections);
    Connections[0].dwSize = sizeof(RASCONNA);
    DWORD Size = sizeof Connections;
    DWORD Count = 0;
    if (RasEnumConnectionsA(Connections, &Size, &Count) != 0) return false;
    for (DWORD I = 0; I < Count; ++I) {
      if (FEntry != Connections[I].szEntryName) continue;
      RASCONNSTATUSA Status;
      std::memset(&Status, 0, sizeof Status);
      Status.dwSize = sizeof Status;
      if (RasGetConnectStatusA(Connections[I].hrasconn, &Status) == 0 &&
          Status.rasconnstate == RASCS_Connected)
        return true;
    }
    return false;
  }
  void Run() {
    bool Up = EntryConnected();
    const HANDLE Handles[2] = {FStop, FChanged};
    while (WaitForMultipleObjects(2, Handles, 0, INFINITE) == WAIT_OBJECT_0 + 1) {
      const bool Now = EntryConnected();
      if (Now != Up) {
        std::lock_guard<std::mutex> Guard(FLock);
        (Now ? FConnectedAt : FDownAt).push_back(QDateTime::currentMSecsSinceEpoch());
      }
      Up = Now;
    }
  }

  std::string FEntry;
  HANDLE FChanged = nullptr;
  HANDLE FStop = nullptr;
  bool FOk = false;
  std::mutex FLock;
  std::vector<int64_t> FConnectedAt;
  std::vector<int64_t> FDownAt;
  std::thread FThread;
};
