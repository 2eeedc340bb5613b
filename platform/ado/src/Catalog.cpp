#include "ado/Catalog.h"

#include "Crc32.h"
#include "FileHeader.h"
#include "ado/ConnectionString.h"
#include "ado/JetSql.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ado
{

namespace
{

constexpr const char* kCompanionSuffixes[] = {"-wal", "-shm", "-journal"};

bool fileExists(const std::string& path)
{
    struct stat status;
    return ::stat(path.c_str(), &status) == 0;
}

// A -wal file left by an earlier database of the same name would be replayed
// into the new one: remove the companions when the main file is gone.
void removeStaleCompanions(const std::string& path)
{
    if (fileExists(path))
        return;
    for (const char* suffix : kCompanionSuffixes)
        ::unlink((path + suffix).c_str());
}

// Creates the file only when nothing has that name: never overwrites.
bool createEmptyFile(const std::string& path, Error& error)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
    {
        const int code = errno;
        error = Error::layer(kUnspecifiedError, code == EEXIST
                                                    ? "The database file already exists: " + path
                                                    : "Can not create " + path + ": " + std::strerror(code));
        return false;
    }
    ::close(fd);
    return true;
}

// Writes the header of a database file this layer made: the mark, the
// password verifier, and WAL as its journal mode.
bool writeHeader(const std::string& path, const std::string& password, Error& error)
{
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_EXRESCODE, nullptr);
    if (rc == SQLITE_OK)
    {
        sqlite3_busy_timeout(db, kDefaultBusyTimeoutMs);
        const std::string sql = "PRAGMA application_id = " + std::to_string(detail::kApplicationId) +
                                "; PRAGMA user_version = " + std::to_string(passwordVerifier(password)) +
                                "; PRAGMA journal_mode = WAL;";
        rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK)
    {
        error.code = rc == SQLITE_NOMEM ? kOutOfMemory : kUnspecifiedError;
        error.engineCode = db ? sqlite3_extended_errcode(db) : rc;
        error.source = kEngineSource;
        error.description = std::string(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)) + " (" +
                            std::to_string(error.engineCode) + ")";
    }
    sqlite3_close_v2(db);
    return rc == SQLITE_OK;
}

bool destinationOf(std::string_view connectionString, ConnectionString& parts, Error& error)
{
    parts = ConnectionString::parse(connectionString);
    if (!parts.hasDataSource || parts.dataSource.empty())
    {
        error = Error::layer(kUnspecifiedError, "The connection string names no Data Source.");
        return false;
    }
    return true;
}

} // namespace

std::int32_t passwordVerifier(std::string_view password)
{
    return static_cast<std::int32_t>(detail::crc32(password));
}

bool removeDatabaseFiles(const std::string& path)
{
    const bool removed = ::unlink(path.c_str()) == 0 || errno == ENOENT;
    for (const char* suffix : kCompanionSuffixes)
        ::unlink((path + suffix).c_str());
    return removed && !fileExists(path);
}

bool createDatabase(std::string_view connectionString, Error& error)
{
    error.clear();
    ConnectionString parts;
    if (!destinationOf(connectionString, parts, error))
        return false;
    removeStaleCompanions(parts.dataSource);
    if (!createEmptyFile(parts.dataSource, error))
        return false;
    if (!writeHeader(parts.dataSource, parts.password, error))
    {
        removeDatabaseFiles(parts.dataSource);
        return false;
    }
    return true;
}

bool compactDatabase(std::string_view sourceConnection, std::string_view destinationConnection, Error& error)
{
    error.clear();
    ConnectionString destination;
    if (!destinationOf(destinationConnection, destination, error))
        return false;
    Connection source;
    if (!source.open(sourceConnection))
    {
        error = source.lastError();
        return false;
    }
    removeStaleCompanions(destination.dataSource);
    // VACUUM INTO accepts an empty file; creating it first means a file that
    // appears under that name meanwhile is never touched.
    if (!createEmptyFile(destination.dataSource, error))
        return false;
    if (!source.execute("VACUUM INTO ?1", {destination.dataSource}))
    {
        error = source.lastError();
        removeDatabaseFiles(destination.dataSource);
        return false;
    }
    source.close();
    // The copy takes the password of its own connection string.
    if (!writeHeader(destination.dataSource, destination.password, error))
    {
        removeDatabaseFiles(destination.dataSource);
        return false;
    }
    return true;
}

bool compactInPlace(std::string_view connectionString, double minFreeRatio, Error& error)
{
    error.clear();
    Connection connection;
    if (!connection.open(connectionString))
    {
        error = connection.lastError();
        return false;
    }
    // A refresh must not stall behind a reader: give up quickly and try next time.
    connection.setBusyTimeout(2000);
    if (minFreeRatio > 0)
    {
        Recordset pages;
        Recordset free;
        if (!connection.query("PRAGMA page_count", {}, pages) ||
            !connection.query("PRAGMA freelist_count", {}, free))
        {
            error = connection.lastError();
            return false;
        }
        const double pageCount = static_cast<double>(pages.field(0)->integer);
        const double freeCount = static_cast<double>(free.field(0)->integer);
        if (pageCount <= 0 || freeCount / pageCount < minFreeRatio)
            return true;
    }
    if (!connection.execute("VACUUM", Dialect::Native))
    {
        error = connection.lastError();
        return false;
    }
    // Move the rewritten pages into the file now so that it shrinks; when other
    // connections are reading this waits or gives up, and a later checkpoint does it.
    connection.execute("PRAGMA wal_checkpoint(TRUNCATE)", Dialect::Native);
    return true;
}

bool copyTable(Connection& connection, std::string_view newTable, std::string_view templateTable)
{
    std::string storedName;
    std::string sql;
    std::vector<IndexInfo> indexes;
    if (!connection.tableDefinition(templateTable, storedName, sql) ||
        !connection.indexes(storedName, indexes))
        return false;
    std::string createTable;
    if (!renameCreateStatement(sql, newTable, "", createTable))
    {
        connection.setError(
            Error::layer(kErrorsInCommand, "Can not read the definition of " + storedName + "."));
        return false;
    }
    std::vector<std::string> createIndexes;
    for (const IndexInfo& index : indexes)
    {
        std::string createIndex;
        if (!renameCreateStatement(index.sql, std::string(newTable) + "_" + index.name, newTable,
                                   createIndex))
        {
            connection.setError(
                Error::layer(kErrorsInCommand, "Can not read the definition of " + index.name + "."));
            return false;
        }
        createIndexes.push_back(std::move(createIndex));
    }

    // All or nothing: a table without its indexes would pass for a good copy.
    if (!connection.execute("BEGIN IMMEDIATE", Dialect::Native))
        return false;
    bool ok = connection.execute(createTable, Dialect::Native);
    for (std::size_t i = 0; ok && i < createIndexes.size(); ++i)
        ok = connection.execute(createIndexes[i], Dialect::Native);
    if (ok && connection.execute("COMMIT", Dialect::Native))
        return true;
    const Error failure = connection.lastError();
    connection.execute("ROLLBACK", Dialect::Native);
    connection.setError(failure);
    return false;
}

bool dropTable(Connection& connection, std::string_view table)
{
    return connection.execute("DROP TABLE " + quoteIdentifier(table), Dialect::Native);
}

} // namespace ado
