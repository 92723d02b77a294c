#include "wallpaper/ChangeRules.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <exception>

#include "platform/DateTime.h"
#include "platform/Services.h"
#include "settings/Config.h"
#include "wallpaper/Compose.h"
#include "wallpaper/ImageCatalogue.h"

namespace {
bool FileExists(const QString& path) { return !path.isEmpty() && QFileInfo(path).isFile(); }

// One call of a rule: what it reads and writes, and the failures it meets.
struct Run {
  Config& config;
  const Services& services;
  ChangeRuleMemory& memory;
  WallpaperErrors errors;
  double Now() const { return NowDays(*services.clock); }
};

ChangeRuleMemory::BadPicture* FindBad(Run& run, const QString& path) {
  auto& bad = run.memory.badPictures;
  auto it = bad.find(path.toLower());
  if (it == bad.end()) return nullptr;
  const QFileInfo info(path);
  if (info.size() != it->size || info.lastModified() != it->modified) {
    bad.erase(it);
    return nullptr;
  }
  return &*it;
}

bool IsBad(Run& run, const QString& path) { return FindBad(run, path) != nullptr; }

// Remembers a picture that would not decode; true when its error is to be shown (the first
// time in this run, or whenever the user asked for it).
bool Remember(Run& run, const WallpaperError& error, bool explicitRequest) {
  if (error.kind != WallpaperError::Decode) return true;
  ChangeRuleMemory::BadPicture* bad = FindBad(run, error.path);
  if (!bad) {
    const QFileInfo info(error.path);
    bad = &run.memory.badPictures[error.path.toLower()];
    bad->size = info.size();
    bad->modified = info.lastModified();
  }
  const bool show = explicitRequest || !bad->reported;
  bad->reported = true;
  return show;
}

// Applies the image and keeps what went wrong, a decode failure only once per run unless
// the user asked for this very picture.
void Apply(Run& run, const QString& path, bool explicitRequest) {
  const WallpaperError error = ApplyWallpaper(path, run.config, run.services);
  if (error && Remember(run, error, explicitRequest)) run.errors << error;
}

enum class Picked { NoCandidates, Failed, Installed };

// Picks and applies until one picture works or none is left; the failures are remembered, so
// the next pick leaves them out.
Picked PickAndApply(Run& run, bool random) {
  const QStringList catalogue = BuildImageCatalogue(run.config.WallpaperConfig.Paths);
  if (catalogue.isEmpty()) return Picked::NoCandidates;
  QList<WallpaperError> failures;
  bool installed = false;
  // Each failure leaves one candidate fewer; the bound only guards against files that keep
  // changing under the loop (a changed file is a candidate again).
  for (qsizetype attempt = 0; !installed && attempt < catalogue.size(); ++attempt) {
    QStringList good;
    for (const QString& path : catalogue) {
      if (!IsBad(run, path)) good << path;
    }
    if (good.isEmpty()) break;
    qsizetype index = 0;
    if (random) {
      index = run.services.random->Next() % good.size();
    } else {
      // The entry after the current one in the whole catalogue, skipping the bad ones.
      const QString& current = run.config.ProgramConfig.LastImageFileName;
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
        if (!IsBad(run, candidate)) {
          next = candidate;
          break;
        }
      }
      index = good.indexOf(next);
    }
    const WallpaperError error = ApplyWallpaper(good[index], run.config, run.services);
    installed = !error;
    if (installed) break;
    if (error.kind != WallpaperError::Decode) {
      // Not the picture's fault (no room to write, no memory): another would fare no better.
      run.errors << error;
      return Picked::Failed;
    }
    if (Remember(run, error, false)) failures << error;
  }
  // Reported after the change, so the new wallpaper is already there behind the box.
  run.errors << failures;
  return installed ? Picked::Installed : Picked::Failed;
}

void CheckTimedChangeNow(Run& run) {
  if (MsUntilTimedChange(run.config, run.memory, run.services.clock->ElapsedMs()) != 0) return;
  // Nothing installed (every picture fails): wait a whole delay, not just until the next tick.
  run.memory.timedFailedAt =
      PickAndApply(run, true) == Picked::Failed ? run.services.clock->ElapsedMs() : -1;
}

// The daily refresh of the current image, or of the selected one; a picture known to fail
// is not retried.
void RefreshNow(Run& run, bool explicitRequest) {
  const auto& c = run.config;
  // The selection as stored, too: the source page takes it up a moment after start-up, after
  // the first run's start-up wallpaper has been drawn.
  const QString stored = c.WallpaperConfig.SelPath.isEmpty() || c.WallpaperConfig.SelFile.isEmpty()
                             ? QString()
                             : QDir(c.WallpaperConfig.SelPath).filePath(c.WallpaperConfig.SelFile);
  for (const QString& path :
       {c.ProgramConfig.LastImageFileName, c.DynamicConfig.SelectedImage, stored}) {
    if (!FileExists(path)) continue;
    if (!explicitRequest && IsBad(run, path)) continue;
    Apply(run, path, explicitRequest);
    return;
  }
}

