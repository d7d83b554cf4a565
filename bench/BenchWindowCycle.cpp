// The main window's reconnect cycle over 10,000 turns at 1 s online / 1 s
// offline, on the hand-driven clock against the simulated dial-up service:
// the window, its dialler, its monitor and its timers as the program runs
// them, hours of cycling in a minute. Reports the process's memory (VmRSS)
// at turn 0, 1,000 and 10,000, beside the same window left as long with the
// cycle off, which is what a user who does not rotate runs. Memory that
// stays flat after the first 1,000 turns is the aim; the figures are read,
// not asserted.
//
// It runs with one malloc arena, so that the figures do not depend on how
// many of the dial threads a loaded machine keeps alive at once. Needs no
// display: without one it draws off screen.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchService.h"
#include "MemoLines.h"
#include "RasControl.h"
#include "TGuiApplication.h"
#include "TManualClock.h"
#include "Unit1.h"

namespace {

constexpr int Turns = 10000;
constexpr int EarlyTurns = 1000;

long RssKb() {
  QFile Status(QStringLiteral("/proc/self/status"));
  if (!Status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& Line : Status.readAll().split('\n')) {
    if (Line.startsWith("VmRSS:")) return Line.mid(6).trimmed().split(' ').value(0).toLong();
  }
  return -1;
}

void Settle() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
}

// A window created as if the program lay in a folder of its own, with the
// cycle's settings beside it.
class TBenchWindow {
 public:
  explicit TBenchWindow(bool ACycle) {
    QFile Settings(FFolder.filePath(QStringLiteral("dravik.ini")));
    if (Settings.open(QIODevice::WriteOnly)) {
      Settings.write(ACycle ? "[config]\nhanguptime=1\nconnecttime=1\nchange=1\n"
                            : "[config]\nhanguptime=1\nconnecttime=1\nchange=0\n");
    }
    Settings.close();
    FForm = std::make_unique<TForm1>(FFolder.filePath(QStringLiteral("dravik.bin")).toStdString());
    FForm->show();
    Settle();
    FForm->rasm1->OnConnecting.Bind([this](TObject*, int, int AState, int AError) {
      if (AError != 0 || AState == RASCS_Connected) ++FReports;
    });
    FLastHandle = FForm->rasm1->ConnectionHandle();
  }

  TForm1& Form() { return *FForm; }
  int Dials() const { return FDials; }
  int Failures() const { return FFailures; }
  // Distinct addresses the window showed.
  int Addresses() const {
    std::vector<uint32_t> Seen(FAddresses.begin(), FAddresses.begin() + FShown);
    std::sort(Seen.begin(), Seen.end());
    return static_cast<int>(std::unique(Seen.begin(), Seen.end()) - Seen.begin());
  }

  // Moves the clock to the next timer due and lets it fire; a dial it made
  // has reported before this returns, as the cycle's hang-up must not
  // overtake the report of its dial. False when no timer is armed.
  bool Step() {
    TManualClock& Clock = TManualClock::Instance();
    uint64_t Due = 0;
    if (!Clock.NextDue(Due)) return false;
    Clock.Advance(Due > Clock.Now() ? Due - Clock.Now() : 0);
    Settle();
    const HRASCONN Handle = FForm->rasm1->ConnectionHandle();
    if (Handle != 0 && Handle != FLastHandle) {
      FLastHandle = Handle;
      ++FDials;
      const auto GiveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (FReports < FDials && std::chrono::steady_clock::now() < GiveUp) {
        Settle();
        if (FReports < FDials) QThread::usleep(200);
      }
      if (FReports < FDials) ++FFailures;
    }
    // Each address the field changes to, kept in room taken before the first
    // turn, so that the keeping does not count as the window's memory.
    in_addr Address{};
    const QByteArray Shown = FForm->ip->text().toLatin1();
    if (inet_pton(AF_INET, Shown.constData(), &Address) == 1 && Address.s_addr != FLastShown &&
        FShown < FAddresses.size()) {
      FLastShown = Address.s_addr;
      FAddresses[FShown++] = Address.s_addr;
    }
    return true;
  }

