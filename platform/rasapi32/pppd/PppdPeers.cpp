#include "PppdPeers.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "RasCodes.h"
#include "RasTexts.h"
#include "ReadBoundedFile.h"

namespace dravik::ras::pppd {

namespace {

constexpr size_t MaxOptionFileBytes = 64 * 1024;

bool EndsWith(const std::string& AText, std::string_view AEnd) {
  return AText.size() >= AEnd.size() &&
         AText.compare(AText.size() - AEnd.size(), AEnd.size(), AEnd) == 0;
}

// pppd's options that take one argument: the word after them is that
// argument, never an option of its own. Any other word is taken alone.
const char* const OptionsWithArgument[] = {"active-filter",
                                           "allow-ip",
                                           "allow-number",
                                           "asyncmap",
                                           "bsdcomp",
                                           "ca",
                                           "call",
                                           "cert",
                                           "chap-interval",
                                           "chap-max-challenge",
                                           "chap-restart",
                                           "chap-timeout",
                                           "child-timeout",
                                           "connect",
                                           "connect-delay",
                                           "crl",
                                           "crl-dir",
                                           "defaultroute-metric",
                                           "deflate",
                                           "disconnect",
                                           "domain",
                                           "eap-interval",
                                           "eap-max-rreq",
                                           "eap-max-sreq",
                                           "eap-restart",
                                           "eap-timeout",
                                           "endpoint",
                                           "escape",
                                           "file",
                                           "holdoff",
                                           "host-uniq",
                                           "idle",
                                           "ifname",
                                           "init",
                                           "ipcp-max-configure",
                                           "ipcp-max-failure",
                                           "ipcp-max-terminate",
                                           "ipcp-restart",
                                           "ipparam",
                                           "ipv6",
                                           "ipv6cp-max-configure",
                                           "ipv6cp-max-failure",
                                           "ipv6cp-max-terminate",
                                           "ipv6cp-restart",
                                           "ipx-network",
                                           "ipx-node",
                                           "ipx-router-name",
                                           "ipx-routing",
                                           "ipxcp-max-configure",
                                           "ipxcp-max-failure",
                                           "ipxcp-max-terminate",
                                           "kdebug",
                                           "key",
                                           "lcp-echo-failure",
                                           "lcp-echo-interval",
                                           "lcp-max-configure",
                                           "lcp-max-failure",
                                           "lcp-max-terminate",
                                           "lcp-restart",
                                           "linkname",
                                           "logfd",
                                           "logfile",
                                           "maxconnect",
                                           "maxfail",
                                           "mrru",
                                           "ms-dns",
                                           "ms-wins",
                                           "mru",
                                           "mtu",
                                           "name",
                                           "netmask",
                                           "pap-max-authreq",
                                           "pap-restart",
                                           "pap-timeout",
                                           "pass-filter",
                                           "password",
                                           "plugin",
                                           "pppoe-ac",
                                           "pppoe-host-uniq",
                                           "pppoe-mac",
                                           "pppoe-padi-attempts",
                                           "pppoe-padi-timeout",
                                           "pppoe-service",
                                           "pppoe-sess",
                                           "pppoe-verbose",
                                           "privgroup",
                                           "pty",
                                           "record",
                                           "remotename",
                                           "remotenumber",
                                           "rp_pppoe_ac",
                                           "rp_pppoe_mac",
                                           "rp_pppoe_service",
                                           "rp_pppoe_sess",
                                           "rp_pppoe_verbose",
                                           "set",
                                           "socket",
                                           "srp-interval",
                                           "srp-pn-secret",
                                           "stop-bits",
                                           "unit",
                                           "unset",
                                           "user",
                                           "vj-max-slots",
                                           "welcome"};

bool TakesArgument(const std::string& AOption) {
  return std::find_if(std::begin(OptionsWithArgument), std::end(OptionsWithArgument),
                      [&AOption](const char* AName) { return AOption == AName; }) !=
         std::end(OptionsWithArgument);
}

// A plugin that makes the peer a PPPoE one, named alone or by its path.
bool IsPppoePlugin(const std::string& APlugin) {
  const size_t Slash = APlugin.rfind('/');
  const std::string Base = Slash == std::string::npos ? APlugin : APlugin.substr(Slash + 1);
  return Base == "rp-pppoe.so" || Base == "pppoe.so";
}

// A peer name as pppd's call option takes it: no leading slash, no ".."
// part.
bool IsCallName(const std::string& AName) {
  if (AName.empty() || AName[0] == '/') return false;
  size_t Start = 0;
  for (;;) {
    const size_t Slash = AName.find('/', Start);
    if (AName.compare(Start, Slash == std::string::npos ? Slash : Slash - Start, "..") == 0) {
      return false;
    }
    if (Slash == std::string::npos) return true;
    Start = Slash + 1;
  }
}

TPeerRead ReadOptionFile(const std::string& APath, std::vector<TPppdWord>& AWords) {
  std::string Text;
  switch (ReadBoundedFile(APath, MaxOptionFileBytes, Text)) {
    case TFileRead::Read:
      AWords = SplitPppdWords(Text);
      return TPeerRead::Read;
    case TFileRead::Missing:
      return TPeerRead::Missing;
    case TFileRead::CannotOpen:
      // The open's own error is still there.
      return errno == EACCES || errno == EPERM ? TPeerRead::Denied : TPeerRead::Refused;
    case TFileRead::Refused:
      break;
  }
  return TPeerRead::Refused;
}

}  // namespace

bool IsPeerName(const std::string& AName) {
  if (!IsEntryName(AName) || AName[0] == '.' || AName.find('/') != std::string::npos) {
    return false;
  }
  if (AName.front() == '#' && AName.back() == '#') return false;
  for (std::string_view End : {"~", ".bak", ".orig", ".rej", ".swp", ".tmp", ".save"}) {
    if (EndsWith(AName, End)) return false;
  }
  for (const char* Part : {".dpkg-", ".ucf-"}) {
    if (AName.find(Part) != std::string::npos) return false;
  }
  return true;
}

DWORD ListPeers(const std::string& APeersDir, std::vector<std::string>& ANames) {
  ANames.clear();
  DIR* Folder = opendir(APeersDir.c_str());
  if (Folder == nullptr) {
    return errno == EACCES || errno == EPERM ? ErrorAccessDenied : ERROR_CANNOT_OPEN_PHONEBOOK;
  }
  while (const dirent* Entry = readdir(Folder)) {
    const std::string Name = Entry->d_name;
    if (!IsPeerName(Name)) continue;
    struct stat Info;
    if (fstatat(dirfd(Folder), Entry->d_name, &Info, 0) != 0 || !S_ISREG(Info.st_mode)) continue;
    ANames.push_back(Name);
  }
  closedir(Folder);
  std::sort(ANames.begin(), ANames.end());
  return ERROR_SUCCESS;
}

void ApplyOptionWords(const std::vector<TPppdWord>& AWords, const std::string& APeersDir,
                      TPeerOptions& AOptions,
                      const std::function<void(const std::string&)>& AInclude) {
  for (size_t Index = 0; Index < AWords.size(); ++Index) {
    const std::string& Option = AWords[Index].Text;
    if (TakesArgument(Option)) {
      // An option without its argument at the end of the file is pppd's
      // error, not a setting.
      if (Index + 1 >= AWords.size()) break;
      const std::string& Value = AWords[++Index].Text;
      if (Option == "user") {
        AOptions.User = Value;
        AOptions.HasUser = true;
      } else if (Option == "linkname") {
        AOptions.LinkName = Value;
      } else if (Option == "remotename") {
        AOptions.RemoteName = Value;
      } else if (Option == "plugin") {
        AOptions.Pppoe = AOptions.Pppoe || IsPppoePlugin(Value);
      } else if (AInclude && Option == "file") {
        AInclude(Value);
      } else if (AInclude && Option == "call" && IsCallName(Value)) {
        AInclude(APeersDir + "/" + Value);
      }
      continue;
    }
    if (Option == "persist") {
      AOptions.Persist = true;
    } else if (Option == "nopersist") {
      AOptions.Persist = false;
    } else if (Option == "demand") {
      AOptions.Demand = true;
    } else if (Option.compare(0, 4, "nic-") == 0 && Option.size() > 4) {
      AOptions.Pppoe = true;
    }
  }
}

TPeerRead ReadPeerOptions(const std::string& APeersDir, const std::string& AName,
                          TPeerOptions& AOptions) {
  AOptions = TPeerOptions();
  if (!IsPeerName(AName)) return TPeerRead::Missing;
  std::vector<TPppdWord> Words;
  const TPeerRead Read = ReadOptionFile(APeersDir + "/" + AName, Words);
  if (Read != TPeerRead::Read) return Read;
  // An included file's options apply where its option stands, so that what
  // comes after it in the peer file still wins.
  ApplyOptionWords(Words, APeersDir, AOptions, [&APeersDir, &AOptions](const std::string& APath) {
    std::vector<TPppdWord> Included;
    if (ReadOptionFile(APath, Included) == TPeerRead::Read) {
      ApplyOptionWords(Included, APeersDir, AOptions);
    }
  });
  return TPeerRead::Read;
}

}  // namespace dravik::ras::pppd
