#pragma once
// Failed mail checks, told to the user as the mail options say.
#include <QSet>
#include <QString>

struct EmailConfigT;
struct MailProbeResult;
struct Services;

// The reason of a failed probe in plain words.
QString MailFailureReason(const MailProbeResult& result);

// Failed mail checks as the tick hands them over: each failed account is reported once,
// until a check of it succeeds again. With "Report errors with dialog box" one box per
// account, with "Report errors with error sound" the chosen sound (the system's error sound
// when none is chosen); the reasons go to standard error once per run in any case.
class MailErrorReports {
 public:
  // Runs on every tick, on the user-interface thread: takes the results of a check that has
  // ended and reports what is new.
  void Report(const EmailConfigT& e, const Services& services);

 private:
  QSet<QString> failing_;  // accounts reported and not yet checked successfully since
  QSet<QString> printed_;  // lines already on standard error in this run
};
