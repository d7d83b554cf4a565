#include "TSimProvider.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "InetAddress.h"
#include "SimClock.h"
#include "TDialThreads.h"

namespace dravik::ras {

namespace {

constexpr size_t MaxConnections = 4096;
// How often a waiting dial looks whether its connection is still listed.
constexpr int64_t CheckEveryNs = 50000000;

template <size_t N>
void CopyText(char (&AField)[N], const std::string& AText) {
  std::memset(AField, 0, N);
  std::memcpy(AField, AText.data(), std::min(AText.size(), N - 1));
}

// Whether the connection has left the list before its dial was over: hung
// up or cut. A failing dial that leaves the list when its time is up has
// not; nor does a failure to read count against it.
bool EndedEarly(const TSimStore& AStore, const TSimConnection& AConnection) {
  const int64_t Before = SimNowNs();
  std::shared_ptr<const TSimSnapshot> State;
  if (AStore.Read(State) != ERROR_SUCCESS) return false;
  if (State->Find(AConnection.Handle) != nullptr) return false;
  return AConnection.FailCode == 0 || Before < AConnection.StartNs + AConnection.DialNs;
}

DWORD ReasonEnded(const TSimStore& AStore, TSimHandle AHandle) {
  std::shared_ptr<const TSimSnapshot> Snapshot;
  if (AStore.Read(Snapshot) != ERROR_SUCCESS) return ERROR_PORT_DISCONNECTED;
  for (auto Ended = Snapshot->State.Ended.rbegin(); Ended != Snapshot->State.Ended.rend();
       ++Ended) {
    if (Ended->Handle == AHandle) return Ended->Reason;
  }
  return ERROR_PORT_DISCONNECTED;
}

// The connection listed under AHandle, as the state has it now, and the
// moment it was looked at; ERROR_INVALID_HANDLE when none is listed.
DWORD FindListed(const TSimStore& AStore, TSimHandle AHandle, TSimConnection& AConnection,
                 int64_t& ANowNs) {
  std::shared_ptr<const TSimSnapshot> State;
  const DWORD Result = AStore.Read(State);
  if (Result != ERROR_SUCCESS) return Result;
  ANowNs = SimNowNs();
  const TSimConnection* Connection = State->Find(AHandle);
  if (Connection == nullptr || !SimIsListed(*Connection, ANowNs)) return ERROR_INVALID_HANDLE;
  AConnection = *Connection;
  return ERROR_SUCCESS;
}

// Reports the dial of AConnection step by step; AFromStart: from its first
// state, else (a dial that joined a connection on its way) from the state it
// has reached.
void Report(const TSimStore& AStore, const TSimConnection& AConnection,
            const TDialNotifier& ANotifier, bool AFromStart, TDialThreads& AThreads) {
  const std::vector<TSimStep> Steps = SimDialSteps(AConnection);
  size_t First = 0;
  if (!AFromStart) {
    const int64_t Now = SimNowNs();
    for (size_t Index = 0; Index < Steps.size(); ++Index) {
      if (AConnection.StartNs + Steps[Index].AtNs <= Now) First = Index;
    }
  }
  // Waits until the moment, watching the connection; false when the wait
  // must end without a further report (the library stops, or the line went
  // and that has been reported).
  RASCONNSTATE Reached = Steps[First].State;
  auto WaitFor = [&](int64_t AAtNs) {
    for (;;) {
      if (!AThreads.WaitUntil(AAtNs, CheckEveryNs)) return false;
      if (EndedEarly(AStore, AConnection)) {
        ANotifier(WM_RASDIALEVENT, Reached, ReasonEnded(AStore, AConnection.Handle));
        return false;
      }
      if (SimNowNs() >= AAtNs) return true;
    }
  };
  for (size_t Index = First; Index < Steps.size(); ++Index) {
    if (!WaitFor(AConnection.StartNs + Steps[Index].AtNs)) return;
    Reached = Steps[Index].State;
    ANotifier(WM_RASDIALEVENT, Reached, 0);
  }
  if (AConnection.FailCode == 0) return;
  // Until its time is up a failing dial may still be hung up or cut.
  if (!WaitFor(AConnection.StartNs + AConnection.DialNs)) return;
  ANotifier(WM_RASDIALEVENT, Reached, AConnection.FailCode);
}

}  // namespace

TSimProvider::TSimProvider(const TRasPaths& APaths, std::string& AProblem)
    : FPaths(APaths), FStore(APaths.RuntimeDir), FRandom(std::random_device()()) {
  AProblem = FPaths.Problem;
  if (!AProblem.empty()) return;
  if (!EnsurePrivateDir(FPaths.ConfigDir, false, AProblem)) return;
  EnsurePrivateDir(FPaths.RuntimeDir, true, AProblem);
}

DWORD TSimProvider::WatchChanges() {
  std::lock_guard<std::mutex> Guard(FWatchLock);
  if (FWatcher) return ERROR_SUCCESS;
  auto Watcher = std::make_unique<TSimWatcher>(FPaths.RuntimeDir);
  std::string Problem;
  if (!Watcher->Start(Problem)) return ERROR_RASMAN_CANNOT_INITIALIZE;
  FWatcher = std::move(Watcher);
  return ERROR_SUCCESS;
}

DWORD TSimProvider::FindEntry(const std::string& AName, TSimEntry& AEntry) {
  std::vector<TSimEntry> Entries;
  const DWORD Result = TSimPhonebook::Load(FPaths.PhonebookFile, Entries);
  if (Result != ERROR_SUCCESS) return Result;
  const TSimEntry* Found = TSimPhonebook::Find(Entries, AName);
  if (Found == nullptr) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
  AEntry = *Found;
  return ERROR_SUCCESS;
}

DWORD TSimProvider::EnumEntries(std::vector<std::string>& AEntries) {
  std::vector<TSimEntry> Entries;
  const DWORD Result = TSimPhonebook::Load(FPaths.PhonebookFile, Entries);
  if (Result != ERROR_SUCCESS) return Result;
  AEntries.clear();
  for (const TSimEntry& Entry : Entries) AEntries.push_back(Entry.Name);
  return ERROR_SUCCESS;
}

DWORD TSimProvider::GetEntryDialParams(RASDIALPARAMSA& AParams) {
  TSimEntry Entry;
  const DWORD Result = FindEntry(AParams.szEntryName, Entry);
  if (Result != ERROR_SUCCESS) return Result;
  CopyText(AParams.szUserName, Entry.UserName);
  CopyText(AParams.szPassword, Entry.Password);
  return ERROR_SUCCESS;
}

TSimInUse::TSimInUse(const TSimStateData& AState) {
  Handles.reserve(AState.Connections.size());
  Addresses.reserve(AState.Connections.size());
  for (const TSimConnection& Connection : AState.Connections) {
    Handles.insert(Connection.Handle);
    Addresses.insert(Connection.Address);
  }
}

std::string TSimProvider::NewAddress(const TSimStateData& AState, const TSimInUse& AInUse,
                                     const std::string& AEntryName, bool ASameSubnet) {
  const auto Last = AState.LastAddress.find(AEntryName);
  uint32_t Subnet = 0;
  if (ASameSubnet && Last != AState.LastAddress.end()) {
    in_addr Address;
    if (inet_pton(AF_INET, Last->second.c_str(), &Address) == 1)
      Subnet = ntohl(Address.s_addr) & 0xFFFFFF00u;
  }
  std::lock_guard<std::mutex> Guard(FRandomLock);
  // A full /24 gives way to a fresh address after so many tries.
  for (int Try = 0;; ++Try) {
    // Carrier-grade shared address space, as broadband providers hand out.
    const uint32_t Value = Subnet != 0 && Try < 2000 ? Subnet | (FRandom() & 0xFFu)
                                                     : 0x64400000u | (FRandom() & 0x003FFFFFu);
    const uint32_t Last8 = Value & 0xFF;
    if (Last8 == 0 || Last8 == 255) continue;
    // Copied in: the record is a union of byte and word views on some systems.
    const uint32_t NetworkOrder = htonl(Value);
    in_addr Address{};
    std::memcpy(&Address, &NetworkOrder, sizeof NetworkOrder);
    char Text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &Address, Text, sizeof Text);
    if (std::strcmp(Text, PeerAddress) == 0) continue;
    if (Last != AState.LastAddress.end() && Last->second == Text) continue;
    if (AInUse.Addresses.count(Text) == 0) return Text;
  }
}

