// What "Count only new messages" remembers: new ids only once, gone ids forgotten, the file
// kept across runs and a damaged one read as nothing seen.
#include <gtest/gtest.h>

#include <QFile>

#include "mail/MailSeenState.h"
#include "support/TempHome.h"

namespace {
TEST(MailSeenState, NewIdsOnceAndGoneOnesForgotten) {
  TempHome home;
  MailSeenState state(home.path() + "/seen.json");
  EXPECT_EQ(state.TakeNew("a", {"1", "2"}), (QStringList{"1", "2"}));
  EXPECT_EQ(state.TakeNew("a", {"1", "2", "3"}), QStringList{"3"});
  EXPECT_EQ(state.TakeNew("b", {"1"}), QStringList{"1"});  // accounts apart
  EXPECT_EQ(state.TakeNew("a", {"3"}), QStringList());
  // "1" was deleted on the server and comes back (a new message with a reused id): new again.
  EXPECT_EQ(state.TakeNew("a", {"1", "3"}), QStringList{"1"});
}

TEST(MailSeenState, KeptAcrossRuns) {
  TempHome home;
  const QString path = home.path() + "/sub/seen.json";
  {
    MailSeenState state(path);
    state.Load();
    state.TakeNew("a\nserver\nuser", {"x", "y"});
    ASSERT_TRUE(state.Save());
  }
  EXPECT_EQ(QFile(path).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);
  MailSeenState again(path);
  again.Load();
  EXPECT_EQ(again.TakeNew("a\nserver\nuser", {"x", "y", "z"}), QStringList{"z"});
}

TEST(MailSeenState, DamagedFileReadsAsNothingSeen) {
  TempHome home;
  const QString path = home.write("seen.json", "{\"a\": [\"1\", 2, {}], garbage");
  MailSeenState state(path);
  state.Load();
  EXPECT_EQ(state.TakeNew("a", {"1"}), QStringList{"1"});
}
}  // namespace
