// One poll of the connection monitor on the simulated dial-up service: the
// listing into eight records and the status of the first connection.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "Ras.h"
#include "RasControl.h"

namespace {

std::string ServiceDir;

void HangUpAll() {
  RASCONNA Buffer[200];
  std::memset(Buffer, 0, sizeof Buffer);
  Buffer[0].dwSize = sizeof(RASCONNA);
  DWORD Bytes = sizeof Buffer;
  DWORD Count = 0;
  if (RasEnumConnectionsA(Buffer, &Bytes, &Count) != 0) return;
  for (DWORD Index = 0; Index < Count; ++Index) RasHangUpA(Buffer[Index].hrasconn);
}

// Argument: how many connections are listed (the poll fails past eight).
void BM_MonitorPoll(benchmark::State& AState) {
  HangUpAll();
  DravikRasAddConnected("Broadband", static_cast<DWORD>(AState.range(0)));
  for (auto _ : AState) {
    RASCONNA Connections[8];
    std::memset(Connections, 0, sizeof Connections);
    Connections[0].dwSize = sizeof(RASCONNA);
    DWORD Bytes = sizeof Connections;
    DWORD Count = 0;
    RASCONNSTATUSA Status;
    std::memset(&Status, 0, sizeof Status);
    Status.dwSize = sizeof Status;
    const DWORD Result = RasEnumConnectionsA(Connections, &Bytes, &Count);
    if (Result == 0 && Count > 0) RasGetConnectStatusA(Connections[0].hrasconn, &Status);
    benchmark::DoNotOptimize(Status);
  }
  HangUpAll();
}
BENCHMARK(BM_MonitorPoll)->Arg(1)->Arg(8)->Arg(9);

}  // namespace

int main(int argc, char** argv) {
  // A service folder of its own, so that the figures do not depend on (or
  // touch) the user's connections.
  char Template[] = "/tmp/dravik-bench-XXXXXX";
  if (mkdtemp(Template) == nullptr) return 1;
  ServiceDir = Template;
  setenv("DRAVIK_RAS_DIR", Template, 1);
  unsetenv("DRAVIK_RAS_PROVIDER");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  HangUpAll();
  const std::string Remove[] = {"/run/state", "/run/state.lock", "/run", "/phonebook.ini", ""};
  for (const std::string& Part : Remove) std::remove((ServiceDir + Part).c_str());
  return 0;
}
