#pragma once

// The connection monitor: polls the active dial-up connections on a timer of
// its own and reports the first one coming up, all of them gone, and the
// progress of one on its way up. It binds the dial-up library at run time.

#include <string>

#include "Ras.h"
#include "TComponent.h"
#include "TEvent.h"
#include "TRasConnectionDetails.h"

class TTimer;

// Sender, ConnectionDetails (a copy of the monitor's current record).
using TRasNotifyEvent = TEvent<TObject*, TRasConnectionDetails>;
// Sender, ConnectionDetails, StatusStr (the status text).
using TRasStatusNotifyEvent = TEvent<TObject*, TRasConnectionDetails, std::string>;

class TRasMonitor : public TComponent {
 public:
  explicit TRasMonitor(TComponent* AOwner);
  ~TRasMonitor() override;
  void Loaded() override;

  bool Enabled() const { return FEnabled; }
  // Throws Exception("RASAPI Not Loaded, unable to access RAS Functions")
  // when the library is not loaded, whatever is written; ignored while
  // designing.
  void SetEnabled(bool AEnabled);

  // Milliseconds between polls; takes effect when polling is next switched on.
  int PollInterval() const { return FPollInterval; }
  void SetPollInterval(int APollInterval) { FPollInterval = APollInterval; }

  // The properties below only report a state; writes are accepted and ignored
  // so that a stored form may carry values for them.
  bool Online() const { return FOnline; }
  void SetOnline(bool) {}
  bool RasApiLoaded() const { return FRasApiLoaded; }
  void SetRasApiLoaded(bool) {}
  // The host's address and name, looked up once at construction.
  const std::string& LocalIP() const { return FLocalIP; }
  void SetLocalIP(const std::string&) {}
  const std::string& LocalHost() const { return FLocalHost; }
  void SetLocalHost(const std::string&) {}

  // What the latest poll found.
  const TRasConnectionDetails& ConnectionDetails() const { return FConnectionDetails; }
  // Handle of the first listed connection at the latest poll that listed one.
  HRASCONN CurrentHandle() const { return FCurrentHandle; }

  TRasNotifyEvent OnRasConnected;
  TRasNotifyEvent OnRasDisconnected;
  TRasStatusNotifyEvent OnRasStatusChanged;

 private:
  void PollConnections(TObject* ASender);

  TTimer* FPollTimer = nullptr;
  bool FEnabled = false;
  int FPollInterval = 1000;
  bool FOnline = false;
  bool FRasApiLoaded = false;
  HRASCONN FCurrentHandle = 0;
  TRasConnectionDetails FConnectionDetails{};
  std::string FLocalIP;
  std::string FLocalHost;
};

// The status text of a connection state and error code: "ERRROR" for any
// non-zero code, else the state's name, or empty for an unknown state.
std::string StateText(RASCONNSTATE AState, DWORD AError);
