// pppd's files as the pppd provider reads them: an option file (a peer,
// with its options), a secrets file, a pid file, a command line from /proc
// and a progress line, all from the same input. Each reading stays within
// its bounds: words of at most pppd's length, a user name and secrets that
// are words of the text, pids in range, interface and peer names that pass
// their checks, states in order.
//
// Input: the file's content.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "PppdCodes.h"
#include "PppdLinks.h"
#include "PppdPeers.h"
#include "PppdSecrets.h"
#include "PppdWords.h"
#include "RasTexts.h"

using namespace dravik::ras;
using namespace dravik::ras::pppd;

namespace {

bool IsWordOf(const std::vector<TPppdWord>& AWords, const std::string& AText) {
  for (const TPppdWord& Word : AWords) {
    if (Word.Text == AText) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  const std::string Text(reinterpret_cast<const char*>(AData), ASize);
  const std::vector<TPppdWord> Words = SplitPppdWords(Text);
  for (const TPppdWord& Word : Words) {
    if (Word.Text.size() > MaxWordBytes) std::abort();
  }
  if (!Words.empty() && !Words.front().StartsLine) std::abort();

  TPeerOptions Options;
  ApplyOptionWords(Words, "/nonexistent", Options);
  if (Options.HasUser && !IsWordOf(Words, Options.User)) std::abort();
  if (!Options.HasUser && !Options.User.empty()) std::abort();

  const std::vector<TSecretLine> Lines = ParseSecrets(Text);
  for (const TSecretLine& Line : Lines) {
    if (!IsWordOf(Words, Line.Client) || !IsWordOf(Words, Line.Secret)) std::abort();
  }
  for (const char* User : {"alice", "*", ""}) {
    const TSecretLine* Found = FindSecret(Lines, User, "");
    if (Found != nullptr && (Found < Lines.data() || Found >= Lines.data() + Lines.size())) {
      std::abort();
    }
  }

  for (TPidFileKind Kind : {TPidFileKind::Link, TPidFileKind::Unit}) {
    pid_t Pid = 0;
    std::string Interface;
    if (!ParsePidFile(Text, Kind, Pid, Interface)) continue;
    if (Pid < 1 || Pid > 4194304) std::abort();
    if (Kind == TPidFileKind::Link && !IsInterfaceName(Interface)) std::abort();
  }
  if (Text.size() < 300) {
    std::string LinkName, Interface;
    const TPidFileKind Kind = KindOfPidFileName(Text, LinkName, Interface);
    if (Kind == TPidFileKind::Link && !IsPeerName(LinkName)) std::abort();
    if (Kind == TPidFileKind::Unit && !IsInterfaceName(Interface)) std::abort();
  }

  std::string LinkName;
  const std::string Peer = PeerOfCommandLine(SplitCommandLine(Text), "/usr/sbin/pppd", LinkName);
  if (!Peer.empty() && !IsPeerName(Peer)) std::abort();

  const std::vector<RASCONNSTATE> States = DialStatesOfLine(Text);
  for (size_t Index = 1; Index < States.size(); ++Index) {
    if (States[Index] <= States[Index - 1]) std::abort();
  }
  return 0;
}
