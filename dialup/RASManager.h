#pragma once

// The dialler: dials and hangs up one phonebook entry, tells whether it is
// connected, reads its stored credentials and times the connection. Next to
// it, the phonebook listings.

#include <string>
#include <vector>

#include "Ras.h"
#include "TComponent.h"
#include "TEvent.h"

class TTimer;

// Sender, Msg (the notifier's message number), State (connection state),
// Error (platform error code, 0 when none).
using TOnConnectingEvent = TEvent<TObject*, int, int, int>;
// Sender, Error (a platform error code, passed through unchanged).
using TOnErrorEvent = TEvent<TObject*, int>;

class TRASManager : public TComponent {
 public:
  explicit TRASManager(TComponent* AOwner);
  // Frees the timer; an active connection outlives the component. Pending
  // notifications of its dial no longer reach it.
  ~TRASManager() override;

  // Dials EntryName with its stored credentials unless it is connected.
  void Dial();
  // Hangs up only while the entry is listed as connected: the connection of
  // ConnectionHandle, or the entry's current connection when that handle is
  // no longer listed.
  void HangUp();
  // The platform's answer to the last HangUp: 0 when it was taken, or when
  // nothing was listed to hang up; else its error code, which HangUp itself
  // reports to nobody.
  DWORD HangUpResult() const { return FHangUpResult; }
  // Asks the platform afresh whether an active connection carries EntryName.
  bool Connected();

  const std::string& EntryName() const { return FEntryName; }
  // Accepted only if the platform knows the entry; otherwise OnError is
  // raised with the lookup's code and the old name stays.
  void SetEntryName(const std::string& AEntryName);

  // Stored credentials of EntryName; empty (after OnError) when the lookup fails.
  std::string UserName();
  std::string Password();

  bool DialAsync() const { return FDialAsync; }
  void SetDialAsync(bool ADialAsync) { FDialAsync = ADialAsync; }

  // Connection time limit in seconds, 0 = none. A negative value is refused
  // with a message to the user (a box in the window program) and not stored.
  int Timeout() const { return FTimeout; }
  void SetTimeout(int ATimeout);

  // The handle written by the last dial or found for the entry; 0 = none.
  HRASCONN ConnectionHandle() const { return FConnectionHandle; }
  // Seconds counted since the last successful Dial.
  int ElapsedSeconds() const { return FElapsedSeconds; }

  TOnConnectingEvent OnConnecting;
  TOnErrorEvent OnError;
  TNotifyEvent OnTimeout;

 private:
  bool GetDialParams(const std::string& AEntryName, RASDIALPARAMSA& AParams);
  void RefreshHandle();
  static bool IsListed(HRASCONN AHandle);
  void TimerTick(TObject* ASender);

  bool FDialAsync = false;
  HRASCONN FConnectionHandle = 0;
  DWORD FHangUpResult = 0;
  std::string FEntryName;
  int FTimeout = 0;
  int FElapsedSeconds = 0;
  TTimer* FTimer = nullptr;
};

// The listings take byte strings exactly as the platform gives them (system
// code page, at most 256 characters); the caller decodes them for display.

// Replaces the list's contents with the entry names of the default phonebook,
// in the platform's order; empty when the listing fails.
void ListPhonebookEntries(std::vector<std::string>& AList);
// Replaces the list's contents with the entry names of the active
// connections, in the platform's order; empty when the listing fails.
void ListActiveConnections(std::vector<std::string>& AList);
// True when an active connection carries exactly AEntryName (case counts).
bool IsEntryConnected(const std::string& AEntryName);

// The notifier handed to RasDialA for an asynchronous dial. The platform calls
// it on a thread of its own; it only hands the notification to the GUI thread,
// where the active dialler raises OnConnecting and then, for a non-zero code,
// OnError. Notifications keep their order. Once the application's end has
// begun (or before an asynchronous Dial of its life) there is no GUI thread
// to hand to, and the notification is dropped.
void WINAPI RasDialNotifier(UINT AMsg, RASCONNSTATE AState, DWORD AError);

// The dialler that called Dial last and still exists; null when none. GUI
// thread only.
TRASManager* ActiveDialler();
