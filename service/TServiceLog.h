#pragma once

// The service's log: one line an event on standard error. Started by systemd
// (JOURNAL_STREAM set) each line carries the journal's <N> priority prefix
// and the journal adds the time; elsewhere each line starts with the local
// time in ISO 8601, so that a log kept in a file says when things happened,
// and "error: " or "warning: " says what the priority would.

#include <functional>
#include <string>

class TServiceLog {
 public:
  // syslog priorities, as the journal reads them.
  enum TPriority { LogError = 3, LogWarning = 4, LogNotice = 5, LogInfo = 6, LogDebug = 7 };

  // AJournal: write priority prefixes.
  explicit TServiceLog(bool AJournal);
  // Journal prefixes when the environment says the journal reads us.
  static bool JournalFromEnvironment();

  void Write(TPriority APriority, const std::string& AText);
  void Error(const std::string& AText) { Write(LogError, AText); }
  void Warning(const std::string& AText) { Write(LogWarning, AText); }
  void Info(const std::string& AText) { Write(LogInfo, AText); }

  // Also receives every line, for tests; the line without its prefix.
  std::function<void(TPriority, const std::string&)> Tap;

  // The line as written: control characters become '?', so that text from a
  // hook, a web answer or the platform cannot forge further lines.
  // ATime (empty: none) goes before the text outside the journal.
  static std::string Format(bool AJournal, TPriority APriority, const std::string& AText,
                            const std::string& ATime = {});

 private:
  bool FJournal;
};
