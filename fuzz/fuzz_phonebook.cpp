// The simulated service's phonebook: any text parses, and what it gives
// fits the dial records: names of 1 to 256 bytes without NUL and unique,
// credentials within their fields, dial times of 0 to 3600 s.
//
// Input: the phonebook file's content.

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "SimPhonebook.h"

using dravik::ras::TSimEntry;
using dravik::ras::TSimPhonebook;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  const std::string Text(reinterpret_cast<const char*>(AData), ASize);
  std::vector<TSimEntry> Entries;
  TSimPhonebook::Parse(Text, Entries);
  std::set<std::string> Names;
  for (const TSimEntry& Entry : Entries) {
    if (Entry.Name.empty() || Entry.Name.size() > RAS_MaxEntryName) std::abort();
    if (Entry.Name.find('\0') != std::string::npos) std::abort();
    if (!Names.insert(Entry.Name).second) std::abort();
    if (Entry.UserName.size() > UNLEN || Entry.Password.size() > PWLEN) std::abort();
    if (Entry.DialNs < 0 || Entry.DialNs > 3600 * int64_t(1000000000)) std::abort();
    if (TSimPhonebook::Find(Entries, Entry.Name) != &Entry) std::abort();
  }
  return 0;
}
