// The rotation service's configuration file: any text either gives
// settings within their ranges or one problem line, safe to show on a
// terminal or in the journal, and leaves the settings as they were.
//
// Input: the file's content.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "TServiceConfig.h"

namespace {

bool Same(const TServiceConfig& A, const TServiceConfig& B) {
  return A.Entry == B.Entry && A.OnlineSeconds == B.OnlineSeconds &&
         A.OfflineSeconds == B.OfflineSeconds && A.DistinctFrom == B.DistinctFrom &&
         A.RedialLimit == B.RedialLimit && A.RetryFirstSeconds == B.RetryFirstSeconds &&
         A.RetryLongestSeconds == B.RetryLongestSeconds && A.CheckUrl == B.CheckUrl &&
         A.CheckTimeoutSeconds == B.CheckTimeoutSeconds && A.Hook == B.Hook &&
         A.HookTimeoutSeconds == B.HookTimeoutSeconds && A.ListenAddress == B.ListenAddress &&
         A.ListenPort == B.ListenPort && A.TokenFile == B.TokenFile &&
         A.HistoryDays == B.HistoryDays && A.HangupOnExit == B.HangupOnExit &&
         A.DistinctPrefix == B.DistinctPrefix && A.DistinctPrefix6 == B.DistinctPrefix6 &&
         A.OnlineJitterSeconds == B.OnlineJitterSeconds && A.JitterSeedGiven == B.JitterSeedGiven &&
         A.JitterSeed == B.JitterSeed && A.Schedule == B.Schedule &&
         A.DownOutsideSchedule == B.DownOutsideSchedule && A.RotateAt == B.RotateAt;
}

bool InRange(int AValue, int AMin, int AMax) { return AValue >= AMin && AValue <= AMax; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  const std::string Text(reinterpret_cast<const char*>(AData), ASize);
  const std::string FileName = "/etc/dravik/dravikd.conf";
  TServiceConfig Config;
  const std::string Problem = ParseServiceConfig(FileName, Text, Config);
  if (!Problem.empty()) {
    if (!Same(Config, TServiceConfig())) std::abort();
    if (Problem.rfind(FileName + ":", 0) != 0 || Problem.size() > FileName.size() + 400)
      std::abort();
    for (const unsigned char C : Problem)
      if (C < 0x20 || C >= 0x7F) std::abort();
    return 0;
  }
  if (Config.Entry.empty() || Config.Entry.size() > 256) std::abort();
  if (!InRange(Config.OnlineSeconds, 1, 31 * 86400) ||
      !InRange(Config.OfflineSeconds, 1, 31 * 86400) || !InRange(Config.DistinctFrom, 0, 1000) ||
      !InRange(Config.RedialLimit, 0, 100) || !InRange(Config.RetryFirstSeconds, 1, 86400) ||
      !InRange(Config.RetryLongestSeconds, Config.RetryFirstSeconds, 86400) ||
      !InRange(Config.CheckTimeoutSeconds, 1, 300) ||
      !InRange(Config.HookTimeoutSeconds, 1, 3600) || !InRange(Config.ListenPort, 0, 65535) ||
      !InRange(Config.HistoryDays, 1, 36500))
    std::abort();
  if (!InRange(Config.DistinctPrefix, 0, 32) || !InRange(Config.DistinctPrefix6, 0, 128) ||
      !InRange(Config.OnlineJitterSeconds, 0, 31 * 86400))
    std::abort();
  // Windows and times as the schedule reckons with them.
  if (Config.Schedule.size() > MaxScheduleItems || Config.RotateAt.size() > MaxScheduleItems)
    std::abort();
  for (const TScheduleWindow& Window : Config.Schedule) {
    if (Window.Days == 0 || Window.Days > 0x7F || !InRange(Window.StartMinute, 0, 1439) ||
        !InRange(Window.EndMinute, 1, 1440) || Window.StartMinute == Window.EndMinute)
      std::abort();
  }
  for (const TScheduleTime& Time : Config.RotateAt) {
    if (Time.Days == 0 || Time.Days > 0x7F || !InRange(Time.Minute, 0, 1439)) std::abort();
  }
  if (!Config.Hook.empty() && Config.Hook.front().rfind('/', 0) != 0) std::abort();
  if (!Config.TokenFile.empty() && Config.TokenFile.front() != '/') std::abort();
  return 0;
}
