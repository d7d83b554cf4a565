// The rotation's rules on their own, on times handed in as the test clock
// would give them: networks of addresses, the verdict on a new address, the
// jitter's draws and seed, the schedule's grammar and its windows and fixed
// times in local time (over midnight, a weekend, both daylight-saving
// changes), and the online periods with the wall clock set forward and back.

#include <QDateTime>
#include <QTest>
#include <set>

#include "AddressPrefix.h"
#include "TAddressPolicy.h"
#include "TJitter.h"
#include "TRotationPolicy.h"
#include "TSchedule.h"

Q_DECLARE_METATYPE(TAddressPolicy::TVerdict)

namespace {

const QTimeZone Berlin("Europe/Berlin");

// A wall-clock time in Berlin that exists once, as milliseconds.
qint64 At(const char* AText) {
  const QDateTime Local = QDateTime::fromString(AText, Qt::ISODate);
  return QDateTime(Local.date(), Local.time(), Berlin).toMSecsSinceEpoch();
}

qint64 Utc(const char* AText) {
  QDateTime Time = QDateTime::fromString(AText, Qt::ISODate);
  Time.setTimeZone(QTimeZone::utc());
  return Time.toMSecsSinceEpoch();
}

QString Shown(int64_t AMs) {
  return AMs < 0 ? QString("none")
                 : QDateTime::fromMSecsSinceEpoch(AMs, Berlin).toString(Qt::ISODateWithMs) + " (" +
                       QDateTime::fromMSecsSinceEpoch(AMs, QTimeZone::utc()).toString(Qt::ISODate) +
                       ")";
}

TSchedule Windows(const char* AText) {
  std::vector<TScheduleWindow> Parsed;
  const std::string Problem = ParseScheduleWindows(AText, Parsed);
  if (!Problem.empty()) qFatal("%s", Problem.c_str());
  return TSchedule(Parsed, {}, Berlin);
}

TSchedule Times(const char* AText) {
  std::vector<TScheduleTime> Parsed;
  const std::string Problem = ParseScheduleTimes(AText, Parsed);
  if (!Problem.empty()) qFatal("%s", Problem.c_str());
  return TSchedule({}, Parsed, Berlin);
}

constexpr uint8_t Mon = 1, Tue = 2, Wed = 4, Thu = 8, Fri = 16, Sat = 32, Sun = 64, Every = 0x7F;

}  // namespace

