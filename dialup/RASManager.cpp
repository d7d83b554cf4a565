#include "RASManager.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <cstdint>
#include <cstring>
#include <exception>
#include <mutex>

#include "ApplicationEnd.h"
#include "ErrorHandler.h"
#include "TTimer.h"
#include "UserMessage.h"

namespace {

// The enumeration buffers hold this many records and are never grown.
constexpr DWORD ListCapacity = 100;

// Touched on the GUI thread only: set by Dial, cleared by the destructor of
// the dialler it names.
TRASManager* GActiveDialler = nullptr;

template <size_t N>
std::string FieldText(const char (&AField)[N]) {
  return std::string(AField, strnlen(AField, N));
}

// Lists into a buffer of ListCapacity records, zeroed, the first announcing
// the record size and the byte count preset to the whole buffer, and hands
// each listed record to AVisit; none when the listing fails. AList makes the
// platform call with buffer, byte count and record count.
template <typename TRecord, typename TList, typename TVisit>
void ForEachListed(TList AList, TVisit AVisit) {
  TRecord Buffer[ListCapacity] = {};
  Buffer[0].dwSize = sizeof(TRecord);
  DWORD Size = sizeof(Buffer);
  DWORD Count = 0;
  if (AList(Buffer, &Size, &Count) != 0) return;
  for (DWORD I = 0; I < Count && I < ListCapacity; ++I) AVisit(Buffer[I]);
}

// The way from the platform's notifier thread to the GUI thread: a receiver
// living on the GUI thread, reached only under the lock. It is made by the
// first Dial of an application's life and closed as the first step of the
// application's end, so that no notification can reach an application that
// is going away: a notifier that comes later finds the way closed and drops
// its notification.
std::mutex GDeliveryLock;
QObject* GDeliveryReceiver = nullptr;

void CloseDelivery() {
  QObject* Receiver = nullptr;
  {
    std::lock_guard<std::mutex> Guard(GDeliveryLock);
    Receiver = GDeliveryReceiver;
    GDeliveryReceiver = nullptr;
  }
  delete Receiver;
}

// GUI thread, with an application object.
void OpenDelivery() {
  std::lock_guard<std::mutex> Guard(GDeliveryLock);
  if (GDeliveryReceiver != nullptr || QCoreApplication::instance() == nullptr) return;
  GDeliveryReceiver = new QObject();
  AtApplicationEnd(&CloseDelivery);
}

// Runs on the GUI thread, in the order the platform sent the notifications.
void DeliverDialNotification(UINT AMsg, RASCONNSTATE AState, DWORD AError) {
  TRASManager* Dialler = GActiveDialler;
  if (Dialler == nullptr) return;
  try {
    Dialler->OnConnecting(Dialler, static_cast<int>(AMsg), static_cast<int>(AState),
                          static_cast<int>(AError));
    // A handler may have destroyed the dialler or made another one dial.
    if (AError != 0 && GActiveDialler == Dialler)
      Dialler->OnError(Dialler, static_cast<int>(AError));
  } catch (...) {
    HandleException(std::current_exception());
  }
}

}  // namespace

TRASManager::TRASManager(TComponent* AOwner) : TComponent(AOwner) {
  FTimer = new TTimer(this);
  FTimer->SetEnabled(false);
  FTimer->OnTimer.Bind(this, &TRASManager::TimerTick);
  FTimer->SetInterval(1000);
}

TRASManager::~TRASManager() {
  // Notifications still on their way to the GUI thread must find nobody.
  if (GActiveDialler == this) GActiveDialler = nullptr;
  delete FTimer;
  FTimer = nullptr;
}

bool TRASManager::GetDialParams(const std::string& AEntryName, RASDIALPARAMSA& AParams) {
  std::memset(&AParams, 0, sizeof(AParams));
  AParams.dwSize = sizeof(RASDIALPARAMSA);
  DWORD Result = ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
  // A name that does not fit the record, or holds a NUL, would reach the
  // platform cut short and could name another entry: no entry has it.
  if (AEntryName.size() <= RAS_MaxEntryName && AEntryName.find('\0') == std::string::npos) {
    std::memcpy(AParams.szEntryName, AEntryName.data(), AEntryName.size());
    BOOL PasswordStored = -1;
    Result = RasGetEntryDialParamsA(nullptr, &AParams, &PasswordStored);
  }
  if (Result == 0) return true;
  OnError(this, static_cast<int>(Result));
  return false;
}

void TRASManager::Dial() {
  if (Connected()) return;
  RASDIALPARAMSA Params;
  if (GetDialParams(FEntryName, Params)) {
    GActiveDialler = this;
    if (FDialAsync) OpenDelivery();
    LPVOID Notifier = FDialAsync ? reinterpret_cast<LPVOID>(&RasDialNotifier) : nullptr;
    const DWORD Result = RasDialA(nullptr, nullptr, &Params, 0, Notifier, &FConnectionHandle);
    if (!Connected()) {
      if (FConnectionHandle != 0) HangUp();
      // Also with 0: the dial has not brought the entry up (yet).
      OnError(this, static_cast<int>(Result));
    }
  }
  if (Connected()) {
    FElapsedSeconds = 0;
    FTimer->SetEnabled(true);
  }
}

