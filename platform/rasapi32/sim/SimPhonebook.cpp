#include "SimPhonebook.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "ReadWhole.h"

namespace dravik::ras {

namespace {

constexpr size_t MaxPhonebookBytes = 1024 * 1024;
constexpr size_t MaxEntries = 10000;
constexpr double MaxDialSeconds = 3600;

std::string Trim(const std::string& AText) {
  const size_t First = AText.find_first_not_of(" \t");
  if (First == std::string::npos) return {};
  const size_t Last = AText.find_last_not_of(" \t");
  return AText.substr(First, Last - First + 1);
}

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

// Puts the sample phonebook in place unless a phonebook appears meanwhile:
// written aside, then linked under the real name, which fails when another
// process was quicker.
bool CreateSample(const std::string& APath) {
  const std::string Temporary = APath + ".new." + std::to_string(getpid());
  const int Fd =
      open(Temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (Fd < 0) return false;
  const std::string Text = TSimPhonebook::SampleText();
  const bool Written = fchmod(Fd, 0600) == 0 &&
                       write(Fd, Text.data(), Text.size()) == static_cast<ssize_t>(Text.size());
  const bool Closed = close(Fd) == 0;
  const bool Linked =
      Written && Closed && (link(Temporary.c_str(), APath.c_str()) == 0 || errno == EEXIST);
  unlink(Temporary.c_str());
  return Linked;
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
  std::istringstream In(AText);
  std::string Line;
  // The section the following keys belong to; none while outside a section
  // or inside one that was skipped.
  TSimEntry* Current = nullptr;
  while (std::getline(In, Line)) {
    if (!Line.empty() && Line.back() == '\r') Line.pop_back();
    const std::string Text = Trim(Line);
    if (Text.empty() || Text[0] == ';' || Text[0] == '#') continue;
    if (Text[0] == '[') {
      Current = nullptr;
      if (Text.back() != ']' || Text.size() < 3) continue;
      const std::string Name = Text.substr(1, Text.size() - 2);
      if (Name.size() > RAS_MaxEntryName || Name.find('\0') != std::string::npos) continue;
      if (Find(AEntries, Name) != nullptr || AEntries.size() >= MaxEntries) continue;
      AEntries.push_back(TSimEntry());
      AEntries.back().Name = Name;
      Current = &AEntries.back();
      continue;
    }
    const size_t Equals = Text.find('=');
    if (Current == nullptr || Equals == std::string::npos) continue;
    const std::string Key = Trim(Text.substr(0, Equals));
    const std::string Value = Trim(Text.substr(Equals + 1));
    if (Value.find('\0') != std::string::npos) continue;
    if (Key == "UserName" && Value.size() <= UNLEN) {
      Current->UserName = Value;
    } else if (Key == "Password" && Value.size() <= PWLEN) {
      Current->Password = Value;
    } else if (Key == "DialSeconds") {
      ParseSeconds(Value, Current->DialNs);
    } else if (Key == "ErrorCode") {
      ParseCode(Value, Current->ErrorCode);
    }
  }
}

DWORD TSimPhonebook::Load(const std::string& APath, std::vector<TSimEntry>& AEntries) {
  AEntries.clear();
  int Fd = open(APath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (Fd < 0 && errno == ENOENT) {
    if (!CreateSample(APath)) return ERROR_CANNOT_OPEN_PHONEBOOK;
    Fd = open(APath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  }
  if (Fd < 0) return ERROR_CANNOT_OPEN_PHONEBOOK;
  std::string Text;
  const bool Read = ReadWhole(Fd, MaxPhonebookBytes, Text);
  close(Fd);
  if (!Read) return ERROR_CANNOT_LOAD_PHONEBOOK;
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
