#include "ado/Connection.h"

#include "EngineError.h"
#include "FileHeader.h"
#include "JetFunctions.h"
#include "WriteTurns.h"
#include "ado/Catalog.h"
#include "ado/ConnectionString.h"
#include "ado/JetSql.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <limits>
#include <sqlite3.h>

namespace ado
{

namespace
{
// The longest any statement waits for a lock, whatever its own timeout. Set
// from a signal handler too: a lock-free atomic, constant-initialized.
std::atomic<int> g_busyWaitLimit{std::numeric_limits<int>::max()};
static_assert(std::atomic<int>::is_always_lock_free);

// Finalizes a statement on every path out of a scope.
struct StatementGuard
{
    sqlite3_stmt* statement = nullptr;
    ~StatementGuard() { sqlite3_finalize(statement); }
};

// Resets a cached statement on every path out of a run, so that it holds no
// lock and no copy of its bound texts while it waits in the cache.
struct ResetGuard
{
    sqlite3_stmt* statement = nullptr;
    ~ResetGuard()
    {
        if (statement)
        {
            sqlite3_reset(statement);
            sqlite3_clear_bindings(statement);
        }
    }
};

Value readColumn(sqlite3_stmt* statement, int column)
{
    switch (sqlite3_column_type(statement, column))
    {
    case SQLITE_INTEGER:
        return Value::fromInteger(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
        return Value::fromReal(sqlite3_column_double(statement, column));
    case SQLITE_TEXT:
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        // The length, not strlen: a text may hold NUL bytes.
        return Value::fromText(std::string(text ? text : "", sqlite3_column_bytes(statement, column)));
    }
    case SQLITE_BLOB:
    {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(statement, column));
        return Value::fromBlob(std::string(data ? data : "", sqlite3_column_bytes(statement, column)));
    }
    default:
        return Value::null();
    }
}

// A number as the translator found it written, or a text. The text is not
// copied: it outlives the run, whose end clears every binding (ResetGuard).
int bindParameter(sqlite3_stmt* statement, int index, const std::string& value, ParameterKind kind)
{
    const char* end = value.data() + value.size();
    if (kind == ParameterKind::Integer)
    {
        std::int64_t integer = 0;
        if (std::from_chars(value.data(), end, integer).ptr == end)
            return sqlite3_bind_int64(statement, index, integer);
    }
    else if (kind == ParameterKind::Real)
    {
        double real = 0;
        if (std::from_chars(value.data(), end, real).ptr == end)
            return sqlite3_bind_double(statement, index, real);
    }
    return sqlite3_bind_text64(statement, index, value.data(), value.size(), SQLITE_STATIC, SQLITE_UTF8);
}

bool readPragmaInt(sqlite3* db, const char* sql, std::int64_t& value, int& rc)
{
    StatementGuard guard;
    rc = sqlite3_prepare_v2(db, sql, -1, &guard.statement, nullptr);
    if (rc != SQLITE_OK)
        return false;
    rc = sqlite3_step(guard.statement);
    if (rc != SQLITE_ROW)
        return false;
    value = sqlite3_column_int64(guard.statement, 0);
    rc = SQLITE_OK;
    return true;
}

} // namespace

Connection::Connection() = default;

Connection::~Connection()
{
    close();
}

bool Connection::open(std::string_view connectionString)
{
    close();
    m_error.clear();
    const ConnectionString parts = ConnectionString::parse(connectionString);
    if (!parts.hasDataSource || parts.dataSource.empty())
    {
        m_error = Error::layer(kUnspecifiedError, "The connection string names no Data Source.");
        return false;
    }
    return openFile(parts.dataSource, parts.password);
}

bool Connection::openFile(const std::string& path, const std::string& password)
{
    close();
    m_error.clear();
    // READWRITE without CREATE: a missing file is an error and stays missing.
    const int rc =
        sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_EXRESCODE, nullptr);
    if (rc != SQLITE_OK)
    {
        m_error =
            m_db ? detail::engineError(m_db, rc) : Error::layer(kOutOfMemory, "No connection could be made.");
        close();
        return false;
    }
    m_path = path;
    if (!configure(password))
    {
        close();
        return false;
    }
    return true;
}

