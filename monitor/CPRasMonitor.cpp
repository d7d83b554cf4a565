#include "CPRasMonitor.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "CPRasMiniApi.h"
#include "Exception.h"
#include "RasStateText.h"
#include "TRasChangeWaiter.h"
#include "TTimer.h"
#include "Winsock.h"

namespace {

// The connection buffer of one poll: more connections than this make the
// listing fail. Eight on purpose: the poll only reads the first connection,
// and its buffer stays a fixed 3296-byte local, as the monitor has always had.
constexpr DWORD PollCapacity = 8;
constexpr int HostNameSize = 255;

// The module's start and end steps: the socket layer, version 1.1.
struct TUnitLifetime {
  WSADATA Data{};
  TUnitLifetime() { WSAStartup(0x0101, &Data); }
  ~TUnitLifetime() { WSACleanup(); }
} UnitLifetime;

bool ReadHostName(std::string& AName) {
  char Buffer[HostNameSize + 1] = {};
  if (gethostname(Buffer, HostNameSize) == SOCKET_ERROR) return false;
  AName.assign(Buffer, strnlen(Buffer, HostNameSize));
  return true;
}

// Empty when the host's name cannot be read or resolves to no IPv4 address.
std::string QueryLocalIP() {
  std::string Name;
  if (!ReadHostName(Name)) return {};
  const hostent* Host = gethostbyname(Name.c_str());
  if (Host == nullptr || Host->h_length != 4 || Host->h_addr_list == nullptr ||
      Host->h_addr_list[0] == nullptr)
    return {};
  const auto* Bytes = reinterpret_cast<const unsigned char*>(Host->h_addr_list[0]);
  char Text[16];
  std::snprintf(Text, sizeof(Text), "%u.%u.%u.%u", Bytes[0], Bytes[1], Bytes[2], Bytes[3]);
  return Text;
}

std::string QueryLocalHost() {
  std::string Name;
  return ReadHostName(Name) ? Name : std::string();
}

template <size_t N>
void CopyField(char (&ATarget)[N], const char (&ASource)[N]) {
  std::memcpy(ATarget, ASource, N);
}

}  // namespace

TRasMonitor::TRasMonitor(TComponent* AOwner) : TComponent(AOwner) {
  FPollTimer = new TTimer(this);
  FPollTimer->SetEnabled(false);
  FPollTimer->SetInterval(1000);
  FPollTimer->OnTimer.Bind(this, &TRasMonitor::PollConnections);
  FEnabled = false;
  FPollInterval = 1000;
  FOnline = false;
  FRasApiLoaded = false;
  FCurrentHandle = 0;
  std::memset(&FConnectionDetails, 0, sizeof(FConnectionDetails));
  FLocalIP = QueryLocalIP();
  FLocalHost = QueryLocalHost();
  FRasApiLoaded = CPRasMiniApi::LoadRasApi();
}

TRasMonitor::~TRasMonitor() {
  FChangeWaiter.reset();
  FPollTimer->SetEnabled(false);
  delete FPollTimer;
  FPollTimer = nullptr;
}

void TRasMonitor::Loaded() { TComponent::Loaded(); }

void TRasMonitor::SetEnabled(bool AEnabled) {
  if (Designing()) return;
  if (!FRasApiLoaded) throw Exception("RASAPI Not Loaded, unable to access RAS Functions");
  if (AEnabled == FEnabled) return;
  FEnabled = AEnabled;
  if (FEnabled) {
    // A negative interval reads as its unsigned value, as the timer takes it.
    FPollTimer->SetInterval(static_cast<uint32_t>(FPollInterval));
    FPollTimer->SetEnabled(true);
    if (FChangeNotification) {
      FChangeWaiter = std::make_unique<TRasChangeWaiter>();
      FChangeWaiter->OnChanged = [this] {
        if (FEnabled) PollConnections(this);
      };
      if (!FChangeWaiter->Start()) FChangeWaiter.reset();
    }
  } else {
    FPollTimer->SetEnabled(false);
    FChangeWaiter.reset();
  }
}

bool TRasMonitor::Notified() const { return FChangeWaiter != nullptr; }

