#include <gtest/gtest.h>

#include <stdexcept>

#include "app/Application.h"
#include "support/Fakes.h"

namespace {

TEST(GeneralError, AnEscapingExceptionIsShownAndTheLoopGoesOn) {
  FakeServices fakes;
  IMessageBoxes* boxes = &fakes.messages;
  EXPECT_FALSE(
      GuardedCall([]() -> bool { throw std::runtime_error("Cannot open file x.jpg"); }, boxes));
  EXPECT_FALSE(GuardedCall([]() -> bool { throw 42; }, boxes));
  EXPECT_TRUE(GuardedCall([] { return true; }, boxes));
  ASSERT_EQ(fakes.messages.calls.size(), 2);
  EXPECT_EQ(fakes.messages.calls[0].text, "Cannot open file x.jpg");
  EXPECT_EQ(fakes.messages.calls[0].caption, "Quillatorne");
  EXPECT_EQ(fakes.messages.calls[0].flags, unsigned(MB_ICONERROR));
  EXPECT_EQ(fakes.messages.calls[1].text, "");  // no message to show
}

}  // namespace
