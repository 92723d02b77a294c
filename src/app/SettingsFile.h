#pragma once
// The program's settings in their store, with the mail passwords the keyring keeps: where
// the settings meet the mail module.
#include "settings/ConfigStore.h"

class IKeyring;

// Fills the record from the store; passwords kept in the keyring arrive later, without
// waiting.
void LoadSettings(const RegistryStore& store, Config& config, IKeyring* keyring);
// Saves the record. Store, record and keyring must outlive the run: once the keyring has
// taken new passwords, one more save takes them out of the file.
bool SaveSettings(RegistryStore& store, Config& config, IKeyring* keyring);
