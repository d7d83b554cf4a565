#include "TRasChangeWaiter.h"

#include <QObject>

#include "CPRasMiniApi.h"
#include "SyncObjects.h"

TRasChangeWaiter::TRasChangeWaiter() : FReceiver(std::make_unique<QObject>()) {}

TRasChangeWaiter::~TRasChangeWaiter() {
  if (FThread.joinable()) {
    SetEvent(FStop);
    FThread.join();
  }
  // Deleting the receiver drops the changes posted to it and not yet run.
  FReceiver.reset();
  if (FChanged != nullptr) CloseHandle(FChanged);
  if (FStop != nullptr) CloseHandle(FStop);
}

bool TRasChangeWaiter::Start() {
  if (FThread.joinable()) return true;
  if (CPRasMiniApi::RasConnectionNotificationA == nullptr) return false;
  if (FChanged == nullptr) FChanged = CreateEventA(nullptr, 0, 0, nullptr);
  if (FStop == nullptr) FStop = CreateEventA(nullptr, 1, 0, nullptr);
  if (FChanged == nullptr || FStop == nullptr) return false;
  if (CPRasMiniApi::RasConnectionNotificationA(DRAVIK_ALL_RAS_CONNECTIONS, FChanged,
                                               RASCN_Connection | RASCN_Disconnection) != 0)
    return false;
  FThread = std::thread(&TRasChangeWaiter::Wait, this);
  return true;
}

void TRasChangeWaiter::Wait() {
  const HANDLE Handles[2] = {FStop, FChanged};
  for (;;) {
    const DWORD Result = WaitForMultipleObjects(2, Handles, 0, INFINITE);
    if (Result != WAIT_OBJECT_0 + 1) return;
    // Posted under a lock that the delivery takes before it reads anything
    // of the post, so that tools which cannot see into the toolkit's own
    // hand-over (the thread sanitizer) see the order too.
    std::lock_guard<std::mutex> Guard(FPostLock);
    QMetaObject::invokeMethod(
        FReceiver.get(),
        [this] {
          { std::lock_guard<std::mutex> Posted(FPostLock); }
          if (OnChanged) OnChanged();
        },
        Qt::QueuedConnection);
  }
}
