#pragma once

#include <string>

#include "RasProvider.h"

namespace dravik::ras {

// Stands in for a provider that is unknown or cannot start: every call
// fails with ERROR_RASMAN_CANNOT_INITIALIZE, as the platform does when its
// service cannot start, and Problem() says why.
class TUnusableProvider : public RasProvider {
 public:
  explicit TUnusableProvider(std::string AProblem) : FProblem(std::move(AProblem)) {}

  std::string Name() const override { return "unusable"; }
  std::string Problem() const override { return FProblem; }
  DWORD EnumEntries(std::vector<std::string>&) override { return Fail(); }
  DWORD GetEntryDialParams(RASDIALPARAMSA&) override { return Fail(); }
  DWORD Dial(const RASDIALPARAMSA&, TDialNotifier, HRASCONN&) override { return Fail(); }
  DWORD HangUp(HRASCONN) override { return Fail(); }
  DWORD EnumConnections(std::vector<RASCONNA>&) override { return Fail(); }
  DWORD GetConnectStatus(HRASCONN, RASCONNSTATUSA&) override { return Fail(); }
  DWORD GetPppIpProjection(HRASCONN, RASPPPIPA&) override { return Fail(); }
  DWORD DropEntry(const std::string&) override { return Fail(); }
  DWORD FailNextDial(const std::string&, DWORD) override { return Fail(); }
  DWORD RepeatNextAddress(const std::string&) override { return Fail(); }
  DWORD AddConnected(const std::string&, DWORD) override { return Fail(); }
  DWORD WatchChanges() override { return Fail(); }

 private:
  static DWORD Fail() { return ERROR_RASMAN_CANNOT_INITIALIZE; }
  std::string FProblem;
};

}  // namespace dravik::ras
