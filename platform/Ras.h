#pragma once

// The Remote Access Service contract: the records, codes and calls of the
// dial-up service, in the record forms whose sizes the components announce
// (the forms with 257-character entry names). On Windows the real service
// stands behind them; on Linux our rasapi32 library does.

#include "Windows.h"

#ifdef _WIN32
#include <ras.h>
#include <raserror.h>

#include <cstdint>

// The handle that stands for every connection in a change notification.
#define DRAVIK_ALL_RAS_CONNECTIONS ((HRASCONN)INVALID_HANDLE_VALUE)

// A code the system reports that its header leaves out.
#ifndef ERROR_PROJECTION_NOT_COMPLETE
#define ERROR_PROJECTION_NOT_COMPLETE 730
#endif

// The entry points' types, for run-time loading.
using TRasEnumConnectionsA = decltype(&RasEnumConnectionsA);
using TRasGetConnectStatusA = decltype(&RasGetConnectStatusA);
using TRasHangUpA = decltype(&RasHangUpA);
using TRasGetProjectionInfoA = decltype(&RasGetProjectionInfoA);
using TRasConnectionNotificationA = decltype(&RasConnectionNotificationA);

// A connection handle as a number (for the tools' listings and the
// simulated service's state), and back. Handles here are pointer-sized;
// the service hands out ones that are significant in 32 bits.
inline uint32_t RasHandleNumber(HRASCONN AHandle) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(AHandle));
}
inline HRASCONN RasHandleFromNumber(uint32_t ANumber) {
  return reinterpret_cast<HRASCONN>(static_cast<uintptr_t>(ANumber));
}

// The records as the system's own header lays them out (the forms of
// Windows 7 and later, packed to 4 bytes), in the sizes the 64-bit service
// takes.
#ifdef _WIN64
static_assert(sizeof(RASDIALPARAMSA) == 1068, "RASDIALPARAMSA is 1068 bytes on 64-bit Windows");
static_assert(sizeof(RASCONNA) == 708, "RASCONNA is 708 bytes on 64-bit Windows");
static_assert(sizeof(RASENTRYNAMEA) == 532, "RASENTRYNAMEA is 532 bytes on 64-bit Windows");
static_assert(sizeof(RASCONNSTATUSA) == 288, "RASCONNSTATUSA is 288 bytes on 64-bit Windows");
static_assert(sizeof(RASPPPIPA) == 48, "RASPPPIPA is 48 bytes on 64-bit Windows");
#endif

#else

constexpr int RAS_MaxEntryName = 256;
constexpr int RAS_MaxDeviceType = 16;
constexpr int RAS_MaxDeviceName = 128;
constexpr int RAS_MaxPhoneNumber = 128;
constexpr int RAS_MaxCallbackNumber = RAS_MaxPhoneNumber;
constexpr int UNLEN = 256;
constexpr int PWLEN = 256;
constexpr int DNLEN = 15;
constexpr int RAS_MaxIpAddress = 15;

// A connection handle is 32 bits on this platform; 0 means none.
using HRASCONN = uint32_t;
using LPHRASCONN = HRASCONN*;

struct RASDIALPARAMSA {
  DWORD dwSize;
  char szEntryName[RAS_MaxEntryName + 1];
  char szPhoneNumber[RAS_MaxPhoneNumber + 1];
  char szCallbackNumber[RAS_MaxCallbackNumber + 1];
  char szUserName[UNLEN + 1];
  char szPassword[PWLEN + 1];
  char szDomain[DNLEN + 1];
};
using LPRASDIALPARAMSA = RASDIALPARAMSA*;

struct RASCONNA {
  DWORD dwSize;
  HRASCONN hrasconn;
  char szEntryName[RAS_MaxEntryName + 1];
  char szDeviceType[RAS_MaxDeviceType + 1];
  char szDeviceName[RAS_MaxDeviceName + 1];
};
using LPRASCONNA = RASCONNA*;

struct RASENTRYNAMEA {
  DWORD dwSize;
  char szEntryName[RAS_MaxEntryName + 1];
};
using LPRASENTRYNAMEA = RASENTRYNAMEA*;

using RASCONNSTATE = int32_t;

struct RASCONNSTATUSA {
  DWORD dwSize;
  RASCONNSTATE rasconnstate;
  DWORD dwError;
  char szDeviceType[RAS_MaxDeviceType + 1];
  char szDeviceName[RAS_MaxDeviceName + 1];
};
using LPRASCONNSTATUSA = RASCONNSTATUSA*;

struct RASPPPIPA {
  DWORD dwSize;
  DWORD dwError;
  char szIpAddress[RAS_MaxIpAddress + 1];
  char szServerIpAddress[RAS_MaxIpAddress + 1];
};
using LPRASPPPIPA = RASPPPIPA*;

