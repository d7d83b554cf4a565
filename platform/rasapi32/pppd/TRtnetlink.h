#pragma once

// The interfaces and their IPv4 addresses as the kernel tells them over
// rtnetlink: read whole once, then kept current by its notifications of
// links and addresses, so that a question about an interface is answered
// from memory.

#include <map>
#include <string>
#include <vector>

namespace dravik::ras::pppd {

struct TInterfaceState {
  std::string Name;
  // The first IPv4 address: the own one and, on a point-to-point link, the
  // peer's; empty while the interface has none.
  std::string Local;
  std::string Peer;
};

class TRtnetlink {
 public:
  TRtnetlink() = default;
  ~TRtnetlink();
  TRtnetlink(const TRtnetlink&) = delete;
  TRtnetlink& operator=(const TRtnetlink&) = delete;

  // Subscribes to the notifications and reads the tables; on failure
  // AProblem says why.
  bool Open(std::string& AProblem);

  // Where notifications arrive, for poll().
  int Fd() const { return FEvents; }

  // Takes in every notification waiting; whether anything changed. After
  // lost notifications (the socket's buffer overran) reads the tables again.
  bool Read();

  // By interface index.
  const std::map<int, TInterfaceState>& Interfaces() const { return FInterfaces; }

  // The interface of that name; nullptr when there is none.
  const TInterfaceState* Find(const std::string& AName) const;

 private:
  bool Dump();
  bool Request(int AType, int AFamily);
  // Applies the messages in a buffer; whether one was the end of a dump.
  bool Apply(const char* ABuffer, size_t ASize, bool& AChanged);

  int FEvents = -1;
  int FQueries = -1;
  unsigned FSequence = 0;
  // One message batch as the kernel sends it (its pages are at most 32 KiB).
  std::vector<char> FBuffer = std::vector<char>(64 * 1024);
  std::map<int, TInterfaceState> FInterfaces;
};

}  // namespace dravik::ras::pppd
