// A check that finds no network (after a resume, at login) tries those accounts again after
// each pause before their failure stands; other failures are not retried.
#include <gtest/gtest.h>

#include <thread>

#include "mail/MailCheck.h"
#include "settings/Config.h"
#include "support/Fakes.h"

namespace {
// A client whose server is reachable only from its nth attempt on; every attempt is counted.
class LateNetworkClient : public Pop3Client {
 public:
  LateNetworkClient(int failures, Pop3Failure failure, std::atomic<int>* attempts)
      : failures_(failures), failure_(failure), attempts_(attempts) {}
  void Connect() override {
    if (++*attempts_ <= failures_) throw Pop3Error(QByteArrayLiteral("no way there"), failure_);
    open_ = true;
    messageCount_ = 3;
  }
  void Disconnect() override { open_ = false; }

 private:
  int failures_;
  Pop3Failure failure_;
  std::atomic<int>* attempts_;
};

EmailAccount Account() {
  EmailAccount a;
  a.Name = QStringLiteral("Home");
  a.Server = QStringLiteral("pop.example");
  a.User = QStringLiteral("ann");
  a.Password = QStringLiteral("pw");
  return a;
}

struct RetryCase {
  const char* name;
  int failures;
  Pop3Failure failure;
  int attempts;
  int count;
};
void PrintTo(const RetryCase& c, std::ostream* os) { *os << c.name; }

class MailNetworkRetry : public testing::TestWithParam<RetryCase> {
 protected:
  FakeServices fakes;
};

TEST_P(MailNetworkRetry, AttemptsAndCount) {
  const RetryCase& c = GetParam();
  std::atomic<int> attempts{0};
  fakes.services.mailClient = [&] {
    return std::make_unique<LateNetworkClient>(c.failures, c.failure, &attempts);
  };
  const EmailAccount a = Account();
  std::atomic<bool> abandon{false};
  MailCheckOptions options;
  options.networkRetryMs = {1, 1};  // the pauses themselves are not the point here
  fakes.config.DynamicConfig.EmailCheckRunning = true;
  Thread_EmailChecker check({a}, &abandon, fakes.services, fakes.config.DynamicConfig, options);
  ASSERT_TRUE(check.Wait(60000));
  EXPECT_EQ(attempts, c.attempts);
  EXPECT_EQ(fakes.config.DynamicConfig.NewMailCount, c.count);
  const QList<MailProbeResult> results = TakeMailCheckResults();
  ASSERT_EQ(results.size(), 1);  // one account, one outcome, however many attempts
  EXPECT_EQ(results[0].ok, c.count > 0);
  if (!results[0].ok) EXPECT_EQ(results[0].failure, c.failure);
}

INSTANTIATE_TEST_SUITE_P(
    Attempts, MailNetworkRetry,
    testing::Values(RetryCase{"NetworkUp", 0, Pop3Failure::NoNetwork, 1, 3},
                    RetryCase{"UpAfterFirstPause", 1, Pop3Failure::NoNetwork, 2, 3},
                    RetryCase{"UpAfterSecondPause", 2, Pop3Failure::NoNetwork, 3, 3},
                    RetryCase{"NeverUpThenReported", 3, Pop3Failure::NoNetwork, 3, 0},
                    RetryCase{"RefusedIsNotRetried", 1, Pop3Failure::CannotConnect, 1, 0},
                    RetryCase{"WrongPasswordIsNotRetried", 1, Pop3Failure::LoginRefused, 1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MailNetworkRetryPause, QuittingEndsThePause) {
  FakeServices fakes;
  std::atomic<int> attempts{0};
  fakes.services.mailClient = [&] {
    return std::make_unique<LateNetworkClient>(9, Pop3Failure::NoNetwork, &attempts);
  };
  const EmailAccount a = Account();
  std::atomic<bool> abandon{false};
  MailCheckOptions options;  // the real pauses: 30 s, then 2 minutes
  Thread_EmailChecker check({a}, &abandon, fakes.services, fakes.config.DynamicConfig, options);
  while (attempts == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  abandon = true;
  EXPECT_TRUE(check.Wait(60000));
  EXPECT_EQ(attempts, 1);
}

TEST(MailNetworkRetryPause, AManualCheckAnswersAtOnce) {
  FakeServices fakes;
  std::atomic<int> attempts{0};
  fakes.services.mailClient = [&] {
    return std::make_unique<LateNetworkClient>(9, Pop3Failure::NoNetwork, &attempts);
  };
  const EmailAccount a = Account();
  fakes.config.EmailConfig.Accounts = {a};
  fakes.config.EmailConfig.EnableCheck = true;
  ASSERT_TRUE(StartMailCheck(fakes.config, fakes.services, false, -1));
  EXPECT_TRUE(WaitForMailCheck(60000));
  EXPECT_EQ(attempts, 1);
  const QList<MailProbeResult> results = TakeMailCheckResults();
  ASSERT_EQ(results.size(), 1);
  EXPECT_EQ(results[0].failure, Pop3Failure::NoNetwork);
}
}  // namespace
