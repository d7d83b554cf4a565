#pragma once

// Opens the dial-up library by name at run time, once per process, and offers
// five of its entry points (null while the library or the name is missing).

#include "Ras.h"
#include "Windows.h"

namespace CPRasMiniApi {

extern HMODULE RasApiLibrary;
extern bool RasApiLoadAttempted;
extern TRasEnumConnectionsA RasEnumConnectionsA;
extern TRasGetConnectStatusA RasGetConnectStatusA;
extern TRasHangUpA RasHangUpA;
extern TRasGetProjectionInfoA RasGetProjectionInfoA;
// Null also for a library without change notification.
extern TRasConnectionNotificationA RasConnectionNotificationA;

// Tries to load "RASAPI32.DLL" on the first call only; every call answers
// whether the listing entry point is available. A failed attempt is final.
bool LoadRasApi();

}  // namespace CPRasMiniApi
