// The time-format reader: a locale's time format, 12-hour format and
// morning and afternoon texts, as the C library hands them over. Whatever
// they hold, the format read has the log's shape: a separator, designators
// of bounded length only where a position is given, and times written with
// their digits.
//
// Input: the four texts, one a line (UTF-8): time format, 12-hour format,
// AM text, PM text.

#include <QTime>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "TimeText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  const std::string Input(reinterpret_cast<const char*>(AData), ASize);
  QString Texts[4];
  size_t Start = 0;
  for (QString& Text : Texts) {
    if (Start > Input.size()) break;
    const size_t End = Input.find('\n', Start);
    const size_t Length = End == std::string::npos ? Input.size() - Start : End - Start;
    Text = QString::fromUtf8(Input.data() + Start, static_cast<qsizetype>(Length));
    Start = End == std::string::npos ? Input.size() + 1 : End + 1;
  }
  const TLongTimeFormat Format =
      TLongTimeFormat::FromStrftime(Texts[0], Texts[1], Texts[2], Texts[3]);
  if (Format.Separator.isEmpty()) std::abort();
  if (Format.AMString.size() > 15 || Format.PMString.size() > 15) std::abort();
  if (Format.Designator == TDesignatorPosition::None &&
      (!Format.AMString.isEmpty() || !Format.PMString.isEmpty()))
    std::abort();
  for (const QTime& Time : {QTime(0, 0, 0), QTime(11, 59, 59), QTime(12, 0, 0), QTime(23, 5, 9)}) {
    const QString Text = Format.Format(Time);
    const QString Minutes = QStringLiteral("%1").arg(Time.minute(), 2, 10, QLatin1Char('0'));
    const QString Seconds = QStringLiteral("%1").arg(Time.second(), 2, 10, QLatin1Char('0'));
    if (!Text.contains(Format.Separator + Minutes + Format.Separator + Seconds)) std::abort();
  }
  return 0;
}
