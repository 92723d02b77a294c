#pragma once
// The program's settings in their store, with the passwords the keyring keeps: where the
// settings meet the password keeper.
#include "settings/ConfigStore.h"

class PasswordKeeper;

// Fills the record from the store; passwords kept in the keyring arrive later, without
// waiting. No keeper: the passwords are what the file holds.
void LoadSettings(const RegistryStore& store, Config& config, PasswordKeeper* passwords);
// Saves the record. Store, record and keeper must outlive the run: once the keyring has
// taken new passwords, one more save takes them out of the file.
bool SaveSettings(RegistryStore& store, Config& config, PasswordKeeper* passwords);
