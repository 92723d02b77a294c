#include "wallpaper/ChangeRules.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <exception>

#include "platform/DateTime.h"
#include "platform/Services.h"
#include "settings/Config.h"
#include "wallpaper/Compose.h"
#include "wallpaper/ImageCatalogue.h"

namespace {
bool FileExists(const QString& path) { return !path.isEmpty() && QFileInfo(path).isFile(); }

// Pictures that failed to decode in this run, by lower-cased path, with the file's size and
// time as they were then: a file replaced since gets another chance.
struct BadPicture {
  qint64 size = -1;
  QDateTime modified;
  bool reported = false;
};
QHash<QString, BadPicture>& BadPictures() {
  static QHash<QString, BadPicture> bad;
  return bad;
}

BadPicture* FindBad(const QString& path) {
  auto it = BadPictures().find(path.toLower());
  if (it == BadPictures().end()) return nullptr;
  const QFileInfo info(path);
  if (info.size() != it->size || info.lastModified() != it->modified) {
    BadPictures().erase(it);
    return nullptr;
  }
  return &*it;
}

bool IsBad(const QString& path) { return FindBad(path) != nullptr; }

// Remembers a picture that would not decode; true when its error is to be shown (the first
// time in this run, or whenever the user asked for it).
bool Remember(const WallpaperError& error, bool explicitRequest) {
  if (error.kind != WallpaperError::Decode) return true;
  BadPicture* bad = FindBad(error.path);
  if (!bad) {
    const QFileInfo info(error.path);
    bad = &BadPictures()[error.path.toLower()];
    bad->size = info.size();
    bad->modified = info.lastModified();
  }
  const bool show = explicitRequest || !bad->reported;
  bad->reported = true;
  return show;
}

// When the last timed change found nothing to install (-1: it did not fail), on the clock
// that does not jump. The next try waits a whole delay from then, the delay as set at each
// tick, so a shorter one counts.
qint64 g_timedFailedAt = -1;

// The tick is re-entrant: the error box of a failed change keeps the timer running, and a
// nested tick retrying the same change would open box upon box. While one automatic change
// is running (or reporting its failure) the nested ticks leave the wallpaper alone.
bool g_automaticChangeRunning = false;

template <typename Step>
void RunAutomaticChange(Step step) {
  if (g_automaticChangeRunning) return;
  g_automaticChangeRunning = true;
  try {
    step();
  } catch (const std::exception& e) {
    ReportError(QString::fromUtf8(e.what()));
  } catch (...) {
    ReportError(QString());
  }
  g_automaticChangeRunning = false;
}

// Applies the image and shows what went wrong, a decode failure only once per run unless
// the user asked for this very picture.
void Apply(const QString& path, bool explicitRequest) {
  const WallpaperError error = ApplyWallpaper(path);
  if (error && Remember(error, explicitRequest)) ShowWallpaperError(error);
}

enum class Picked { NoCandidates, Failed, Installed };

// Picks and applies until one picture works or none is left; the failures are remembered, so
// the next pick leaves them out.
Picked PickAndApply(bool random) {
  const QStringList catalogue = BuildImageCatalogue();
  if (catalogue.isEmpty()) return Picked::NoCandidates;
  QList<WallpaperError> failures;
  bool installed = false;
  // Each failure leaves one candidate fewer; the bound only guards against files that keep
  // changing under the loop (a changed file is a candidate again).
  for (qsizetype attempt = 0; !installed && attempt < catalogue.size(); ++attempt) {
    QStringList good;
    for (const QString& path : catalogue) {
      if (!IsBad(path)) good << path;
    }
    if (good.isEmpty()) break;
    qsizetype index = 0;
    if (random) {
      index = Svc().random->Next() % good.size();
    } else {
      // The entry after the current one in the whole catalogue, skipping the bad ones.
      const QString& current = Cfg().ProgramConfig.LastImageFileName;
      qsizetype at = -1;
      for (qsizetype i = 0; i < catalogue.size(); ++i) {
        if (catalogue[i].compare(current, Qt::CaseInsensitive) == 0) {
          at = i;
          break;
        }
      }
      QString next = good.first();
      for (qsizetype step = 1; at >= 0 && step <= catalogue.size(); ++step) {
        const QString& candidate = catalogue[(at + step) % catalogue.size()];
        if (!IsBad(candidate)) {
          next = candidate;
          break;
        }
      }
      index = good.indexOf(next);
    }
    const WallpaperError error = ApplyWallpaper(good[index]);
    installed = !error;
    if (installed) break;
    if (error.kind != WallpaperError::Decode) {
      // Not the picture's fault (no room to write, no memory): another would fare no better.
      ShowWallpaperError(error);
      return Picked::Failed;
    }
    if (Remember(error, false)) failures << error;
  }
  // Reported after the change, so the new wallpaper is already there behind the box.
  for (const WallpaperError& failure : failures) ShowWallpaperError(failure);
  return installed ? Picked::Installed : Picked::Failed;
}

void CheckTimedChangeNow() {
  const auto& w = Cfg().WallpaperConfig;
  if (w.ChangeRule != 2) return;
  // Time that has passed, not two wall-clock readings apart: daylight saving, a new time zone
  // or a clock set back must neither stop the changes nor bunch them up.
  const qint64 delay = static_cast<qint64>(ChangeDelaySeconds(w.ChangeDelay)) * 1000;
  const qint64 now = Svc().clock->ElapsedMs();
  const qint64 lastSet = Cfg().DynamicConfig.LastSetElapsedMs;
  if (lastSet >= 0 && now - lastSet <= delay) return;
  if (g_timedFailedAt >= 0 && now - g_timedFailedAt < delay) return;
  // Nothing installed (every picture fails): wait a whole delay, not just until the next tick.
  g_timedFailedAt = PickAndApply(true) == Picked::Failed ? Svc().clock->ElapsedMs() : -1;
}

// The daily refresh of the current image, or of the selected one; a picture known to fail
// is not retried.
void RefreshNow(bool explicitRequest) {
  const auto& c = Cfg();
  for (const QString& path : {c.ProgramConfig.LastImageFileName, c.DynamicConfig.SelectedImage}) {
    if (!FileExists(path)) continue;
    if (!explicitRequest && IsBad(path)) continue;
    Apply(path, explicitRequest);
    return;
  }
}

// The day the daily refresh last tried: one that failed is not retried every tick (the
// stored date stays that of the last picture drawn).
QDate g_dayTried;

bool DrawnToday() {
  const QDate today = DaysToDateTime(NowDays()).date();
  const auto& p = Cfg().ProgramConfig;
  return today.day() == p.LastDay && today.month() == p.LastMonth && today.year() == p.LastYear;
}

void CheckDayChangeNow() {
  const QDate today = DaysToDateTime(NowDays()).date();
  if (!DrawnToday()) {
    if (g_dayTried == today) return;
    g_dayTried = today;
    RefreshNow(false);
  }
}
// The desktop came up with its own background: the last wallpaper goes back, the kept file
// when it was drawn today for this screen, else drawn again from its picture.
void RestoreForgottenWallpaper() {
  const QString file = WallpaperFilePath();
  QImage kept;
  if (DrawnToday() && kept.load(file, "BMP") && kept.size() == Svc().desktop->ScreenSize()) {
    InstallWallpaperFile(file, kept);
  } else if (DrawnToday()) {
    RefreshNow(false);
  } else {
    CheckDayChangeNow();
  }
}
}  // namespace

void ChooseStartupWallpaper() {
  // A bad picture must not keep the program from starting: report it and go on.
  RunAutomaticChange([] {
    const bool forgotten = !Svc().desktop->KeepsWallpaper();
    if (Cfg().WallpaperConfig.ChangeRule == 1) {
      if (PickAndApply(true) != Picked::Installed && forgotten) RestoreForgottenWallpaper();
    } else if (forgotten) {
      RestoreForgottenWallpaper();
    } else {
      CheckDayChangeNow();
    }
  });
}

void CheckTimedChange() { RunAutomaticChange(CheckTimedChangeNow); }

void CheckDayChange() { RunAutomaticChange(CheckDayChangeNow); }

void RefreshWallpaper() { RefreshNow(true); }

void SetChosenWallpaper(const QString& path) { Apply(path, true); }

void PickWallpaper(bool random) { PickAndApply(random); }

void ForgetBadPictures() {
  BadPictures().clear();
  g_timedFailedAt = -1;
  g_dayTried = QDate();
}
