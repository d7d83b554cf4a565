// What the rotation keeps and tells of its turns: the history's rows, its
// failures (in the status, the log and the hook) and the line's IPv6 facts.

#include "IsoTime.h"
#include "RasIpv6Info.h"
#include "TClock.h"
#include "THistory.h"
#include "THookRunner.h"
#include "TRotation.h"
#include "TServiceLog.h"

namespace {

// Old rows are removed every so many rows.
constexpr uint64_t PruneEvery = 100;

}  // namespace

void TRotation::Failure(int ACode, const std::string& AText) {
  FLastError = AText;
  FLastErrorCode = ACode;
  ++FFailures;
  FLog.Error(AText);
  if (FConfig.HookOnFailure) RunHook("failed", ACode, AText);
}

void TRotation::RunHook(const std::string& AResult, int AError, const std::string& AErrorText) {
  if (FHook == nullptr) return;
  const bool Rotated = AResult == "rotated";
  FHook->Run({{"DRAVIK_ENTRY", FConfig.Entry},
              {"DRAVIK_RESULT", AResult},
              {"DRAVIK_ADDRESS", Rotated ? FAddress : std::string()},
              {"DRAVIK_PREVIOUS_ADDRESS", Rotated ? FPreviousAddress : FAddress},
              {"DRAVIK_PUBLIC_ADDRESS", Rotated ? FPublicAddress : std::string()},
              {"DRAVIK_ADDRESS6", Rotated ? FAddress6 : std::string()},
              {"DRAVIK_PREFIX6", Rotated ? FPrefix6 : std::string()},
              {"DRAVIK_INTERFACE", FUpSinceMs >= 0 ? FInterface : std::string()},
              {"DRAVIK_ERROR", Rotated ? std::string() : std::to_string(AError)},
              {"DRAVIK_ERROR_TEXT", AErrorText},
              {"DRAVIK_TIME", LocalIsoTime(WallClock())}});
}

void TRotation::ReadIpv6(uint32_t AHandle, std::string& AAddress, std::string& APrefix) {
  AAddress.clear();
  APrefix.clear();
  if (!RasIpv6Info(static_cast<HRASCONN>(AHandle), AAddress, APrefix)) {
    AAddress.clear();
    APrefix.clear();
  }
}

void TRotation::Record(const std::string& AOutcome, int AError, const std::string& ADetail,
                       const std::string& APublicAddress, const std::string& AReason) {
  TDialRecord Row;
  Row.TimeMs = WallClock();
  Row.Entry = FConfig.Entry;
  Row.LineAddress = FLineAddress;
  Row.PeerAddress = FPeerAddress;
  Row.PublicAddress = APublicAddress;
  // A drop or a failed hang-up is no dial: it took no dialling time.
  const bool DialRow = AOutcome != "dropped" || FPhase == TPhase::Checking;
  Row.DialMs = DialRow && AOutcome != "hangup-failed"
                   ? static_cast<int64_t>(TClock::Instance().Now() - FDialStartedMs)
                   : 0;
  Row.Outcome = AOutcome;
  Row.ErrorCode = AError;
  Row.Detail = ADetail;
  Row.Simulated = Simulated;
  Row.Reason = AReason;
  // A drop's row tells of the line that went, a dial's of the line it brought.
  const bool Current = AOutcome == "dropped" && FPhase != TPhase::Checking;
  Row.Address6 = Current ? FAddress6 : FLineAddress6;
  Row.Prefix6 = Current ? FPrefix6 : FLinePrefix6;
  ++FRows;
  if (FHistory != nullptr) {
    const std::string Problem = FHistory->Add(Row);
    if (!Problem.empty()) FLog.Error("history: the row was not written: " + Problem);
    if (FRows % PruneEvery == 1)
      FHistory->Prune(Row.TimeMs - static_cast<int64_t>(FConfig.HistoryDays) * 86400000);
  }
  if (OnRecorded) OnRecorded(Row);
}
