#pragma once

#include "foundation/uString.h"

namespace subscription
{
/// The database file of a list: the folder joined with the name, or with
/// "default.mdb" when the name is empty.
uString ListDatabasePath(const uString& folder, const uString& name);

/// True when the list's database file exists and is not empty.
bool IsListDatabaseUsable(const uString& path);

/// "user%d.mdb" with the first n from 0 for which nothing exists in the folder.
uString NextFreeListName(const uString& folder);

/// Makes a new list database in the folder from the template file: the first
/// free "user%d.mdb", with any journal files left under that name by an
/// earlier database removed first, so that they cannot be replayed into the
/// copy. The new file name, or empty when the copy failed.
uString CreateListDatabase(const uString& folder, const uString& templatePath);

/// Deletes a list database and then its "-wal" and "-shm" files. False, with
/// everything left in place, when the database itself cannot be deleted:
/// its journal may still hold committed data.
bool RemoveListDatabase(const uString& path);
} // namespace subscription
