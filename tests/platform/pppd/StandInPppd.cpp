// A stand-in for pppd where the kernel has no PPP: it keeps pppd's
// observable contract for the tests, run in their namespace in place of
// /usr/sbin/pppd.
//
//   pppd call NAME [linkname NAME] [updetach | nodetach]
//
// It reads the peer file /etc/ppp/peers/NAME (user, linkname, nic-IF,
// connect-delay MS: the time each step of the dial takes here), the
// password for that user from /etc/ppp/chap-secrets, else pap-secrets, and
// checks it against the accounts of its own stand-in provider (the folder
// $DRAVIK_STANDIN_ISP: "accounts" with "USER PASSWORD [silent]" lines, where
// a silent account never answers). On the way it prints pppd's progress
// lines, creates a real interface pppN (a TUN device it holds open), writes
// /run/pppN.pid and, with a link name, /run/ppp-NAME.pid as pppd does, and
// gives the interface an address from the provider's pool (10.64.0.10 and
// up, a new one each dial, lasting across processes through the provider's
// "next" file) with the peer address 10.64.0.1, and a global IPv6 address
// 2001:db8:64:N::2/64 with N the pool's number, standing for what the
// provider's router advertisement gives the link. A wrong password ends it
// with pppd's message and status 19. With updetach it detaches once the
// address is set (the parent exits 0, the pid files name the child); with
// neither updetach nor nodetach, at once (as pon runs it). SIGTERM or
// SIGINT removes the interface and the pid files and ends it with 5;
// SIGHUP, the modem hanging up (the far end's drop), does the same with 16.
// A user other than root may not give linkname on the command line, nor
// call a peer file it cannot read.

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/if.h>
#include <linux/if_tun.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int ExitFatal = 1;
constexpr int ExitOptionError = 2;
constexpr int ExitUserRequest = 5;
constexpr int ExitHangup = 16;
constexpr int ExitAuthToPeerFailed = 19;

const char* const PeerAddress = "10.64.0.1";

int Signals = -1;
// The test program: a stand-in left behind when it ends takes itself down.
int Owner = -1;
int Tun = -1;
std::string Interface;
std::string UnitPidFile;
std::string LinkPidFile;

void Say(const std::string& ALine) {
  const std::string Text = ALine + "\n";
  (void)!write(1, Text.data(), Text.size());
}

void Fail(int AStatus, const std::string& ALine) {
  const std::string Text = "pppd: " + ALine + "\n";
  (void)!write(2, Text.data(), Text.size());
  std::exit(AStatus);
}

// Words of a file, quotes taken off; # starts a comment.
std::vector<std::vector<std::string>> Lines(const std::string& APath) {
  std::vector<std::vector<std::string>> Result;
  std::ifstream File(APath);
  std::string Line;
  while (std::getline(File, Line)) {
    const size_t Hash = Line.find('#');
    if (Hash != std::string::npos) Line.erase(Hash);
    std::istringstream Words(Line);
    std::vector<std::string> Row;
    for (std::string Word; Words >> Word;) {
      if (Word.size() >= 2 && (Word.front() == '"' || Word.front() == '\'') &&
          Word.back() == Word.front()) {
        Word = Word.substr(1, Word.size() - 2);
      }
      Row.push_back(Word);
    }
    if (!Row.empty()) Result.push_back(Row);
  }
  return Result;
}

void WriteFile(const std::string& APath, const std::string& AText) {
  std::ofstream File(APath, std::ios::trunc);
  File << AText;
}

void WritePidFiles(pid_t APid) {
  WriteFile(UnitPidFile, std::to_string(APid) + "\n");
  if (!LinkPidFile.empty()) WriteFile(LinkPidFile, std::to_string(APid) + "\n" + Interface + "\n");
}

void Cleanup() {
  if (Tun >= 0) close(Tun);
  Tun = -1;
  if (!UnitPidFile.empty()) unlink(UnitPidFile.c_str());
  if (!LinkPidFile.empty()) unlink(LinkPidFile.c_str());
}

