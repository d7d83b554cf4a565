#include "PppdLinks.h"

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>

#include "PppdPeers.h"
#include "RasTexts.h"
#include "ReadBoundedFile.h"

namespace dravik::ras::pppd {

namespace {

constexpr size_t MaxPidFileBytes = 4096;
constexpr size_t MaxCommandLineBytes = 64 * 1024;
constexpr long MaxPid = 4194304;

bool StartsWith(const std::string& AText, std::string_view AStart) {
  return AText.compare(0, AStart.size(), AStart) == 0;
}

bool EndsWith(const std::string& AText, std::string_view AEnd) {
  return AText.size() >= AEnd.size() &&
         AText.compare(AText.size() - AEnd.size(), AEnd.size(), AEnd) == 0;
}

std::string_view LineOf(std::string_view AText, size_t& AAt) {
  const size_t End = AText.find('\n', AAt);
  const std::string_view Line =
      AText.substr(AAt, End == std::string_view::npos ? std::string_view::npos : End - AAt);
  AAt = End == std::string_view::npos ? AText.size() : End + 1;
  return Line;
}

std::string Trimmed(std::string_view AText) {
  const size_t First = AText.find_first_not_of(" \t\r");
  if (First == std::string_view::npos) return {};
  const size_t Last = AText.find_last_not_of(" \t\r");
  return std::string(AText.substr(First, Last - First + 1));
}

int PidfdOpen(pid_t APid) { return static_cast<int>(syscall(SYS_pidfd_open, APid, 0)); }

bool Exited(int APidfd) {
  pollfd Fd = {APidfd, POLLIN, 0};
  return poll(&Fd, 1, 0) != 0;
}

// The process's command line, read now; empty when it is gone.
std::vector<std::string> CommandLineOf(pid_t APid) {
  std::string Text;
  if (ReadBoundedFile("/proc/" + std::to_string(APid) + "/cmdline", MaxCommandLineBytes, Text) !=
      TFileRead::Read) {
    return {};
  }
  return SplitCommandLine(Text);
}

}  // namespace

TPidFileKind KindOfPidFileName(const std::string& AFileName, std::string& ALinkName,
                               std::string& AInterface) {
  ALinkName.clear();
  AInterface.clear();
  if (!EndsWith(AFileName, ".pid") || !StartsWith(AFileName, "ppp")) return TPidFileKind::None;
  const std::string Middle = AFileName.substr(3, AFileName.size() - 7);
  if (Middle.size() > 1 && Middle[0] == '-') {
    if (!IsPeerName(Middle.substr(1))) return TPidFileKind::None;
    ALinkName = Middle.substr(1);
    return TPidFileKind::Link;
  }
  if (Middle.empty() || Middle.size() > 6) return TPidFileKind::None;
  for (char Char : Middle) {
    if (Char < '0' || Char > '9') return TPidFileKind::None;
  }
  AInterface = "ppp" + Middle;
  return TPidFileKind::Unit;
}

bool ParsePidFile(std::string_view AText, TPidFileKind AKind, pid_t& APid,
                  std::string& AInterface) {
  size_t At = 0;
  const std::string First = Trimmed(LineOf(AText, At));
  if (First.empty() || First.size() > 7) return false;
  long Pid = 0;
  for (char Char : First) {
    if (Char < '0' || Char > '9') return false;
    Pid = Pid * 10 + (Char - '0');
  }
  if (Pid < 1 || Pid > MaxPid) return false;
  APid = static_cast<pid_t>(Pid);
  if (AKind == TPidFileKind::Link) {
    const std::string Interface = Trimmed(LineOf(AText, At));
    if (!IsInterfaceName(Interface)) return false;
    AInterface = Interface;
  }
  return true;
}

std::vector<std::string> SplitCommandLine(std::string_view AText) {
  std::vector<std::string> Args;
  size_t Start = 0;
  while (Start < AText.size()) {
    const size_t End = AText.find('\0', Start);
    Args.emplace_back(AText.substr(Start, End == std::string_view::npos ? End : End - Start));
    if (End == std::string_view::npos) break;
    Start = End + 1;
  }
  return Args;
}

std::string PeerOfCommandLine(const std::vector<std::string>& AArgs, const std::string& AProgram,
                              std::string& ALinkName) {
  ALinkName.clear();
  if (AArgs.empty()) return {};
  const std::string& Program = AArgs[0];
  const size_t Slash = Program.rfind('/');
  const std::string Base = Slash == std::string::npos ? Program : Program.substr(Slash + 1);
  if (Base != "pppd" && Program != AProgram) return {};
  std::string Peer;
  for (size_t Index = 1; Index + 1 < AArgs.size(); ++Index) {
    if (AArgs[Index] == "call") {
      Peer = AArgs[++Index];
    } else if (AArgs[Index] == "linkname") {
      ALinkName = AArgs[++Index];
    }
  }
  return IsPeerName(Peer) ? Peer : std::string();
}

std::vector<TPidFile> ReadPidFiles(const std::string& ARunDir) {
  std::vector<TPidFile> Files;
  DIR* Folder = opendir(ARunDir.c_str());
  if (Folder == nullptr) return Files;
  while (const dirent* Entry = readdir(Folder)) {
    TPidFile File;
    File.Kind = KindOfPidFileName(Entry->d_name, File.LinkName, File.Interface);
    if (File.Kind == TPidFileKind::None) continue;
    std::string Text;
    if (ReadBoundedFile(ARunDir + "/" + Entry->d_name, MaxPidFileBytes, Text, false) ==
            TFileRead::Read &&
        ParsePidFile(Text, File.Kind, File.Pid, File.Interface)) {
      Files.push_back(std::move(File));
    }
  }
  closedir(Folder);
  return Files;
}

bool IsPppdOf(const std::vector<std::string>& AArgs, const std::string& AEntry,
              const TPidFile& AFile, const std::string& AProgram) {
  std::string LinkName;
  if (AEntry.empty() || PeerOfCommandLine(AArgs, AProgram, LinkName) != AEntry) return false;
  if (AFile.Kind != TPidFileKind::Link) return true;
  return LinkName.empty() ? AFile.LinkName == AEntry : AFile.LinkName == LinkName;
}

std::vector<TPppdLink> LinksOf(const std::vector<TPidFile>& AFiles, const std::string& AProgram) {
  std::map<std::string, TPppdLink> ByEntry;
  std::map<std::string, bool> FromLinkFile;
  for (const TPidFile& File : AFiles) {
    const std::vector<std::string> Args = CommandLineOf(File.Pid);
    std::string LinkName;
    const std::string Peer = PeerOfCommandLine(Args, AProgram, LinkName);
    if (!IsPppdOf(Args, Peer, File, AProgram)) continue;
    // A link pid file says more than a unit pid file of the same pppd.
    const bool Link = File.Kind == TPidFileKind::Link;
    if (ByEntry.count(Peer) != 0 && (FromLinkFile[Peer] || !Link)) continue;
    ByEntry[Peer] = {Peer, File.Pid, File.Interface};
    FromLinkFile[Peer] = Link;
  }
  std::vector<TPppdLink> Links;
  for (auto& [Entry, Link] : ByEntry) Links.push_back(std::move(Link));
  return Links;
}

int OpenCheckedPppd(const TPidFile& AFile, const std::string& AEntry, const std::string& AProgram) {
  const int Pidfd = PidfdOpen(AFile.Pid);
  if (Pidfd < 0) return -1;
  // Read after the pidfd was opened, and the process still running after
  // the read: the command line was the pidfd's process's.
  const bool Checked = IsPppdOf(CommandLineOf(AFile.Pid), AEntry, AFile, AProgram);
  if (!Checked || Exited(Pidfd)) {
    close(Pidfd);
    return -1;
  }
  return Pidfd;
}

TLinkEnd EndPppdOf(const std::string& ARunDir, const std::string& AEntry,
                   const std::string& AProgram, std::chrono::milliseconds AWait, int AStopFd) {
  const auto Deadline = std::chrono::steady_clock::now() + AWait;
  TLinkEnd End;
  std::vector<int> Ending;
  std::vector<pid_t> Signalled;
  for (const TPidFile& File : ReadPidFiles(ARunDir)) {
    if (std::find(Signalled.begin(), Signalled.end(), File.Pid) != Signalled.end()) continue;
    const int Pidfd = OpenCheckedPppd(File, AEntry, AProgram);
    if (Pidfd < 0) continue;
    if (syscall(SYS_pidfd_send_signal, Pidfd, SIGTERM, nullptr, 0) != 0) {
      End.Denied = End.Denied || errno == EPERM;
      close(Pidfd);
      continue;
    }
    End.Signalled = true;
    Signalled.push_back(File.Pid);
    Ending.push_back(Pidfd);
  }
  for (int Pidfd : Ending) {
    for (;;) {
      const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(
          Deadline - std::chrono::steady_clock::now());
      pollfd Fds[2] = {{Pidfd, POLLIN, 0}, {AStopFd, POLLIN, 0}};
      if (Left.count() <= 0 || poll(Fds, 2, static_cast<int>(Left.count())) != 0) break;
    }
    End.Ended = End.Ended && Exited(Pidfd);
    close(Pidfd);
  }
  return End;
}

}  // namespace dravik::ras::pppd
