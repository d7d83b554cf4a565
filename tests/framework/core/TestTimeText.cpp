#include <QTest>

#include "TestSupport.h"
#include "TimeText.h"

Q_DECLARE_METATYPE(TDesignatorPosition)

namespace {

// Sets the locale variables for one test and puts the old ones back.
class TLocaleEnvironment {
 public:
  TLocaleEnvironment(const QByteArray& AAll, const QByteArray& ATime, const QByteArray& ALang) {
    Set("LC_ALL", AAll);
    Set("LC_TIME", ATime);
    Set("LANG", ALang);
  }
  ~TLocaleEnvironment() {
    for (const auto& [Name, Value] : FSaved) {
      if (Value.isNull())
        qunsetenv(Name);
      else
        qputenv(Name, Value);
    }
  }

 private:
  void Set(const char* AName, const QByteArray& AValue) {
    FSaved.emplace_back(AName, qEnvironmentVariableIsSet(AName) ? qgetenv(AName) : QByteArray());
    if (AValue.isNull())
      qunsetenv(AName);
    else
      qputenv(AName, AValue);
  }
  std::vector<std::pair<const char*, QByteArray>> FSaved;
};

}  // namespace

class TestTimeText : public QObject {
  Q_OBJECT
 private slots:
  void Format_data() {
    QTest::addColumn<bool>("LeadingZero");
    QTest::addColumn<QString>("Separator");
    QTest::addColumn<TDesignatorPosition>("Designator");
    QTest::addColumn<QTime>("Time");
    QTest::addColumn<QString>("Expected");
    const auto None = TDesignatorPosition::None;
    const auto Before = TDesignatorPosition::Before;
    const auto After = TDesignatorPosition::After;
    QTest::newRow("24-hour without leading zero")
        << false << ":" << None << QTime(9, 5, 7) << "9:05:07";
    QTest::newRow("24-hour with leading zero")
        << true << ":" << None << QTime(9, 5, 7) << "09:05:07";
    QTest::newRow("24-hour midnight") << false << ":" << None << QTime(0, 0, 0) << "0:00:00";
    QTest::newRow("24-hour last second") << true << ":" << None << QTime(23, 59, 59) << "23:59:59";
    QTest::newRow("after: afternoon in 12-hour form")
        << false << ":" << After << QTime(13, 5, 7) << "1:05:07 PM";
    QTest::newRow("after: midnight is 12 AM")
        << false << ":" << After << QTime(0, 0, 9) << "12:00:09 AM";
    QTest::newRow("after: noon is 12 PM")
        << true << ":" << After << QTime(12, 30, 0) << "12:30:00 PM";
    QTest::newRow("after: morning with leading zero")
        << true << ":" << After << QTime(9, 5, 7) << "09:05:07 AM";
    QTest::newRow("after: 11 PM") << true << ":" << After << QTime(23, 0, 1) << "11:00:01 PM";
    QTest::newRow("before: the hour keeps its 24-hour value")
        << false << ":" << Before << QTime(14, 5, 7) << "PM 14:05:07";
    QTest::newRow("before: midnight") << true << ":" << Before << QTime(0, 5, 7) << "AM 00:05:07";
    QTest::newRow("another separator") << true << "." << None << QTime(9, 5, 7) << "09.05.07";
    QTest::newRow("another separator with designator")
        << false << "." << After << QTime(21, 5, 7) << "9.05.07 PM";
  }
  void Format() {
    QFETCH(bool, LeadingZero);
    QFETCH(QString, Separator);
    QFETCH(TDesignatorPosition, Designator);
    QFETCH(QTime, Time);
    QFETCH(QString, Expected);
    const TLongTimeFormat Format{LeadingZero, Separator, Designator, "AM", "PM"};
    QCOMPARE(Format.Format(Time), Expected);
  }

