#include "TListenSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Room for every connection the server may hold at once to wait in the
// kernel while the server is at its cap.
constexpr int Backlog = 4096;

}  // namespace

std::string ListenTcp(const std::string& AAddress, int APort, int& AFd) {
  sockaddr_in Address{};
  Address.sin_family = AF_INET;
  Address.sin_port = htons(static_cast<uint16_t>(APort));
  if (APort < 0 || APort > 65535 || inet_pton(AF_INET, AAddress.c_str(), &Address.sin_addr) != 1)
    return AAddress + ": not an address";
  const int Fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (Fd < 0) return std::string("cannot make a socket: ") + std::strerror(errno);
  const int On = 1;
  setsockopt(Fd, SOL_SOCKET, SO_REUSEADDR, &On, sizeof On);
  if (bind(Fd, reinterpret_cast<sockaddr*>(&Address), sizeof Address) != 0 ||
      listen(Fd, Backlog) != 0) {
    const std::string Why = std::strerror(errno);
    close(Fd);
    return "cannot listen on " + AAddress + ":" + std::to_string(APort) + " (" + Why + ")";
  }
  AFd = Fd;
  return {};
}

std::string ListenUnix(const std::string& APath, int& AFd) {
  sockaddr_un Address{};
  Address.sun_family = AF_UNIX;
  if (APath.empty() || APath.size() >= sizeof Address.sun_path)
    return APath + ": a socket path has 1 to " + std::to_string(sizeof Address.sun_path - 1) +
           " bytes";
  std::memcpy(Address.sun_path, APath.data(), APath.size());
  const int Fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (Fd < 0) return std::string("cannot make a socket: ") + std::strerror(errno);
  struct stat Info {};
  if (lstat(APath.c_str(), &Info) == 0) {
    if (!S_ISSOCK(Info.st_mode)) {
      close(Fd);
      return APath + ": something other than a socket is there";
    }
    // A socket left by a service that ended; one that answers is in use.
    const int Probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool Live =
        Probe >= 0 && connect(Probe, reinterpret_cast<sockaddr*>(&Address), sizeof Address) == 0;
    if (Probe >= 0) close(Probe);
    if (Live) {
      close(Fd);
      return APath + ": another service listens on it";
    }
    unlink(APath.c_str());
  }
  // Made with mode 0660 from the start: no moment in which others may connect.
  const mode_t Saved = umask(0117);
  const int Bound = bind(Fd, reinterpret_cast<sockaddr*>(&Address), sizeof Address);
  const int BindError = errno;
  umask(Saved);
  if (Bound != 0 || chmod(APath.c_str(), 0660) != 0 || listen(Fd, Backlog) != 0) {
    const std::string Why = std::strerror(Bound != 0 ? BindError : errno);
    close(Fd);
    return "cannot listen on " + APath + " (" + Why + ")";
  }
  AFd = Fd;
  return {};
}

int ListeningPort(int AFd) {
  sockaddr_storage Address{};
  socklen_t Size = sizeof Address;
  if (getsockname(AFd, reinterpret_cast<sockaddr*>(&Address), &Size) != 0 ||
      Address.ss_family != AF_INET)
    return 0;
  return ntohs(reinterpret_cast<const sockaddr_in&>(Address).sin_port);
}
