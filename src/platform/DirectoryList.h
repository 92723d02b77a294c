#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

// The names (as the file system spells them) of the files directly inside the directory,
// links to files included, in the file system's own order; `wanted` sees each name first, so
// the others cost no look-up. A directory that cannot be listed gives none.
QList<QByteArray> ListFiles(const QString& directory,
                            const std::function<bool(const char* name)>& wanted);
