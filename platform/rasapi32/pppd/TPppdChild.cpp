#include "TPppdChild.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace dravik::ras::pppd {

namespace {

constexpr size_t MaxLineBytes = 1024;

class TSpawnSetup {
 public:
  TSpawnSetup() {
    posix_spawn_file_actions_init(&Actions);
    posix_spawnattr_init(&Attributes);
  }
  ~TSpawnSetup() {
    posix_spawn_file_actions_destroy(&Actions);
    posix_spawnattr_destroy(&Attributes);
  }
  posix_spawn_file_actions_t Actions;
  posix_spawnattr_t Attributes;
};

}  // namespace

TPppdChild::~TPppdChild() {
  if (Running()) {
    int Status = 0;
    bool Signalled = false;
    Signal(SIGKILL);
    while (!Ended(Status, Signalled)) {
      pollfd Fd = {FPidfd, POLLIN, 0};
      poll(&Fd, 1, -1);
    }
  }
  if (FOutput >= 0) close(FOutput);
  if (FPidfd >= 0) close(FPidfd);
}

int TPppdChild::Start(const std::vector<std::string>& AArgs) {
  int Pipe[2];
  if (pipe2(Pipe, O_CLOEXEC) != 0) return errno;
  TSpawnSetup Setup;
  // The daemon pppd becomes must not hold any descriptor of this process,
  // and a thread's blocked or ignored signals must not become pppd's: the
  // hang-up's SIGTERM has to reach it.
  posix_spawn_file_actions_addopen(&Setup.Actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&Setup.Actions, Pipe[1], 1);
  posix_spawn_file_actions_adddup2(&Setup.Actions, Pipe[1], 2);
  posix_spawn_file_actions_addclosefrom_np(&Setup.Actions, 3);
  sigset_t None, All;
  sigemptyset(&None);
  sigfillset(&All);
  posix_spawnattr_setsigmask(&Setup.Attributes, &None);
  posix_spawnattr_setsigdefault(&Setup.Attributes, &All);
  posix_spawnattr_setflags(&Setup.Attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::vector<char*> Argv;
  for (const std::string& Arg : AArgs) Argv.push_back(const_cast<char*>(Arg.c_str()));
  Argv.push_back(nullptr);
  pid_t Pid = -1;
  const int Failed =
      posix_spawn(&Pid, Argv[0], &Setup.Actions, &Setup.Attributes, Argv.data(), environ);
  close(Pipe[1]);
  if (Failed != 0) {
    close(Pipe[0]);
    return Failed;
  }
  // The child is not reaped before this: the pid is still its own.
  FPidfd = static_cast<int>(syscall(SYS_pidfd_open, Pid, 0));
  FPid = Pid;
  FOutput = Pipe[0];
  fcntl(FOutput, F_SETFL, fcntl(FOutput, F_GETFL) | O_NONBLOCK);
  if (FPidfd < 0) {
    const int Error = errno;
    kill(Pid, SIGKILL);
    waitpid(Pid, nullptr, 0);
    FReaped = true;
    return Error;
  }
  return 0;
}

void TPppdChild::ReadLines(std::vector<std::string>& ALines) {
  if (FOutput < 0 || FOutputEnded) return;
  char Buffer[4096];
  for (;;) {
    const ssize_t Count = read(FOutput, Buffer, sizeof Buffer);
    if (Count < 0 && errno == EINTR) continue;
    if (Count < 0) return;
    if (Count == 0) {
      FOutputEnded = true;
      if (!FPartial.empty()) ALines.push_back(std::move(FPartial));
      FPartial.clear();
      return;
    }
    for (ssize_t Index = 0; Index < Count; ++Index) {
      if (Buffer[Index] == '\n') {
        ALines.push_back(std::move(FPartial));
        FPartial.clear();
      } else if (FPartial.size() < MaxLineBytes) {
        FPartial.push_back(Buffer[Index]);
      }
    }
  }
}

bool TPppdChild::Ended(int& AStatus, bool& ASignalled) {
  if (FPidfd < 0 || FReaped) return FReaped;
  siginfo_t Info{};
  if (waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(FPidfd), &Info, WEXITED | WNOHANG) !=
          0 ||
      Info.si_pid == 0) {
    return false;
  }
  FReaped = true;
  ASignalled = Info.si_code != CLD_EXITED;
  AStatus = Info.si_status;
  return true;
}

void TPppdChild::Signal(int ASignal) {
  if (Running()) syscall(SYS_pidfd_send_signal, FPidfd, ASignal, nullptr, 0);
}

void TPppdChild::Stop(int AGraceMs, int& AStatus, bool& ASignalled) {
  Signal(SIGTERM);
  for (int Waited = 0; !Ended(AStatus, ASignalled); Waited += 10) {
    if (Waited >= AGraceMs) Signal(SIGKILL);
    pollfd Fd = {FPidfd, POLLIN, 0};
    poll(&Fd, 1, 10);
  }
}

}  // namespace dravik::ras::pppd