bool Connection::configure(const std::string& password)
{
    sqlite3_extended_result_codes(m_db, 1);
    m_busyTimeoutMs = kDefaultBusyTimeoutMs;
    sqlite3_busy_handler(m_db, &Connection::waitWhileBusy, this);
    // Double-quoted text is a name, never a string that happens to match no column.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    int rc = detail::registerJetFunctions(m_db);
    if (rc != SQLITE_OK)
    {
        failFromEngine(rc);
        return false;
    }

    // Reading the header now makes a file that is not a database fail at open,
    // not at the first statement.
    std::int64_t applicationId = 0;
    std::int64_t verifier = 0;
    if (!readPragmaInt(m_db, "PRAGMA application_id", applicationId, rc) ||
        !readPragmaInt(m_db, "PRAGMA user_version", verifier, rc))
    {
        failFromEngine(rc);
        return false;
    }
    // The password is compared, not used as a key: the file is not encrypted.
    // A verifier of 0 means a file without password, which opens with any.
    if (applicationId == detail::kApplicationId && verifier != 0 &&
        static_cast<std::int32_t>(verifier) != passwordVerifier(password))
    {
        m_error = Error::layer(kAuthenticationFailed, "Not a valid password.");
        return false;
    }

    // Many update tasks write one file at once: WAL lets readers go on while
    // one writes. synchronous=NORMAL syncs at checkpoints, not at every commit
    // (an fsync per stored item would make a large refresh take minutes); it
    // survives a killed process, and a power loss can lose only the last commits.
    Recordset mode;
    if (run("PRAGMA journal_mode", Dialect::Native, nullptr, Mode::Query, nullptr, &mode) && mode.field(0) &&
        mode.field(0)->toText() != "wal")
    {
        run("PRAGMA journal_mode=WAL", Dialect::Native, nullptr, Mode::Execute, nullptr, nullptr);
    }
    run("PRAGMA synchronous=NORMAL", Dialect::Native, nullptr, Mode::Execute, nullptr, nullptr);
    // Stores open and close a connection per feed: a checkpoint (and its
    // syncs) at every close would cost more than the store itself. The
    // write-ahead log is checkpointed as it grows, and compaction truncates it.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    m_error.clear(); // a file that cannot switch journal (read-only media) still opens
    return true;
}

void Connection::close()
{
    clearStatementCache();
    if (m_db)
    {
        // Closing inside a transaction rolls it back and frees the file.
        const bool inTransaction = !sqlite3_get_autocommit(m_db);
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        if (inTransaction)
            detail::WriteTurns::instance().announceEnd();
    }
    m_path.clear();
}

void Connection::clearStatementCache()
{
    m_statements.clear();
}

sqlite3_stmt* Connection::prepareCached(std::string_view sql)
{
    if (sqlite3_stmt* kept = m_statements.find(sql))
        return kept;

    sqlite3_stmt* statement = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v3(m_db, sql.data(), static_cast<int>(sql.size()),
                                      SQLITE_PREPARE_PERSISTENT, &statement, &tail);
    if (rc != SQLITE_OK)
    {
        failFromEngine(rc);
        sqlite3_finalize(statement);
        return nullptr;
    }
    if (!statement)
    {
        m_error = Error::layer(kErrorsInCommand, "The statement is empty.");
        return nullptr;
    }
    if (tail &&
        !isBlankSqlTail(std::string_view(tail, static_cast<std::size_t>(sql.data() + sql.size() - tail))))
    {
        sqlite3_finalize(statement);
        m_error = Error::layer(kErrorsInCommand, "Characters found after end of SQL statement.");
        return nullptr;
    }
    m_statements.add(sql, statement);
    return statement;
}

void Connection::failFromEngine(int resultCode)
{
    m_error = detail::engineError(m_db, resultCode);
}

void Connection::setBusyTimeout(int milliseconds)
{
    m_busyTimeoutMs = milliseconds;
}

void Connection::LimitBusyWaits(int milliseconds)
{
    g_busyWaitLimit = milliseconds;
}

int Connection::waitWhileBusy(void* connection, int attempt)
{
    auto* self = static_cast<Connection*>(connection);
    const auto now = std::chrono::steady_clock::now();
    if (attempt == 0)
        self->m_busySince = now;
    const int timeoutMs = std::min(self->m_busyTimeoutMs, g_busyWaitLimit.load());
    if (timeoutMs <= 0 || now - self->m_busySince >= std::chrono::milliseconds(timeoutMs))
        return 0;
    detail::WriteTurns& turns = detail::WriteTurns::instance();
    // A transaction that ended since the statement began may be the one that
    // held the lock: try again at once. Otherwise wait for the next end; a
    // writer of another process sends no news, so look again every few ms.
    const std::uint64_t ended = turns.ended();
    if (ended == self->m_seenWriteEnds)
        turns.waitForEnd(ended, std::chrono::milliseconds(2));
    self->m_seenWriteEnds = turns.ended();
    return 1;
}