void TRasMonitor::PollConnections(TObject*) {
  if (!FEntryName.empty()) {
    PollEntry();
    return;
  }
  std::memset(&FConnectionDetails, 0, sizeof(FConnectionDetails));
  RASCONNA Connections[PollCapacity] = {};
  Connections[0].dwSize = sizeof(RASCONNA);
  DWORD Size = sizeof(Connections);
  DWORD Count = 0;
  RASCONNSTATUSA Status;
  std::memset(&Status, 0, sizeof(Status));
  Status.dwSize = sizeof(RASCONNSTATUSA);

  if (CPRasMiniApi::RasEnumConnectionsA(Connections, &Size, &Count) != 0) {
    // Also when more than eight connections are listed: offline, silently.
    FOnline = false;
    return;
  }
  if (Count == 0) {
    if (FOnline) {
      FOnline = false;
      OnRasDisconnected(this, FConnectionDetails);
    }
    return;
  }

  // Only the first listed connection counts.
  const RASCONNA& First = Connections[0];
  FCurrentHandle = First.hrasconn;
  // A failed (or missing) status call leaves the block zero: state 0, no error.
  if (CPRasMiniApi::RasGetConnectStatusA != nullptr)
    CPRasMiniApi::RasGetConnectStatusA(FCurrentHandle, &Status);
  const std::string Text = StateText(Status.rasconnstate, Status.dwError);
  FConnectionDetails.StatusText.Assign(Text);
  FConnectionDetails.Handle = RasHandleNumber(FCurrentHandle);
  CopyField(FConnectionDetails.EntryName, First.szEntryName);
  CopyField(FConnectionDetails.DeviceType, First.szDeviceType);
  CopyField(FConnectionDetails.DeviceName, First.szDeviceName);

  if (FOnline) return;
  if (Status.rasconnstate == RASCS_Connected) GoOnline();
  if (!Text.empty()) OnRasStatusChanged(this, FConnectionDetails, Text);
}

void TRasMonitor::PollEntry() {
  // Every listed connection, however many: other lines may be listed first.
  std::vector<RASCONNA> Connections(PollCapacity);
  DWORD Count = 0;
  DWORD Result = ERROR_BUFFER_TOO_SMALL;
  for (int Attempt = 0; Attempt < 4 && Result == ERROR_BUFFER_TOO_SMALL; ++Attempt) {
    Connections[0].dwSize = sizeof(RASCONNA);
    DWORD Size = static_cast<DWORD>(Connections.size() * sizeof(RASCONNA));
    Result = CPRasMiniApi::RasEnumConnectionsA(Connections.data(), &Size, &Count);
    if (Result == ERROR_BUFFER_TOO_SMALL) Connections.resize(Size / sizeof(RASCONNA) + 1);
  }
  // A listing that fails tells nothing of the line: it is not taken for a
  // line gone.
  if (Result != 0) return;
  const RASCONNA* Own = nullptr;
  for (DWORD Index = 0; Index < Count && Own == nullptr; ++Index) {
    if (FieldText(Connections[Index].szEntryName) == FEntryName) Own = &Connections[Index];
  }
  // The line went, or another connection of the entry stands in its place
  // (it dropped and was dialled again between two looks): down first.
  if (FOnline && (Own == nullptr || Own->hrasconn != FCurrentHandle)) {
    FOnline = false;
    OnRasDisconnected(this, FConnectionDetails);
  }
  // Still up: nothing more to look at.
  if (Own == nullptr || FOnline) return;
  RASCONNSTATUSA Status;
  std::memset(&Status, 0, sizeof(Status));
  Status.dwSize = sizeof(RASCONNSTATUSA);
  if (CPRasMiniApi::RasGetConnectStatusA == nullptr ||
      CPRasMiniApi::RasGetConnectStatusA(Own->hrasconn, &Status) != 0)
    return;
  std::memset(&FConnectionDetails, 0, sizeof(FConnectionDetails));
  FCurrentHandle = Own->hrasconn;
  const std::string Text = StateText(Status.rasconnstate, Status.dwError);
  FConnectionDetails.StatusText.Assign(Text);
  FConnectionDetails.Handle = RasHandleNumber(FCurrentHandle);
  CopyField(FConnectionDetails.EntryName, Own->szEntryName);
  CopyField(FConnectionDetails.DeviceType, Own->szDeviceType);
  CopyField(FConnectionDetails.DeviceName, Own->szDeviceName);
  if (Status.rasconnstate == RASCS_Connected && Status.dwError == 0) {
    GoOnline();
    return;
  }
  if (!Text.empty()) OnRasStatusChanged(this, FConnectionDetails, Text);
}

void TRasMonitor::GoOnline() {
  FOnline = true;
  RASPPPIPA Projection;
  std::memset(&Projection, 0, sizeof(Projection));
  Projection.dwSize = sizeof(RASPPPIPA);
  DWORD ProjectionSize = sizeof(RASPPPIPA);
  if (CPRasMiniApi::RasGetProjectionInfoA != nullptr &&
      CPRasMiniApi::RasGetProjectionInfoA(FCurrentHandle, RASP_PppIp, &Projection,
                                          &ProjectionSize) == 0) {
    CopyField(FConnectionDetails.IPAddress, Projection.szIpAddress);
    CopyField(FConnectionDetails.ServerIPAddress, Projection.szServerIpAddress);
  }
  OnRasConnected(this, FConnectionDetails);
}

std::string StateText(RASCONNSTATE AState, DWORD AError) {
  // Three Rs on purpose: the status has always read so, and status handlers
  // and their logs may match it.
  if (AError != 0) return "ERRROR";
  return RasStateText(AState);
}
