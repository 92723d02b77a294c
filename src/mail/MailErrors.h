#pragma once
// Failed mail checks, told to the user as the mail options say.
#include <QString>

struct EmailConfigT;
struct MailProbeResult;
struct Services;

// The reason of a failed probe in plain words.
QString MailFailureReason(const MailProbeResult& result);

// Runs on every tick, on the user-interface thread: takes the results of a check that has
// ended and reports each failed account once, until a check of it succeeds again. With
// "Report errors with dialog box" one box per account, with "Report errors with error
// sound" the chosen sound (the system's error sound when none is chosen); the reasons go
// to standard error once per run in any case.
void ReportMailCheckErrors(const EmailConfigT& e, const Services& services);

// Forgets what was reported (a new run, for the tests).
void ResetMailErrorReports();
