#pragma once
// Starts a mail check on the worker thread when the rules allow; returns at once.
void StartMailCheck(bool timed, int accountIndex);
