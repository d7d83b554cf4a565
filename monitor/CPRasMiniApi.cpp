#include "CPRasMiniApi.h"

namespace CPRasMiniApi {

HMODULE RasApiLibrary = nullptr;
bool RasApiLoadAttempted = false;
TRasEnumConnectionsA RasEnumConnectionsA = nullptr;
TRasGetConnectStatusA RasGetConnectStatusA = nullptr;
TRasHangUpA RasHangUpA = nullptr;
TRasGetProjectionInfoA RasGetProjectionInfoA = nullptr;

bool LoadRasApi() { return false; }

}  // namespace CPRasMiniApi
