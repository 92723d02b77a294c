#include "settings/SettingsAutosave.h"

#include "settings/ConfigStore.h"

void SettingsAutosave::MarkSaved() { saved_ = ConfigSnapshot(config_); }

bool SettingsAutosave::Poll() {
  QByteArray now = ConfigSnapshot(config_);
  if (now == saved_) return false;
  if (!save_()) return false;
  // What the save wrote may differ from what was compared (a password handed to the keyring).
  saved_ = ConfigSnapshot(config_);
  return true;
}
