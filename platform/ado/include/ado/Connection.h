#pragma once

#include "ado/Error.h"
#include "ado/Recordset.h"
#include "ado/Schema.h"
#include "ado/StatementCache.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace ado
{

// How statement text is read: Jet is what the program writes (translated, see
// JetSql.h); Native is SQLite's own dialect, for the layer's internal statements.
enum class Dialect
{
    Jet,
    Native
};

// Busy timeout of every connection: concurrent writers wait instead of failing.
inline constexpr int kDefaultBusyTimeoutMs = 30000;

// One connection to a database file. Used by one thread at a time; several
// connections (one per thread) may share a file, SQLite arbitrates.
// Every operation returns false on failure and leaves the reason in lastError().
class Connection
{
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens an existing database named by a Jet connection string and checks
    // its password. Never creates a missing file.
    bool open(std::string_view connectionString);
    bool openFile(const std::string& path, const std::string& password);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    const std::string& path() const { return m_path; }

    // Runs one statement and discards its rows.
    bool execute(std::string_view sql, Dialect dialect = Dialect::Jet);
    // Runs one statement and counts its rows (0 for a statement without columns).
    bool count(std::string_view sql, std::int64_t& rows, Dialect dialect = Dialect::Jet);
    // Runs one statement and reads all its rows into `rows`.
    bool query(std::string_view sql, Recordset& rows, Dialect dialect = Dialect::Jet);
    // Native statement with text parameters bound to ?1, ?2, ...
    bool query(std::string_view sql, const std::vector<std::string>& parameters, Recordset& rows);
    bool execute(std::string_view sql, const std::vector<std::string>& parameters);

    std::int64_t lastInsertRowId() const;

    // Schema look-ups. Table names are compared without regard to ASCII case.
    bool tableNames(std::vector<std::string>& names);
    bool tableExists(std::string_view table, bool& exists);
    bool columns(std::string_view table, std::vector<ColumnInfo>& columns);
    bool foreignKeys(std::string_view table, std::vector<ForeignKeyInfo>& keys);
    bool indexes(std::string_view table, std::vector<IndexInfo>& indexes);
    // The stored CREATE TABLE text and the table's name as stored.
    bool tableDefinition(std::string_view table, std::string& storedName, std::string& sql);

    void setBusyTimeout(int milliseconds);
    // From now on no statement of any connection waits longer than this for
    // a lock, whatever its timeout (a stopping program ends within its
    // bound); the largest int lifts the limit. Safe in a signal handler.
    static void LimitBusyWaits(int milliseconds);
    // Prepared statements kept for reuse (the cache is bounded).
    std::size_t cachedStatementCount() const { return m_statements.size(); }

    const Error& lastError() const { return m_error; }
    // Reports a failure found by a caller of this connection (e.g. a field read).
    void setError(Error error) { m_error = std::move(error); }

private:
    enum class Mode
    {
        Execute,
        Count,
        Query
    };
    bool run(std::string_view sql, Dialect dialect, const std::vector<std::string>* parameters, Mode mode,
             std::int64_t* rowCount, Recordset* rows);
    bool configure(const std::string& password);
    // SQLite's busy handler: waits for a write transaction of this process to
    // end (see WriteTurns.h), within the busy timeout.
    static int waitWhileBusy(void* connection, int attempt);
    void failFromEngine(int resultCode);
    // The prepared statement for a (translated) text: from the cache, or
    // prepared and kept. Null with lastError() set when it cannot be prepared.
    sqlite3_stmt* prepareCached(std::string_view sql);
    void clearStatementCache();

    sqlite3* m_db = nullptr;
    detail::StatementCache m_statements;
    std::string m_path;
    int m_busyTimeoutMs = kDefaultBusyTimeoutMs;
    std::chrono::steady_clock::time_point m_busySince;
    std::uint64_t m_seenWriteEnds = 0;
    Error m_error;
};

} // namespace ado
