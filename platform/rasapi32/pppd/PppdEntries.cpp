#include "PppdEntries.h"

#include "PppdPeers.h"
#include "PppdSecrets.h"
#include "RasCodes.h"
#include "RasTexts.h"

namespace dravik::ras::pppd {

DWORD ReadStoredEntry(const TPppdPaths& APaths, const std::string& AName, TStoredEntry& AEntry) {
  AEntry = TStoredEntry();
  TPeerOptions Options;
  switch (ReadPeerOptions(APaths.PeersDir(), AName, Options)) {
    case TPeerRead::Read:
      break;
    case TPeerRead::Denied:
      return ErrorAccessDenied;
    case TPeerRead::Missing:
    case TPeerRead::Refused:
      return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
  }
  AEntry.Pppoe = Options.Pppoe;
  if (Options.HasUser && IsCredential(Options.User)) AEntry.User = Options.User;
  // Secrets the caller may not read leave the password empty: no error.
  if (!AEntry.User.empty()) {
    ReadSecret(APaths.ChapSecrets(), APaths.PapSecrets(), AEntry.User, Options.RemoteName,
               AEntry.Password);
  }
  return ERROR_SUCCESS;
}

std::string WarningOfPeer(const TPppdPaths& APaths, const std::string& AName) {
  TPeerOptions Options;
  if (ReadPeerOptions(APaths.PeersDir(), AName, Options) != TPeerRead::Read) return {};
  const std::string File = APaths.PeersDir() + "/" + AName;
  if (Options.Demand) {
    return "pppd brings this peer up by itself whenever traffic asks for it (the option demand "
           "in " +
           File + "); remove it so that the line stays down after a hang-up";
  }
  if (Options.Persist) {
    return "pppd dials this peer again by itself when the line drops (the option persist in " +
           File + "), so a drop shows as the same connection coming back; a hang-up ends it";
  }
  return {};
}

}  // namespace dravik::ras::pppd
