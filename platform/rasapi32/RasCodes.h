#pragma once

// Platform codes the providers report beyond those every caller knows from
// Ras.h, under the platform's numbers.

#include "Ras.h"

namespace dravik::ras {

constexpr DWORD ErrorAccessDenied = 5;           // ERROR_ACCESS_DENIED
constexpr DWORD ErrorRequestTimeout = 638;       // ERROR_REQUEST_TIMEOUT
constexpr DWORD ErrorLineBusy = 676;             // ERROR_LINE_BUSY
constexpr DWORD ErrorNoDialTone = 680;           // ERROR_NO_DIALTONE
constexpr DWORD ErrorPppLcpTerminated = 734;     // ERROR_PPP_LCP_TERMINATED
constexpr DWORD ErrorPppLoopbackDetected = 737;  // ERROR_PPP_LOOPBACK_DETECTED

}  // namespace dravik::ras
