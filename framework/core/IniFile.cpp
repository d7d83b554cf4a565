#include "IniFile.h"

#include <climits>
#include <new>
#include <string_view>
#include <vector>

#include "Exception.h"
#include "FileChecks.h"
#include "IniText.h"
#include "ReadBoundedFile.h"
#include "ReplaceFile.h"
#include "SameText.h"
#include "StrToInt.h"

namespace {

// Index range [ABegin, AEnd) of the lines inside the first section named
// ASection (the header excluded); false when there is none.
bool FindSection(const std::vector<TIniLine>& ALines, const std::string& ASection, size_t& ABegin,
                 size_t& AEnd) {
  std::string_view Name, Rest;
  for (size_t I = 0; I < ALines.size(); ++I) {
    if (!IniSectionLine(ALines[I].Text, Name, Rest) || !SameText(IniTrim(Name), ASection)) continue;
    ABegin = I + 1;
    AEnd = ABegin;
    while (AEnd < ALines.size() && !IniSectionLine(ALines[AEnd].Text, Name, Rest)) ++AEnd;
    return true;
  }
  return false;
}

const std::string ByteOrderMark = "\xEF\xBB\xBF";

// Takes a leading UTF-8 byte-order mark off the content; true when there was
// one.
bool TakeByteOrderMark(std::string& AContent) {
  if (AContent.compare(0, ByteOrderMark.size(), ByteOrderMark) != 0) return false;
  AContent.erase(0, ByteOrderMark.size());
  return true;
}

bool HasLineBreak(const std::string& AText) {
  return AText.find_first_of("\r\n") != std::string::npos;
}

// A settings file is a few lines a person wrote; a file far larger than that
// is not one, and reading it whole would take the program's memory.
constexpr size_t MaxSettingsBytes = 16 * 1024 * 1024;

}  // namespace

TIniFile::TIniFile(const std::string& AFileName) : FFileName(AFileName) {}

std::string TIniFile::ReadString(const std::string& ASection, const std::string& AIdent,
                                 const std::string& ADefault) const {
  std::string Content;
  if (ReadBoundedFile(FFileName, MaxSettingsBytes, Content) != TFileRead::Read) return ADefault;
  TakeByteOrderMark(Content);
  const std::vector<TIniLine> Lines = SplitIniLines(Content);
  size_t Begin = 0, End = 0;
  if (!FindSection(Lines, ASection, Begin, End)) return ADefault;
  std::string_view Key, Value;
  for (size_t I = Begin; I < End; ++I)
    if (IniKeyLine(Lines[I].Text, Key, Value) && SameText(Key, AIdent)) return std::string(Value);
  return ADefault;
}

bool TIniFile::Unreadable() const {
  std::string Content;
  const TFileRead Read = ReadBoundedFile(FFileName, MaxSettingsBytes, Content);
  return Read == TFileRead::CannotOpen || Read == TFileRead::Refused;
}

int32_t TIniFile::ReadInteger(const std::string& ASection, const std::string& AIdent,
                              int32_t ADefault) const {
  return StrToIntDef(ReadString(ASection, AIdent, ""), ADefault);
}

void TIniFile::WriteStrings(const std::string& ASection, const TKeyValues& AValues) {
  const Exception Failure("Unable to write to " + FFileName);
  // A name or value that would break the file's line structure is refused,
  // and so is a name that would not read back as written: one with blanks
  // at either end, or a key whose line would read as a section header.
  if (HasLineBreak(ASection) || ASection.find(']') != std::string::npos ||
      IniTrim(ASection) != ASection)
    throw Failure;
  for (const auto& [Ident, Value] : AValues) {
    if (HasLineBreak(Ident) || HasLineBreak(Value) || Ident.find('=') != std::string::npos ||
        IniTrim(Ident).empty())
      throw Failure;
    const std::string Line = Ident + "=" + Value;
    std::string_view Key, Written;
    if (!IniKeyLine(Line, Key, Written) || Key != Ident) throw Failure;
  }

  const std::string Target = ResolvedLinkTarget(FFileName);
  if (Target.empty()) throw Failure;
  std::string Content;
  // An existing file that cannot be read is not overwritten: its content
  // would be lost.
  const TFileRead Read = ReadBoundedFile(Target, MaxSettingsBytes, Content);
  if (Read != TFileRead::Read && Read != TFileRead::Missing) throw Failure;
  const bool Marked = TakeByteOrderMark(Content);
  std::vector<TIniLine> Lines = SplitIniLines(Content);

  std::string Ending = "\n";
  for (const TIniLine& Line : Lines)
    if (!Line.Ending.empty()) {
      Ending = Line.Ending;
      break;
    }

  for (const auto& [Ident, Value] : AValues) {
    const std::string NewLine = Ident + "=" + Value;
    size_t Begin = 0, End = 0;
    if (FindSection(Lines, ASection, Begin, End)) {
      std::string_view Key, Old;
      bool Replaced = false;
      for (size_t I = Begin; I < End && !Replaced; ++I) {
        if (IniKeyLine(Lines[I].Text, Key, Old) && SameText(Key, Ident)) {
          Lines[I].Text = NewLine;
          Replaced = true;
        }
      }
      if (!Replaced) {
        // After the section's last non-blank line, so that blank lines that
        // separate it from the next section stay where they are.
        size_t Insert = Begin;
        for (size_t I = Begin; I < End; ++I)
          if (!IniTrim(Lines[I].Text).empty()) Insert = I + 1;
        if (Lines[Insert - 1].Ending.empty()) Lines[Insert - 1].Ending = Ending;
        Lines.insert(Lines.begin() + static_cast<std::ptrdiff_t>(Insert),
                     TIniLine{NewLine, Ending});
      }
    } else {
      if (!Lines.empty() && Lines.back().Ending.empty()) Lines.back().Ending = Ending;
      Lines.push_back({"[" + ASection + "]", Ending});
      Lines.push_back({NewLine, Ending});
    }
  }

  std::string Output;
  try {
    Output = (Marked ? ByteOrderMark : std::string()) + JoinIniLines(Lines);
  } catch (const std::bad_alloc&) {
    throw Failure;
  }
  // The settings file is ours alone: what a killed write left beside it can
  // go, and a folder that takes no new file must not keep the user from
  // saving.
  TReplaceOptions How;
  How.RemoveLeftovers = true;
  How.InPlaceWhenFolderRefuses = true;
  if (!WritableFile(Target) || !ReplaceFile(Target, Output, How)) throw Failure;
}

void TIniFile::WriteString(const std::string& ASection, const std::string& AIdent,
                           const std::string& AValue) {
  WriteStrings(ASection, {{AIdent, AValue}});
}

void TIniFile::WriteInteger(const std::string& ASection, const std::string& AIdent,
                            int32_t AValue) {
  WriteString(ASection, AIdent, std::to_string(AValue));
}
