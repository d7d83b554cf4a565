#pragma once

#include <QString>
#include <QTime>

// Where a 12-hour locale puts its morning or afternoon designator.
enum class TDesignatorPosition { None, Before, After };

// The user's long time format in the shapes the log's time stamps take: the
// hour with or without a leading zero, two-digit minutes and seconds, each
// ":" written as Separator, and for a 12-hour locale its designator,
// separated by a blank, before the hour or after the seconds.
struct TLongTimeFormat {
  bool LeadingZero = false;
  QString Separator = QStringLiteral(":");
  TDesignatorPosition Designator = TDesignatorPosition::None;
  QString AMString;
  QString PMString;

  // Built from a locale's strftime-style time formats: ATimeFormat is the
  // locale's time format, AAmPmFormat its 12-hour format (what %r stands
  // for). A format that does not have these shapes gives the default h:mm:ss.
  static TLongTimeFormat FromStrftime(const QString& ATimeFormat, const QString& AAmPmFormat,
                                      const QString& AAMString, const QString& APMString);

  // Built from the time category of the locale the environment names
  // (LC_ALL, else LC_TIME, else LANG); a locale that is not installed reads
  // as the C locale.
  static TLongTimeFormat FromLocale();

  // The time of day in this format; no date.
  QString Format(const QTime& ATime) const;

  bool operator==(const TLongTimeFormat& AOther) const;
  bool operator!=(const TLongTimeFormat& AOther) const { return !(*this == AOther); }
};

// The program's long time format: read from the locale once, at first use,
// unless set before.
const TLongTimeFormat& LongTimeFormat();
void SetLongTimeFormat(const TLongTimeFormat& AFormat);

// The current local time in the program's long time format.
QString TimeText();
