#include "TPppdProvider.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "ChangeNotification.h"
#include "PppdCodes.h"
#include "PppdEntries.h"
#include "PppdIpv6.h"
#include "PppdPeers.h"
#include "RasTexts.h"
#include "TPppdChild.h"

namespace dravik::ras::pppd {

namespace {

// How long an ended pppd is given after SIGTERM before SIGKILL.
constexpr int StopGraceMs = 3000;

int64_t NowNs() {
  timespec Now;
  clock_gettime(CLOCK_MONOTONIC, &Now);
  return int64_t(Now.tv_sec) * 1000000000 + Now.tv_nsec;
}

std::chrono::steady_clock::time_point WhenNs(int64_t AAtNs) {
  return std::chrono::steady_clock::now() + std::chrono::nanoseconds(AAtNs - NowNs());
}

template <size_t N>
void CopyText(char (&AField)[N], const std::string& AText) {
  std::memset(AField, 0, N);
  std::memcpy(AField, AText.data(), std::min(AText.size(), N - 1));
}

void Raise(int AEventFd) {
  const uint64_t One = 1;
  (void)!write(AEventFd, &One, sizeof One);
}

void Notify(const TDialNotifier& ANotifier, RASCONNSTATE AState, DWORD ACode) {
  if (ANotifier) ANotifier(WM_RASDIALEVENT, std::max(AState, RASCS_OpenPort), ACode);
}

// The code of a pppd that could not be started at all.
DWORD CodeOfStartError(int AError) {
  if (AError == EACCES || AError == EPERM) return ErrorAccessDenied;
  if (AError == ENOENT || AError == ENOTDIR) return ERROR_RASMAN_CANNOT_INITIALIZE;
  return ERROR_UNKNOWN;
}

}  // namespace

struct TPppdProvider::TDialRun {
  std::string Entry;
  bool Pppoe = false;
  // Owned by the thread that follows the dial.
  std::unique_ptr<TPppdChild> Child;
  // Readable once a hang-up asks the dial to end.
  int Wake = -1;
  // Under FLock.
  RASCONNSTATE Reached = -1;
  bool HangUpAsked = false;
  bool Done = false;
  DWORD Code = 0;
  std::thread::id Thread;

  ~TDialRun() {
    if (Wake >= 0) close(Wake);
  }
};

HRASCONN TPppdProvider::HandleOfEntry(const std::string& AEntry) {
  // FNV-1a, never 0.
  uint32_t Hash = 2166136261u;
  for (char Char : AEntry) Hash = (Hash ^ static_cast<unsigned char>(Char)) * 16777619u;
  return Hash == 0 ? 1 : Hash;
}

TPppdProvider::TPppdProvider(const TPppdPaths& APaths, std::string& AProblem)
    : FPaths(APaths),
      FDialTimeoutNs(int64_t(DefaultDialTimeoutSeconds) * 1000000000),
      FRoot(getuid() == 0) {
  if (const char* Timeout = std::getenv("DRAVIK_PPPD_DIAL_TIMEOUT")) {
    char* End = nullptr;
    const long Seconds = std::strtol(Timeout, &End, 10);
    if (End == Timeout || *End != 0 || Seconds < 1 || Seconds > 3600) {
      AProblem = "DRAVIK_PPPD_DIAL_TIMEOUT is not a number of seconds from 1 to 3600";
      return;
    }
    FDialTimeoutNs = int64_t(Seconds) * 1000000000;
  }
  FStop = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (FStop < 0) {
    AProblem = std::string("no event descriptor: ") + std::strerror(errno);
    return;
  }
  FWatch = std::make_unique<TPppdWatch>(FPaths, AProblem);
  if (!AProblem.empty()) return;
  Take(FWatch->Seen());
  FWatch->Start([this](const TPppdSeen& ASeen) {
    Take(ASeen);
    LinksChanged();
  });
}

TPppdProvider::~TPppdProvider() {
  {
    std::lock_guard<std::mutex> Guard(FLock);
    FStopping = true;
  }
  FChanged.notify_all();
  if (FStop >= 0) Raise(FStop);
  FWatch.reset();
  const auto Self = std::this_thread::get_id();
  std::list<TWorker> Workers;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    Workers.swap(FWorkers);
  }
  // A notifier that ends the process from a thread of ours cannot wait for
  // itself.
  for (TWorker& Worker : Workers) {
    if (Worker.Thread.get_id() == Self) {
      Worker.Thread.detach();
    } else if (Worker.Thread.joinable()) {
      Worker.Thread.join();
    }
  }
  if (FStop >= 0) close(FStop);
}

