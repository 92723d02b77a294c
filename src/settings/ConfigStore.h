#pragma once
#include <QByteArray>
#include <QString>
#include <functional>

#include "settings/Config.h"
#include "settings/RegistryStore.h"

// Fills the record from the store. A store never saved (no Base/OK) is not read at all;
// then the "images" folder in programDir, when it exists, becomes the first source path.
void LoadConfig(const RegistryStore& store, Config& config, const QString& programDir);
// A password and its keyring entry (of a mail account or an agenda calendar) as the file is
// to keep them: where passwords live elsewhere (the keyring), the one who keeps them says
// what is left for the file, changing the copies it is given. None: both as they are.
using PasswordForFileFn = std::function<void(QString& password, QString& key)>;
// Writes every persisted field, in one update of the backing storage.
bool SaveConfig(RegistryStore& store, const Config& config,
                const PasswordForFileFn& forFile = {});

// What a save of the record would write, as bytes: equal snapshots, nothing new to save.
QByteArray ConfigSnapshot(const Config& config, const PasswordForFileFn& forFile = {});
