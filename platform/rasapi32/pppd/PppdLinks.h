#pragma once

// pppd's running links as its files in the run folder show them: a link pid
// file "ppp-NAME.pid" (the pid, then the interface, one a line) for a pppd
// started with "linkname NAME", and a unit pid file "pppN.pid" (the pid) for
// each interface. A pid file only names a process; whether that process is
// a pppd for the link is told by its command line, since a pid left in a
// stale file may have been taken by any other process since.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace dravik::ras::pppd {

enum class TPidFileKind { None, Link, Unit };

// What a file name in the run folder is: a link pid file (ALinkName gets
// NAME) or a unit pid file (AInterface gets pppN), or neither.
TPidFileKind KindOfPidFileName(const std::string& AFileName, std::string& ALinkName,
                               std::string& AInterface);

// A pid file's text: a pid (1 to 4194304) on the first line and, for a link
// pid file, the interface name on the second. False when it is not so.
bool ParsePidFile(std::string_view AText, TPidFileKind AKind, pid_t& APid, std::string& AInterface);

// The arguments of a /proc/PID/cmdline text.
std::vector<std::string> SplitCommandLine(std::string_view AText);

// The peer a command line calls when it is pppd's (its program's last part
// is "pppd", or the program is AProgram) with "call NAME"; ALinkName gets
// its linkname argument, if any. Empty when the command line is not such.
std::string PeerOfCommandLine(const std::vector<std::string>& AArgs, const std::string& AProgram,
                              std::string& ALinkName);

// A pid file of the run folder as read.
struct TPidFile {
  TPidFileKind Kind = TPidFileKind::None;
  // The link name of a link pid file.
  std::string LinkName;
  std::string Interface;
  pid_t Pid = 0;
};

// The readable pid files of ARunDir (not links to files elsewhere).
std::vector<TPidFile> ReadPidFiles(const std::string& ARunDir);

// Whether the command line AArgs makes a process the pppd of AEntry when
// found through the pid file AFile: it calls AEntry and, for a link pid
// file, has the file's link name (on its command line, else the peer's
// name, as the peer file's own linkname then is for Dravik's peers).
bool IsPppdOf(const std::vector<std::string>& AArgs, const std::string& AEntry,
              const TPidFile& AFile, const std::string& AProgram);

// A running pppd for a peer, found through a pid file.
struct TPppdLink {
  std::string Entry;
  pid_t Pid = 0;
  // The interface, when known.
  std::string Interface;
};

// The pppd links the pid files name, each one checked against its
// process's command line now: one for each peer, a link pid file's before a
// unit pid file's. In order of the peers' names.
std::vector<TPppdLink> LinksOf(const std::vector<TPidFile>& AFiles, const std::string& AProgram);

// Opens a pidfd of the process AFile names and then checks it with IsPppdOf.
// Returns the pidfd (the caller closes it) of a process that passed, else
// -1. Signalled through the pidfd, a process is never one that merely took
// over the pid later.
int OpenCheckedPppd(const TPidFile& AFile, const std::string& AEntry, const std::string& AProgram);

// What ending a link's pppd came to.
struct TLinkEnd {
  // A pppd of the link was sent SIGTERM.
  bool Signalled = false;
  // Every one signalled ended within the time.
  bool Ended = true;
  // A pppd of the link was not this caller's to signal.
  bool Denied = false;
};

// Sends SIGTERM to every pppd of AEntry that the pid files of ARunDir name,
// each checked by OpenCheckedPppd, and waits at most AWait for them to end
// (less when AStopFd becomes readable).
TLinkEnd EndPppdOf(const std::string& ARunDir, const std::string& AEntry,
                   const std::string& AProgram, std::chrono::milliseconds AWait, int AStopFd);

}  // namespace dravik::ras::pppd
