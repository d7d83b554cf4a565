#include "IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "Exception.h"
#include "StrToInt.h"

namespace {

struct TLine {
  std::string Text;
  std::string Ending;  // "\n", "\r\n", or empty for a last line without one
};

enum class TLoad { Read, Missing, Failed };

TLoad LoadFile(const std::string& AFileName, std::string& AContent) {
  AContent.clear();
  const int Fd = ::open(AFileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (Fd < 0) return errno == ENOENT || errno == ENOTDIR ? TLoad::Missing : TLoad::Failed;
  struct stat Info {};
  TLoad Result = TLoad::Read;
  if (::fstat(Fd, &Info) != 0 || !S_ISREG(Info.st_mode) ||
      static_cast<uint64_t>(Info.st_size) > TIniFile::MaxFileSize) {
    Result = TLoad::Failed;
  } else {
    char Buffer[8192];
    for (;;) {
      const ssize_t Count = ::read(Fd, Buffer, sizeof(Buffer));
      if (Count == 0) break;
      if (Count < 0) {
        if (errno == EINTR) continue;
        Result = TLoad::Failed;
        break;
      }
      AContent.append(Buffer, static_cast<size_t>(Count));
      // The file may have grown since it was measured.
      if (AContent.size() > TIniFile::MaxFileSize) {
        Result = TLoad::Failed;
        break;
      }
    }
  }
  ::close(Fd);
  if (Result != TLoad::Read) AContent.clear();
  return Result;
}

std::vector<TLine> SplitLines(const std::string& AContent) {
  std::vector<TLine> Lines;
  size_t Start = 0;
  while (Start < AContent.size()) {
    const size_t End = AContent.find('\n', Start);
    if (End == std::string::npos) {
      Lines.push_back({AContent.substr(Start), ""});
      break;
    }
    const bool Crlf = End > Start && AContent[End - 1] == '\r';
    const size_t TextEnd = Crlf ? End - 1 : End;
    Lines.push_back({AContent.substr(Start, TextEnd - Start), Crlf ? "\r\n" : "\n"});
    Start = End + 1;
  }
  return Lines;
}

std::string_view Trim(std::string_view AText) {
  const auto Blank = [](char C) { return C == ' ' || C == '\t' || C == '\r'; };
  while (!AText.empty() && Blank(AText.front())) AText.remove_prefix(1);
  while (!AText.empty() && Blank(AText.back())) AText.remove_suffix(1);
  return AText;
}

bool SameText(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t I = 0; I < A.size(); ++I) {
    char X = A[I], Y = B[I];
    if (X >= 'A' && X <= 'Z') X = static_cast<char>(X - 'A' + 'a');
    if (Y >= 'A' && Y <= 'Z') Y = static_cast<char>(Y - 'A' + 'a');
    if (X != Y) return false;
  }
  return true;
}

// "[name]" after optional blanks; text after the closing bracket is ignored.
bool SectionHeader(std::string_view ALine, std::string_view& AName) {
  const std::string_view Line = Trim(ALine);
  if (Line.empty() || Line.front() != '[') return false;
  const size_t Close = Line.find(']');
  if (Close == std::string_view::npos) return false;
  AName = Trim(Line.substr(1, Close - 1));
  return true;
}

bool KeyLine(std::string_view ALine, std::string_view& AKey, std::string_view& AValue) {
  const size_t Equals = ALine.find('=');
  if (Equals == std::string_view::npos) return false;
  AKey = Trim(ALine.substr(0, Equals));
  AValue = Trim(ALine.substr(Equals + 1));
  return true;
}

// Index range [ABegin, AEnd) of the lines inside the first section named
// ASection (the header excluded); false when there is none.
bool FindSection(const std::vector<TLine>& ALines, const std::string& ASection, size_t& ABegin,
                 size_t& AEnd) {
  std::string_view Name;
  for (size_t I = 0; I < ALines.size(); ++I) {
    if (!SectionHeader(ALines[I].Text, Name) || !SameText(Name, ASection)) continue;
    ABegin = I + 1;
    AEnd = ABegin;
    while (AEnd < ALines.size() && !SectionHeader(ALines[AEnd].Text, Name)) ++AEnd;
    return true;
  }
  return false;
}

bool HasLineBreak(const std::string& AText) {
  return AText.find_first_of("\r\n") != std::string::npos;
}

std::string DirectoryOf(const std::string& APath) {
  const size_t Slash = APath.rfind('/');
  if (Slash == std::string::npos) return ".";
  return Slash == 0 ? "/" : APath.substr(0, Slash);
}

// Writes AContent to a new file beside ATarget, then puts it in ATarget's
// place. The old file stays as it was unless every step succeeded.
bool ReplaceFile(const std::string& ATarget, const std::string& AContent) {
  struct stat Old {};
  const bool Existed = ::stat(ATarget.c_str(), &Old) == 0;
  // A file without write permission is left alone, as it would be by a
  // writer that opened it in place, whoever runs the program.
  if (Existed &&
      (!S_ISREG(Old.st_mode) || (Old.st_mode & 0222) == 0 || ::access(ATarget.c_str(), W_OK) != 0))
    return false;

  std::string Temporary = ATarget + ".XXXXXX";
  const int Fd = ::mkostemp(Temporary.data(), O_CLOEXEC);
  if (Fd < 0) return false;
  bool Ok = ::fchmod(Fd, Existed ? (Old.st_mode & 07777) : 0644) == 0;
  if (Ok && Existed && ::geteuid() == 0) Ok = ::fchown(Fd, Old.st_uid, Old.st_gid) == 0;
  size_t Written = 0;
  while (Ok && Written < AContent.size()) {
    const ssize_t Count = ::write(Fd, AContent.data() + Written, AContent.size() - Written);
    if (Count < 0 && errno == EINTR) continue;
    Ok = Count > 0;
    if (Ok) Written += static_cast<size_t>(Count);
  }
  // The data must be on disk before the name points at it, or a crash could
  // leave an empty file under the settings file's name.
  Ok = Ok && ::fsync(Fd) == 0;
  Ok = ::close(Fd) == 0 && Ok;
  Ok = Ok && ::rename(Temporary.c_str(), ATarget.c_str()) == 0;
  if (!Ok) {
    ::unlink(Temporary.c_str());
    return false;
  }
  const int Directory = ::open(DirectoryOf(ATarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Directory >= 0) {
    ::fsync(Directory);
    ::close(Directory);
  }
  return true;
}

// A settings file reached through a symbolic link is replaced at the link's
// target, so that the link survives.
std::string ResolvedTarget(const std::string& AFileName) {
  char Resolved[PATH_MAX];
  if (::realpath(AFileName.c_str(), Resolved) != nullptr) return Resolved;
  return AFileName;
}

}  // namespace

TIniFile::TIniFile(const std::string& AFileName) : FFileName(AFileName) {}

std::string TIniFile::ReadString(const std::string& ASection, const std::string& AIdent,
                                 const std::string& ADefault) const {
  std::string Content;
  if (LoadFile(FFileName, Content) != TLoad::Read) return ADefault;
  const std::vector<TLine> Lines = SplitLines(Content);
  size_t Begin = 0, End = 0;
  if (!FindSection(Lines, ASection, Begin, End)) return ADefault;
  std::string_view Key, Value;
  for (size_t I = Begin; I < End; ++I)
    if (KeyLine(Lines[I].Text, Key, Value) && SameText(Key, AIdent)) return std::string(Value);
  return ADefault;
}

int32_t TIniFile::ReadInteger(const std::string& ASection, const std::string& AIdent,
                              int32_t ADefault) const {
  return StrToIntDef(ReadString(ASection, AIdent, ""), ADefault);
}

void TIniFile::WriteString(const std::string& ASection, const std::string& AIdent,
                           const std::string& AValue) {
  const Exception Failure("Unable to write to " + FFileName);
  // A name or value that would break the file's line structure is refused.
  if (HasLineBreak(ASection) || HasLineBreak(AIdent) || HasLineBreak(AValue) ||
      ASection.find(']') != std::string::npos || AIdent.find('=') != std::string::npos ||
      Trim(AIdent).empty())
    throw Failure;

  const std::string Target = ResolvedTarget(FFileName);
  std::string Content;
  // An existing file that cannot be read is not overwritten: its content
  // would be lost.
  if (LoadFile(Target, Content) == TLoad::Failed) throw Failure;
  std::vector<TLine> Lines = SplitLines(Content);

  std::string Ending = "\n";
  for (const TLine& Line : Lines)
    if (!Line.Ending.empty()) {
      Ending = Line.Ending;
      break;
    }
  const std::string NewLine = AIdent + "=" + AValue;

  size_t Begin = 0, End = 0;
  if (FindSection(Lines, ASection, Begin, End)) {
    std::string_view Key, Value;
    bool Replaced = false;
    for (size_t I = Begin; I < End && !Replaced; ++I) {
      if (KeyLine(Lines[I].Text, Key, Value) && SameText(Key, AIdent)) {
        Lines[I].Text = NewLine;
        Replaced = true;
      }
    }
    if (!Replaced) {
      // After the section's last non-blank line, so that blank lines that
      // separate it from the next section stay where they are.
      size_t Insert = Begin;
      for (size_t I = Begin; I < End; ++I)
        if (!Trim(Lines[I].Text).empty()) Insert = I + 1;
      if (Lines[Insert - 1].Ending.empty()) Lines[Insert - 1].Ending = Ending;
      Lines.insert(Lines.begin() + static_cast<std::ptrdiff_t>(Insert), TLine{NewLine, Ending});
    }
  } else {
    if (!Lines.empty() && Lines.back().Ending.empty()) Lines.back().Ending = Ending;
    Lines.push_back({"[" + ASection + "]", Ending});
    Lines.push_back({NewLine, Ending});
  }

  std::string Output;
  Output.reserve(Content.size() + NewLine.size() + ASection.size() + 8);
  for (const TLine& Line : Lines) Output += Line.Text + Line.Ending;
  if (Output.size() > MaxFileSize || !ReplaceFile(Target, Output)) throw Failure;
}

void TIniFile::WriteInteger(const std::string& ASection, const std::string& AIdent,
                            int32_t AValue) {
  WriteString(ASection, AIdent, std::to_string(AValue));
}
