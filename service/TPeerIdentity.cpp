#include "TPeerIdentity.h"

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

// The owner of the loopback socket at the far end of AFd (whose own end is
// ALocal, the peer APeer), through one exact socket-diagnostics lookup.
bool LoopbackOwner(const sockaddr_in& ALocal, const sockaddr_in& APeer, uid_t& AUid) {
  // One socket for every lookup, kept open: a connection's cost stays small.
  static const int Netlink = [] {
    const int Fd = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    timeval Wait{0, 200000};
    if (Fd >= 0) setsockopt(Fd, SOL_SOCKET, SO_RCVTIMEO, &Wait, sizeof Wait);
    return Fd;
  }();
  if (Netlink < 0) return false;
  struct {
    nlmsghdr Header;
    inet_diag_req_v2 Request;
  } Message{};
  Message.Header.nlmsg_len = sizeof Message;
  Message.Header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
  Message.Header.nlmsg_flags = NLM_F_REQUEST;
  Message.Request.sdiag_family = AF_INET;
  Message.Request.sdiag_protocol = IPPROTO_TCP;
  Message.Request.idiag_states = ~0u;
  // The client's socket: its source is our peer, its destination us.
  Message.Request.id.idiag_sport = APeer.sin_port;
  Message.Request.id.idiag_dport = ALocal.sin_port;
  std::memcpy(Message.Request.id.idiag_src, &APeer.sin_addr, sizeof APeer.sin_addr);
  std::memcpy(Message.Request.id.idiag_dst, &ALocal.sin_addr, sizeof ALocal.sin_addr);
  Message.Request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
  Message.Request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
  sockaddr_nl Kernel{};
  Kernel.nl_family = AF_NETLINK;
  bool Found = false;
  if (sendto(Netlink, &Message, sizeof Message, 0, reinterpret_cast<sockaddr*>(&Kernel),
             sizeof Kernel) == static_cast<ssize_t>(sizeof Message)) {
    alignas(nlmsghdr) char Answer[1024];
    const ssize_t Size = recv(Netlink, Answer, sizeof Answer, 0);
    // An error answer (or one of a lookup that timed out before) is no owner.
    const auto* Header = reinterpret_cast<const nlmsghdr*>(Answer);
    if (Size >= static_cast<ssize_t>(NLMSG_LENGTH(sizeof(inet_diag_msg))) &&
        NLMSG_OK(Header, static_cast<size_t>(Size)) && Header->nlmsg_type == SOCK_DIAG_BY_FAMILY) {
      const auto* Diag = static_cast<const inet_diag_msg*>(NLMSG_DATA(Header));
      AUid = Diag->idiag_uid;
      Found = true;
    }
  }
  return Found;
}

}  // namespace

std::string PeerIdentity(int AFd) {
  sockaddr_storage Peer{};
  socklen_t PeerSize = sizeof Peer;
  if (getpeername(AFd, reinterpret_cast<sockaddr*>(&Peer), &PeerSize) != 0) return "unknown";
  if (Peer.ss_family == AF_UNIX) {
    ucred Credentials{};
    socklen_t Size = sizeof Credentials;
    if (getsockopt(AFd, SOL_SOCKET, SO_PEERCRED, &Credentials, &Size) == 0)
      return "uid " + std::to_string(Credentials.uid);
    return "unknown";
  }
  if (Peer.ss_family == AF_INET) {
    const auto& PeerIn = reinterpret_cast<const sockaddr_in&>(Peer);
    sockaddr_in Local{};
    socklen_t LocalSize = sizeof Local;
    uid_t Uid = 0;
    if ((ntohl(PeerIn.sin_addr.s_addr) >> 24) == 127 &&
        getsockname(AFd, reinterpret_cast<sockaddr*>(&Local), &LocalSize) == 0 &&
        LoopbackOwner(Local, PeerIn, Uid))
      return "uid " + std::to_string(Uid);
    char Text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &PeerIn.sin_addr, Text, sizeof Text);
    return Text;
  }
  if (Peer.ss_family == AF_INET6) {
    char Text[INET6_ADDRSTRLEN] = {};
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(Peer).sin6_addr, Text, sizeof Text);
    return Text;
  }
  return "unknown";
}
