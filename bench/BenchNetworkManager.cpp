// The dial-up library on a real NetworkManager (the tests' testbed) beside
// what a user would otherwise run, nmcli, in one run:
//   - one monitor poll (listing plus status) against
//     nmcli -t -f NAME,STATE con show --active;
//   - dial until the connected notification against nmcli con up;
//   - hang-up until the library reports the line down against nmcli con down.
// Needs root (network namespaces); brings the testbed up and down itself.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "MonitorPoll.h"
#include "Ras.h"
#include "RunProgram.h"

namespace {

const char* const Profile = "Bench Line";
std::string TestbedDir;

std::mutex Lock;
std::condition_variable Changed;
RASCONNSTATE LastState = -1;
DWORD LastError = 0;

void WINAPI Notified(UINT, RASCONNSTATE AState, DWORD AError) {
  std::lock_guard<std::mutex> Guard(Lock);
  LastState = AState;
  LastError = AError;
  Changed.notify_all();
}

RASDIALPARAMSA ParamsOfProfile() {
  RASDIALPARAMSA Params;
  std::memset(&Params, 0, sizeof Params);
  Params.dwSize = sizeof Params;
  std::strcpy(Params.szEntryName, Profile);
  return Params;
}

// Dials through the library and waits for the last notification; the handle.
HRASCONN DialAndWait() {
  {
    std::lock_guard<std::mutex> Guard(Lock);
    LastState = -1;
    LastError = 0;
  }
  RASDIALPARAMSA Params = ParamsOfProfile();
  HRASCONN Handle = 0;
  if (RasDialA(nullptr, nullptr, &Params, 0, reinterpret_cast<LPVOID>(&Notified), &Handle) != 0) {
    return 0;
  }
  std::unique_lock<std::mutex> Guard(Lock);
  Changed.wait_for(Guard, std::chrono::seconds(30),
                   [] { return LastState == RASCS_Connected || LastError != 0; });
  return LastState == RASCS_Connected ? Handle : 0;
}

HRASCONN FirstListed() {
  RASCONNA Connections[8];
  std::memset(Connections, 0, sizeof Connections);
  Connections[0].dwSize = sizeof(RASCONNA);
  DWORD Bytes = sizeof Connections;
  DWORD Count = 0;
  if (RasEnumConnectionsA(Connections, &Bytes, &Count) != 0 || Count == 0) return 0;
  return Connections[0].hrasconn;
}

void HangUpListed() {
  while (HRASCONN Handle = FirstListed()) RasHangUpA(Handle);
  // NetworkManager finishes taking it down on its own; the next activation
  // must not meet that.
  for (int Wait = 0; Wait < 100; ++Wait) {
    std::string Out;
    Run({"nmcli", "-g", "GENERAL.STATE", "device", "show", "veth-c"}, &Out);
    if (Out.rfind("30", 0) == 0) return;
    usleep(20000);
  }
}

void BM_PollLibrary(benchmark::State& AState) {
  if (DialAndWait() == 0) {
    AState.SkipWithError("the dial failed");
    return;
  }
  for (auto _ : AState) {
    MonitorPoll();
  }
  HangUpListed();
}
BENCHMARK(BM_PollLibrary);

void BM_PollNmcli(benchmark::State& AState) {
  if (DialAndWait() == 0) {
    AState.SkipWithError("the dial failed");
    return;
  }
  for (auto _ : AState) {
    std::string Out;
    Run({"nmcli", "-t", "-f", "NAME,STATE", "con", "show", "--active"}, &Out);
    benchmark::DoNotOptimize(Out);
  }
  HangUpListed();
}
BENCHMARK(BM_PollNmcli)->Unit(benchmark::kMillisecond);

using Clock = std::chrono::steady_clock;

void BM_DialLibrary(benchmark::State& AState) {
  for (auto _ : AState) {
    const auto Start = Clock::now();
    const HRASCONN Handle = DialAndWait();
    AState.SetIterationTime(std::chrono::duration<double>(Clock::now() - Start).count());
    if (Handle == 0) AState.SkipWithError("the dial failed");
    HangUpListed();
  }
}
BENCHMARK(BM_DialLibrary)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_DialNmcli(benchmark::State& AState) {
  for (auto _ : AState) {
    const auto Start = Clock::now();
    const int Exit = Run({"nmcli", "con", "up", Profile});
    AState.SetIterationTime(std::chrono::duration<double>(Clock::now() - Start).count());
    if (Exit != 0) AState.SkipWithError("nmcli con up failed");
    HangUpListed();
  }
}
BENCHMARK(BM_DialNmcli)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_HangUpLibrary(benchmark::State& AState) {
  for (auto _ : AState) {
    const HRASCONN Handle = DialAndWait();
    const auto Start = Clock::now();
    RasHangUpA(Handle);
    RASCONNSTATUSA Status;
    std::memset(&Status, 0, sizeof Status);
    Status.dwSize = sizeof Status;
    // Down as the library reports it: the handle no longer answers.
    while (RasGetConnectStatusA(Handle, &Status) == 0) usleep(100);
    AState.SetIterationTime(std::chrono::duration<double>(Clock::now() - Start).count());
    HangUpListed();
  }
}
BENCHMARK(BM_HangUpLibrary)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_HangUpNmcli(benchmark::State& AState) {
  for (auto _ : AState) {
    DialAndWait();
    const auto Start = Clock::now();
    const int Exit = Run({"nmcli", "con", "down", Profile});
    AState.SetIterationTime(std::chrono::duration<double>(Clock::now() - Start).count());
    if (Exit != 0) AState.SkipWithError("nmcli con down failed");
    HangUpListed();
  }
}
BENCHMARK(BM_HangUpNmcli)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

bool TestbedUp() {
  if (geteuid() != 0) {
    std::fprintf(stderr, "bench_networkmanager: needs root (network namespaces)\n");
    return false;
  }
  char Template[] = "/tmp/dravik-bench-nm-XXXXXX";
  if (mkdtemp(Template) == nullptr) return false;
  TestbedDir = Template;
  std::string Out;
  if (Run({DRAVIK_NM_TESTBED_SCRIPT, "up", TestbedDir + "/testbed", std::to_string(getpid())},
          &Out) != 0) {
    std::fprintf(stderr, "bench_networkmanager: the testbed did not come up\n");
    return false;
  }
  setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + TestbedDir + "/testbed/bus").c_str(), 1);
  setenv("DRAVIK_RAS_PROVIDER", "networkmanager", 1);
  setenv("DRAVIK_NM_TYPES", "802-3-ethernet", 1);
  setenv("DRAVIK_RAS_DIR", (TestbedDir + "/ras").c_str(), 1);
  return Run({"nmcli", "connection", "add", "type", "ethernet", "ifname", "veth-c", "con-name",
              Profile, "connection.autoconnect", "no", "ethernet.cloned-mac-address", "random",
              "ipv6.method", "disabled"}) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!TestbedUp()) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Run({DRAVIK_NM_TESTBED_SCRIPT, "down", TestbedDir + "/testbed"});
  Run({"rm", "-rf", TestbedDir});
  return 0;
}
