#include "TControlClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QList>
#include <cerrno>
#include <cstring>

namespace {

// Answers are small; anything larger is not the service.
constexpr qsizetype MaxAnswerBytes = 64 * 1024 * 1024;

struct TFd {
  int Fd = -1;
  ~TFd() {
    if (Fd >= 0) close(Fd);
  }
};

// Waits for AEvents on AFd within what is left of the time; false when it ran out.
bool WaitFor(int AFd, short AEvents, const QElapsedTimer& AClock, int ATimeoutMs) {
  for (;;) {
    const qint64 Left = ATimeoutMs - AClock.elapsed();
    if (Left <= 0) return false;
    pollfd Poll{AFd, AEvents, 0};
    const int Ready = poll(&Poll, 1, static_cast<int>(Left));
    if (Ready > 0) return true;
    if (Ready < 0 && errno != EINTR) return false;
  }
}

}  // namespace

std::string TControlEndpoint::Text() const {
  return SocketPath.empty() ? Address + ":" + std::to_string(Port) : "unix:" + SocketPath;
}

TControlAnswer AskControl(const TControlEndpoint& AEndpoint, const std::string& AMethod,
                          const std::string& ATarget, const std::string& AToken, int ATimeoutMs) {
  TControlAnswer Answer;
  QElapsedTimer Clock;
  Clock.start();
  sockaddr_storage Address{};
  socklen_t Size = 0;
  if (!AEndpoint.SocketPath.empty()) {
    auto& Unix = reinterpret_cast<sockaddr_un&>(Address);
    Unix.sun_family = AF_UNIX;
    if (AEndpoint.SocketPath.size() >= sizeof Unix.sun_path) {
      Answer.Problem = "the socket path is too long";
      return Answer;
    }
    std::memcpy(Unix.sun_path, AEndpoint.SocketPath.data(), AEndpoint.SocketPath.size());
    Size = sizeof Unix;
  } else {
    auto& Inet = reinterpret_cast<sockaddr_in&>(Address);
    Inet.sin_family = AF_INET;
    Inet.sin_port = htons(static_cast<uint16_t>(AEndpoint.Port));
    // Listening on every address: reached through loopback.
    const std::string Host = AEndpoint.Address == "0.0.0.0" ? "127.0.0.1" : AEndpoint.Address;
    if (inet_pton(AF_INET, Host.c_str(), &Inet.sin_addr) != 1) {
      Answer.Problem = "not an address";
      return Answer;
    }
    Size = sizeof Inet;
  }
  TFd Socket;
  Socket.Fd = socket(Address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (Socket.Fd < 0) {
    Answer.Problem = std::strerror(errno);
    return Answer;
  }
  if (connect(Socket.Fd, reinterpret_cast<sockaddr*>(&Address), Size) != 0) {
    if (errno != EINPROGRESS && errno != EAGAIN) {
      Answer.Problem = std::strerror(errno);
      return Answer;
    }
    if (!WaitFor(Socket.Fd, POLLOUT, Clock, ATimeoutMs)) {
      Answer.Problem = "no connection within the time allowed";
      return Answer;
    }
    int Error = 0;
    socklen_t ErrorSize = sizeof Error;
    getsockopt(Socket.Fd, SOL_SOCKET, SO_ERROR, &Error, &ErrorSize);
    if (Error != 0) {
      Answer.Problem = std::strerror(Error);
      return Answer;
    }
  }
  const std::string Request =
      AMethod + " " + ATarget + " HTTP/1.1\r\nHost: dravikd\r\nAuthorization: Bearer " + AToken +
      (AMethod == "POST" ? "\r\nContent-Length: 0" : "") + "\r\nConnection: close\r\n\r\n";
  size_t Sent = 0;
  while (Sent < Request.size()) {
    const ssize_t Put = send(Socket.Fd, Request.data() + Sent, Request.size() - Sent, MSG_NOSIGNAL);
    if (Put > 0) {
      Sent += static_cast<size_t>(Put);
    } else if (Put < 0 && errno != EAGAIN && errno != EINTR) {
      Answer.Problem = std::strerror(errno);
      return Answer;
    } else if (!WaitFor(Socket.Fd, POLLOUT, Clock, ATimeoutMs)) {
      Answer.Problem = "the request could not be sent within the time allowed";
      return Answer;
    }
  }
  QByteArray Text;
  for (;;) {
    char Buffer[65536];
    const ssize_t Got = recv(Socket.Fd, Buffer, sizeof Buffer, 0);
    if (Got > 0) {
      Text.append(Buffer, Got);
      if (Text.size() > MaxAnswerBytes) {
        Answer.Problem = "the answer is larger than 64 MiB";
        return Answer;
      }
    } else if (Got == 0) {
      break;
    } else if (errno == ECONNRESET && !Text.isEmpty()) {
      break;
    } else if (errno != EAGAIN && errno != EINTR) {
      Answer.Problem = std::strerror(errno);
      return Answer;
    } else if (!WaitFor(Socket.Fd, POLLIN, Clock, ATimeoutMs)) {
      Answer.Problem = "no answer within the time allowed";
      return Answer;
    }
  }
  const qsizetype HeadEnd = Text.indexOf("\r\n\r\n");
  if (!Text.startsWith("HTTP/1.") || HeadEnd < 0 || Text.size() < 12) {
    Answer.Problem = "the answer is not HTTP";
    return Answer;
  }
  bool Number = false;
  Answer.Status = Text.mid(9, 3).toInt(&Number);
  if (!Number) {
    Answer.Status = 0;
    Answer.Problem = "the answer is not HTTP";
    return Answer;
  }
  Answer.Body = Text.mid(HeadEnd + 4);
  for (const QByteArray& Line : Text.left(HeadEnd).split('\n')) {
    const qsizetype Colon = Line.indexOf(':');
    if (Colon <= 0 || Line.left(Colon).trimmed().toLower() != "server") continue;
    for (const char C : Line.mid(Colon + 1).trimmed().left(100))
      Answer.Server += (C >= 0x20 && C < 0x7F) ? C : '?';
  }
  return Answer;
}
