#pragma once

#include <cstddef>
#include <string>

enum class TFileRead {
  Read,        // AText holds the whole file
  Missing,     // no file of that name (or a part of the path is no folder)
  CannotOpen,  // the file is there but cannot be opened
  Refused,     // not a regular file, larger than allowed or than memory, or the read failed
};

// Reads the whole of the regular file APath into AText, refusing one larger
// than AMaxBytes (also one that grows beyond it while it is read), so that a
// file planted by another process cannot make the program read without end.
// The file is opened without
// blocking, so that a FIFO or a device in its place is refused at once
// instead of stopping the caller. With AFollowLinks false, a symbolic link
// in APath's last part is not followed and cannot be opened. AText is empty
// unless the file was read.
TFileRead ReadBoundedFile(const std::string& APath, size_t AMaxBytes, std::string& AText,
                          bool AFollowLinks = true);
