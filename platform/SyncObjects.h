#pragma once

// Event objects and the waits on them, under their platform names: created
// reset or set, auto-reset (a wait that ends takes the set state) or
// manual-reset (set until reset). On Linux a handle is also closed by
// CloseHandle, and a handle passed to another of the platform's calls (the
// dial-up library's change notification) stays valid there until it lets go.

#include "Windows.h"

#ifndef _WIN32

constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset,
                           BOOL bInitialState, LPCSTR lpName);
BOOL WINAPI SetEvent(HANDLE hEvent);
BOOL WINAPI ResetEvent(HANDLE hEvent);
BOOL WINAPI CloseHandle(HANDLE hObject);
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
// Waits for any one of the handles (bWaitAll must be false): WAIT_OBJECT_0
// plus the index of the first one set, WAIT_TIMEOUT or WAIT_FAILED.
DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                    DWORD dwMilliseconds);

#endif
