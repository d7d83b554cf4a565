#include "CPRasMiniApi.h"

namespace CPRasMiniApi {

HMODULE RasApiLibrary = nullptr;
bool RasApiLoadAttempted = false;
TRasEnumConnectionsA RasEnumConnectionsA = nullptr;
TRasGetConnectStatusA RasGetConnectStatusA = nullptr;
TRasHangUpA RasHangUpA = nullptr;
TRasGetProjectionInfoA RasGetProjectionInfoA = nullptr;
TRasConnectionNotificationA RasConnectionNotificationA = nullptr;

namespace {

template <typename TEntryPoint>
TEntryPoint EntryPoint(const char* AName) {
  return reinterpret_cast<TEntryPoint>(GetProcAddress(RasApiLibrary, AName));
}

// The module's end step: the library goes once the program is done with it,
// and its entry points with it.
struct TUnitFinalization {
  ~TUnitFinalization() {
    if (RasApiLibrary == nullptr) return;
    RasEnumConnectionsA = nullptr;
    RasGetConnectStatusA = nullptr;
    RasHangUpA = nullptr;
    RasGetProjectionInfoA = nullptr;
    RasConnectionNotificationA = nullptr;
    FreeLibrary(RasApiLibrary);
    RasApiLibrary = nullptr;
  }
} UnitFinalization;

}  // namespace

bool LoadRasApi() {
  if (RasApiLoadAttempted) return RasEnumConnectionsA != nullptr;
  RasEnumConnectionsA = nullptr;
  RasApiLoadAttempted = true;
  RasApiLibrary = LoadLibraryA("RASAPI32.DLL");
  if (RasApiLibrary == nullptr) return false;
  RasEnumConnectionsA = EntryPoint<TRasEnumConnectionsA>("RasEnumConnectionsA");
  RasGetConnectStatusA = EntryPoint<TRasGetConnectStatusA>("RasGetConnectStatusA");
  RasHangUpA = EntryPoint<TRasHangUpA>("RasHangUpA");
  RasGetProjectionInfoA = EntryPoint<TRasGetProjectionInfoA>("RasGetProjectionInfoA");
  RasConnectionNotificationA =
      EntryPoint<TRasConnectionNotificationA>("RasConnectionNotificationA");
  return RasEnumConnectionsA != nullptr;
}

}  // namespace CPRasMiniApi
