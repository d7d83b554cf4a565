#include "TNmProvider.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <future>

#include "ChangeNotification.h"
#include "NmCodes.h"
#include "NmReaders.h"
#include "NmTexts.h"
#include "NmTypes.h"

namespace dravik::ras::nm {

namespace {

// Whether two listings show the same connections in the same states with the
// same addresses: what a caller of the change notification looks at.
bool SameListing(const std::vector<TNmActive>& AOld, const std::vector<TNmActive>& ANew) {
  return std::equal(AOld.begin(), AOld.end(), ANew.begin(), ANew.end(),
                    [](const TNmActive& A, const TNmActive& B) {
                      return A.Handle == B.Handle && A.State == B.State && A.Address == B.Address &&
                             A.Gateway == B.Gateway;
                    });
}

constexpr const char* NmInterface = "org.freedesktop.NetworkManager";
constexpr const char* SettingsInterface = "org.freedesktop.NetworkManager.Settings";
constexpr const char* ProfileInterface = "org.freedesktop.NetworkManager.Settings.Connection";
constexpr const char* ActiveInterface = "org.freedesktop.NetworkManager.Connection.Active";
constexpr const char* DeviceInterface = "org.freedesktop.NetworkManager.Device";
constexpr const char* Ip4Interface = "org.freedesktop.NetworkManager.IP4Config";
constexpr const char* ActivePrefix = "/org/freedesktop/NetworkManager/ActiveConnection/";
constexpr const char* Ip4Prefix = "/org/freedesktop/NetworkManager/IP4Config/";
constexpr const char* Ip6Interface = "org.freedesktop.NetworkManager.IP6Config";
constexpr const char* Ip6Prefix = "/org/freedesktop/NetworkManager/IP6Config/";

constexpr uint64_t CallTimeoutUs = 10000000;
constexpr int64_t ReconnectEveryNs = 1000000000;
// How long an ended dial waits for its device's reason.
constexpr int64_t DeviceReasonWaitNs = 200000000;

int64_t NowNs() {
  timespec Now;
  clock_gettime(CLOCK_MONOTONIC, &Now);
  return int64_t(Now.tv_sec) * 1000000000 + Now.tv_nsec;
}

bool StartsWith(const char* AText, const char* APrefix) {
  return AText != nullptr && std::strncmp(AText, APrefix, std::strlen(APrefix)) == 0;
}

bool Equal(const char* AText, const char* AOther) {
  return AText != nullptr && std::strcmp(AText, AOther) == 0;
}

template <size_t N>
void CopyText(char (&AField)[N], const std::string& AText) {
  std::memset(AField, 0, N);
  std::memcpy(AField, AText.data(), std::min(AText.size(), N - 1));
}

// The device type a connection of the profile type is listed with.
const char* DeviceTypeOf(const std::string& AType) {
  if (AType == "pppoe") return "PPPoE";
  if (AType == "gsm" || AType == "cdma") return "modem";
  if (AType == "vpn" || AType == "wireguard") return "vpn";
  return "GENERIC";
}

}  // namespace

struct TNmProvider::TSyncDial {
  std::mutex Lock;
  std::condition_variable Changed;
  bool Done = false;
  DWORD Code = 0;

