#include <gtest/gtest.h>

#include <QCoreApplication>
#include <csignal>

#include "app/Application.h"
#include "support/E2E.h"

namespace {
// Each case runs in a child process of its own: signal handlers are process-wide.
TEST(TerminationSignalsDeathTest, ASignalBeforeTheLoopRunsIsKeptAndHandledLater) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        CatchTerminationSignals();
        ::raise(SIGTERM);  // the program is still starting
        if (!TerminationRequested()) ::_exit(3);
        int handled = 0;
        RouteTerminationSignals(qApp, [&] { ++handled; });
        WaitUntil([&] { return handled > 0; }, 5000);
        ::_exit(handled == 1 ? 0 : 4);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(TerminationSignalsDeathTest, EachSignalOfTheThreeIsCaught) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    EXPECT_EXIT(
        {
          CatchTerminationSignals();
          ::raise(sig);
          ::_exit(TerminationRequested() ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "")
        << sig;
  }
}

TEST(TerminationSignalsDeathTest, ReleasedTheCaughtSignalEndsTheProcessAsItWould) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        CatchTerminationSignals();
        ::raise(SIGTERM);
        ReleaseTerminationSignals();
        ::_exit(0);
      },
      ::testing::KilledBySignal(SIGTERM), "");
}
}  // namespace
