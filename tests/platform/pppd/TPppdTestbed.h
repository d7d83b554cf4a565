#pragma once

// A dial-up server of the test program's own, for the pppd provider: the
// program moves into a private mount and network namespace in which
// /etc/ppp is a fresh folder (peers, secrets, an empty options file), /run
// is a fresh tmpfs, /sys is mounted afresh (it shows the namespace's own
// links) and, for the stand-in, /usr/sbin/pppd is the stand-in pppd of
// StandInPppd.cpp, set-uid root for the group dip like Debian's. So the
// provider's default paths are what the tests use. The stand-in's provider
// (accounts, address pool) is a folder named by DRAVIK_STANDIN_ISP.
//
// Entered at the very start of main, before the program has any thread (a
// namespace is taken by the calling thread and what it starts afterwards).
// Needs root and Debian's ppp package (whose /usr/sbin/pppd and /etc/ppp
// the namespace covers); where they are missing the tests skip with one
// line, except under CI=true, where that is a failure.

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <linux/if.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#ifndef DRAVIK_STANDIN_PPPD
#define DRAVIK_STANDIN_PPPD ""
#endif

class TPppdTestbed {
 public:
  enum TPppd {
    // The stand-in over /usr/sbin/pppd.
    StandIn,
    // Debian's own pppd.
    Real,
  };

  static TPppdTestbed& Enter(TPppd AWhich) {
    static TPppdTestbed Testbed(AWhich);
    return Testbed;
  }

  bool Up() const { return FUp; }
  const std::string& Missing() const { return FMissing; }
  static bool MustRun() {
    const char* Ci = std::getenv("CI");
    return Ci != nullptr && std::strcmp(Ci, "true") == 0;
  }

  // The testbed's own folder: "ras" (DRAVIK_RAS_DIR), "open" (a folder
  // every user may enter), "isp" (the stand-in's provider).
  const std::string& Folder() const { return FFolder; }

  // Writes a file (any path: /etc/ppp/... lands in the testbed's folder).
  static bool Write(const std::string& APath, const std::string& AText, mode_t AMode = 0644) {
    {
      std::ofstream File(APath, std::ios::trunc);
      if (!(File << AText)) return false;
    }
    return chmod(APath.c_str(), AMode) == 0;
  }

  // The stand-in provider's accounts: "USER PASSWORD [silent]" lines.
  bool WriteAccounts(const std::string& AText) const {
    return Write(FFolder + "/isp/accounts", AText);
  }

  // Ends every pppd the run folder names, so that a test starts without
  // links; waits until they are gone.
  static void KillAll() {
    DIR* Run = opendir("/run");
    if (Run == nullptr) return;
    while (const dirent* Entry = readdir(Run)) {
      const std::string Name = Entry->d_name;
      if (Name.compare(0, 3, "ppp") != 0 || Name.size() < 8 ||
          Name.compare(Name.size() - 4, 4, ".pid") != 0) {
        continue;
      }
      std::ifstream File("/run/" + Name);
      long Pid = 0;
      if (File >> Pid && Pid > 1 && IsPppd(static_cast<pid_t>(Pid))) {
        kill(static_cast<pid_t>(Pid), SIGKILL);
        for (int Waited = 0; Waited < 200 && !Ended(static_cast<pid_t>(Pid)); ++Waited) {
          usleep(10000);
        }
      }
      unlink(("/run/" + Name).c_str());
    }
    closedir(Run);
  }

