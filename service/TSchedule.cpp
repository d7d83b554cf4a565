#include "TSchedule.h"

#include <QDateTime>
#include <algorithm>
#include <cctype>
#include <climits>
#include <optional>
#include <string_view>

namespace {

constexpr int64_t DayMs = 86400000;
constexpr const char* DayNames[] = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};

std::string_view Trim(std::string_view AText) {
  while (!AText.empty() && (AText.front() == ' ' || AText.front() == '\t')) AText.remove_prefix(1);
  while (!AText.empty() && (AText.back() == ' ' || AText.back() == '\t')) AText.remove_suffix(1);
  return AText;
}

std::vector<std::string_view> Split(std::string_view AText, char ASeparator) {
  std::vector<std::string_view> Parts;
  for (;;) {
    const size_t At = AText.find(ASeparator);
    Parts.push_back(AText.substr(0, At));
    if (At == std::string_view::npos) return Parts;
    AText.remove_prefix(At + 1);
  }
}

std::vector<std::string_view> Words(std::string_view AText) {
  std::vector<std::string_view> Found;
  for (std::string_view Part : Split(AText, ' ')) {
    for (std::string_view Word : Split(Part, '\t'))
      if (!Word.empty()) Found.push_back(Word);
  }
  return Found;
}

// An item or a part of it as a problem quotes it: cut short, so that the
// problem stays one short line.
std::string Quoted(std::string_view AText) {
  constexpr size_t MaxQuoted = 40;
  return "\"" + std::string(AText.substr(0, MaxQuoted)) +
         (AText.size() > MaxQuoted ? "...\"" : "\"");
}

std::optional<int> DayIndex(std::string_view AText) {
  if (AText.size() != 3) return std::nullopt;
  std::string Lower;
  for (const char C : AText)
    Lower += static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
  for (int Index = 0; Index < 7; ++Index)
    if (Lower == DayNames[Index]) return Index;
  return std::nullopt;
}

// "Mon", "Fri-Mon": the days as bits; empty on success, else the problem.
std::string ParseDays(std::string_view AText, uint8_t& ADays) {
  const size_t Dash = AText.find('-');
  const std::string_view First = AText.substr(0, Dash);
  const std::string_view Last = Dash == std::string_view::npos ? First : AText.substr(Dash + 1);
  const auto From = DayIndex(First);
  const auto To = DayIndex(Last);
  if (!From || !To)
    return Quoted(AText) +
           " is no day or range of days (Mon Tue Wed Thu Fri Sat Sun, as in Mon-Fri)";
  for (int Day = *From;; Day = (Day + 1) % 7) {
    ADays |= static_cast<uint8_t>(1u << Day);
    if (Day == *To) break;
  }
  return {};
}

// "8:00", "08:00", and with AEnd "24:00": minutes after midnight.
std::optional<int> ParseTime(std::string_view AText, bool AEnd) {
  const size_t Colon = AText.find(':');
  if (Colon == std::string_view::npos || Colon == 0 || Colon > 2 || AText.size() != Colon + 3)
    return std::nullopt;
  int Hour = 0;
  int Minute = 0;
  for (size_t Index = 0; Index < AText.size(); ++Index) {
    if (Index == Colon) continue;
    const char C = AText[Index];
    if (C < '0' || C > '9') return std::nullopt;
    int& Part = Index < Colon ? Hour : Minute;
    Part = Part * 10 + (C - '0');
  }
  if (Minute > 59) return std::nullopt;
  if (Hour == 24 && Minute == 0 && AEnd) return 1440;
  if (Hour > 23) return std::nullopt;
  return Hour * 60 + Minute;
}

bool LooksLikeTime(std::string_view AText) {
  return !AText.empty() && AText.front() >= '0' && AText.front() <= '9';
}

