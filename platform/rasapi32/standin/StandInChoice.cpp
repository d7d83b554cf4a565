// The stand-in's provider is always the simulated service.

#include <mutex>

#include "ProviderChoice.h"
#include "RasPaths.h"
#include "TSimProvider.h"
#include "TUnusableProvider.h"

namespace dravik::ras {

namespace {

std::mutex ChoiceLock;
std::shared_ptr<RasProvider> Chosen;
std::shared_ptr<RasProvider> ForTesting;

}  // namespace

std::shared_ptr<RasProvider> MakeProvider(const std::string& AName, const std::string& AOrigin) {
  if (AName != "sim")
    return std::make_shared<TUnusableProvider>(
        "the stand-in library has only the sim provider, not \"" + AName + "\" named by " +
        AOrigin);
  std::string Problem;
  auto Provider = std::make_shared<TSimProvider>(RasPaths(), Problem);
  if (Problem.empty()) return Provider;
  return std::make_shared<TUnusableProvider>("the sim dial-up provider cannot start: " + Problem);
}

std::shared_ptr<RasProvider> CurrentProvider() {
  std::lock_guard<std::mutex> Guard(ChoiceLock);
  if (ForTesting) return ForTesting;
  if (!Chosen) Chosen = MakeProvider("sim", "the stand-in library");
  return Chosen;
}

TProviderChoice CurrentProviderChoice() {
  return {TProviderChoice::Named, "the stand-in library for trials"};
}

void SetProviderForTesting(std::shared_ptr<RasProvider> AProvider) {
  std::lock_guard<std::mutex> Guard(ChoiceLock);
  ForTesting = std::move(AProvider);
}

}  // namespace dravik::ras
