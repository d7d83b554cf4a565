// The components' own costs on the simulated dial-up service: one poll of
// the connection monitor (through its timer, on the hand-driven clock) and
// one Connected of the dialler.

#include <benchmark/benchmark.h>

#include "BenchService.h"
#include "CPRasMonitor.h"
#include "RASManager.h"
#include "RasControl.h"
#include "TManualClock.h"

namespace {

// Leaves the service's state file in place, listing nothing.
void HangUpAllKeepingState() {
  if (HangUpAll() != 0) return;
  DravikRasAddConnected("Broadband", 1);
  HangUpAll();
}

// Argument: connected lines listed. 0: offline, nothing listed; 1: online,
// the steady poll (listing and status); 9: every poll fails.
void BM_TRasMonitorPoll(benchmark::State& AState) {
  HangUpAllKeepingState();
  if (AState.range(0) > 0) DravikRasAddConnected("Broadband", static_cast<DWORD>(AState.range(0)));
  TRasMonitor Monitor(nullptr);
  if (!Monitor.RasApiLoaded()) {
    AState.SkipWithError("the dial-up library was not loaded");
    return;
  }
  Monitor.SetEnabled(true);
  TManualClock::Instance().Advance(1000);  // goes online once, outside the measurement
  for (auto _ : AState) {
    TManualClock::Instance().Advance(1000);
    benchmark::DoNotOptimize(Monitor.ConnectionDetails().Handle);
  }
  Monitor.SetEnabled(false);
  HangUpAllKeepingState();
}
BENCHMARK(BM_TRasMonitorPoll)->Arg(0)->Arg(1)->Arg(9);

// Argument: connected lines of the entry listed (0: not connected).
void BM_TRASManagerConnected(benchmark::State& AState) {
  HangUpAllKeepingState();
  if (AState.range(0) > 0) DravikRasAddConnected("Broadband", static_cast<DWORD>(AState.range(0)));
  TRASManager Dialler(nullptr);
  Dialler.SetEntryName("Broadband");
  for (auto _ : AState) benchmark::DoNotOptimize(Dialler.Connected());
  HangUpAllKeepingState();
}
BENCHMARK(BM_TRASManagerConnected)->Arg(0)->Arg(1);

}  // namespace

int main(int argc, char** argv) {
  if (!OpenBenchService()) return 1;
  TManualClock::Use();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  CloseBenchService();
  return 0;
}