void TPppdProvider::LinksChanged() { NotifyConnectionsChanged(); }

DWORD TPppdProvider::WatchChanges() {
  // The watch thread follows the links from the start.
  return ERROR_SUCCESS;
}

void TPppdProvider::Take(const TPppdSeen& ASeen) {
  {
    std::lock_guard<std::mutex> Guard(FLock);
    // A pid stays known as ended until no pid file names it any more.
    for (auto Ended = FEnded.begin(); Ended != FEnded.end();) {
      const bool Named = std::any_of(ASeen.Links.begin(), ASeen.Links.end(),
                                     [&Ended](const TPppdLink& A) { return A.Pid == *Ended; });
      Ended = Named ? std::next(Ended) : FEnded.erase(Ended);
    }
    FInterfaces = ASeen.Interfaces;
    FLinks = ASeen.Links;
    FPppoePeers = ASeen.Pppoe;
    DropEndedLocked();
  }
  FChanged.notify_all();
}

void TPppdProvider::DropEndedLocked() {
  FLinks.erase(std::remove_if(FLinks.begin(), FLinks.end(),
                              [this](const TPppdLink& A) { return FEnded.count(A.Pid) != 0; }),
               FLinks.end());
  RebuildViewLocked();
}

void TPppdProvider::RebuildViewLocked() {
  FView.clear();
  for (const TPppdLink& Link : FLinks) {
    TConnection Connection;
    Connection.Entry = Link.Entry;
    Connection.Handle = HandleOfEntry(Link.Entry);
    Connection.Interface = Link.Interface;
    const auto Pppoe = FPppoePeers.find(Link.Entry);
    Connection.Pppoe = Pppoe != FPppoePeers.end() && Pppoe->second;
    const auto Interface =
        std::find_if(FInterfaces.begin(), FInterfaces.end(),
                     [&Link](const auto& AItem) { return AItem.second.Name == Link.Interface; });
    if (Interface == FInterfaces.end()) {
      Connection.State = RASCS_ConnectDevice;
    } else if (Interface->second.Local.empty()) {
      Connection.State = RASCS_DeviceConnected;
    } else {
      Connection.State = RASCS_Connected;
      Connection.Local = Interface->second.Local;
      Connection.Peer = Interface->second.Peer;
    }
    FView.push_back(std::move(Connection));
  }
  // A dial of this process on its way tells its own state, as it notifies.
  for (const auto& [Entry, Run] : FDials) {
    if (Run->Done) continue;
    auto Listed = std::find_if(FView.begin(), FView.end(),
                               [&Entry = Entry](const TConnection& A) { return A.Entry == Entry; });
    if (Listed == FView.end()) {
      TConnection Connection;
      Connection.Entry = Entry;
      Connection.Handle = HandleOfEntry(Entry);
      Connection.Pppoe = Run->Pppoe;
      Listed = FView.insert(FView.end(), std::move(Connection));
    }
    Listed->State = std::max(Run->Reached, RASCS_OpenPort);
    Listed->Local.clear();
    Listed->Peer.clear();
  }
  std::sort(FView.begin(), FView.end(),
            [](const TConnection& A, const TConnection& B) { return A.Entry < B.Entry; });
}

const TPppdProvider::TConnection* TPppdProvider::FindLocked(HRASCONN AHandle) const {
  for (const TConnection& Connection : FView) {
    if (Connection.Handle == AHandle) return &Connection;
  }
  return nullptr;
}

const TPppdProvider::TConnection* TPppdProvider::FindEntryLocked(const std::string& AEntry) const {
  for (const TConnection& Connection : FView) {
    if (Connection.Entry == AEntry) return &Connection;
  }
  return nullptr;
}

