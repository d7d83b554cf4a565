#include "TMetricsPage.h"

#include <cstdio>
#include <cstdlib>

namespace {

using TPhase = TRotation::TPhase;

constexpr TPhase AllPhases[] = {TPhase::Idle,   TPhase::Dialling, TPhase::Checking,
                                TPhase::Online, TPhase::Offline,  TPhase::RetryWait,
                                TPhase::Paused, TPhase::Stopped,  TPhase::OutsideSchedule};

// The shortest text that reads back as the same number (200.6, not
// 200.59999999999999); integers without a fraction.
std::string Number(double AValue) {
  char Text[32];
  for (int Digits = 15; Digits <= 17; ++Digits) {
    std::snprintf(Text, sizeof Text, "%.*g", Digits, AValue);
    if (std::strtod(Text, nullptr) == AValue) break;
  }
  return Text;
}

void Head(std::string& APage, const char* AName, const char* AType, const char* AHelp) {
  APage += std::string("# HELP ") + AName + " " + AHelp + "\n# TYPE " + AName + " " + AType + "\n";
}

void Sample(std::string& APage, const std::string& ANameAndLabels, double AValue) {
  APage += ANameAndLabels + " " + Number(AValue) + "\n";
}

void Counter(std::string& APage, const char* AName, const char* AHelp, uint64_t AValue) {
  Head(APage, AName, "counter", AHelp);
  Sample(APage, AName, static_cast<double>(AValue));
}

void Histogram(std::string& APage, const char* AName, const char* AHelp,
               const TDurationHistogram& AHistogram) {
  Head(APage, AName, "histogram", AHelp);
  const std::string Name = AName;
  for (size_t I = 0; I < AHistogram.Bounds().size(); ++I)
    Sample(APage, Name + "_bucket{le=\"" + Number(AHistogram.Bounds()[I]) + "\"}",
           static_cast<double>(AHistogram.CountAtMost(I)));
  Sample(APage, Name + "_bucket{le=\"+Inf\"}", static_cast<double>(AHistogram.Count()));
  Sample(APage, Name + "_sum", AHistogram.Sum());
  Sample(APage, Name + "_count", static_cast<double>(AHistogram.Count()));
}

}  // namespace

std::string MetricsLabelValue(const std::string& AText) {
  std::string Value;
  Value.reserve(AText.size());
  for (const char C : AText) {
    if (C == '\\' || C == '"') {
      Value += '\\';
      Value += C;
    } else if (C == '\n') {
      Value += "\\n";
    } else {
      Value += C;
    }
  }
  return Value;
}

std::string MetricsPage(const TRotation::TStatus& AStatus, const TRotationMetrics& AMetrics,
                        int64_t ANowMs) {
  std::string Page;
  Head(Page, "dravik_info", "gauge",
       "The rotated entry and the dial-up provider; simulated=\"true\" when no real line is "
       "rotated.");
  Sample(Page,
         "dravik_info{entry=\"" + MetricsLabelValue(AStatus.Entry) + "\",provider=\"" +
             MetricsLabelValue(AStatus.Provider) + "\",simulated=\"" +
             (AStatus.Simulated ? "true" : "false") + "\"}",
         1);

  Head(Page, "dravik_phase", "gauge", "1 for the phase the rotation is in, 0 for the others.");
  for (const TPhase Phase : AllPhases)
    Sample(Page, std::string("dravik_phase{phase=\"") + TRotation::PhaseName(Phase) + "\"}",
           Phase == AStatus.Phase ? 1 : 0);

  Head(Page, "dravik_turns_total", "counter",
       "Turns ended: rotated (a new address) or not rotated (the redial limit reached).");
  Sample(Page, "dravik_turns_total{result=\"rotated\"}",
         static_cast<double>(AMetrics.TurnsRotated));
  Sample(Page, "dravik_turns_total{result=\"not-rotated\"}",
         static_cast<double>(AMetrics.TurnsNotRotated));
  Counter(Page, "dravik_dials_total", "Dials started.", AMetrics.Dials);

  Head(Page, "dravik_dial_failures_total", "counter",
       "Failed dials by the dial-up error code (0: no code, such as the dial's time limit).");
  for (const auto& [Code, Count] : AMetrics.DialFailuresByCode)
    Sample(Page, "dravik_dial_failures_total{code=\"" + std::to_string(Code) + "\"}",
           static_cast<double>(Count));
  Counter(Page, "dravik_hangup_failures_total",
          "Hang-ups the dial-up service refused, or that left the line up.",
          AMetrics.HangUpFailures);
  Counter(Page, "dravik_drops_total", "Lines that went down on their own while up.",
          AMetrics.Drops);
  Head(Page, "dravik_redials_total", "counter", "Redials within a turn, by their reason.");
  // Every reason has its series from the start, so that rates need no gaps.
  for (const char* Reason : {"repeated-address", "repeated-subnet", "repeated-subnet6"}) {
    const auto Found = AMetrics.Redials.find(Reason);
    Sample(Page, std::string("dravik_redials_total{reason=\"") + Reason + "\"}",
           Found == AMetrics.Redials.end() ? 0.0 : static_cast<double>(Found->second));
  }
  Counter(Page, "dravik_hook_runs_total", "Hook runs finished.", AMetrics.HookRuns);
  Counter(Page, "dravik_hook_failures_total",
          "Hook runs that failed: a non-zero exit, a crash, no start, or killed for time.",
          AMetrics.HookFailures);
  Counter(Page, "dravik_check_failures_total", "Address checks that failed.",
          AMetrics.CheckFailures);

  if (AMetrics.LastNewAddressMs >= 0) {
    Head(Page, "dravik_seconds_since_new_address", "gauge",
         "Seconds since the last verified new address.");
    Sample(Page, "dravik_seconds_since_new_address",
           static_cast<double>(std::max<int64_t>(0, ANowMs - AMetrics.LastNewAddressMs)) / 1000);
  }
  Histogram(Page, "dravik_dial_duration_seconds",
            "How long dials took, from the dial to the line up or the failure.",
            AMetrics.DialSeconds);
  Histogram(Page, "dravik_turn_duration_seconds",
            "How long turns took, from the hang-up to the verified new address.",
            AMetrics.TurnSeconds);
  return Page;
}
