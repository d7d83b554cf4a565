#pragma once

// The phonebook of the pppd provider: the peer files of pppd's peers folder,
// one entry each, and what the provider reads from them.

#include <functional>
#include <string>
#include <vector>

#include "PppdWords.h"
#include "Ras.h"

namespace dravik::ras::pppd {

// Whether a file name in the peers folder names a peer: an entry name (1 to
// 256 bytes, no control characters) that pppd's call option takes, and not
// a leftover of an editor or of the package tools (a leading dot, "~",
// ".bak", ".orig", ".rej", ".swp", ".tmp", ".save", ".dpkg-...", ".ucf-...",
// "#...#").
bool IsPeerName(const std::string& AName);

// The peers of APeersDir in listing order (by name, byte order): regular
// files (links to one count) whose names pass IsPeerName. Returns
// ERROR_SUCCESS, ErrorAccessDenied when the caller may not read the folder,
// or ERROR_CANNOT_OPEN_PHONEBOOK when it is missing or not a folder.
DWORD ListPeers(const std::string& APeersDir, std::vector<std::string>& ANames);

// What the provider needs of a peer's options.
struct TPeerOptions {
  // The user option: the name pppd authenticates with.
  std::string User;
  bool HasUser = false;
  // pppd dials again by itself after a drop, or brings the link up when
  // traffic asks for it.
  bool Persist = false;
  bool Demand = false;
  std::string LinkName;
  std::string RemoteName;
  // A PPPoE peer: the rp-pppoe.so or pppoe.so plugin, or a nic- option.
  bool Pppoe = false;
};

// Applies the options that the words of one file give, in order, so that
// the last occurrence of each wins. An include (the file option, or a call
// option naming a peer file in APeersDir) calls AInclude with the file's
// path where it stands; without AInclude, includes are passed over.
void ApplyOptionWords(const std::vector<TPppdWord>& AWords, const std::string& APeersDir,
                      TPeerOptions& AOptions,
                      const std::function<void(const std::string&)>& AInclude = {});

enum class TPeerRead {
  Read,
  Missing,  // no such peer (or not a peer's name)
  Denied,   // the caller may not read it
  Refused,  // not a plain file of at most 64 KiB
};

// Reads the peer ANAME's options from its file in APeersDir, following the
// file and call options in it one level deep (what those included files
// include is not followed; an included file that cannot be read is passed
// over).
TPeerRead ReadPeerOptions(const std::string& APeersDir, const std::string& AName,
                          TPeerOptions& AOptions);

}  // namespace dravik::ras::pppd
