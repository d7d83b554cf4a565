#pragma once

// The simulated service's runtime state, shared by every process of the
// user: one small file, "state", in the runtime folder. Readers read it
// without a lock, since writers replace it whole (write a new file, rename
// it over the old one); writers take turns through an exclusive lock on
// "state.lock". How far a dial has got follows from its start time, so the
// state never needs a process that stays behind to advance it, and a process
// killed at any point leaves a state that the others read correctly.
//
// Every write stamps the file with a fresh random number on its second line.
// A process keeps the state it last read with its stamp, and reads no more
// than the file's first line and stamp while those are unchanged: a status
// call then costs the same with one connection listed or thousands. A file
// without a stamp (as older versions wrote it) is read whole every time.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "Ras.h"

namespace dravik::ras {

// A connection handle as the state keeps it: a number, whatever form the
// platform's handles take (RasHandleFromNumber makes one of it).
using TSimHandle = uint32_t;

struct TSimConnection {
  TSimHandle Handle = 0;
  int64_t StartNs = 0;  // on the service's clock (SimNowNs)
  int64_t DialNs = 0;   // how long the dial takes
  DWORD FailCode = 0;   // not 0: the dial fails with it when its time is up
  std::string Address;
  std::string PeerAddress;
  std::string EntryName;
  // The line's global IPv6 address and the prefix delegated to it; empty
  // in a state written by a version without them.
  std::string Address6;
  std::string Prefix6;
};

// An entry's latest IPv6 facts.
struct TSimIpv6 {
  std::string Address;
  std::string Prefix;
  bool operator==(const TSimIpv6& AOther) const {
    return Address == AOther.Address && Prefix == AOther.Prefix;
  }
  bool operator!=(const TSimIpv6& AOther) const { return !(*this == AOther); }
};

// A connection that ended before its dial had finished, and why: a dialler
// waiting for it reports the reason.
struct TSimEnded {
  TSimHandle Handle = 0;
  DWORD Reason = 0;
};

struct TSimStateData {
  uint64_t Stamp = 0;  // 0: none, the file is read whole every time
  TSimHandle NextHandle = 1;
  std::vector<TSimConnection> Connections;         // listing order
  std::map<std::string, std::string> LastAddress;  // entry -> its latest address
  std::map<std::string, DWORD> FailNext;           // entry -> code of its next dial
  std::set<std::string> RepeatNext;                // entries whose next dial repeats the address
  std::map<std::string, TSimIpv6> LastIpv6;        // entry -> its latest IPv6 facts
  std::set<std::string> SubnetNext;                // entries whose next dial stays in the subnet
  std::deque<TSimEnded> Ended;                     // the latest few, oldest first

  const TSimConnection* Find(TSimHandle AHandle) const;
};

// The progress of a dial at a moment.
RASCONNSTATE SimStateAt(const TSimConnection& AConnection, int64_t ANowNs);
// Listed from the start of its dial until it has failed (or is ended).
bool SimIsListed(const TSimConnection& AConnection, int64_t ANowNs);

// The steps a dial walks through: the moment (after its start) and the state
// entered. A failing dial stops at authentication and fails at its end.
struct TSimStep {
  int64_t AtNs;
  RASCONNSTATE State;
};
std::vector<TSimStep> SimDialSteps(const TSimConnection& AConnection);

// A state as read, with its connections found by handle; shared by the
// callers while the file is unchanged, so never changed itself.
struct TSimSnapshot {
  TSimStateData State;
  std::unordered_map<TSimHandle, size_t> Positions;  // handle -> index in Connections

  explicit TSimSnapshot(TSimStateData AState);
  const TSimConnection* Find(TSimHandle AHandle) const;
};

class TSimStore {
 public:
  explicit TSimStore(std::string ARuntimeDir);

  // The state as last written; an absent file is an empty state.
  DWORD Read(TSimStateData& AState) const;
  // The same without a copy: the state last read while the file still holds
  // it, else the file read afresh.
  DWORD Read(std::shared_ptr<const TSimSnapshot>& ASnapshot) const;

  // Runs AChange on the current state under the lock and writes the result
  // when AChange returns 0; returns AChange's result or a failure to write.
  DWORD Update(const std::function<DWORD(TSimStateData&)>& AChange);

  // The text form of a state, and back. Lines that do not parse are skipped.
  static std::string Format(const TSimStateData& AState);
  static void Parse(const std::string& AText, TSimStateData& AState);

 private:
  struct TCache;

  // What the file's first bytes say when they hold AStamp.
  static std::string StampedPrefix(uint64_t AStamp);

  std::string FDir;
  // Shared by the copies of the store (the dial threads hold some).
  std::shared_ptr<TCache> FCache;
};

}  // namespace dravik::ras