// Dial extensions are never passed by the components; only the type exists.
struct RASDIALEXTENSIONS;
using LPRASDIALEXTENSIONS = RASDIALEXTENSIONS*;

using RASPROJECTION = int32_t;
constexpr RASPROJECTION RASP_PppIp = 0x8021;

// Connection states.
constexpr RASCONNSTATE RASCS_PAUSED = 0x1000;
constexpr RASCONNSTATE RASCS_DONE = 0x2000;
constexpr RASCONNSTATE RASCS_OpenPort = 0;
constexpr RASCONNSTATE RASCS_PortOpened = 1;
constexpr RASCONNSTATE RASCS_ConnectDevice = 2;
constexpr RASCONNSTATE RASCS_DeviceConnected = 3;
constexpr RASCONNSTATE RASCS_AllDevicesConnected = 4;
constexpr RASCONNSTATE RASCS_Authenticate = 5;
constexpr RASCONNSTATE RASCS_AuthNotify = 6;
constexpr RASCONNSTATE RASCS_AuthRetry = 7;
constexpr RASCONNSTATE RASCS_AuthCallback = 8;
constexpr RASCONNSTATE RASCS_AuthChangePassword = 9;
constexpr RASCONNSTATE RASCS_AuthProject = 10;
constexpr RASCONNSTATE RASCS_AuthLinkSpeed = 11;
constexpr RASCONNSTATE RASCS_AuthAck = 12;
constexpr RASCONNSTATE RASCS_ReAuthenticate = 13;
constexpr RASCONNSTATE RASCS_Authenticated = 14;
constexpr RASCONNSTATE RASCS_PrepareForCallback = 15;
constexpr RASCONNSTATE RASCS_WaitForModemReset = 16;
constexpr RASCONNSTATE RASCS_WaitForCallback = 17;
constexpr RASCONNSTATE RASCS_Projected = 18;
constexpr RASCONNSTATE RASCS_StartAuthentication = 19;
constexpr RASCONNSTATE RASCS_CallbackComplete = 20;
constexpr RASCONNSTATE RASCS_LogonNetwork = 21;
constexpr RASCONNSTATE RASCS_Interactive = RASCS_PAUSED;
constexpr RASCONNSTATE RASCS_RetryAuthentication = RASCS_PAUSED + 1;
constexpr RASCONNSTATE RASCS_CallbackSetByCaller = RASCS_PAUSED + 2;
constexpr RASCONNSTATE RASCS_PasswordExpired = RASCS_PAUSED + 3;
constexpr RASCONNSTATE RASCS_Connected = RASCS_DONE;
constexpr RASCONNSTATE RASCS_Disconnected = RASCS_DONE + 1;

// The message number the notifier receives.
constexpr UINT WM_RASDIALEVENT = 0xCCCD;

// Notifier type 0: message number, connection state, error code.
using RASDIALFUNC = void(WINAPI*)(UINT unMsg, RASCONNSTATE rasconnstate, DWORD dwError);

// What a change notification is asked for: a connection coming up, one
// ending. The handle that stands for every connection.
constexpr DWORD RASCN_Connection = 0x00000001;
constexpr DWORD RASCN_Disconnection = 0x00000002;
constexpr HRASCONN DRAVIK_ALL_RAS_CONNECTIONS = 0xFFFFFFFF;

