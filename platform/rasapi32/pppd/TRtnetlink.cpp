#include "TRtnetlink.h"

#include <arpa/inet.h>
#include <linux/if_addr.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "RasTexts.h"

namespace dravik::ras::pppd {

namespace {

std::string AddressText(const void* AData) {
  char Text[INET_ADDRSTRLEN] = {};
  if (inet_ntop(AF_INET, AData, Text, sizeof Text) == nullptr) return {};
  return Text;
}

}  // namespace

TRtnetlink::~TRtnetlink() {
  if (FEvents >= 0) close(FEvents);
  if (FQueries >= 0) close(FQueries);
}

bool TRtnetlink::Open(std::string& AProblem) {
  FEvents = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
  FQueries = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
  if (FEvents < 0 || FQueries < 0) {
    AProblem = std::string("no rtnetlink socket: ") + std::strerror(errno);
    return false;
  }
  sockaddr_nl Address;
  std::memset(&Address, 0, sizeof Address);
  Address.nl_family = AF_NETLINK;
  Address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR;
  if (bind(FEvents, reinterpret_cast<sockaddr*>(&Address), sizeof Address) != 0) {
    AProblem = std::string("cannot follow rtnetlink: ") + std::strerror(errno);
    return false;
  }
  // Subscribed before the tables are read: a change in between arrives
  // after the dump and is applied on top of it.
  if (!Dump()) {
    AProblem = std::string("cannot read the interfaces over rtnetlink: ") + std::strerror(errno);
    return false;
  }
  return true;
}

bool TRtnetlink::Request(int AType, int AFamily) {
  struct {
    nlmsghdr Header;
    rtgenmsg Body;
  } Message;
  std::memset(&Message, 0, sizeof Message);
  Message.Header.nlmsg_len = sizeof Message;
  Message.Header.nlmsg_type = static_cast<unsigned short>(AType);
  Message.Header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  Message.Header.nlmsg_seq = ++FSequence;
  Message.Body.rtgen_family = static_cast<unsigned char>(AFamily);
  if (send(FQueries, &Message, sizeof Message, 0) != static_cast<ssize_t>(sizeof Message)) {
    return false;
  }
  for (;;) {
    const ssize_t Count = recv(FQueries, FBuffer.data(), FBuffer.size(), 0);
    if (Count < 0 && errno == EINTR) continue;
    if (Count <= 0) return false;
    bool Changed = false;
    if (Apply(FBuffer.data(), static_cast<size_t>(Count), Changed)) return true;
  }
}

bool TRtnetlink::Dump() {
  FInterfaces.clear();
  return Request(RTM_GETLINK, AF_UNSPEC) && Request(RTM_GETADDR, AF_INET);
}

bool TRtnetlink::Read() {
  bool Changed = false;
  for (;;) {
    const ssize_t Count = recv(FEvents, FBuffer.data(), FBuffer.size(), 0);
    if (Count < 0 && errno == EINTR) continue;
    if (Count < 0 && errno == ENOBUFS) {
      // Notifications were lost: what is known may be stale.
      Dump();
      Changed = true;
      continue;
    }
    if (Count <= 0) return Changed;
    Apply(FBuffer.data(), static_cast<size_t>(Count), Changed);
  }
}

bool TRtnetlink::Apply(const char* ABuffer, size_t ASize, bool& AChanged) {
  bool Done = false;
  size_t Left = ASize;
  for (auto* Header = reinterpret_cast<const nlmsghdr*>(ABuffer); NLMSG_OK(Header, Left);
       Header = NLMSG_NEXT(Header, Left)) {
    const int Type = Header->nlmsg_type;
    if (Type == NLMSG_DONE || Type == NLMSG_ERROR) {
      Done = true;
      continue;
    }
    if ((Type == RTM_NEWLINK || Type == RTM_DELLINK) &&
        Header->nlmsg_len >= NLMSG_LENGTH(sizeof(ifinfomsg))) {
      const auto* Info = static_cast<const ifinfomsg*>(NLMSG_DATA(Header));
      if (Type == RTM_DELLINK) {
        AChanged = FInterfaces.erase(Info->ifi_index) > 0 || AChanged;
        continue;
      }
      size_t AttributesLeft = Header->nlmsg_len - NLMSG_LENGTH(sizeof(ifinfomsg));
      for (auto* Attribute = IFLA_RTA(Info); RTA_OK(Attribute, AttributesLeft);
           Attribute = RTA_NEXT(Attribute, AttributesLeft)) {
        if (Attribute->rta_type != IFLA_IFNAME) continue;
        const auto* Text = static_cast<const char*>(RTA_DATA(Attribute));
        const std::string Name(Text, strnlen(Text, RTA_PAYLOAD(Attribute)));
        if (!IsInterfaceName(Name)) continue;
        TInterfaceState& State = FInterfaces[Info->ifi_index];
        if (State.Name != Name) {
          State.Name = Name;
          AChanged = true;
        }
      }
      continue;
    }
    if ((Type == RTM_NEWADDR || Type == RTM_DELADDR) &&
        Header->nlmsg_len >= NLMSG_LENGTH(sizeof(ifaddrmsg))) {
      const auto* Info = static_cast<const ifaddrmsg*>(NLMSG_DATA(Header));
      if (Info->ifa_family != AF_INET) continue;
      std::string Local, Peer;
      size_t AttributesLeft = Header->nlmsg_len - NLMSG_LENGTH(sizeof(ifaddrmsg));
      for (auto* Attribute = IFA_RTA(Info); RTA_OK(Attribute, AttributesLeft);
           Attribute = RTA_NEXT(Attribute, AttributesLeft)) {
        if (RTA_PAYLOAD(Attribute) < 4) continue;
        // On a point-to-point link IFA_ADDRESS is the peer's, IFA_LOCAL the
        // own; elsewhere both are the own.
        if (Attribute->rta_type == IFA_LOCAL) Local = AddressText(RTA_DATA(Attribute));
        if (Attribute->rta_type == IFA_ADDRESS) Peer = AddressText(RTA_DATA(Attribute));
      }
      if (Local.empty()) Local = Peer;
      if (Peer == Local) Peer.clear();
      const auto Interface = FInterfaces.find(static_cast<int>(Info->ifa_index));
      if (Interface == FInterfaces.end()) continue;
      TInterfaceState& State = Interface->second;
      if (Type == RTM_NEWADDR && State.Local.empty()) {
        State.Local = Local;
        State.Peer = Peer;
        AChanged = true;
      } else if (Type == RTM_DELADDR && State.Local == Local) {
        State.Local.clear();
        State.Peer.clear();
        AChanged = true;
      }
    }
  }
  return Done;
}

const TInterfaceState* TRtnetlink::Find(const std::string& AName) const {
  for (const auto& [Index, State] : FInterfaces) {
    if (State.Name == AName) return &State;
  }
  return nullptr;
}

}  // namespace dravik::ras::pppd