DWORD TPppdProvider::EnumEntries(std::vector<std::string>& AEntries) {
  return ListPeers(FPaths.PeersDir(), AEntries);
}

DWORD TPppdProvider::GetEntryDialParams(RASDIALPARAMSA& AParams) {
  TStoredEntry Entry;
  const DWORD Result = ReadStoredEntry(FPaths, AParams.szEntryName, Entry);
  if (Result != ERROR_SUCCESS) return Result;
  CopyText(AParams.szUserName, Entry.User);
  CopyText(AParams.szPassword, Entry.Password);
  return ERROR_SUCCESS;
}

std::string TPppdProvider::EntryWarning(const std::string& AEntryName) {
  return WarningOfPeer(FPaths, AEntryName);
}

std::string TPppdProvider::ErrorAdvice(DWORD ACode) const { return AdviceOfCode(ACode); }

DWORD TPppdProvider::CheckCredentials(const RASDIALPARAMSA& AParams, bool& APppoe) {
  TStoredEntry Entry;
  const DWORD Result = ReadStoredEntry(FPaths, AParams.szEntryName, Entry);
  if (Result != ERROR_SUCCESS) return Result;
  APppoe = Entry.Pppoe;
  // The credentials are the peer's own: pppd takes others only from a
  // command line (where a password must never be) or a secrets file (which
  // a dial never writes).
  if (Entry.User != AParams.szUserName) return ERROR_WRONG_INFO_SPECIFIED;
  if (AParams.szPassword[0] != 0 &&
      (Entry.Password.empty() || Entry.Password != AParams.szPassword)) {
    return ERROR_WRONG_INFO_SPECIFIED;
  }
  return ERROR_SUCCESS;
}

void TPppdProvider::Launch(std::function<void()> AJob) {
  auto Done = std::make_shared<bool>(false);
  std::lock_guard<std::mutex> Guard(FLock);
  for (auto Worker = FWorkers.begin(); Worker != FWorkers.end();) {
    if (!*Worker->Done) {
      ++Worker;
      continue;
    }
    Worker->Thread.join();
    Worker = FWorkers.erase(Worker);
  }
  TWorker Worker;
  Worker.Done = Done;
  Worker.Thread = std::thread([this, Done, Job = std::move(AJob)] {
    Job();
    std::lock_guard<std::mutex> Guard(FLock);
    *Done = true;
  });
  FWorkers.push_back(std::move(Worker));
}

DWORD TPppdProvider::Dial(const RASDIALPARAMSA& AParams, TDialNotifier ANotifier,
                          HRASCONN& AHandle) {
  const std::string Entry = AParams.szEntryName;
  bool Pppoe = false;
  const DWORD Checked = CheckCredentials(AParams, Pppoe);
  if (Checked != ERROR_SUCCESS) return Checked;
  AHandle = HandleOfEntry(Entry);

  std::shared_ptr<TDialRun> Run;
  bool Join = false;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    if (FStopping) return ERROR_RASMAN_CANNOT_INITIALIZE;
    const auto Dialling = FDials.find(Entry);
    if (Dialling != FDials.end() && !Dialling->second->Done) {
      // The line carries one session: a second dial joins the one on its
      // way, or the link that is up.
      Run = Dialling->second;
      Join = true;
    } else if (FindEntryLocked(Entry) != nullptr) {
      Join = true;
    } else {
      Run = std::make_shared<TDialRun>();
      Run->Entry = Entry;
      Run->Pppoe = Pppoe;
      Run->Wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
      // Listed from the moment the dial starts.
      FDials[Entry] = Run;
      RebuildViewLocked();
    }
  }
  if (Join) {
    if (!ANotifier) return JoinDial(Run, Entry, {});
    Launch([this, Run, Entry, ANotifier] { JoinDial(Run, Entry, ANotifier); });
    return ERROR_SUCCESS;
  }

  // The link is named after the peer, so that its pid file is found; pppd
  // lets only root give linkname on the command line, and for others the
  // unit's pid file and pppd's own command line tell the link.
  std::vector<std::string> Args = {FPaths.Program, "call", Entry};
  if (FRoot) Args.insert(Args.end(), {"linkname", Entry});
  Args.push_back("updetach");
  Run->Child = std::make_unique<TPppdChild>();
  const int Failed = Run->Wake < 0 ? errno : Run->Child->Start(Args);
  if (Failed != 0) {
    {
      std::lock_guard<std::mutex> Guard(FLock);
      Run->Done = true;
      FDials.erase(Entry);
      RebuildViewLocked();
    }
    FChanged.notify_all();
    return CodeOfStartError(Failed);
  }
  if (!ANotifier) return FollowDial(Run, {});
  Launch([this, Run, ANotifier] { FollowDial(Run, ANotifier); });
  return ERROR_SUCCESS;
}