// Walks the items: AOnTime gets each item's days and its time text and
// returns the problem with it, if any.
template <typename TOnTime>
std::string ParseItems(const std::string& AText, const char* AExample, TOnTime AOnTime) {
  const std::string_view Whole = Trim(AText);
  if (Whole.empty()) return {};
  const std::vector<std::string_view> Items = Split(Whole, ',');
  if (Items.size() > MaxScheduleItems)
    return "more than " + std::to_string(MaxScheduleItems) + " items";
  uint8_t Pending = 0;
  for (std::string_view Raw : Items) {
    const std::string_view Item = Trim(Raw);
    if (Item.empty()) return "an empty item (two commas in a row, or one at an end)";
    const std::vector<std::string_view> Parts = Words(Item);
    uint8_t Days = Pending;
    std::string_view Time;
    if (Parts.size() == 1 && LooksLikeTime(Parts[0])) {
      Time = Parts[0];
    } else if (Parts.size() <= 2) {
      const std::string Problem = ParseDays(Parts[0], Days);
      if (!Problem.empty()) return Problem;
      if (Parts.size() == 2) Time = Parts[1];
    } else {
      return Quoted(Item) + " is not DAYS TIME (as in " + AExample + ")";
    }
    if (Time.empty()) {
      // Days alone: they belong to the next item.
      Pending = Days;
      continue;
    }
    Pending = 0;
    const std::string Problem = AOnTime(Days == 0 ? 0x7F : Days, Time);
    if (!Problem.empty()) return Problem;
  }
  if (Pending != 0) return "days at the end without a time (as in " + std::string(AExample) + ")";
  return {};
}

}  // namespace

std::string ParseScheduleWindows(const std::string& AText, std::vector<TScheduleWindow>& AWindows) {
  std::vector<TScheduleWindow> Windows;
  const std::string Problem =
      ParseItems(AText, "Mon-Fri 08:00-20:00", [&](uint8_t ADays, std::string_view ATime) {
        const size_t Dash = ATime.find('-');
        const auto Start = ParseTime(ATime.substr(0, Dash), false);
        const auto End =
            Dash == std::string_view::npos ? std::nullopt : ParseTime(ATime.substr(Dash + 1), true);
        if (!Start || !End)
          return Quoted(ATime) +
                 " is no window START-END of times from 00:00 to 24:00 (as in 08:00-20:00)";
        if (*Start == *End && *Start != 0)
          return Quoted(ATime) + " starts where it ends; a whole day is 00:00-24:00";
        // Midnight as an end is the day's end.
        Windows.push_back({ADays, *Start, *End == 0 ? 1440 : *End});
        return std::string();
      });
  if (Problem.empty()) AWindows = std::move(Windows);
  return Problem;
}

std::string ParseScheduleTimes(const std::string& AText, std::vector<TScheduleTime>& ATimes) {
  std::vector<TScheduleTime> Times;
  const std::string Problem =
      ParseItems(AText, "Mon-Fri 03:00", [&](uint8_t ADays, std::string_view ATime) {
        const auto Minute = ParseTime(ATime, false);
        if (!Minute) return Quoted(ATime) + " is no time from 00:00 to 23:59 (as in 03:00)";
        Times.push_back({ADays, *Minute});
        return std::string();
      });
  if (Problem.empty()) ATimes = std::move(Times);
  return Problem;
}

TSchedule::TSchedule(std::vector<TScheduleWindow> AWindows, std::vector<TScheduleTime> ATimes,
                     QTimeZone AZone)
    : FWindows(std::move(AWindows)), FTimes(std::move(ATimes)), FZone(std::move(AZone)) {
  if (!FZone.isValid()) FZone = QTimeZone::utc();
}

int TSchedule::OffsetAt(int64_t AMs) const {
  return FZone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(AMs, QTimeZone::utc()));
}

