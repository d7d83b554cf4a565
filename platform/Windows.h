#pragma once

// The operating-system calls the components make, under their platform
// names. On Windows they are the real API; on Linux they are ours and keep
// the same contract: record sizes, codes and message numbers.

#ifdef _WIN32
#include <windows.h>

// The components call the system by the "A" names; the header's generic
// names would rename functions and members of ours that share them (the
// core's ReplaceFile, a canvas's TextOut).
#undef ReplaceFile
#undef TextOut

// The stand-in dial-up library built for trials names its exports in a
// module-definition file; nothing else here exports anything.
#define DRAVIK_EXPORT
#else

#include <cstdint>

#define WINAPI
#define CALLBACK

// Marks the calls a shared library of ours exports, as a DLL would.
#define DRAVIK_EXPORT __attribute__((visibility("default")))

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using BOOL = int32_t;
using LONG = int32_t;
using LPBOOL = BOOL*;
using LPDWORD = DWORD*;
using LPVOID = void*;
using LPSTR = char*;
using LPCSTR = const char*;
using HANDLE = void*;
using HWND = struct HWND__*;
using HINSTANCE = struct HINSTANCE__*;
using HMODULE = HINSTANCE;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using FARPROC = void (*)();

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;

// Show commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWMINNOACTIVE = 7;
constexpr int SW_RESTORE = 9;

constexpr DWORD STARTF_USESHOWWINDOW = 0x00000001;

// The fields of the start-up information a program looks at.
struct STARTUPINFOA {
  DWORD cb;
  DWORD dwFlags;
  WORD wShowWindow;
};

// On Linux the show state comes from the environment variable
// DRAVIK_SHOW_STATE: a show command by number or by name ("SW_SHOWMINNOACTIVE"
// or 7). Unset or not a show command: no show state is given.
void WINAPI GetStartupInfoA(STARTUPINFOA* lpStartupInfo);

// On Linux the windows are the GUI toolkit's; this remembers the show state
// given for a handle so that the caller's request can be observed.
BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow);
BOOL WINAPI IsWindowVisible(HWND hWnd);

// Run-time loading of libraries: a name such as "RASAPI32.DLL" is looked up
// as librasapi32.so beside the executable, then on the library path. A
// missing library gives null.
HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
BOOL WINAPI FreeLibrary(HMODULE hLibModule);

#endif