void TPppdProvider::Advance(TDialRun& ARun, RASCONNSTATE AState, const TDialNotifier& ANotifier,
                            int64_t& ADeadlineNs) {
  {
    std::lock_guard<std::mutex> Guard(FLock);
    if (AState <= ARun.Reached) return;
    ARun.Reached = AState;
    RebuildViewLocked();
  }
  ADeadlineNs = NowNs() + FDialTimeoutNs;
  Notify(ANotifier, AState, 0);
}

void TPppdProvider::Finish(const std::shared_ptr<TDialRun>& ARun, DWORD ACode,
                           const TDialNotifier& ANotifier) {
  RASCONNSTATE Reached = RASCS_OpenPort;
  bool Stopping = false;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    ARun->Done = true;
    ARun->Code = ACode;
    Reached = ARun->Reached;
    Stopping = FStopping;
    const auto Listed = FDials.find(ARun->Entry);
    if (Listed != FDials.end() && Listed->second == ARun) FDials.erase(Listed);
    RebuildViewLocked();
  }
  FChanged.notify_all();
  // Notifiers no longer run once the provider stops.
  if (!Stopping) Notify(ANotifier, ACode == ERROR_SUCCESS ? RASCS_Connected : Reached, ACode);
}

bool TPppdProvider::WaitConnected(const std::string& AEntry, int64_t ADeadlineNs,
                                  const std::shared_ptr<TDialRun>& AHungUpBy) {
  auto Connected = [this, &AEntry] {
    const auto Link = std::find_if(FLinks.begin(), FLinks.end(),
                                   [&AEntry](const TPppdLink& A) { return A.Entry == AEntry; });
    if (Link == FLinks.end()) return false;
    return std::any_of(FInterfaces.begin(), FInterfaces.end(), [&Link](const auto& AItem) {
      return AItem.second.Name == Link->Interface && !AItem.second.Local.empty();
    });
  };
  std::unique_lock<std::mutex> Guard(FLock);
  FChanged.wait_until(Guard, WhenNs(ADeadlineNs), [&] {
    return FStopping || (AHungUpBy && AHungUpBy->HangUpAsked) || Connected() ||
           (!AHungUpBy && FindEntryLocked(AEntry) == nullptr);
  });
  return !FStopping && Connected();
}

