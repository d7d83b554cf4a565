#pragma once

#include <sys/types.h>

#include <string>

struct TReplaceOptions {
  // The mode of a file that did not exist before; an existing file keeps its
  // own mode (and, when the program runs as root, its owner) unless
  // KeepOldMode is off.
  mode_t NewFileMode = 0644;
  bool KeepOldMode = true;
  // Whether the data is on the disk before the name points at it, so that a
  // crash cannot leave an empty file under the name. Files in memory-backed
  // runtime folders need not wait for a disk.
  bool Durable = true;
  // Puts the file in place only when none exists yet; one that appears
  // meanwhile is kept and counts as success.
  bool OnlyIfAbsent = false;
  // Removes the temporary files that an earlier write, killed half-way, left
  // beside the file (regular files of this user under the name a write
  // gives). Only for a file that no other process writes at the same time.
  bool RemoveLeftovers = false;
  // Where the folder takes no new file (no write permission, a read-only
  // mount) but the file itself is writable, rewrites it in place instead:
  // the whole content, the rest cut off, then on the disk. That cannot be
  // atomic, so it is only the way out for a file the user must be able to
  // save.
  bool InPlaceWhenFolderRefuses = false;
};

// Writes AContent to a new file beside APath and then puts it in APath's
// place in one step: a reader sees the old file or the new one, never a part.
// Returns false when any step failed; the old file then stays as it was
// (except after a failed rewrite in place).
bool ReplaceFile(const std::string& APath, const std::string& AContent,
                 const TReplaceOptions& AOptions = {});
