// Reading calendars: recurrence, overrides, time zones, all-day spans, and input meant to
// exhaust the reader.
#include <gtest/gtest.h>

#include <QStringList>

#include "agenda/IcsReader.h"

namespace {

QByteArray Calendar(const QByteArray& body) {
  QByteArray ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n" + body;
  if (!ics.endsWith("\r\n")) ics += "\r\n";
  ics += "END:VCALENDAR\r\n";
  ics.replace("\r\n", "\n");
  ics.replace("\n", "\r\n");
  return ics;
}

// One line per occurrence: its local start (a date alone for all-day events), and the last
// day it covers when that is another day.
QStringList Shown(const IcsResult& r) {
  QStringList lines;
  for (const AgendaEvent& e : r.events) {
    QString s = e.allDay ? e.firstDay.toString(Qt::ISODate)
                         : e.start.toString(QStringLiteral("yyyy-MM-ddTHH:mm"));
    if (e.lastDay != e.firstDay) s += QStringLiteral("..") + e.lastDay.toString(Qt::ISODate);
    lines << s;
  }
  return lines;
}

struct RecurrenceCase {
  const char* name;
  const char* body;  // the events
  const char* from;
  const char* to;
  const char* zone;  // the viewer's zone
  QStringList expected;
};

void PrintTo(const RecurrenceCase& c, std::ostream* os) { *os << c.name; }

class IcsRecurrence : public testing::TestWithParam<RecurrenceCase> {};

TEST_P(IcsRecurrence, ExpandsToTheExpectedLocalOccurrences) {
  const RecurrenceCase& c = GetParam();
  const IcsResult r =
      ReadIcs(Calendar(c.body), QDate::fromString(QString::fromLatin1(c.from), Qt::ISODate),
              QDate::fromString(QString::fromLatin1(c.to), Qt::ISODate), QTimeZone(c.zone));
  EXPECT_TRUE(r.error.isEmpty()) << r.error.toStdString();
  EXPECT_FALSE(r.truncated);
  EXPECT_EQ(Shown(r), c.expected) << Shown(r).join(QLatin1Char(' ')).toStdString();
}

// A zone no system knows, defined only in the file: +03:00, +04:00 from the last Sunday of
// March 03:00 to the last Sunday of October 04:00.
const char* kOwnZone =
    "BEGIN:VTIMEZONE\nTZID:Test Own Zone\n"
    "BEGIN:STANDARD\nDTSTART:19701025T040000\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\n"
    "TZOFFSETFROM:+0400\nTZOFFSETTO:+0300\nEND:STANDARD\n"
    "BEGIN:DAYLIGHT\nDTSTART:19700329T030000\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\n"
    "TZOFFSETFROM:+0300\nTZOFFSETTO:+0400\nEND:DAYLIGHT\nEND:VTIMEZONE\n";

std::string WithOwnZone(const char* events) { return std::string(kOwnZone) + events; }
const std::string kOwnZoneWeekly = WithOwnZone(
    "BEGIN:VEVENT\nUID:z\nDTSTART;TZID=Test Own Zone:20260323T120000\n"
    "DTEND;TZID=Test Own Zone:20260323T130000\nRRULE:FREQ=WEEKLY;COUNT=3\nSUMMARY:own\n"
    "END:VEVENT\n");

const RecurrenceCase kRecurrenceCases[] = {
    {"WallClockKeptAcrossSpringForward",
     "BEGIN:VEVENT\nUID:a\nDTSTART;TZID=Europe/Berlin:20260324T090000\n"
     "DURATION:PT1H\nRRULE:FREQ=WEEKLY\nSUMMARY:standup\nEND:VEVENT\n",
     "2026-03-20",
     "2026-04-08",
     "Europe/Berlin",
     {"2026-03-24T09:00", "2026-03-31T09:00", "2026-04-07T09:00"}},
    {"OtherZoneShiftsWhenOnlyOneSideChangesClocks",
     "BEGIN:VEVENT\nUID:b\nDTSTART;TZID=America/New_York:20260302T090000\n"
     "DURATION:PT1H\nRRULE:FREQ=WEEKLY;COUNT=5\nSUMMARY:call\nEND:VEVENT\n",
     "2026-03-01",
     "2026-03-31",
     "Europe/Berlin",
     {"2026-03-02T15:00", "2026-03-09T14:00", "2026-03-16T14:00", "2026-03-23T14:00",
      "2026-03-30T15:00"}},
    {"ZoneDefinedInTheFile",
     kOwnZoneWeekly.c_str(),
     "2026-03-01",
     "2026-04-30",
     "UTC",
     {"2026-03-23T09:00", "2026-03-30T08:00", "2026-04-06T08:00"}},
    {"WindowsZoneName",
     "BEGIN:VEVENT\nUID:w\nDTSTART;TZID=W. Europe Standard Time:20260701T100000\n"
     "SUMMARY:win\nEND:VEVENT\n",
     "2026-07-01",
     "2026-07-01",
     "UTC",
     {"2026-07-01T08:00"}},
    {"UtcShownInLocalTime",
     "BEGIN:VEVENT\nUID:u\nDTSTART:20260110T233000Z\nDTEND:20260111T003000Z\n"
     "SUMMARY:late\nEND:VEVENT\n",
     "2026-01-01",
     "2026-01-31",
     "Europe/Berlin",
     {"2026-01-11T00:30"}},
    {"UtcEventCrossingMidnightLocallyCoversTwoDays",
     "BEGIN:VEVENT\nUID:u2\nDTSTART:20260110T220000Z\nDTEND:20260111T010000Z\n"
     "SUMMARY:night\nEND:VEVENT\n",
     "2026-01-01",
     "2026-01-31",
     "UTC",
     {"2026-01-10T22:00..2026-01-11"}},
    {"EndingAtMidnightStaysOnItsDay",
     "BEGIN:VEVENT\nUID:m\nDTSTART:20260110T200000\nDTEND:20260111T000000\n"
     "SUMMARY:evening\nEND:VEVENT\n",
     "2026-01-01",
     "2026-01-31",
     "Europe/Berlin",
     {"2026-01-10T20:00"}},
    {"FloatingTimeIsLocalWallTime",
     "BEGIN:VEVENT\nUID:f\nDTSTART:20260615T070000\nSUMMARY:float\nEND:VEVENT\n",
     "2026-06-01",
     "2026-06-30",
     "Asia/Tokyo",
     {"2026-06-15T07:00"}},
    {"AllDayAcrossMonths",
     "BEGIN:VEVENT\nUID:ad\nDTSTART;VALUE=DATE:20260130\nDTEND;VALUE=DATE:20260203\n"
     "SUMMARY:trip\nEND:VEVENT\n",
     "2026-02-01",
     "2026-02-28",
     "America/Los_Angeles",
     {"2026-01-30..2026-02-02"}},
    {"AllDayWithoutEndIsOneDay",
     "BEGIN:VEVENT\nUID:ad1\nDTSTART;VALUE=DATE:20261231\nSUMMARY:eve\nEND:VEVENT\n",
     "2026-12-01",
     "2027-01-31",
     "UTC",
     {"2026-12-31"}},
    {"LeapDayBirthdayOnlyInLeapYears",
     "BEGIN:VEVENT\nUID:bd\nDTSTART;VALUE=DATE:19920229\nDTEND;VALUE=DATE:19920301\n"
     "RRULE:FREQ=YEARLY\nSUMMARY:bday\nEND:VEVENT\n",
     "2026-01-01",
     "2028-12-31",
     "UTC",
     {"2028-02-29"}},
    {"UntilInUtcKeepsTheLastOccurrence",
     "BEGIN:VEVENT\nUID:un\nDTSTART;TZID=Europe/Berlin:20260302T090000\nDURATION:PT30M\n"
     "RRULE:FREQ=DAILY;UNTIL=20260305T080000Z\nSUMMARY:daily\nEND:VEVENT\n",
     "2026-03-01",
     "2026-03-31",
     "Europe/Berlin",
     {"2026-03-02T09:00", "2026-03-03T09:00", "2026-03-04T09:00", "2026-03-05T09:00"}},
    {"UntilAsDate",
     "BEGIN:VEVENT\nUID:ud\nDTSTART;VALUE=DATE:20260302\n"
     "RRULE:FREQ=WEEKLY;UNTIL=20260316\nSUMMARY:w\nEND:VEVENT\n",
     "2026-03-01",
     "2026-03-31",
     "UTC",
     {"2026-03-02", "2026-03-09", "2026-03-16"}},
    {"CountEndsTheSeries",
     "BEGIN:VEVENT\nUID:c\nDTSTART:20260105T100000Z\nRRULE:FREQ=WEEKLY;COUNT=3\n"
     "SUMMARY:three\nEND:VEVENT\n",
     "2026-01-01",
     "2026-02-28",
     "UTC",
     {"2026-01-05T10:00", "2026-01-12T10:00", "2026-01-19T10:00"}},
    {"CountReachedBeforeTheRange",
     "BEGIN:VEVENT\nUID:c2\nDTSTART:20250105T100000Z\nRRULE:FREQ=DAILY;COUNT=10\n"
     "SUMMARY:gone\nEND:VEVENT\n",
     "2026-01-01",
     "2026-02-28",
     "UTC",
     {}},
    {"ThirtyFirstOfEveryMonthSkipsShortMonths",
     "BEGIN:VEVENT\nUID:31\nDTSTART;VALUE=DATE:20260131\nRRULE:FREQ=MONTHLY\n"
     "SUMMARY:31st\nEND:VEVENT\n",
     "2026-01-01",
     "2026-12-31",
     "UTC",
     {"2026-01-31", "2026-03-31", "2026-05-31", "2026-07-31", "2026-08-31", "2026-10-31",
      "2026-12-31"}},
    {"LastDayOfEveryMonth",
     "BEGIN:VEVENT\nUID:last\nDTSTART;VALUE=DATE:20260131\n"
     "RRULE:FREQ=MONTHLY;BYMONTHDAY=-1;COUNT=4\nSUMMARY:eom\nEND:VEVENT\n",
     "2026-01-01",
     "2026-12-31",
     "UTC",
     {"2026-01-31", "2026-02-28", "2026-03-31", "2026-04-30"}},
    {"EveryOtherWeekKeepsItsParityFarFromTheStart",
     "BEGIN:VEVENT\nUID:bi\nDTSTART:20200106T120000Z\nRRULE:FREQ=WEEKLY;INTERVAL=2\n"
     "SUMMARY:bi\nEND:VEVENT\n",
     "2026-03-01",
     "2026-03-31",
     "UTC",
     {"2026-03-09T12:00", "2026-03-23T12:00"}},
    {"HourlyFromYearsAgoKeepsItsRhythm",
     "BEGIN:VEVENT\nUID:hr\nDTSTART:20100101T090000Z\nRRULE:FREQ=HOURLY;INTERVAL=5\n"
     "SUMMARY:h\nEND:VEVENT\n",
     "2026-03-01",
     "2026-03-01",
     "UTC",
     {"2026-03-01T02:00", "2026-03-01T07:00", "2026-03-01T12:00", "2026-03-01T17:00",
      "2026-03-01T22:00"}},
    {"ExdateAndMovedOccurrence",
     "BEGIN:VEVENT\nUID:wk\nDTSTART;TZID=Europe/Berlin:20260302T180000\nDURATION:PT1H\n"
     "RRULE:FREQ=WEEKLY;COUNT=4\nEXDATE;TZID=Europe/Berlin:20260309T180000\n"
     "SUMMARY:choir\nEND:VEVENT\n"
     "BEGIN:VEVENT\nUID:wk\nRECURRENCE-ID;TZID=Europe/Berlin:20260316T180000\n"
     "DTSTART;TZID=Europe/Berlin:20260318T190000\nDURATION:PT1H\nSUMMARY:choir moved\n"
     "END:VEVENT\n",
     "2026-03-01",
     "2026-03-31",
     "Europe/Berlin",
     {"2026-03-02T18:00", "2026-03-18T19:00", "2026-03-23T18:00"}},
    {"OverrideIdentifiedInUtc",
     "BEGIN:VEVENT\nUID:ou\nDTSTART;TZID=Europe/Berlin:20260302T180000\n"
     "RRULE:FREQ=WEEKLY;COUNT=2\nSUMMARY:x\nEND:VEVENT\n"
     "BEGIN:VEVENT\nUID:ou\nRECURRENCE-ID:20260309T170000Z\n"
     "DTSTART;TZID=Europe/Berlin:20260309T200000\nSUMMARY:x later\nEND:VEVENT\n",
     "2026-03-01",
     "2026-03-31",
     "Europe/Berlin",
     {"2026-03-02T18:00", "2026-03-09T20:00"}},
    {"CancelledOccurrenceAndCancelledEvent",
     "BEGIN:VEVENT\nUID:cc\nDTSTART:20260302T100000Z\nRRULE:FREQ=DAILY;COUNT=3\n"
     "SUMMARY:y\nEND:VEVENT\n"
     "BEGIN:VEVENT\nUID:cc\nRECURRENCE-ID:20260303T100000Z\nDTSTART:20260303T100000Z\n"
     "STATUS:CANCELLED\nSUMMARY:y\nEND:VEVENT\n"
     "BEGIN:VEVENT\nUID:gone\nDTSTART:20260310T100000Z\nSTATUS:CANCELLED\nSUMMARY:no\n"
     "END:VEVENT\n",
     "2026-03-01",
     "2026-03-31",
     "UTC",
     {"2026-03-02T10:00", "2026-03-04T10:00"}},
    {"RdateAddsOccurrences",
     "BEGIN:VEVENT\nUID:rd\nDTSTART:20260302T100000Z\n"
     "RDATE:20260305T150000Z,20260320T090000Z\nSUMMARY:r\nEND:VEVENT\n",
     "2026-03-01",
     "2026-03-31",
     "UTC",
     {"2026-03-02T10:00", "2026-03-05T15:00", "2026-03-20T09:00"}},
    {"DateExdateOnATimedSeries",
     "BEGIN:VEVENT\nUID:dx\nDTSTART:20260302T100000Z\nRRULE:FREQ=DAILY;COUNT=3\n"
     "EXDATE;VALUE=DATE:20260303\nSUMMARY:d\nEND:VEVENT\n",
     "2026-03-01",
     "2026-03-31",
     "UTC",
     {"2026-03-02T10:00", "2026-03-04T10:00"}},
    {"MultiDayTimedEventInTheRangeFromBefore",
     "BEGIN:VEVENT\nUID:md\nDTSTART:20260227T090000Z\nDTEND:20260303T170000Z\n"
     "SUMMARY:conf\nEND:VEVENT\n",
     "2026-03-01",
     "2026-03-31",
     "UTC",
     {"2026-02-27T09:00..2026-03-03"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, IcsRecurrence, testing::ValuesIn(kRecurrenceCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IcsReader, EventCarriesItsTextAndAlarms) {
  const IcsResult r =
      ReadIcs(Calendar("BEGIN:VEVENT\nUID:al\nDTSTART:20260302T100000Z\nDTEND:20260302T110000Z\n"
                       "SUMMARY:Dentist\\, upstairs\nLOCATION:Main Street 4\n"
                       "BEGIN:VALARM\nACTION:DISPLAY\nTRIGGER:-PT15M\nDESCRIPTION:x\nEND:VALARM\n"
                       "BEGIN:VALARM\nACTION:AUDIO\nTRIGGER;RELATED=END:PT5M\nEND:VALARM\n"
                       "BEGIN:VALARM\nACTION:DISPLAY\nTRIGGER;VALUE=DATE-TIME:20260301T080000Z\n"
                       "DESCRIPTION:x\nEND:VALARM\n"
                       "BEGIN:VALARM\nACTION:EMAIL\nTRIGGER:-PT1H\nEND:VALARM\n"
                       "END:VEVENT\n"),
              QDate(2026, 3, 1), QDate(2026, 3, 31), QTimeZone("Europe/Berlin"));
  ASSERT_EQ(r.events.size(), 1);
  const AgendaEvent& e = r.events[0];
  EXPECT_EQ(e.summary, QStringLiteral("Dentist, upstairs"));
  EXPECT_EQ(e.location, QStringLiteral("Main Street 4"));
  const QTimeZone utc = QTimeZone::utc();
  EXPECT_EQ(e.alarms, (QList<QDateTime>{QDateTime(QDate(2026, 3, 1), QTime(8, 0), utc),
                                        QDateTime(QDate(2026, 3, 2), QTime(9, 45), utc),
                                        QDateTime(QDate(2026, 3, 2), QTime(11, 5), utc)}));
}

TEST(IcsReader, CalendarsJoinedOneAfterAnotherAreAllRead) {
  const QByteArray two = Calendar(
                             "BEGIN:VEVENT\nUID:1\nDTSTART:20260302T100000Z\n"
                             "SUMMARY:one\nEND:VEVENT\n") +
                         Calendar(
                             "BEGIN:VEVENT\nUID:2\nDTSTART:20260303T100000Z\n"
                             "SUMMARY:two\nEND:VEVENT\n");
  const IcsResult r = ReadIcs(two, QDate(2026, 3, 1), QDate(2026, 3, 31), QTimeZone::utc());
  EXPECT_EQ(Shown(r), (QStringList{"2026-03-02T10:00", "2026-03-03T10:00"}));
}

// What a hostile or broken calendar may do, and what the reader must still give back.
struct HostileCase {
  const char* name;
  QByteArray ics;
  IcsLimits limits;
  bool expectError;
  qsizetype maxEvents;  // at most this many occurrences come back
  // Large inputs are made when their case runs: every test process registers the table.
  QByteArray (*make)() = nullptr;
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

class IcsHostile : public testing::TestWithParam<HostileCase> {};

TEST_P(IcsHostile, ReturnsBoundedResult) {
  const HostileCase& c = GetParam();
  const IcsResult r = ReadIcs(c.make ? c.make() : c.ics, QDate(2026, 3, 1), QDate(2026, 4, 30),
                              QTimeZone("Europe/Berlin"), c.limits);
  EXPECT_EQ(!r.error.isEmpty(), c.expectError) << r.error.toStdString();
  EXPECT_LE(r.events.size(), c.maxEvents);
}

QByteArray Repeated(const QByteArray& unit, int n) {
  QByteArray out;
  out.reserve(unit.size() * n);
  for (int i = 0; i < n; ++i) out += unit;
  return out;
}

QByteArray FiftyMegabytesIcs() {
  return Calendar(
      Repeated("BEGIN:VEVENT\nUID:big\nDTSTART:20260302T100000Z\n"
               "SUMMARY:padding padding padding padding padding\nEND:VEVENT\n",
               50 * 1024 * 1024 / 90));
}

HostileCase FiftyMegabytes() {
  return {"FiftyMegabytesRefusedBeforeParsing", {}, {}, true, 0, &FiftyMegabytesIcs};
}

QByteArray OverridesOfOverridesIcs() {
  // Thousands of overrides of one series, each with a rule of its own and pointing at one
  // another's times, plus duplicate masters.
  QByteArray body =
      "BEGIN:VEVENT\nUID:loop\nDTSTART:20260301T100000Z\nRRULE:FREQ=DAILY\nSUMMARY:m\n"
      "END:VEVENT\nBEGIN:VEVENT\nUID:loop\nDTSTART:20260301T110000Z\nRRULE:FREQ=HOURLY\n"
      "SUMMARY:second master\nEND:VEVENT\n";
  for (int i = 0; i < 5000; ++i) {
    const QByteArray at = QDateTime(QDate(2026, 3, 1), QTime(10, 0), QTimeZone::utc())
                              .addDays(i % 60)
                              .toString(QStringLiteral("yyyyMMddTHHmmssZ"))
                              .toLatin1();
    body += "BEGIN:VEVENT\nUID:loop\nRECURRENCE-ID:" + at + "\nDTSTART:" + at +
            "\nRRULE:FREQ=MINUTELY\nSUMMARY:o\nEND:VEVENT\n";
  }
  return Calendar(body);
}

HostileCase OverridesOfOverrides() {
  return {"OverridesOfOverrides", {}, {}, false, 61, &OverridesOfOverridesIcs};
}

HostileCase ManyOccurrences() {
  IcsLimits few;
  few.maxOccurrences = 100;
  return {"OccurrencesCapped",
          Calendar("BEGIN:VEVENT\nUID:h\nDTSTART:20260301T000000Z\nRRULE:FREQ=HOURLY\n"
                   "SUMMARY:h\nEND:VEVENT\n"),
          few, false, 100};
}

const HostileCase kHostileCases[] = {
    FiftyMegabytes(),
    {"ImpossibleSecondlyRule",
     Calendar("BEGIN:VEVENT\nUID:s\nDTSTART:20260301T000000Z\n"
              "RRULE:FREQ=SECONDLY;BYMONTH=2;BYMONTHDAY=30\nSUMMARY:s\nEND:VEVENT\n"),
     {},
     false,
     1},
    {"ImpossibleYearlyRule",
     Calendar("BEGIN:VEVENT\nUID:y\nDTSTART:20260301T000000Z\n"
              "RRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=30\nSUMMARY:y\nEND:VEVENT\n"),
     {},
     false,
     1},
    {"ImpossibleMinutelyRuleFromLongAgo",
     Calendar("BEGIN:VEVENT\nUID:mi\nDTSTART:19000101T000000Z\n"
              "RRULE:FREQ=MINUTELY;BYMONTH=2;BYMONTHDAY=30\nSUMMARY:m\nEND:VEVENT\n"),
     {},
     false,
     0},
    {"DailyRuleWithHugeCountFromLongAgo",
     Calendar("BEGIN:VEVENT\nUID:d\nDTSTART:17000101T090000Z\n"
              "RRULE:FREQ=DAILY;COUNT=2000000000\nSUMMARY:d\nEND:VEVENT\n"),
     {},
     false,
     61},
    OverridesOfOverrides(),
    ManyOccurrences(),
    {"MalformedValues",
     Calendar("BEGIN:VEVENT\nUID:bad\nDTSTART:20261399T996199Z\nDTEND:garbage\n"
              "RRULE:FREQ=NONSENSE;COUNT=-5;BYDAY=99XX\nSUMMARY:bad\nEND:VEVENT\n"
              "BEGIN:VEVENT\nUID:bad2\nDTSTART;TZID=No/Such_Zone:20260302T100000\n"
              "EXDATE:x\nRDATE:y\nRECURRENCE-ID:z\nSUMMARY:bad2\nEND:VEVENT\n"
              "BEGIN:VEVENT\nSUMMARY:no start\nEND:VEVENT\n"),
     {},
     false,
     1},
    {"DeepNesting",
     {},
     {},
     false,
     0,
     [] {
       return Calendar(Repeated("BEGIN:X-DEEP\n", 200000) + Repeated("END:X-DEEP\n", 200000));
     }},
    {"NotACalendar", QByteArray(4096, '\xff'), {}, true, 0},
    {"Empty", QByteArray(), {}, true, 0},
};

INSTANTIATE_TEST_SUITE_P(Cases, IcsHostile, testing::ValuesIn(kHostileCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IcsReader, CappedOccurrencesAreReportedAsTruncated) {
  IcsLimits few;
  few.maxOccurrences = 10;
  const IcsResult r = ReadIcs(Calendar("BEGIN:VEVENT\nUID:h\nDTSTART:20260301T000000Z\n"
                                       "RRULE:FREQ=HOURLY\nSUMMARY:h\nEND:VEVENT\n"),
                              QDate(2026, 3, 1), QDate(2026, 3, 31), QTimeZone::utc(), few);
  EXPECT_TRUE(r.truncated);
  ASSERT_EQ(r.events.size(), 10);
  EXPECT_EQ(r.events.first().start, QDateTime(QDate(2026, 3, 1), QTime(0, 0), QTimeZone::utc()));
}

}  // namespace
