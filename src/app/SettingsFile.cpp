#include "app/SettingsFile.h"

#include "platform/Paths.h"
#include "settings/PasswordKeeper.h"

void LoadSettings(const RegistryStore& store, Config& config, PasswordKeeper* passwords) {
  LoadConfig(store, config, ProgramDirectory());
  if (passwords) passwords->Fetch(config);
}

bool SaveSettings(RegistryStore& store, Config& config, PasswordKeeper* passwords) {
  if (!passwords) return SaveConfig(store, config);
  passwords->GiveKeys(config);
  const auto forFile = [&store, &config, passwords](QString& password, QString& key) {
    passwords->ForFile(password, key,
                       [&store, &config, passwords] { SaveSettings(store, config, passwords); });
  };
  return SaveConfig(store, config, forFile);
}
