// An agenda alarm snoozed in the real reminder window, across a restart of the main window:
// it comes back at once when its time passed while the program was not running, and once
// shown it does not come back in the run after.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>

#include "MainWindowFixture.h"
#include "agenda/Agenda.h"
#include "reminders/TForm_Reminder.h"
#include "support/Fakes.h"
#include "support/TempHome.h"

namespace {

TForm_Reminder* OpenWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* f = qobject_cast<TForm_Reminder*>(w); f && f->isVisible()) return f;
  return nullptr;
}

class AgendaAlarmRestart : public ::testing::Test {
 protected:
  void SetUp() override {
    // The event at 10:10 (local time), its alarm five minutes before.
    QFile f(home.path() + "/work.ics");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//EN\r\nBEGIN:VEVENT\r\nUID:standup\r\n"
        "DTSTART:20260315T101000\r\nDURATION:PT30M\r\nSUMMARY:Standup\r\n"
        "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:x\r\nTRIGGER:-PT5M\r\nEND:VALARM\r\n"
        "END:VEVENT\r\nEND:VCALENDAR\r\n");
    f.close();
    fake.config = Config(fake.desktop.screen);
    AgendaCalendar c;
    c.URL = f.fileName();
    c.Alarms = true;
    fake.config.AgendaConfig.Calendars << c;
    fake.clock.now = QDateTime(QDate(2026, 3, 15), QTime(10, 0));
    store.Open(registry);
    ASSERT_TRUE(store.Save());  // every run starts from the settings it finds
  }

  // A run of the program with the settings it finds in the store, as a new process would;
  // its calendars read.
  std::unique_ptr<TFormMain> Run() {
    fake.config = Config(fake.desktop.screen);
    auto form = std::make_unique<TFormMain>(fake.config, fake.services, store.get());
    form->TimerIDLE->stop();
    form->TimerEXIT->stop();
    form->Timer_MinimizeTimer();  // start-up hides the window
    QSignalSpy fetched(form->agenda(), &Agenda::Fetched);
    QDeadlineTimer limit(30000);
    while (form->agenda()->Calendars().isEmpty() && !limit.hasExpired()) fetched.wait(200);
    EXPECT_EQ(fake.config.AgendaConfig.Calendars.size(), 1);
    EXPECT_FALSE(form->agenda()->Calendars().isEmpty());
    return form;
  }

  // One tick at the clock's time; the window it opens, if any, is answered by `answer`.
  // Returns what the window showed, or nothing when none opened.
  QString Tick(TFormMain& form, const std::function<void(TForm_Reminder&)>& answer) {
    QString shown;
    QTimer::singleShot(0, [&] {
      if (TForm_Reminder* window = OpenWindow()) {
        shown = window->Edit_Text->text();
        answer(*window);
      }
    });
    form.TimerIDLETimer();
    QCoreApplication::processEvents();
    return shown;
  }

  TempHome home;
  FakeServices fake;
  MemoryRegistry registry;
  FakeMainStore store{fake};
};

TEST_F(AgendaAlarmRestart, ASnoozedAlarmComesBackAfterARestartAndIsShownOnce) {
  const auto snooze = [](TForm_Reminder& w) { w.Button_Snooze->click(); };
  const auto close = [](TForm_Reminder& w) { w.Button_Close->click(); };
  {
    auto form = Run();
    EXPECT_EQ(Tick(*form, close), QString());
    fake.clock.Advance(301);  // 10:05:01: the alarm goes off and is snoozed till 10:10:01
    EXPECT_EQ(Tick(*form, snooze), QStringLiteral("Standup"));
    fake.clock.Advance(60);
    EXPECT_EQ(Tick(*form, close), QString());
  }
  // The program was not running at 10:10:01: the next run shows the alarm at once, once.
  fake.clock.Advance(420);
  {
    auto form = Run();
    EXPECT_EQ(Tick(*form, close), QStringLiteral("Standup"));
    fake.clock.Advance(1);
    EXPECT_EQ(Tick(*form, close), QString());
  }
  fake.clock.Advance(60);
  auto form = Run();
  EXPECT_EQ(Tick(*form, close), QString());
}

}  // namespace
