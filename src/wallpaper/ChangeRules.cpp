#include "wallpaper/ChangeRules.h"

// The wallpaper engine fills these in.
void ChooseStartupWallpaper() {}
void CheckTimedChange() {}
void CheckDayChange() {}
void RefreshWallpaper() {}
void PickWallpaper(bool random) { (void)random; }
