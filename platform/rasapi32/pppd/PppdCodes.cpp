#include "PppdCodes.h"

#include <csignal>

namespace dravik::ras::pppd {

namespace {

bool StartsWith(const std::string& AText, const char* AStart) {
  return AText.compare(0, std::char_traits<char>::length(AStart), AStart) == 0;
}

bool Contains(const std::string& AText, const char* APart) {
  return AText.find(APart) != std::string::npos;
}

struct TStatusCode {
  int Status;
  DWORD Code;
};

// pppd's exit statuses (its manual) as the platform's codes. The README
// lists the same table.
const TStatusCode StatusCodes[] = {
    {1, ERROR_RASMAN_CANNOT_INITIALIZE},  // fatal error, such as no PPP(oE) in the kernel
    {2, ERROR_CORRUPT_PHONEBOOK},         // the options are in error
    {3, ErrorAccessDenied},               // not set-uid root and not run by root
    {4, ERROR_RASMAN_CANNOT_INITIALIZE},  // no PPP support in the kernel
    {5, ERROR_USER_DISCONNECTION},        // ended by SIGINT, SIGTERM or SIGHUP
    {6, ERROR_PORT_NOT_AVAILABLE},        // the serial port could not be locked
    {7, ERROR_DEVICE_DOES_NOT_EXIST},     // the serial port could not be opened
    {8, ERROR_NO_ANSWER},                 // the connect script (PPPoE discovery) failed
    {9, ERROR_HARDWARE_FAILURE},          // the pty command could not be run
    {10, ErrorPppLcpTerminated},          // PPP negotiation failed
    {11, ERROR_AUTHENTICATION_FAILURE},   // the peer failed to authenticate itself
    {12, ERROR_USER_DISCONNECTION},       // idle: ended by its own limit
    {13, ERROR_USER_DISCONNECTION},       // connect time limit reached
    {14, ERROR_UNKNOWN},                  // callback negotiated
    {15, ERROR_NO_ANSWER},                // the peer does not answer echo requests
    {16, ERROR_REMOTE_DISCONNECTION},     // the modem hung up
    {17, ErrorPppLoopbackDetected},       // serial loopback detected
    {18, ERROR_HARDWARE_FAILURE},         // the init script failed
    {19, ERROR_AUTHENTICATION_FAILURE},   // we failed to authenticate to the peer
};

}  // namespace

std::vector<RASCONNSTATE> DialStatesOfLine(const std::string& ALine) {
  if (StartsWith(ALine, "Using interface ")) return {RASCS_PortOpened};
  if (StartsWith(ALine, "Connect: ")) return {RASCS_DeviceConnected};
  if (Contains(ALine, "authentication succeeded")) return {RASCS_Authenticate, RASCS_Authenticated};
  if (Contains(ALine, "authentication failed")) return {RASCS_Authenticate};
  // "local  IP address 10.0.0.2": pppd aligns it under "remote IP address".
  if (StartsWith(ALine, "local ")) {
    const size_t Rest = ALine.find_first_not_of(' ', 5);
    if (Rest != std::string::npos && ALine.compare(Rest, 11, "IP address ") == 0) {
      return {RASCS_Projected};
    }
  }
  return {};
}

bool IsPermissionLine(const std::string& ALine) {
  return Contains(ALine, "requires root privilege") || Contains(ALine, "Permission denied") ||
         Contains(ALine, "Operation not permitted") || Contains(ALine, "must be root");
}

DWORD CodeOfExitStatus(int AStatus, bool ARefused) {
  if (AStatus == 0) return ERROR_SUCCESS;
  if (ARefused) return ErrorAccessDenied;
  for (const TStatusCode& Entry : StatusCodes) {
    if (Entry.Status == AStatus) return Entry.Code;
  }
  return ERROR_UNKNOWN;
}

DWORD CodeOfSignal(int ASignal) {
  return ASignal == SIGTERM || ASignal == SIGINT || ASignal == SIGHUP ? ERROR_USER_DISCONNECTION
                                                                      : ERROR_UNKNOWN;
}

std::string AdviceOfCode(DWORD ACode) {
  if (ACode == ErrorAccessDenied) return std::string("the user must be in the group ") + PppdGroup;
  return {};
}

}  // namespace dravik::ras::pppd
