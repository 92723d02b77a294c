#pragma once
// Shows a due popup reminder (modally) from the tick.
void CheckPopupReminders();
