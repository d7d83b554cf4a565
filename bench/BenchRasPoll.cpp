// One poll of the connection monitor on the simulated dial-up service: the
// listing into eight records and the status of the first connection.

#include <benchmark/benchmark.h>

#include <cstring>

#include "BenchService.h"
#include "Ras.h"
#include "RasControl.h"

namespace {

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
  if (!OpenBenchService()) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  CloseBenchService();
  return 0;
}
