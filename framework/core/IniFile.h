#pragma once

#include <cstdint>
#include <string>

// A profile (INI) file: sections in brackets, "key=value" lines. Section and
// key names match regardless of ASCII letter case; the first match counts.
// Nothing is cached: every read looks at the file as it is now, and every
// write replaces the file at once.
class TIniFile {
 public:
  explicit TIniFile(const std::string& AFileName);

  const std::string& FileName() const { return FFileName; }

  // The key's text with surrounding blanks removed; ADefault when the file,
  // the section or the key is missing or the file cannot be read.
  std::string ReadString(const std::string& ASection, const std::string& AIdent,
                         const std::string& ADefault) const;
  // The key's text read as a signed 32-bit integer (leading blanks, sign,
  // decimal, or hexadecimal after "$", "x", "X", "0x", "0X"); ADefault for any
  // other text or a missing key.
  int32_t ReadInteger(const std::string& ASection, const std::string& AIdent,
                      int32_t ADefault) const;

  // Sets the key, creating the file and the section when they are missing and
  // leaving every other line as it was. The new file takes the old one's
  // place in one step, so a failure at any point leaves the old file whole.
  // Throws Exception("Unable to write to <file name>") when it cannot.
  void WriteString(const std::string& ASection, const std::string& AIdent,
                   const std::string& AValue);
  void WriteInteger(const std::string& ASection, const std::string& AIdent, int32_t AValue);

  // A settings file larger than this is not ours: it is neither read nor
  // rewritten.
  static constexpr size_t MaxFileSize = 1 << 20;

 private:
  std::string FFileName;
};
