#pragma once
#include <QByteArray>
#include <QString>

#include "settings/Config.h"
#include "settings/RegistryStore.h"

// Fills the record from the store. A store never saved (no Base/OK) is not read at all;
// then the "images" folder in programDir, when it exists, becomes the first source path.
void LoadConfig(const RegistryStore& store, Config& config, const QString& programDir);
// Writes every persisted field, in one update of the backing storage.
bool SaveConfig(RegistryStore& store, const Config& config);

// What a save of the record would write, as bytes: equal snapshots, nothing new to save.
QByteArray ConfigSnapshot(const Config& config);

// The program's own store (opened at start-up) and the global record.
void OpenMainStore(IRegistryBackend& backend);
RegistryStore* MainIniFile();
void LoadConfig();
bool SaveConfig();
