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
};

// Writes AContent to a new file beside APath and then puts it in APath's
// place in one step: a reader sees the old file or the new one, never a part.
// Returns false when any step failed; the old file then stays as it was.
bool ReplaceFile(const std::string& APath, const std::string& AContent,
                 const TReplaceOptions& AOptions = {});
