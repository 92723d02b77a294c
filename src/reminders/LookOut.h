#pragma once
#include <QtGlobal>

// The last time the program checked the reminders, on both clocks, and the earliest wall
// time of the run of checks without a break that it ended.
struct LookOut {
  double wall = 0;        // date-time (days) then
  qint64 elapsedMs = -1;  // IClock::ElapsedMs() then; -1: it has not looked yet
  double since = 0;       // date-time (days)
};
