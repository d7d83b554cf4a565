// A whole turn of the rotation service on a real NetworkManager (the tests'
// testbed; needs root), at 1 s online and 1 s offline, both ways side by
// side in one run:
//   - notified: the service learns of the line from the dial's own
//     notification and the dial-up library's change notification (as it
//     runs);
//   - polled: from its monitor's 500 ms polls only (as it ran before).
// For each turn: the overhead, the time between two new addresses less the
// online and offline times and less NetworkManager's own deactivation (from
// the hang-up until the library saw the line down) and activation (from the
// dial's start until the library saw the line up); and the record's error,
// when the row was written less when the line was seen up. Counters in
// milliseconds: p50 and p90 of each, with NetworkManager's own times.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "RASManager.h"
#include "THistory.h"
#include "TLineWatch.h"
#include "TNmTestbed.h"
#include "TRotation.h"
#include "TServiceLog.h"

namespace {

const char* const Entry = "Bench Line";
constexpr int Turns = 12;

double Percentile(std::vector<double> AValues, double AShare) {
  if (AValues.empty()) return NAN;
  std::sort(AValues.begin(), AValues.end());
  const size_t Index = static_cast<size_t>(AShare * static_cast<double>(AValues.size() - 1) + 0.5);
  return AValues[std::min(Index, AValues.size() - 1)];
}

void HangUpLine() {
  TRASManager Dialler(nullptr);
  Dialler.SetEntryName(Entry);
  Dialler.HangUp();
  QElapsedTimer Waited;
  Waited.start();
  while (IsEntryConnected(Entry) && Waited.elapsed() < 5000) QCoreApplication::processEvents();
}

void BM_Turn(benchmark::State& AState) {
  const bool Notified = AState.range(0) == 1;
  std::vector<double> Overheads;
  std::vector<double> RecordErrors;
  std::vector<double> Activations;
  std::vector<double> Deactivations;
  for (auto _ : AState) {
    HangUpLine();
    TLineWatch Watch(Entry);
    TServiceLog Log(false);
    std::vector<int64_t> HangUps;
    Log.Tap = [&HangUps](TServiceLog::TPriority, const std::string& AText) {
      if (AText == "online time over: hanging up")
        HangUps.push_back(QDateTime::currentMSecsSinceEpoch());
    };
    TServiceConfig Config;
    Config.Entry = Entry;
    Config.OnlineSeconds = 1;
    Config.OfflineSeconds = 1;
    std::vector<TDialRecord> Rows;
    TRotation Rotation(nullptr, Config, Log, nullptr, nullptr, nullptr);
    Rotation.LineNotifications = Notified;
    Rotation.OnRecorded = [&Rows](const TDialRecord& ARow) { Rows.push_back(ARow); };
    std::string Problem;
    if (!Rotation.Start(Problem)) {
      AState.SkipWithError(Problem.c_str());
      return;
    }
    QElapsedTimer Running;
    Running.start();
    while (Rows.size() < Turns + 1 && Running.elapsed() < 120000)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    const std::vector<int64_t> Seen = Watch.ConnectedAt();
    const std::vector<int64_t> Down = Watch.DownAt();
    // The first sighting at or after AFrom.
    auto After = [](const std::vector<int64_t>& ATimes, int64_t AFrom) {
      for (int64_t At : ATimes)
        if (At >= AFrom) return At;
      return int64_t(0);
    };
    for (size_t I = 0; I < Rows.size(); ++I) {
      if (Rows[I].Outcome != "connected") {
        AState.SkipWithError(("a turn ended " + Rows[I].Outcome).c_str());
        return;
      }
      // The watch's sighting nearest the row: when the line was up.
      int64_t Up = 0;
      for (int64_t At : Seen)
        if (Up == 0 || std::llabs(At - Rows[I].TimeMs) < std::llabs(Up - Rows[I].TimeMs)) Up = At;
      RecordErrors.push_back(static_cast<double>(Rows[I].TimeMs - Up));
      if (I == 0) continue;
      const int64_t DialStart = Rows[I].TimeMs - Rows[I].DialMs;
      const double Activation = static_cast<double>(Up - DialStart);
      int64_t HangUp = After(HangUps, Rows[I - 1].TimeMs);
      const int64_t Gone = After(Down, HangUp);
      const double Deactivation = HangUp != 0 && Gone != 0 ? static_cast<double>(Gone - HangUp) : 0;
      Activations.push_back(Activation);
      Deactivations.push_back(Deactivation);
      Overheads.push_back(static_cast<double>(Rows[I].TimeMs - Rows[I - 1].TimeMs) - 2000.0 -
                          Activation - Deactivation);
    }
  }
  AState.counters["turns"] = static_cast<double>(Overheads.size());
  AState.counters["overhead_p50_ms"] = Percentile(Overheads, 0.5);
  AState.counters["overhead_p90_ms"] = Percentile(Overheads, 0.9);
  AState.counters["nm_up_p50_ms"] = Percentile(Activations, 0.5);
  AState.counters["nm_down_p50_ms"] = Percentile(Deactivations, 0.5);
  AState.counters["record_error_p50_ms"] = Percentile(RecordErrors, 0.5);
  AState.counters["record_error_p90_ms"] = Percentile(RecordErrors, 0.9);
}
BENCHMARK(BM_Turn)->ArgName("notified")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication App(argc, argv);
  benchmark::Initialize(&argc, argv);
  TNmTestbed Testbed;
  if (!Testbed.Up()) {
    std::fprintf(stderr, "bench_rotation_turn: %s\n", qPrintable(Testbed.Missing()));
    return 1;
  }
  const auto Added =
      TNmTestbed::Nmcli({"connection", "add", "type", "ethernet", "ifname", "veth-c", "con-name",
                         Entry, "connection.autoconnect", "no", "ethernet.cloned-mac-address",
                         "random", "ipv6.method", "disabled"});
  if (Added.Exit != 0) {
    std::fprintf(stderr, "bench_rotation_turn: %s\n", qPrintable(Added.Err));
    return 1;
  }
  qputenv("DRAVIK_RAS_PROVIDER", "networkmanager");
  qputenv("DRAVIK_NM_TYPES", "802-3-ethernet");
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
