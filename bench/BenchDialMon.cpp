// The components' own costs on the simulated dial-up service: one poll of
// the connection monitor (through its timer, on the hand-driven clock) and
// one Connected of the dialler.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "CPRasMonitor.h"
#include "RASManager.h"
#include "RasControl.h"
#include "TClock.h"

namespace {

std::string ServiceDir;

// Leaves the service's state file in place, listing nothing.
void HangUpAll() {
  RASCONNA Buffer[200];
  std::memset(Buffer, 0, sizeof Buffer);
  Buffer[0].dwSize = sizeof(RASCONNA);
  DWORD Bytes = sizeof Buffer;
  DWORD Count = 0;
  if (RasEnumConnectionsA(Buffer, &Bytes, &Count) != 0) return;
  if (Count == 0) {
    DravikRasAddConnected("Broadband", 1);
    HangUpAll();
    return;
  }
  for (DWORD Index = 0; Index < Count; ++Index) RasHangUpA(Buffer[Index].hrasconn);
}

// Argument: connected lines listed. 0: offline, nothing listed; 1: online,
// the steady poll (listing and status); 9: every poll fails.
void BM_TRasMonitorPoll(benchmark::State& AState) {
  HangUpAll();
  if (AState.range(0) > 0) DravikRasAddConnected("Broadband", static_cast<DWORD>(AState.range(0)));
  TRasMonitor Monitor(nullptr);
  if (!Monitor.RasApiLoaded()) {
    AState.SkipWithError("the dial-up library was not loaded");
    return;
  }
  Monitor.SetEnabled(true);
  TClock::Instance().Advance(1000);  // goes online once, outside the measurement
  for (auto _ : AState) {
    TClock::Instance().Advance(1000);
    benchmark::DoNotOptimize(Monitor.ConnectionDetails().Handle);
  }
  Monitor.SetEnabled(false);
  HangUpAll();
}
BENCHMARK(BM_TRasMonitorPoll)->Arg(0)->Arg(1)->Arg(9);

// Argument: connected lines of the entry listed (0: not connected).
void BM_TRASManagerConnected(benchmark::State& AState) {
  HangUpAll();
  if (AState.range(0) > 0) DravikRasAddConnected("Broadband", static_cast<DWORD>(AState.range(0)));
  TRASManager Dialler(nullptr);
  Dialler.SetEntryName("Broadband");
  for (auto _ : AState) benchmark::DoNotOptimize(Dialler.Connected());
  HangUpAll();
}
BENCHMARK(BM_TRASManagerConnected)->Arg(0)->Arg(1);

}  // namespace

int main(int argc, char** argv) {
  // A service folder of its own, so that the figures neither depend on nor
  // touch the user's connections.
  char Template[] = "/tmp/dravik-bench-XXXXXX";
  if (mkdtemp(Template) == nullptr) return 1;
  ServiceDir = Template;
  setenv("DRAVIK_RAS_DIR", Template, 1);
  setenv("DRAVIK_RAS_PROVIDER", "sim", 1);
  if (FILE* Phonebook = std::fopen((ServiceDir + "/phonebook.ini").c_str(), "w")) {
    std::fputs("[Broadband]\nUserName=user\nPassword=secret\nDialSeconds=0\n", Phonebook);
    std::fclose(Phonebook);
  }
  TClock::UseManualClock();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  HangUpAll();
  const std::string Remove[] = {"/run/state", "/run/state.lock", "/run", "/phonebook.ini", ""};
  for (const std::string& Part : Remove) std::remove((ServiceDir + Part).c_str());
  return 0;
}
