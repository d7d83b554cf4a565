#pragma once

// One dial of the rotation as the history keeps it.

#include <cstdint>
#include <string>

struct TDialRecord {
  int64_t TimeMs = 0;  // when the dial ended, milliseconds since the epoch (UTC)
  std::string Entry;
  std::string LineAddress;    // the connection's own address, empty when none
  std::string PeerAddress;    // the far end of the link
  std::string PublicAddress;  // from the address check, empty when not checked
  int64_t DialMs = 0;         // from the dial to its outcome
  // "connected" (a new address), "repeated" (an address seen recently),
  // "failed" (ErrorCode says why), "check-failed" (Detail says why),
  // "dropped" (the line went while its address was being checked).
  std::string Outcome;
  int ErrorCode = 0;
  std::string Detail;
  // The line was the simulated dial-up service's, not a real one.
  bool Simulated = false;
  // Why a "repeated" turn was redialled: "repeated-address",
  // "repeated-subnet" or "repeated-subnet6"; empty for other rows.
  std::string Reason;
  // The line's global IPv6 address and its IPv6 prefix (ADDRESS/LENGTH),
  // when the provider knows them.
  std::string Address6;
  std::string Prefix6;
};
