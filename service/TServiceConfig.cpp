#include "TServiceConfig.h"

#include <QHostAddress>
#include <QString>
#include <QUrl>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <string_view>

#include "IniText.h"
#include "ReadBoundedFile.h"

namespace {

// A configuration file is a few hundred bytes; anything far larger is not one.
constexpr size_t MaxFileBytes = 64 * 1024;
constexpr size_t MaxValueBytes = 4096;
constexpr const char* Section = "dravikd";

bool HasControlCharacters(const std::string& AText) {
  for (const unsigned char C : AText) {
    if (C < 0x20 || C == 0x7F) return true;
  }
  return false;
}

// A name from the file as a problem line shows it: every byte outside
// printable ASCII written as \xNN, so that the line cannot move the
// terminal's cursor, split a journal line or carry broken UTF-8 (every name
// the file may rightly hold is ASCII), and cut short, so that it stays one
// line.
std::string Shown(std::string_view AText, size_t MaxShown = 64) {
  static const char Hex[] = "0123456789abcdef";
  std::string Text;
  for (const unsigned char C : AText.substr(0, MaxShown)) {
    if (C < 0x20 || C >= 0x7F) {
      Text += "\\x";
      Text += Hex[C >> 4];
      Text += Hex[C & 0xF];
    } else {
      Text += static_cast<char>(C);
    }
  }
  if (AText.size() > MaxShown) Text += "...";
  return Text;
}

// Empty on success, else what is wrong with the value.
using TKeyReader = std::function<std::string(const std::string&, TServiceConfig&)>;

TKeyReader Whole(int TServiceConfig::*AField, int AMin, int AMax) {
  return [AField, AMin, AMax](const std::string& AValue, TServiceConfig& AConfig) {
    const std::string Range =
        "must be a whole number from " + std::to_string(AMin) + " to " + std::to_string(AMax);
    if (AValue.empty() || AValue.find_first_not_of("0123456789") != std::string::npos) return Range;
    errno = 0;
    const long long Number = std::strtoll(AValue.c_str(), nullptr, 10);
    if (errno != 0 || Number < AMin || Number > AMax) return Range;
    AConfig.*AField = static_cast<int>(Number);
    return std::string();
  };
}

TKeyReader YesNo(bool TServiceConfig::*AField) {
  return [AField](const std::string& AValue, TServiceConfig& AConfig) {
    if (AValue == "yes" || AValue == "true" || AValue == "1") {
      AConfig.*AField = true;
    } else if (AValue == "no" || AValue == "false" || AValue == "0") {
      AConfig.*AField = false;
    } else {
      return std::string("must be yes or no");
    }
    return std::string();
  };
}

bool IsLoopback(const std::string& AAddress) {
  QHostAddress Host;
  return Host.setAddress(QString::fromStdString(AAddress)) && Host.isLoopback();
}

const std::map<std::string, TKeyReader>& Readers() {
  static const std::map<std::string, TKeyReader> Table = {
      {"entry",
       [](const std::string& AValue, TServiceConfig& AConfig) {
         if (AValue.empty() || AValue.size() > 256)
           return std::string("must have 1 to 256 characters");
         AConfig.Entry = AValue;
         return std::string();
       }},
      {"online-seconds", Whole(&TServiceConfig::OnlineSeconds, 1, 31 * 86400)},
      // At least a second offline: the line must be seen down before it is dialled again.
      {"offline-seconds", Whole(&TServiceConfig::OfflineSeconds, 1, 31 * 86400)},
      {"distinct-from", Whole(&TServiceConfig::DistinctFrom, 0, 1000)},
      {"redial-limit", Whole(&TServiceConfig::RedialLimit, 0, 100)},
      {"distinct-prefix", Whole(&TServiceConfig::DistinctPrefix, 0, 32)},
      {"distinct-prefix6", Whole(&TServiceConfig::DistinctPrefix6, 0, 128)},
      {"online-jitter-seconds", Whole(&TServiceConfig::OnlineJitterSeconds, 0, 31 * 86400)},
      {"online-jitter-seed",
       [](const std::string& AValue, TServiceConfig& AConfig) {
         const std::string Form = "must be a whole number from 0 to 18446744073709551615";
         if (AValue.empty() || AValue.size() > 20 ||
             AValue.find_first_not_of("0123456789") != std::string::npos)
           return Form;
         errno = 0;
         const unsigned long long Seed = std::strtoull(AValue.c_str(), nullptr, 10);
         if (errno != 0) return Form;
         AConfig.JitterSeed = Seed;
         AConfig.JitterSeedGiven = true;
         return std::string();
       }},
      {"schedule",
       [](const std::string& AValue, TServiceConfig& AConfig) {
         // The problem quotes the item, which the file may have in any bytes.
         return Shown(ParseScheduleWindows(AValue, AConfig.Schedule), 300);
       }},
      {"outside-schedule",
       [](const std::string& AValue, TServiceConfig& AConfig) {
         if (AValue != "stay" && AValue != "down") return std::string("must be stay or down");
         AConfig.DownOutsideSchedule = AValue == "down";
         return std::string();
       }},
      {"rotate-at",
       [](const std::string& AValue, TServiceConfig& AConfig) {
         return Shown(ParseScheduleTimes(AValue, AConfig.RotateAt), 300);
       }},
      {"retry-first-seconds", Whole(&TServiceConfig::RetryFirstSeconds, 1, 86400)},
      {"retry-longest-seconds", Whole(&TServiceConfig::RetryLongestSeconds, 1, 86400)},
      {"check-url",
       [](const std::string& AValue, TServiceConfig& AConfig) {
         const QUrl Url(QString::fromStdString(AValue), QUrl::StrictMode);
         if (!AValue.empty() && (!Url.isValid() || Url.host().isEmpty() ||
                                 (Url.scheme() != "http" && Url.scheme() != "https")))
           return std::string("must be an http:// or https:// address");
         AConfig.CheckUrl = AValue;
         return std::string();
       }},
      {"check-timeout-seconds", Whole(&TServiceConfig::CheckTimeoutSeconds, 1, 300)},
      {"hook",
       [](const std::string& AValue, TServiceConfig& AConfig) {
         std::vector<std::string> Words;
         if (!SplitCommandLine(AValue, Words))
           return std::string("has an unfinished quote or escape");
         if (!Words.empty() && Words.front().rfind('/', 0) != 0)
           return std::string("must start with the program's absolute path");
         AConfig.Hook = Words;
         return std::string();
       }},
      {"hook-timeout-seconds", Whole(&TServiceConfig::HookTimeoutSeconds, 1, 3600)},
      {"hook-on-failure", YesNo(&TServiceConfig::HookOnFailure)},
      {"listen",
       [](const std::string& AValue, TServiceConfig& AConfig) {
         if (AValue.rfind("unix:", 0) == 0) {
           const std::string Path = AValue.substr(5);
           // sockaddr_un's room, its final zero byte left out.
           if (Path.rfind('/', 0) != 0 || Path.size() > 107)
             return std::string("unix: takes an absolute path of at most 107 bytes");
           AConfig.ListenSocket = Path;
           return std::string();
         }
         const std::string Form = "must be ADDRESS:PORT with a numeric IPv4 address, or unix:PATH";
         const size_t Colon = AValue.rfind(':');
         if (Colon == std::string::npos) return Form;
         const std::string Address = AValue.substr(0, Colon);
         QHostAddress Host;
         if (!Host.setAddress(QString::fromStdString(Address)) ||
             Host.protocol() != QAbstractSocket::IPv4Protocol)
           return Form;
         TServiceConfig Probe;
         if (!Whole(&TServiceConfig::ListenPort, 0, 65535)(AValue.substr(Colon + 1), Probe).empty())
           return Form;
         // As the socket takes it: "0" is 0.0.0.0.
         AConfig.ListenAddress = Host.toString().toStdString();
         AConfig.ListenPort = Probe.ListenPort;
         AConfig.ListenSocket.clear();
         return std::string();
       }},
      {"allow-remote", YesNo(&TServiceConfig::AllowRemote)},
      {"token-file",
       [](const std::string& AValue, TServiceConfig& AConfig) {
         if (AValue.rfind('/', 0) != 0) return std::string("must be an absolute path");
         AConfig.TokenFile = AValue;
         return std::string();
       }},
      {"state-dir",
       [](const std::string& AValue, TServiceConfig& AConfig) {
         if (AValue.rfind('/', 0) != 0) return std::string("must be an absolute path");
         AConfig.StateDir = AValue;
         return std::string();
       }},
      {"history-days", Whole(&TServiceConfig::HistoryDays, 1, 36500)},
      {"hangup-on-exit", YesNo(&TServiceConfig::HangupOnExit)},
  };
  return Table;
}

}  // namespace