bool DrawnToday(const Run& run) {
  const QDate today = DaysToDateTime(run.Now()).date();
  const auto& p = run.config.ProgramConfig;
  return today.day() == p.LastDay && today.month() == p.LastMonth && today.year() == p.LastYear;
}

void CheckDayChangeNow(Run& run) {
  const QDate today = DaysToDateTime(run.Now()).date();
  if (!DrawnToday(run)) {
    if (run.memory.dayTried == today) return;
    run.memory.dayTried = today;
    RefreshNow(run, false);
  }
}
// The desktop came up with its own background: the last wallpaper goes back, the kept files
// when they were drawn today for these monitors, else drawn again from its picture.
void RestoreForgottenWallpaper(Run& run) {
  if (!DrawnToday(run)) {
    CheckDayChangeNow(run);
  } else if (!InstallKeptWallpapers(*run.services.desktop)) {
    RefreshNow(run, false);
  }
}

template <typename Step>
WallpaperErrors Rule(Config& config, const Services& services, ChangeRuleMemory& memory,
                     Step step) {
  Run run{config, services, memory, {}};
  step(run);
  return run.errors;
}
}  // namespace

WallpaperErrors ChooseStartupWallpaper(Config& config, const Services& services,
                                       ChangeRuleMemory& memory) {
  return Rule(config, services, memory, [](Run& run) {
    const bool forgotten = !run.services.desktop->KeepsWallpaper();
    if (run.config.WallpaperConfig.ChangeRule == WallpaperChangeRule::RandomOnStartup) {
      if (PickAndApply(run, true) != Picked::Installed && forgotten) RestoreForgottenWallpaper(run);
    } else if (forgotten) {
      RestoreForgottenWallpaper(run);
    } else {
      CheckDayChangeNow(run);
    }
  });
}

qint64 MsUntilTimedChange(const Config& config, const ChangeRuleMemory& memory, qint64 elapsedMs) {
  const auto& w = config.WallpaperConfig;
  if (w.ChangeRule != WallpaperChangeRule::RandomByTime) return -1;
  // Time that has passed, not two wall-clock readings apart: daylight saving, a new time zone
  // or a clock set back must neither stop the changes nor bunch them up.
  const qint64 delay = static_cast<qint64>(ChangeDelaySeconds(w.ChangeDelay)) * 1000;
  qint64 due = elapsedMs;
  const qint64 lastSet = config.DynamicConfig.LastSetElapsedMs;
  if (lastSet >= 0) due = std::max(due, lastSet + delay + 1);  // a whole delay has gone by
  // After a change that installed nothing, a whole delay from the failure, the delay as set
  // now, so a shorter one counts.
  if (memory.timedFailedAt >= 0) due = std::max(due, memory.timedFailedAt + delay);
  return due - elapsedMs;
}

WallpaperErrors CheckTimedChange(Config& config, const Services& services,
                                 ChangeRuleMemory& memory) {
  return Rule(config, services, memory, CheckTimedChangeNow);
}

WallpaperErrors CheckDayChange(Config& config, const Services& services, ChangeRuleMemory& memory) {
  return Rule(config, services, memory, CheckDayChangeNow);
}

WallpaperErrors RefreshWallpaper(Config& config, const Services& services,
                                 ChangeRuleMemory& memory) {
  return Rule(config, services, memory, [](Run& run) { RefreshNow(run, true); });
}

WallpaperErrors RedrawWallpaper(Config& config, const Services& services,
                                ChangeRuleMemory& memory) {
  return Rule(config, services, memory, [](Run& run) { RefreshNow(run, false); });
}

WallpaperErrors SetChosenWallpaper(const QString& path, Config& config, const Services& services,
                                   ChangeRuleMemory& memory) {
  return Rule(config, services, memory, [&path](Run& run) { Apply(run, path, true); });
}

WallpaperErrors PickWallpaper(bool random, Config& config, const Services& services,
                              ChangeRuleMemory& memory) {
  return Rule(config, services, memory, [random](Run& run) { PickAndApply(run, random); });
}

void ShowWallpaperErrors(const WallpaperErrors& errors, IMessageBoxes& boxes) {
  for (const WallpaperError& error : errors) ShowWallpaperError(error, boxes);
}

void RunAutomaticChange(ChangeRuleMemory& memory, IMessageBoxes& boxes,
                        const std::function<WallpaperErrors()>& change) {
  if (memory.automaticChangeRunning) return;
  memory.automaticChangeRunning = true;
  try {
    ShowWallpaperErrors(change(), boxes);
  } catch (const std::exception& e) {
    ReportError(boxes, QString::fromUtf8(e.what()));
  } catch (...) {
    ReportError(boxes, QString());
  }
  memory.automaticChangeRunning = false;
}
