#include "IsoTime.h"

#include <time.h>

#include <QDateTime>

QString IsoTimeUtc(int64_t AMs) {
  return QDateTime::fromMSecsSinceEpoch(AMs, Qt::UTC).toString(Qt::ISODateWithMs);
}

std::string LocalIsoTime(int64_t AMs) {
  const time_t Seconds = static_cast<time_t>(AMs / 1000);
  tm Local{};
  localtime_r(&Seconds, &Local);
  char Text[40];
  const size_t Length = strftime(Text, sizeof Text, "%Y-%m-%dT%H:%M:%S%z", &Local);
  if (Length < 5) return {};
  // strftime writes the offset as +0100; ISO 8601's extended form has a colon.
  std::string Result(Text, Length);
  Result.insert(Result.size() - 2, ":");
  return Result;
}