bool SplitCommandLine(const std::string& AText, std::vector<std::string>& AWords) {
  AWords.clear();
  std::string Word;
  bool InWord = false;
  bool Quoted = false;
  for (size_t I = 0; I < AText.size(); ++I) {
    const char C = AText[I];
    if (C == '\\') {
      if (++I == AText.size()) return false;
      Word += AText[I];
      InWord = true;
    } else if (C == '"') {
      Quoted = !Quoted;
      InWord = true;
    } else if (!Quoted && (C == ' ' || C == '\t')) {
      if (InWord) AWords.push_back(Word);
      Word.clear();
      InWord = false;
    } else {
      Word += C;
      InWord = true;
    }
  }
  if (Quoted) return false;
  if (InWord) AWords.push_back(Word);
  return true;
}

std::string ParseServiceConfig(const std::string& AFileName, const std::string& AText,
                               TServiceConfig& AConfig) {
  auto Problem = [&AFileName](int ALine, const std::string& AKey, const std::string& AWhat) {
    std::string Text = AFileName;
    if (ALine > 0) Text += ":" + std::to_string(ALine);
    if (!AKey.empty()) Text += ": " + Shown(AKey);
    return Text + ": " + AWhat;
  };
  if (AText.size() > MaxFileBytes) return Problem(0, "", "the file is larger than 64 KiB");
  TServiceConfig Config = AConfig;
  std::set<std::string> Seen;
  int Number = 0;
  bool InFleet = false;
  int FleetLine = 0;
  std::map<std::string, int> FleetLines;
  // An editor's UTF-8 byte-order mark, as the window's settings take it.
  std::string_view Text = AText;
  if (Text.substr(0, 3) == "\xEF\xBB\xBF") Text.remove_prefix(3);
  for (const TIniLine& Raw : SplitIniLines(std::string(Text))) {
    ++Number;
    const std::string_view Line = IniTrim(Raw.Text);
    if (Line.empty() || Line[0] == '#' || Line[0] == ';') continue;
    std::string_view Name, Rest, KeyText, ValueText;
    if (IniSectionLine(Line, Name, Rest)) {
      if ((Name != Section && Name != "fleet") || !IniTrim(Rest).empty())
        return Problem(Number, "",
                       "unknown section [" + Shown(Name) + "] (there are [dravikd] and [fleet])");
      InFleet = Name == "fleet";
      if (InFleet) {
        if (Config.Fleet.Enabled) return Problem(Number, "", "[fleet] given twice");
        Config.Fleet.Enabled = true;
        FleetLine = Number;
      }
      continue;
    }
    if (!IniKeyLine(Line, KeyText, ValueText)) return Problem(Number, "", "expected KEY = VALUE");
    const std::string Key(KeyText);
    const std::string Value(ValueText);
    const auto Reader = Readers().find(Key);
    if (!InFleet && Reader == Readers().end()) return Problem(Number, Key, "unknown key");
    if (!Seen.insert((InFleet ? "fleet." : "") + Key).second)
      return Problem(Number, Key, "given twice");
    if (Value.size() > MaxValueBytes || HasControlCharacters(Value))
      return Problem(Number, Key, "the value is too long or holds control characters");
    // Read as part of the value, a comment after it would fail only later
    // (an entry that does not exist), so it is refused here.
    if (Value.find(" #") != std::string::npos)
      return Problem(Number, Key,
                     "a \"#\" after the value is no comment here: put comments on lines of "
                     "their own");
    const std::string Wrong =
        InFleet ? ReadFleetKey(Key, Value, Config.Fleet) : Reader->second(Value, Config);
    if (!Wrong.empty()) return Problem(Number, Key, Wrong);
    if (InFleet) FleetLines[Key] = Number;
  }
  if (Config.Fleet.Enabled) {
    std::string Key;
    const std::string Wrong = FinishFleetConfig(Config.Fleet, Key);
    if (!Wrong.empty()) {
      const auto Line = FleetLines.find(Key);
      return Problem(Line != FleetLines.end() ? Line->second : FleetLine, Key, Wrong);
    }
  }
  if (Config.Entry.empty())
    return Problem(0, "entry",
                   "not set: this file must name the phonebook entry to rotate (entry = NAME; "
                   "dravik-ras entries lists them)");
  if (Config.RetryLongestSeconds < Config.RetryFirstSeconds)
    return Problem(0, "retry-longest-seconds", "must not be below retry-first-seconds");
  if (Config.ListenSocket.empty() && !IsLoopback(Config.ListenAddress) && !Config.AllowRemote)
    return Problem(0, "listen",
                   Config.ListenAddress +
                       " is reached from other machines, and the token would travel in clear: "
                       "set allow-remote = yes to listen there anyway (better: listen on "
                       "127.0.0.1 and reach it through an SSH tunnel or a TLS proxy)");
  AConfig = Config;
  return {};
}

std::vector<std::string> ServiceConfigKeys() {
  std::vector<std::string> Keys;
  for (const auto& [Key, Reader] : Readers()) Keys.push_back(Key);
  return Keys;
}

std::string RemoteListenWarning(const TServiceConfig& AConfig) {
  if (!AConfig.ListenSocket.empty() || IsLoopback(AConfig.ListenAddress)) return {};
  return "the control interface listens on " + AConfig.ListenAddress + ":" +
         std::to_string(AConfig.ListenPort) +
         ", which other machines reach: the token travels in clear; reach it through an SSH "
         "tunnel or a TLS proxy instead";
}

std::string LoadServiceConfig(const std::string& AFileName, TServiceConfig& AConfig) {
  std::string Text;
  switch (ReadBoundedFile(AFileName, MaxFileBytes, Text)) {
    case TFileRead::Read:
      return ParseServiceConfig(AFileName, Text, AConfig);
    case TFileRead::Missing:
    case TFileRead::CannotOpen:
      return AFileName + ": cannot be read";
    case TFileRead::Refused:
      break;
  }
  return AFileName + ": not a plain file, or larger than 64 KiB";
}
