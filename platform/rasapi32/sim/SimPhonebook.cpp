#include "SimPhonebook.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "IniText.h"
#include "ReadBoundedFile.h"
#include "ReplaceFile.h"

namespace dravik::ras {

namespace {

constexpr size_t MaxPhonebookBytes = 1024 * 1024;
constexpr size_t MaxEntries = 10000;
constexpr double MaxDialSeconds = 3600;

bool ParseSeconds(const std::string& AText, int64_t& ANs) {
  if (AText.empty() || AText.size() > 32) return false;
  // Not strtod: the program runs under the user's locale, where the decimal
  // point may be a comma, and the phonebook is the same file in every locale.
  double Seconds = 0;
  const char* End = AText.data() + AText.size();
  const auto [Stop, Error] = std::from_chars(AText.data(), End, Seconds);
  if (Error != std::errc() || Stop != End || !std::isfinite(Seconds) || Seconds < 0 ||
      Seconds > MaxDialSeconds) {
    return false;
  }
  ANs = static_cast<int64_t>(std::llround(Seconds * 1e9));
  return true;
}

bool ParseCode(const std::string& AText, DWORD& ACode) {
  if (AText.empty() || AText.size() > 10) return false;
  for (char Char : AText) {
    if (Char < '0' || Char > '9') return false;
  }
  const unsigned long long Value = std::strtoull(AText.c_str(), nullptr, 10);
  if (Value > 0xFFFFFFFFull) return false;
  ACode = static_cast<DWORD>(Value);
  return true;
}

}  // namespace

const char* TSimPhonebook::SampleText() {
  return "; Phonebook of the simulated dial-up service: one section per entry.\n"
         "; UserName, Password: the stored credentials.\n"
         "; DialSeconds: how long a dial takes (fractions allowed, 0 connects at once).\n"
         "; ErrorCode: when set, every dial of the entry fails with this code.\n"
         "[Broadband]\n"
         "UserName=user\n"
         "Password=secret\n"
         "DialSeconds=3\n";
}

void TSimPhonebook::Parse(const std::string& AText, std::vector<TSimEntry>& AEntries) {
  AEntries.clear();
  // The section the following keys belong to; none while outside a section
  // or inside one that was skipped.
  TSimEntry* Current = nullptr;
  for (const TIniLine& Line : SplitIniLines(AText)) {
    std::string_view Name, Rest;
    if (IniSectionLine(Line.Text, Name, Rest)) {
      // Names are taken as written between the brackets, blanks included.
      Current = nullptr;
      if (Name.empty() || !IniTrim(Rest).empty()) continue;
      if (Name.size() > RAS_MaxEntryName || Name.find('\0') != std::string_view::npos) continue;
      if (Find(AEntries, std::string(Name)) != nullptr || AEntries.size() >= MaxEntries) continue;
      AEntries.push_back(TSimEntry());
      AEntries.back().Name = std::string(Name);
      Current = &AEntries.back();
      continue;
    }
    std::string_view KeyText, ValueText;
    if (Current == nullptr || !IniKeyLine(Line.Text, KeyText, ValueText)) continue;
    const std::string Key(KeyText), Value(ValueText);
    if (Value.find('\0') != std::string::npos) continue;
    if (Key == "UserName" && Value.size() <= UNLEN) {
      Current->UserName = Value;
    } else if (Key == "Password" && Value.size() <= PWLEN) {
      Current->Password = Value;
    } else if (Key == "DialSeconds") {
      ParseSeconds(Value, Current->DialNs);
    } else if (Key == "ErrorCode") {
      ParseCode(Value, Current->ErrorCode);
    } else if (Key == "HangUpErrorCode") {
      ParseCode(Value, Current->HangUpErrorCode);
    }
  }
}

DWORD TSimPhonebook::Load(const std::string& APath, std::vector<TSimEntry>& AEntries) {
  AEntries.clear();
  std::string Text;
  TFileRead Read = ReadBoundedFile(APath, MaxPhonebookBytes, Text, false);
  if (Read == TFileRead::Missing) {
    // Put in place unless a phonebook appears meanwhile: another process's
    // (or the user's) stays.
    TReplaceOptions How;
    How.NewFileMode = 0600;
    How.OnlyIfAbsent = true;
    if (!ReplaceFile(APath, SampleText(), How)) return ERROR_CANNOT_OPEN_PHONEBOOK;
    Read = ReadBoundedFile(APath, MaxPhonebookBytes, Text, false);
  }
  if (Read == TFileRead::Missing || Read == TFileRead::CannotOpen)
    return ERROR_CANNOT_OPEN_PHONEBOOK;
  if (Read != TFileRead::Read) return ERROR_CANNOT_LOAD_PHONEBOOK;
  Parse(Text, AEntries);
  return ERROR_SUCCESS;
}

const TSimEntry* TSimPhonebook::Find(const std::vector<TSimEntry>& AEntries,
                                     const std::string& AName) {
  for (const TSimEntry& Entry : AEntries) {
    if (Entry.Name == AName) return &Entry;
  }
  return nullptr;
}

}  // namespace dravik::ras
