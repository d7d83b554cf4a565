// The simulated service's state file: any text parses, and the state read
// survives a round trip: formatted and parsed again it is the same state,
// formatted the same way. Every dial read has a progress at any moment.
//
// Input: the state file's content. A line "boot ." stands for the boot the
// harness runs in, so that connections (kept only for the current boot) are
// reached.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "SimClock.h"
#include "SimState.h"

using namespace dravik::ras;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  std::string Text(reinterpret_cast<const char*>(AData), ASize);
  const std::string Placeholder = "\nboot .\n";
  for (size_t At = Text.find(Placeholder); At != std::string::npos;
       At = Text.find(Placeholder, At + 1)) {
    Text.replace(At + 1, Placeholder.size() - 2, "boot " + SimBootId());
  }
  TSimStateData First;
  TSimStore::Parse(Text, First);
  const std::string Formatted = TSimStore::Format(First);
  TSimStateData Second;
  TSimStore::Parse(Formatted, Second);
  if (TSimStore::Format(Second) != Formatted) std::abort();
  if (Second.Connections.size() != First.Connections.size() ||
      Second.Ended.size() != First.Ended.size() || Second.NextHandle != First.NextHandle ||
      Second.LastAddress != First.LastAddress || Second.FailNext != First.FailNext ||
      Second.RepeatNext != First.RepeatNext || Second.LastIpv6 != First.LastIpv6 ||
      Second.SubnetNext != First.SubnetNext)
    std::abort();
  for (size_t Index = 0; Index < First.Connections.size(); ++Index) {
    if (Second.Connections[Index].Address6 != First.Connections[Index].Address6 ||
        Second.Connections[Index].Prefix6 != First.Connections[Index].Prefix6)
      std::abort();
  }
  const int64_t Now = SimNowNs();
  for (const TSimConnection& Connection : Second.Connections) {
    for (const int64_t At : {int64_t(0), Now, Connection.StartNs}) {
      const RASCONNSTATE State = SimStateAt(Connection, At);
      if (State < RASCS_OpenPort || State > RASCS_Connected) std::abort();
      SimIsListed(Connection, At);
    }
  }
  return 0;
}
