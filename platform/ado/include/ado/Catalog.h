#pragma once

#include "ado/Connection.h"
#include "ado/Error.h"

#include <string>
#include <string_view>

namespace ado
{

// Database files and table definitions: what ADOX and the Jet engine's
// compaction did. Each function reports its failure through `error`.

// Creates a new, empty database file for a Jet connection string and records
// its password. Refuses an existing file; a half-made file is removed.
bool createDatabase(std::string_view connectionString, Error& error);

// Writes a compacted copy of the source database to the destination file
// (which must not exist). The copy takes the destination string's password.
bool compactDatabase(std::string_view sourceConnection, std::string_view destinationConnection, Error& error);

// Compacts a database in place when at least `minFreeRatio` of its pages are
// free (0 compacts always). Waits only briefly for other connections: when the
// file stays busy it returns false with isBusy() and nothing is lost.
// Never replaces the file, so connections that hold it open stay valid.
bool compactInPlace(std::string_view connectionString, double minFreeRatio, Error& error);

// Creates `newTable` with the definition of `templateTable` (columns,
// constraints, defaults, AUTOINCREMENT, foreign keys) and copies the
// template's own indexes as "<newTable>_<index>". All or nothing.
bool copyTable(Connection& connection, std::string_view newTable, std::string_view templateTable);

// DROP TABLE of one table.
bool dropTable(Connection& connection, std::string_view table);

// Removes a database file together with its -wal, -shm and -journal
// companions, so that a later file under the same name never picks up a stale
// log. True when no file of that name is left.
bool removeDatabaseFiles(const std::string& path);

// The password verifier stored in the file header (not protection: the file is
// not encrypted, and the password is a fixed value of the program).
std::int32_t passwordVerifier(std::string_view password);

} // namespace ado
