// The settings file: any file content is read, one section's keys are
// written into it and it is read again. Every value written reads back,
// every other key reads as before, and every line of the old file is still
// there in its order unless it was the key line that took a new value.
//
// Input: a first line "SECTION<TAB>KEY<TAB>VALUE[<TAB>KEY<TAB>VALUE...]",
// then the settings file's content.

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Exception.h"
#include "FuzzFile.h"
#include "IniFile.h"
#include "IniText.h"
#include "SameText.h"

namespace {

const std::string ByteOrderMark = "\xEF\xBB\xBF";

std::vector<std::string> Split(const std::string& AText, char ASeparator) {
  std::vector<std::string> Parts;
  size_t Start = 0;
  for (;;) {
    const size_t End = AText.find(ASeparator, Start);
    Parts.push_back(AText.substr(Start, End == std::string::npos ? End : End - Start));
    if (End == std::string::npos) return Parts;
    Start = End + 1;
  }
}

std::string Lower(std::string AText) {
  for (char& C : AText)
    if (C >= 'A' && C <= 'Z') C = static_cast<char>(C - 'A' + 'a');
  return AText;
}

// Every (section, key) the file names, as its reader sees them.
std::vector<std::pair<std::string, std::string>> Names(const std::string& AContent) {
  std::vector<std::pair<std::string, std::string>> Found;
  std::string Section;
  bool InSection = false;
  for (const TIniLine& Line : SplitIniLines(AContent)) {
    std::string_view Name, Rest, Key, Value;
    if (IniSectionLine(Line.Text, Name, Rest)) {
      Section = std::string(IniTrim(Name));
      InSection = true;
    } else if (InSection && IniKeyLine(Line.Text, Key, Value)) {
      Found.emplace_back(Section, std::string(Key));
    }
  }
  return Found;
}

std::string Content(const std::string& AFile) {
  std::string Text;
  std::FILE* File = std::fopen(AFile.c_str(), "rb");
  if (File == nullptr) std::abort();
  char Buffer[4096];
  size_t Read = 0;
  while ((Read = std::fread(Buffer, 1, sizeof Buffer, File)) > 0) Text.append(Buffer, Read);
  std::fclose(File);
  return Text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  const std::string Input(reinterpret_cast<const char*>(AData), ASize);
  const size_t Break = Input.find('\n');
  if (Break == std::string::npos) return 0;
  const std::vector<std::string> Command = Split(Input.substr(0, Break), '\t');
  if (Command.size() < 3 || Command.size() % 2 == 0) return 0;
  const std::string Section = Command[0];
  TIniFile::TKeyValues Values;
  for (size_t I = 1; I + 1 < Command.size(); I += 2)
    Values.emplace_back(Command[I], Command[I + 1]);
  const std::string Old = Input.substr(Break + 1);

  const std::string FileName = fuzz::WriteScratchFile(Old);
  TIniFile File(FileName);
  const std::vector<std::pair<std::string, std::string>> Keys = Names(
      Old.compare(0, ByteOrderMark.size(), ByteOrderMark) == 0 ? Old.substr(ByteOrderMark.size())
                                                               : Old);
  std::map<std::pair<std::string, std::string>, std::string> Before;
  for (const auto& [S, K] : Keys) Before[{Lower(S), Lower(K)}] = File.ReadString(S, K, "\x01");

  try {
    File.WriteStrings(Section, Values);
  } catch (const Exception&) {
    // A refused write leaves the file as it was.
    if (Content(FileName) != Old) std::abort();
    return 0;
  }

  // The last value given for a key is the one it keeps.
  std::map<std::string, std::string> Written;
  for (const auto& [Key, Value] : Values) Written[Lower(Key)] = Value;
  for (const auto& [Key, Value] : Values) {
    const std::string Expected(IniTrim(Written[Lower(Key)]));
    if (File.ReadString(Section, Key, "\x01") != Expected) std::abort();
  }
  const std::string SectionKey = Lower(std::string(IniTrim(Section)));
  for (const auto& [S, K] : Keys) {
    if (Lower(S) == SectionKey && Written.count(Lower(K)) != 0) continue;
    if (File.ReadString(S, K, "\x01") != Before[{Lower(S), Lower(K)}]) std::abort();
  }

  const std::string New = Content(FileName);
  const bool Marked = Old.compare(0, ByteOrderMark.size(), ByteOrderMark) == 0;
  if (Marked != (New.compare(0, ByteOrderMark.size(), ByteOrderMark) == 0)) std::abort();
  const std::vector<TIniLine> OldLines =
      SplitIniLines(Marked ? Old.substr(ByteOrderMark.size()) : Old);
  const std::vector<TIniLine> NewLines =
      SplitIniLines(Marked ? New.substr(ByteOrderMark.size()) : New);
  auto Added = [&](const std::string& ALine) {
    if (ALine == "[" + Section + "]") return true;
    for (const auto& [Key, Value] : Values)
      if (ALine == Key + "=" + Value) return true;
    return false;
  };
  auto Replaceable = [&](const std::string& ALine) {
    std::string_view Key, Value;
    return IniKeyLine(ALine, Key, Value) && Written.count(Lower(std::string(Key))) != 0;
  };
  // A last line that ends in a lone carriage return gets the file's line
  // ending after it when lines are added: the same bytes, split otherwise.
  auto Same = [](const std::string& AOld, const std::string& ANew) {
    return AOld == ANew || AOld == ANew + "\r";
  };
  size_t I = 0, J = 0;
  while (I < OldLines.size() || J < NewLines.size()) {
    if (I < OldLines.size() && J < NewLines.size() && Same(OldLines[I].Text, NewLines[J].Text)) {
      ++I, ++J;
    } else if (I < OldLines.size() && J < NewLines.size() && Replaceable(OldLines[I].Text) &&
               Added(NewLines[J].Text)) {
      ++I, ++J;
    } else if (J < NewLines.size() && Added(NewLines[J].Text)) {
      ++J;
    } else {
      std::abort();
    }
  }
  return 0;
}
