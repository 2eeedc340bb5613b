#pragma once

#include "foundation/uActiveXDataObject.h"

// The database object the program creates: uActiveXDataObject plus creating
// and compacting database files and copying and dropping tables.
class uActiveXDataObjectExt : public uActiveXDataObject
{
public:
    uActiveXDataObjectExt() = default;
    ~uActiveXDataObjectExt() override = default;

    // Creates a new, empty database file named by a connection string; its
    // password is the string's. Refuses an existing file.
    static bool createDatabase(const char* connectionString);
    // Writes a compacted copy of the source database to the destination file,
    // which must not exist; the copy takes the destination string's password.
    static bool compactDatabase(const char* sourceConnection, const char* destinationConnection);
    // Compacts a database where it is, when at least minFreeRatio of its pages
    // are free (0: always). Gives up, losing nothing, when the file stays busy
    // for a moment. Use this for a database other connections may hold open:
    // deleting or renaming such a file would lose their later writes.
    static bool compactInPlace(const char* connectionString, double minFreeRatio);
    // Deletes a database file with its -wal and -shm files, so that a new file
    // under the same name starts clean.
    static bool removeDatabaseFiles(const char* path);

    // Copies the template table's definition, constraints and indexes (the
    // indexes named "<newTable>_<index>"). These two report a failure through
    // the message only; the code changes only when connecting fails.
    bool createTable(const char* newTable, const char* templateTable) override;
    // False, touching nothing, when there is no such table.
    bool deleteTable(const char* table) override;
};