std::int64_t Connection::lastInsertRowId() const
{
    return m_db ? sqlite3_last_insert_rowid(m_db) : 0;
}

bool Connection::execute(std::string_view sql, Dialect dialect)
{
    return run(sql, dialect, nullptr, Mode::Execute, nullptr, nullptr);
}

bool Connection::count(std::string_view sql, std::int64_t& rows, Dialect dialect)
{
    rows = 0;
    return run(sql, dialect, nullptr, Mode::Count, &rows, nullptr);
}

bool Connection::query(std::string_view sql, Recordset& rows, Dialect dialect)
{
    return run(sql, dialect, nullptr, Mode::Query, nullptr, &rows);
}

bool Connection::query(std::string_view sql, const std::vector<std::string>& parameters, Recordset& rows)
{
    return run(sql, Dialect::Native, &parameters, Mode::Query, nullptr, &rows);
}

bool Connection::execute(std::string_view sql, const std::vector<std::string>& parameters)
{
    return run(sql, Dialect::Native, &parameters, Mode::Execute, nullptr, nullptr);
}

bool Connection::run(std::string_view sql, Dialect dialect, const std::vector<std::string>* parameters,
                     Mode mode, std::int64_t* rowCount, Recordset* rows)
{
    m_error.clear();
    if (rows)
        rows->close();
    if (!m_db)
    {
        m_error = Error::layer(kUnspecifiedError, "The connection is closed.");
        return false;
    }
    JetTranslation translation;
    const std::vector<ParameterKind>* kinds = nullptr;
    if (dialect == Dialect::Jet)
    {
        translation = translateJetSql(sql);
        if (!translation.error.empty())
        {
            m_error = Error::layer(kErrorsInCommand, translation.error);
            return false;
        }
        sql = translation.sql;
        parameters = &translation.parameters;
        kinds = &translation.kinds;
    }

    ResetGuard guard;
    guard.statement = prepareCached(sql);
    if (!guard.statement)
        return false;
    int rc = SQLITE_OK;
    if (parameters)
    {
        for (std::size_t i = 0; i < parameters->size(); ++i)
        {
            const std::string& value = (*parameters)[i];
            const ParameterKind kind = kinds && i < kinds->size() ? (*kinds)[i] : ParameterKind::Text;
            rc = bindParameter(guard.statement, static_cast<int>(i + 1), value, kind);
            if (rc != SQLITE_OK)
            {
                failFromEngine(rc);
                return false;
            }
        }
    }

    std::vector<Value> values;
    std::int64_t counted = 0;
    // A statement that ends a write transaction (a COMMIT, a ROLLBACK, a
    // write outside BEGIN) lets the writers of this process waiting for the
    // file know at once.
    const bool inTransaction = !sqlite3_get_autocommit(m_db);
    const bool writes = !sqlite3_stmt_readonly(guard.statement);
    m_seenWriteEnds = detail::WriteTurns::instance().ended();
    struct AnnounceEnd
    {
        sqlite3* db;
        bool mayEnd;
        ~AnnounceEnd()
        {
            if (mayEnd && sqlite3_get_autocommit(db))
                detail::WriteTurns::instance().announceEnd();
        }
    } announce{m_db, inTransaction || writes};
    rc = sqlite3_step(guard.statement);
    // Read after the first step: a kept statement is prepared again there
    // when the schema changed, and "*" may now name more columns.
    const int columns = sqlite3_column_count(guard.statement);
    for (; rc == SQLITE_ROW; rc = sqlite3_step(guard.statement))
    {
        ++counted;
        if (mode == Mode::Query)
        {
            for (int c = 0; c < columns; ++c)
                values.push_back(readColumn(guard.statement, c));
        }
    }
    if (rc != SQLITE_DONE)
    {
        failFromEngine(rc);
        return false;
    }
    if (rowCount)
        *rowCount = columns > 0 ? counted : 0;
    if (rows)
    {
        std::vector<std::string> names;
        for (int c = 0; c < columns; ++c)
        {
            const char* name = sqlite3_column_name(guard.statement, c);
            names.emplace_back(name ? name : "");
        }
        rows->assign(std::move(names), std::move(values));
    }
    return true;
}

} // namespace ado
