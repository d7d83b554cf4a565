#pragma once

// Times as the service writes them: ISO 8601, in UTC for the control
// interface's answers, in local time with its offset for log lines read by
// a person.

#include <QString>
#include <cstdint>
#include <string>

// 2026-12-11T07:40:17.250Z
QString IsoTimeUtc(int64_t AMs);

// 2026-12-11T08:40:17+01:00
std::string LocalIsoTime(int64_t AMs);
