#include "NmCodes.h"

#include <cstring>

namespace dravik::ras::nm {

namespace {

struct TReasonCode {
  uint32_t Reason;
  DWORD Code;
};

// Device state reasons. The README lists the same table.
const TReasonCode DeviceReasons[] = {
    {4, ERROR_HARDWARE_FAILURE},              // config-failed
    {5, ERROR_NO_ANSWER},                     // ip-config-unavailable: no address came
    {6, ERROR_NO_ANSWER},                     // ip-config-expired
    {7, ERROR_AUTHENTICATION_FAILURE},        // no-secrets
    {8, ERROR_AUTHENTICATION_FAILURE},        // supplicant-disconnect
    {9, ERROR_AUTHENTICATION_FAILURE},        // supplicant-config-failed
    {10, ERROR_AUTHENTICATION_FAILURE},       // supplicant-failed
    {11, ERROR_AUTHENTICATION_FAILURE},       // supplicant-timeout
    {12, ERROR_HARDWARE_FAILURE},             // ppp-start-failed
    {13, ERROR_REMOTE_DISCONNECTION},         // ppp-disconnect
    {14, ErrorPppLcpTerminated},              // ppp-failed
    {15, ERROR_NO_ANSWER},                    // dhcp-start-failed
    {16, ERROR_NO_ANSWER},                    // dhcp-error
    {17, ERROR_NO_ANSWER},                    // dhcp-failed
    {23, ErrorLineBusy},                      // modem-busy
    {24, ErrorNoDialTone},                    // modem-no-dial-tone
    {25, ERROR_NO_CARRIER},                   // modem-no-carrier
    {26, ERROR_NO_ANSWER},                    // modem-dial-timeout
    {27, ERROR_NO_ANSWER},                    // modem-dial-failed
    {28, ERROR_HARDWARE_FAILURE},             // modem-init-failed
    {29, ERROR_NO_ANSWER},                    // gsm-apn-failed
    {30, ERROR_NO_CARRIER},                   // gsm-registration-not-searching
    {31, ERROR_NO_CARRIER},                   // gsm-registration-denied
    {32, ERROR_NO_CARRIER},                   // gsm-registration-timeout
    {33, ERROR_NO_CARRIER},                   // gsm-registration-failed
    {34, ERROR_AUTHENTICATION_FAILURE},       // gsm-pin-check-failed
    {35, ERROR_DEVICE_DOES_NOT_EXIST},        // firmware-missing
    {36, ERROR_PORT_DISCONNECTED},            // removed
    {38, ERROR_CANNOT_FIND_PHONEBOOK_ENTRY},  // connection-removed
    {39, ERROR_USER_DISCONNECTION},           // user-requested
    {40, ERROR_PORT_DISCONNECTED},            // carrier: the line went down
    {43, ERROR_DEVICE_DOES_NOT_EXIST},        // modem-not-found
    {45, ERROR_DEVICE_DOES_NOT_EXIST},        // gsm-sim-not-inserted
    {46, ERROR_AUTHENTICATION_FAILURE},       // gsm-sim-pin-required
    {47, ERROR_AUTHENTICATION_FAILURE},       // gsm-sim-puk-required
    {48, ERROR_AUTHENTICATION_FAILURE},       // gsm-sim-wrong
    {52, ERROR_DEVICE_DOES_NOT_EXIST},        // modem-manager-unavailable
    {57, ERROR_HARDWARE_FAILURE},             // modem-failed
    {59, ERROR_AUTHENTICATION_FAILURE},       // sim-pin-incorrect: also a refused user or password
};

// Active connection state reasons.
const TReasonCode ActiveReasons[] = {
    {2, ERROR_USER_DISCONNECTION},            // user-disconnected
    {3, ERROR_PORT_DISCONNECTED},             // device-disconnected
    {4, ERROR_RASMAN_CANNOT_INITIALIZE},      // service-stopped
    {5, ERROR_NO_ANSWER},                     // ip-config-invalid
    {6, ErrorRequestTimeout},                 // connect-timeout
    {7, ErrorRequestTimeout},                 // service-start-timeout
    {8, ERROR_HARDWARE_FAILURE},              // service-start-failed
    {9, ERROR_AUTHENTICATION_FAILURE},        // no-secrets
    {10, ERROR_AUTHENTICATION_FAILURE},       // login-failed
    {11, ERROR_CANNOT_FIND_PHONEBOOK_ENTRY},  // connection-removed
    {13, ERROR_DEVICE_DOES_NOT_EXIST},        // device-realize-failed
    {14, ERROR_PORT_DISCONNECTED},            // device-removed
};

template <size_t N>
DWORD Lookup(const TReasonCode (&ATable)[N], uint32_t AReason) {
  for (const TReasonCode& Entry : ATable) {
    if (Entry.Reason == AReason) return Entry.Code;
  }
  return ERROR_UNKNOWN;
}

}  // namespace

RASCONNSTATE DialStateOfDevice(uint32_t ADeviceState) {
  switch (ADeviceState) {
    case DevicePrepare:
      return RASCS_PortOpened;
    case DeviceConfig:
      return RASCS_ConnectDevice;
    case DeviceNeedAuth:
      return RASCS_Authenticate;
    case DeviceIpConfig:
      return RASCS_AuthProject;
    case DeviceIpCheck:
    case DeviceSecondaries:
      return RASCS_Authenticated;
    case DeviceActivated:
      return RASCS_Connected;
    default:
      return -1;
  }
}

DWORD CodeOfDeviceReason(uint32_t AReason) { return Lookup(DeviceReasons, AReason); }

DWORD CodeOfActiveReason(uint32_t AReason) { return Lookup(ActiveReasons, AReason); }

DWORD CodeOfBusError(const std::string& AErrorName) {
  struct TNameCode {
    const char* Name;
    DWORD Code;
  };
  static const TNameCode Names[] = {
      {"org.freedesktop.NetworkManager.UnknownConnection", ERROR_CANNOT_FIND_PHONEBOOK_ENTRY},
      {"org.freedesktop.NetworkManager.UnknownDevice", ERROR_DEVICE_DOES_NOT_EXIST},
      {"org.freedesktop.NetworkManager.ConnectionActivationFailed", ERROR_DEVICE_DOES_NOT_EXIST},
      {"org.freedesktop.NetworkManager.PermissionDenied", ErrorAccessDenied},
      {"org.freedesktop.NetworkManager.ConnectionNotActive", ERROR_INVALID_HANDLE},
      {"org.freedesktop.DBus.Error.AccessDenied", ErrorAccessDenied},
      {"org.freedesktop.DBus.Error.ServiceUnknown", ERROR_RASMAN_CANNOT_INITIALIZE},
      {"org.freedesktop.DBus.Error.NameHasNoOwner", ERROR_RASMAN_CANNOT_INITIALIZE},
      {"org.freedesktop.DBus.Error.NoReply", ERROR_RASMAN_CANNOT_INITIALIZE},
      {"org.freedesktop.DBus.Error.Disconnected", ERROR_RASMAN_CANNOT_INITIALIZE},
      {"org.freedesktop.DBus.Error.Timeout", ERROR_RASMAN_CANNOT_INITIALIZE},
      {"org.freedesktop.DBus.Error.NoServer", ERROR_RASMAN_CANNOT_INITIALIZE},
  };
  for (const TNameCode& Entry : Names) {
    if (AErrorName == Entry.Name) return Entry.Code;
  }
  return ERROR_UNKNOWN;
}

}  // namespace dravik::ras::nm
