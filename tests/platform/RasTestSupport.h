#pragma once

// What the tests of the dial-up library share: short forms of the dial-up
// calls. The service folder is a TSimServiceDir.

#include <QCoreApplication>
#include <QTest>
#include <cstring>
#include <string>
#include <vector>

#include "Ras.h"
#include "TSimServiceDir.h"

inline QString ToolPath() { return QCoreApplication::applicationDirPath() + "/dravik-ras"; }

inline RASDIALPARAMSA DialParamsFor(const std::string& AName) {
  RASDIALPARAMSA Params;
  std::memset(&Params, 0, sizeof Params);
  Params.dwSize = sizeof Params;
  std::memcpy(Params.szEntryName, AName.data(), std::min<size_t>(AName.size(), RAS_MaxEntryName));
  return Params;
}

// The entry's dial record with its stored credentials filled in, ready to dial.
inline RASDIALPARAMSA StoredParams(const std::string& AEntry) {
  RASDIALPARAMSA Params = DialParamsFor(AEntry);
  RasGetEntryDialParamsA(nullptr, &Params, nullptr);
  return Params;
}

// The active connections as the dialler lists them (100 records); a failed
// listing gives its code in AResult.
inline std::vector<RASCONNA> ListedConnections(DWORD* AResult = nullptr) {
  std::vector<RASCONNA> Buffer(100);
  std::memset(Buffer.data(), 0, Buffer.size() * sizeof(RASCONNA));
  Buffer[0].dwSize = sizeof(RASCONNA);
  DWORD Bytes = static_cast<DWORD>(Buffer.size() * sizeof(RASCONNA));
  DWORD Count = 0;
  const DWORD Result = RasEnumConnectionsA(Buffer.data(), &Bytes, &Count);
  if (AResult != nullptr) *AResult = Result;
  Buffer.resize(Result == ERROR_SUCCESS ? Count : 0);
  return Buffer;
}

inline std::vector<std::string> ListedEntryNames() {
  std::vector<std::string> Names;
  for (const RASCONNA& Connection : ListedConnections()) Names.push_back(Connection.szEntryName);
  return Names;
}

// Hangs up everything listed, however many, so that each test starts from
// an empty list.
inline void HangUpAll() {
  DWORD Bytes = 0;
  DWORD Count = 0;
  if (RasEnumConnectionsA(nullptr, &Bytes, &Count) != ERROR_BUFFER_TOO_SMALL) return;
  std::vector<RASCONNA> Buffer(Count + 16);
  std::memset(Buffer.data(), 0, Buffer.size() * sizeof(RASCONNA));
  Buffer[0].dwSize = sizeof(RASCONNA);
  Bytes = static_cast<DWORD>(Buffer.size() * sizeof(RASCONNA));
  QCOMPARE(RasEnumConnectionsA(Buffer.data(), &Bytes, &Count), ERROR_SUCCESS);
  for (DWORD Index = 0; Index < Count; ++Index) RasHangUpA(Buffer[Index].hrasconn);
}

inline RASCONNSTATE StateOf(HRASCONN AHandle, DWORD* AResult = nullptr) {
  RASCONNSTATUSA Status;
  std::memset(&Status, 0, sizeof Status);
  Status.dwSize = sizeof Status;
  const DWORD Result = RasGetConnectStatusA(AHandle, &Status);
  if (AResult != nullptr) *AResult = Result;
  return Result == ERROR_SUCCESS ? Status.rasconnstate : -1;
}

// The connection's own and peer address; empty texts while the projection
// query fails, whose code goes to AResult.
inline std::pair<std::string, std::string> AddressesOf(HRASCONN AHandle, DWORD* AResult = nullptr) {
  RASPPPIPA Projection;
  std::memset(&Projection, 0, sizeof Projection);
  Projection.dwSize = sizeof Projection;
  DWORD Size = sizeof Projection;
  const DWORD Result = RasGetProjectionInfoA(AHandle, RASP_PppIp, &Projection, &Size);
  if (AResult != nullptr) *AResult = Result;
  if (Result != ERROR_SUCCESS) return {};
  return {Projection.szIpAddress, Projection.szServerIpAddress};
}
