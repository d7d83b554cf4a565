#pragma once

// Real connections through pppd, as a dial-up server without NetworkManager
// runs them: the peer files of /etc/ppp/peers are the entries, pppd's
// secrets files hold the passwords, a dial starts
// "pppd call NAME linkname NAME updetach" and follows its progress lines
// until it detaches (connected) or exits (its exit status is the error),
// and a hang-up ends the link's pppd, found through its pid file, as poff
// does. pon/poff and Dravik act on the same links.
//
// A thread of the provider's own (TPppdWatch) follows rtnetlink (links and
// addresses), the run folder (pid files, through inotify) and the listed
// pppd processes (pidfds), so that listing, status and projection answer
// from memory.
// Dials have threads of their own; their notifications come from those.

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "PppdLinks.h"
#include "PppdPaths.h"
#include "RasProvider.h"
#include "TPppdWatch.h"

namespace dravik::ras::pppd {

class TPppdProvider : public RasProvider {
 public:
  // A dial that makes no progress for this long ends with
  // ERROR_REQUEST_TIMEOUT, and the pppd it started is ended
  // (DRAVIK_PPPD_DIAL_TIMEOUT, in seconds, changes it).
  static constexpr int DefaultDialTimeoutSeconds = 60;
  // How long a hang-up waits for the link's pppd to end and its interface
  // to go, and a dial whose pppd detached for the link's address.
  static constexpr int LinkWaitSeconds = 10;

  TPppdProvider(const TPppdPaths& APaths, std::string& AProblem);
  ~TPppdProvider() override;

  std::string Name() const override { return "pppd"; }
  DWORD EnumEntries(std::vector<std::string>& AEntries) override;
  DWORD GetEntryDialParams(RASDIALPARAMSA& AParams) override;
  DWORD Dial(const RASDIALPARAMSA& AParams, TDialNotifier ANotifier, HRASCONN& AHandle) override;
  DWORD HangUp(HRASCONN AHandle) override;
  DWORD EnumConnections(std::vector<RASCONNA>& AConnections) override;
  DWORD GetConnectStatus(HRASCONN AHandle, RASCONNSTATUSA& AStatus) override;
  DWORD GetPppIpProjection(HRASCONN AHandle, RASPPPIPA& AProjection) override;
  // The global address on the link's interface.
  DWORD GetIpv6Info(HRASCONN AHandle, std::string& AAddress, std::string& APrefix) override;

  // Warns of a peer that pppd dials again, or brings up, by itself.
  std::string EntryWarning(const std::string& AEntryName) override;

  // What the user can do about an error code, in words (for a refused
  // permission: the group pppd needs); empty when nothing.
  std::string ErrorAdvice(DWORD ACode) const override;
  DWORD WatchChanges() override;

  // The handle of an entry's connection: the same in every process, as one
  // pppd at a time carries a peer's link.
  static HRASCONN HandleOfEntry(const std::string& AEntry);

 private:
  struct TDialRun;
  struct TConnection {
    std::string Entry;
    HRASCONN Handle = 0;
    RASCONNSTATE State = RASCS_OpenPort;
    std::string Interface;
    std::string Local;
    std::string Peer;
    bool Pppoe = false;
  };
  struct TWorker {
    std::thread Thread;
    std::shared_ptr<bool> Done;
  };

  // Called on the watch thread whenever the links, their addresses or the
  // run folder changed.
  void LinksChanged();

  // Takes what the watch sees.
  void Take(const TPppdSeen& ASeen);
  // What is listed, from the links, the interfaces and this process's
  // dials. FLock held.
  void RebuildViewLocked();
  // Forgets the links of pppd processes known to have ended, and rebuilds
  // the view. FLock held.
  void DropEndedLocked();
  const TConnection* FindLocked(HRASCONN AHandle) const;
  const TConnection* FindEntryLocked(const std::string& AEntry) const;

  DWORD CheckCredentials(const RASDIALPARAMSA& AParams, bool& APppoe);
  // Follows a dial to its end in the calling thread; returns its code.
  DWORD FollowDial(const std::shared_ptr<TDialRun>& ARun, const TDialNotifier& ANotifier);
  // Waits for a dial this process or another one has on its way; returns
  // its code.
  DWORD JoinDial(const std::shared_ptr<TDialRun>& ARun, const std::string& AEntry,
                 const TDialNotifier& ANotifier);
  void Advance(TDialRun& ARun, RASCONNSTATE AState, const TDialNotifier& ANotifier,
               int64_t& ADeadlineNs);
  void Finish(const std::shared_ptr<TDialRun>& ARun, DWORD ACode, const TDialNotifier& ANotifier);
  // Waits until the entry is listed connected; false when it is no longer
  // listed at all, at ADeadlineNs, or when the provider stops.
  bool WaitConnected(const std::string& AEntry, int64_t ADeadlineNs,
                     const std::shared_ptr<TDialRun>& AHungUpBy = nullptr);
  // Ends the pppd processes the run folder names for the entry and waits
  // for them to end and their interface to go.
  DWORD EndLink(const std::string& AEntry);
  void Launch(std::function<void()> AJob);

  TPppdPaths FPaths;
  int64_t FDialTimeoutNs;
  // pppd lets only root name the link on its command line.
  bool FRoot;

  mutable std::mutex FLock;
  std::condition_variable FChanged;
  std::map<int, TInterfaceState> FInterfaces;
  std::vector<TPppdLink> FLinks;
  std::map<std::string, bool> FPppoePeers;
  std::map<std::string, std::shared_ptr<TDialRun>> FDials;
  // The pppd processes of failed dials: reaped here, before the watch thread
  // may have seen their pid files go.
  std::set<pid_t> FEnded;
  std::vector<TConnection> FView;
  bool FStopping = false;
  std::list<TWorker> FWorkers;

  // Readable once the provider stops; never read.
  int FStop = -1;
  std::unique_ptr<TPppdWatch> FWatch;
};

}  // namespace dravik::ras::pppd
