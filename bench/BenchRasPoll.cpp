// One poll of the connection monitor on the simulated dial-up service: the
// listing into eight records and the status of the first connection.

#include <benchmark/benchmark.h>

#include "BenchService.h"
#include "MonitorPoll.h"
#include "Ras.h"
#include "RasControl.h"

namespace {

// Argument: how many connections are listed (the poll fails past eight).
void BM_MonitorPoll(benchmark::State& AState) {
  HangUpAll();
  DravikRasAddConnected("Broadband", static_cast<DWORD>(AState.range(0)));
  for (auto _ : AState) {
    MonitorPoll();
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
