// Reminders in the real program under Xvfb with a notification server of the tests' own on
// a private session bus: shown late rather than never, and answered from the notification.
#include <gtest/gtest.h>

#include <QFile>

#include "support/E2E.h"
#include "support/NotificationServer.h"
#include "support/TempHome.h"

namespace {
const char* const kPopupTitle = "Quillatorne reminder";

QByteArray Saved(const TempHome& home) { return home.savedSettings(); }

class ReminderNotificationE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(display.ok());
    ASSERT_TRUE(bus.ok());
    ASSERT_TRUE(server.ok()) << server.error().toStdString();
  }
  // Starts the program on the private bus; true once its popup and notification are up.
  bool StartAndWaitForReminder(ProgramRun& program, const QString& name) {
    program.setEnv(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    return program.Start() &&
           WaitUntil([&] { return WindowViewable(display.display(), kPopupTitle); }, 30000) &&
           WaitUntil([&] { return !server.Find(name).isEmpty(); }, 30000);
  }

  TempHome home;
  XvfbDisplay display;
  SessionBus bus;
  NotificationServer server{bus.address()};
};

TEST_F(ReminderNotificationE2E, AReminderMissedBeforeStartPopsUpAndStaysUntilClosed) {
  home.write(".config/Quillatorne/settings.reg", SettingsWithOneOffReminders({-40}));
  {
    ProgramRun program(display, home);
    ASSERT_TRUE(StartAndWaitForReminder(program, "Dentist 1"))
        << program.stderrText().toStdString();
    const QJsonObject notice = server.Find("Dentist 1");
    EXPECT_TRUE(notice.value("body").toString().startsWith("Missed: "))
        << notice.value("body").toString().toStdString();
    EXPECT_TRUE(notice.value("body").toString().endsWith("\nBring the forms"));
    EXPECT_EQ(notice.value("urgency").toInt(), 2);
    // Ended unanswered: the reminder is still saved, and its notification withdrawn.
    EXPECT_EQ(program.Terminate(), 0) << program.stderrText().toStdString();
    EXPECT_TRUE(Saved(home).contains("\"Reminder Count\"=dword:00000001"))
        << Saved(home).constData();
    EXPECT_TRUE(WaitUntil([&] { return server.List().isEmpty(); }, 10000));
  }
  // The next start shows it again; Close in the notification answers it for good.
  ProgramRun program(display, home);
  ASSERT_TRUE(StartAndWaitForReminder(program, "Dentist 1")) << program.stderrText().toStdString();
  ASSERT_TRUE(server.InvokeAction(server.Find("Dentist 1").value("id").toInt(), "close"));
  EXPECT_TRUE(WaitUntil([&] { return !WindowViewable(display.display(), kPopupTitle); }, 30000));
  EXPECT_EQ(program.Terminate(), 0) << program.stderrText().toStdString();
  EXPECT_TRUE(Saved(home).contains("\"Reminder Count\"=dword:00000000")) << Saved(home).constData();
}

TEST_F(ReminderNotificationE2E, SnoozeInTheNotificationSnoozesAndClosesThePopup) {
  home.write(".config/Quillatorne/settings.reg", SettingsWithOneOffReminders({0}));
  ProgramRun program(display, home);
  ASSERT_TRUE(StartAndWaitForReminder(program, "Dentist 1")) << program.stderrText().toStdString();
  const QJsonObject notice = server.Find("Dentist 1");
  EXPECT_EQ(notice.value("body").toString(), "Bring the forms");
  QStringList actions;
  for (const QJsonValue& v : notice.value("actions").toArray()) actions << v.toString();
  EXPECT_EQ(actions, (QStringList{"snooze", "Snooze 5 minutes", "close", "Close"}));

  ASSERT_TRUE(server.InvokeAction(notice.value("id").toInt(), "snooze"));
  EXPECT_TRUE(WaitUntil([&] { return !WindowViewable(display.display(), kPopupTitle); }, 30000))
      << "the popup stayed after the notification was answered";
  EXPECT_EQ(program.Terminate(), 0) << program.stderrText().toStdString();
  const QByteArray saved = Saved(home);
  EXPECT_TRUE(saved.contains("\"Reminder Count\"=dword:00000000")) << saved.constData();
  EXPECT_TRUE(saved.contains("\"Snoozed Count\"=dword:00000001")) << saved.constData();
}
}  // namespace
