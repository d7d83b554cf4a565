#pragma once

// The one reading of INI text (the settings file, the simulated phonebook,
// the dial-up configuration): lines, "[section]" headers and "key=value"
// lines. What a file makes of names (letter case, blanks, repeats) is its
// reader's choice; the grammar is this one.

#include <string>
#include <string_view>
#include <vector>

struct TIniLine {
  std::string Text;    // the line without its ending
  std::string Ending;  // "\n", "\r\n", or empty for a last line without one
};

// The text's lines, endings kept, so that joining them gives the text back.
std::vector<TIniLine> SplitIniLines(const std::string& AText);
std::string JoinIniLines(const std::vector<TIniLine>& ALines);

// The text without blanks (space, tab, carriage return) at either end.
std::string_view IniTrim(std::string_view AText);

// "[name]" after optional blanks: AName is the text between "[" and the
// first "]" as written, ARest what follows the "]".
bool IniSectionLine(std::string_view ALine, std::string_view& AName, std::string_view& ARest);

// A line with "=" that is no section header: key and value, each trimmed.
bool IniKeyLine(std::string_view ALine, std::string_view& AKey, std::string_view& AValue);
