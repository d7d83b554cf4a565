#pragma once

// pppd's secrets files (chap-secrets, pap-secrets): one secret a line, as
// words of pppd's grammar: client, server, secret, then the addresses the
// client may use. "*" as client or server matches any name; a secret
// "@/path" is the first word of that file.

#include <string>
#include <string_view>
#include <vector>

namespace dravik::ras::pppd {

struct TSecretLine {
  std::string Client;
  std::string Server;
  std::string Secret;
};

// The lines of a secrets file that have at least client, server and secret.
std::vector<TSecretLine> ParseSecrets(std::string_view AText);

// The line whose secret AUser authenticates with towards AServer (empty:
// the server's name is not known, as for a peer without remotename), by
// pppd's rule: the best match, the one with the fewest wildcards; of equal
// ones the first. A server named in a line is a guess while AServer is not
// known, which ranks it below "*". nullptr when no line fits.
const TSecretLine* FindSecret(const std::vector<TSecretLine>& ALines, const std::string& AUser,
                              const std::string& AServer);

// The password AUser dials AServer with: the secret from AChapFile, else
// from APapFile, an "@/path" secret read from its file. False when neither
// file can be read by the caller or holds a fitting line; that is no error.
bool ReadSecret(const std::string& AChapFile, const std::string& APapFile, const std::string& AUser,
                const std::string& AServer, std::string& ASecret);

}  // namespace dravik::ras::pppd
