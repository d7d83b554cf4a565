#pragma once

// One request to the control interface, as dravikctl makes it: over TCP or
// the service's Unix socket, the connection closed after the answer, every
// wait bounded.

#include <QByteArray>
#include <string>

struct TControlAnswer {
  int Status = 0;  // 0: no answer; Problem says why
  QByteArray Body;
  // The answer's Server field ("dravikd" from the service), cut to 100
  // printable characters; empty when it has none.
  std::string Server;
  std::string Problem;
};

struct TControlEndpoint {
  std::string SocketPath;  // a Unix socket when not empty, else:
  std::string Address;
  int Port = 0;
  std::string Text() const;
};

TControlAnswer AskControl(const TControlEndpoint& AEndpoint, const std::string& AMethod,
                          const std::string& ATarget, const std::string& AToken,
                          int ATimeoutMs = 10000);
