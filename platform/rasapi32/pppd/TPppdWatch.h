#pragma once

// What the pppd provider sees of the machine's links, kept current by a
// thread of its own without spawning anything: rtnetlink's link and address
// notifications, the run folder's pid files (inotify) and the pidfds of the
// pppd processes they name. Each change is handed over whole.

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "PppdLinks.h"
#include "PppdPaths.h"
#include "TRtnetlink.h"

namespace dravik::ras::pppd {

struct TPppdSeen {
  std::map<int, TInterfaceState> Interfaces;
  // Checked against their processes' command lines when read.
  std::vector<TPppdLink> Links;
  // Whether each linked peer is a PPPoE one.
  std::map<std::string, bool> Pppoe;
};

class TPppdWatch {
 public:
  // Subscribes and reads everything once; on failure AProblem says why and
  // the watch must not be started.
  TPppdWatch(const TPppdPaths& APaths, std::string& AProblem);
  // Stops and joins the thread.
  ~TPppdWatch();
  TPppdWatch(const TPppdWatch&) = delete;
  TPppdWatch& operator=(const TPppdWatch&) = delete;

  // What the first reading saw.
  const TPppdSeen& Seen() const { return FSeen; }

  // Starts the thread, which calls AOnChange with all it sees after each
  // change of the links, their addresses or the run folder.
  void Start(std::function<void(const TPppdSeen&)> AOnChange);

 private:
  void Run();
  // Reads the run folder's pid files again and checks their processes.
  void Rescan();

  TPppdPaths FPaths;
  TRtnetlink FNetlink;
  int FInotify = -1;
  // Readable once the watch stops.
  int FStop = -1;
  std::map<pid_t, int> FPidfds;
  TPppdSeen FSeen;
  std::function<void(const TPppdSeen&)> FOnChange;
  std::thread FThread;
};

}  // namespace dravik::ras::pppd
