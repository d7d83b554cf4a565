#include "WinUser.h"

namespace {
thread_local DWORD LastError = ERROR_SUCCESS;
}

DWORD WINAPI GetLastError() { return LastError; }

void WINAPI SetLastError(DWORD dwErrCode) { LastError = dwErrCode; }