 private:
  explicit TPppdTestbed(TPppd AWhich) {
    if (geteuid() != 0) {
      FMissing = "the pppd tests need root (namespaces)";
      return;
    }
    struct stat Info;
    if (stat("/usr/sbin/pppd", &Info) != 0 || stat("/etc/ppp", &Info) != 0) {
      FMissing = "the pppd tests need Debian's ppp package (/usr/sbin/pppd, /etc/ppp)";
      return;
    }
    const group* Dip = getgrnam("dip");
    const gid_t DipGroup = Dip != nullptr ? Dip->gr_gid : 30;
    char Pattern[] = "/tmp/dravik-pppd-XXXXXX";
    if (mkdtemp(Pattern) == nullptr) {
      FMissing = "no temporary folder for the pppd testbed";
      return;
    }
    FFolder = Pattern;
    chmod(FFolder.c_str(), 0755);
    const std::string Etc = FFolder + "/etc";
    const bool Made =
        MakeFolder(Etc, 0755, DipGroup) && MakeFolder(Etc + "/peers", 02750, DipGroup) &&
        Write(Etc + "/options", "# the test's own: nothing beyond the peer files\n") &&
        Write(Etc + "/chap-secrets", "", 0600) && Write(Etc + "/pap-secrets", "", 0600) &&
        MakeFolder(FFolder + "/isp", 0755, 0) && Write(FFolder + "/isp/accounts", "") &&
        MakeFolder(FFolder + "/ras", 0700, 0) && MakeFolder(FFolder + "/open", 0755, 0) &&
        MakeFolder(FFolder + "/xdg", 0700, 0);
    if (!Made) {
      FMissing = "cannot prepare the pppd testbed in " + FFolder;
      return;
    }
    const std::string StandInCopy = FFolder + "/pppd";
    if (AWhich == StandIn && !CopyStandIn(StandInCopy, DipGroup)) {
      FMissing = "cannot place the stand-in pppd";
      return;
    }
    if (unshare(CLONE_NEWNS | CLONE_NEWNET) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount(Etc.c_str(), "/etc/ppp", nullptr, MS_BIND, nullptr) != 0 ||
        (AWhich == StandIn &&
         mount(StandInCopy.c_str(), "/usr/sbin/pppd", nullptr, MS_BIND, nullptr) != 0) ||
        mount("tmpfs", "/run", "tmpfs", MS_NOSUID | MS_NODEV, "mode=0755") != 0 ||
        umount2("/sys", MNT_DETACH) != 0 ||
        mount("sysfs", "/sys", "sysfs", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0 ||
        !LoopbackUp()) {
      FMissing = std::string("cannot enter the pppd testbed's namespaces: ") + std::strerror(errno);
      return;
    }
    setenv("DRAVIK_RAS_DIR", (FFolder + "/ras").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (FFolder + "/xdg").c_str(), 1);
    setenv("DRAVIK_STANDIN_ISP", (FFolder + "/isp").c_str(), 1);
    setenv("DRAVIK_STANDIN_OWNER", std::to_string(getpid()).c_str(), 1);
    // The defaults are what is tested.
    for (const char* Moved : {"DRAVIK_PPPD", "DRAVIK_PPP_DIR", "DRAVIK_PPP_RUN_DIR"}) {
      unsetenv(Moved);
    }
    FUp = true;
  }

  ~TPppdTestbed() {
    if (FUp) KillAll();
    if (!FFolder.empty()) {
      nftw(
          FFolder.c_str(),
          [](const char* APath, const struct stat*, int, FTW*) { return remove(APath); }, 16,
          FTW_DEPTH | FTW_PHYS);
    }
  }

  static bool MakeFolder(const std::string& APath, mode_t AMode, gid_t AGroup) {
    return mkdir(APath.c_str(), 0700) == 0 && chown(APath.c_str(), 0, AGroup) == 0 &&
           chmod(APath.c_str(), AMode) == 0;
  }

  static bool CopyStandIn(const std::string& ATarget, gid_t AGroup) {
    std::ifstream From(DRAVIK_STANDIN_PPPD, std::ios::binary);
    {
      std::ofstream To(ATarget, std::ios::binary | std::ios::trunc);
      if (!From || !(To << From.rdbuf())) return false;
    }
    return chown(ATarget.c_str(), 0, AGroup) == 0 && chmod(ATarget.c_str(), 04754) == 0;
  }

  static bool LoopbackUp() {
    const int Control = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq Request;
    std::memset(&Request, 0, sizeof Request);
    std::strcpy(Request.ifr_name, "lo");
    const bool Up = Control >= 0 && ioctl(Control, SIOCGIFFLAGS, &Request) == 0 &&
                    (Request.ifr_flags |= IFF_UP, ioctl(Control, SIOCSIFFLAGS, &Request) == 0);
    if (Control >= 0) close(Control);
    return Up;
  }

  // Gone, or left for its parent to reap (a detached pppd's parent is the
  // system's first process, which may take its time).
  static bool Ended(pid_t APid) {
    std::ifstream File("/proc/" + std::to_string(APid) + "/stat");
    std::string Pid, Name, State;
    if (!(File >> Pid >> Name >> State)) return true;
    return State == "Z";
  }

  static bool IsPppd(pid_t APid) {
    std::ifstream File("/proc/" + std::to_string(APid) + "/comm");
    std::string Name;
    return File >> Name && Name == "pppd";
  }

  std::string FFolder;
  std::string FMissing;
  bool FUp = false;
};

// The first line of every test that needs the testbed (a Qt test).
#define REQUIRE_PPPD_TESTBED(Testbed)                                  \
  do {                                                                 \
    if (!(Testbed).Up()) {                                             \
      if (TPppdTestbed::MustRun()) QFAIL((Testbed).Missing().c_str()); \
      QSKIP((Testbed).Missing().c_str());                              \
    }                                                                  \
  } while (false)
