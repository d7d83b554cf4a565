#include "RasStateText.h"

const char* RasStateText(RASCONNSTATE AState) {
  switch (AState) {
    case RASCS_OpenPort:
      return "Opening port";
    case RASCS_PortOpened:
      return "Port opened";
    case RASCS_ConnectDevice:
      return "Connecting device";
    case RASCS_DeviceConnected:
      return "Device connected";
    case RASCS_AllDevicesConnected:
      return "All devices connected";
    case RASCS_Authenticate:
      return "Start authenticating";
    case RASCS_AuthNotify:
      return "Authentication: notify";
    case RASCS_AuthRetry:
      return "Authentication: retry";
    case RASCS_AuthCallback:
      return "Authentication: callback";
    case RASCS_AuthChangePassword:
      return "Authentication: change password";
    case RASCS_AuthProject:
      return "Authentication: projecting";
    case RASCS_AuthLinkSpeed:
      return "Authentication: link speed";
    case RASCS_AuthAck:
      return "Authentication: acknowledge";
    case RASCS_ReAuthenticate:
      return "Authentication: reauthenticate";
    case RASCS_Authenticated:
      return "Authenticated";
    case RASCS_PrepareForCallback:
      return "Preparing for callback";
    case RASCS_WaitForModemReset:
      return "Waiting for modem reset";
    case RASCS_WaitForCallback:
      return "Waiting for callback";
    case RASCS_Projected:
      return "Projected";
    case RASCS_StartAuthentication:
      return "Start authentication";
    case RASCS_CallbackComplete:
      return "Callback complete";
    case RASCS_LogonNetwork:
      return "Logging on network";
    case RASCS_Interactive:
      return "Interactive";
    case RASCS_RetryAuthentication:
      return "Retry Authentication";
    case RASCS_CallbackSetByCaller:
      return "Callback set by caller";
    case RASCS_PasswordExpired:
      return "Password expired";
    case RASCS_Connected:
      return "Connected";
    case RASCS_Disconnected:
      return "Disconnected";
    default:
      return "";
  }
}
