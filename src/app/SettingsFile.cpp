#include "app/SettingsFile.h"

#include "mail/MailPasswords.h"
#include "platform/Paths.h"

void LoadSettings(const RegistryStore& store, Config& config, IKeyring* keyring) {
  LoadConfig(store, config, ProgramDirectory());
  FetchMailPasswords(config.EmailConfig.Accounts, keyring);
}

bool SaveSettings(RegistryStore& store, Config& config, IKeyring* keyring) {
  KeyMailPasswords(config.EmailConfig.Accounts, keyring);
  const auto forFile = [&store, &config, keyring](const EmailAccount& a) {
    return AccountForFile(a, keyring,
                          [&store, &config, keyring] { SaveSettings(store, config, keyring); });
  };
  return SaveConfig(store, config, forFile);
}
