#pragma once

// The rotation service's settings, as read from its configuration file.

#include <cstdint>
#include <string>
#include <vector>

#include "TFleetConfig.h"
#include "TSchedule.h"

struct TServiceConfig {
  // The phonebook entry the service rotates.
  std::string Entry;
  int OnlineSeconds = 60;
  int OfflineSeconds = 5;
  // How many recent verified addresses a new one must differ from.
  int DistinctFrom = 1;
  // How many redials one turn may take to get an address not seen recently.
  int RedialLimit = 3;
  // The wait after a failed dial doubles from the first to the longest.
  int RetryFirstSeconds = 5;
  int RetryLongestSeconds = 300;
  // A new address counts only when its network of this IPv4 prefix length
  // (0: off) differs from the recent ones'; the same for the line's IPv6
  // address at DistinctPrefix6.
  int DistinctPrefix = 0;
  int DistinctPrefix6 = 0;
  // Each online time is drawn from OnlineSeconds plus or minus this (0: a
  // fixed time), from a generator seeded with JitterSeed when given.
  int OnlineJitterSeconds = 0;
  bool JitterSeedGiven = false;
  uint64_t JitterSeed = 0;
  // Empty: rotate at any time. Outside the windows the line stays as it is,
  // or hung up with DownOutsideSchedule.
  std::vector<TScheduleWindow> Schedule;
  bool DownOutsideSchedule = false;
  // Not empty: rotate at these times instead of after OnlineSeconds (with
  // a schedule, those in its windows).
  std::vector<TScheduleTime> RotateAt;
  // Empty: the line's own address is the one verified and recorded.
  std::string CheckUrl;
  int CheckTimeoutSeconds = 10;
  // Program and arguments; empty: no hook.
  std::vector<std::string> Hook;
  int HookTimeoutSeconds = 30;
  // The hook also runs after a failure: a failed dial, check or hang-up, or
  // a turn that gave up on a repeated address.
  bool HookOnFailure = false;
  std::string ListenAddress = "127.0.0.1";
  int ListenPort = 7480;
  // Empty: "token" in the service's state folder.
  std::string TokenFile;
  // Where the history and the token live. Empty: systemd's StateDirectory,
  // else the user's or the system's default (see ServiceStateDir).
  std::string StateDir;
  int HistoryDays = 90;
  bool HangupOnExit = false;
  // listen = unix:PATH: the control interface on a Unix socket (mode 0660)
  // instead of TCP.
  std::string ListenSocket;
  // Listening on an address other machines reach must be asked for.
  bool AllowRemote = false;
  // The [fleet] section.
  TFleetConfig Fleet;
};

// Reads the settings from AText, the contents of the file AFileName, over
// the defaults in AConfig. Returns an empty text on success, else one line
// naming the file, the line and the key ("FILE:LINE: KEY: problem"); the
// first problem found stops the reading.
std::string ParseServiceConfig(const std::string& AFileName, const std::string& AText,
                               TServiceConfig& AConfig);

// Every key the file may hold, in byte order.
std::vector<std::string> ServiceConfigKeys();

// The warning owed when the control interface listens beyond this machine,
// else empty.
std::string RemoteListenWarning(const TServiceConfig& AConfig);

// Reads and parses the file; a missing or unreadable file is a problem too.
std::string LoadServiceConfig(const std::string& AFileName, TServiceConfig& AConfig);

// Splits a command line into its words: blanks separate them, double quotes
// keep blanks inside a word, a backslash takes the next character as it is.
// No shell ever sees it. False for an unterminated quote or trailing backslash.
bool SplitCommandLine(const std::string& AText, std::vector<std::string>& AWords);
