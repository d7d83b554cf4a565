#include "TimeText.h"

#include <optional>
#include <string>
#include <vector>

namespace {

// A locale's texts are short; the caps keep a broken locale from filling
// every log line.
constexpr int MaxFormatLength = 80;
constexpr int MaxDesignatorLength = 15;
// %r inside the 12-hour format, or a 12-hour format that names itself, must
// not expand without end.
constexpr int MaxExpansionDepth = 2;

enum class TTokenKind { Literal, Hour, Minute, Second, Designator, Other };

struct TToken {
  TTokenKind Kind;
  QString Text;             // literal text
  bool ZeroPadded = false;  // hour: written with a leading zero
  bool LowerCase = false;   // designator: %P
};

// Splits a strftime format into literal text and the conversions that
// matter here. Returns false for a format that expands without end.
bool Tokenize(const QString& AFormat, const QString& AAmPmFormat, int ADepth,
              std::vector<TToken>& ATokens) {
  if (ADepth > MaxExpansionDepth) return false;
  auto AddLiteral = [&ATokens](const QString& AText) {
    if (!ATokens.empty() && ATokens.back().Kind == TTokenKind::Literal)
      ATokens.back().Text += AText;
    else
      ATokens.push_back({TTokenKind::Literal, AText});
  };
  const int Length = AFormat.size();
  for (int I = 0; I < Length; ++I) {
    const QChar C = AFormat.at(I);
    if (C != u'%' || I + 1 >= Length) {
      AddLiteral(QString(C));
      continue;
    }
    ++I;
    // Flags, field width and the E/O modifiers of the GNU and POSIX forms.
    QChar Flag;
    while (I < Length && QStringLiteral("-_0^#").contains(AFormat.at(I))) Flag = AFormat.at(I++);
    while (I < Length && AFormat.at(I).isDigit()) ++I;
    if (I < Length && (AFormat.at(I) == u'E' || AFormat.at(I) == u'O')) ++I;
    if (I >= Length) break;
    const char Conversion = AFormat.at(I).toLatin1();
    switch (Conversion) {
      case 'H':
      case 'I':
      case 'k':
      case 'l': {
        const bool ZeroByDefault = Conversion == 'H' || Conversion == 'I';
        TToken Hour{TTokenKind::Hour, {}};
        Hour.ZeroPadded = Flag == u'0' || (ZeroByDefault && Flag != u'-' && Flag != u'_');
        ATokens.push_back(Hour);
        break;
      }
      case 'M':
        ATokens.push_back({TTokenKind::Minute, {}});
        break;
      case 'S':
        ATokens.push_back({TTokenKind::Second, {}});
        break;
      case 'p':
      case 'P': {
        TToken Designator{TTokenKind::Designator, {}};
        Designator.LowerCase = Conversion == 'P';
        ATokens.push_back(Designator);
        break;
      }
      case 'T':
        if (!Tokenize(QStringLiteral("%H:%M:%S"), AAmPmFormat, ADepth + 1, ATokens)) return false;
        break;
      case 'R':
        if (!Tokenize(QStringLiteral("%H:%M"), AAmPmFormat, ADepth + 1, ATokens)) return false;
        break;
      case 'r': {
        // A locale without a 12-hour format of its own uses the POSIX one.
        const QString AmPm = AAmPmFormat.isEmpty() ? QStringLiteral("%I:%M:%S %p") : AAmPmFormat;
        if (!Tokenize(AmPm, AAmPmFormat, ADepth + 1, ATokens)) return false;
        break;
      }
      case '%':
        AddLiteral(QStringLiteral("%"));
        break;
      case 'n':
        AddLiteral(QStringLiteral("\n"));
        break;
      case 't':
        AddLiteral(QStringLiteral("\t"));
        break;
      default:
        ATokens.push_back({TTokenKind::Other, {}});
        break;
    }
  }
  return true;
}

// The literal text between two tokens, or nothing when a conversion stands
// between them.
std::optional<QString> LiteralBetween(const std::vector<TToken>& ATokens, size_t AFrom,
                                      size_t ATo) {
  QString Text;
  for (size_t I = AFrom + 1; I < ATo; ++I) {
    if (ATokens[I].Kind != TTokenKind::Literal) return std::nullopt;
    Text += ATokens[I].Text;
  }
  return Text;
}

std::optional<TLongTimeFormat>& ProgramFormat() {
  static std::optional<TLongTimeFormat> Format;
  return Format;
}

}  // namespace