void TRASManager::HangUp() {
  FHangUpResult = 0;
  if (!Connected()) return;
  // The line may have dropped and been dialled again from outside: the
  // handle of our own, gone connection would hang up nothing, so the
  // entry's current connection is hung up instead.
  if (FConnectionHandle != 0 && !IsListed(FConnectionHandle)) RefreshHandle();
  if (FConnectionHandle != 0) FHangUpResult = RasHangUpA(FConnectionHandle);
  FTimer->SetEnabled(false);
}

bool TRASManager::Connected() {
  const bool Answer = IsEntryConnected(FEntryName);
  if (Answer && FConnectionHandle == 0) RefreshHandle();
  return Answer;
}

void TRASManager::SetEntryName(const std::string& AEntryName) {
  RASDIALPARAMSA Params;
  if (!GetDialParams(AEntryName, Params)) return;
  FEntryName = AEntryName;
  RefreshHandle();
}

std::string TRASManager::UserName() {
  RASDIALPARAMSA Params;
  if (!GetDialParams(FEntryName, Params)) return {};
  return FieldText(Params.szUserName);
}

std::string TRASManager::Password() {
  RASDIALPARAMSA Params;
  if (!GetDialParams(FEntryName, Params)) return {};
  return FieldText(Params.szPassword);
}

void TRASManager::SetTimeout(int ATimeout) {
  if (ATimeout < 0) {
    ShowUserMessage("RASManager: Invalid Timeout value (0..MaxInt)", TMsgDlgType::mtError);
    return;
  }
  FTimeout = ATimeout;
}

bool TRASManager::IsListed(HRASCONN AHandle) {
  bool Listed = false;
  ForEachListed<RASCONNA>(RasEnumConnectionsA, [AHandle, &Listed](const RASCONNA& AConnection) {
    if (AConnection.hrasconn == AHandle) Listed = true;
  });
  return Listed;
}

void TRASManager::RefreshHandle() {
  FConnectionHandle = 0;
  // No early stop: with several connections under the name the last one wins.
  ForEachListed<RASCONNA>(RasEnumConnectionsA, [this](const RASCONNA& AConnection) {
    if (FieldText(AConnection.szEntryName) == FEntryName) FConnectionHandle = AConnection.hrasconn;
  });
}

void TRASManager::TimerTick(TObject*) {
  if (FElapsedSeconds < INT32_MAX) ++FElapsedSeconds;
  if (FTimeout > 0 && FElapsedSeconds >= FTimeout) {
    SetTimeout(0);
    OnTimeout(this);
  }
}

void ListPhonebookEntries(std::vector<std::string>& AList) {
  AList.clear();
  ForEachListed<RASENTRYNAMEA>(
      [](LPRASENTRYNAMEA ABuffer, LPDWORD ASize, LPDWORD ACount) {
        return RasEnumEntriesA(nullptr, nullptr, ABuffer, ASize, ACount);
      },
      [&AList](const RASENTRYNAMEA& AEntry) { AList.push_back(FieldText(AEntry.szEntryName)); });
}

void ListActiveConnections(std::vector<std::string>& AList) {
  AList.clear();
  ForEachListed<RASCONNA>(RasEnumConnectionsA, [&AList](const RASCONNA& AConnection) {
    AList.push_back(FieldText(AConnection.szEntryName));
  });
}

bool IsEntryConnected(const std::string& AEntryName) {
  std::vector<std::string> Connections;
  ListActiveConnections(Connections);
  for (const std::string& Name : Connections)
    if (Name == AEntryName) return true;
  return false;
}

void WINAPI RasDialNotifier(UINT AMsg, RASCONNSTATE AState, DWORD AError) {
  // Called on the platform's thread: nothing here may touch a component.
  // Queued calls to one receiver run in the order they were posted; the lock
  // keeps the receiver, and the application it posts through, from going
  // away while the notification is posted.
  std::lock_guard<std::mutex> Guard(GDeliveryLock);
  if (GDeliveryReceiver == nullptr) return;
  QMetaObject::invokeMethod(
      GDeliveryReceiver,
      [AMsg, AState, AError] {
        // Taking the lock the notifier posted under, before the captured
        // values are read, orders everything its thread did while posting
        // before this delivery, in a way that tools which cannot see into the
        // toolkit's own hand-over (the thread sanitizer) see too.
        { std::lock_guard<std::mutex> Posted(GDeliveryLock); }
        DeliverDialNotification(AMsg, AState, AError);
      },
      Qt::QueuedConnection);
}

TRASManager* ActiveDialler() { return GActiveDialler; }
