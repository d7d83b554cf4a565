#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A profile (INI) file: sections in brackets, "key=value" lines. Section and
// key names match regardless of ASCII letter case; the first match counts.
// Nothing is cached: every read looks at the file as it is now, and every
// write replaces the file at once. A file that starts with a UTF-8
// byte-order mark is read past it and keeps it when written. Files are
// opened without blocking, and anything that is not a regular file (a
// folder, a FIFO, a device) or is larger than 16 MiB is never read or
// written. A file reached through symbolic links is written at their target,
// the links kept.
class TIniFile {
 public:
  explicit TIniFile(const std::string& AFileName);

  const std::string& FileName() const { return FFileName; }

  // The key's text with surrounding blanks removed; ADefault when the file,
  // the section or the key is missing or the file cannot be read.
  std::string ReadString(const std::string& ASection, const std::string& AIdent,
                         const std::string& ADefault) const;
  // True when something is there under the file's name but it cannot be read
  // as a settings file (not a regular file, larger than 16 MiB, no
  // permission, links in a loop, or a read error); false for a file that
  // reads or for no file at all (a link to no file included).
  bool Unreadable() const;
  // The key's text read as a signed 32-bit integer (leading blanks, sign,
  // decimal, or hexadecimal after "$", "x", "X", "0x", "0X"); ADefault for any
  // other text or a missing key.
  int32_t ReadInteger(const std::string& ASection, const std::string& AIdent,
                      int32_t ADefault) const;

  // Sets the keys of one section in one replacement of the file, creating
  // the file and the section when they are missing and leaving every other
  // line as it was. Where the file's folder allows it, the new file takes the
  // old one's place in one step, so that the file is always wholly old or
  // wholly new; in a folder where no file can be made beside it, an existing
  // writable file is rewritten in place. Temporary files that an earlier,
  // interrupted write left beside the file are removed. Throws
  // Exception("Unable to write to <file name>") when it cannot write.
  using TKeyValues = std::vector<std::pair<std::string, std::string>>;
  void WriteStrings(const std::string& ASection, const TKeyValues& AValues);
  void WriteString(const std::string& ASection, const std::string& AIdent,
                   const std::string& AValue);
  void WriteInteger(const std::string& ASection, const std::string& AIdent, int32_t AValue);

 private:
  std::string FFileName;
};
