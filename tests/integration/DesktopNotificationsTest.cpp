// The desktop-notification service against a notification server on a private session bus.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSignalSpy>
#include <memory>

#include "platform/DesktopNotifications.h"
#include "support/E2E.h"
#include "support/NotificationServer.h"

namespace {
constexpr int kWait = 10000;

class DesktopNotificationsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bus.ok());
    // Before anything in this process opens the session bus.
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
  }
  void StartServer() {
    server = std::make_unique<NotificationServer>(bus.address());
    ASSERT_TRUE(server->ok()) << server->error().toStdString();
  }
  static DesktopNotification Reminder(const QString& summary, const QString& body) {
    DesktopNotification n;
    n.summary = summary;
    n.body = body;
    n.urgency = DesktopNotification::Critical;
    n.actions = {{"snooze", "Snooze 5 minutes"}, {"edit", "Edit"}, {"close", "Close"}};
    return n;
  }
  uint ServerId(const QString& summary) const {
    bool shown = WaitUntil([&] { return !server->Find(summary).isEmpty(); }, kWait);
    return shown ? static_cast<uint>(server->Find(summary).value("id").toInt()) : 0;
  }

  SessionBus bus;
  std::unique_ptr<NotificationServer> server;
};

TEST_F(DesktopNotificationsTest, SendsSummaryBodyActionsAndCriticalUrgency) {
  StartServer();
  DesktopNotifications notifications;
  ASSERT_TRUE(notifications.Available());
  ASSERT_TRUE(WaitUntil([&] { return notifications.ReadsMarkup(); }, kWait));

  const quint64 handle = notifications.Notify(Reminder("Dentist", "Bring <card> & \"form\""));
  ASSERT_NE(handle, 0u);
  ASSERT_NE(ServerId("Dentist"), 0u);
  const QJsonObject shown = server->Find("Dentist");
  // The server reads markup: the text arrives escaped, so it shows what the user wrote.
  EXPECT_EQ(shown.value("body").toString(), "Bring &lt;card&gt; &amp; &quot;form&quot;");
  EXPECT_EQ(shown.value("urgency").toInt(), 2);
  EXPECT_EQ(shown.value("desktopEntry").toString(), "quillatorne");
  const QStringList actions = [&] {
    QStringList a;
    for (const QJsonValue& v : shown.value("actions").toArray()) a << v.toString();
    return a;
  }();
  EXPECT_EQ(actions, (QStringList{"snooze", "Snooze 5 minutes", "edit", "Edit", "close", "Close"}));
}

TEST_F(DesktopNotificationsTest, AnActionReachesItsOwnNotificationOnly) {
  StartServer();
  DesktopNotifications notifications;
  QSignalSpy actions(&notifications, &INotifications::ActionInvoked);
  QSignalSpy closed(&notifications, &INotifications::Closed);
  const quint64 first = notifications.Notify(Reminder("First", "one"));
  const quint64 second = notifications.Notify(Reminder("Second", "two"));
  const uint secondId = ServerId("Second");
  ASSERT_NE(ServerId("First"), 0u);
  ASSERT_NE(secondId, 0u);

  // Another program's notification: its action is broadcast too, and is none of ours.
  QDBusMessage other = QDBusMessage::createMethodCall("org.freedesktop.Notifications",
                                                      "/org/freedesktop/Notifications",
                                                      "org.freedesktop.Notifications", "Notify");
  other << QString("other") << uint(0) << QString() << QString("Other") << QString()
        << QStringList{"x", "X"} << QVariantMap() << qint32(-1);
  const QDBusMessage otherReply = QDBusConnection::sessionBus().call(other);
  ASSERT_EQ(otherReply.type(), QDBusMessage::ReplyMessage);
  ASSERT_TRUE(server->InvokeAction(otherReply.arguments().value(0).toUInt(), "x"));

  ASSERT_TRUE(server->InvokeAction(secondId, "snooze"));
  ASSERT_TRUE(WaitUntil([&] { return actions.size() >= 1 && closed.size() >= 1; }, kWait));
  // The server signalled the other program's action first: it has been seen by now.
  ASSERT_EQ(actions.size(), 1);
  EXPECT_EQ(actions[0][0].toULongLong(), second);
  EXPECT_EQ(actions[0][1].toString(), "snooze");
  ASSERT_EQ(closed.size(), 1);
  EXPECT_EQ(closed[0][0].toULongLong(), second);
  EXPECT_FALSE(server->Find("First").isEmpty());
  (void)first;
}

// Withdrawn at once, before the server even told its number, or later: either way it goes.
class Withdrawing : public DesktopNotificationsTest, public testing::WithParamInterface<bool> {};

TEST_P(Withdrawing, CloseWithdrawsTheNotification) {
  const bool beforeAnswer = GetParam();
  StartServer();
  DesktopNotifications notifications;
  QSignalSpy closed(&notifications, &INotifications::Closed);
  const quint64 handle = notifications.Notify(Reminder("Dentist", "text"));
  if (!beforeAnswer) ASSERT_NE(ServerId("Dentist"), 0u);
  notifications.Close(handle);
  ASSERT_TRUE(WaitUntil([&] { return closed.size() == 1; }, kWait));
  EXPECT_EQ(closed[0][0].toULongLong(), handle);
  EXPECT_TRUE(server->List().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(When, Withdrawing, testing::Bool(), [](const auto& info) {
  return info.param ? std::string("BeforeTheServerAnswered") : std::string("OnceShown");
});

TEST_F(DesktopNotificationsTest, FollowsTheServerComingAndGoing) {
  DesktopNotifications notifications;
  EXPECT_FALSE(notifications.Available());
  EXPECT_EQ(notifications.Notify(Reminder("Nobody", "listens")), 0u);

  QSignalSpy availability(&notifications, &INotifications::AvailableChanged);
  QSignalSpy closed(&notifications, &INotifications::Closed);
  StartServer();
  ASSERT_TRUE(WaitUntil([&] { return notifications.Available(); }, kWait));
  const quint64 handle = notifications.Notify(Reminder("Dentist", "text"));
  ASSERT_NE(ServerId("Dentist"), 0u);

  // A server that quits takes its notifications with it.
  server->Stop();
  ASSERT_TRUE(WaitUntil([&] { return !notifications.Available(); }, kWait));
  ASSERT_EQ(closed.size(), 1);
  EXPECT_EQ(closed[0][0].toULongLong(), handle);
  ASSERT_EQ(availability.size(), 2);
  EXPECT_TRUE(availability[0][0].toBool());
  EXPECT_FALSE(availability[1][0].toBool());
}
}  // namespace
