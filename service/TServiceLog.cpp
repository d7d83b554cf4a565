#include "TServiceLog.h"

#include <QDateTime>
#include <cstdio>
#include <cstdlib>

#include "IsoTime.h"

TServiceLog::TServiceLog(bool AJournal) : FJournal(AJournal) {}

bool TServiceLog::JournalFromEnvironment() {
  const char* Stream = std::getenv("JOURNAL_STREAM");
  return Stream != nullptr && *Stream != '\0';
}

std::string TServiceLog::Format(bool AJournal, TPriority APriority, const std::string& AText,
                                const std::string& ATime) {
  std::string Line;
  if (AJournal) {
    Line = "<" + std::to_string(static_cast<int>(APriority)) + ">";
  } else {
    // Without the journal's priorities, the word says what the line is.
    if (!ATime.empty()) Line = ATime + ' ';
    if (APriority <= LogError)
      Line += "error: ";
    else if (APriority == LogWarning)
      Line += "warning: ";
  }
  Line.reserve(Line.size() + AText.size() + 1);
  for (const unsigned char C : AText) Line += (C < 0x20 || C == 0x7F) ? '?' : static_cast<char>(C);
  return Line + '\n';
}

void TServiceLog::Write(TPriority APriority, const std::string& AText) {
  const std::string Line =
      Format(FJournal, APriority, AText,
             FJournal ? std::string() : LocalIsoTime(QDateTime::currentMSecsSinceEpoch()));
  std::fwrite(Line.data(), 1, Line.size(), stderr);
  std::fflush(stderr);
  if (Tap) Tap(APriority, AText);
}
