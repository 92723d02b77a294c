#include "wallpaper/ChangeRules.h"

#include <QFileInfo>
#include <exception>

#include "platform/DateTime.h"
#include "platform/Services.h"
#include "settings/Config.h"
#include "wallpaper/Compose.h"
#include "wallpaper/ImageCatalogue.h"

namespace {
bool FileExists(const QString& path) { return !path.isEmpty() && QFileInfo(path).isFile(); }

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

void CheckTimedChangeNow() {
  const auto& w = Cfg().WallpaperConfig;
  if (w.ChangeRule != 2) return;
  const double delay = ChangeDelaySeconds(w.ChangeDelay) * (1.0 / kSecondsPerDay);
  if (Cfg().DynamicConfig.LastSetTime + delay < NowDays()) PickWallpaper(true);
}

void CheckDayChangeNow() {
  const QDate today = DaysToDateTime(NowDays()).date();
  const auto& p = Cfg().ProgramConfig;
  if (today.day() != p.LastDay || today.month() != p.LastMonth || today.year() != p.LastYear) {
    RefreshWallpaper();
  }
}
}  // namespace

void ChooseStartupWallpaper() {
  // A bad picture must not keep the program from starting: report it and go on.
  RunAutomaticChange([] {
    if (Cfg().WallpaperConfig.ChangeRule == 1) {
      PickWallpaper(true);
    } else {
      CheckDayChangeNow();
    }
  });
}

void CheckTimedChange() { RunAutomaticChange(CheckTimedChangeNow); }

void CheckDayChange() { RunAutomaticChange(CheckDayChangeNow); }

void RefreshWallpaper() {
  const auto& c = Cfg();
  if (FileExists(c.ProgramConfig.LastImageFileName)) {
    ApplyWallpaper(c.ProgramConfig.LastImageFileName);
  } else if (FileExists(c.DynamicConfig.SelectedImage)) {
    ApplyWallpaper(c.DynamicConfig.SelectedImage);
  }
}

void PickWallpaper(bool random) {
  const QStringList catalogue = BuildImageCatalogue();
  if (catalogue.isEmpty()) return;
  qsizetype index = 0;
  if (random) {
    index = Svc().random->Next() % catalogue.size();
  } else {
    const QString& current = Cfg().ProgramConfig.LastImageFileName;
    for (qsizetype i = 0; i < catalogue.size(); ++i) {
      if (catalogue[i].compare(current, Qt::CaseInsensitive) == 0) {
        index = (i + 1) % catalogue.size();
        break;
      }
    }
  }
  ApplyWallpaper(catalogue[index]);
}
