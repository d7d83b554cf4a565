#pragma once

// What stands behind the exported dial-up calls on Linux. The exported calls
// check sizes and buffers and hand the rest to the provider in use; a
// provider only answers in whole records and platform error codes.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Ras.h"

namespace dravik::ras {

// Called for each change of state of an asynchronous dial, from a thread of
// the provider's own: message number, state, error code.
using TDialNotifier = std::function<void(UINT, RASCONNSTATE, DWORD)>;

class RasProvider {
 public:
  virtual ~RasProvider() = default;

  // A short name for messages ("sim", "networkmanager", ...).
  virtual std::string Name() const = 0;

  // Entry names of the default phonebook, in listing order.
  virtual DWORD EnumEntries(std::vector<std::string>& AEntries) = 0;

  // Fills szUserName and szPassword for AParams.szEntryName.
  virtual DWORD GetEntryDialParams(RASDIALPARAMSA& AParams) = 0;

  // Starts a dial of AParams.szEntryName and stores its handle in AHandle
  // before returning. With a notifier, returns at once and reports every
  // change of state through it, ending with RASCS_Connected or a non-zero
  // error code; without one, returns when the dial has connected or failed.
  virtual DWORD Dial(const RASDIALPARAMSA& AParams, TDialNotifier ANotifier, HRASCONN& AHandle) = 0;

  virtual DWORD HangUp(HRASCONN AHandle) = 0;

  // Every connection listed now, dialling ones included, in listing order.
  virtual DWORD EnumConnections(std::vector<RASCONNA>& AConnections) = 0;

  virtual DWORD GetConnectStatus(HRASCONN AHandle, RASCONNSTATUSA& AStatus) = 0;

  // Fails until the connection is connected.
  virtual DWORD GetPppIpProjection(HRASCONN AHandle, RASPPPIPA& AProjection) = 0;

  // The connected line's global IPv6 address and its IPv6 prefix
  // (ADDRESS/LENGTH: the prefix delegated to the line where the provider
  // learns one, else the on-link prefix of the address); each empty when
  // the line has none or the provider does not know it. Fails as
  // GetPppIpProjection does.
  virtual DWORD GetIpv6Info(HRASCONN /*AHandle*/, std::string& /*AAddress*/,
                            std::string& /*APrefix*/) {
    return ERROR_NOT_SUPPORTED;
  }

  // Starts following the changes of the connections made anywhere (this
  // process, other processes, the service behind the provider), calling
  // NotifyConnectionsChanged for each, so that callers waiting on the
  // library's change notification learn of them as they happen. Called at
  // every change notification asked for; the first call starts it.
  virtual DWORD WatchChanges() { return ERROR_NOT_SUPPORTED; }

  // Why the provider cannot serve, in words; empty while it can.
  virtual std::string Problem() const { return {}; }

  // What the provider has to say about this thread's last call: why it
  // failed or why a listing came out empty, naming the file; empty when
  // nothing.
  virtual std::string Remark() const { return {}; }

  // What the person who runs the entry should know about it, in words
  // (such as a line that comes back by itself after a hang-up); empty when
  // nothing.
  virtual std::string EntryWarning(const std::string& /*AEntryName*/) { return {}; }

  // What the person who runs the line can do about an error code this
  // provider reports (such as the permission a refused request needs), in
  // words; empty when nothing.
  virtual std::string ErrorAdvice(DWORD /*AError*/) const { return {}; }

  // Faults for tests and demonstrations. A provider that cannot stage them
  // answers ERROR_NOT_SUPPORTED.

  // Ends every listed connection of the entry as if the line had been cut.
  virtual DWORD DropEntry(const std::string& /*AEntryName*/) { return ERROR_NOT_SUPPORTED; }

  // The next dial of the entry fails with ACode.
  virtual DWORD FailNextDial(const std::string& /*AEntryName*/, DWORD /*ACode*/) {
    return ERROR_NOT_SUPPORTED;
  }

  // The next dial of the entry gets the address its last connection had.
  virtual DWORD RepeatNextAddress(const std::string& /*AEntryName*/) { return ERROR_NOT_SUPPORTED; }

  // The next dial of the entry gets another address in the /24 of its last
  // one, and another IPv6 address in the same prefix.
  virtual DWORD SubnetNextAddress(const std::string& /*AEntryName*/) { return ERROR_NOT_SUPPORTED; }

  // Lists ACount more connections of the entry, connected at once.
  virtual DWORD AddConnected(const std::string& /*AEntryName*/, DWORD /*ACount*/) {
    return ERROR_NOT_SUPPORTED;
  }
};

// Replaces the provider chosen from the environment, for this process; an
// empty pointer goes back to the normal choice. Meant for tests.
DRAVIK_EXPORT void SetProviderForTesting(std::shared_ptr<RasProvider> AProvider);

}  // namespace dravik::ras
