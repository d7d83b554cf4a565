#include "TRotationPolicy.h"

#include <algorithm>
#include <cstdio>

TRotationPolicy::TRotationPolicy(const TServiceConfig& AConfig, QTimeZone AZone)
    : FConfig(AConfig),
      FOnlineSeconds(AConfig.OnlineSeconds),
      FJitterMs(int64_t(AConfig.OnlineJitterSeconds) * 1000),
      FDownOutside(AConfig.DownOutsideSchedule),
      FAddresses(AConfig.DistinctFrom, AConfig.DistinctPrefix, AConfig.DistinctPrefix6),
      FJitter(AConfig.JitterSeedGiven ? AConfig.JitterSeed : TJitter::RandomSeed()),
      FSchedule(AConfig.Schedule, AConfig.RotateAt, std::move(AZone)) {}

namespace {

std::string Clock(int AMinute) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "%02d:%02d", AMinute / 60, AMinute % 60);
  return Text;
}

std::string Days(uint8_t ADays) {
  static const char* const Names[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
  if (ADays == 0x7F) return {};
  std::string Text;
  for (int Day = 0; Day < 7; ++Day)
    if ((ADays & (1 << Day)) != 0) Text += std::string(Text.empty() ? "" : ",") + Names[Day];
  return Text + " ";
}

}  // namespace

std::vector<std::string> TRotationPolicy::Describe() const {
  std::vector<std::string> Lines;
  if (FConfig.DistinctPrefix > 0 || FConfig.DistinctPrefix6 > 0) {
    std::string Line = "a new address must also leave the recent ones' subnets:";
    if (FConfig.DistinctPrefix > 0) Line += " IPv4 /" + std::to_string(FConfig.DistinctPrefix);
    if (FConfig.DistinctPrefix6 > 0) Line += " IPv6 /" + std::to_string(FConfig.DistinctPrefix6);
    Lines.push_back(Line);
  }
  if (FJitterMs > 0) {
    Lines.push_back("online times drawn from " +
                    (FConfig.RotateAt.empty() ? std::to_string(FOnlineSeconds) + " s"
                                              : std::string("the time to the next rotate-at")) +
                    " +- " + std::to_string(FConfig.OnlineJitterSeconds) + " s, seed " +
                    std::to_string(FJitter.Seed()));
  }
  if (!FConfig.Schedule.empty()) {
    std::string Line = "rotating only in the windows";
    for (const TScheduleWindow& Window : FConfig.Schedule)
      Line +=
          " " + Days(Window.Days) + Clock(Window.StartMinute) + "-" + Clock(Window.EndMinute) + ",";
    Line.back() = ';';
    Lines.push_back(Line + " outside them the line " +
                    (FDownOutside ? "is down" : "stays as it is") + " (time zone " +
                    FSchedule.ZoneName() + ")");
  }
  if (!FConfig.RotateAt.empty()) {
    std::string Line = "rotating at";
    for (const TScheduleTime& Time : FConfig.RotateAt)
      Line += " " + Days(Time.Days) + Clock(Time.Minute) + ",";
    Line.pop_back();
    Lines.push_back(Line + " (time zone " + FSchedule.ZoneName() + ")");
  }
  return Lines;
}

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
