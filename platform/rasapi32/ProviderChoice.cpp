#include "ProviderChoice.h"

#include <cctype>
#include <cstdlib>
#include <mutex>

#include "NmProviderKind.h"
#include "RasConfig.h"
#include "RasPaths.h"
#include "TSimProvider.h"
#include "TUnusableProvider.h"

namespace dravik::ras {

namespace {

struct TProviderKind {
  const char* Name;
  // Whether the provider's service is present on this machine, and what its
  // detection looks for, in words.
  bool (*Detect)();
  const char* LookedFor;
  std::shared_ptr<RasProvider> (*Make)(std::string& AProblem);
};

std::shared_ptr<RasProvider> MakeSim(std::string& AProblem) {
  return std::make_shared<TSimProvider>(RasPaths(), AProblem);
}

std::shared_ptr<RasProvider> MakeNetworkManager(std::string& AProblem) {
  return nm::MakeNetworkManagerProvider(RasPaths().ConfigFile, AProblem);
}

// The simulated service is never detected: it is the fallback. Providers for
// real services go before it, each with its detection.
const TProviderKind Kinds[] = {
    {"networkmanager", &nm::DetectNetworkManager,
     "NetworkManager (org.freedesktop.NetworkManager on the system bus)", &MakeNetworkManager},
    {"sim", nullptr, nullptr, &MakeSim},
};

std::string KnownNames() {
  std::string Names;
  for (const TProviderKind& Kind : Kinds)
    Names += (Names.empty() ? "" : ", ") + std::string(Kind.Name);
  return Names;
}

// A provider name as given by a person: a short word, shown back in
// messages only in that form.
bool IsProviderWord(const std::string& AText) {
  if (AText.empty() || AText.size() > 32) return false;
  for (char Char : AText) {
    if (!std::isalnum(static_cast<unsigned char>(Char)) && Char != '-' && Char != '_') return false;
  }
  return true;
}

// The "provider = NAME" line of the configuration file; empty when there is
// no file or no such line. ANote tells what was wrong with a line that was
// there, or with a file that is there but cannot be read.
std::string ConfiguredName(const std::string& AFile, std::string& ANote) {
  std::string Value;
  if (!ConfigValue(AFile, "provider", Value, ANote) || IsProviderWord(Value)) return Value;
  ANote = "the provider line of " + AFile + " is not a provider name";
  return {};
}

std::shared_ptr<RasProvider> ChooseProvider(TProviderChoice& AChoice) {
  const char* FromEnvironment = std::getenv("DRAVIK_RAS_PROVIDER");
  if (FromEnvironment != nullptr && *FromEnvironment != 0) {
    AChoice = {TProviderChoice::Named, "the environment variable DRAVIK_RAS_PROVIDER"};
    return MakeProvider(FromEnvironment, AChoice.Text);
  }
  const TRasPaths Paths = RasPaths();
  if (!Paths.Problem.empty()) return std::make_shared<TUnusableProvider>(Paths.Problem);
  std::string Note;
  const std::string Configured = ConfiguredName(Paths.ConfigFile, Note);
  if (!Note.empty()) return std::make_shared<TUnusableProvider>(Note);
  if (!Configured.empty()) {
    AChoice = {TProviderChoice::Named, Paths.ConfigFile};
    return MakeProvider(Configured, Paths.ConfigFile);
  }
  std::string LookedFor;
  for (const TProviderKind& Kind : Kinds) {
    if (Kind.Detect == nullptr) continue;
    if (Kind.Detect()) {
      AChoice = {TProviderChoice::Detected, "detection"};
      return MakeProvider(Kind.Name, AChoice.Text);
    }
    LookedFor += (LookedFor.empty() ? "" : ", ") + std::string(Kind.LookedFor);
  }
  AChoice = {TProviderChoice::Fallback,
             "no real dial-up service was found (looked for: " + LookedFor + ")"};
  return MakeProvider("sim", "the default choice");
}

std::mutex ChoiceLock;
std::shared_ptr<RasProvider> Chosen;
TProviderChoice ChosenHow;
std::shared_ptr<RasProvider> ForTesting;

}  // namespace

std::shared_ptr<RasProvider> MakeProvider(const std::string& AName, const std::string& AOrigin) {
  const std::string Shown = IsProviderWord(AName) ? AName : "(not a provider name)";
  for (const TProviderKind& Kind : Kinds) {
    if (AName != Kind.Name) continue;
    std::string Problem;
    auto Provider = Kind.Make(Problem);
    if (Problem.empty()) return Provider;
    return std::make_shared<TUnusableProvider>("the " + Shown +
                                               " dial-up provider cannot start: " + Problem);
  }
  return std::make_shared<TUnusableProvider>("unknown dial-up provider \"" + Shown +
                                             "\" named by " + AOrigin + " (known: " + KnownNames() +
                                             ")");
}

std::shared_ptr<RasProvider> CurrentProvider() {
  std::lock_guard<std::mutex> Guard(ChoiceLock);
  if (ForTesting) return ForTesting;
  if (!Chosen) Chosen = ChooseProvider(ChosenHow);
  return Chosen;
}

TProviderChoice CurrentProviderChoice() {
  CurrentProvider();
  std::lock_guard<std::mutex> Guard(ChoiceLock);
  if (ForTesting) return {TProviderChoice::Named, "a test"};
  return ChosenHow;
}

void SetProviderForTesting(std::shared_ptr<RasProvider> AProvider) {
  std::lock_guard<std::mutex> Guard(ChoiceLock);
  ForTesting = std::move(AProvider);
}

}  // namespace dravik::ras
