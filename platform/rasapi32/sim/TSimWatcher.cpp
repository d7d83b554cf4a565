#include "TSimWatcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "ChangeNotification.h"
#include "SimClock.h"

namespace dravik::ras {

TSimWatcher::TSimWatcher(const std::string& ARuntimeDir) : FDir(ARuntimeDir), FStore(ARuntimeDir) {}

TSimWatcher::~TSimWatcher() {
  if (FThread.joinable()) {
    const uint64_t One = 1;
    (void)!write(FStop, &One, sizeof One);
    FThread.join();
  }
  if (FNotify >= 0) close(FNotify);
  if (FStop >= 0) close(FStop);
}

bool TSimWatcher::Start(std::string& AProblem) {
  FNotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  FStop = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (FNotify < 0 || FStop < 0) {
    AProblem = std::string("cannot watch the simulated service: ") + std::strerror(errno);
    return false;
  }
  // The state file is replaced, never written in place: its folder is
  // watched for the new file moved in (or a first one made).
  if (inotify_add_watch(FNotify, FDir.c_str(),
                        IN_MOVED_TO | IN_CLOSE_WRITE | IN_DELETE | IN_ONLYDIR) < 0) {
    AProblem = FDir + ": cannot be watched: " + std::strerror(errno);
    return false;
  }
  FThread = std::thread(&TSimWatcher::Run, this);
  return true;
}

int64_t TSimWatcher::NextDialEnd(int64_t ANowNs) const {
  std::shared_ptr<const TSimSnapshot> Snapshot;
  if (FStore.Read(Snapshot) != ERROR_SUCCESS) return INT64_MAX;
  int64_t Next = INT64_MAX;
  for (const TSimConnection& Connection : Snapshot->State.Connections) {
    const int64_t End = Connection.StartNs + Connection.DialNs;
    if (End > ANowNs) Next = std::min(Next, End);
  }
  return Next;
}

void TSimWatcher::Run() {
  int64_t WakeNs = NextDialEnd(SimNowNs());
  for (;;) {
    int TimeoutMs = -1;
    if (WakeNs != INT64_MAX) {
      const int64_t Left = WakeNs - SimNowNs();
      // Rounded up, so that the dial has ended when the wait does.
      TimeoutMs = static_cast<int>(std::clamp<int64_t>((Left + 999999) / 1000000, 0, INT_MAX));
    }
    pollfd Fds[2] = {{FStop, POLLIN, 0}, {FNotify, POLLIN, 0}};
    if (poll(Fds, 2, TimeoutMs) < 0 && errno != EINTR) return;
    if ((Fds[0].revents & POLLIN) != 0) return;
    bool Changed = false;
    if ((Fds[1].revents & POLLIN) != 0) {
      alignas(inotify_event) char Buffer[4096];
      ssize_t Length = 0;
      while ((Length = read(FNotify, Buffer, sizeof Buffer)) > 0) {
        for (char* At = Buffer; At < Buffer + Length;) {
          const auto* Event = reinterpret_cast<const inotify_event*>(At);
          if (Event->len > 0 && std::strcmp(Event->name, "state") == 0) Changed = true;
          At += sizeof(inotify_event) + Event->len;
        }
      }
    }
    const int64_t Now = SimNowNs();
    if (WakeNs != INT64_MAX && Now >= WakeNs) Changed = true;
    if (Changed) {
      NotifyConnectionsChanged();
      WakeNs = NextDialEnd(Now);
    }
  }
}

}  // namespace dravik::ras