  void DesignatorTexts_data() {
    QTest::addColumn<QString>("AM");
    QTest::addColumn<QString>("PM");
    QTest::addColumn<TDesignatorPosition>("Designator");
    QTest::addColumn<QTime>("Time");
    QTest::addColumn<QString>("Expected");
    QTest::newRow("the locale's own texts")
        << "上午"
        << "下午" << TDesignatorPosition::Before << QTime(16, 0, 0) << "下午 16:00:00";
    QTest::newRow("empty text after leaves no trailing blank")
        << ""
        << "nm" << TDesignatorPosition::After << QTime(9, 5, 7) << "9:05:07";
    QTest::newRow("empty text before leaves no leading blank")
        << "vm"
        << "" << TDesignatorPosition::Before << QTime(21, 5, 7) << "21:05:07";
  }
  void DesignatorTexts() {
    QFETCH(QString, AM);
    QFETCH(QString, PM);
    QFETCH(TDesignatorPosition, Designator);
    QFETCH(QTime, Time);
    QFETCH(QString, Expected);
    const TLongTimeFormat Format{false, ":", Designator, AM, PM};
    QCOMPARE(Format.Format(Time), Expected);
  }

  // Locale formats as glibc's locales spell them, read at 09:05:07 and 21:05:07.
  void FromStrftime_data() {
    QTest::addColumn<QString>("TimeFormat");
    QTest::addColumn<QString>("AmPmFormat");
    QTest::addColumn<QString>("AM");
    QTest::addColumn<QString>("PM");
    QTest::addColumn<QString>("Morning");
    QTest::addColumn<QString>("Evening");
    const QString Posix = "%I:%M:%S %p";
    QTest::newRow("%H:%M:%S") << "%H:%M:%S" << Posix << "AM"
                              << "PM"
                              << "09:05:07"
                              << "21:05:07";
    QTest::newRow("%T") << "%T" << Posix << "AM"
                        << "PM"
                        << "09:05:07"
                        << "21:05:07";
    QTest::newRow("%k blank-padded hour") << "%k:%M:%S" << Posix << "AM"
                                          << "PM"
                                          << "9:05:07"
                                          << "21:05:07";
    QTest::newRow("%-H unpadded hour") << "%-H:%M:%S" << Posix << "AM"
                                       << "PM"
                                       << "9:05:07"
                                       << "21:05:07";
    QTest::newRow("%OH alternative digits") << "%OH:%OM:%OS" << Posix << "AM"
                                            << "PM"
                                            << "09:05:07"
                                            << "21:05:07";
    QTest::newRow("%r, 12-hour after") << "%r" << Posix << "AM"
                                       << "PM"
                                       << "09:05:07 AM"
                                       << "09:05:07 PM";
    QTest::newRow("%l unpadded 12-hour") << "%l:%M:%S %p" << Posix << "AM"
                                         << "PM"
                                         << "9:05:07 AM"
                                         << "9:05:07 PM";
    QTest::newRow("%P lower-case designator") << "%I:%M:%S %P" << Posix << "AM"
                                              << "PM"
                                              << "09:05:07 am"
                                              << "09:05:07 pm";
    QTest::newRow("%r with the designator first") << "%r"
                                                  << "%p %I时%M分%S秒"
                                                  << "上午"
                                                  << "下午"
                                                  << "上午 09:05:07"
                                                  << "下午 21:05:07";
    QTest::newRow("two separators give :") << "%H时%M分%S秒"
                                           << "%p %I时%M分%S秒"
                                           << "上午"
                                           << "下午"
                                           << "09:05:07"
                                           << "21:05:07";
    QTest::newRow("dot separator") << "%H.%M.%S" << Posix << "AM"
                                   << "PM"
                                   << "09.05.07"
                                   << "21.05.07";
    QTest::newRow("time zone after the time is left out") << "%H:%M:%S %Z" << Posix << "AM"
                                                          << "PM"
                                                          << "09:05:07"
                                                          << "21:05:07";
    QTest::newRow("%p without designator texts is 24-hour") << "%I:%M:%S %p" << Posix << ""
                                                            << ""
                                                            << "09:05:07"
                                                            << "21:05:07";
    QTest::newRow("%r without a 12-hour format uses POSIX's") << "%r"
                                                              << ""
                                                              << "AM"
                                                              << "PM"
                                                              << "09:05:07 AM"
                                                              << "09:05:07 PM";
    // The odd ones give the default shape.
    QTest::newRow("empty") << ""
                           << ""
                           << "AM"
                           << "PM"
                           << "9:05:07"
                           << "21:05:07";
    QTest::newRow("no seconds") << "%R" << Posix << "AM"
                                << "PM"
                                << "9:05:07"
                                << "21:05:07";
    QTest::newRow("fields out of order") << "%M:%H:%S" << Posix << "AM"
                                         << "PM"
                                         << "9:05:07"
                                         << "21:05:07";
    QTest::newRow("hour twice") << "%H:%M:%S (%H)" << Posix << "AM"
                                << "PM"
                                << "9:05:07"
                                << "21:05:07";
    QTest::newRow("designator between fields") << "%I %p:%M:%S" << Posix << "AM"
                                               << "PM"
                                               << "9:05:07"
                                               << "21:05:07";
    QTest::newRow("12-hour format naming itself") << "%r"
                                                  << "%r"
                                                  << "AM"
                                                  << "PM"
                                                  << "9:05:07"
                                                  << "21:05:07";
    QTest::newRow("trailing %") << "%H:%M:%S%" << Posix << "AM"
                                << "PM"
                                << "09:05:07"
                                << "21:05:07";
  }
  void FromStrftime() {
    QFETCH(QString, TimeFormat);
    QFETCH(QString, AmPmFormat);
    QFETCH(QString, AM);
    QFETCH(QString, PM);
    QFETCH(QString, Morning);
    QFETCH(QString, Evening);
    const TLongTimeFormat Format = TLongTimeFormat::FromStrftime(TimeFormat, AmPmFormat, AM, PM);
    QCOMPARE(Format.Format(QTime(9, 5, 7)), Morning);
    QCOMPARE(Format.Format(QTime(21, 5, 7)), Evening);
  }

