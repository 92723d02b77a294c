#include "reminders/PopupScheduler.h"

// The popup reminders fill this in.
void CheckPopupReminders() {}
