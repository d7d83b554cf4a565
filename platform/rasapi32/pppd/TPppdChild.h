#pragma once

// One pppd this process started: by argument vector (no shell), its output
// and error output read through a pipe line by line, its end learnt through
// a pidfd, so that it is signalled and reaped as the very process started.

#include <sys/types.h>

#include <string>
#include <vector>

namespace dravik::ras::pppd {

class TPppdChild {
 public:
  TPppdChild() = default;
  // A child still running is killed and reaped: none is left behind unseen.
  ~TPppdChild();
  TPppdChild(const TPppdChild&) = delete;
  TPppdChild& operator=(const TPppdChild&) = delete;

  // Starts AArgs[0] with the arguments AArgs, standard input from
  // /dev/null, no other descriptor of ours, every signal at its default and
  // none blocked. Returns 0, or the errno of the failure (ENOENT, EACCES...).
  int Start(const std::vector<std::string>& AArgs);

  // For poll(): readable when there is output, and when the child ended.
  int OutputFd() const { return FOutput; }
  int Pidfd() const { return FPidfd; }
  pid_t Pid() const { return FPid; }

  // Appends the complete lines that have arrived (without their line end;
  // a line cut at 1 KiB) to ALines; at the end of the output also the last
  // incomplete one.
  void ReadLines(std::vector<std::string>& ALines);
  bool OutputEnded() const { return FOutputEnded; }

  // Whether the child has ended; then AStatus is its exit status, or the
  // signal that ended it with ASignalled set. Reaps it.
  bool Ended(int& AStatus, bool& ASignalled);

  // Sends ASignal to the child while it has not been reaped.
  void Signal(int ASignal);

  // Sends SIGTERM, and SIGKILL when it has not ended within AGraceMs; reaps
  // it. AStatus and ASignalled as for Ended.
  void Stop(int AGraceMs, int& AStatus, bool& ASignalled);

  bool Running() const { return FPidfd >= 0 && !FReaped; }

 private:
  int FOutput = -1;
  int FPidfd = -1;
  pid_t FPid = -1;
  bool FReaped = false;
  bool FOutputEnded = false;
  std::string FPartial;
};

}  // namespace dravik::ras::pppd
