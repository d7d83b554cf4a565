// Event objects on Linux: see EventObject.h for how one is kept.

#include "SyncObjects.h"

#include <poll.h>

#include <cerrno>
#include <chrono>

#include "EventObject.h"

using dravik::TEventObject;

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState,
                           LPCSTR lpName) {
  // Named events are shared between processes on the platform; nothing here
  // needs one.
  if (lpName != nullptr) return nullptr;
  const int Fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (Fd < 0) return nullptr;
  auto* Object = new TEventObject;
  Object->Fd = Fd;
  Object->ManualReset = bManualReset != 0;
  if (bInitialState != 0) Object->Set();
  return Object;
}

BOOL WINAPI SetEvent(HANDLE hEvent) {
  TEventObject* Object = TEventObject::FromHandle(hEvent);
  if (Object == nullptr) return 0;
  Object->Set();
  return 1;
}

BOOL WINAPI ResetEvent(HANDLE hEvent) {
  TEventObject* Object = TEventObject::FromHandle(hEvent);
  if (Object == nullptr) return 0;
  Object->Reset();
  return 1;
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
  TEventObject* Object = TEventObject::FromHandle(hObject);
  if (Object == nullptr) return 0;
  Object->Release();
  return 1;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  return WaitForMultipleObjects(1, &hHandle, 0, dwMilliseconds);
}

DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                    DWORD dwMilliseconds) {
  if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || lpHandles == nullptr || bWaitAll != 0)
    return WAIT_FAILED;
  TEventObject* Objects[MAXIMUM_WAIT_OBJECTS];
  pollfd Fds[MAXIMUM_WAIT_OBJECTS];
  for (DWORD Index = 0; Index < nCount; ++Index) {
    Objects[Index] = TEventObject::FromHandle(lpHandles[Index]);
    if (Objects[Index] == nullptr) return WAIT_FAILED;
    Fds[Index] = {Objects[Index]->Fd, POLLIN, 0};
  }
  using Clock = std::chrono::steady_clock;
  const auto Deadline = Clock::now() + std::chrono::milliseconds(dwMilliseconds);
  for (;;) {
    int Timeout = -1;
    if (dwMilliseconds != INFINITE) {
      const auto Left =
          std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - Clock::now()).count();
      Timeout = Left > 0 ? static_cast<int>(Left) : 0;
    }
    const int Ready = poll(Fds, nCount, Timeout);
    if (Ready < 0 && errno != EINTR) return WAIT_FAILED;
    for (DWORD Index = 0; Ready > 0 && Index < nCount; ++Index) {
      if ((Fds[Index].revents & POLLIN) != 0 && Objects[Index]->Take())
        return WAIT_OBJECT_0 + Index;
    }
    if (Ready == 0 && Timeout == 0) return WAIT_TIMEOUT;
  }
}
