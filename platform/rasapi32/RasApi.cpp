// The exported dial-up calls. They check what the caller passes the way the
// platform does (record sizes, buffer sizes, arguments) and leave the rest to
// the provider in use.

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "AddressPrefix.h"
#include "ChangeNotification.h"
#include "ProviderChoice.h"
#include "Ras.h"
#include "RasControl.h"
#include "RasProvider.h"

using dravik::ras::CurrentProvider;

namespace {

// Only the default phonebook exists on this platform; it is named by passing
// none (or an empty name).
bool IsDefaultPhonebook(LPCSTR APhonebook) { return APhonebook == nullptr || *APhonebook == 0; }

// An entry name taken from a caller: NUL-terminated within as many bytes as
// a record's entry name field holds, whether it comes in a record or alone.
bool ReadEntryName(LPCSTR AText, std::string& AName) {
  if (AText == nullptr) return false;
  const void* End = std::memchr(AText, 0, RAS_MaxEntryName + 1);
  if (End == nullptr) return false;
  AName.assign(AText, static_cast<const char*>(End));
  return true;
}

// Copies whole records into a caller's buffer of *ACb bytes, the first record
// of which announces its size. Too small a buffer gives 603 and the byte and
// record counts needed.
template <typename TRecord>
DWORD FillRecords(const std::vector<TRecord>& ARecords, TRecord* ABuffer, LPDWORD ACb,
                  LPDWORD ACount) {
  const DWORD Needed = static_cast<DWORD>(ARecords.size() * sizeof(TRecord));
  const DWORD Given = *ACb;
  *ACb = Needed;
  *ACount = static_cast<DWORD>(ARecords.size());
  if (Given < Needed || (ABuffer == nullptr && Needed > 0)) return ERROR_BUFFER_TOO_SMALL;
  if (!ARecords.empty()) std::memcpy(ABuffer, ARecords.data(), Needed);
  return ERROR_SUCCESS;
}

// The size check of a caller's record array: a buffer that can hold the
// first record's size member must announce the record size we serve.
template <typename TRecord>
DWORD CheckRecordArray(const TRecord* ABuffer, LPDWORD ACb, LPDWORD ACount) {
  if (ACb == nullptr || ACount == nullptr) return ERROR_INVALID_PARAMETER;
  if (ABuffer == nullptr) return *ACb == 0 ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
  if (*ACb >= sizeof(DWORD) && ABuffer->dwSize != sizeof(TRecord)) return ERROR_INVALID_SIZE;
  return ERROR_SUCCESS;
}

template <typename TRecord>
TRecord EmptyRecord() {
  TRecord Record;
  std::memset(&Record, 0, sizeof Record);
  Record.dwSize = sizeof Record;
  return Record;
}

}  // namespace

