#pragma once
// When and from which picture the wallpaper is rebuilt. The rules change the wallpaper and
// return the failures they met, in the order the user is to see them; showing them is the
// caller's (ShowWallpaperErrors).
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <functional>

#include "wallpaper/Compose.h"

struct Config;
struct Services;

// What the rules remember within one run; a new run starts with a new one.
struct ChangeRuleMemory {
  // Pictures that failed to decode, by lower-cased path, with the file's size and time as
  // they were then: a file replaced since gets another chance.
  struct BadPicture {
    qint64 size = -1;
    QDateTime modified;
    bool reported = false;
  };
  QHash<QString, BadPicture> badPictures;
  // When the last timed change found nothing to install (-1: it did not fail), on the clock
  // that does not jump. The next try waits a whole delay from then, the delay as set at each
  // tick, so a shorter one counts.
  qint64 timedFailedAt = -1;
  // The day the daily refresh last tried: one that failed is not retried every tick (the
  // stored date stays that of the last picture drawn).
  QDate dayTried;
  // An automatic change is running or reporting its failure: see RunAutomaticChange.
  bool automaticChangeRunning = false;
};

using WallpaperErrors = QList<WallpaperError>;

WallpaperErrors ChooseStartupWallpaper(Config& config, const Services& services,
                                       ChangeRuleMemory& memory);
WallpaperErrors CheckTimedChange(Config& config, const Services& services,
                                 ChangeRuleMemory& memory);
// How long until the timed rule changes the wallpaper, on the clock that does not jump: 0 when
// it is due now, -1 when the rule is not the timed one.
qint64 MsUntilTimedChange(const Config& config, const ChangeRuleMemory& memory, qint64 elapsedMs);
WallpaperErrors CheckDayChange(Config& config, const Services& services, ChangeRuleMemory& memory);
// Recomposes the current image (the date or the settings changed); asked for by the user, so
// a failure is always returned.
WallpaperErrors RefreshWallpaper(Config& config, const Services& services,
                                 ChangeRuleMemory& memory);
// The current picture drawn again because what the calendar shows changed; run as an
// automatic change.
WallpaperErrors RedrawWallpaper(Config& config, const Services& services,
                                ChangeRuleMemory& memory);
// Installs the image the user chose ("Set"); any failure is returned.
WallpaperErrors SetChosenWallpaper(const QString& path, Config& config, const Services& services,
                                   ChangeRuleMemory& memory);
// Installs a random image, or the one after the current one, leaving out the pictures that
// failed to decode in this run; each such failure is returned once per run.
WallpaperErrors PickWallpaper(bool random, Config& config, const Services& services,
                              ChangeRuleMemory& memory);

// One box per failure.
void ShowWallpaperErrors(const WallpaperErrors& errors, IMessageBoxes& boxes);

// The tick is re-entrant: the error box of a failed change keeps the timer running, and a
// nested tick retrying the same change would open box upon box. Runs an automatic change and
// shows its failures; while one runs (or its boxes are open) nested calls do nothing. An
// exception the change throws is reported like a failure.
void RunAutomaticChange(ChangeRuleMemory& memory, IMessageBoxes& boxes,
                        const std::function<WallpaperErrors()>& change);
