#pragma once

// The bearer token of the control interface: a line of at least 16 safe
// characters in a file that only its owner may read or write (mode 0600).

#include <string>

// Reads the token from APath into AToken. With ACreate a missing file is made
// with a fresh random token. Returns an empty text on success, else why not
// (a file that others may read is refused, as is a link).
std::string LoadControlToken(const std::string& APath, bool ACreate, std::string& AToken);

// Whether two texts are equal, taking the same time wherever they differ.
bool SameSecret(const std::string& A, const std::string& B);
