#include "ChangeNotification.h"

#include <mutex>
#include <vector>

#include "EventObject.h"

namespace dravik::ras {

namespace {

struct TRegistration {
  HRASCONN Connection;
  TEventObject* Event;  // held
  DWORD Kinds;
};

std::mutex RegistryLock;
std::vector<TRegistration>& Registry() {
  // Never destroyed: a provider's thread may notify while the process ends.
  static auto* Kept = new std::vector<TRegistration>;
  return *Kept;
}

}  // namespace

DWORD AddChangeNotification(HRASCONN AConnection, HANDLE AEvent, DWORD AKinds) {
  TEventObject* Event = TEventObject::FromHandle(AEvent);
  if (Event == nullptr) return ERROR_INVALID_HANDLE;
  std::lock_guard<std::mutex> Guard(RegistryLock);
  for (TRegistration& Kept : Registry()) {
    if (Kept.Event == Event && Kept.Connection == AConnection) {
      Kept.Kinds |= AKinds;
      return ERROR_SUCCESS;
    }
  }
  Event->Hold();
  Registry().push_back({AConnection, Event, AKinds});
  return ERROR_SUCCESS;
}

void NotifyConnectionsChanged(DWORD AKinds) {
  std::vector<TEventObject*> Closed;
  {
    std::lock_guard<std::mutex> Guard(RegistryLock);
    auto& Kept = Registry();
    for (auto Item = Kept.begin(); Item != Kept.end();) {
      if (!Item->Event->HeldElsewhere()) {
        Closed.push_back(Item->Event);
        Item = Kept.erase(Item);
        continue;
      }
      // A change of one connection may concern any caller: which connection
      // changed is not always known, and a caller looks again anyway.
      if ((Item->Kinds & AKinds) != 0) Item->Event->Set();
      ++Item;
    }
  }
  for (TEventObject* Event : Closed) Event->Release();
}

size_t ChangeNotificationCount() {
  std::lock_guard<std::mutex> Guard(RegistryLock);
  return Registry().size();
}

}  // namespace dravik::ras