// Waits AMs (or for ever with -1) for a signal; a terminating one ends the
// program as pppd ends.
void Wait(int AMs) {
  pollfd Fds[2] = {{Signals, POLLIN, 0}, {Owner, POLLIN, 0}};
  if (poll(Fds, Owner >= 0 ? 2 : 1, AMs) <= 0) return;
  if (Owner >= 0 && Fds[1].revents != 0) {
    Cleanup();
    std::exit(ExitUserRequest);
  }
  signalfd_siginfo Info;
  if (read(Signals, &Info, sizeof Info) != sizeof Info) return;
  if (Info.ssi_signo == SIGHUP) {
    Say("Modem hangup");
    Cleanup();
    Say("Connection terminated.");
    std::exit(ExitHangup);
  }
  Say("Terminating on signal " + std::to_string(Info.ssi_signo));
  Cleanup();
  Say("Connection terminated.");
  std::exit(ExitUserRequest);
}

// The next address of the stand-in provider's pool.
std::string NextAddress(const std::string& AIsp) {
  const int Lock = open((AIsp + "/next").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (Lock < 0 || flock(Lock, LOCK_EX) != 0) Fail(ExitFatal, "no address pool");
  char Buffer[32] = {};
  const ssize_t Count = pread(Lock, Buffer, sizeof Buffer - 1, 0);
  const int Taken = Count > 0 ? std::atoi(Buffer) : 0;
  const std::string Next = std::to_string(Taken + 1) + "\n";
  if (ftruncate(Lock, 0) != 0 || pwrite(Lock, Next.data(), Next.size(), 0) < 0) {
    Fail(ExitFatal, "no address pool");
  }
  close(Lock);
  return "10.64.0." + std::to_string(10 + Taken % 240);
}

int IndexOf(const std::string& AName) {
  ifreq Request;
  std::memset(&Request, 0, sizeof Request);
  std::strncpy(Request.ifr_name, AName.c_str(), IFNAMSIZ - 1);
  const int Control = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  const int Result = ioctl(Control, SIOCGIFINDEX, &Request);
  close(Control);
  return Result == 0 ? Request.ifr_ifindex : 0;
}

// The global IPv6 address, set as the kernel would from a router
// advertisement; without duplicate detection, so that it is usable at once.
// A kernel without IPv6 leaves the link without it.
void SetAddress6(const std::string& ALocal) {
  const std::string Number = ALocal.substr(ALocal.rfind('.') + 1);
  const std::string Address = "2001:db8:64:" + Number + "::2";
  const int Socket = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
  struct {
    nlmsghdr Header;
    ifaddrmsg Body;
    char Attributes[64];
  } Request;
  std::memset(&Request, 0, sizeof Request);
  Request.Header.nlmsg_len = NLMSG_LENGTH(sizeof(ifaddrmsg));
  Request.Header.nlmsg_type = RTM_NEWADDR;
  Request.Header.nlmsg_flags = NLM_F_REQUEST | NLM_F_CREATE | NLM_F_EXCL | NLM_F_ACK;
  Request.Body.ifa_family = AF_INET6;
  Request.Body.ifa_prefixlen = 64;
  Request.Body.ifa_flags = IFA_F_NODAD;
  Request.Body.ifa_index = static_cast<unsigned>(IndexOf(Interface));
  auto* Attribute = reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&Request) +
                                              NLMSG_ALIGN(Request.Header.nlmsg_len));
  Attribute->rta_type = IFA_LOCAL;
  Attribute->rta_len = RTA_LENGTH(16);
  inet_pton(AF_INET6, Address.c_str(), RTA_DATA(Attribute));
  Request.Header.nlmsg_len = NLMSG_ALIGN(Request.Header.nlmsg_len) + RTA_ALIGN(RTA_LENGTH(16));
  char Answer[1024];
  if (Socket < 0 || send(Socket, &Request, Request.Header.nlmsg_len, 0) < 0 ||
      recv(Socket, Answer, sizeof Answer, 0) < 0)
    Say("cannot set the IPv6 address");
  if (Socket >= 0) close(Socket);
}

