// The user's long time format as Windows' regional settings give it: its
// pattern ("HH:mm:ss", "tt h:mm:ss", ...) read as the strftime form the
// other systems give, and the morning and afternoon designators.

#include <windows.h>

#include "TimeText.h"

namespace {

QString LocaleText(LCTYPE AType) {
  wchar_t Text[80] = {};
  const int Length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, AType, Text, 80);
  return Length > 1 ? QString::fromWCharArray(Text, Length - 1) : QString();
}

// "H" and "HH" are the 24-hour hour, "h" and "hh" the 12-hour one (doubled:
// with a leading zero), "m" and "s" minutes and seconds, "t" and "tt" the
// designator; text in single quotes is literal ('' is a quote).
QString StrftimeFromPattern(const QString& APattern) {
  QString Format;
  for (int I = 0; I < APattern.size();) {
    const QChar C = APattern.at(I);
    int Run = 1;
    while (I + Run < APattern.size() && APattern.at(I + Run) == C) ++Run;
    if (C == u'\'') {
      // A quoted text runs to the next single quote.
      const int End = APattern.indexOf(u'\'', I + 1);
      if (End == I + 1)
        Format += u'\'';
      else
        Format += APattern.mid(I + 1, (End < 0 ? APattern.size() : End) - I - 1);
      I = End < 0 ? APattern.size() : End + 1;
      continue;
    }
    if (C == u'H')
      Format += Run >= 2 ? QStringLiteral("%H") : QStringLiteral("%-H");
    else if (C == u'h')
      Format += Run >= 2 ? QStringLiteral("%I") : QStringLiteral("%-I");
    else if (C == u'm')
      Format += QStringLiteral("%M");
    else if (C == u's')
      Format += QStringLiteral("%S");
    else if (C == u't')
      Format += QStringLiteral("%p");
    else if (C == u'%')
      Format += QString(Run * 2, u'%');
    else
      Format += QString(Run, C);
    I += Run;
  }
  return Format;
}

}  // namespace

TLongTimeFormat TLongTimeFormat::FromLocale() {
  return FromStrftime(StrftimeFromPattern(LocaleText(LOCALE_STIMEFORMAT)), QString(),
                      LocaleText(LOCALE_S1159), LocaleText(LOCALE_S2359));
}