  // Only the C locales are sure to exist; whatever the variables name, the
  // result is a usable format, and a missing locale reads as C.
  void FromLocale_data() {
    QTest::addColumn<QByteArray>("All");
    QTest::addColumn<QByteArray>("Time");
    QTest::addColumn<QByteArray>("Lang");
    QTest::newRow("LC_ALL=C") << QByteArray("C") << QByteArray("xx_XX.UTF-8") << QByteArray();
    QTest::newRow("empty LC_ALL counts as unset")
        << QByteArray("") << QByteArray("C.UTF-8") << QByteArray();
    QTest::newRow("LANG only") << QByteArray() << QByteArray() << QByteArray("POSIX");
    QTest::newRow("locale not installed")
        << QByteArray() << QByteArray("xx_XX.UTF-8") << QByteArray("C");
    QTest::newRow("nothing set") << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("overlong name") << QByteArray(4000, 'x') << QByteArray() << QByteArray();
  }
  void FromLocale() {
    QFETCH(QByteArray, All);
    QFETCH(QByteArray, Time);
    QFETCH(QByteArray, Lang);
    const TLocaleEnvironment Environment(All, Time, Lang);
    const TLongTimeFormat CLocale{true, ":", TDesignatorPosition::None, "", ""};
    QCOMPARE(TLongTimeFormat::FromLocale(), CLocale);
  }

  void TimeTextIsTheCurrentTime() {
    SetLongTimeFormat({false, ".", TDesignatorPosition::After, "vm", "nm"});
    const QTime Before = QTime::currentTime();
    const QString Text = TimeText();
    const QTime After = QTime::currentTime();
    QVERIFY2(Text == LongTimeFormat().Format(Before) || Text == LongTimeFormat().Format(After),
             qPrintable(Text));
  }
};

DRAVIK_TEST_MAIN(TestTimeText)
#include "TestTimeText.moc"