DWORD TPppdProvider::FollowDial(const std::shared_ptr<TDialRun>& ARun,
                                const TDialNotifier& ANotifier) {
  {
    std::lock_guard<std::mutex> Guard(FLock);
    ARun->Thread = std::this_thread::get_id();
  }
  TPppdChild& Child = *ARun->Child;
  int64_t DeadlineNs = NowNs() + FDialTimeoutNs;
  Advance(*ARun, RASCS_OpenPort, ANotifier, DeadlineNs);
  bool Refused = false;
  DWORD Code = ERROR_SUCCESS;
  auto Take = [&] {
    std::vector<std::string> Lines;
    Child.ReadLines(Lines);
    for (const std::string& Line : Lines) {
      Refused = Refused || IsPermissionLine(Line);
      for (RASCONNSTATE State : DialStatesOfLine(Line)) {
        Advance(*ARun, State, ANotifier, DeadlineNs);
      }
    }
  };
  for (;;) {
    Take();
    int Status = 0;
    bool Signalled = false;
    if (Child.Ended(Status, Signalled)) {
      Take();
      Code = Signalled ? CodeOfSignal(Status) : CodeOfExitStatus(Status, Refused);
      break;
    }
    bool HungUp = false;
    {
      std::lock_guard<std::mutex> Guard(FLock);
      HungUp = ARun->HangUpAsked || FStopping;
    }
    if (HungUp || NowNs() >= DeadlineNs) {
      Child.Stop(StopGraceMs, Status, Signalled);
      Code = HungUp ? ERROR_USER_DISCONNECTION : ErrorRequestTimeout;
      break;
    }
    std::vector<pollfd> Fds = {
        {Child.Pidfd(), POLLIN, 0}, {ARun->Wake, POLLIN, 0}, {FStop, POLLIN, 0}};
    if (!Child.OutputEnded()) Fds.push_back({Child.OutputFd(), POLLIN, 0});
    const int64_t LeftMs = std::max<int64_t>(0, (DeadlineNs - NowNs() + 999999) / 1000000);
    poll(Fds.data(), Fds.size(), static_cast<int>(std::min<int64_t>(LeftMs, 60000)));
  }
  // pppd detached: the link is up once its pid file and address are seen,
  // so that a dialler that hears "connected" finds the address.
  if (Code == ERROR_SUCCESS &&
      !WaitConnected(ARun->Entry, NowNs() + int64_t(LinkWaitSeconds) * 1000000000, ARun)) {
    Code = ERROR_PORT_DISCONNECTED;
  }
  {
    std::lock_guard<std::mutex> Guard(FLock);
    if (ARun->HangUpAsked && Code != ERROR_SUCCESS) Code = ERROR_USER_DISCONNECTION;
    // The pid files of the pppd that ended may not have been seen gone yet;
    // a caller told of the failure must not find the entry listed.
    if (Code != ERROR_SUCCESS) {
      FEnded.insert(Child.Pid());
      DropEndedLocked();
    }
  }
  if (Code == ERROR_SUCCESS) Advance(*ARun, RASCS_Projected, ANotifier, DeadlineNs);
  Finish(ARun, Code, ANotifier);
  return Code;
}

DWORD TPppdProvider::JoinDial(const std::shared_ptr<TDialRun>& ARun, const std::string& AEntry,
                              const TDialNotifier& ANotifier) {
  Notify(ANotifier, RASCS_OpenPort, 0);
  if (ARun) {
    // A dial of this process: its end is this one's.
    RASCONNSTATE Reached = RASCS_OpenPort;
    DWORD Code = ERROR_USER_DISCONNECTION;
    {
      std::lock_guard<std::mutex> Guard(FLock);
      Reached = ARun->Reached;
    }
    if (Reached > RASCS_OpenPort) Notify(ANotifier, Reached, 0);
    {
      std::unique_lock<std::mutex> Guard(FLock);
      FChanged.wait(Guard, [this, &ARun] { return ARun->Done || FStopping; });
      if (ARun->Done) Code = ARun->Code;
      Reached = ARun->Reached;
      if (FStopping) return Code;
    }
    Notify(ANotifier, Code == ERROR_SUCCESS ? RASCS_Connected : Reached, Code);
    return Code;
  }
  // Another process's pppd carries the link, or is on its way to it.
  const bool Connected = WaitConnected(AEntry, NowNs() + FDialTimeoutNs);
  bool Listed = false;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    if (FStopping) return ERROR_USER_DISCONNECTION;
    Listed = FindEntryLocked(AEntry) != nullptr;
  }
  const DWORD Code = Connected ? ERROR_SUCCESS
                     : Listed  ? ErrorRequestTimeout
                               : ERROR_PORT_DISCONNECTED;
  Notify(ANotifier, Connected ? RASCS_Connected : RASCS_OpenPort, Code);
  return Code;
}

DWORD TPppdProvider::HangUp(HRASCONN AHandle) {
  std::shared_ptr<TDialRun> Run;
  std::string Entry;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    const TConnection* Connection = FindLocked(AHandle);
    if (Connection == nullptr) return ERROR_INVALID_HANDLE;
    Entry = Connection->Entry;
    const auto Dialling = FDials.find(Entry);
    if (Dialling != FDials.end() && !Dialling->second->Done) {
      Run = Dialling->second;
      Run->HangUpAsked = true;
      Raise(Run->Wake);
    }
  }
  FChanged.notify_all();
  if (Run) {
    std::unique_lock<std::mutex> Guard(FLock);
    // A notifier that hangs up from the dial's own thread cannot wait for
    // the dial to end; the dial ends when the notifier returns.
    if (Run->Thread != std::this_thread::get_id()) {
      FChanged.wait_for(Guard, std::chrono::seconds(LinkWaitSeconds),
                        [this, &Run] { return Run->Done || FStopping; });
    }
  }
  return EndLink(Entry);
}

