#pragma once

#include <string>

// What the settings writers ask of the file system before they write.

// The file a write to AFileName lands in: a name reached through symbolic
// links is the last link's target, so that the links survive; a link to a
// file not made yet (a settings file kept in another folder) names it
// there. Empty when the links go round in a loop or a link cannot be read.
std::string ResolvedLinkTarget(const std::string& AFileName);

// Whether a regular file (or a link to one) is there under the name.
bool FileExists(const std::string& AFileName);

// Whether a writer may replace the file: true for a file that does not exist
// yet; false for one without write permission (left alone, as it would be
// by a writer that opened it in place, whoever runs the program) or that is
// no regular file.
bool WritableFile(const std::string& AFileName);

// Whether the user may make new files in the folder.
bool WritableFolder(const std::string& AFolder);
