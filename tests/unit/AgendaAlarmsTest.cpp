// Agenda alarms: due once, only from calendars with alarms on, never again after a restart,
// back when snoozed; and what the reminder window shows for one.
#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "agenda/Agenda.h"
#include "agenda/AgendaAlarmPopup.h"
#include "reminders/ReminderPopup.h"

namespace {

const QTimeZone kZone("Europe/Berlin");
// The event starts at 10:00 on 10 March 2026; its alarm goes off at 09:45.
const QDateTime kAlarm(QDate(2026, 3, 10), QTime(9, 45), kZone);

class AgendaAlarms : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    const QString ics = dir_.path() + "/cal.ics";
    QFile f(ics);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//EN\r\nBEGIN:VEVENT\r\nUID:a\r\n"
        "DTSTART;TZID=Europe/Berlin:20260310T100000\r\nDURATION:PT1H\r\n"
        "SUMMARY:Dentist\r\nLOCATION:Main Street 4\r\n"
        "BEGIN:VALARM\r\nACTION:AUDIO\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\n"
        "END:VEVENT\r\nEND:VCALENDAR\r\n");
    f.close();
    AgendaCalendar withAlarms;
    withAlarms.URL = ics;
    withAlarms.Alarms = true;
    settings_.Calendars << withAlarms;
  }

  // A run of the program: an agenda that has read its calendars by `now`.
  std::unique_ptr<Agenda> Started(const QDateTime& now) {
    auto agenda = std::make_unique<Agenda>(dir_.path() + "/copies");
    QSignalSpy fetched(agenda.get(), &Agenda::Fetched);
    agenda->Refresh(settings_, now);
    EXPECT_TRUE(fetched.wait(10000));
    return agenda;
  }

  QTemporaryDir dir_;
  AgendaConfigT settings_;
};

TEST_F(AgendaAlarms, DueOnceAndNotAgainAfterARestart) {
  auto agenda = Started(kAlarm.addSecs(-600));
  EXPECT_TRUE(agenda->DueAlarms(kAlarm.addSecs(-600)).isEmpty());
  EXPECT_TRUE(agenda->DueAlarms(kAlarm.addSecs(-1)).isEmpty());
  const QList<AgendaAlarmDue> due = agenda->DueAlarms(kAlarm.addSecs(1));
  ASSERT_EQ(due.size(), 1);
  EXPECT_EQ(due[0].event.summary, QStringLiteral("Dentist"));
  EXPECT_TRUE(agenda->DueAlarms(kAlarm.addSecs(2)).isEmpty());

  agenda.reset();
  auto again = Started(kAlarm.addSecs(30));
  EXPECT_TRUE(again->DueAlarms(kAlarm.addSecs(30)).isEmpty());
}

TEST_F(AgendaAlarms, MissedWhileNotRunningShowsAtTheNextStartWhileTheEventIsAhead) {
  Started(kAlarm.addSecs(-3600))->DueAlarms(kAlarm.addSecs(-3600));  // an earlier run
  EXPECT_EQ(Started(kAlarm.addSecs(300))->DueAlarms(kAlarm.addSecs(300)).size(), 1);
}

TEST_F(AgendaAlarms, CalendarWithAlarmsOffGivesNone) {
  settings_.Calendars[0].Alarms = false;
  auto agenda = Started(kAlarm.addSecs(-60));
  agenda->DueAlarms(kAlarm.addSecs(-60));
  EXPECT_TRUE(agenda->DueAlarms(kAlarm.addSecs(60)).isEmpty());
}

// Answers the window with a script.
class ScriptedPopup : public IReminderPopup {
 public:
  std::optional<ReminderResult> answer;
  QList<PopupReminder> shown;
  std::optional<ReminderResult> Show(const PopupReminder& r, INotifications*) override {
    shown << r;
    return answer;
  }
};

TEST_F(AgendaAlarms, SnoozeBringsItBackLaterAndTheWindowShowsTheEvent) {
  auto agenda = Started(kAlarm.addSecs(-60));
  agenda->DueAlarms(kAlarm.addSecs(-60));
  const QList<AgendaAlarmDue> due = agenda->DueAlarms(kAlarm);
  ASSERT_EQ(due.size(), 1);
  ScriptedPopup popup;
  popup.answer = ReminderResult{ReminderResult::Snooze, 5};
  EXPECT_EQ(ShowAgendaAlarm(*agenda, due[0], popup, nullptr, kAlarm), AgendaAlarmAnswer::Done);
  ASSERT_EQ(popup.shown.size(), 1);
  EXPECT_EQ(popup.shown[0].Name, QStringLiteral("Dentist"));
  EXPECT_TRUE(popup.shown[0].Text.contains(QStringLiteral("Main Street 4")));
  EXPECT_TRUE(agenda->DueAlarms(kAlarm.addSecs(299)).isEmpty());
  EXPECT_EQ(agenda->DueAlarms(kAlarm.addSecs(300)).size(), 1);

  popup.answer = ReminderResult{ReminderResult::Edit, 0};
  EXPECT_EQ(ShowAgendaAlarm(*agenda, due[0], popup, nullptr, kAlarm), AgendaAlarmAnswer::Edit);
  popup.answer.reset();
  EXPECT_EQ(ShowAgendaAlarm(*agenda, due[0], popup, nullptr, kAlarm), AgendaAlarmAnswer::Gone);
}

}  // namespace
