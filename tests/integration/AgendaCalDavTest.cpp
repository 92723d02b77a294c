// The agenda against a real CalDAV server (Radicale, started here on loopback with a
// password file): the marks land on the right days, an unchanged calendar costs one small
// request, and a server that goes away leaves the last copy in place with one error told.
#include <gtest/gtest.h>

#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "agenda/Agenda.h"
#include "agenda/AgendaFetcher.h"
#include "agenda/AgendaViewBuilder.h"
#include "platform/DateTime.h"
#include "support/RadicaleServer.h"

namespace {

QByteArray Resource(const QByteArray& events) {
  QByteArray ics =
      "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//test//EN\n" + events + "END:VCALENDAR\n";
  ics.replace("\n", "\r\n");
  return ics;
}

const QTimeZone kBerlin("Europe/Berlin");
// The calendar is looked at on 5 March 2026, from Berlin.
const QDateTime kNow(QDate(2026, 3, 5), QTime(12, 0), kBerlin);
const QDate kFrom(2026, 3, 1), kTo(2026, 4, 14);

QList<int> MarkedDays(const QList<AgendaEvent>& events) {
  const AgendaView view = BuildAgendaView({CalendarEvents{0x123456, events}}, kNow, false, 7);
  QList<int> days;
  for (auto it = view.marks.cbegin(); it != view.marks.cend(); ++it)
    days << DayNumberToDate(it.key()).day();
  std::sort(days.begin(), days.end());
  return days;
}

class AgendaCalDav : public testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<RadicaleServer>(QStringLiteral("alice"), QStringLiteral("s3cret"));
    ASSERT_TRUE(server_->ok()) << server_->error().toStdString();
    // Tokyo 05:00 on the 11th is 21:00 on the 10th in Berlin.
    ASSERT_TRUE(server_->Put("tokyo", Resource("BEGIN:VEVENT\nUID:tokyo\nDTSTAMP:20260101T000000Z\n"
                                               "DTSTART;TZID=Asia/Tokyo:20260311T050000\n"
                                               "DURATION:PT1H\nSUMMARY:Call Tokyo\nEND:VEVENT\n")));
    ASSERT_TRUE(
        server_->Put("holiday", Resource("BEGIN:VEVENT\nUID:holiday\nDTSTAMP:20260101T000000Z\n"
                                         "DTSTART;VALUE=DATE:20260314\n"
                                         "DTEND;VALUE=DATE:20260317\nSUMMARY:Away\n"
                                         "END:VEVENT\n")));
    ASSERT_TRUE(server_->Put(
        "choir", Resource("BEGIN:VEVENT\nUID:choir\nDTSTAMP:20260101T000000Z\n"
                          "DTSTART;TZID=Europe/Berlin:20260302T180000\nDURATION:PT2H\n"
                          "RRULE:FREQ=WEEKLY;COUNT=5\nEXDATE;TZID=Europe/Berlin:20260309T180000\n"
                          "SUMMARY:Choir\nEND:VEVENT\n"
                          "BEGIN:VEVENT\nUID:choir\nDTSTAMP:20260101T000000Z\n"
                          "RECURRENCE-ID;TZID=Europe/Berlin:20260316T180000\n"
                          "DTSTART;TZID=Europe/Berlin:20260318T190000\nDURATION:PT2H\n"
                          "SUMMARY:Choir (moved)\nEND:VEVENT\n")));
    ASSERT_TRUE(server_->Put("cancelled", Resource("BEGIN:VEVENT\nUID:cancelled\n"
                                                   "DTSTAMP:20260101T000000Z\n"
                                                   "DTSTART:20260320T090000Z\nSTATUS:CANCELLED\n"
                                                   "SUMMARY:Off\nEND:VEVENT\n")));
  }

  AgendaFetchOutcome Fetch(AgendaCopy& copy, const QString& password = QStringLiteral("s3cret")) {
    AgendaFetcher fetcher(network_);
    return fetcher.Fetch(server_->calendarUrl(), QStringLiteral("alice"), password, kFrom, kTo,
                         copy);
  }

  QList<int> Days(const AgendaCopy& copy) {
    const IcsResult r = ReadIcs(copy.data, kFrom, kTo, kBerlin);
    EXPECT_TRUE(r.error.isEmpty()) << r.error.toStdString();
    return MarkedDays(r.events);
  }

  std::unique_ptr<RadicaleServer> server_;
  QNetworkAccessManager network_;
};

TEST_F(AgendaCalDav, MarksLandOnExactlyTheRightDays) {
  AgendaCopy copy;
  const AgendaFetchOutcome out = Fetch(copy);
  ASSERT_TRUE(out.error.isEmpty()) << out.error.toStdString();
  EXPECT_TRUE(out.changed);
  EXPECT_FALSE(copy.ctag.isEmpty());
  EXPECT_EQ(Days(copy), (QList<int>{2, 10, 14, 15, 16, 18, 23, 30}));
}

TEST_F(AgendaCalDav, UnchangedCalendarCostsOneRequest) {
  AgendaCopy copy;
  const AgendaFetchOutcome first = Fetch(copy);
  ASSERT_TRUE(first.error.isEmpty()) << first.error.toStdString();
  EXPECT_EQ(first.downloaded, 4);
  const int before = server_->RequestCount();
  const AgendaFetchOutcome again = Fetch(copy);
  EXPECT_TRUE(again.error.isEmpty()) << again.error.toStdString();
  EXPECT_FALSE(again.changed);
  EXPECT_EQ(again.requests, 1);
  EXPECT_EQ(again.downloaded, 0);
  EXPECT_EQ(server_->RequestCount() - before, 1);
}

