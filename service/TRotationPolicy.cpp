#include "TRotationPolicy.h"

#include <algorithm>

TRotationPolicy::TRotationPolicy(const TServiceConfig& AConfig, QTimeZone AZone)
    : FOnlineSeconds(AConfig.OnlineSeconds),
      FJitterMs(int64_t(AConfig.OnlineJitterSeconds) * 1000),
      FDownOutside(AConfig.DownOutsideSchedule),
      FAddresses(AConfig.DistinctFrom, AConfig.DistinctPrefix, AConfig.DistinctPrefix6),
      FJitter(AConfig.JitterSeedGiven ? AConfig.JitterSeed : TJitter::RandomSeed()),
      FSchedule(AConfig.Schedule, AConfig.RotateAt, std::move(AZone)) {}

void TRotationPolicy::BeginOnline(uint64_t ANowMs, int64_t AWallMs) {
  FEndNowMs = FEndWallMs = FSlotMs = -1;
  if (FSchedule.HasTimes()) {
    FSlotMs = FSchedule.NextTime(std::max(AWallMs, FLastSlotMs));
    if (FSlotMs >= 0) {
      FDrawnMs = FJitter.Draw(FSlotMs - AWallMs, FJitterMs);
      FEndWallMs = AWallMs + FDrawnMs;
      return;
    }
  }
  FDrawnMs = FJitter.Draw(FOnlineSeconds * 1000, FJitterMs);
  FEndNowMs = static_cast<int64_t>(ANowMs) + FDrawnMs;
}

TRotationPolicy::TStep TRotationPolicy::OnlineStep(uint64_t ANowMs, int64_t AWallMs,
                                                   int64_t& AWaitMs) {
  AWaitMs = 0;
  TSchedule::TSpan Window;
  if (!FSchedule.WindowAt(AWallMs, Window)) return TStep::LeaveWindow;
  const int64_t Now = static_cast<int64_t>(ANowMs);
  if ((FEndNowMs >= 0 && Now >= FEndNowMs) || (FEndWallMs >= 0 && AWallMs >= FEndWallMs)) {
    if (FSlotMs >= 0) FLastSlotMs = std::max(FLastSlotMs, FSlotMs);
    return TStep::Rotate;
  }
  int64_t Wait = INT64_MAX;
  if (FEndNowMs >= 0) Wait = FEndNowMs - Now;
  if (FEndWallMs >= 0) Wait = std::min({Wait, FEndWallMs - AWallMs, RecheckMs});
  if (FSchedule.HasWindows()) Wait = std::min({Wait, Window.EndMs - AWallMs, RecheckMs});
  AWaitMs = Wait;
  return TStep::Wait;
}

bool TRotationPolicy::InWindow(int64_t AWallMs) const {
  TSchedule::TSpan Window;
  return FSchedule.WindowAt(AWallMs, Window);
}

TRotationPolicy::TStep TRotationPolicy::OutsideStep(int64_t AWallMs, int64_t& AWaitMs) const {
  AWaitMs = 0;
  if (InWindow(AWallMs)) return TStep::EnterWindow;
  const int64_t Start = FSchedule.NextWindowStart(AWallMs);
  AWaitMs = Start < 0 ? RecheckMs : std::min(Start - AWallMs, RecheckMs);
  return TStep::Wait;
}

int64_t TRotationPolicy::OnlineLeftMs(uint64_t ANowMs, int64_t AWallMs) const {
  int64_t Left = -1;
  auto Take = [&Left](int64_t AMs) { Left = Left < 0 ? AMs : std::min(Left, AMs); };
  if (FEndNowMs >= 0) Take(std::max<int64_t>(0, FEndNowMs - static_cast<int64_t>(ANowMs)));
  if (FEndWallMs >= 0) Take(std::max<int64_t>(0, FEndWallMs - AWallMs));
  TSchedule::TSpan Window;
  if (FSchedule.HasWindows() && FSchedule.WindowAt(AWallMs, Window))
    Take(std::max<int64_t>(0, Window.EndMs - AWallMs));
  return Left;
}

int64_t TRotationPolicy::OutsideLeftMs(int64_t AWallMs) const {
  const int64_t Start = FSchedule.NextWindowStart(AWallMs);
  return Start < 0 ? -1 : std::max<int64_t>(0, Start - AWallMs);
}