  void Set(DWORD ACode) {
    std::lock_guard<std::mutex> Guard(Lock);
    if (Done) return;
    Done = true;
    Code = ACode;
    Changed.notify_all();
  }
};

TNmProvider::TNmProvider(const std::string& AConfigFile, std::string& AProblem)
    : FDialTimeoutNs(int64_t(DefaultDialTimeoutSeconds) * 1000000000) {
  FTypes = ChosenTypes(AConfigFile, AProblem);
  if (!AProblem.empty()) return;
  if (const char* Timeout = std::getenv("DRAVIK_NM_DIAL_TIMEOUT")) {
    char* End = nullptr;
    const long Seconds = std::strtol(Timeout, &End, 10);
    if (End == Timeout || *End != 0 || Seconds < 1 || Seconds > 3600) {
      AProblem = "DRAVIK_NM_DIAL_TIMEOUT is not a number of seconds from 1 to 3600";
      return;
    }
    FDialTimeoutNs = int64_t(Seconds) * 1000000000;
  }
  FWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (FWake < 0) {
    AProblem = std::string("no event descriptor: ") + std::strerror(errno);
    return;
  }
  FThread = std::thread([this] { BusThread(); });
  // The first calls answer from what NetworkManager says now, not from an
  // empty cache.
  std::unique_lock<std::mutex> Guard(FCacheLock);
  FReadyChanged.wait_for(Guard, std::chrono::seconds(10), [this] { return FReady; });
}

TNmProvider::~TNmProvider() {
  {
    std::lock_guard<std::mutex> Guard(FJobLock);
    FStopping = true;
  }
  if (FWake >= 0) {
    const uint64_t One = 1;
    (void)!write(FWake, &One, sizeof One);
  }
  if (FThread.joinable() && OnBusThread()) {
    // A notifier that ends the process from the bus thread cannot wait for
    // itself.
    FThread.detach();
    return;
  }
  if (FThread.joinable()) FThread.join();
  if (FWake >= 0) close(FWake);
}

DWORD TNmProvider::RunOnBusThread(std::function<DWORD()> AJob) {
  if (OnBusThread()) return AJob();
  auto Result = std::make_shared<std::promise<DWORD>>();
  std::future<DWORD> Answer = Result->get_future();
  {
    std::lock_guard<std::mutex> Guard(FJobLock);
    if (FStopping) return ERROR_RASMAN_CANNOT_INITIALIZE;
    FJobs.push_back([Result, Job = std::move(AJob)](bool ACancelled) {
      Result->set_value(ACancelled ? ERROR_RASMAN_CANNOT_INITIALIZE : Job());
    });
  }
  const uint64_t One = 1;
  (void)!write(FWake, &One, sizeof One);
  // Every call of the bus thread has a time limit, and at the end it
  // cancels what is left: the answer comes.
  return Answer.get();
}

void TNmProvider::BusThread() {
  FBusThreadId = std::this_thread::get_id();
  Connect();
  {
    std::lock_guard<std::mutex> Guard(FCacheLock);
    FReady = true;
  }
  FReadyChanged.notify_all();
  for (;;) {
    ProcessBus();
    Deliver();
    std::deque<std::function<void(bool)>> Jobs;
    bool Stopping = false;
    {
      std::lock_guard<std::mutex> Guard(FJobLock);
      Jobs.swap(FJobs);
      Stopping = FStopping;
    }
    for (auto& Job : Jobs) {
      Job(Stopping);
      ProcessBus();
      Deliver();
    }
    if (Stopping) break;
    CheckDeadlines();
    ProcessBus();
    Deliver();

    int64_t WakeNs = INT64_MAX;
    for (const TDialWatch& Dial : FDials) {
      WakeNs = std::min(WakeNs, Dial.EndingNs != 0 ? Dial.EndingNs : Dial.DeadlineNs);
    }
    pollfd Fds[2] = {{FWake, POLLIN, 0}, {-1, 0, 0}};
    if (FBus) {
      Fds[1].fd = sd_bus_get_fd(FBus.get());
      Fds[1].events = static_cast<short>(sd_bus_get_events(FBus.get()));
      uint64_t BusUs = UINT64_MAX;
      if (sd_bus_get_timeout(FBus.get(), &BusUs) > 0 && BusUs != UINT64_MAX) {
        WakeNs = std::min<int64_t>(
            WakeNs, static_cast<int64_t>(std::min<uint64_t>(BusUs, INT64_MAX / 1000) * 1000));
      }
    } else {
      WakeNs = std::min(WakeNs, FNextConnectNs);
    }
    const int64_t Now = NowNs();
    int TimeoutMs = -1;
    if (WakeNs != INT64_MAX) {
      TimeoutMs =
          static_cast<int>(std::clamp<int64_t>((WakeNs - Now + 999999) / 1000000, 0, 60000));
    }
    poll(Fds, Fds[1].fd >= 0 ? 2 : 1, TimeoutMs);
    uint64_t Count = 0;
    (void)!read(FWake, &Count, sizeof Count);
    if (!FBus && NowNs() >= FNextConnectNs) Connect();
  }
  // Waiting callers learn that the dial will not be reported; notifiers no
  // longer run.
  for (TDialWatch& Dial : FDials) {
    if (Dial.Sync) Dial.Sync->Set(ERROR_USER_DISCONNECTION);
  }
  FDials.clear();
  FBus.reset();
}

void TNmProvider::Connect() {
  FNextConnectNs = NowNs() + ReconnectEveryNs;
  TBus Bus = OpenSystemBus();
  if (!Bus) return;
  // Every signal on NetworkManager's objects (HandleSignal heeds only those
  // it sent), and its coming and going on the bus.
  if (sd_bus_add_match(Bus.get(), nullptr,
                       "type='signal',path_namespace='/org/freedesktop/NetworkManager'", &OnSignal,
                       this) < 0 ||
      sd_bus_add_match(Bus.get(), nullptr,
                       "type='signal',sender='org.freedesktop.DBus',"
                       "interface='org.freedesktop.DBus',member='NameOwnerChanged',"
                       "arg0='org.freedesktop.NetworkManager'",
                       &OnSignal, this) < 0) {
    return;
  }
  FBus = std::move(Bus);
  FNmOwner = NameOwner(FBus.get(), NmService, CallTimeoutUs);
  if (!FNmOwner.empty()) {
    RefreshProfiles();
    RefreshActives();
  }
}

void TNmProvider::Disconnected() {
  FBus.reset();
  FNextConnectNs = NowNs() + ReconnectEveryNs;
  bool Listed = false;
  {
    std::lock_guard<std::mutex> Guard(FCacheLock);
    Listed = !FCache.Actives.empty();
    FCache = TNmCache();
  }
  if (Listed) NotifyConnectionsChanged();
  for (TDialWatch& Dial : FDials) Finish(Dial, ERROR_PORT_DISCONNECTED);
}

void TNmProvider::ProcessBus() {
  for (int Round = 0; FBus && Round < 100; ++Round) {
    for (;;) {
      const int Result = sd_bus_process(FBus.get(), nullptr);
      if (Result < 0) {
        Disconnected();
        return;
      }
      if (Result == 0) break;
    }
    if (!FProfilesDirty && !FActivesDirty) break;
    if (FProfilesDirty) {
      FProfilesDirty = false;
      RefreshProfiles();
      FActivesDirty = true;
    }
    if (FActivesDirty) {
      FActivesDirty = false;
      // NetworkManager back on the bus before it could list its profiles:
      // ask again.
      bool Listed = false;
      {
        std::lock_guard<std::mutex> Guard(FCacheLock);
        Listed = FCache.Running;
      }
      if (!Listed && !FNmOwner.empty()) RefreshProfiles();
      RefreshActives();
    }
  }
  FDials.remove_if([](const TDialWatch& ADial) { return ADial.Done; });
  const int64_t Old = NowNs() - 10 * DeviceReasonWaitNs;
  for (auto Failure = FDeviceFailures.begin(); Failure != FDeviceFailures.end();) {
    Failure = Failure->second.AtNs < Old ? FDeviceFailures.erase(Failure) : std::next(Failure);
  }
}

int TNmProvider::OnSignal(sd_bus_message* AMessage, void* AUserData, sd_bus_error*) {
  static_cast<TNmProvider*>(AUserData)->HandleSignal(AMessage);
  return 0;
}

void TNmProvider::HandleSignal(sd_bus_message* AMessage) {
  const char* Interface = sd_bus_message_get_interface(AMessage);
  const char* Member = sd_bus_message_get_member(AMessage);
  const char* Path = sd_bus_message_get_path(AMessage);
  if (Interface == nullptr || Member == nullptr || Path == nullptr) return;

  if (Equal(Interface, "org.freedesktop.DBus") && Equal(Member, "NameOwnerChanged")) {
    const char* Name = nullptr;
    const char* Old = nullptr;
    const char* New = nullptr;
    if (sd_bus_message_read(AMessage, "sss", &Name, &Old, &New) <= 0) return;
    if (!Equal(Name, NmService) ||
        !Equal(sd_bus_message_get_sender(AMessage), "org.freedesktop.DBus")) {
      return;
    }
    FNmOwner = New != nullptr && IsBusName(New) ? New : "";
    if (FNmOwner.empty()) {
      // NetworkManager went away: nothing it listed stands any more.
      {
        std::lock_guard<std::mutex> Guard(FCacheLock);
        FCache = TNmCache();
      }
      for (TDialWatch& Dial : FDials) Finish(Dial, ERROR_PORT_DISCONNECTED);
      FProfilesDirty = FActivesDirty = false;
    } else {
      FProfilesDirty = true;
    }
    return;
  }
  if (FNmOwner.empty() || !Equal(sd_bus_message_get_sender(AMessage), FNmOwner.c_str())) return;
  if (StartsWith(Interface, SettingsInterface)) {
    FProfilesDirty = true;
    return;
  }
  if (Equal(Member, "StateChanged") && Equal(Interface, DeviceInterface)) {
    uint32_t New = 0, Old = 0, Reason = 0;
    if (sd_bus_message_read(AMessage, "uuu", &New, &Old, &Reason) <= 0) return;
    if (New == DeviceFailed && FDeviceFailures.size() < MaxObjects) {
      FDeviceFailures[Path] = {Reason, NowNs()};
    }
    for (TDialWatch& Dial : FDials) {
      if (Dial.Done ||
          std::find(Dial.Devices.begin(), Dial.Devices.end(), Path) == Dial.Devices.end()) {
        continue;
      }
      if (New == DeviceFailed) {
        Finish(Dial, CodeOfDeviceReason(Reason));
        continue;
      }
      if (New < DevicePrepare && Reason != 0) Dial.DeviceReason = Reason;
      const RASCONNSTATE State = DialStateOfDevice(New);
      // Connected is what the active connection says, once it says it.
      if (State >= 0 && State != RASCS_Connected) Advance(Dial, State);
    }
    FActivesDirty = true;
    return;
  }
  if (Equal(Member, "StateChanged") && Equal(Interface, ActiveInterface)) {
    uint32_t State = 0, Reason = 0;
    if (sd_bus_message_read(AMessage, "uu", &State, &Reason) <= 0) return;
    for (TDialWatch& Dial : FDials) {
      if (Dial.Done || Dial.ActivePath != Path) continue;
      if (State == ActiveActivated) {
        Advance(Dial, RASCS_Connected);
      } else if (State == ActiveDeactivated) {
        if (Dial.HangUpAsked) {
          Finish(Dial, ERROR_USER_DISCONNECTION);
        } else if (Dial.DeviceReason != 0) {
          Finish(Dial, CodeOfDeviceReason(Dial.DeviceReason));
        } else if (const DWORD Code = DeviceFailureOf(Dial)) {
          Finish(Dial, Code);
        } else {
          Dial.EndingNs = NowNs() + DeviceReasonWaitNs;
          Dial.EndingCode = CodeOfActiveReason(Reason);
        }
      }
    }
    FActivesDirty = true;
    return;
  }
  if (Equal(Member, "PropertiesChanged") &&
      (Equal(Path, NmPath) || StartsWith(Path, ActivePrefix) || StartsWith(Path, Ip4Prefix) ||
       StartsWith(Path, Ip6Prefix))) {
    FActivesDirty = true;
  }
}

void TNmProvider::RefreshProfiles() {
  const TCallResult Listed =
      CallNm(FBus.get(), NmSettingsPath, SettingsInterface, "ListConnections", CallTimeoutUs);
  if (!Listed.Ok()) return;
  std::vector<TNmProfile> Profiles;
  for (const std::string& Path : ReadPaths(Listed.Reply.get())) {
    const TCallResult Settings =
        CallNm(FBus.get(), Path, ProfileInterface, "GetSettings", CallTimeoutUs);
    if (!Settings.Ok()) continue;
    TNmProfile Profile;
    if (!ReadProfile(Settings.Reply.get(), Path, Profile)) continue;
    if (std::find(FTypes.begin(), FTypes.end(), Profile.Type) == FTypes.end()) continue;
    Profiles.push_back(std::move(Profile));
  }
  std::sort(Profiles.begin(), Profiles.end(), [](const TNmProfile& A, const TNmProfile& B) {
    return A.Id != B.Id ? A.Id < B.Id : A.Uuid < B.Uuid;
  });
  std::lock_guard<std::mutex> Guard(FCacheLock);
  FCache.Profiles = std::move(Profiles);
  FCache.Running = true;
}

bool TNmProvider::ReadActive(const std::string& APath, TNmActive& AActive) {
  const TCallResult All = GetAllProperties(FBus.get(), APath, ActiveInterface);
  if (!All.Ok()) return false;
  std::string Ip4Path;
  std::string Ip6Path;
  const bool Read = ReadActiveProperties(All.Reply.get(), AActive, Ip4Path, Ip6Path);
  if (!Read) return false;
  AActive.Path = APath;
  AActive.Handle = HandleOfActivePath(APath);
  if (AActive.State == ActiveActivated && !Ip4Path.empty() && Ip4Path != "/") {
    const TCallResult Ip4 = GetAllProperties(FBus.get(), Ip4Path, Ip4Interface);
    if (Ip4.Ok()) ReadIp4Config(Ip4.Reply.get(), AActive.Address, AActive.Gateway);
  }
  if (AActive.State == ActiveActivated && !Ip6Path.empty() && Ip6Path != "/") {
    const TCallResult Ip6 = GetAllProperties(FBus.get(), Ip6Path, Ip6Interface);
    if (Ip6.Ok()) ReadIp6Config(Ip6.Reply.get(), AActive.Address6, AActive.Prefix6);
  }
  if (!AActive.Devices.empty()) {
    const std::string& Device = AActive.Devices.front();
    const TCallResult Interface = GetProperty(FBus.get(), Device, DeviceInterface, "Interface");
    std::string Name;
    if (Interface.Ok() && ReadVariantString(Interface.Reply.get(), SD_BUS_TYPE_STRING, Name) &&
        IsInterfaceName(Name)) {
      AActive.Interface = Name;
    }
    const TCallResult State = GetProperty(FBus.get(), Device, DeviceInterface, "State");
    if (State.Ok()) ReadVariantUint(State.Reply.get(), AActive.DeviceState);
  }
  return true;
}

void TNmProvider::RefreshActives() {
  const TCallResult Listed = GetProperty(FBus.get(), NmPath, NmInterface, "ActiveConnections");
  if (!Listed.Ok()) return;
  std::vector<std::string> Paths;
  if (!ReadVariantPaths(Listed.Reply.get(), Paths)) return;
  std::vector<TNmProfile> Profiles;
  {
    std::lock_guard<std::mutex> Guard(FCacheLock);
    Profiles = FCache.Profiles;
  }
  std::set<std::string> StillHungUp;
  std::vector<TNmActive> Actives;
  for (const std::string& Path : Paths) {
    if (FHungUp.count(Path) != 0) {
      StillHungUp.insert(Path);
      continue;
    }
    TNmActive Active;
    if (!ReadActive(Path, Active)) continue;
    const auto Profile = std::find_if(Profiles.begin(), Profiles.end(), [&](const TNmProfile& P) {
      return P.Path == Active.ProfilePath;
    });
    if (Profile == Profiles.end()) continue;
    // A hung-up connection is no longer listed, even while NetworkManager
    // is still taking it down.
    if (Active.State != ActiveActivating && Active.State != ActiveActivated) continue;
    Active.EntryName = Profile->Id;
    Actives.push_back(std::move(Active));
  }
  FHungUp.swap(StillHungUp);
  bool Changed = false;
  {
    std::lock_guard<std::mutex> Guard(FCacheLock);
    Changed = !SameListing(FCache.Actives, Actives);
    FCache.Actives = std::move(Actives);
  }
  if (Changed) NotifyConnectionsChanged();
}

void TNmProvider::Advance(TDialWatch& ADial, RASCONNSTATE AState) {
  if (ADial.Done || AState <= ADial.Reached) return;
  ADial.Reached = AState;
  ADial.DeadlineNs = NowNs() + FDialTimeoutNs;
  if (AState == RASCS_Connected) {
    Finish(ADial, ERROR_SUCCESS);
    return;
  }
  if (ADial.Notifier) {
    FPending.push_back(
        [Notifier = ADial.Notifier, AState] { Notifier(WM_RASDIALEVENT, AState, 0); });
  }
}

void TNmProvider::Finish(TDialWatch& ADial, DWORD ACode) {
  if (ADial.Done) return;
  ADial.Done = true;
  const RASCONNSTATE State = ACode == ERROR_SUCCESS ? RASCS_Connected : ADial.Reached;
  if (ADial.Notifier) {
    FPending.push_back([Notifier = ADial.Notifier, State, ACode] {
      Notifier(WM_RASDIALEVENT, std::max(State, RASCS_OpenPort), ACode);
    });
  }
  if (ADial.Sync) FPending.push_back([Sync = ADial.Sync, ACode] { Sync->Set(ACode); });
}

void TNmProvider::Deliver() {
  // Delivered after the cache has caught up, so that a dialler that hears
  // "connected" finds the address.
  while (!FPending.empty()) {
    std::vector<std::function<void()>> Pending;
    Pending.swap(FPending);
    for (auto& Note : Pending) Note();
  }
}

void TNmProvider::CheckDeadlines() {
  const int64_t Now = NowNs();
  for (TDialWatch& Dial : FDials) {
    if (!Dial.Done && Dial.EndingNs != 0 && Now >= Dial.EndingNs) {
      const DWORD Code = DeviceFailureOf(Dial);
      Finish(Dial, Code != 0 ? Code : Dial.EndingCode);
    }
    if (Dial.Done || Now < Dial.DeadlineNs) continue;
    if (FBus) {
      const std::string Path = Dial.ActivePath;
      CallNm(FBus.get(), NmPath, NmInterface, "DeactivateConnection", CallTimeoutUs,
             [&Path](sd_bus_message* AMessage) {
               return sd_bus_message_append(AMessage, "o", Path.c_str());
             });
    }
    Finish(Dial, ErrorRequestTimeout);
  }
}

DWORD TNmProvider::DeviceFailureOf(const TDialWatch& ADial) const {
  const TDeviceFailure* Latest = nullptr;
  for (const auto& [Path, Failure] : FDeviceFailures) {
    if (Failure.AtNs < ADial.StartNs) continue;
    const bool OfDial =
        ADial.Devices.empty() ||
        std::find(ADial.Devices.begin(), ADial.Devices.end(), Path) != ADial.Devices.end();
    if (OfDial && (Latest == nullptr || Failure.AtNs > Latest->AtNs)) Latest = &Failure;
  }
  return Latest != nullptr ? CodeOfDeviceReason(Latest->Reason) : 0;
}

DWORD TNmProvider::ReadPassword(const TNmProfile& AProfile, std::string& APassword,
                                bool& AReadable) {
  APassword.clear();
  AReadable = false;
  if (AProfile.SecretSetting.empty()) return ERROR_SUCCESS;
  const std::string& Setting = AProfile.SecretSetting;
  const TCallResult Secrets = CallNm(FBus.get(), AProfile.Path, ProfileInterface, "GetSecrets",
                                     CallTimeoutUs, [&Setting](sd_bus_message* AMessage) {
                                       return sd_bus_message_append(AMessage, "s", Setting.c_str());
                                     });
  if (!Secrets.Ok()) {
    // A caller that may not read the secrets, or secrets only an agent
    // holds: the password is absent, which is no error.
    return CodeOfBusError(Secrets.ErrorName) == ERROR_RASMAN_CANNOT_INITIALIZE
               ? ERROR_RASMAN_CANNOT_INITIALIZE
               : ERROR_SUCCESS;
  }
  std::string Password;
  if (ReadSecretPassword(Secrets.Reply.get(), Setting, Password)) {
    APassword = Password;
    AReadable = true;
  }
  return ERROR_SUCCESS;
}

DWORD TNmProvider::EnumEntries(std::vector<std::string>& AEntries) {
  std::lock_guard<std::mutex> Guard(FCacheLock);
  if (!FCache.Running) return ERROR_RASMAN_CANNOT_INITIALIZE;
  AEntries.clear();
  for (const TNmProfile& Profile : FCache.Profiles) {
    // Of profiles with one name, the first stands for it.
    if (AEntries.empty() || AEntries.back() != Profile.Id) AEntries.push_back(Profile.Id);
  }
  return ERROR_SUCCESS;
}

std::string TNmProvider::EntryWarning(const std::string& AEntryName) {
  std::lock_guard<std::mutex> Guard(FCacheLock);
  const TNmProfile* Profile = FCache.FindProfile(AEntryName);
  if (Profile == nullptr || !Profile->Autoconnect) return {};
  return "NetworkManager brings this profile up by itself (after a restart or when the carrier "
         "returns); turn that off with: nmcli connection modify uuid " +
         Profile->Uuid + " connection.autoconnect no";
}

DWORD TNmProvider::WatchChanges() {
  // The bus thread follows NetworkManager's signals from the start.
  return ERROR_SUCCESS;
}

std::string TNmProvider::ErrorAdvice(DWORD AError) const {
  if (AError != ErrorAccessDenied) return {};
  return "NetworkManager refused: dialling and hanging up need polkit's "
         "org.freedesktop.NetworkManager.network-control for this user";
}

DWORD TNmProvider::GetEntryDialParams(RASDIALPARAMSA& AParams) {
  const std::string Name = AParams.szEntryName;
  return RunOnBusThread([this, &AParams, &Name]() -> DWORD {
    TNmProfile Profile;
    {
      std::lock_guard<std::mutex> Guard(FCacheLock);
      if (!FCache.Running || !FBus) return ERROR_RASMAN_CANNOT_INITIALIZE;
      const TNmProfile* Found = FCache.FindProfile(Name);
      if (Found == nullptr) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
      Profile = *Found;
    }
    std::string Password;
    bool Readable = false;
    const DWORD Result = ReadPassword(Profile, Password, Readable);
    if (Result != ERROR_SUCCESS) return Result;
    CopyText(AParams.szUserName, Profile.UserName);
    CopyText(AParams.szPassword, Password);
    return ERROR_SUCCESS;
  });
}

DWORD TNmProvider::Dial(const RASDIALPARAMSA& AParams, TDialNotifier ANotifier, HRASCONN& AHandle) {
  std::shared_ptr<TSyncDial> Sync;
  if (!ANotifier) {
    // A dial that waits cannot wait on the thread that reports it.
    if (OnBusThread()) return ERROR_NOT_SUPPORTED;
    Sync = std::make_shared<TSyncDial>();
  }
  const DWORD Started = RunOnBusThread(
      [&]() { return DialOnBusThread(AParams, std::move(ANotifier), Sync, AHandle); });
  if (Started != ERROR_SUCCESS || !Sync) return Started;
  std::unique_lock<std::mutex> Guard(Sync->Lock);
  Sync->Changed.wait(Guard, [&Sync] { return Sync->Done; });
  return Sync->Code;
}

DWORD TNmProvider::DialOnBusThread(const RASDIALPARAMSA& AParams, TDialNotifier ANotifier,
                                   std::shared_ptr<TSyncDial> ASync, HRASCONN& AHandle) {
  TNmProfile Profile;
  TNmActive Existing;
  bool Joined = false;
  {
    std::lock_guard<std::mutex> Guard(FCacheLock);
    if (!FCache.Running || !FBus) return ERROR_RASMAN_CANNOT_INITIALIZE;
    const TNmProfile* Found = FCache.FindProfile(AParams.szEntryName);
    if (Found == nullptr) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    Profile = *Found;
    if (const TNmActive* Active = FCache.FindActiveOfProfile(Profile.Path)) {
      Existing = *Active;
      Joined = true;
    }
  }
  // Credentials are the profile's own: other ones would have to be written
  // into the stored profile, which a dial never does.
  if (Profile.UserName != AParams.szUserName) return ERROR_WRONG_INFO_SPECIFIED;
  if (AParams.szPassword[0] != 0) {
    std::string Password;
    bool Readable = false;
    const DWORD Result = ReadPassword(Profile, Password, Readable);
    if (Result != ERROR_SUCCESS) return Result;
    if (!Readable || Password != AParams.szPassword) return ERROR_WRONG_INFO_SPECIFIED;
  }

  TDialWatch Dial;
  Dial.Notifier = std::move(ANotifier);
  Dial.Sync = std::move(ASync);
  Dial.Reached = -1;
  Dial.StartNs = NowNs();
  Dial.DeadlineNs = Dial.StartNs + FDialTimeoutNs;
  if (Joined) {
    // The line carries one session: a second dial joins the one on its way.
    AHandle = Existing.Handle;
    Dial.ActivePath = Existing.Path;
    Dial.Devices = Existing.Devices;
    FDials.push_back(std::move(Dial));
    TDialWatch& Watch = FDials.back();
    Advance(Watch, RASCS_OpenPort);
    if (Existing.State == ActiveActivated) {
      Advance(Watch, RASCS_Connected);
    } else {
      const RASCONNSTATE State = DialStateOfDevice(Existing.DeviceState);
      if (State > RASCS_OpenPort && State != RASCS_Connected) Advance(Watch, State);
    }
    return ERROR_SUCCESS;
  }

  const std::string ProfilePath = Profile.Path;
  const TCallResult Activated =
      CallNm(FBus.get(), NmPath, NmInterface, "ActivateConnection", CallTimeoutUs,
             [&ProfilePath](sd_bus_message* AMessage) {
               return sd_bus_message_append(AMessage, "ooo", ProfilePath.c_str(), "/", "/");
             });
  if (!Activated.Ok()) return CodeOfBusError(Activated.ErrorName);
  const char* ActivePath = nullptr;
  if (sd_bus_message_read(Activated.Reply.get(), "o", &ActivePath) <= 0) return ERROR_UNKNOWN;
  Dial.ActivePath = ActivePath;
  AHandle = HandleOfActivePath(Dial.ActivePath);
  const TCallResult Devices = GetProperty(FBus.get(), Dial.ActivePath, ActiveInterface, "Devices");
  if (Devices.Ok()) ReadVariantPaths(Devices.Reply.get(), Dial.Devices);
  FDials.push_back(std::move(Dial));
  Advance(FDials.back(), RASCS_OpenPort);
  // Listed from the moment the dial has started.
  RefreshActives();
  return ERROR_SUCCESS;
}

DWORD TNmProvider::HangUp(HRASCONN AHandle) {
  return RunOnBusThread([this, AHandle]() -> DWORD {
    std::string Path;
    {
      std::lock_guard<std::mutex> Guard(FCacheLock);
      if (!FCache.Running || !FBus) return ERROR_RASMAN_CANNOT_INITIALIZE;
      const TNmActive* Active = FCache.FindActive(AHandle);
      if (Active == nullptr) return ERROR_INVALID_HANDLE;
      Path = Active->Path;
    }
    for (TDialWatch& Dial : FDials) {
      if (Dial.ActivePath == Path) Dial.HangUpAsked = true;
    }
    FHungUp.insert(Path);
    const TCallResult Result = CallNm(FBus.get(), NmPath, NmInterface, "DeactivateConnection",
                                      CallTimeoutUs, [&Path](sd_bus_message* AMessage) {
                                        return sd_bus_message_append(AMessage, "o", Path.c_str());
                                      });
    if (!Result.Ok()) return CodeOfBusError(Result.ErrorName);
    RefreshActives();
    return ERROR_SUCCESS;
  });
}

DWORD TNmProvider::EnumConnections(std::vector<RASCONNA>& AConnections) {
  std::lock_guard<std::mutex> Guard(FCacheLock);
  if (!FCache.Running) return ERROR_RASMAN_CANNOT_INITIALIZE;
  AConnections.clear();
  AConnections.reserve(FCache.Actives.size());
  for (const TNmActive& Active : FCache.Actives) {
    RASCONNA Record;
    std::memset(&Record, 0, sizeof Record);
    Record.dwSize = sizeof Record;
    Record.hrasconn = Active.Handle;
    CopyText(Record.szEntryName, Active.EntryName);
    CopyText(Record.szDeviceType, DeviceTypeOf(Active.Type));
    CopyText(Record.szDeviceName, Active.Interface.empty() ? Active.Type : Active.Interface);
    AConnections.push_back(Record);
  }
  return ERROR_SUCCESS;
}

DWORD TNmProvider::GetConnectStatus(HRASCONN AHandle, RASCONNSTATUSA& AStatus) {
  std::lock_guard<std::mutex> Guard(FCacheLock);
  if (!FCache.Running) return ERROR_RASMAN_CANNOT_INITIALIZE;
  const TNmActive* Active = FCache.FindActive(AHandle);
  if (Active == nullptr) return ERROR_INVALID_HANDLE;
  if (Active->State == ActiveActivated) {
    AStatus.rasconnstate = RASCS_Connected;
  } else {
    const RASCONNSTATE State = DialStateOfDevice(Active->DeviceState);
    AStatus.rasconnstate = State < 0                  ? RASCS_OpenPort
                           : State == RASCS_Connected ? RASCS_Authenticated
                                                      : State;
  }
  AStatus.dwError = 0;
  CopyText(AStatus.szDeviceType, DeviceTypeOf(Active->Type));
  CopyText(AStatus.szDeviceName, Active->Interface.empty() ? Active->Type : Active->Interface);
  return ERROR_SUCCESS;
}

DWORD TNmProvider::GetPppIpProjection(HRASCONN AHandle, RASPPPIPA& AProjection) {
  std::lock_guard<std::mutex> Guard(FCacheLock);
  if (!FCache.Running) return ERROR_RASMAN_CANNOT_INITIALIZE;
  const TNmActive* Active = FCache.FindActive(AHandle);
  if (Active == nullptr) return ERROR_INVALID_HANDLE;
  if (Active->State != ActiveActivated || Active->Address.empty()) {
    return ERROR_PROJECTION_NOT_COMPLETE;
  }
  AProjection.dwError = 0;
  CopyText(AProjection.szIpAddress, Active->Address);
  CopyText(AProjection.szServerIpAddress, Active->Gateway);
  return ERROR_SUCCESS;
}

DWORD TNmProvider::GetIpv6Info(HRASCONN AHandle, std::string& AAddress, std::string& APrefix) {
  std::lock_guard<std::mutex> Guard(FCacheLock);
  if (!FCache.Running) return ERROR_RASMAN_CANNOT_INITIALIZE;
  const TNmActive* Active = FCache.FindActive(AHandle);
  if (Active == nullptr) return ERROR_INVALID_HANDLE;
  if (Active->State != ActiveActivated) return ERROR_PROJECTION_NOT_COMPLETE;
  AAddress = Active->Address6;
  APrefix = Active->Prefix6;
  return ERROR_SUCCESS;
}

}  // namespace dravik::ras::nm