// Error codes, under the platform's numbers.
constexpr DWORD RASBASE = 600;
constexpr DWORD PENDING = 600;
constexpr DWORD ERROR_INVALID_PORT_HANDLE = 601;
constexpr DWORD ERROR_PORT_ALREADY_OPEN = 602;
constexpr DWORD ERROR_BUFFER_TOO_SMALL = 603;
constexpr DWORD ERROR_WRONG_INFO_SPECIFIED = 604;
constexpr DWORD ERROR_PORT_NOT_CONNECTED = 606;
constexpr DWORD ERROR_DEVICE_DOES_NOT_EXIST = 608;
constexpr DWORD ERROR_BUFFER_INVALID = 610;
constexpr DWORD ERROR_CANNOT_OPEN_PHONEBOOK = 621;
constexpr DWORD ERROR_CANNOT_LOAD_PHONEBOOK = 622;
constexpr DWORD ERROR_CANNOT_FIND_PHONEBOOK_ENTRY = 623;
constexpr DWORD ERROR_CANNOT_WRITE_PHONEBOOK = 624;
constexpr DWORD ERROR_CORRUPT_PHONEBOOK = 625;
constexpr DWORD ERROR_PORT_DISCONNECTED = 628;
constexpr DWORD ERROR_REMOTE_DISCONNECTION = 629;
constexpr DWORD ERROR_HARDWARE_FAILURE = 630;
constexpr DWORD ERROR_USER_DISCONNECTION = 631;
constexpr DWORD ERROR_INVALID_SIZE = 632;
constexpr DWORD ERROR_PORT_NOT_AVAILABLE = 633;
constexpr DWORD ERROR_UNKNOWN = 635;
constexpr DWORD ERROR_REQUEST_TIMEOUT = 638;
constexpr DWORD ERROR_NO_CONNECTION = 668;
constexpr DWORD ERROR_LINE_BUSY = 676;
constexpr DWORD ERROR_NO_ANSWER = 678;
constexpr DWORD ERROR_NO_CARRIER = 679;
constexpr DWORD ERROR_NO_DIALTONE = 680;
constexpr DWORD ERROR_AUTHENTICATION_FAILURE = 691;
constexpr DWORD ERROR_RASMAN_CANNOT_INITIALIZE = 711;
constexpr DWORD ERROR_PROJECTION_NOT_COMPLETE = 730;
constexpr DWORD ERROR_PROTOCOL_NOT_CONFIGURED = 731;
constexpr DWORD ERROR_PPP_LCP_TERMINATED = 734;
constexpr DWORD ERROR_PPP_LOOPBACK_DETECTED = 737;

extern "C" {
DRAVIK_EXPORT DWORD WINAPI RasGetEntryDialParamsA(LPCSTR lpszPhonebook,
                                                  LPRASDIALPARAMSA lprasdialparams,
                                                  LPBOOL lpfPassword);
DRAVIK_EXPORT DWORD WINAPI RasDialA(LPRASDIALEXTENSIONS lpRasDialExtensions, LPCSTR lpszPhonebook,
                                    LPRASDIALPARAMSA lpRasDialParams, DWORD dwNotifierType,
                                    LPVOID lpvNotifier, LPHRASCONN lphRasConn);
DRAVIK_EXPORT DWORD WINAPI RasHangUpA(HRASCONN hrasconn);
DRAVIK_EXPORT DWORD WINAPI RasEnumConnectionsA(LPRASCONNA lprasconn, LPDWORD lpcb,
                                               LPDWORD lpcConnections);
DRAVIK_EXPORT DWORD WINAPI RasEnumEntriesA(LPCSTR reserved, LPCSTR lpszPhonebook,
                                           LPRASENTRYNAMEA lprasentryname, LPDWORD lpcb,
                                           LPDWORD lpcEntries);
DRAVIK_EXPORT DWORD WINAPI RasGetConnectStatusA(HRASCONN hrasconn,
                                                LPRASCONNSTATUSA lprasconnstatus);
DRAVIK_EXPORT DWORD WINAPI RasGetProjectionInfoA(HRASCONN hrasconn, RASPROJECTION rasprojection,
                                                 LPVOID lpprojection, LPDWORD lpcb);
// Sets the event hEvent (an event handle of the platform's) whenever a
// connection comes up (RASCN_Connection) or ends (RASCN_Disconnection); for
// every connection when hrasconn is DRAVIK_ALL_RAS_CONNECTIONS. The library
// keeps the handle until the caller has closed it. An event may also be set
// when nothing the caller asked for changed: the caller looks again.
DRAVIK_EXPORT DWORD WINAPI RasConnectionNotificationA(HRASCONN hrasconn, HANDLE hEvent,
                                                      DWORD dwFlags);
}

// The entry points' types, for run-time loading.
using TRasEnumConnectionsA = decltype(&RasEnumConnectionsA);
using TRasGetConnectStatusA = decltype(&RasGetConnectStatusA);
using TRasHangUpA = decltype(&RasHangUpA);
using TRasGetProjectionInfoA = decltype(&RasGetProjectionInfoA);
using TRasConnectionNotificationA = decltype(&RasConnectionNotificationA);

inline uint32_t RasHandleNumber(HRASCONN AHandle) { return AHandle; }
inline HRASCONN RasHandleFromNumber(uint32_t ANumber) { return ANumber; }

static_assert(sizeof(RASDIALPARAMSA) == 1052, "RASDIALPARAMSA is 1052 bytes");
static_assert(sizeof(RASCONNA) == 412, "RASCONNA is 412 bytes");
static_assert(sizeof(RASENTRYNAMEA) == 264, "RASENTRYNAMEA is 264 bytes");
static_assert(sizeof(RASCONNSTATUSA) == 160, "RASCONNSTATUSA is 160 bytes");
static_assert(sizeof(RASPPPIPA) == 40, "RASPPPIPA is 40 bytes");

#endif
