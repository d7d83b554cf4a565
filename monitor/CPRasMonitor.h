#pragma once

// The connection monitor: polls the active dial-up connections on a timer of
// its own and reports the first one coming up, all of them gone, and the
// progress of one on its way up. It binds the dial-up library at run time.

#include <memory>
#include <string>

#include "Ras.h"
#include "TComponent.h"
#include "TEvent.h"
#include "TRasConnectionDetails.h"

class TRasChangeWaiter;
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

  // The entry whose connection the monitor watches. Empty (the default): the
  // first listed connection, whatever its entry. Set: the first listed
  // connection of that entry only, so that other lines coming and going on
  // the same machine are not taken for it.
  const std::string& EntryName() const { return FEntryName; }
  void SetEntryName(const std::string& AEntryName) { FEntryName = AEntryName; }

  // Off (the default): the monitor learns of changes at its polls only. On:
  // it also looks at once whenever the dial-up library tells of a
  // connection coming up or ending, and the polls are only the fallback.
  // Takes effect when polling is next switched on; a library without change
  // notification leaves the polls alone.
  bool ChangeNotification() const { return FChangeNotification; }
  void SetChangeNotification(bool AOn) { FChangeNotification = AOn; }
  // Whether the library's change notification reaches the monitor now.
  bool Notified() const;

  // Looks at the connections now, as a poll does.
  void PollNow() { PollConnections(this); }

  // What the latest poll found.
  const TRasConnectionDetails& ConnectionDetails() const { return FConnectionDetails; }
  // Handle of the first listed connection at the latest poll that listed one.
  HRASCONN CurrentHandle() const { return FCurrentHandle; }

  TRasNotifyEvent OnRasConnected;
  TRasNotifyEvent OnRasDisconnected;
  TRasStatusNotifyEvent OnRasStatusChanged;

 private:
  void PollConnections(TObject* ASender);
  void PollEntry();
  void GoOnline();

  TTimer* FPollTimer = nullptr;
  bool FEnabled = false;
  int FPollInterval = 1000;
  bool FOnline = false;
  bool FRasApiLoaded = false;
  HRASCONN FCurrentHandle = 0;
  TRasConnectionDetails FConnectionDetails{};
  std::string FLocalIP;
  std::string FLocalHost;
  std::string FEntryName;
  bool FChangeNotification = false;
  std::unique_ptr<TRasChangeWaiter> FChangeWaiter;
};

// The status text of a connection state and error code: "ERRROR" for any
// non-zero code, else the state's name, or empty for an unknown state.
std::string StateText(RASCONNSTATE AState, DWORD AError);