extern "C" {

DWORD WINAPI RasGetEntryDialParamsA(LPCSTR lpszPhonebook, LPRASDIALPARAMSA lprasdialparams,
                                    LPBOOL lpfPassword) {
  if (lprasdialparams == nullptr) return ERROR_INVALID_PARAMETER;
  if (lprasdialparams->dwSize != sizeof(RASDIALPARAMSA)) return ERROR_INVALID_SIZE;
  if (!IsDefaultPhonebook(lpszPhonebook)) return ERROR_CANNOT_OPEN_PHONEBOOK;
  std::string Name;
  if (!ReadEntryName(lprasdialparams->szEntryName, Name)) return ERROR_INVALID_PARAMETER;
  RASDIALPARAMSA Params = *lprasdialparams;
  std::memset(Params.szUserName, 0, sizeof Params.szUserName);
  std::memset(Params.szPassword, 0, sizeof Params.szPassword);
  const DWORD Result = CurrentProvider()->GetEntryDialParams(Params);
  if (Result != ERROR_SUCCESS) return Result;
  // Whatever a provider wrote, the texts handed back end inside their fields.
  Params.szUserName[UNLEN] = 0;
  Params.szPassword[PWLEN] = 0;
  std::memcpy(lprasdialparams->szUserName, Params.szUserName, sizeof Params.szUserName);
  std::memcpy(lprasdialparams->szPassword, Params.szPassword, sizeof Params.szPassword);
  if (lpfPassword != nullptr) *lpfPassword = Params.szPassword[0] != 0 ? 1 : 0;
  return ERROR_SUCCESS;
}

DWORD WINAPI RasDialA(LPRASDIALEXTENSIONS lpRasDialExtensions, LPCSTR lpszPhonebook,
                      LPRASDIALPARAMSA lpRasDialParams, DWORD dwNotifierType, LPVOID lpvNotifier,
                      LPHRASCONN lphRasConn) {
  (void)lpRasDialExtensions;  // dial options have no meaning for our providers
  if (lpRasDialParams == nullptr || lphRasConn == nullptr) return ERROR_INVALID_PARAMETER;
  if (lpRasDialParams->dwSize != sizeof(RASDIALPARAMSA)) return ERROR_INVALID_SIZE;
  if (!IsDefaultPhonebook(lpszPhonebook)) return ERROR_CANNOT_OPEN_PHONEBOOK;
  std::string Name;
  if (!ReadEntryName(lpRasDialParams->szEntryName, Name)) return ERROR_INVALID_PARAMETER;
  // Only the notifier that receives message, state and error code is served.
  if (lpvNotifier != nullptr && dwNotifierType != 0) return ERROR_INVALID_PARAMETER;

  RASDIALPARAMSA Params = *lpRasDialParams;
  Params.szUserName[UNLEN] = 0;
  Params.szPassword[PWLEN] = 0;
  dravik::ras::TDialNotifier Notifier;
  if (lpvNotifier != nullptr) {
    const auto Function = reinterpret_cast<RASDIALFUNC>(lpvNotifier);
    Notifier = [Function](UINT AMsg, RASCONNSTATE AState, DWORD AError) {
      Function(AMsg, AState, AError);
    };
  }
  // The handle the caller passes in is of no account: a dial always makes
  // or joins a connection and hands back its handle.
  HRASCONN Handle = 0;
  const DWORD Result = CurrentProvider()->Dial(Params, std::move(Notifier), Handle);
  *lphRasConn = Handle;
  return Result;
}

DWORD WINAPI RasHangUpA(HRASCONN hrasconn) { return CurrentProvider()->HangUp(hrasconn); }

DWORD WINAPI RasEnumConnectionsA(LPRASCONNA lprasconn, LPDWORD lpcb, LPDWORD lpcConnections) {
  const DWORD Check = CheckRecordArray(lprasconn, lpcb, lpcConnections);
  if (Check != ERROR_SUCCESS) return Check;
  std::vector<RASCONNA> Connections;
  const DWORD Result = CurrentProvider()->EnumConnections(Connections);
  if (Result != ERROR_SUCCESS) return Result;
  for (RASCONNA& Connection : Connections) {
    Connection.dwSize = sizeof(RASCONNA);
    Connection.szEntryName[RAS_MaxEntryName] = 0;
    Connection.szDeviceType[RAS_MaxDeviceType] = 0;
    Connection.szDeviceName[RAS_MaxDeviceName] = 0;
  }
  return FillRecords(Connections, lprasconn, lpcb, lpcConnections);
}

DWORD WINAPI RasEnumEntriesA(LPCSTR reserved, LPCSTR lpszPhonebook, LPRASENTRYNAMEA lprasentryname,
                             LPDWORD lpcb, LPDWORD lpcEntries) {
  if (reserved != nullptr) return ERROR_INVALID_PARAMETER;
  const DWORD Check = CheckRecordArray(lprasentryname, lpcb, lpcEntries);
  if (Check != ERROR_SUCCESS) return Check;
  if (!IsDefaultPhonebook(lpszPhonebook)) return ERROR_CANNOT_OPEN_PHONEBOOK;
  std::vector<std::string> Names;
  const DWORD Result = CurrentProvider()->EnumEntries(Names);
  if (Result != ERROR_SUCCESS) return Result;
  std::vector<RASENTRYNAMEA> Entries;
  Entries.reserve(Names.size());
  for (const std::string& Name : Names) {
    if (Name.empty() || Name.size() > RAS_MaxEntryName) continue;
    RASENTRYNAMEA Entry = EmptyRecord<RASENTRYNAMEA>();
    std::memcpy(Entry.szEntryName, Name.data(), Name.size());
    Entries.push_back(Entry);
  }
  return FillRecords(Entries, lprasentryname, lpcb, lpcEntries);
}

DWORD WINAPI RasGetConnectStatusA(HRASCONN hrasconn, LPRASCONNSTATUSA lprasconnstatus) {
  if (lprasconnstatus == nullptr) return ERROR_INVALID_PARAMETER;
  if (lprasconnstatus->dwSize != sizeof(RASCONNSTATUSA)) return ERROR_INVALID_SIZE;
  RASCONNSTATUSA Status = EmptyRecord<RASCONNSTATUSA>();
  const DWORD Result = CurrentProvider()->GetConnectStatus(hrasconn, Status);
  if (Result != ERROR_SUCCESS) return Result;
  Status.dwSize = sizeof Status;
  Status.szDeviceType[RAS_MaxDeviceType] = 0;
  Status.szDeviceName[RAS_MaxDeviceName] = 0;
  *lprasconnstatus = Status;
  return ERROR_SUCCESS;
}

DWORD WINAPI RasGetProjectionInfoA(HRASCONN hrasconn, RASPROJECTION rasprojection,
                                   LPVOID lpprojection, LPDWORD lpcb) {
  if (lpprojection == nullptr || lpcb == nullptr) return ERROR_INVALID_PARAMETER;
  if (rasprojection != RASP_PppIp) return ERROR_PROTOCOL_NOT_CONFIGURED;
  if (*lpcb < sizeof(RASPPPIPA)) {
    *lpcb = sizeof(RASPPPIPA);
    return ERROR_BUFFER_TOO_SMALL;
  }
  auto* Projection = static_cast<LPRASPPPIPA>(lpprojection);
  if (Projection->dwSize != sizeof(RASPPPIPA)) return ERROR_INVALID_SIZE;
  RASPPPIPA Answer = EmptyRecord<RASPPPIPA>();
  const DWORD Result = CurrentProvider()->GetPppIpProjection(hrasconn, Answer);
  if (Result != ERROR_SUCCESS) return Result;
  Answer.dwSize = sizeof Answer;
  Answer.szIpAddress[RAS_MaxIpAddress] = 0;
  Answer.szServerIpAddress[RAS_MaxIpAddress] = 0;
  *Projection = Answer;
  *lpcb = sizeof Answer;
  return ERROR_SUCCESS;
}

DWORD WINAPI RasConnectionNotificationA(HRASCONN hrasconn, HANDLE hEvent, DWORD dwFlags) {
  if (hEvent == nullptr) return ERROR_INVALID_HANDLE;
  if (dwFlags == 0 || (dwFlags & ~(RASCN_Connection | RASCN_Disconnection)) != 0)
    return ERROR_INVALID_PARAMETER;
  // Changes made elsewhere (other processes, the service itself) are
  // followed from the first notification asked for.
  const DWORD Result = CurrentProvider()->WatchChanges();
  if (Result != ERROR_SUCCESS) return Result;
  return dravik::ras::AddChangeNotification(hrasconn, hEvent, dwFlags);
}

DWORD WINAPI DravikRasProviderInfo(LPSTR AText, DWORD ASize) {
  const auto Provider = CurrentProvider();
  const std::string Problem = Provider->Problem();
  const std::string& Text = Problem.empty() ? Provider->Name() : Problem;
  if (AText != nullptr && ASize > 0) {
    const size_t Length = std::min<size_t>(Text.size(), ASize - 1);
    std::memcpy(AText, Text.data(), Length);
    AText[Length] = 0;
  }
  return Problem.empty() ? ERROR_SUCCESS : ERROR_RASMAN_CANNOT_INITIALIZE;
}

DWORD WINAPI DravikRasProviderChoice(LPDWORD AHow, LPSTR AText, DWORD ASize) {
  if (AHow == nullptr || AText == nullptr || ASize == 0) return ERROR_INVALID_PARAMETER;
  const dravik::ras::TProviderChoice Choice = dravik::ras::CurrentProviderChoice();
  *AHow = static_cast<DWORD>(Choice.How);
  const size_t Length = std::min<size_t>(Choice.Text.size(), ASize - 1);
  std::memcpy(AText, Choice.Text.data(), Length);
  AText[Length] = 0;
  return ERROR_SUCCESS;
}

DWORD WINAPI DravikRasLastRemark(LPSTR AText, DWORD ASize) {
  if (AText == nullptr || ASize == 0) return ERROR_INVALID_PARAMETER;
  const std::string Text = CurrentProvider()->Remark();
  const size_t Length = std::min<size_t>(Text.size(), ASize - 1);
  std::memcpy(AText, Text.data(), Length);
  AText[Length] = 0;
  return ERROR_SUCCESS;
}

DWORD WINAPI DravikRasEntryWarning(LPCSTR AEntryName, LPSTR AText, DWORD ASize) {
  std::string Name;
  if (!ReadEntryName(AEntryName, Name) || AText == nullptr || ASize == 0) {
    return ERROR_INVALID_PARAMETER;
  }
  const std::string Text = CurrentProvider()->EntryWarning(Name);
  const size_t Length = std::min<size_t>(Text.size(), ASize - 1);
  std::memcpy(AText, Text.data(), Length);
  AText[Length] = 0;
  return ERROR_SUCCESS;
}

DWORD WINAPI DravikRasErrorAdvice(DWORD AError, LPSTR AText, DWORD ASize) {
  if (AText == nullptr || ASize == 0) return ERROR_INVALID_PARAMETER;
  const std::string Text = CurrentProvider()->ErrorAdvice(AError);
  const size_t Length = std::min<size_t>(Text.size(), ASize - 1);
  std::memcpy(AText, Text.data(), Length);
  AText[Length] = 0;
  return ERROR_SUCCESS;
}

DWORD WINAPI DravikRasIpv6Info(HRASCONN hrasconn, LPSTR AAddress, DWORD AAddressSize, LPSTR APrefix,
                               DWORD APrefixSize) {
  if (AAddress == nullptr || APrefix == nullptr) return ERROR_INVALID_PARAMETER;
  if (AAddressSize < DRAVIK_RAS_IPV6_TEXT || APrefixSize < DRAVIK_RAS_IPV6_TEXT)
    return ERROR_BUFFER_TOO_SMALL;
  std::string Address;
  std::string Prefix;
  const DWORD Result = CurrentProvider()->GetIpv6Info(hrasconn, Address, Prefix);
  if (Result != ERROR_SUCCESS) return Result;
  // Only what has the form promised is handed on; the rest counts as not known.
  if (!IsGlobalIpv6(Address)) Address.clear();
  if (!IsIpv6Prefix(Prefix) || Prefix.size() >= DRAVIK_RAS_IPV6_TEXT) Prefix.clear();
  std::memcpy(AAddress, Address.c_str(), Address.size() + 1);
  std::memcpy(APrefix, Prefix.c_str(), Prefix.size() + 1);
  return ERROR_SUCCESS;
}

DWORD WINAPI DravikRasDropEntry(LPCSTR AEntryName) {
  std::string Name;
  if (!ReadEntryName(AEntryName, Name)) return ERROR_INVALID_PARAMETER;
  return CurrentProvider()->DropEntry(Name);
}

DWORD WINAPI DravikRasFailNextDial(LPCSTR AEntryName, DWORD ACode) {
  std::string Name;
  if (!ReadEntryName(AEntryName, Name) || ACode == 0) return ERROR_INVALID_PARAMETER;
  return CurrentProvider()->FailNextDial(Name, ACode);
}

DWORD WINAPI DravikRasRepeatNextAddress(LPCSTR AEntryName) {
  std::string Name;
  if (!ReadEntryName(AEntryName, Name)) return ERROR_INVALID_PARAMETER;
  return CurrentProvider()->RepeatNextAddress(Name);
}

DWORD WINAPI DravikRasSubnetNextAddress(LPCSTR AEntryName) {
  std::string Name;
  if (!ReadEntryName(AEntryName, Name)) return ERROR_INVALID_PARAMETER;
  return CurrentProvider()->SubnetNextAddress(Name);
}

DWORD WINAPI DravikRasAddConnected(LPCSTR AEntryName, DWORD ACount) {
  std::string Name;
  if (!ReadEntryName(AEntryName, Name) || ACount == 0 || ACount > 1000) {
    return ERROR_INVALID_PARAMETER;
  }
  return CurrentProvider()->AddConnected(Name, ACount);
}

}  // extern "C"
