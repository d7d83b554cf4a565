#pragma once

// pppd's word grammar, shared by its option files and its secrets files:
// words separated by white space; a word may be quoted with double or single
// quotes (white space and # then belong to it); a backslash quotes the next
// character, with the C escapes \a \b \f \n \r \t, \s for a space, \ddd in
// octal and \xHH in hexadecimal, and a backslash before a line end joins the
// lines; a # where a word could start begins a comment to the end of the
// line.

#include <string>
#include <string_view>
#include <vector>

namespace dravik::ras::pppd {

struct TPppdWord {
  std::string Text;
  // Whether the word is the first on its line: a secrets file holds one
  // secret a line.
  bool StartsLine = false;
};

// pppd keeps at most this many bytes of a word; the rest is dropped.
constexpr size_t MaxWordBytes = 1024;

std::vector<TPppdWord> SplitPppdWords(std::string_view AText);

}  // namespace dravik::ras::pppd
