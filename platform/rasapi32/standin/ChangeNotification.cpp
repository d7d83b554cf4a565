// The stand-in follows no changes: RasConnectionNotificationA is not
// exported, and nothing here is ever asked to keep an event.

#include "ChangeNotification.h"

namespace dravik::ras {

DWORD AddChangeNotification(HRASCONN, HANDLE, DWORD) { return ERROR_NOT_SUPPORTED; }

void NotifyConnectionsChanged(DWORD) {}

size_t ChangeNotificationCount() { return 0; }

}  // namespace dravik::ras
