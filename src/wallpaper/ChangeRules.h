#pragma once
#include <QString>

// When and from which picture the wallpaper is rebuilt.
void ChooseStartupWallpaper();
void CheckTimedChange();
void CheckDayChange();
// Recomposes the current image (the date or the settings changed); asked for by the user, so
// a failure is always reported.
void RefreshWallpaper();
// The current picture drawn again because what the calendar shows changed; a failure is
// reported as for any automatic change.
void RedrawWallpaper();
// Installs the image the user chose ("Set"); any failure is reported.
void SetChosenWallpaper(const QString& path);
// Installs a random image, or the one after the current one, leaving out the pictures that
// failed to decode in this run; each such failure is reported once per run.
void PickWallpaper(bool random);
// Forgets the pictures that failed in this run (a new run starts afresh).
void ForgetBadPictures();
