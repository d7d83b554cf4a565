#pragma once

// Where the pppd provider finds pppd and its files. The defaults are
// Debian's: the program /usr/sbin/pppd, its configuration in /etc/ppp (peer
// files in /etc/ppp/peers, secrets in /etc/ppp/chap-secrets and
// /etc/ppp/pap-secrets) and its pid files in /run. Tests and unusual systems
// move them with the environment variables DRAVIK_PPPD, DRAVIK_PPP_DIR and
// DRAVIK_PPP_RUN_DIR, or with the lines pppd=, ppp-dir= and ppp-run-dir= of
// ras.conf; the environment wins.

#include <string>

namespace dravik::ras::pppd {

struct TPppdPaths {
  std::string Program = "/usr/sbin/pppd";
  std::string ConfigDir = "/etc/ppp";
  std::string RunDir = "/run";

  std::string PeersDir() const { return ConfigDir + "/peers"; }
  std::string ChapSecrets() const { return ConfigDir + "/chap-secrets"; }
  std::string PapSecrets() const { return ConfigDir + "/pap-secrets"; }
};

// The paths chosen by the environment and AConfigFile; AProblem says why
// when a path given there is not an absolute one.
TPppdPaths ChosenPppdPaths(const std::string& AConfigFile, std::string& AProblem);

}  // namespace dravik::ras::pppd
