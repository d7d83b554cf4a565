#pragma once

// The shell's calls: the notification-area icon and opening a document or
// address with the user's program for it.

#include "WinUser.h"

#ifdef _WIN32
#include <shellapi.h>

// Whether the desktop has a notification area at all: whether the taskbar's
// window exists. Where it has none, an added icon shows nowhere.
bool NotificationAreaExists();
#else

#include <cstring>
#include <functional>
#include <type_traits>

using CHAR = char;

// A handle as a record of the shell carries it: 32 bits, as every window and
// icon handle is significant in 32 bits, so that the record keeps its
// platform size in a 64-bit program too.
template <typename Handle>
class THandle32 {
 public:
  THandle32& operator=(Handle AHandle) {
    FValue = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(AHandle));
    return *this;
  }
  operator Handle() const { return reinterpret_cast<Handle>(static_cast<uintptr_t>(FValue)); }

 private:
  uint32_t FValue;
};

// The record of a notification-area icon in its first, 88-byte form: a
// 64-byte tooltip and nothing after it.
struct NOTIFYICONDATAA {
  DWORD cbSize;
  THandle32<HWND> hWnd;
  UINT uID;
  UINT uFlags;
  UINT uCallbackMessage;
  THandle32<HICON> hIcon;
  CHAR szTip[64];
};
static_assert(sizeof(NOTIFYICONDATAA) == 88, "NOTIFYICONDATAA must keep its 88 bytes");
static_assert(std::is_trivially_copyable<NOTIFYICONDATAA>::value, "the record is copied bytewise");

constexpr DWORD NIM_ADD = 0;
constexpr DWORD NIM_MODIFY = 1;
constexpr DWORD NIM_DELETE = 2;

constexpr UINT NIF_MESSAGE = 0x1;
constexpr UINT NIF_ICON = 0x2;
constexpr UINT NIF_TIP = 0x4;

// Adds, changes or removes the icon that hWnd and uID name. On Linux the
// notification area is the desktop's (StatusNotifierItem or XEmbed tray);
// mouse activity over the icon comes back as uCallbackMessage posted to hWnd
// with uID in wParam and the mouse message in lParam, in Windows' order: an
// activation is WM_LBUTTONDOWN, WM_LBUTTONUP; a double activation adds
// WM_LBUTTONDBLCLK, WM_LBUTTONUP; a context request is WM_RBUTTONDOWN,
// WM_RBUTTONUP. An add for an icon already there, and a change or removal of
// one that is not, fail (FALSE) and change nothing.
BOOL WINAPI Shell_NotifyIconA(DWORD dwMessage, NOTIFYICONDATAA* lpData);

// Whether the desktop has a notification area at all (on Windows, whether the
// taskbar's window exists): where it has none, an added icon shows nowhere.
bool NotificationAreaExists();

// ShellExecuteA's results: above 32 is success.
constexpr int SE_ERR_FNF = 2;
constexpr int SE_ERR_OOM = 8;
constexpr int SE_ERR_NOASSOC = 31;

// Opens lpFile with the user's program for it. On Linux only the operation
// "open" (or none) of an http, https or mailto address is carried out, by
// xdg-open started without a shell and not waited for; any other address
// opens nothing and gives SE_ERR_NOASSOC, a malformed one SE_ERR_FNF.
// Returns at once; the result is a value above 32 when the opener started.
HINSTANCE WINAPI ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                               LPCSTR lpDirectory, int nShowCmd);

// What stands behind the shell's calls on Linux: the desktop unless a stand-in
// is set. Tests set recording stand-ins; an empty function puts the desktop
// back.
struct TShellStandIns {
  std::function<BOOL(DWORD, const NOTIFYICONDATAA&)> NotifyIcon;
  std::function<bool()> NotificationAreaExists;
  std::function<HINSTANCE(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, int)> Execute;
};
TShellStandIns& ShellStandIns();

#endif
