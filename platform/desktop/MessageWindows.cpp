#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "WinUser.h"

namespace {

constexpr size_t MaxClassName = 256;

struct TWindow {
  WNDPROC Proc;
  LONG_PTR UserData;
  // Lives on the creating thread; posted messages are queued to it, and those
  // still queued when the window goes are dropped with it.
  QObject* Queue;
};

std::mutex Lock;
std::map<std::string, WNDPROC>& Classes() {
  static std::map<std::string, WNDPROC> Registered;
  return Registered;
}
std::map<HWND, TWindow>& Windows() {
  static std::map<HWND, TWindow> Created;
  return Created;
}
// Handles only grow, so that a handle of a destroyed window never names a new
// one; they stay within 32 bits, as window handles do.
uintptr_t NextHandle = 0x10000;

bool ReadClassName(LPCSTR AName, std::string& AClassName) {
  if (AName == nullptr) return false;
  const size_t Length = strnlen(AName, MaxClassName + 1);
  if (Length == 0 || Length > MaxClassName) return false;
  AClassName.assign(AName, Length);
  return true;
}

WNDPROC ProcOf(HWND AWindow) {
  std::lock_guard<std::mutex> Guard(Lock);
  const auto Found = Windows().find(AWindow);
  return Found == Windows().end() ? nullptr : Found->second.Proc;
}

}  // namespace

ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass) {
  std::string Name;
  if (lpWndClass == nullptr || lpWndClass->lpfnWndProc == nullptr ||
      !ReadClassName(lpWndClass->lpszClassName, Name)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard<std::mutex> Guard(Lock);
  if (!Classes().emplace(Name, lpWndClass->lpfnWndProc).second) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  return static_cast<ATOM>(0xC000 + Classes().size());
}

BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE) {
  std::string Name;
  std::lock_guard<std::mutex> Guard(Lock);
  if (!ReadClassName(lpClassName, Name) || Classes().erase(Name) == 0) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return 0;
  }
  return 1;
}

HWND WINAPI CreateWindowExA(DWORD, LPCSTR lpClassName, LPCSTR, DWORD, int, int, int, int,
                            HWND hWndParent, HMENU, HINSTANCE, LPVOID) {
  if (hWndParent != HWND_MESSAGE) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  std::string Name;
  std::lock_guard<std::mutex> Guard(Lock);
  const auto Class = ReadClassName(lpClassName, Name) ? Classes().find(Name) : Classes().end();
  if (Class == Classes().end()) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  NextHandle += 4;
  const HWND Handle = reinterpret_cast<HWND>(NextHandle);
  Windows()[Handle] = TWindow{Class->second, 0, new QObject};
  return Handle;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
  QObject* Queue = nullptr;
  {
    std::lock_guard<std::mutex> Guard(Lock);
    const auto Found = Windows().find(hWnd);
    if (Found == Windows().end()) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    // Only the thread that created a window may destroy it.
    if (Found->second.Queue->thread() != QThread::currentThread()) {
      SetLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
    Queue = Found->second.Queue;
    Windows().erase(Found);
  }
  delete Queue;
  return 1;
}

BOOL WINAPI IsWindow(HWND hWnd) { return ProcOf(hWnd) != nullptr ? 1 : 0; }

LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
  std::lock_guard<std::mutex> Guard(Lock);
  const auto Found = Windows().find(hWnd);
  if (Found == Windows().end() || nIndex != GWLP_USERDATA) {
    SetLastError(Found == Windows().end() ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
    return 0;
  }
  const LONG_PTR Previous = Found->second.UserData;
  Found->second.UserData = dwNewLong;
  return Previous;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex) {
  std::lock_guard<std::mutex> Guard(Lock);
  const auto Found = Windows().find(hWnd);
  if (Found == Windows().end() || nIndex != GWLP_USERDATA) {
    SetLastError(Found == Windows().end() ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
    return 0;
  }
  return Found->second.UserData;
}

// A message-only window has no frame, no painting and no input of its own:
// nothing it does not handle itself needs an answer other than 0.
LRESULT WINAPI DefWindowProcA(HWND, UINT, WPARAM, LPARAM) { return 0; }

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  std::lock_guard<std::mutex> Guard(Lock);
  const auto Found = Windows().find(hWnd);
  if (Found == Windows().end()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  QMetaObject::invokeMethod(
      Found->second.Queue,
      [hWnd, Msg, wParam, lParam] {
        // Passing through the lock the message was posted under, before the
        // captured values are read, shows tools that cannot see into the
        // toolkit's own hand-over (the thread sanitizer) that the post came
        // first.
        { std::lock_guard<std::mutex> Posted(Lock); }
        // The window may have been destroyed and its procedure gone since.
        if (const WNDPROC Proc = ProcOf(hWnd)) Proc(hWnd, Msg, wParam, lParam);
      },
      Qt::QueuedConnection);
  return 1;
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  const WNDPROC Proc = ProcOf(hWnd);
  if (Proc == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return Proc(hWnd, Msg, wParam, lParam);
}
