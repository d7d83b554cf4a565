// The simulated dial-up service's calls against how many connections it
// lists, from 10 to its most (4,096): the listing, one connection's status
// and one hang-up, each with its slope. The listing hands back every
// connection and so grows with them; it is the yardstick for the others: a
// status may grow no faster (it finds one connection among them), a hang-up
// no faster (it writes the state back once).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "BenchService.h"
#include "Ras.h"
#include "RasControl.h"

namespace {

constexpr const char* Entry = "Broadband";

std::vector<RASCONNA> Listed(size_t AAtMost) {
  std::vector<RASCONNA> Records(AAtMost + 1);
  std::memset(Records.data(), 0, Records.size() * sizeof(RASCONNA));
  Records[0].dwSize = sizeof(RASCONNA);
  DWORD Bytes = static_cast<DWORD>(Records.size() * sizeof(RASCONNA));
  DWORD Count = 0;
  if (RasEnumConnectionsA(Records.data(), &Bytes, &Count) != ERROR_SUCCESS) Count = 0;
  Records.resize(Count);
  return Records;
}

// Exactly ACount connections of the entry listed, connected.
bool ListExactly(int64_t ACount) {
  const DWORD Dropped = DravikRasDropEntry(Entry);
  if (Dropped != ERROR_SUCCESS && Dropped != ERROR_NO_CONNECTION) return false;
  // The library adds at most 1,000 at a time.
  for (int64_t Left = ACount; Left > 0; Left -= 1000) {
    const DWORD Part = static_cast<DWORD>(std::min<int64_t>(Left, 1000));
    if (DravikRasAddConnected(Entry, Part) != ERROR_SUCCESS) return false;
  }
  return Listed(static_cast<size_t>(ACount)).size() == static_cast<size_t>(ACount);
}

void BM_SimListing(benchmark::State& AState) {
  const int64_t Count = AState.range(0);
  if (!ListExactly(Count)) return AState.SkipWithError("cannot list the connections");
  std::vector<RASCONNA> Records(static_cast<size_t>(Count));
  for (auto _ : AState) {
    Records[0].dwSize = sizeof(RASCONNA);
    DWORD Bytes = static_cast<DWORD>(Records.size() * sizeof(RASCONNA));
    DWORD Found = 0;
    benchmark::DoNotOptimize(RasEnumConnectionsA(Records.data(), &Bytes, &Found));
    benchmark::DoNotOptimize(Found);
  }
  AState.SetComplexityN(Count);
}

// The status of the connection listed in the middle.
void BM_SimStatus(benchmark::State& AState) {
  const int64_t Count = AState.range(0);
  if (!ListExactly(Count)) return AState.SkipWithError("cannot list the connections");
  const HRASCONN Handle =
      Listed(static_cast<size_t>(Count))[static_cast<size_t>(Count / 2)].hrasconn;
  RASCONNSTATUSA Status;
  for (auto _ : AState) {
    std::memset(&Status, 0, sizeof Status);
    Status.dwSize = sizeof Status;
    if (RasGetConnectStatusA(Handle, &Status) != ERROR_SUCCESS) {
      return AState.SkipWithError("the status failed");
    }
    benchmark::DoNotOptimize(Status.rasconnstate);
  }
  AState.SetComplexityN(Count);
}

// The hang-up of the connection listed first; a new connection, added outside
// the measurement, keeps the count.
void BM_SimHangUp(benchmark::State& AState) {
  const int64_t Count = AState.range(0);
  if (!ListExactly(Count)) return AState.SkipWithError("cannot list the connections");
  for (auto _ : AState) {
    AState.PauseTiming();
    const HRASCONN Handle = Listed(static_cast<size_t>(Count)).front().hrasconn;
    AState.ResumeTiming();
    if (RasHangUpA(Handle) != ERROR_SUCCESS) return AState.SkipWithError("the hang-up failed");
    AState.PauseTiming();
    const DWORD Added = DravikRasAddConnected(Entry, 1);
    AState.ResumeTiming();
    if (Added != ERROR_SUCCESS) return AState.SkipWithError("cannot add a connection");
  }
  AState.SetComplexityN(Count);
}

void Counts(benchmark::internal::Benchmark* ABenchmark) {
  for (int Count : {10, 100, 1000, 4096}) ABenchmark->Arg(Count);
  ABenchmark->Complexity();
}

BENCHMARK(BM_SimListing)->Apply(Counts);
BENCHMARK(BM_SimStatus)->Apply(Counts);
BENCHMARK(BM_SimHangUp)->Apply(Counts);

}  // namespace

int main(int argc, char** argv) {
  if (!OpenBenchService()) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  DravikRasDropEntry(Entry);
  CloseBenchService();
  return 0;
}
