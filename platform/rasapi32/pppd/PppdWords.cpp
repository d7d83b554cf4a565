#include "PppdWords.h"

namespace dravik::ras::pppd {

namespace {

bool IsSpace(char AChar) {
  return AChar == ' ' || AChar == '\t' || AChar == '\n' || AChar == '\r' || AChar == '\f' ||
         AChar == '\v';
}

bool IsOctal(char AChar) { return AChar >= '0' && AChar <= '7'; }

int HexValue(char AChar) {
  if (AChar >= '0' && AChar <= '9') return AChar - '0';
  if (AChar >= 'a' && AChar <= 'f') return AChar - 'a' + 10;
  if (AChar >= 'A' && AChar <= 'F') return AChar - 'A' + 10;
  return -1;
}

class TWordReader {
 public:
  explicit TWordReader(std::string_view AText) : FText(AText) {}

  // The next word; false at the end of the text.
  bool Next(TPppdWord& AWord) {
    AWord = TPppdWord();
    if (!SkipToWord()) return false;
    AWord.StartsLine = FNewLine;
    FNewLine = false;
    ReadWord(AWord.Text);
    return true;
  }

 private:
  bool AtEnd() const { return FAt >= FText.size(); }
  char Peek() const { return FText[FAt]; }

  // Moves to where a word starts, past white space, comments and joined
  // lines; notes a line end passed on the way.
  bool SkipToWord() {
    bool Comment = false;
    while (!AtEnd()) {
      const char Char = Peek();
      if (Char == '\n') {
        FNewLine = true;
        Comment = false;
        ++FAt;
        continue;
      }
      if (Comment) {
        ++FAt;
        continue;
      }
      if (Char == '\\' && FAt + 1 < FText.size() && FText[FAt + 1] == '\n') {
        FAt += 2;
        continue;
      }
      if (Char == '#') {
        Comment = true;
        ++FAt;
        continue;
      }
      if (!IsSpace(Char)) return true;
      ++FAt;
    }
    return false;
  }

  void Keep(std::string& AWord, char AChar) {
    if (AWord.size() < MaxWordBytes) AWord.push_back(AChar);
  }

  // After a backslash: one escaped character (or none, for a joined line).
  void ReadEscape(std::string& AWord) {
    if (AtEnd()) return;
    const char Char = FText[FAt++];
    switch (Char) {
      case '\n':
        return;
      case 'a':
        return Keep(AWord, '\a');
      case 'b':
        return Keep(AWord, '\b');
      case 'f':
        return Keep(AWord, '\f');
      case 'n':
        return Keep(AWord, '\n');
      case 'r':
        return Keep(AWord, '\r');
      case 's':
        return Keep(AWord, ' ');
      case 't':
        return Keep(AWord, '\t');
      case 'x': {
        int Value = 0;
        for (int Digits = 0; Digits < 2 && !AtEnd() && HexValue(Peek()) >= 0; ++Digits) {
          Value = Value * 16 + HexValue(FText[FAt++]);
        }
        return Keep(AWord, static_cast<char>(Value));
      }
      default:
        break;
    }
    if (IsOctal(Char)) {
      int Value = Char - '0';
      for (int Digits = 1; Digits < 3 && !AtEnd() && IsOctal(Peek()); ++Digits) {
        Value = Value * 8 + (FText[FAt++] - '0');
      }
      return Keep(AWord, static_cast<char>(Value & 0xFF));
    }
    Keep(AWord, Char);
  }

  void ReadWord(std::string& AWord) {
    char Quote = 0;
    while (!AtEnd()) {
      const char Char = Peek();
      if (Char == '\\') {
        ++FAt;
        ReadEscape(AWord);
        continue;
      }
      if (Quote != 0) {
        ++FAt;
        if (Char == Quote) {
          Quote = 0;
        } else {
          Keep(AWord, Char);
        }
        continue;
      }
      if (Char == '"' || Char == '\'') {
        Quote = Char;
        ++FAt;
        continue;
      }
      // White space and a comment end the word; both are left for the
      // skipping, which notes a line end.
      if (IsSpace(Char) || Char == '#') return;
      Keep(AWord, Char);
      ++FAt;
    }
  }

  std::string_view FText;
  size_t FAt = 0;
  bool FNewLine = true;
};

}  // namespace

std::vector<TPppdWord> SplitPppdWords(std::string_view AText) {
  std::vector<TPppdWord> Words;
  TWordReader Reader(AText);
  TPppdWord Word;
  while (Reader.Next(Word)) Words.push_back(std::move(Word));
  return Words;
}

}  // namespace dravik::ras::pppd
