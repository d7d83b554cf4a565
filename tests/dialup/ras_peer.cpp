// Another process of the same user working the dial-up service, so that the
// tests see connections made and ended outside the component under test.
//
//   ras_peer dial <entry>            dials and waits; prints "<result> <handle>"
//   ras_peer hangup <entry>          hangs up every connection of the entry
//   ras_peer drop <entry>            cuts the entry's lines
//   ras_peer failnext <entry> <code> the entry's next dial fails with <code>
//   ras_peer add <entry> <count>     lists <count> more connected lines
//   ras_peer list                    prints "<handle> <entry>" per connection
//
// The exit status is the service's result code (cut to 255), 2 for bad usage.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Ras.h"
#include "RasControl.h"

namespace {

int Exit(DWORD AResult) { return AResult > 255 ? 255 : static_cast<int>(AResult); }

DWORD List(std::vector<RASCONNA>& AConnections) {
  AConnections.assign(64, RASCONNA{});
  AConnections[0].dwSize = sizeof(RASCONNA);
  DWORD Size = static_cast<DWORD>(AConnections.size() * sizeof(RASCONNA));
  DWORD Count = 0;
  const DWORD Result = RasEnumConnectionsA(AConnections.data(), &Size, &Count);
  AConnections.resize(Result == 0 ? Count : 0);
  return Result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string Command = argv[1];
  const char* Entry = argc > 2 ? argv[2] : "";
  if (std::strlen(Entry) > RAS_MaxEntryName) return 2;

  if (Command == "dial" && argc == 3) {
    RASDIALPARAMSA Params{};
    Params.dwSize = sizeof(Params);
    std::strcpy(Params.szEntryName, Entry);
    BOOL Stored = 0;
    DWORD Result = RasGetEntryDialParamsA(nullptr, &Params, &Stored);
    HRASCONN Handle = 0;
    if (Result == 0) Result = RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle);
    std::printf("%u %u\n", Result, Handle);
    return Exit(Result);
  }
  if (Command == "hangup" && argc == 3) {
    std::vector<RASCONNA> Connections;
    const DWORD Result = List(Connections);
    for (const RASCONNA& Connection : Connections)
      if (std::strcmp(Connection.szEntryName, Entry) == 0) RasHangUpA(Connection.hrasconn);
    return Exit(Result);
  }
  if (Command == "drop" && argc == 3) return Exit(DravikRasDropEntry(Entry));
  if (Command == "failnext" && argc == 4)
    return Exit(DravikRasFailNextDial(Entry, std::strtoul(argv[3], nullptr, 10)));
  if (Command == "add" && argc == 4)
    return Exit(DravikRasAddConnected(Entry, std::strtoul(argv[3], nullptr, 10)));
  if (Command == "list" && argc == 2) {
    std::vector<RASCONNA> Connections;
    const DWORD Result = List(Connections);
    for (const RASCONNA& Connection : Connections)
      std::printf("%u %s\n", Connection.hrasconn, Connection.szEntryName);
    return Exit(Result);
  }
  return 2;
}