DWORD TPppdProvider::EndLink(const std::string& AEntry) {
  const int64_t DeadlineNs = NowNs() + int64_t(LinkWaitSeconds) * 1000000000;
  const TLinkEnd End = EndPppdOf(FPaths.RunDir, AEntry, FPaths.Program,
                                 std::chrono::milliseconds(LinkWaitSeconds * 1000), FStop);
  if (End.Denied && !End.Signalled) return ErrorAccessDenied;
  // Its interface goes with its end; the hang-up is over once that is seen
  // here, so that the next listing no longer shows the link.
  std::unique_lock<std::mutex> Guard(FLock);
  const bool Gone = FChanged.wait_until(Guard, WhenNs(DeadlineNs), [this, &AEntry] {
    return FStopping || FindEntryLocked(AEntry) == nullptr;
  });
  return End.Ended && Gone ? ERROR_SUCCESS : ErrorRequestTimeout;
}

DWORD TPppdProvider::EnumConnections(std::vector<RASCONNA>& AConnections) {
  std::lock_guard<std::mutex> Guard(FLock);
  AConnections.clear();
  AConnections.reserve(FView.size());
  for (const TConnection& Connection : FView) {
    RASCONNA Record;
    std::memset(&Record, 0, sizeof Record);
    Record.dwSize = sizeof Record;
    Record.hrasconn = Connection.Handle;
    CopyText(Record.szEntryName, Connection.Entry);
    CopyText(Record.szDeviceType, Connection.Pppoe ? "PPPoE" : "modem");
    CopyText(Record.szDeviceName, Connection.Interface.empty() ? "pppd" : Connection.Interface);
    AConnections.push_back(Record);
  }
  return ERROR_SUCCESS;
}

DWORD TPppdProvider::GetConnectStatus(HRASCONN AHandle, RASCONNSTATUSA& AStatus) {
  std::lock_guard<std::mutex> Guard(FLock);
  const TConnection* Connection = FindLocked(AHandle);
  if (Connection == nullptr) return ERROR_INVALID_HANDLE;
  AStatus.rasconnstate = Connection->State;
  AStatus.dwError = 0;
  CopyText(AStatus.szDeviceType, Connection->Pppoe ? "PPPoE" : "modem");
  CopyText(AStatus.szDeviceName, Connection->Interface.empty() ? "pppd" : Connection->Interface);
  return ERROR_SUCCESS;
}

DWORD TPppdProvider::GetPppIpProjection(HRASCONN AHandle, RASPPPIPA& AProjection) {
  std::lock_guard<std::mutex> Guard(FLock);
  const TConnection* Connection = FindLocked(AHandle);
  if (Connection == nullptr) return ERROR_INVALID_HANDLE;
  if (Connection->State != RASCS_Connected || Connection->Local.empty()) {
    return ERROR_PROJECTION_NOT_COMPLETE;
  }
  AProjection.dwError = 0;
  CopyText(AProjection.szIpAddress, Connection->Local);
  CopyText(AProjection.szServerIpAddress, Connection->Peer);
  return ERROR_SUCCESS;
}

DWORD TPppdProvider::GetIpv6Info(HRASCONN AHandle, std::string& AAddress, std::string& APrefix) {
  std::string Interface;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    const TConnection* Connection = FindLocked(AHandle);
    if (Connection == nullptr) return ERROR_INVALID_HANDLE;
    if (Connection->State != RASCS_Connected || Connection->Local.empty()) {
      return ERROR_PROJECTION_NOT_COMPLETE;
    }
    Interface = Connection->Interface;
  }
  InterfaceIpv6(Interface, AAddress, APrefix);
  return ERROR_SUCCESS;
}

}  // namespace dravik::ras::pppd