// The log's shapes have one separator and the designator only at either end,
// so a locale format maps onto them like this:
// - hour, minutes and seconds must each appear once, in this order, with
//   nothing but literal text between them; otherwise the default h:mm:ss;
// - the hour's padding gives the leading zero (%H %I zero-padded, %k %l
//   blank-padded, the GNU flags "-" "_" "0" as they say);
// - the separator is the text between hour and minutes when the text between
//   minutes and seconds is the same; a format with two different separators,
//   such as "%H时%M分%S秒", writes ":" instead;
// - %p (or %P, lower case) before the hour puts the designator before,
//   after the seconds puts it after; a locale with no designator texts
//   counts as a 24-hour one, since a 12-hour time without them would be
//   ambiguous;
// - text before the hour or after the seconds other than the designator,
//   such as a time zone, is left out.
TLongTimeFormat TLongTimeFormat::FromStrftime(const QString& ATimeFormat,
                                              const QString& AAmPmFormat, const QString& AAMString,
                                              const QString& APMString) {
  const TLongTimeFormat Default;
  if (ATimeFormat.size() > MaxFormatLength || AAmPmFormat.size() > MaxFormatLength) return Default;
  std::vector<TToken> Tokens;
  if (!Tokenize(ATimeFormat, AAmPmFormat, 0, Tokens)) return Default;

  std::optional<size_t> Hour, Minute, Second, Designator;
  for (size_t I = 0; I < Tokens.size(); ++I) {
    std::optional<size_t>* Slot = nullptr;
    switch (Tokens[I].Kind) {
      case TTokenKind::Hour:
        Slot = &Hour;
        break;
      case TTokenKind::Minute:
        Slot = &Minute;
        break;
      case TTokenKind::Second:
        Slot = &Second;
        break;
      case TTokenKind::Designator:
        Slot = &Designator;
        break;
      default:
        break;
    }
    if (Slot == nullptr) continue;
    if (Slot->has_value()) return Default;
    *Slot = I;
  }
  if (!Hour || !Minute || !Second || !(*Hour < *Minute && *Minute < *Second)) return Default;
  const std::optional<QString> HourMinute = LiteralBetween(Tokens, *Hour, *Minute);
  const std::optional<QString> MinuteSecond = LiteralBetween(Tokens, *Minute, *Second);
  if (!HourMinute || !MinuteSecond) return Default;

  TLongTimeFormat Result;
  Result.LeadingZero = Tokens[*Hour].ZeroPadded;
  if (!HourMinute->isEmpty() && *HourMinute == *MinuteSecond) Result.Separator = *HourMinute;
  if (Designator) {
    const bool Lower = Tokens[*Designator].LowerCase;
    Result.AMString = (Lower ? AAMString.toLower() : AAMString).left(MaxDesignatorLength);
    Result.PMString = (Lower ? APMString.toLower() : APMString).left(MaxDesignatorLength);
    if (!Result.AMString.isEmpty() || !Result.PMString.isEmpty())
      Result.Designator =
          *Designator < *Hour ? TDesignatorPosition::Before : TDesignatorPosition::After;
  }
  if (Result.Designator == TDesignatorPosition::None) {
    Result.AMString.clear();
    Result.PMString.clear();
  }
  return Result;
}

QString TLongTimeFormat::Format(const QTime& ATime) const {
  int Hour = ATime.hour();
  // The designator after the time goes with the 12-hour hour; before the
  // hour, the hour keeps its 24-hour value.
  if (Designator == TDesignatorPosition::After) {
    Hour %= 12;
    if (Hour == 0) Hour = 12;
  }
  const QString Mark = ATime.hour() < 12 ? AMString : PMString;
  QString Text =
      LeadingZero ? QStringLiteral("%1").arg(Hour, 2, 10, QLatin1Char('0')) : QString::number(Hour);
  Text += Separator + QStringLiteral("%1").arg(ATime.minute(), 2, 10, QLatin1Char('0'));
  Text += Separator + QStringLiteral("%1").arg(ATime.second(), 2, 10, QLatin1Char('0'));
  // An empty designator text leaves no stray blank at either end.
  if (Mark.isEmpty()) return Text;
  if (Designator == TDesignatorPosition::Before) return Mark + u' ' + Text;
  if (Designator == TDesignatorPosition::After) return Text + u' ' + Mark;
  return Text;
}

bool TLongTimeFormat::operator==(const TLongTimeFormat& AOther) const {
  return LeadingZero == AOther.LeadingZero && Separator == AOther.Separator &&
         Designator == AOther.Designator && AMString == AOther.AMString &&
         PMString == AOther.PMString;
}

const TLongTimeFormat& LongTimeFormat() {
  std::optional<TLongTimeFormat>& Format = ProgramFormat();
  if (!Format) Format = TLongTimeFormat::FromLocale();
  return *Format;
}

void SetLongTimeFormat(const TLongTimeFormat& AFormat) { ProgramFormat() = AFormat; }

QString TimeText() { return LongTimeFormat().Format(QTime::currentTime()); }