int64_t TSchedule::Moment(const QDate& ADate, int AMinute) const {
  // The wall-clock time as if it were UTC; the zone's offsets near it say
  // which moments show it.
  const int64_t Wall = QDate(1970, 1, 1).daysTo(ADate) * DayMs + int64_t(AMinute) * 60000;
  const int Offsets[] = {OffsetAt(Wall - DayMs), OffsetAt(Wall), OffsetAt(Wall + DayMs)};
  int64_t Found = INT64_MAX;
  for (const int Offset : Offsets) {
    const int64_t Candidate = Wall - int64_t(Offset) * 1000;
    if (OffsetAt(Candidate) == Offset) Found = std::min(Found, Candidate);
  }
  if (Found != INT64_MAX) return Found;
  // Skipped by the clocks going forward: the moment they jumped, which
  // lies between the time read with the offset after and the one before.
  const int Before = OffsetAt(Wall - DayMs);
  int64_t Low = Wall - int64_t(*std::max_element(std::begin(Offsets), std::end(Offsets))) * 1000;
  int64_t High = Wall - int64_t(*std::min_element(std::begin(Offsets), std::end(Offsets))) * 1000;
  // Zones change their offsets at whole seconds, and both ends are whole
  // seconds.
  while (High - Low > 1000) {
    const int64_t Middle = Low + (High - Low) / 2000 * 1000;
    if (OffsetAt(Middle) == Before) {
      Low = Middle;
    } else {
      High = Middle;
    }
  }
  return High;
}

const std::vector<TSchedule::TSpan>& TSchedule::Spans(int64_t AMs) const {
  const QDate Today = QDateTime::fromMSecsSinceEpoch(AMs, FZone).date();
  if (Today == FSpansDay) return FSpans;
  std::vector<TSpan> Found;
  for (int Day = -1; Day <= 8; ++Day) {
    const QDate Date = Today.addDays(Day);
    const int Bit = 1 << (Date.dayOfWeek() - 1);
    for (const TScheduleWindow& Window : FWindows) {
      if ((Window.Days & Bit) == 0) continue;
      TSpan Span;
      Span.StartMs = Moment(Date, Window.StartMinute);
      Span.EndMs = Window.EndMinute <= Window.StartMinute
                       ? Moment(Date.addDays(1), Window.EndMinute)
                       : Moment(Date, Window.EndMinute);
      // A window that lies wholly in a skipped hour does not happen.
      if (Span.EndMs > Span.StartMs) Found.push_back(Span);
    }
  }
  std::sort(Found.begin(), Found.end(),
            [](const TSpan& A, const TSpan& B) { return A.StartMs < B.StartMs; });
  std::vector<TSpan> Merged;
  for (const TSpan& Span : Found) {
    if (!Merged.empty() && Span.StartMs <= Merged.back().EndMs) {
      Merged.back().EndMs = std::max(Merged.back().EndMs, Span.EndMs);
    } else {
      Merged.push_back(Span);
    }
  }
  FSpans = std::move(Merged);
  FSpansDay = Today;
  return FSpans;
}

bool TSchedule::WindowAt(int64_t AMs, TSpan& ASpan) const {
  if (FWindows.empty()) {
    ASpan = {INT64_MIN, INT64_MAX};
    return true;
  }
  for (const TSpan& Span : Spans(AMs)) {
    if (Span.StartMs <= AMs && AMs < Span.EndMs) {
      ASpan = Span;
      return true;
    }
  }
  return false;
}

int64_t TSchedule::NextWindowStart(int64_t AMs) const {
  for (const TSpan& Span : Spans(AMs))
    if (Span.StartMs > AMs) return Span.StartMs;
  return -1;
}

int64_t TSchedule::NextTime(int64_t AMs) const {
  if (FTimes.empty()) return -1;
  const QDate Today = QDateTime::fromMSecsSinceEpoch(AMs, FZone).date();
  int64_t Next = -1;
  for (int Day = -1; Day <= 8; ++Day) {
    const QDate Date = Today.addDays(Day);
    const int Bit = 1 << (Date.dayOfWeek() - 1);
    for (const TScheduleTime& Time : FTimes) {
      if ((Time.Days & Bit) == 0) continue;
      const int64_t At = Moment(Date, Time.Minute);
      if (At > AMs && (Next < 0 || At < Next)) Next = At;
    }
  }
  return Next;
}
