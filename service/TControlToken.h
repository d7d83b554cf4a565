#pragma once

// The bearer token of the control interface: a line of at least 16 safe
// characters in a file that only its owner may read or write (mode 0600).

#include <string>

// Reads the token from APath into AToken. With ACreate (the service's own
// reading) a missing file is made with a fresh random token, and the file
// must belong to the service's user. A symbolic link is followed to the
// file it leads to, which must pass the same checks. Returns an empty text
// on success, else why not (a file that others may read is refused).
std::string LoadControlToken(const std::string& APath, bool ACreate, std::string& AToken);

// Whether two texts are equal, taking the same time wherever they differ.
bool SameSecret(const std::string& A, const std::string& B);
