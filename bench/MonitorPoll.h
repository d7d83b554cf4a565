#pragma once

// One poll as the connection monitor makes it: the listing into eight
// records and the status of the first connection listed.

#include <benchmark/benchmark.h>

#include <cstring>

#include "Ras.h"

inline void MonitorPoll() {
  RASCONNA Connections[8];
  std::memset(Connections, 0, sizeof Connections);
  Connections[0].dwSize = sizeof(RASCONNA);
  DWORD Bytes = sizeof Connections;
  DWORD Count = 0;
  RASCONNSTATUSA Status;
  std::memset(&Status, 0, sizeof Status);
  Status.dwSize = sizeof Status;
  const DWORD Result = RasEnumConnectionsA(Connections, &Bytes, &Count);
  if (Result == 0 && Count > 0) RasGetConnectStatusA(Connections[0].hrasconn, &Status);
  benchmark::DoNotOptimize(Status);
}
