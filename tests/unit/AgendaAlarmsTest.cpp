// Agenda alarms: due once, only from calendars with alarms on, never again after a restart,
// back when snoozed; and what the reminder window shows for one.
#include <gtest/gtest.h>

#include <QDir>
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

  // A run in which the alarm goes off at its time and is snoozed for five minutes.
  std::unique_ptr<Agenda> SnoozedForFiveMinutes(ScriptedPopup& popup) {
    auto agenda = Started(kAlarm.addSecs(-60));
    agenda->DueAlarms(kAlarm.addSecs(-60));
    const QList<AgendaAlarmDue> due = agenda->DueAlarms(kAlarm);
    EXPECT_EQ(due.size(), 1);
    popup.answer = ReminderResult{ReminderResult::Snooze, 5};
    if (!due.isEmpty())
      EXPECT_EQ(ShowAgendaAlarm(*agenda, due[0], popup, nullptr, kAlarm), AgendaAlarmAnswer::Done);
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
  agenda->Shown(due[0]);  // its window opened

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

TEST_F(AgendaAlarms, SnoozeBringsItBackLaterAndTheWindowShowsTheEvent) {
  ScriptedPopup popup;
  auto agenda = SnoozedForFiveMinutes(popup);
  ASSERT_EQ(popup.shown.size(), 1);
  EXPECT_EQ(popup.shown[0].Name, QStringLiteral("Dentist"));
  EXPECT_TRUE(popup.shown[0].Text.contains(QStringLiteral("Main Street 4")));
  EXPECT_TRUE(agenda->DueAlarms(kAlarm.addSecs(299)).isEmpty());
  const QList<AgendaAlarmDue> due = agenda->DueAlarms(kAlarm.addSecs(300));
  ASSERT_EQ(due.size(), 1);

  popup.answer = ReminderResult{ReminderResult::Edit, 0};
  EXPECT_EQ(ShowAgendaAlarm(*agenda, due[0], popup, nullptr, kAlarm), AgendaAlarmAnswer::Edit);
  popup.answer.reset();
  EXPECT_EQ(ShowAgendaAlarm(*agenda, due[0], popup, nullptr, kAlarm), AgendaAlarmAnswer::Gone);
}

// A snoozed alarm is kept on disk: a run that ends before its time hands it to the next,
// which shows it at its time, or at once when that passed while no run was there; and
// once shown it never comes again.
TEST_F(AgendaAlarms, ASnoozedAlarmComesBackAfterARestartOnceAtItsTime) {
  struct Case {
    const char* name;
    qint64 restartAfter;  // seconds after the alarm went off and was snoozed for 5 minutes
    qint64 dueAfter;      // when the new run hands it out
  };
  for (const Case& c : {Case{"before the snooze is over", 60, 300},
                        Case{"after it was over, while not running", 1800, 1800}}) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(QDir(dir_.path() + "/copies").removeRecursively());
    ScriptedPopup first;
    SnoozedForFiveMinutes(first);  // and the run ends
    const QDateTime restart = kAlarm.addSecs(c.restartAfter);
    auto again = Started(restart);
    if (c.dueAfter > c.restartAfter)
      EXPECT_TRUE(again->DueAlarms(kAlarm.addSecs(c.dueAfter - 1)).isEmpty());
    const QList<AgendaAlarmDue> back = again->DueAlarms(kAlarm.addSecs(c.dueAfter));
    ASSERT_EQ(back.size(), 1);
    EXPECT_EQ(back[0].event.summary, QStringLiteral("Dentist"));
    EXPECT_EQ(back[0].event.start, QDateTime(QDate(2026, 3, 10), QTime(10, 0), kZone));
    EXPECT_EQ(back[0].at, kAlarm.addSecs(300));
    EXPECT_TRUE(again->DueAlarms(kAlarm.addSecs(c.dueAfter + 1)).isEmpty());
    ScriptedPopup popup;
    popup.answer = ReminderResult{ReminderResult::Close, 0};
    EXPECT_EQ(ShowAgendaAlarm(*again, back[0], popup, nullptr, kAlarm.addSecs(c.dueAfter)),
              AgendaAlarmAnswer::Done);
    again.reset();
    // Closed: the run after that has nothing to show, from the calendar or the snooze.
    EXPECT_TRUE(Started(kAlarm.addSecs(c.dueAfter + 60))
                    ->DueAlarms(kAlarm.addSecs(c.dueAfter + 60))
                    .isEmpty());
  }
}

// An alarm handed out but not yet shown when the run ended (its window waited behind
// another) is shown by the next run; one whose window opened is not, whatever the answer.
TEST_F(AgendaAlarms, AnAlarmNotYetShownAtTheEndOfARunComesInTheNext) {
  {
    auto agenda = Started(kAlarm.addSecs(-60));
    agenda->DueAlarms(kAlarm.addSecs(-60));
    ASSERT_EQ(agenda->DueAlarms(kAlarm.addSecs(1)).size(), 1);
  }
  auto next = Started(kAlarm.addSecs(120));
  const QList<AgendaAlarmDue> due = next->DueAlarms(kAlarm.addSecs(120));
  ASSERT_EQ(due.size(), 1);
  ScriptedPopup popup;  // the program ends while the window is open
  EXPECT_EQ(ShowAgendaAlarm(*next, due[0], popup, nullptr, kAlarm.addSecs(120)),
            AgendaAlarmAnswer::Gone);
  next.reset();
  EXPECT_TRUE(Started(kAlarm.addSecs(180))->DueAlarms(kAlarm.addSecs(180)).isEmpty());
}

TEST_F(AgendaAlarms, ADamagedRecordOfWaitingAlarmsIsNoRecord) {
  QDir().mkpath(dir_.path() + "/copies");
  for (const QByteArray& bytes :
       {QByteArray("not json"), QByteArray("[{\"at\":\"x\"}, 5, {}]"), QByteArray("{}")}) {
    QFile f(dir_.path() + "/copies/alarms-waiting");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    EXPECT_TRUE(Started(kAlarm.addSecs(-60))->DueAlarms(kAlarm.addSecs(-60)).isEmpty());
  }
}

}  // namespace
