#pragma once

// When the rotation may rotate, in local time: weekly windows ("schedule =
// Mon-Fri 08:00-20:00, Sat 10:00-14:00") or fixed times ("rotate-at = 03:00,
// 15:00").
//
// The grammar, shared by both keys: items separated by commas; an item is
// DAYS, TIME or DAYS TIME. DAYS is a day (Mon Tue Wed Thu Fri Sat Sun, in
// any case) or a range of days (Fri-Mon wraps over the weekend); items that
// are days alone add their days to the next item ("Mon, Wed, Fri
// 08:00-12:00"). Without days an item holds every day. TIME is H:MM or
// HH:MM; a window is START-END, and an END at or before START ends on the
// next day (22:00-06:00 runs over midnight, its days being the days it
// starts on); 24:00 is the end of a day, and so is 00:00 as an end.
//
// Times are wall-clock times of the zone given. A time that a daylight-
// saving change skips (02:30 on the night the clocks go forward) is taken
// as the moment the clocks jump; a time that comes twice (when they go
// back) is taken at its first occurrence, so that a rotation never happens
// twice for one time.

#include <QDate>
#include <QTimeZone>
#include <cstdint>
#include <string>
#include <vector>

struct TScheduleWindow {
  uint8_t Days = 0x7F;  // bit 0 Monday ... bit 6 Sunday
  int StartMinute = 0;  // 0 to 1439
  int EndMinute = 0;    // 1 to 1440; at or before StartMinute: the next day
  bool operator==(const TScheduleWindow& AOther) const {
    return Days == AOther.Days && StartMinute == AOther.StartMinute &&
           EndMinute == AOther.EndMinute;
  }
};

struct TScheduleTime {
  uint8_t Days = 0x7F;
  int Minute = 0;  // 0 to 1439
  bool operator==(const TScheduleTime& AOther) const {
    return Days == AOther.Days && Minute == AOther.Minute;
  }
};

// Read the values of schedule and rotate-at; empty on success, else what
// is wrong, naming the item. At most MaxScheduleItems items.
constexpr size_t MaxScheduleItems = 64;
std::string ParseScheduleWindows(const std::string& AText, std::vector<TScheduleWindow>& AWindows);
std::string ParseScheduleTimes(const std::string& AText, std::vector<TScheduleTime>& ATimes);

class TSchedule {
 public:
  // Times in milliseconds since the epoch (UTC).
  struct TSpan {
    int64_t StartMs = 0;
    int64_t EndMs = 0;
  };

  TSchedule(std::vector<TScheduleWindow> AWindows, std::vector<TScheduleTime> ATimes,
            QTimeZone AZone = QTimeZone::systemTimeZone());

  bool HasWindows() const { return !FWindows.empty(); }
  bool HasTimes() const { return !FTimes.empty(); }
  std::string ZoneName() const { return FZone.id().toStdString(); }

  // The window AMs falls in (windows that touch or overlap counted as one),
  // looked for a week around it; false outside every window. Without
  // windows every moment is in one that has no end (EndMs is INT64_MAX).
  bool WindowAt(int64_t AMs, TSpan& ASpan) const;
  // The start of the first window after AMs; -1 when there is none within
  // a week.
  int64_t NextWindowStart(int64_t AMs) const;
  // The first of the fixed times after AMs; -1 when there are none.
  int64_t NextTime(int64_t AMs) const;

  // The wall-clock time of a day in this zone as a moment, by the rules
  // above; ADate's day AMinute minutes after its midnight (1440: the next
  // day's midnight).
  int64_t Moment(const QDate& ADate, int AMinute) const;

 private:
  // The windows' spans that start from the day before AMs's to a week after;
  // kept for the day last asked about, as the status asks often.
  const std::vector<TSpan>& Spans(int64_t AMs) const;
  int OffsetAt(int64_t AMs) const;

  std::vector<TScheduleWindow> FWindows;
  std::vector<TScheduleTime> FTimes;
  QTimeZone FZone;
  mutable QDate FSpansDay;
  mutable std::vector<TSpan> FSpans;
};
