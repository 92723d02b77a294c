#pragma once
// When and from which picture the wallpaper is rebuilt.
void ChooseStartupWallpaper();
void CheckTimedChange();
void CheckDayChange();
// Recomposes the current image (the date or the settings changed).
void RefreshWallpaper();
// Installs a random image, or the one after the current one.
void PickWallpaper(bool random);
