#pragma once

// The simulated service's phonebook: an INI file, one section per entry, the
// section name being the entry name (compared exactly, letter case included).
//
//   [Broadband]
//   UserName=someone
//   Password=secret
//   DialSeconds=2.5     ; how long a dial takes; 0 connects at once
//   ErrorCode=691       ; optional: every dial of the entry fails with it
//   HangUpErrorCode=5   ; optional: every hang-up of the entry is refused so
//
// File order is listing order. Lines that do not parse, names longer than
// 256 bytes, values too long for their record fields and repeated sections
// are skipped.

#include <cstdint>
#include <string>
#include <vector>

#include "Ras.h"

namespace dravik::ras {

struct TSimEntry {
  std::string Name;
  std::string UserName;
  std::string Password;
  int64_t DialNs = 2000000000;
  DWORD ErrorCode = 0;
  DWORD HangUpErrorCode = 0;
};

class TSimPhonebook {
 public:
  // Reads the phonebook at APath, first creating it with one sample entry
  // when there is none, so that a fresh machine has something to dial.
  static DWORD Load(const std::string& APath, std::vector<TSimEntry>& AEntries);

  static void Parse(const std::string& AText, std::vector<TSimEntry>& AEntries);

  static const TSimEntry* Find(const std::vector<TSimEntry>& AEntries, const std::string& AName);

  static const char* SampleText();
};

}  // namespace dravik::ras