// The address and its peer in one message, as pppd sets them.
void SetAddress(const std::string& ALocal) {
  const int Socket = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
  struct {
    nlmsghdr Header;
    ifaddrmsg Body;
    char Attributes[64];
  } Request;
  std::memset(&Request, 0, sizeof Request);
  Request.Header.nlmsg_len = NLMSG_LENGTH(sizeof(ifaddrmsg));
  Request.Header.nlmsg_type = RTM_NEWADDR;
  Request.Header.nlmsg_flags = NLM_F_REQUEST | NLM_F_CREATE | NLM_F_EXCL | NLM_F_ACK;
  Request.Body.ifa_family = AF_INET;
  Request.Body.ifa_prefixlen = 32;
  Request.Body.ifa_index = static_cast<unsigned>(IndexOf(Interface));
  auto Add = [&Request](unsigned short AType, const char* AAddress) {
    auto* Attribute = reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&Request) +
                                                NLMSG_ALIGN(Request.Header.nlmsg_len));
    Attribute->rta_type = AType;
    Attribute->rta_len = RTA_LENGTH(4);
    inet_pton(AF_INET, AAddress, RTA_DATA(Attribute));
    Request.Header.nlmsg_len = NLMSG_ALIGN(Request.Header.nlmsg_len) + RTA_ALIGN(RTA_LENGTH(4));
  };
  Add(IFA_LOCAL, ALocal.c_str());
  Add(IFA_ADDRESS, PeerAddress);
  char Answer[1024];
  if (Socket < 0 || send(Socket, &Request, Request.Header.nlmsg_len, 0) < 0 ||
      recv(Socket, Answer, sizeof Answer, 0) < 0) {
    Fail(ExitFatal, "cannot set the address");
  }
  close(Socket);
  ifreq Flags;
  std::memset(&Flags, 0, sizeof Flags);
  std::strncpy(Flags.ifr_name, Interface.c_str(), IFNAMSIZ - 1);
  const int Control = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ioctl(Control, SIOCGIFFLAGS, &Flags);
  Flags.ifr_flags |= IFF_UP;
  ioctl(Control, SIOCSIFFLAGS, &Flags);
  close(Control);
}

void Detach() {
  const pid_t Child = fork();
  if (Child < 0) Fail(ExitFatal, "cannot fork");
  if (Child > 0) {
    if (!Interface.empty()) WritePidFiles(Child);
    _exit(0);
  }
  setsid();
  const int Null = open("/dev/null", O_RDWR);
  dup2(Null, 0);
  dup2(Null, 1);
  dup2(Null, 2);
  close(Null);
}

}  // namespace