TSimIpv6 TSimProvider::NewIpv6(const TSimIpv6* ALast, bool ASameSubnet) {
  in6_addr Address{};
  in6_addr Last{};
  const bool KeepPrefix = ASameSubnet && ALast != nullptr &&
                          inet_pton(AF_INET6, ALast->Address.c_str(), &Last) == 1 &&
                          !ALast->Prefix.empty();
  std::lock_guard<std::mutex> Guard(FRandomLock);
  do {
    if (KeepPrefix) {
      // The same /64 of the same delegated prefix, another interface id.
      std::memcpy(Address.s6_addr, Last.s6_addr, 8);
    } else {
      // 2001:db8:XXXX:XX00::/56, and one /64 of it for the line.
      const uint32_t Site = static_cast<uint32_t>(FRandom());
      const unsigned char Start[8] = {0x20,
                                      0x01,
                                      0x0d,
                                      0xb8,
                                      static_cast<unsigned char>(Site >> 16),
                                      static_cast<unsigned char>(Site >> 8),
                                      static_cast<unsigned char>(Site),
                                      static_cast<unsigned char>(FRandom())};
      std::memcpy(Address.s6_addr, Start, 8);
    }
    const uint64_t Interface = (uint64_t(FRandom()) << 32) | FRandom();
    for (int Index = 0; Index < 8; ++Index)
      Address.s6_addr[8 + Index] = static_cast<unsigned char>(Interface >> (56 - 8 * Index));
  } while (KeepPrefix && std::memcmp(&Address, &Last, sizeof Address) == 0);
  char Text[INET6_ADDRSTRLEN] = {};
  inet_ntop(AF_INET6, &Address, Text, sizeof Text);
  in6_addr Prefix = Address;
  Prefix.s6_addr[7] = 0;
  std::memset(Prefix.s6_addr + 8, 0, 8);
  char PrefixText[INET6_ADDRSTRLEN] = {};
  inet_ntop(AF_INET6, &Prefix, PrefixText, sizeof PrefixText);
  return {Text, std::string(PrefixText) + "/56"};
}