// A change on the server costs the collection's tag, the events' tags and, for a new or
// changed event, that one event: never the whole range again.
struct ServerChange {
  const char* name;
  std::function<bool(RadicaleServer&)> change;
  int requests;    // the tag, the events' tags, and a multiget when anything is to fetch
  int downloaded;  // events sent whole
  QList<int> days;
};
void PrintTo(const ServerChange& c, std::ostream* os) { *os << c.name; }

class AgendaCalDavChange : public AgendaCalDav, public testing::WithParamInterface<ServerChange> {};

TEST_P(AgendaCalDavChange, CostsOnlyWhatChanged) {
  AgendaCopy copy;
  const AgendaFetchOutcome first = Fetch(copy);
  ASSERT_TRUE(first.error.isEmpty()) << first.error.toStdString();
  ASSERT_TRUE(GetParam().change(*server_));
  const int before = server_->RequestCount();
  const AgendaFetchOutcome out = Fetch(copy);
  ASSERT_TRUE(out.error.isEmpty()) << out.error.toStdString();
  EXPECT_TRUE(out.changed);
  EXPECT_EQ(out.requests, GetParam().requests);
  EXPECT_EQ(server_->RequestCount() - before, GetParam().requests);
  EXPECT_EQ(out.downloaded, GetParam().downloaded);
  EXPECT_LT(out.received, first.received);
  std::printf("[ figures  ] %s: %d requests, %lld bytes received (the first fetch: %d, %lld)\n",
              GetParam().name, out.requests, static_cast<long long>(out.received), first.requests,
              static_cast<long long>(first.received));
  EXPECT_EQ(Days(copy), GetParam().days);

  // What the copy kept on disk gives the same next time, at the cost of the tag alone.
  QTemporaryDir dir;
  const QString path = dir.path() + "/copy.ics";
  ASSERT_TRUE(SaveAgendaCopy(path, copy, nullptr));
  AgendaCopy loaded;
  ASSERT_TRUE(LoadAgendaCopy(path, loaded));
  EXPECT_EQ(loaded, copy);
  const AgendaFetchOutcome after = Fetch(loaded);
  EXPECT_EQ(after.requests, 1);
  EXPECT_FALSE(after.changed);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, AgendaCalDavChange,
    testing::Values(
        ServerChange{"added",
                     [](RadicaleServer& s) {
                       return s.Put("dentist",
                                    Resource("BEGIN:VEVENT\nUID:dentist\nDTSTAMP:20260101T000000Z\n"
                                             "DTSTART;TZID=Europe/Berlin:20260326T083000\n"
                                             "DURATION:PT30M\nSUMMARY:Dentist\nEND:VEVENT\n"));
                     },
                     3, 1, QList<int>{2, 10, 14, 15, 16, 18, 23, 26, 30}},
        ServerChange{"moved",
                     [](RadicaleServer& s) {
                       return s.Put("tokyo",
                                    Resource("BEGIN:VEVENT\nUID:tokyo\nDTSTAMP:20260102T000000Z\n"
                                             "DTSTART;TZID=Asia/Tokyo:20260312T050000\n"
                                             "DURATION:PT1H\nSUMMARY:Call Tokyo\nEND:VEVENT\n"));
                     },
                     3, 1, QList<int>{2, 11, 14, 15, 16, 18, 23, 30}},
        ServerChange{"removed", [](RadicaleServer& s) { return s.Delete("holiday"); }, 2, 0,
                     QList<int>{2, 10, 18, 23, 30}}),
    [](const testing::TestParamInfo<ServerChange>& info) { return std::string(info.param.name); });

TEST_F(AgendaCalDav, WrongPasswordIsAnErrorAndKeepsTheCopy) {
  AgendaCopy copy;
  ASSERT_TRUE(Fetch(copy).error.isEmpty());
  const AgendaCopy good = copy;
  const AgendaFetchOutcome out = Fetch(copy, QStringLiteral("wrong"));
  EXPECT_EQ(out.error, QStringLiteral("The server refused the user name or password"));
  EXPECT_EQ(copy, good);
}

TEST_F(AgendaCalDav, StoppedServerKeepsTheLastCopyAndIsReportedOnce) {
  QTemporaryDir folder;
  AgendaConfigT settings;
  AgendaCalendar calendar;
  calendar.URL = server_->calendarUrl();
  calendar.User = QStringLiteral("alice");
  calendar.Password = QStringLiteral("s3cret");
  settings.Calendars << calendar;

  Agenda agenda(folder.path());
  QSignalSpy fetched(&agenda, &Agenda::Fetched);
  QSignalSpy failed(&agenda, &Agenda::Failed);
  agenda.Refresh(settings, kNow);
  ASSERT_TRUE(fetched.wait(30000));
  const AgendaView good = agenda.View(settings, kNow);
  EXPECT_EQ(good.marks.size(), 8);

  server_->Stop();
  for (int i = 0; i < 2; ++i) {
    agenda.Refresh(settings, kNow);
    ASSERT_TRUE(fetched.wait(30000));
    EXPECT_EQ(agenda.View(settings, kNow), good);
  }
  ASSERT_EQ(failed.size(), 1);
  EXPECT_EQ(failed[0][0].toString(), calendar.URL);

  // The next run, before any network: the copy on disk is on the calendar at once.
  Agenda next(folder.path());
  QSignalSpy nextFetched(&next, &Agenda::Fetched);
  next.Start(settings, kNow);
  ASSERT_TRUE(nextFetched.wait(30000));
  EXPECT_EQ(next.View(settings, kNow), good);
}

}  // namespace
