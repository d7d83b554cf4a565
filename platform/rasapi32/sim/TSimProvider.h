#pragma once

// The simulated dial-up service: a phonebook file and a runtime state shared
// by every process of the user (see SimPhonebook.h and SimState.h).
//
// A dial is listed from its start and walks through opening the port,
// connecting the device and authenticating to connected over the entry's
// dial seconds. It fails at its end with the code a fault gave its entry's
// next dial, else the entry's error code, else 691 when the credentials
// passed are not the stored ones. Hung up while on its way, it ends with
// ERROR_USER_DISCONNECTION; cut by the drop fault, with
// ERROR_PORT_DISCONNECTED. A dial of an entry that is already listed joins
// that connection and gets its handle. Each new connection gets an address
// that is neither the entry's previous one nor one in use, unless a fault
// makes it repeat the previous one or stay in its /24. Each also gets an
// IPv6 prefix delegated to it (a /56 of the documentation range
// 2001:db8::/32) and a global IPv6 address in it: fresh ones with each
// connection, the same prefix with the subnet fault, the same address with
// the repeat fault.

#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <unordered_set>

#include "RasPaths.h"
#include "RasProvider.h"
#include "SimPhonebook.h"
#include "SimRemark.h"
#include "SimState.h"
#include "TSimWatcher.h"

namespace dravik::ras {

// The handles and addresses of the listed connections, gathered once for a
// change that takes new ones.
struct TSimInUse {
  explicit TSimInUse(const TSimStateData& AState);
  std::unordered_set<TSimHandle> Handles;
  std::unordered_set<std::string> Addresses;
};

class TSimProvider : public RasProvider {
 public:
  // The device every simulated connection runs on.
  static constexpr const char* DeviceType = "PPPoE";
  static constexpr const char* DeviceName = "Simulated PPPoE line";
  static constexpr const char* PeerAddress = "100.64.0.1";

  // Prepares the folders; on failure AProblem says why and the provider must
  // not be used.
  TSimProvider(const TRasPaths& APaths, std::string& AProblem);

  std::string Name() const override { return "sim"; }
  DWORD EnumEntries(std::vector<std::string>& AEntries) override;
  DWORD GetEntryDialParams(RASDIALPARAMSA& AParams) override;
  DWORD Dial(const RASDIALPARAMSA& AParams, TDialNotifier ANotifier, HRASCONN& AHandle) override;
  DWORD HangUp(HRASCONN AHandle) override;
  DWORD EnumConnections(std::vector<RASCONNA>& AConnections) override;
  DWORD GetConnectStatus(HRASCONN AHandle, RASCONNSTATUSA& AStatus) override;
  DWORD GetPppIpProjection(HRASCONN AHandle, RASPPPIPA& AProjection) override;
  std::string Remark() const override { return SimRemark(); }
  DWORD DropEntry(const std::string& AEntryName) override;
  DWORD FailNextDial(const std::string& AEntryName, DWORD ACode) override;
  DWORD RepeatNextAddress(const std::string& AEntryName) override;
  DWORD SubnetNextAddress(const std::string& AEntryName) override;
  DWORD GetIpv6Info(HRASCONN AHandle, std::string& AAddress, std::string& APrefix) override;
  DWORD AddConnected(const std::string& AEntryName, DWORD ACount) override;
  DWORD WatchChanges() override;

 private:
  DWORD FindEntry(const std::string& AName, TSimEntry& AEntry);
  // A fresh address for the entry: not its last one, not one in use; with
  // ASameSubnet, in the /24 of its last one where there is room.
  std::string NewAddress(const TSimStateData& AState, const TSimInUse& AInUse,
                         const std::string& AEntryName, bool ASameSubnet = false);
  // Fresh IPv6 facts; with ASameSubnet, another address in ALast's prefix.
  TSimIpv6 NewIpv6(const TSimIpv6* ALast, bool ASameSubnet);
  // Gives a new connection of the entry its addresses, as the faults asked.
  void GiveAddresses(TSimStateData& AState, const TSimInUse& AInUse, TSimConnection& AConnection);
  static TSimHandle NewHandle(TSimStateData& AState, const TSimInUse& AInUse);
  // Ends the connection; AReason is what a dialler waiting for it reports.
  DWORD EndConnections(const std::function<bool(const TSimConnection&)>& AWhich, DWORD AReason);

  // Waits in the caller's thread until the dial has connected or failed.
  DWORD WaitForDial(const TSimConnection& AConnection);

  TRasPaths FPaths;
  TSimStore FStore;
  std::mutex FWatchLock;
  std::unique_ptr<TSimWatcher> FWatcher;
  std::mutex FRandomLock;
  std::mt19937 FRandom;
};

}  // namespace dravik::ras
