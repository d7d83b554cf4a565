#include "SimState.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "AddressPrefix.h"
#include "InetAddress.h"
#include "ReadBoundedFile.h"
#include "ReplaceFile.h"
#include "SimClock.h"
#include "SimRemark.h"
#include "SimStateFiles.h"

namespace dravik::ras {

namespace {

constexpr const char* Header = "dravik-ras-state 1";
constexpr size_t MaxStateBytes = 4 * 1024 * 1024;
constexpr size_t MaxConnections = 4096;
constexpr size_t MaxEnded = 64;
constexpr size_t StampDigits = 16;

// The dial's steps as parts of its dial time, in thousandths.
struct TStepShare {
  int Share;
  RASCONNSTATE State;
};
constexpr TStepShare Steps[] = {
    {0, RASCS_OpenPort},          {100, RASCS_PortOpened},          {200, RASCS_ConnectDevice},
    {400, RASCS_DeviceConnected}, {500, RASCS_AllDevicesConnected}, {600, RASCS_Authenticate},
    {900, RASCS_Authenticated},   {1000, RASCS_Connected},
};

bool ParseNumber(std::string_view AText, long long AMin, long long AMax, long long& AValue) {
  if (AText.empty() || AText.size() > 20) return false;
  long long Value = 0;
  const auto [End, Error] = std::from_chars(AText.data(), AText.data() + AText.size(), Value);
  if (Error != std::errc() || End != AText.data() + AText.size()) return false;
  if (Value < AMin || Value > AMax) return false;
  AValue = Value;
  return true;
}

bool IsAddress(std::string_view AText) {
  if (AText.empty() || AText.size() > RAS_MaxIpAddress) return false;
  char Text[RAS_MaxIpAddress + 1] = {};
  AText.copy(Text, AText.size());
  in_addr Address;
  return inet_pton(AF_INET, Text, &Address) == 1;
}

// The IPv6 facts as the state holds them: an address and a prefix, or "-"
// for each when none is known.
bool IsIpv6Field(std::string_view AText, bool APrefix) {
  if (AText == "-") return true;
  const std::string Text(AText.substr(0, INET6_ADDRSTRLEN + 4));
  return Text.size() == AText.size() && (APrefix ? IsIpv6Prefix(Text) : IsIpv6Address(Text));
}
std::string Ipv6Field(std::string_view AText) {
  return AText == "-" ? std::string() : std::string(AText);
}
const std::string& Ipv6Text(const std::string& AText) {
  static const std::string None = "-";
  return AText.empty() ? None : AText;
}

bool IsEntryName(std::string_view AText) {
  if (AText.empty() || AText.size() > RAS_MaxEntryName) return false;
  return AText.find_first_of(std::string_view("\n\r\0", 3)) == std::string_view::npos;
}

// Splits off ACount words separated by single spaces; the rest of the line
// (an entry name, which may hold spaces) is left in ARest.
bool SplitWords(std::string_view ALine, size_t ACount, std::string_view* AWords,
                std::string_view& ARest) {
  for (size_t Index = 0; Index < ACount; ++Index) {
    const size_t Space = ALine.find(' ');
    if (Space == std::string_view::npos) {
      if (Index + 1 != ACount) return false;
      AWords[Index] = ALine;
      ARest = {};
      return true;
    }
    AWords[Index] = ALine.substr(0, Space);
    ALine.remove_prefix(Space + 1);
  }
  ARest = ALine;
  return true;
}

bool ParseStamp(std::string_view AText, uint64_t& AStamp) {
  if (AText.size() != StampDigits) return false;
  uint64_t Value = 0;
  const auto [End, Error] = std::from_chars(AText.data(), AText.data() + AText.size(), Value, 16);
  if (Error != std::errc() || End != AText.data() + AText.size() || Value == 0) return false;
  AStamp = Value;
  return true;
}

uint64_t NewStamp() {
  thread_local std::mt19937_64 Random(std::random_device{}());
  uint64_t Stamp = 0;
  while (Stamp == 0) Stamp = Random();
  return Stamp;
}

template <typename TNumber>
void AppendNumber(std::string& AOut, TNumber AValue) {
  char Text[24];
  const auto [End, Error] = std::to_chars(Text, Text + sizeof Text, AValue);
  (void)Error;
  AOut.append(Text, End);
}

}  // namespace

struct TSimStore::TCache {
  std::mutex Lock;
  std::string Prefix;  // the stamped start of the file Snapshot was read from; empty: none
  std::shared_ptr<const TSimSnapshot> Snapshot;
};

TSimSnapshot::TSimSnapshot(TSimStateData AState) : State(std::move(AState)) {
  Positions.reserve(State.Connections.size());
  for (size_t Index = 0; Index < State.Connections.size(); ++Index) {
    Positions.emplace(State.Connections[Index].Handle, Index);
  }
}

const TSimConnection* TSimSnapshot::Find(TSimHandle AHandle) const {
  const auto Found = Positions.find(AHandle);
  return Found == Positions.end() ? nullptr : &State.Connections[Found->second];
}

const TSimConnection* TSimStateData::Find(TSimHandle AHandle) const {
  for (const TSimConnection& Connection : Connections) {
    if (Connection.Handle == AHandle) return &Connection;
  }
  return nullptr;
}

std::vector<TSimStep> SimDialSteps(const TSimConnection& AConnection) {
  std::vector<TSimStep> Result;
  for (const TStepShare& Step : Steps) {
    const bool Last = Step.State == RASCS_Connected;
    if (AConnection.FailCode != 0 && Last) break;
    if (AConnection.FailCode != 0 && Step.State == RASCS_Authenticated) continue;
    Result.push_back({AConnection.DialNs / 1000 * Step.Share, Step.State});
  }
  return Result;
}

RASCONNSTATE SimStateAt(const TSimConnection& AConnection, int64_t ANowNs) {
  const int64_t Elapsed = ANowNs - AConnection.StartNs;
  if (Elapsed >= AConnection.DialNs && AConnection.FailCode == 0) return RASCS_Connected;
  RASCONNSTATE State = RASCS_OpenPort;
  for (const TSimStep& Step : SimDialSteps(AConnection)) {
    if (Step.AtNs <= Elapsed) State = Step.State;
  }
  return State;
}

bool SimIsListed(const TSimConnection& AConnection, int64_t ANowNs) {
  return AConnection.FailCode == 0 || ANowNs - AConnection.StartNs < AConnection.DialNs;
}

std::string TSimStore::StampedPrefix(uint64_t AStamp) {
  char Digits[StampDigits + 1] = {};
  std::snprintf(Digits, sizeof Digits, "%016llx", static_cast<unsigned long long>(AStamp));
  return std::string(Header) + "\nstamp " + Digits + '\n';
}

std::string TSimStore::Format(const TSimStateData& AState) {
  std::string Out = AState.Stamp != 0 ? StampedPrefix(AState.Stamp) : std::string(Header) + '\n';
  Out.reserve(Out.size() + 64 + AState.Connections.size() * 80);
  Out += "boot ";
  Out += SimBootId();
  Out += "\nnext ";
  AppendNumber(Out, AState.NextHandle);
  Out += '\n';
  for (const TSimConnection& C : AState.Connections) {
    Out += "conn ";
    AppendNumber(Out, C.Handle);
    Out += ' ';
    AppendNumber(Out, C.StartNs);
    Out += ' ';
    AppendNumber(Out, C.DialNs);
    Out += ' ';
    AppendNumber(Out, C.FailCode);
    Out += ' ';
    Out += C.Address;
    Out += ' ';
    Out += C.PeerAddress;
    Out += ' ';
    Out += C.EntryName;
    Out += '\n';
    // Beside the connection's own line, which older versions read as it
    // was; they skip this one.
    if (!C.Address6.empty() || !C.Prefix6.empty()) {
      Out += "conn6 ";
      AppendNumber(Out, C.Handle);
      Out += ' ' + Ipv6Text(C.Address6) + ' ' + Ipv6Text(C.Prefix6) + '\n';
    }
  }
  for (const auto& [Entry, Address] : AState.LastAddress) {
    Out += "last " + Address + ' ' + Entry + '\n';
  }
  for (const auto& [Entry, Code] : AState.FailNext) {
    Out += "fail ";
    AppendNumber(Out, Code);
    Out += ' ' + Entry + '\n';
  }
  for (const std::string& Entry : AState.RepeatNext) Out += "repeat " + Entry + '\n';
  for (const auto& [Entry, Facts] : AState.LastIpv6)
    Out += "last6 " + Ipv6Text(Facts.Address) + ' ' + Ipv6Text(Facts.Prefix) + ' ' + Entry + '\n';
  for (const std::string& Entry : AState.SubnetNext) Out += "subnet " + Entry + '\n';
  for (const TSimEnded& Ended : AState.Ended) {
    Out += "ended ";
    AppendNumber(Out, Ended.Handle);
    Out += ' ';
    AppendNumber(Out, Ended.Reason);
    Out += '\n';
  }
  return Out;
}

void TSimStore::Parse(const std::string& AText, TSimStateData& AState) {
  AState = TSimStateData();
  std::string_view Text(AText);
  auto NextLine = [&Text](std::string_view& ALine) {
    if (Text.empty()) return false;
    const size_t End = Text.find('\n');
    ALine = Text.substr(0, End);
    Text.remove_prefix(End == std::string_view::npos ? Text.size() : End + 1);
    return true;
  };
  std::string_view Line;
  if (!NextLine(Line) || Line != Header) return;
  bool SameBoot = false;
  // Only the line right after the header is the stamp a reader looks at.
  bool Second = true;
  std::unordered_set<TSimHandle> Handles;
  std::string_view Words[6];
  std::string_view Rest;
  long long A = 0, B = 0, C = 0, D = 0;
  while (NextLine(Line)) {
    if (!SplitWords(Line, 1, Words, Rest)) continue;
    const std::string_view Kind = Words[0];
    const bool StampPlace = std::exchange(Second, false);
    if (Kind == "stamp") {
      if (StampPlace) ParseStamp(Rest, AState.Stamp);
    } else if (Kind == "boot") {
      SameBoot = Rest == SimBootId();
    } else if (Kind == "next" && ParseNumber(Rest, 1, 0xFFFFFFFF, A)) {
      AState.NextHandle = static_cast<TSimHandle>(A);
    } else if (Kind == "conn" && SameBoot && SplitWords(Rest, 6, Words, Rest) &&
               ParseNumber(Words[0], 1, 0xFFFFFFFF, A) && ParseNumber(Words[1], 0, INT64_MAX, B) &&
               ParseNumber(Words[2], 0, INT64_MAX / 2, C) &&
               ParseNumber(Words[3], 0, 0xFFFFFFFF, D) && IsAddress(Words[4]) &&
               IsAddress(Words[5]) && IsEntryName(Rest) &&
               AState.Connections.size() < MaxConnections &&
               Handles.insert(static_cast<TSimHandle>(A)).second) {
      TSimConnection Connection;
      Connection.Handle = static_cast<TSimHandle>(A);
      Connection.StartNs = B;
      Connection.DialNs = C;
      Connection.FailCode = static_cast<DWORD>(D);
      Connection.Address = Words[4];
      Connection.PeerAddress = Words[5];
      Connection.EntryName = Rest;
      AState.Connections.push_back(std::move(Connection));
    } else if (Kind == "last" && SplitWords(Rest, 1, Words, Rest) && IsAddress(Words[0]) &&
               IsEntryName(Rest)) {
      AState.LastAddress[std::string(Rest)] = Words[0];
    } else if (Kind == "fail" && SplitWords(Rest, 1, Words, Rest) &&
               ParseNumber(Words[0], 1, 0xFFFFFFFF, A) && IsEntryName(Rest)) {
      AState.FailNext[std::string(Rest)] = static_cast<DWORD>(A);
    } else if (Kind == "repeat" && IsEntryName(Rest)) {
      AState.RepeatNext.insert(std::string(Rest));
    } else if (Kind == "conn6" && SplitWords(Rest, 3, Words, Rest) && Rest.empty() &&
               ParseNumber(Words[0], 1, 0xFFFFFFFF, A) && IsIpv6Field(Words[1], false) &&
               IsIpv6Field(Words[2], true) && !AState.Connections.empty() &&
               AState.Connections.back().Handle == static_cast<TSimHandle>(A)) {
      // Only right after its connection's line.
      AState.Connections.back().Address6 = Ipv6Field(Words[1]);
      AState.Connections.back().Prefix6 = Ipv6Field(Words[2]);
    } else if (Kind == "last6" && SplitWords(Rest, 2, Words, Rest) &&
               IsIpv6Field(Words[0], false) && IsIpv6Field(Words[1], true) && IsEntryName(Rest)) {
      AState.LastIpv6[std::string(Rest)] = {Ipv6Field(Words[0]), Ipv6Field(Words[1])};
    } else if (Kind == "subnet" && IsEntryName(Rest)) {
      AState.SubnetNext.insert(std::string(Rest));
    } else if (Kind == "ended" && SplitWords(Rest, 2, Words, Rest) && Rest.empty() &&
               ParseNumber(Words[0], 1, 0xFFFFFFFF, A) && ParseNumber(Words[1], 0, 0xFFFFFFFF, B) &&
               AState.Ended.size() < MaxEnded) {
      AState.Ended.push_back({static_cast<TSimHandle>(A), static_cast<DWORD>(B)});
    }
  }
}

TSimStore::TSimStore(std::string ARuntimeDir)
    : FDir(std::move(ARuntimeDir)), FCache(std::make_shared<TCache>()) {}

DWORD TSimStore::Read(std::shared_ptr<const TSimSnapshot>& ASnapshot) const {
  const std::string Path = FDir + "/state";
  std::string KeptPrefix;
  std::shared_ptr<const TSimSnapshot> Kept;
  {
    std::lock_guard<std::mutex> Guard(FCache->Lock);
    KeptPrefix = FCache->Prefix;
    Kept = FCache->Snapshot;
  }
  // Writers replace the file whole and stamp each one afresh: the same
  // stamp is the same file.
  if (!KeptPrefix.empty() && FileStartsWith(Path, KeptPrefix, MaxStateBytes)) {
    ASnapshot = std::move(Kept);
    return ERROR_SUCCESS;
  }
  TSimStateData State;
  std::string Text;
  switch (ReadBoundedFile(Path, MaxStateBytes, Text, false)) {
    case TFileRead::Read:
      Parse(Text, State);
      break;
    case TFileRead::Missing:
    case TFileRead::Refused:
      break;
    case TFileRead::CannotOpen:
      SimRemark() = "the simulated service's state " + Path + " cannot be read";
      return ERROR_RASMAN_CANNOT_INITIALIZE;
  }
  auto Snapshot = std::make_shared<const TSimSnapshot>(std::move(State));
  {
    std::lock_guard<std::mutex> Guard(FCache->Lock);
    const uint64_t Stamp = Snapshot->State.Stamp;
    FCache->Prefix = Stamp != 0 ? StampedPrefix(Stamp) : std::string();
    FCache->Snapshot = Stamp != 0 ? Snapshot : nullptr;
  }
  ASnapshot = std::move(Snapshot);
  return ERROR_SUCCESS;
}

DWORD TSimStore::Read(TSimStateData& AState) const {
  std::shared_ptr<const TSimSnapshot> Snapshot;
  const DWORD Result = Read(Snapshot);
  AState = Result == ERROR_SUCCESS ? Snapshot->State : TSimStateData();
  return Result;
}

DWORD TSimStore::Update(const std::function<DWORD(TSimStateData&)>& AChange) {
  const TSimStateLock Lock(FDir + "/state.lock");
  if (!Lock.Problem().empty()) {
    SimRemark() = Lock.Problem();
    return ERROR_RASMAN_CANNOT_INITIALIZE;
  }
  TSimStateData State;
  DWORD Result = Read(State);
  if (Result == ERROR_SUCCESS) {
    // Failed dials whose time is up are gone from the list for good.
    const int64_t Now = SimNowNs();
    std::vector<TSimConnection> Listed;
    for (TSimConnection& Connection : State.Connections) {
      if (SimIsListed(Connection, Now)) Listed.push_back(std::move(Connection));
    }
    State.Connections = std::move(Listed);
    Result = AChange(State);
  }
  if (Result == ERROR_SUCCESS) {
    while (State.Ended.size() > MaxEnded) State.Ended.pop_front();
    State.Stamp = NewStamp();
    // The state lives in a runtime folder in memory and changes at every
    // dial: it need not wait for a disk. The temporary file of a writer
    // killed half-way would stay there until the machine restarts; under the
    // lock no other write is under way, so any such file is a leftover.
    TReplaceOptions How;
    How.NewFileMode = 0600;
    How.KeepOldMode = false;
    How.Durable = false;
    How.RemoveLeftovers = true;
    if (!ReplaceFile(FDir + "/state", Format(State), How)) Result = ERROR_RASMAN_CANNOT_INITIALIZE;
  }
  return Result;
}

}  // namespace dravik::ras
