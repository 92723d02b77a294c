#pragma once
// Keeps the settings file up to date with the record, so that nothing kept in memory (a
// closed or snoozed reminder, the last image and date, a page edit, mail state) is lost when
// the program is killed or the session ends under it. Polled once a second, it saves every
// change made since the last poll in one save, through the usual atomic save.
#include <QByteArray>
#include <functional>

#include "settings/Config.h"

class SettingsAutosave {
 public:
  SettingsAutosave(const Config& config, std::function<bool()> save)
      : config_(config), save_(std::move(save)) {}
  // What the record holds now is what the file holds (after loading it).
  void MarkSaved();
  // Saves when the record differs from what was saved last; true when it saved. A failed
  // save is tried again at the next poll.
  bool Poll();

 private:
  const Config& config_;
  std::function<bool()> save_;
  QByteArray saved_;
};
