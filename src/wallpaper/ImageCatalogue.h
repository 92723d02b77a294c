#pragma once
#include <QString>
#include <QStringList>

// The files directly inside a directory whose extension is in the list (compared without
// regard to case), in the order the file system lists them. Names keep their on-disk case so
// that they open on a case-sensitive file system. A directory that cannot be listed gives none.
QStringList ScanImageDirectory(const QString& directory, const QStringList& extensions);
// The last path component's extension from its last dot, dot included; empty without a dot.
QString FileExtension(const QString& name);
// Every ".jpg" of every source directory, as full paths, in directory-list order. Not sorted
// and not made unique: a directory listed twice contributes its images twice.
QStringList BuildImageCatalogue(const QStringList& directories);
