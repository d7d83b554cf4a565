#pragma once

// Platform codes the providers report beyond those every caller knows from
// Ras.h, under the platform's numbers.

#include "Ras.h"

namespace dravik::ras {

constexpr DWORD ErrorAccessDenied = ERROR_ACCESS_DENIED;
constexpr DWORD ErrorRequestTimeout = ERROR_REQUEST_TIMEOUT;
constexpr DWORD ErrorLineBusy = ERROR_LINE_BUSY;
constexpr DWORD ErrorNoDialTone = ERROR_NO_DIALTONE;
constexpr DWORD ErrorPppLcpTerminated = ERROR_PPP_LCP_TERMINATED;
constexpr DWORD ErrorPppLoopbackDetected = ERROR_PPP_LOOPBACK_DETECTED;

}  // namespace dravik::ras
