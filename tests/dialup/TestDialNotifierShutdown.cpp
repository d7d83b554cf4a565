// A dial that keeps notifying while the program ends: the application object
// is made and destroyed again and again while the service's thread calls the
// notifier without pause. Once the application's end has begun no
// notification may reach it; run under the thread sanitizer, any access that
// races with the application's destruction is reported.

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "RASManager.h"
#include "RasProvider.h"
#include "TGuiApplication.h"

namespace {

// One entry; a dial connects nothing and reports from its own thread until
// told to stop.
class TChattyProvider : public dravik::ras::RasProvider {
 public:
  ~TChattyProvider() override { Stop(); }

  std::atomic<int> Sent{0};

  void Stop() {
    FStop = true;
    if (FThread.joinable()) FThread.join();
    FStop = false;
  }

  std::string Name() const override { return "chatty"; }
  DWORD EnumEntries(std::vector<std::string>& AEntries) override {
    AEntries = {"Line"};
    return 0;
  }
  DWORD GetEntryDialParams(RASDIALPARAMSA&) override { return 0; }
  DWORD Dial(const RASDIALPARAMSA&, dravik::ras::TDialNotifier ANotifier,
             HRASCONN& AHandle) override {
    AHandle = 1;
    FThread = std::thread([this, Notifier = std::move(ANotifier)] {
      while (!FStop) {
        Notifier(WM_RASDIALEVENT, RASCS_Authenticate, 691);
        ++Sent;
      }
    });
    return 0;
  }
  DWORD HangUp(HRASCONN) override { return ERROR_INVALID_HANDLE; }
  DWORD EnumConnections(std::vector<RASCONNA>& AConnections) override {
    AConnections.clear();
    return 0;
  }
  DWORD GetConnectStatus(HRASCONN, RASCONNSTATUSA&) override { return ERROR_INVALID_HANDLE; }
  DWORD GetPppIpProjection(HRASCONN, RASPPPIPA&) override { return ERROR_INVALID_HANDLE; }

 private:
  std::atomic<bool> FStop{false};
  std::thread FThread;
};

int Failures = 0;

void Check(bool ACondition, const char* AWhat, int ARound) {
  if (ACondition) return;
  std::fprintf(stderr, "FAIL: round %d: %s\n", ARound, AWhat);
  ++Failures;
}

// Waits, boundedly, until AReady holds.
template <typename TReady>
bool WaitFor(TReady AReady, bool AProcessEvents) {
  const auto Until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!AReady()) {
    if (std::chrono::steady_clock::now() > Until) return false;
    if (AProcessEvents) QCoreApplication::processEvents();
    std::this_thread::yield();
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  auto Provider = std::make_shared<TChattyProvider>();
  dravik::ras::SetProviderForTesting(Provider);
  constexpr int Rounds = 20;
  for (int Round = 0; Round < Rounds; ++Round) {
    std::atomic<int> Reached{0};
    {
      TGuiApplication App(argc, argv);
      TRASManager Dialler(nullptr);
      Dialler.OnConnecting.Bind([&Reached](TObject*, int, int, int) { ++Reached; });
      Dialler.SetEntryName("Line");
      Dialler.SetDialAsync(true);
      Dialler.Dial();
      // The notifications reach the dialler while the application lives...
      Check(WaitFor([&Reached] { return Reached > 3; }, true), "notifications delivered", Round);
      // ...and the end begins with the service still notifying.
    }
    const int AtEnd = Reached;
    const int SentAtEnd = Provider->Sent;
    Check(WaitFor([&] { return Provider->Sent > SentAtEnd + 100; }, false),
          "the service notified after the end", Round);
    Provider->Stop();
    Check(Reached == AtEnd, "nothing reached after the end", Round);
    Check(ActiveDialler() == nullptr, "no active dialler after the end", Round);
  }
  dravik::ras::SetProviderForTesting(nullptr);
  std::printf("%d passed, %d failed\n", Failures == 0 ? 1 : 0, Failures == 0 ? 0 : 1);
  return Failures == 0 ? 0 : 1;
}
