#pragma once

// The window service's calls the components make: message-only windows,
// posted and sent messages, the cursor, the keyboard and the foreground, and
// icons. On Linux the windows are entries of our own table whose messages
// reach their window procedure through the GUI thread's event loop.

#include "Windows.h"

// Whether a desktop to show windows on can be reached: on Linux a display
// (DISPLAY, WAYLAND_DISPLAY, or a platform the toolkit is told to use by
// QT_QPA_PLATFORM); on Windows the desktop is always there.
bool DesktopAvailable();

#ifndef _WIN32

#include <functional>

using SHORT = int16_t;
using ATOM = WORD;
using LONG_PTR = intptr_t;
using HICON = struct HICON__*;
using HCURSOR = HICON;
using HBRUSH = struct HBRUSH__*;
using HMENU = struct HMENU__*;

using WNDPROC = LRESULT(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);

struct POINT {
  LONG x;
  LONG y;
};

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MBUTTONDBLCLK = 0x0209;

// The keys and buttons held, as a mouse message's wParam tells them.
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;

constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;

constexpr int GWLP_USERDATA = -21;
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;
constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;

// The parent that makes a window message-only: never shown, only messages.
inline const HWND HWND_MESSAGE = reinterpret_cast<HWND>(static_cast<intptr_t>(-3));

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
};

// Window classes and message-only windows. On Linux only message-only
// windows (parent HWND_MESSAGE) exist: any other parent fails with
// ERROR_NOT_SUPPORTED. A window's messages are handled on the thread that
// created it; a handle is never used again once its window is destroyed.
ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass);
BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE hInstance);
HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                            int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                            HINSTANCE hInstance, LPVOID lpParam);
BOOL WINAPI DestroyWindow(HWND hWnd);
BOOL WINAPI IsWindow(HWND hWnd);
LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong);
LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex);

// Messages. PostMessageA queues the message for the window's thread and
// returns at once (it may be called from any thread); SendMessageA calls the
// window procedure at once, on the calling thread, and returns its result.
LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

// The pointer in screen coordinates; a key's state, negative while it is down.
BOOL WINAPI GetCursorPos(POINT* lpPoint);
SHORT WINAPI GetKeyState(int nVirtKey);

// On Linux the foreground request is remembered, so that a caller's request
// can be observed; the toolkit activates windows of its own accord.
BOOL WINAPI SetForegroundWindow(HWND hWnd);
HWND WINAPI GetForegroundWindow();

// Icons: CreateIcon takes 32-bit pixels (cPlanes 1, cBitsPixel 32, the colour
// bits as 0xAARRGGBB values, row by row; the mask bits are not used then).
// Other formats fail with ERROR_NOT_SUPPORTED.
HICON WINAPI CreateIcon(HINSTANCE hInstance, int nWidth, int nHeight, BYTE cPlanes, BYTE cBitsPixel,
                        const BYTE* lpbANDbits, const BYTE* lpbXORbits);
BOOL WINAPI DestroyIcon(HICON hIcon);

DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD dwErrCode);

// What stands behind the input calls on Linux: the desktop unless a stand-in
// is set. Tests set recording stand-ins; an empty function puts the desktop
// back.
struct TInputStandIns {
  std::function<BOOL(POINT*)> CursorPos;
  std::function<SHORT(int)> KeyState;
  std::function<BOOL(HWND)> ForegroundWindow;
};
TInputStandIns& InputStandIns();

#endif