void TSimProvider::GiveAddresses(TSimStateData& AState, const TSimInUse& AInUse,
                                 TSimConnection& AConnection) {
  const std::string& Name = AConnection.EntryName;
  const auto Last = AState.LastAddress.find(Name);
  const auto Last6 = AState.LastIpv6.find(Name);
  const bool Repeat = AState.RepeatNext.erase(Name) > 0 && Last != AState.LastAddress.end();
  const bool Subnet = AState.SubnetNext.erase(Name) > 0;
  AConnection.Address = Repeat ? Last->second : NewAddress(AState, AInUse, Name, Subnet);
  const TSimIpv6 Ipv6 =
      Repeat && Last6 != AState.LastIpv6.end()
          ? Last6->second
          : NewIpv6(Last6 != AState.LastIpv6.end() ? &Last6->second : nullptr, Subnet);
  AConnection.Address6 = Ipv6.Address;
  AConnection.Prefix6 = Ipv6.Prefix;
  AState.LastAddress[Name] = AConnection.Address;
  AState.LastIpv6[Name] = Ipv6;
}

TSimHandle TSimProvider::NewHandle(TSimStateData& AState, const TSimInUse& AInUse) {
  TSimHandle Handle = AState.NextHandle;
  while (Handle == 0 || AInUse.Handles.count(Handle) != 0) ++Handle;
  AState.NextHandle = Handle + 1 == 0 ? 1 : Handle + 1;
  return Handle;
}

DWORD TSimProvider::Dial(const RASDIALPARAMSA& AParams, TDialNotifier ANotifier,
                         HRASCONN& AHandle) {
  const std::string Name = AParams.szEntryName;
  TSimEntry Entry;
  DWORD Result = FindEntry(Name, Entry);
  if (Result != ERROR_SUCCESS) return Result;
  // Credentials other than the stored ones fail where the real line would:
  // at authentication.
  const bool Accepted =
      Entry.UserName == AParams.szUserName && Entry.Password == AParams.szPassword;
  TSimConnection Connection;
  bool Joined = false;
  Result = FStore.Update([&](TSimStateData& AState) -> DWORD {
    // A second dial of an entry on its way up or connected joins that
    // connection, as the line carries one session.
    for (const TSimConnection& Existing : AState.Connections) {
      if (Existing.EntryName == Name) {
        Connection = Existing;
        Joined = true;
        return ERROR_SUCCESS;
      }
    }
    if (AState.Connections.size() >= MaxConnections) return ERROR_PORT_NOT_AVAILABLE;
    const TSimInUse InUse(AState);
    Connection.Handle = NewHandle(AState, InUse);
    Connection.StartNs = SimNowNs();
    Connection.DialNs = Entry.DialNs;
    const auto FailNext = AState.FailNext.find(Name);
    if (FailNext != AState.FailNext.end()) {
      Connection.FailCode = FailNext->second;
      AState.FailNext.erase(FailNext);
    } else if (Entry.ErrorCode != 0) {
      Connection.FailCode = Entry.ErrorCode;
    } else if (!Accepted) {
      Connection.FailCode = ERROR_AUTHENTICATION_FAILURE;
    }
    Connection.PeerAddress = PeerAddress;
    Connection.EntryName = Name;
    GiveAddresses(AState, InUse, Connection);
    AState.Connections.push_back(Connection);
    return ERROR_SUCCESS;
  });
  if (Result != ERROR_SUCCESS) return Result;
  AHandle = RasHandleFromNumber(Connection.Handle);
  if (ANotifier) {
    TDialThreads::Instance().Launch([Store = FStore, Connection, Notifier = std::move(ANotifier),
                                     Joined](TDialThreads& AThreads) {
      Report(Store, Connection, Notifier, !Joined, AThreads);
    });
    return ERROR_SUCCESS;
  }
  return WaitForDial(Connection);
}

