// The dial-up library on a dial-up server, the pppd testbed with the
// stand-in pppd (tests/platform/pppd; needs root), beside what a script
// would run, in one run:
//   - one monitor poll (listing plus status) against
//     "ip -4 -o addr show dev pppN" plus reading the link's pid file;
//   - a whole turn through the library (hang-up, dial, the new address)
//     against "poff NAME", "pon NAME" and "ip -4 -o addr show" until the
//     new address is there.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "MonitorPoll.h"
#include "Ras.h"
#include "RunProgram.h"
#include "TPppdTestbed.h"

namespace {

const char* const Peer = "Bench";

RASCONNA FirstListed() {
  RASCONNA Connections[8];
  std::memset(Connections, 0, sizeof Connections);
  Connections[0].dwSize = sizeof(RASCONNA);
  DWORD Bytes = sizeof Connections;
  DWORD Count = 0;
  if (RasEnumConnectionsA(Connections, &Bytes, &Count) != 0 || Count == 0) return RASCONNA{};
  return Connections[0];
}

std::string AddressOf(HRASCONN AHandle) {
  RASPPPIPA Projection;
  std::memset(&Projection, 0, sizeof Projection);
  Projection.dwSize = sizeof Projection;
  DWORD Size = sizeof Projection;
  if (RasGetProjectionInfoA(AHandle, RASP_PppIp, &Projection, &Size) != 0) return {};
  return Projection.szIpAddress;
}

// Dials the peer through the library, waiting; its handle, 0 on failure.
HRASCONN Dial() {
  RASDIALPARAMSA Params;
  std::memset(&Params, 0, sizeof Params);
  Params.dwSize = sizeof Params;
  std::strcpy(Params.szEntryName, Peer);
  RasGetEntryDialParamsA(nullptr, &Params, nullptr);
  HRASCONN Handle = 0;
  return RasDialA(nullptr, nullptr, &Params, 0, nullptr, &Handle) == 0 ? Handle : 0;
}

HRASCONN Connected() {
  const RASCONNA First = FirstListed();
  return First.hrasconn != 0 ? First.hrasconn : Dial();
}

// The own addresses of the ppp interfaces, as "ip -4 -o addr show" prints
// them.
std::string PppAddresses() {
  std::string Out;
  Run({"ip", "-4", "-o", "addr", "show"}, &Out);
  std::istringstream Lines(Out);
  std::string Found;
  for (std::string Line; std::getline(Lines, Line);) {
    std::istringstream Words(Line);
    std::string Index, Interface, Family, Address;
    Words >> Index >> Interface >> Family >> Address;
    if (Interface.rfind("ppp", 0) == 0) Found += Address + " ";
  }
  return Found;
}

void BM_PollLibrary(benchmark::State& AState) {
  if (Connected() == 0) {
    AState.SkipWithError("the dial failed");
    return;
  }
  for (auto _ : AState) {
    MonitorPoll();
  }
}
BENCHMARK(BM_PollLibrary);

void BM_PollScript(benchmark::State& AState) {
  if (Connected() == 0) {
    AState.SkipWithError("the dial failed");
    return;
  }
  const std::string Interface = FirstListed().szDeviceName;
  for (auto _ : AState) {
    std::string Out;
    Run({"ip", "-4", "-o", "addr", "show", "dev", Interface}, &Out);
    std::ifstream PidFile(std::string("/run/ppp-") + Peer + ".pid");
    std::string Pid;
    PidFile >> Pid;
    benchmark::DoNotOptimize(Out);
    benchmark::DoNotOptimize(Pid);
  }
}
BENCHMARK(BM_PollScript);

void BM_TurnLibrary(benchmark::State& AState) {
  HRASCONN Handle = Connected();
  std::string Address = AddressOf(Handle);
  for (auto _ : AState) {
    RasHangUpA(Handle);
    Handle = Dial();
    const std::string Next = AddressOf(Handle);
    if (Next.empty() || Next == Address) {
      AState.SkipWithError("no new address");
      return;
    }
    Address = Next;
  }
}
BENCHMARK(BM_TurnLibrary)->Unit(benchmark::kMillisecond);

void BM_TurnPonPoff(benchmark::State& AState) {
  if (Connected() == 0) {
    AState.SkipWithError("the dial failed");
    return;
  }
  std::string Addresses = PppAddresses();
  for (auto _ : AState) {
    Run({"poff", Peer});
    Run({"pon", Peer});
    std::string Now;
    for (int Poll = 0; Poll < 100000; ++Poll) {
      Now = PppAddresses();
      if (!Now.empty() && Now.find(Addresses) == std::string::npos) break;
    }
    if (Now.empty() || Now == Addresses) {
      AState.SkipWithError("no new address");
      return;
    }
    Addresses = Now;
  }
}
BENCHMARK(BM_TurnPonPoff)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  TPppdTestbed& Testbed = TPppdTestbed::Enter(TPppdTestbed::StandIn);
  if (!Testbed.Up()) {
    std::fprintf(stderr, "bench_pppd: %s\n", Testbed.Missing().c_str());
    return 1;
  }
  // The peer names its link, so that pon's pppd is the library's link too.
  if (!TPppdTestbed::Write(std::string("/etc/ppp/peers/") + Peer,
                           "noauth\nplugin rp-pppoe.so nic-eth0\nuser alice\nlinkname Bench\n",
                           0640) ||
      !TPppdTestbed::Write("/etc/ppp/chap-secrets", "alice * s3cret\n", 0600) ||
      !Testbed.WriteAccounts("alice s3cret\n")) {
    std::fprintf(stderr, "bench_pppd: cannot write the peer\n");
    return 1;
  }
  setenv("DRAVIK_RAS_PROVIDER", "pppd", 1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const RASCONNA First = FirstListed();
  if (First.hrasconn != 0) RasHangUpA(First.hrasconn);
  return 0;
}
