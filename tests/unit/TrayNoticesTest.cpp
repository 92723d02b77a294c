// With no tray at all the user is told how to reach the program: in the notification centre
// when one runs (the line on standard error always goes out).
#include <gtest/gtest.h>

#include "app/TrayNotices.h"
#include "support/Fakes.h"

namespace {
class NoTrayNoticeTest : public ::testing::TestWithParam<bool> {};

TEST_P(NoTrayNoticeTest, NamesTheWaysInWhereverItIsSaid) {
  EXPECT_TRUE(NoTrayText().contains("quillatorne --show"));
  EXPECT_TRUE(NoTrayText().contains("\"Show settings\""));
  FakeNotifications notifications;
  notifications.available = GetParam();
  TellNoTray(&notifications);
  ASSERT_EQ(notifications.shown.size(), GetParam() ? 1 : 0);
  if (GetParam()) EXPECT_EQ(notifications.shown[0].notification.body, NoTrayText());
}

INSTANTIATE_TEST_SUITE_P(Server, NoTrayNoticeTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Running" : "None"; });
}  // namespace
