#include "TPppdWatch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "PppdPeers.h"

namespace dravik::ras::pppd {

namespace {

bool Readable(int AFd) {
  pollfd Fd = {AFd, POLLIN, 0};
  return poll(&Fd, 1, 0) > 0;
}

}  // namespace

TPppdWatch::TPppdWatch(const TPppdPaths& APaths, std::string& AProblem) : FPaths(APaths) {
  FStop = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (FStop < 0) {
    AProblem = std::string("no event descriptor: ") + std::strerror(errno);
    return;
  }
  if (!FNetlink.Open(AProblem)) return;
  FInotify = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (FInotify < 0 ||
      inotify_add_watch(FInotify, FPaths.RunDir.c_str(),
                        IN_CREATE | IN_DELETE | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM) < 0) {
    AProblem = "cannot follow the pid files in " + FPaths.RunDir + ": " + std::strerror(errno);
    return;
  }
  FSeen.Interfaces = FNetlink.Interfaces();
  Rescan();
}

TPppdWatch::~TPppdWatch() {
  if (FStop >= 0) {
    const uint64_t One = 1;
    (void)!write(FStop, &One, sizeof One);
  }
  if (FThread.joinable()) {
    // Called back from its own thread, it cannot wait for itself.
    if (FThread.get_id() == std::this_thread::get_id()) {
      FThread.detach();
    } else {
      FThread.join();
    }
  }
  for (const auto& [Pid, Pidfd] : FPidfds) close(Pidfd);
  if (FInotify >= 0) close(FInotify);
  if (FStop >= 0) close(FStop);
}

void TPppdWatch::Start(std::function<void(const TPppdSeen&)> AOnChange) {
  FOnChange = std::move(AOnChange);
  FThread = std::thread([this] { Run(); });
}

void TPppdWatch::Run() {
  for (;;) {
    std::vector<pollfd> Fds = {
        {FStop, POLLIN, 0}, {FNetlink.Fd(), POLLIN, 0}, {FInotify, POLLIN, 0}};
    for (const auto& [Pid, Pidfd] : FPidfds) Fds.push_back({Pidfd, POLLIN, 0});
    if (poll(Fds.data(), Fds.size(), -1) < 0 && errno != EINTR) return;
    if (Fds[0].revents != 0) return;
    bool Changed = false;
    if (Fds[1].revents != 0 && FNetlink.Read()) {
      FSeen.Interfaces = FNetlink.Interfaces();
      Changed = true;
    }
    if (Fds[2].revents != 0) {
      alignas(inotify_event) char Buffer[4096];
      for (ssize_t Count; (Count = read(FInotify, Buffer, sizeof Buffer)) > 0;) {
        for (ssize_t At = 0; At < Count;) {
          const auto* Event = reinterpret_cast<const inotify_event*>(Buffer + At);
          std::string LinkName, Interface;
          if ((Event->mask & IN_Q_OVERFLOW) != 0 ||
              (Event->len > 0 &&
               KindOfPidFileName(Event->name, LinkName, Interface) != TPidFileKind::None)) {
            Changed = true;
          }
          At += static_cast<ssize_t>(sizeof(inotify_event) + Event->len);
        }
      }
    }
    for (size_t Index = 3; Index < Fds.size(); ++Index) {
      if (Fds[Index].revents != 0) Changed = true;
    }
    if (!Changed) continue;
    // A pppd that ended without removing its pid files (killed) is seen
    // gone with its interface: the files are checked again then too.
    Rescan();
    FOnChange(FSeen);
  }
}

void TPppdWatch::Rescan() {
  FSeen.Links = LinksOf(ReadPidFiles(FPaths.RunDir), FPaths.Program);
  std::map<pid_t, int> Pidfds;
  std::map<std::string, bool> Pppoe;
  for (const TPppdLink& Link : FSeen.Links) {
    const auto Known = FSeen.Pppoe.find(Link.Entry);
    if (Known != FSeen.Pppoe.end()) {
      Pppoe.insert(*Known);
    } else {
      TPeerOptions Options;
      ReadPeerOptions(FPaths.PeersDir(), Link.Entry, Options);
      Pppoe[Link.Entry] = Options.Pppoe;
    }
    const auto Open = FPidfds.find(Link.Pid);
    if (Open != FPidfds.end()) {
      Pidfds.insert(*Open);
      FPidfds.erase(Open);
      continue;
    }
    const int Pidfd = static_cast<int>(syscall(SYS_pidfd_open, Link.Pid, 0));
    // One that has already ended is not waited for: the next change shows
    // it gone.
    if (Pidfd >= 0 && Readable(Pidfd)) {
      close(Pidfd);
    } else if (Pidfd >= 0) {
      Pidfds[Link.Pid] = Pidfd;
    }
  }
  for (const auto& [Pid, Pidfd] : FPidfds) close(Pidfd);
  FPidfds.swap(Pidfds);
  FSeen.Pppoe.swap(Pppoe);
}

}  // namespace dravik::ras::pppd
