// Calls each of the seven dial-up calls once with sound arguments and prints
// its result code, one "name code" a line: lets a test see how the library
// answers in a process started with a chosen environment.
//
// "ras_probe exit-while-dialling ENTRY" instead starts an asynchronous dial
// and ends the program at once, while the library's thread reports it.
// "ras_probe credentials ENTRY" prints the entry's stored credentials as the
// process sees them: "user=NAME password=TEXT result=CODE".

#include <cstdio>
#include <cstring>

#include "Ras.h"

namespace {

void WINAPI PrintNotification(UINT, RASCONNSTATE AState, DWORD AError) {
  std::printf("notified %d %u\n", AState, AError);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "exit-while-dialling") == 0) {
    RASDIALPARAMSA Params;
    std::memset(&Params, 0, sizeof Params);
    Params.dwSize = sizeof Params;
    std::strncpy(Params.szEntryName, argv[2], RAS_MaxEntryName);
    RasGetEntryDialParamsA(nullptr, &Params, nullptr);
    HRASCONN Handle = 0;
    const DWORD Result = RasDialA(nullptr, nullptr, &Params, 0,
                                  reinterpret_cast<LPVOID>(&PrintNotification), &Handle);
    std::printf("dialled %u %u\n", Result, Handle);
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "credentials") == 0) {
    RASDIALPARAMSA Params;
    std::memset(&Params, 0, sizeof Params);
    Params.dwSize = sizeof Params;
    std::strncpy(Params.szEntryName, argv[2], RAS_MaxEntryName);
    const DWORD Result = RasGetEntryDialParamsA(nullptr, &Params, nullptr);
    std::printf("user=%s password=%s result=%u\n", Params.szUserName, Params.szPassword, Result);
    return 0;
  }
  RASDIALPARAMSA Params;
  std::memset(&Params, 0, sizeof Params);
  Params.dwSize = sizeof Params;
  std::strcpy(Params.szEntryName, "Probe");
  BOOL Stored = -1;
  std::printf("RasGetEntryDialParamsA %u\n", RasGetEntryDialParamsA(nullptr, &Params, &Stored));
  HRASCONN Handle = 0;
  std::printf("RasDialA %u\n", RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle));
  RASCONNA Connections[8];
  std::memset(Connections, 0, sizeof Connections);
  Connections[0].dwSize = sizeof(RASCONNA);
  DWORD Bytes = sizeof Connections;
  DWORD Count = 0;
  std::printf("RasEnumConnectionsA %u\n", RasEnumConnectionsA(Connections, &Bytes, &Count));
  RASENTRYNAMEA Entries[8];
  std::memset(Entries, 0, sizeof Entries);
  Entries[0].dwSize = sizeof(RASENTRYNAMEA);
  Bytes = sizeof Entries;
  std::printf("RasEnumEntriesA %u\n", RasEnumEntriesA(nullptr, nullptr, Entries, &Bytes, &Count));
  RASCONNSTATUSA Status;
  std::memset(&Status, 0, sizeof Status);
  Status.dwSize = sizeof Status;
  std::printf("RasGetConnectStatusA %u\n", RasGetConnectStatusA(Handle, &Status));
  RASPPPIPA Projection;
  std::memset(&Projection, 0, sizeof Projection);
  Projection.dwSize = sizeof Projection;
  Bytes = sizeof Projection;
  std::printf("RasGetProjectionInfoA %u\n",
              RasGetProjectionInfoA(Handle, RASP_PppIp, &Projection, &Bytes));
  std::printf("RasHangUpA %u\n", RasHangUpA(Handle));
  return 0;
}