DWORD TSimProvider::WaitForDial(const TSimConnection& AConnection) {
  const int64_t EndNs = AConnection.StartNs + AConnection.DialNs;
  for (;;) {
    const int64_t Now = SimNowNs();
    if (Now >= EndNs) break;
    std::this_thread::sleep_for(std::chrono::nanoseconds(std::min(EndNs - Now, CheckEveryNs)));
    if (EndedEarly(FStore, AConnection)) return ReasonEnded(FStore, AConnection.Handle);
  }
  if (EndedEarly(FStore, AConnection)) return ReasonEnded(FStore, AConnection.Handle);
  return AConnection.FailCode;
}

DWORD TSimProvider::EndConnections(const std::function<bool(const TSimConnection&)>& AWhich,
                                   DWORD AReason) {
  return FStore.Update([&](TSimStateData& AState) -> DWORD {
    std::vector<TSimConnection> Kept;
    for (TSimConnection& Connection : AState.Connections) {
      if (AWhich(Connection)) {
        AState.Ended.push_back({Connection.Handle, AReason});
      } else {
        Kept.push_back(std::move(Connection));
      }
    }
    if (Kept.size() == AState.Connections.size()) return ERROR_NO_CONNECTION;
    AState.Connections = std::move(Kept);
    return ERROR_SUCCESS;
  });
}

DWORD TSimProvider::HangUp(HRASCONN AHandle) {
  // A service that refuses to hang up the entry (as one without the
  // permission to does) leaves the line up.
  TSimConnection Listed;
  int64_t Now = 0;
  TSimEntry Entry;
  const TSimHandle Handle = RasHandleNumber(AHandle);
  if (FindListed(FStore, Handle, Listed, Now) == ERROR_SUCCESS &&
      FindEntry(Listed.EntryName, Entry) == ERROR_SUCCESS && Entry.HangUpErrorCode != 0)
    return Entry.HangUpErrorCode;
  const DWORD Result = EndConnections(
      [Handle](const TSimConnection& AConnection) { return AConnection.Handle == Handle; },
      ERROR_USER_DISCONNECTION);
  return Result == ERROR_NO_CONNECTION ? ERROR_INVALID_HANDLE : Result;
}

DWORD TSimProvider::EnumConnections(std::vector<RASCONNA>& AConnections) {
  std::shared_ptr<const TSimSnapshot> State;
  const DWORD Result = FStore.Read(State);
  if (Result != ERROR_SUCCESS) return Result;
  const int64_t Now = SimNowNs();
  AConnections.clear();
  AConnections.reserve(State->State.Connections.size());
  for (const TSimConnection& Connection : State->State.Connections) {
    if (!SimIsListed(Connection, Now)) continue;
    RASCONNA Record;
    std::memset(&Record, 0, sizeof Record);
    Record.dwSize = sizeof Record;
    Record.hrasconn = RasHandleFromNumber(Connection.Handle);
    CopyText(Record.szEntryName, Connection.EntryName);
    CopyText(Record.szDeviceType, DeviceType);
    CopyText(Record.szDeviceName, DeviceName);
    AConnections.push_back(Record);
  }
  return ERROR_SUCCESS;
}

DWORD TSimProvider::GetConnectStatus(HRASCONN AHandle, RASCONNSTATUSA& AStatus) {
  TSimConnection Connection;
  int64_t Now = 0;
  const DWORD Result = FindListed(FStore, RasHandleNumber(AHandle), Connection, Now);
  if (Result != ERROR_SUCCESS) return Result;
  AStatus.rasconnstate = SimStateAt(Connection, Now);
  AStatus.dwError = 0;
  CopyText(AStatus.szDeviceType, DeviceType);
  CopyText(AStatus.szDeviceName, DeviceName);
  return ERROR_SUCCESS;
}

