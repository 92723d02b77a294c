#pragma once
// When and from which picture the wallpaper is rebuilt.
void ChooseStartupWallpaper();
void CheckTimedChange();
void CheckDayChange();