class TestRotationPolicy : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY2(Berlin.isValid(), "the tests need the zone Europe/Berlin"); }

  void Networks_data() {
    QTest::addColumn<QString>("Address");
    QTest::addColumn<int>("Length");
    QTest::addColumn<QString>("Network");
    QTest::newRow("/24") << "100.64.3.77" << 24 << "100.64.3.0/24";
    QTest::newRow("/22 in a byte") << "100.64.7.77" << 22 << "100.64.4.0/22";
    QTest::newRow("/32") << "100.64.3.77" << 32 << "100.64.3.77/32";
    QTest::newRow("/0") << "100.64.3.77" << 0 << "0.0.0.0/0";
    QTest::newRow("v4 length too long") << "100.64.3.77" << 33 << "";
    QTest::newRow("not v4") << "100.64.3" << 24 << "";
    QTest::newRow("/64") << "2001:db8:1:2:a:b:c:d" << 64 << "2001:db8:1:2::/64";
    QTest::newRow("/56") << "2001:db8:1:2ff::1" << 56 << "2001:db8:1:200::/56";
    QTest::newRow("/60 in a nibble") << "2001:db8:1:2ff::1" << 60 << "2001:db8:1:2f0::/60";
    QTest::newRow("prefix at a longer length")
        << "2001:db8:1:200::/56" << 64 << "2001:db8:1:200::/56";
    QTest::newRow("prefix at a shorter length")
        << "2001:db8:1:2ff::/64" << 56 << "2001:db8:1:200::/56";
    QTest::newRow("v6 length too long") << "2001:db8::1" << 129 << "";
    QTest::newRow("bad prefix length") << "2001:db8::/1x" << 64 << "";
    QTest::newRow("not v6") << "2001:db8::g" << 64 << "";
  }
  void Networks() {
    QFETCH(QString, Address);
    QFETCH(int, Length);
    QFETCH(QString, Network);
    const std::string Text = Address.toStdString();
    const std::string Found =
        Address.contains(':') ? Ipv6Network(Text, Length) : Ipv4Network(Text, Length);
    QCOMPARE(QString::fromStdString(Found), Network);
  }

  void Ipv6Kinds() {
    QVERIFY(IsGlobalIpv6("2001:db8::1"));
    QVERIFY(IsGlobalIpv6("fd77::5"));
    QVERIFY(!IsGlobalIpv6("fe80::1"));
    QVERIFY(!IsGlobalIpv6("::1"));
    QVERIFY(!IsGlobalIpv6("ff02::1"));
    QVERIFY(!IsGlobalIpv6("::ffff:10.0.0.1"));
    QVERIFY(!IsGlobalIpv6("2001:db8::/64"));
    QVERIFY(IsIpv6Prefix("2001:db8:1:100::/56"));
    QVERIFY(!IsIpv6Prefix("2001:db8:1:101::/56"));  // bits past its length
    QVERIFY(!IsIpv6Prefix("2001:db8::1"));
    QVERIFY(IsIpv6Address("2001:db8::1"));
    QVERIFY(!IsIpv6Address("2001:db8::/64"));
  }

  // Each turn's addresses against the recent ones: the address first, then
  // its /24, then the IPv6 network; a line without IPv6 passes that check.
  void Verdicts_data() {
    QTest::addColumn<int>("Prefix");
    QTest::addColumn<int>("Prefix6");
    QTest::addColumn<QStringList>("New");
    QTest::addColumn<TAddressPolicy::TVerdict>("Verdict");
    QTest::addColumn<QString>("Seen");
    using V = TAddressPolicy::TVerdict;
    QTest::newRow("new") << 24 << 56 << QStringList{"100.64.9.1", "2001:db8:9::1", ""} << V::New
                         << "";
    QTest::newRow("same address") << 0 << 0 << QStringList{"100.64.1.10", "", ""}
                                  << V::RepeatedAddress << "100.64.1.10";
    QTest::newRow("same address, also same /24")
        << 24 << 0 << QStringList{"100.64.2.20", "", ""} << V::RepeatedAddress << "100.64.2.20";
    QTest::newRow("same /24") << 24 << 0 << QStringList{"100.64.1.99", "", ""} << V::RepeatedSubnet
                              << "100.64.1.0/24";
    QTest::newRow("same /24, subnets off")
        << 0 << 0 << QStringList{"100.64.1.99", "", ""} << V::New << "";
    QTest::newRow("other /24 in the same /16")
        << 24 << 0 << QStringList{"100.64.3.1", "", ""} << V::New << "";
    QTest::newRow("same /16") << 16 << 0 << QStringList{"100.64.3.1", "", ""} << V::RepeatedSubnet
                              << "100.64.0.0/16";
    QTest::newRow("same /56") << 24 << 56 << QStringList{"100.64.9.1", "2001:db8:1:1ff::1", ""}
                              << V::RepeatedSubnet6 << "2001:db8:1:100::/56";
    QTest::newRow("same /56, other /64")
        << 24 << 64 << QStringList{"100.64.9.1", "2001:db8:1:1ff::1", ""} << V::New << "";
    QTest::newRow("same delegated prefix")
        << 24 << 56 << QStringList{"100.64.9.1", "", "2001:db8:2:200::/56"} << V::RepeatedSubnet6
        << "2001:db8:2:200::/56";
    QTest::newRow("no IPv6 now") << 24 << 56 << QStringList{"100.64.9.1", "", ""} << V::New << "";
  }
  void Verdicts() {
    QFETCH(int, Prefix);
    QFETCH(int, Prefix6);
    QFETCH(QStringList, New);
    QFETCH(TAddressPolicy::TVerdict, Verdict);
    QFETCH(QString, Seen);
    TAddressPolicy Policy(2, Prefix, Prefix6);
    // The oldest falls out: only the two newest count.
    Policy.Remember({"100.64.5.5", "2001:db8:5::1", ""});
    Policy.Remember({"100.64.1.10", "2001:db8:1:100::1", ""});
    Policy.Remember({"100.64.2.20", "", "2001:db8:2:200::/56"});
    QCOMPARE(Policy.Recent().size(), size_t(2));
    std::string Found;
    QCOMPARE(
        Policy.Judge({New[0].toStdString(), New[1].toStdString(), New[2].toStdString()}, Found),
        Verdict);
    QCOMPARE(QString::fromStdString(Found), Seen);
  }

  // Only the last distinct-from turns count; none with 0.
  void RecentTurnsKept() {
    TAddressPolicy Two(2, 24, 0);
    Two.Remember({"100.64.5.5", "", ""});
    Two.Remember({"100.64.1.10", "", ""});
    Two.Remember({"100.64.2.20", "", ""});
    std::string Seen;
    QCOMPARE(Two.Judge({"100.64.5.5", "", ""}, Seen), TAddressPolicy::TVerdict::New);
    QCOMPARE(Two.Judge({"100.64.1.10", "", ""}, Seen), TAddressPolicy::TVerdict::RepeatedAddress);
    TAddressPolicy None(0, 24, 56);
    None.Remember({"100.64.1.10", "", ""});
    QCOMPARE(None.Judge({"100.64.1.10", "", ""}, Seen), TAddressPolicy::TVerdict::New);
    QVERIFY(None.Recent().empty());
  }

  // Every draw within the range, never below a second, both ends reached
  // (uniform, not clustered in the middle); a seed replays its draws.
  void JitterRange_data() {
    QTest::addColumn<int>("Seconds");
    QTest::addColumn<int>("Jitter");
    QTest::addColumn<int>("Low");
    QTest::addColumn<int>("High");
    QTest::newRow("60 +- 20") << 60 << 20 << 40000 << 80000;
    QTest::newRow("5 +- 10, never below 1") << 5 << 10 << 1000 << 15000;
    QTest::newRow("1 +- 1") << 1 << 1 << 1000 << 2000;
  }
  void JitterRange() {
    QFETCH(int, Seconds);
    QFETCH(int, Jitter);
    QFETCH(int, Low);
    QFETCH(int, High);
    TJitter Draws(12345);
    int64_t Least = INT64_MAX, Most = 0;
    int Lower = 0;
    const int Count = 4000;
    for (int Index = 0; Index < Count; ++Index) {
      const int64_t Ms = Draws.Draw(Seconds * 1000, Jitter * 1000);
      QVERIFY2(Ms >= Low && Ms <= High, qPrintable(QString::number(Ms)));
      Least = std::min(Least, Ms);
      Most = std::max(Most, Ms);
      Lower += Ms < (Low + High) / 2;
    }
    const int64_t Tenth = (High - Low) / 100;
    QVERIFY2(Least <= Low + Tenth && Most >= High - Tenth,
             qPrintable(QString("%1 to %2").arg(Least).arg(Most)));
    QVERIFY2(Lower > Count * 45 / 100 && Lower < Count * 55 / 100,
             qPrintable(QString::number(Lower)));
  }

  void JitterSeed() {
    TJitter First(987654321), Again(987654321), Other(987654322);
    QCOMPARE(First.Seed(), uint64_t(987654321));
    bool Differs = false;
    for (int Index = 0; Index < 20; ++Index) {
      const int64_t Ms = First.Draw(60000, 30000);
      QCOMPARE(Again.Draw(60000, 30000), Ms);
      Differs |= Other.Draw(60000, 30000) != Ms;
    }
    QVERIFY(Differs);
    // Known draws of this seed: a change of the generator or its reduction
    // would make a stated seed replay other times.
    TJitter Stated(42);
    QCOMPARE(Stated.Draw(60000, 30000), int64_t(37406));
    QCOMPARE(Stated.Draw(60000, 30000), int64_t(36464));
    QCOMPARE(Stated.Draw(60000, 30000), int64_t(69984));
    TJitter Fixed(1);
    QCOMPARE(Fixed.Draw(60000, 0), int64_t(60000));
    QVERIFY(TJitter::RandomSeed() != TJitter::RandomSeed());
  }

  void ScheduleGrammar_data() {
    QTest::addColumn<QString>("Text");
    QTest::addColumn<QString>("Windows");  // days start end; ...
    QTest::newRow("weekdays") << "Mon-Fri 08:00-20:00"
                              << "31 480 1200";
    QTest::newRow("several") << "Mon-Fri 08:00-20:00, sat 10:00-14:00"
                             << "31 480 1200;32 600 840";
    QTest::newRow("every day, over midnight") << "22:00-6:00"
                                              << "127 1320 360";
    QTest::newRow("to the end of the day") << "Sun 00:00-24:00"
                                           << "64 0 1440";
    QTest::newRow("wrapping range") << "Fri-Mon 9:30-10:00"
                                    << "113 570 600";
    QTest::newRow("days listed") << "Mon, Wed,Fri 08:00-12:00, 13:00-14:00"
                                 << "21 480 720;127 780 840";
    QTest::newRow("one day") << "  Tue   08:00-09:00 "
                             << "2 480 540";
    QTest::newRow("empty: none") << ""
                                 << "";
  }
  void ScheduleGrammar() {
    QFETCH(QString, Text);
    QFETCH(QString, Windows);
    std::vector<TScheduleWindow> Parsed;
    QCOMPARE(ParseScheduleWindows(Text.toStdString(), Parsed), std::string());
    QStringList Shown;
    for (const TScheduleWindow& Window : Parsed)
      Shown << QString("%1 %2 %3").arg(Window.Days).arg(Window.StartMinute).arg(Window.EndMinute);
    QCOMPARE(Shown.join(';'), Windows);
  }

  void ScheduleGrammarErrors_data() {
    QTest::addColumn<QString>("Text");
    QTest::addColumn<bool>("Times");
    QTest::addColumn<QString>("Problem");
    QTest::newRow("unknown day") << "Mon-Fry 08:00-20:00" << false
                                 << "\"Mon-Fry\" is no day or range of days";
    QTest::newRow("no end") << "Mon 08:00" << false << "\"08:00\" is no window START-END";
    QTest::newRow("hour 25") << "08:00-25:00" << false << "\"08:00-25:00\" is no window";
    QTest::newRow("minutes 60") << "08:60-10:00" << false << "is no window";
    QTest::newRow("two colons") << "15::0" << true << "\"15::0\" is no time";
    QTest::newRow("24:00 as a start") << "24:00-10:00" << false << "is no window";
    QTest::newRow("empty window") << "08:00-08:00" << false << "starts where it ends";
    QTest::newRow("empty item") << "08:00-09:00,,10:00-11:00" << false << "an empty item";
    QTest::newRow("trailing comma") << "08:00-09:00," << false << "an empty item";
    QTest::newRow("days at the end")
        << "08:00-09:00, Sat" << false << "days at the end without a time";
    QTest::newRow("three words") << "Mon 08:00 - 09:00" << false << "is not DAYS TIME";
    QTest::newRow("time range as a fixed time")
        << "03:00-04:00" << true << "\"03:00-04:00\" is no time";
    QTest::newRow("24:00 as a fixed time") << "24:00" << true << "\"24:00\" is no time";
    QTest::newRow("too many") << QString("1:00,").repeated(64) + "2:00" << true
                              << "more than 64 items";
  }
  void ScheduleGrammarErrors() {
    QFETCH(QString, Text);
    QFETCH(bool, Times);
    QFETCH(QString, Problem);
    std::vector<TScheduleWindow> Windows{{1, 2, 3}};
    std::vector<TScheduleTime> Fixed{{1, 2}};
    const std::string Found = Times ? ParseScheduleTimes(Text.toStdString(), Fixed)
                                    : ParseScheduleWindows(Text.toStdString(), Windows);
    QVERIFY2(QString::fromStdString(Found).contains(Problem), Found.c_str());
    // Nothing is taken from a value with a problem.
    QCOMPARE(Windows.size(), size_t(1));
    QCOMPARE(Fixed.size(), size_t(1));
  }

  void FixedTimesGrammar() {
    std::vector<TScheduleTime> Parsed;
    QCOMPARE(ParseScheduleTimes("03:00, 15:00, Sat-Sun 9:15", Parsed), std::string());
    QCOMPARE(Parsed, (std::vector<TScheduleTime>{{Every, 180}, {Every, 900}, {Sat | Sun, 555}}));
  }

  // Where a moment falls: in a window (and when it ends) or before the
  // next one (and when that starts).
  void WindowsAt_data() {
    QTest::addColumn<QString>("Schedule");
    QTest::addColumn<qint64>("Now");
    QTest::addColumn<qint64>("End");    // -1: outside
    QTest::addColumn<qint64>("Start");  // the next window's start
    // 2026-03-27 is a Friday.
    const char* Weekdays = "Mon-Fri 08:00-20:00";
    QTest::newRow("friday evening") << Weekdays << At("2026-03-27T19:59:59")
                                    << At("2026-03-27T20:00:00") << At("2026-03-30T08:00:00");
    QTest::newRow("friday, window over: the weekend skipped")
        << Weekdays << At("2026-03-27T20:00:00") << qint64(-1) << At("2026-03-30T08:00:00");
    QTest::newRow("sunday") << Weekdays << At("2026-03-22T12:00:00") << qint64(-1)
                            << At("2026-03-23T08:00:00");
    QTest::newRow("before a window")
        << Weekdays << At("2026-03-26T07:00:00") << qint64(-1) << At("2026-03-26T08:00:00");
    const char* Nights = "Fri 22:00-06:00";
    QTest::newRow("over midnight, after it")
        << Nights << At("2026-03-28T03:00:00") << At("2026-03-28T06:00:00")
        << At("2026-04-03T22:00:00");
    QTest::newRow("over midnight, before it")
        << Nights << At("2026-03-27T23:00:00") << At("2026-03-28T06:00:00")
        << At("2026-04-03T22:00:00");
    QTest::newRow("over midnight, the night after")
        << Nights << At("2026-03-28T23:00:00") << qint64(-1) << At("2026-04-03T22:00:00");
    QTest::newRow("touching windows are one")
        << "08:00-12:00, 12:00-14:00" << At("2026-03-26T11:00:00") << At("2026-03-26T14:00:00")
        << At("2026-03-27T08:00:00");
    QTest::newRow("overlapping windows are one")
        << "Thu 08:00-12:00, Thu 10:00-13:00" << At("2026-03-26T09:00:00")
        << At("2026-03-26T13:00:00") << At("2026-04-02T08:00:00");
    QTest::newRow("whole days run on")
        << "Mon-Sun 00:00-24:00" << At("2026-03-26T11:00:00") << qint64(0) << qint64(-1);
    // Clocks forward on 2026-03-29 at 02:00 (01:00 UTC): 02:30 does not
    // exist; the window begins when the clocks jump, and lasts 1 h.
    QTest::newRow("starts in the skipped hour") << "Sun 02:30-04:00" << Utc("2026-03-29T00:59:59")
                                                << qint64(-1) << Utc("2026-03-29T01:00:00");
    QTest::newRow("in it after the jump")
        << "Sun 02:30-04:00" << Utc("2026-03-29T01:00:00") << Utc("2026-03-29T02:00:00")
        << Utc("2026-04-05T00:30:00");
    QTest::newRow("spans the jump: 2 h of clock, 1 h long")
        << "Sun 01:30-03:30" << Utc("2026-03-29T00:45:00") << Utc("2026-03-29T01:30:00")
        << Utc("2026-04-04T23:30:00");
    // Clocks back on 2026-10-25 at 03:00 (01:00 UTC): 02:00-03:00 comes twice.
    QTest::newRow("spans the repeated hour: 2 h of clock, 3 h long")
        << "Sun 01:30-03:30" << Utc("2026-10-25T01:15:00") << Utc("2026-10-25T02:30:00")
        << Utc("2026-11-01T00:30:00");
  }
  void WindowsAt() {
    QFETCH(QString, Schedule);
    QFETCH(qint64, Now);
    QFETCH(qint64, End);
    QFETCH(qint64, Start);
    const TSchedule Plan = Windows(qPrintable(Schedule));
    TSchedule::TSpan Span;
    const bool In = Plan.WindowAt(Now, Span);
    QCOMPARE(In, End != -1);
    if (In && End != 0) QCOMPARE(Shown(Span.EndMs), Shown(End));
    if (In) QVERIFY(Span.StartMs <= Now);
    QCOMPARE(Shown(Plan.NextWindowStart(Now)), Shown(Start));
  }

  // The next fixed time after a moment: a weekday-only time skips the
  // weekend; one the clocks skip happens when they jump; one that comes
  // twice happens at its first showing only.
  void NextFixedTime_data() {
    QTest::addColumn<QString>("Fixed");
    QTest::addColumn<qint64>("After");
    QTest::addColumn<qint64>("Next");
    QTest::newRow("later today") << "03:00, 15:00" << At("2026-03-26T10:00:00")
                                 << At("2026-03-26T15:00:00");
    QTest::newRow("exactly at one: the next")
        << "03:00, 15:00" << At("2026-03-26T15:00:00") << At("2026-03-27T03:00:00");
    QTest::newRow("weekdays over the weekend")
        << "Mon-Fri 03:00" << At("2026-03-27T04:00:00") << At("2026-03-30T03:00:00");
    QTest::newRow("skipped by the clocks")
        << "02:30" << At("2026-03-29T00:00:00") << Utc("2026-03-29T01:00:00");
    QTest::newRow("the day after the jump")
        << "02:30" << Utc("2026-03-29T01:00:00") << Utc("2026-03-30T00:30:00");
    QTest::newRow("twice by the clocks: the first")
        << "02:30" << Utc("2026-10-24T23:00:00") << Utc("2026-10-25T00:30:00");
    QTest::newRow("twice by the clocks: not again at the second")
        << "02:30" << Utc("2026-10-25T00:30:00") << Utc("2026-10-26T01:30:00");
  }
  void NextFixedTime() {
    QFETCH(QString, Fixed);
    QFETCH(qint64, After);
    QFETCH(qint64, Next);
    QCOMPARE(Shown(Times(qPrintable(Fixed)).NextTime(After)), Shown(Next));
  }

  // An online period of seconds: its drawn time is the one stated, and it
  // runs on the timers' clock whatever the wall clock does.
  void OnlinePeriodDrawn() {
    TServiceConfig Config;
    Config.OnlineSeconds = 60;
    Config.OnlineJitterSeconds = 20;
    Config.JitterSeedGiven = true;
    Config.JitterSeed = 7;
    TRotationPolicy Policy(Config, Berlin);
    QCOMPARE(Policy.Jitter().Seed(), uint64_t(7));
    TJitter Same(7);
    const int64_t Wall = At("2026-03-26T10:00:00");
    std::set<int64_t> Drawn;
    uint64_t Now = 1000;
    for (int Turn = 0; Turn < 5; ++Turn) {
      Policy.BeginOnline(Now, Wall);
      const int64_t Expected = Same.Draw(60000, 20000);
      QCOMPARE(Policy.DrawnOnlineMs(), Expected);
      Drawn.insert(Expected);
      int64_t Wait = 0;
      // The wall clock set back a day changes nothing.
      QCOMPARE(Policy.OnlineStep(Now, Wall - 86400000, Wait), TRotationPolicy::TStep::Wait);
      QCOMPARE(Wait, Expected);
      QCOMPARE(Policy.OnlineLeftMs(Now + 1000, Wall), Expected - 1000);
      QCOMPARE(Policy.OnlineStep(Now + Expected - 1, Wall, Wait), TRotationPolicy::TStep::Wait);
      QCOMPARE(Policy.OnlineStep(Now + Expected, Wall, Wait), TRotationPolicy::TStep::Rotate);
      Now += Expected;
    }
    QVERIFY(Drawn.size() > 1);
  }

  // In a window the online period ends with the window; outside, the wait
  // is for the next window, looked at again every minute.
  void OnlinePeriodInWindows() {
    TServiceConfig Config;
    Config.OnlineSeconds = 3600;
    ParseScheduleWindows("Mon-Fri 08:00-20:00", Config.Schedule);
    TRotationPolicy Policy(Config, Berlin);
    const int64_t Wall = At("2026-03-27T19:30:00");
    Policy.BeginOnline(0, Wall);
    int64_t Wait = 0;
    QCOMPARE(Policy.OnlineStep(0, Wall, Wait), TRotationPolicy::TStep::Wait);
    QCOMPARE(Wait, TRotationPolicy::RecheckMs);
    QCOMPARE(Policy.OnlineLeftMs(0, Wall), int64_t(1800000));
    QCOMPARE(Policy.OnlineStep(1790000, Wall + 1790000, Wait), TRotationPolicy::TStep::Wait);
    QCOMPARE(Wait, int64_t(10000));
    QCOMPARE(Policy.OnlineStep(1800000, Wall + 1800000, Wait), TRotationPolicy::TStep::LeaveWindow);
    const int64_t Evening = Wall + 1800000;
    QCOMPARE(Policy.OutsideStep(Evening, Wait), TRotationPolicy::TStep::Wait);
    QCOMPARE(Wait, TRotationPolicy::RecheckMs);
    QCOMPARE(Policy.OutsideLeftMs(Evening), At("2026-03-30T08:00:00") - Evening);
    QCOMPARE(Policy.OutsideStep(At("2026-03-30T07:59:30"), Wait), TRotationPolicy::TStep::Wait);
    QCOMPARE(Wait, int64_t(30000));
    QCOMPARE(Policy.OutsideStep(At("2026-03-30T08:00:00"), Wait),
             TRotationPolicy::TStep::EnterWindow);
    // A clock set back into the evening before leaves the window again.
    QCOMPARE(Policy.OutsideStep(Evening, Wait), TRotationPolicy::TStep::Wait);
  }

  // Fixed times: the period runs to the next one; a clock set forward past
  // it is seen within a minute; one set back over a time that has had its
  // rotation does not bring a second one.
  void OnlinePeriodToFixedTimes() {
    TServiceConfig Config;
    ParseScheduleTimes("03:00, 15:00", Config.RotateAt);
    TRotationPolicy Policy(Config, Berlin);
    const int64_t Wall = At("2026-03-26T14:00:00");
    Policy.BeginOnline(0, Wall);
    QCOMPARE(Policy.DrawnOnlineMs(), int64_t(3600000));
    int64_t Wait = 0;
    QCOMPARE(Policy.OnlineStep(0, Wall, Wait), TRotationPolicy::TStep::Wait);
    QCOMPARE(Wait, TRotationPolicy::RecheckMs);
    // Set forward by two hours after 10 s: due at the next look.
    QCOMPARE(Policy.OnlineStep(60000, Wall + 7200000 + 60000, Wait),
             TRotationPolicy::TStep::Rotate);
    // Set back to 14:30 right after: 15:00 has had its turn, 03:00 is next.
    const int64_t Back = At("2026-03-26T14:30:00");
    Policy.BeginOnline(60000, Back);
    QCOMPARE(Policy.OnlineLeftMs(60000, Back), At("2026-03-27T03:00:00") - Back);
    QCOMPARE(Policy.OnlineStep(60000, At("2026-03-26T15:00:00"), Wait),
             TRotationPolicy::TStep::Wait);
  }

  // Fixed times with windows: a time in a window ends the period; one
  // outside is passed over, the window's end coming first.
  void FixedTimesInWindows() {
    TServiceConfig Config;
    ParseScheduleWindows("Mon-Fri 08:00-20:00", Config.Schedule);
    ParseScheduleTimes("03:00, 12:00", Config.RotateAt);
    TRotationPolicy Policy(Config, Berlin);
    Policy.BeginOnline(0, At("2026-03-26T09:00:00"));
    int64_t Wait = 0;
    QCOMPARE(Policy.OnlineStep(0, At("2026-03-26T12:00:00"), Wait), TRotationPolicy::TStep::Rotate);
    Policy.BeginOnline(0, At("2026-03-26T12:00:05"));
    QCOMPARE(Policy.OnlineLeftMs(0, At("2026-03-26T12:00:05")),
             At("2026-03-26T20:00:00") - At("2026-03-26T12:00:05"));
    QCOMPARE(Policy.OnlineStep(0, At("2026-03-26T20:00:00"), Wait),
             TRotationPolicy::TStep::LeaveWindow);
  }

  // A fixed time with jitter: the wait is drawn around the time left.
  void FixedTimeWithJitter() {
    TServiceConfig Config;
    Config.OnlineJitterSeconds = 300;
    Config.JitterSeedGiven = true;
    Config.JitterSeed = 99;
    ParseScheduleTimes("03:00", Config.RotateAt);
    TRotationPolicy Policy(Config, Berlin);
    const int64_t Wall = At("2026-03-26T02:00:00");
    Policy.BeginOnline(0, Wall);
    QCOMPARE(Policy.DrawnOnlineMs(), TJitter(99).Draw(3600000, 300000));
    QVERIFY(Policy.DrawnOnlineMs() >= 3300000 && Policy.DrawnOnlineMs() <= 3900000);
    QCOMPARE(Policy.OnlineLeftMs(0, Wall), Policy.DrawnOnlineMs());
  }
};

QTEST_GUILESS_MAIN(TestRotationPolicy)
#include "TestRotationPolicy.moc"
