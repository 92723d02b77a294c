#pragma once
// Folders only this user can enter: where the one-instance lock and its socket live.
#include <sys/types.h>

#include <QString>

using UserId = uid_t;
UserId CurrentUserId();

// A real folder (not a link) of this user's that nobody else can enter.
bool IsPrivateFolder(const QString& path, UserId uid);
// Makes the folder when missing (mode 0700 from the start, so there is no moment in
// which others could enter it) and says whether it is private.
bool MakePrivateFolder(const QString& path, UserId uid);