int main(int argc, char** argv) {
  std::string Peer, CommandLink;
  bool UpDetach = false, NoDetach = false;
  for (int Index = 1; Index < argc; ++Index) {
    const std::string Arg = argv[Index];
    if ((Arg == "call" || Arg == "linkname") && Index + 1 < argc) {
      (Arg == "call" ? Peer : CommandLink) = argv[++Index];
    } else if (Arg == "updetach") {
      UpDetach = true;
    } else if (Arg == "nodetach") {
      NoDetach = true;
    } else {
      Fail(ExitOptionError, "unrecognized option '" + Arg + "'");
    }
  }
  if (!CommandLink.empty() && getuid() != 0) {
    Fail(ExitOptionError, "using the linkname option requires root privilege");
  }
  if (Peer.empty() || Peer[0] == '/' || Peer.find("..") != std::string::npos) {
    Fail(ExitOptionError, "no device specified and stdin is not a tty");
  }
  const std::string PeerFile = "/etc/ppp/peers/" + Peer;
  // Option files are opened as the user who runs pppd.
  if (access(PeerFile.c_str(), R_OK) != 0) {
    Fail(ExitOptionError,
         "Can't open options file " + PeerFile + ": " + std::string(std::strerror(errno)));
  }
  std::string User, LinkName = CommandLink, Device = "/dev/ttyS0";
  int StepMs = 0;
  for (const auto& Row : Lines(PeerFile)) {
    if (Row[0] == "user" && Row.size() > 1) User = Row[1];
    if (Row[0] == "linkname" && Row.size() > 1 && CommandLink.empty()) LinkName = Row[1];
    if (Row[0] == "connect-delay" && Row.size() > 1) StepMs = std::atoi(Row[1].c_str());
    if (Row[0].compare(0, 4, "nic-") == 0) Device = Row[0].substr(4);
  }
  const char* Isp = std::getenv("DRAVIK_STANDIN_ISP");
  if (Isp == nullptr || *Isp == 0) Fail(ExitFatal, "DRAVIK_STANDIN_ISP names no stand-in provider");

  if (const char* Test = std::getenv("DRAVIK_STANDIN_OWNER")) {
    Owner = static_cast<int>(syscall(SYS_pidfd_open, std::atoi(Test), 0));
  }
  sigset_t Mask;
  sigemptyset(&Mask);
  sigaddset(&Mask, SIGTERM);
  sigaddset(&Mask, SIGINT);
  sigaddset(&Mask, SIGHUP);
  sigprocmask(SIG_BLOCK, &Mask, nullptr);
  Signals = signalfd(-1, &Mask, SFD_CLOEXEC);
  if (!UpDetach && !NoDetach) Detach();

  // The secret pppd would authenticate with, and which protocol's file held it.
  std::string Password, Protocol;
  for (const char* Kind : {"CHAP", "PAP"}) {
    const std::string File =
        std::string("/etc/ppp/") + (Kind[0] == 'C' ? "chap" : "pap") + "-secrets";
    for (const auto& Row : Lines(File)) {
      if (Protocol.empty() && Row.size() >= 3 && (Row[0] == User || Row[0] == "*")) {
        Password = Row[2];
        Protocol = Kind;
      }
    }
  }

  Tun = open("/dev/net/tun", O_RDWR | O_CLOEXEC);
  ifreq Request;
  std::memset(&Request, 0, sizeof Request);
  Request.ifr_flags = IFF_TUN | IFF_NO_PI;
  std::strcpy(Request.ifr_name, "ppp%d");
  if (Tun < 0 || ioctl(Tun, TUNSETIFF, &Request) != 0) {
    Fail(ExitFatal, "Couldn't open the /dev/ppp device: " + std::string(std::strerror(errno)));
  }
  Interface = Request.ifr_name;
  UnitPidFile = "/run/" + Interface + ".pid";
  if (!LinkName.empty()) LinkPidFile = "/run/ppp-" + LinkName + ".pid";
  Say("Using interface " + Interface);
  WritePidFiles(getpid());
  Wait(StepMs);
  Say("Connect: " + Interface + " <--> " + Device);
  Wait(StepMs);

  bool Known = false, Silent = false;
  for (const auto& Row : Lines(std::string(Isp) + "/accounts")) {
    if (Row.size() >= 2 && Row[0] == User && Row[1] == Password && !Protocol.empty()) {
      Known = true;
      Silent = Row.size() >= 3 && Row[2] == "silent";
    }
  }
  // The far end that never answers: only a signal ends the wait.
  while (Silent) Wait(-1);
  if (!Known) {
    Say((Protocol.empty() ? std::string("CHAP") : Protocol) +
        " authentication failed: Access denied");
    Cleanup();
    Say("Connection terminated.");
    return ExitAuthToPeerFailed;
  }
  Say(Protocol + " authentication succeeded");
  Wait(StepMs);
  const std::string Local = NextAddress(Isp);
  // Before the IPv4 address, by which the link counts as up.
  SetAddress6(Local);
  SetAddress(Local);
  Say("local  IP address " + Local);
  Say("remote IP address " + std::string(PeerAddress));
  if (UpDetach) Detach();
  for (;;) Wait(-1);
}
