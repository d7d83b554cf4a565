#include "IniText.h"

std::vector<TIniLine> SplitIniLines(const std::string& AText) {
  std::vector<TIniLine> Lines;
  size_t Start = 0;
  while (Start < AText.size()) {
    const size_t End = AText.find('\n', Start);
    if (End == std::string::npos) {
      Lines.push_back({AText.substr(Start), ""});
      break;
    }
    const bool Crlf = End > Start && AText[End - 1] == '\r';
    const size_t TextEnd = Crlf ? End - 1 : End;
    Lines.push_back({AText.substr(Start, TextEnd - Start), Crlf ? "\r\n" : "\n"});
    Start = End + 1;
  }
  return Lines;
}

std::string JoinIniLines(const std::vector<TIniLine>& ALines) {
  std::string Text;
  for (const TIniLine& Line : ALines) Text += Line.Text + Line.Ending;
  return Text;
}

std::string_view IniTrim(std::string_view AText) {
  const auto Blank = [](char C) { return C == ' ' || C == '\t' || C == '\r'; };
  while (!AText.empty() && Blank(AText.front())) AText.remove_prefix(1);
  while (!AText.empty() && Blank(AText.back())) AText.remove_suffix(1);
  return AText;
}

bool IniSectionLine(std::string_view ALine, std::string_view& AName, std::string_view& ARest) {
  const std::string_view Line = IniTrim(ALine);
  if (Line.empty() || Line.front() != '[') return false;
  const size_t Close = Line.find(']');
  if (Close == std::string_view::npos) return false;
  AName = Line.substr(1, Close - 1);
  ARest = Line.substr(Close + 1);
  return true;
}

bool IniKeyLine(std::string_view ALine, std::string_view& AKey, std::string_view& AValue) {
  std::string_view Name, Rest;
  if (IniSectionLine(ALine, Name, Rest)) return false;
  const size_t Equals = ALine.find('=');
  if (Equals == std::string_view::npos) return false;
  AKey = IniTrim(ALine.substr(0, Equals));
  AValue = IniTrim(ALine.substr(Equals + 1));
  return true;
}
