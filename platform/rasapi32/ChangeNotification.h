#pragma once

// The library's change notification: the event handles callers registered
// through RasConnectionNotificationA, and their setting when a provider sees
// connections come up or end.

#include <cstddef>

#include "Ras.h"

namespace dravik::ras {

// Keeps AEvent (an event handle of the platform's) for the connection (or
// DRAVIK_ALL_RAS_CONNECTIONS) and the kinds of change in AKinds. The same
// event registered again adds to what it is set for.
DWORD AddChangeNotification(HRASCONN AConnection, HANDLE AEvent, DWORD AKinds);

// Sets every kept event that asked for a change of AKinds (RASCN_Connection,
// RASCN_Disconnection or both). Any thread. Events their callers have closed
// are let go of here.
void NotifyConnectionsChanged(DWORD AKinds = RASCN_Connection | RASCN_Disconnection);

// How many events are kept; for tests.
size_t ChangeNotificationCount();

}  // namespace dravik::ras