 private:
  QTemporaryDir FFolder;
  std::unique_ptr<TForm1> FForm;
  HRASCONN FLastHandle = 0;
  int FDials = 0;
  int FReports = 0;
  int FFailures = 0;
  std::vector<uint32_t> FAddresses = std::vector<uint32_t>(Turns + 16, 0);
  size_t FShown = 0;
  uint32_t FLastShown = 0;
};

void ClearService() {
  const DWORD Result = DravikRasDropEntry("Broadband");
  (void)Result;
  Settle();
}

// 10,000 turns of the cycle: each a dial, a connect seen by the monitor, a
// hang-up and a disconnect seen by it.
void BM_WindowCycleTurns(benchmark::State& AState) {
  for (auto _ : AState) {
    ClearService();
    TBenchWindow Window(true);
    const long Rss0 = RssKb();
    long Rss1000 = -1;
    long Rss5000 = -1;
    while (Window.Dials() < Turns && Window.Failures() == 0 && Window.Step()) {
      if (Rss1000 < 0 && Window.Dials() == EarlyTurns) Rss1000 = RssKb();
      if (Rss5000 < 0 && Window.Dials() == Turns / 2) Rss5000 = RssKb();
    }
    // The last turn's connect and hang-up.
    for (int Index = 0; Index < 4 && Window.Step(); ++Index) {
    }
    const long Rss10000 = RssKb();
    if (Window.Dials() < Turns || Window.Failures() != 0) {
      AState.SkipWithError("the cycle stopped turning");
      return;
    }
    AState.counters["turns"] = Window.Dials();
    AState.counters["addresses"] = Window.Addresses();
    AState.counters["log_lines_held"] = MemoLineCount(Window.Form().Memo1);
    AState.counters["rss_turn0_kB"] = Rss0;
    AState.counters["rss_turn1000_kB"] = Rss1000;
    AState.counters["rss_turn5000_kB"] = Rss5000;
    AState.counters["rss_turn10000_kB"] = Rss10000;
    AState.counters["growth_1000_to_10000_kB"] = Rss10000 - Rss1000;
  }
}
BENCHMARK(BM_WindowCycleTurns)->Iterations(1)->Unit(benchmark::kSecond);

// The same window as long with the cycle off: the monitor's polls alone, for
// the 20,000 s that 10,000 turns take.
void BM_WindowIdleSameTime(benchmark::State& AState) {
  for (auto _ : AState) {
    ClearService();
    TBenchWindow Window(false);
    const long Rss0 = RssKb();
    long Rss1000 = -1;
    TManualClock& Clock = TManualClock::Instance();
    const uint64_t Start = Clock.Now();
    for (int Second = 1; Second <= 2 * Turns; ++Second) {
      Clock.Advance(1000);
      Settle();
      if (Second == 2 * EarlyTurns) Rss1000 = RssKb();
    }
    const long Rss10000 = RssKb();
    AState.counters["seconds"] = static_cast<double>(Clock.Now() - Start) / 1000;
    AState.counters["rss_turn0_kB"] = Rss0;
    AState.counters["rss_turn1000_kB"] = Rss1000;
    AState.counters["rss_turn10000_kB"] = Rss10000;
    AState.counters["growth_1000_to_10000_kB"] = Rss10000 - Rss1000;
  }
}
BENCHMARK(BM_WindowIdleSameTime)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  mallopt(M_ARENA_MAX, 1);
  if (std::getenv("DISPLAY") == nullptr && std::getenv("QT_QPA_PLATFORM") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  if (!OpenBenchService()) return 1;
  TGuiApplication App(argc, argv);
  TManualClock::Use();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ClearService();
  CloseBenchService();
  return 0;
}
