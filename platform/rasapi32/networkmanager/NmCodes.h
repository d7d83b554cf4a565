#pragma once

// How NetworkManager's states and reasons read as dial-up states and
// platform error codes. One table each; the README shows the same tables.

#include <cstdint>
#include <string>

#include "Ras.h"

namespace dravik::ras::nm {

// Platform codes the provider reports beyond those every provider uses.
constexpr DWORD ErrorAccessDenied = ERROR_ACCESS_DENIED;
constexpr DWORD ErrorRequestTimeout = ERROR_REQUEST_TIMEOUT;
constexpr DWORD ErrorLineBusy = ERROR_LINE_BUSY;
constexpr DWORD ErrorNoDialTone = ERROR_NO_DIALTONE;
constexpr DWORD ErrorPppLcpTerminated = ERROR_PPP_LCP_TERMINATED;

// NetworkManager's device states (NMDeviceState) that a dial passes.
constexpr uint32_t DevicePrepare = 40;
constexpr uint32_t DeviceConfig = 50;
constexpr uint32_t DeviceNeedAuth = 60;
constexpr uint32_t DeviceIpConfig = 70;
constexpr uint32_t DeviceIpCheck = 80;
constexpr uint32_t DeviceSecondaries = 90;
constexpr uint32_t DeviceActivated = 100;
constexpr uint32_t DeviceFailed = 120;

// Active connection states (NMActiveConnectionState).
constexpr uint32_t ActiveActivating = 1;
constexpr uint32_t ActiveActivated = 2;
constexpr uint32_t ActiveDeactivating = 3;
constexpr uint32_t ActiveDeactivated = 4;

// The dial-up state a device state stands for while a dial is on its way;
// -1 for a state that says nothing about the dial's progress.
RASCONNSTATE DialStateOfDevice(uint32_t ADeviceState);

// The platform code for why a device failed (NMDeviceStateReason).
DWORD CodeOfDeviceReason(uint32_t AReason);

// The platform code for why an active connection ended
// (NMActiveConnectionStateReason), when no device said more.
DWORD CodeOfActiveReason(uint32_t AReason);

// The platform code for a D-Bus error NetworkManager or the bus answered.
DWORD CodeOfBusError(const std::string& AErrorName);

}  // namespace dravik::ras::nm
