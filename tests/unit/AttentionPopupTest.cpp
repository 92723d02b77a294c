// The tray icon is marked while a reminder is on screen, nested ones included, and the mark
// goes with the last answer.
#include <gtest/gtest.h>

#include <QList>

#include "app/AttentionPopup.h"
#include "settings/Config.h"

namespace {
// Answers Close; the first showing opens a second popup from inside, as the tick may.
class NestingPopup : public IReminderPopup {
 public:
  IReminderPopup* outer = nullptr;
  const bool* marked = nullptr;
  QList<bool> markedWhileShown;
  std::optional<ReminderResult> Show(const PopupReminder& reminder, INotifications*) override {
    markedWhileShown << *marked;
    if (markedWhileShown.size() == 1) outer->Show(reminder, nullptr);
    markedWhileShown << *marked;
    return ReminderResult{};
  }
};

TEST(AttentionPopup, MarksTheIconFromTheFirstPopupToTheLastAnswer) {
  bool marked = false;
  QList<bool> changes;
  NestingPopup inner;
  AttentionPopup popup(inner, [&](bool on) {
    marked = on;
    changes << on;
  });
  inner.outer = &popup;
  inner.marked = &marked;

  ASSERT_TRUE(popup.Show(PopupReminder{}, nullptr).has_value());
  EXPECT_EQ(inner.markedWhileShown, (QList<bool>{true, true, true, true}));
  EXPECT_FALSE(marked);
  EXPECT_EQ(changes, (QList<bool>{true, false}));  // once on, once off: the panel does not flicker
}
}  // namespace