DWORD TSimProvider::GetPppIpProjection(HRASCONN AHandle, RASPPPIPA& AProjection) {
  TSimConnection Connection;
  int64_t Now = 0;
  const DWORD Result = FindListed(FStore, RasHandleNumber(AHandle), Connection, Now);
  if (Result != ERROR_SUCCESS) return Result;
  if (SimStateAt(Connection, Now) != RASCS_Connected) return ERROR_PROJECTION_NOT_COMPLETE;
  AProjection.dwError = 0;
  CopyText(AProjection.szIpAddress, Connection.Address);
  CopyText(AProjection.szServerIpAddress, Connection.PeerAddress);
  return ERROR_SUCCESS;
}

DWORD TSimProvider::GetIpv6Info(HRASCONN AHandle, std::string& AAddress, std::string& APrefix) {
  TSimConnection Connection;
  int64_t Now = 0;
  const DWORD Result = FindListed(FStore, RasHandleNumber(AHandle), Connection, Now);
  if (Result != ERROR_SUCCESS) return Result;
  if (SimStateAt(Connection, Now) != RASCS_Connected) return ERROR_PROJECTION_NOT_COMPLETE;
  AAddress = Connection.Address6;
  APrefix = Connection.Prefix6;
  return ERROR_SUCCESS;
}

DWORD TSimProvider::DropEntry(const std::string& AEntryName) {
  TSimEntry Entry;
  const DWORD Result = FindEntry(AEntryName, Entry);
  if (Result != ERROR_SUCCESS) return Result;
  return EndConnections(
      [&AEntryName](const TSimConnection& AConnection) {
        return AConnection.EntryName == AEntryName;
      },
      ERROR_PORT_DISCONNECTED);
}

DWORD TSimProvider::FailNextDial(const std::string& AEntryName, DWORD ACode) {
  TSimEntry Entry;
  const DWORD Result = FindEntry(AEntryName, Entry);
  if (Result != ERROR_SUCCESS) return Result;
  return FStore.Update([&](TSimStateData& AState) -> DWORD {
    AState.FailNext[AEntryName] = ACode;
    return ERROR_SUCCESS;
  });
}

DWORD TSimProvider::RepeatNextAddress(const std::string& AEntryName) {
  TSimEntry Entry;
  const DWORD Result = FindEntry(AEntryName, Entry);
  if (Result != ERROR_SUCCESS) return Result;
  return FStore.Update([&](TSimStateData& AState) -> DWORD {
    AState.RepeatNext.insert(AEntryName);
    return ERROR_SUCCESS;
  });
}

DWORD TSimProvider::SubnetNextAddress(const std::string& AEntryName) {
  TSimEntry Entry;
  const DWORD Result = FindEntry(AEntryName, Entry);
  if (Result != ERROR_SUCCESS) return Result;
  return FStore.Update([&](TSimStateData& AState) -> DWORD {
    AState.SubnetNext.insert(AEntryName);
    return ERROR_SUCCESS;
  });
}

DWORD TSimProvider::AddConnected(const std::string& AEntryName, DWORD ACount) {
  TSimEntry Entry;
  const DWORD Result = FindEntry(AEntryName, Entry);
  if (Result != ERROR_SUCCESS) return Result;
  return FStore.Update([&](TSimStateData& AState) -> DWORD {
    if (AState.Connections.size() + ACount > MaxConnections) return ERROR_PORT_NOT_AVAILABLE;
    TSimInUse InUse(AState);
    for (DWORD Index = 0; Index < ACount; ++Index) {
      TSimConnection Connection;
      Connection.Handle = NewHandle(AState, InUse);
      Connection.StartNs = SimNowNs();
      Connection.Address = NewAddress(AState, InUse, AEntryName);
      const TSimIpv6 Ipv6 = NewIpv6(nullptr, false);
      Connection.Address6 = Ipv6.Address;
      Connection.Prefix6 = Ipv6.Prefix;
      Connection.PeerAddress = PeerAddress;
      Connection.EntryName = AEntryName;
      AState.LastAddress[AEntryName] = Connection.Address;
      AState.LastIpv6[AEntryName] = Ipv6;
      InUse.Handles.insert(Connection.Handle);
      InUse.Addresses.insert(Connection.Address);
      AState.Connections.push_back(std::move(Connection));
    }
    return ERROR_SUCCESS;
  });
}

}  // namespace dravik::ras
