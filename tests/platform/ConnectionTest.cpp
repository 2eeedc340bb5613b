#include "AdoTestSupport.h"
#include "ado/ConnectionString.h"
#include "support/TempDir.h"

#include <atomic>
#include <chrono>
#include <clocale>
#include <limits>
#include <sqlite3.h>
#include <thread>

namespace
{

using adotest::connectionString;
using adotest::createDatabaseWith;
using adotest::openNewDatabase;
using adotest::scalar;
using testsupport::FileExists;
using testsupport::TempDir;

TEST(ConnectionStringTest, ReadsTheJetKeysWhateverTheirCaseAndQuoting)
{
    const auto parts = ado::ConnectionString::parse(
        " provider = Microsoft.Jet.OLEDB.4.0 ; DATA SOURCE=\"/tmp/a;b.mdb\";Extra=1;"
        "Jet OLEDB:Database Password='it''s' ;");
    EXPECT_EQ(parts.provider, "Microsoft.Jet.OLEDB.4.0");
    EXPECT_TRUE(parts.hasDataSource);
    EXPECT_EQ(parts.dataSource, "/tmp/a;b.mdb");
    EXPECT_EQ(parts.password, "it's");
    EXPECT_FALSE(ado::ConnectionString::parse("Provider=x;Jet OLEDB:Database Password=p").hasDataSource);
}

TEST(ConnectionTest, OpeningNeverCreatesAMissingDatabase)
{
    TempDir dir;
    ado::Connection connection;
    EXPECT_FALSE(connection.open(connectionString(dir.file("missing.mdb"))));
    EXPECT_EQ(connection.lastError().code, ado::kUnspecifiedError);
    EXPECT_EQ(connection.lastError().engineCode & 0xFF, SQLITE_CANTOPEN);
    EXPECT_FALSE(connection.isOpen());
    EXPECT_FALSE(FileExists(dir.file("missing.mdb")));
    EXPECT_FALSE(FileExists(dir.file("missing.mdb-wal")));

    EXPECT_FALSE(connection.open("Provider=Microsoft.Jet.OLEDB.4.0;Jet OLEDB:Database Password=vurtel;"));
    EXPECT_NE(connection.lastError().code, 0u);
}

TEST(ConnectionTest, AFileThatIsNoDatabaseFailsAtOpen)
{
    TempDir dir;
    const std::string path = dir.write("text.mdb", std::string(4096, 'x'));
    ado::Connection connection;
    EXPECT_FALSE(connection.open(connectionString(path)));
    EXPECT_EQ(connection.lastError().engineCode & 0xFF, SQLITE_NOTADB);
}

TEST(ConnectionTest, ThePasswordIsChecked)
{
    TempDir dir;
    const std::string path = dir.file("list.mdb");
    createDatabaseWith(path, {"CREATE TABLE t (a)"}, "vurtel");
    ado::Connection connection;
    EXPECT_FALSE(connection.open(connectionString(path, "wrong")));
    EXPECT_EQ(connection.lastError().code, ado::kAuthenticationFailed);
    EXPECT_FALSE(connection.open(connectionString(path, "")));
    EXPECT_TRUE(connection.open(connectionString(path, "vurtel")));

    // A file made without a password opens with any.
    const std::string open = dir.file("open.mdb");
    createDatabaseWith(open, {}, "");
    EXPECT_TRUE(connection.open(connectionString(open, "anything")));
}

TEST(ConnectionTest, ConnectionsUseWriteAheadLogging)
{
    TempDir dir;
    ado::Connection connection;
    ASSERT_NO_FATAL_FAILURE(openNewDatabase(connection, dir.file("list.mdb"), {}));
    EXPECT_EQ(scalar(connection, "PRAGMA journal_mode"), "wal");
    EXPECT_EQ(scalar(connection, "PRAGMA synchronous"), "1"); // NORMAL
}

TEST(ConnectionTest, QueryReadsAllRowsWithTheirTypes)
{
    TempDir dir;
    ado::Connection connection;
    ASSERT_NO_FATAL_FAILURE(
        openNewDatabase(connection, dir.file("list.mdb"),
                        {"CREATE TABLE t (id INTEGER PRIMARY KEY, a INTEGER, b TEXT, c REAL, d BLOB)",
                         "INSERT INTO t (a, b, c, d) VALUES (42, 'x', 2.5, x'0001')",
                         "INSERT INTO t (a, b, c, d) VALUES (NULL, NULL, NULL, NULL)",
                         "INSERT INTO t (a, b, c, d) VALUES (-7, 'z', 1e300, x'')"}));
    ado::Recordset rows;
    ASSERT_TRUE(connection.query("select a, b, c, d from t order by id", rows));
    EXPECT_EQ(rows.recordCount(), 3u);
    EXPECT_EQ(rows.field("B")->toText(), "x");
    EXPECT_EQ(rows.field(3)->bytes, std::string("\0\1", 2));
    EXPECT_EQ(rows.field(4), nullptr);
    rows.moveNext();
    EXPECT_TRUE(rows.field(0)->isNull());
    EXPECT_EQ(rows.field(1)->toText(), "");
    rows.moveNext();
    EXPECT_EQ(rows.field(0)->toText(), "-7");
    rows.moveNext();
    EXPECT_TRUE(rows.eof());
    EXPECT_EQ(rows.field(0), nullptr);

    ASSERT_TRUE(connection.query("select a from t where a > 1000", rows));
    EXPECT_TRUE(rows.eof() && rows.bof());
    EXPECT_EQ(rows.field(0), nullptr);

    std::int64_t count = -1;
    ASSERT_TRUE(connection.count("select * from t where a >= 0", count));
    EXPECT_EQ(count, 1);
    ASSERT_TRUE(connection.count("update t set a = a + 1", count));
    EXPECT_EQ(count, 0) << "changes are not counted";
}

// Statements are kept prepared between runs: what they read must follow the
// file's schema and rows, and a kept statement must not hold the file.
TEST(ConnectionTest, KeptStatementsFollowSchemaChangesAndHoldNoLock)
{
    TempDir dir;
    ado::Connection connection;
    ASSERT_NO_FATAL_FAILURE(openNewDatabase(
        connection, dir.file("list.mdb"),
        {"CREATE TABLE t (id INTEGER PRIMARY KEY, a TEXT)", "INSERT INTO t (a) VALUES ('one')"}));
    const char* const read = "select * from t order by id";
    ado::Recordset rows;
    ASSERT_TRUE(connection.query(read, rows));
    EXPECT_EQ(rows.fieldCount(), 2u);

    ASSERT_TRUE(connection.execute("ALTER TABLE t ADD COLUMN b TEXT DEFAULT 'x'"));
    ASSERT_TRUE(connection.execute("INSERT INTO t (a) VALUES (0x740077006F00)")); // "two"
    ASSERT_TRUE(connection.execute("VACUUM", ado::Dialect::Native));
    ASSERT_TRUE(connection.query(read, rows));
    EXPECT_EQ(rows.fieldCount(), 3u) << "the new column is read";
    EXPECT_EQ(rows.recordCount(), 2u);
    rows.moveNext();
    EXPECT_EQ(rows.field(1)->toText(), "two");
    EXPECT_EQ(rows.field(2)->toText(), "x");

    // Another connection can take the write lock at once after a read.
    ado::Connection other;
    ASSERT_TRUE(other.open(connectionString(dir.file("list.mdb"))));
    other.setBusyTimeout(0);
    EXPECT_TRUE(other.execute("BEGIN EXCLUSIVE", ado::Dialect::Native)) << other.lastError().description;
    EXPECT_TRUE(other.execute("ROLLBACK", ado::Dialect::Native));

    // Compaction by another connection and a new table: the kept statements
    // read the same rows, and a table made meanwhile is found.
    ado::Error compactError;
    ASSERT_TRUE(ado::compactInPlace(connectionString(dir.file("list.mdb")), 0, compactError))
        << compactError.description;
    ASSERT_TRUE(other.execute("CREATE TABLE t2 (a TEXT)", ado::Dialect::Native));
    ASSERT_TRUE(other.execute("INSERT INTO t2 (a) VALUES ('new')", ado::Dialect::Native));
    ASSERT_TRUE(connection.query(read, rows));
    EXPECT_EQ(rows.recordCount(), 2u);
    EXPECT_EQ(scalar(connection, "select a from t2 where a = 0x6E0065007700"), "new");
    EXPECT_EQ(scalar(connection, "select count(*) from t where id > 1"), "1");

    ASSERT_TRUE(connection.execute("DROP TABLE t"));
    EXPECT_FALSE(connection.query(read, rows)) << "a kept statement of a dropped table fails";
}

TEST(ConnectionTest, StatementsThatDifferOnlyInTheirValuesShareOnePreparedStatement)
{
    TempDir dir;
    ado::Connection connection;
    ASSERT_NO_FATAL_FAILURE(
        openNewDatabase(connection, dir.file("list.mdb"), {"CREATE TABLE t (id INTEGER PRIMARY KEY, v, w)"}));
    const std::size_t before = connection.cachedStatementCount();
    for (int i = 1; i <= 20; ++i)
    {
        const std::string insert = "insert into t (v, w) values(" + std::to_string(i * 1000000007LL) + ", " +
                                   adotest::hexLiteral(u"n" + std::u16string(i, u'\u00e9')) + ")";
        ASSERT_TRUE(connection.execute(insert)) << connection.lastError().description;
    }
    ASSERT_TRUE(connection.execute("update t set v = 2.5 where id = 3"));
    // Quoted texts too, quotes inside them included.
    for (const char* text : {"a", "it''s", "x'' or ''1''=''1"})
        ASSERT_TRUE(connection.execute(std::string("update t set w = '") + text + "' where id = 4"));
    EXPECT_EQ(connection.cachedStatementCount(), before + 3);
    EXPECT_EQ(scalar(connection, "select w from t where id = 4"), "x' or '1'='1");
    EXPECT_EQ(scalar(connection, "select count(*) from t where w = 'x'' or ''1''=''1'"), "1");
    // Each value arrives with its own type, as a literal would.
    EXPECT_EQ(scalar(connection, "select typeof(v) || typeof(w) from t where id = 20"), "integertext");
    EXPECT_EQ(scalar(connection, "select v from t where id = 20"), "20000000140");
    EXPECT_EQ(scalar(connection, "select typeof(v) || v from t where id = 3"), "real2.5");
    EXPECT_EQ(scalar(connection, "select count(*) from t where v > 19000000000"), "2");
    EXPECT_EQ(scalar(connection, "select length(w) from t where id = 7"), "8");
}

TEST(ConnectionTest, TextKeepsEmbeddedNulsAndRealsUseAPointInAnyLocale)
{
    TempDir dir;
    ado::Connection connection;
    ASSERT_NO_FATAL_FAILURE(
        openNewDatabase(connection, dir.file("list.mdb"), {"CREATE TABLE t (b TEXT, c REAL)"}));
    ASSERT_TRUE(connection.execute("insert into t (b, c) values (0x410000004200, 2.5)"));
    ado::Recordset rows;
    ASSERT_TRUE(connection.query("select b, c from t", rows));
    EXPECT_EQ(rows.field(0)->bytes, std::string("A\0B", 3));

    const std::string old = std::setlocale(LC_NUMERIC, nullptr);
    const bool comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
    EXPECT_EQ(rows.field(1)->toText(), "2.5");
    std::setlocale(LC_NUMERIC, old.c_str());
    if (!comma)
        GTEST_LOG_(INFO) << "no comma locale installed; checked in the C locale only";
}

TEST(ConnectionTest, ShortHexLiteralsAreStoredAsText)
{
    TempDir dir;
    ado::Connection connection;
    ASSERT_NO_FATAL_FAILURE(
        openNewDatabase(connection, dir.file("list.mdb"), {"CREATE TABLE t (n INTEGER, b TEXT)"}));
    // Without translation SQLite reads up to 16 hex digits as an integer.
    ASSERT_TRUE(connection.execute("insert into t (n, b) values (1, 0x6100)"));
    ASSERT_TRUE(connection.execute("insert into t (n, b) values (2, 0x6100620063006400)"));
    EXPECT_EQ(scalar(connection, "select group_concat(typeof(b) || ':' || b, ',') from t"),
              "text:a,text:abcd");
    EXPECT_EQ(scalar(connection, "select count(*) from t where b = 0x6100"), "1");
}

TEST(ConnectionTest, FailuresCarryCodeSourceAndDescription)
{
    TempDir dir;
    ado::Connection connection;
    ASSERT_NO_FATAL_FAILURE(
        openNewDatabase(connection, dir.file("list.mdb"),
                        {"CREATE TABLE t (a TEXT NOT NULL UNIQUE, b INTEGER NOT NULL DEFAULT 0)"}));

    EXPECT_FALSE(connection.execute("selec * from t"));
    EXPECT_EQ(connection.lastError().code, ado::kErrorsInCommand);
    EXPECT_NE(connection.lastError().description.find("syntax error"), std::string::npos);
    EXPECT_EQ(ado::formatError(connection.lastError()).rfind("Code = 80040e14\nCode meaning = ", 0), 0u);

    ASSERT_TRUE(connection.execute("insert into t (a) values (0x6100)"));
    EXPECT_FALSE(connection.execute("insert into t (a) values (0x6100)"));
    EXPECT_TRUE(connection.lastError().isDuplicateKey());
    EXPECT_FALSE(connection.lastError().isBusy());

    EXPECT_FALSE(connection.execute("insert into t (b) values (1)"));
    EXPECT_EQ(connection.lastError().engineCode, SQLITE_CONSTRAINT_NOTNULL);
    EXPECT_FALSE(connection.lastError().isDuplicateKey());

    EXPECT_FALSE(connection.execute("select 1; select 2"));
    EXPECT_EQ(connection.lastError().description, "Characters found after end of SQL statement.");
    // Native statements are held to one statement too.
    EXPECT_FALSE(connection.execute("select 1; select 2", ado::Dialect::Native));

    EXPECT_TRUE(connection.execute("select 1"));
    EXPECT_FALSE(connection.lastError().isSet());
}

TEST(ConnectionTest, ValueIntegerReadsConvertInsteadOfReinterpreting)
{
    EXPECT_EQ(ado::Value::fromInteger(0x1'0000'0005).toInt32(), 5);
    EXPECT_EQ(ado::Value::fromReal(-2.9).toInt32(), -2);
    EXPECT_EQ(ado::Value::fromReal(1e12).toInt32(), 2147483647);
    EXPECT_EQ(ado::Value::fromText(" 60 minutes").toInt32(), 60);
    EXPECT_EQ(ado::Value::fromText("-12").toInt32(), -12);
    EXPECT_EQ(ado::Value::null().toInt32(), 0);
    EXPECT_EQ(ado::Value::fromReal(0.1).toText(), "0.1");
}

TEST(ConnectionTest, TwoConnectionsOnTwoThreadsLoseNoRow)
{
    TempDir dir;
    const std::string path = dir.file("list.mdb");
    createDatabaseWith(
        path, {"CREATE TABLE item (id INTEGER PRIMARY KEY AUTOINCREMENT, link TEXT NOT NULL UNIQUE)"});
    const auto writer = [&](int thread, int* failures)
    {
        ado::Connection connection;
        if (!connection.open(connectionString(path)))
        {
            *failures = 1000;
            return;
        }
        for (int i = 0; i < 1000; ++i)
        {
            const std::string link = "'http://" + std::to_string(thread) + "/" + std::to_string(i) + "'";
            if (!connection.execute("insert into item (link) values (" + link + ")"))
                ++*failures;
        }
    };
    int failuresA = 0;
    int failuresB = 0;
    std::thread a(writer, 1, &failuresA);
    std::thread b(writer, 2, &failuresB);
    a.join();
    b.join();
    EXPECT_EQ(failuresA, 0);
    EXPECT_EQ(failuresB, 0);
    ado::Connection connection;
    ASSERT_TRUE(connection.open(connectionString(path)));
    EXPECT_EQ(scalar(connection, "select count(*) from item"), "2000");
    EXPECT_EQ(scalar(connection, "pragma integrity_check"), "ok");
}

TEST(ConnectionTest, AWriterWaitsForTheLockWithinItsBusyTimeout)
{
    TempDir dir;
    const std::string path = dir.file("list.mdb");
    ASSERT_NO_FATAL_FAILURE(createDatabaseWith(path, {"CREATE TABLE t (x TEXT)"}));
    ado::Connection holder;
    ASSERT_TRUE(holder.open(connectionString(path)));
    ASSERT_TRUE(holder.execute("BEGIN IMMEDIATE"));
    ASSERT_TRUE(holder.execute("insert into t values('first')"));

    // While the lock is held a writer gives up once its timeout has passed.
    ado::Connection waiter;
    ASSERT_TRUE(waiter.open(connectionString(path)));
    waiter.setBusyTimeout(50);
    EXPECT_FALSE(waiter.execute("insert into t values('refused')"));
    EXPECT_EQ(waiter.lastError().engineCode & 0xFF, SQLITE_BUSY);

    // With time enough it goes on as soon as the holder, on another thread, commits;
    // a rolled-back or closed holder frees the file as well.
    waiter.setBusyTimeout(ado::kDefaultBusyTimeoutMs);
    std::thread commit(
        [&]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            EXPECT_TRUE(holder.execute("COMMIT"));
        });
    EXPECT_TRUE(waiter.execute("insert into t values('second')")) << waiter.lastError().description;
    commit.join();
    ASSERT_TRUE(holder.execute("BEGIN IMMEDIATE"));
    ASSERT_TRUE(holder.execute("insert into t values('dropped')"));
    std::thread close(
        [&]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            holder.close();
        });
    EXPECT_TRUE(waiter.execute("insert into t values('third')")) << waiter.lastError().description;
    close.join();
    EXPECT_EQ(scalar(waiter, "select group_concat(x) from t"), "first,second,third");

    // Once the program is stopping, a writer already waiting gives up soon,
    // while the holder still holds the lock (it lets go in the end: a guard).
    ASSERT_TRUE(holder.open(connectionString(path)));
    ASSERT_TRUE(holder.execute("BEGIN IMMEDIATE"));
    std::atomic<bool> returned{false};
    std::thread stop(
        [&]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ado::Connection::LimitBusyWaits(200);
            for (int i = 0; i < 1000 && !returned; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            holder.execute("ROLLBACK");
        });
    EXPECT_FALSE(waiter.execute("insert into t values('at the stop')"));
    returned = true;
    stop.join();
    ado::Connection::LimitBusyWaits(std::numeric_limits<int>::max());
}

TEST(ConnectionTest, SchemaLookUps)
{
    TempDir dir;
    ado::Connection connection;
    ASSERT_NO_FATAL_FAILURE(
        openNewDatabase(connection, dir.file("list.mdb"),
                        {"CREATE TABLE channel (feed TEXT NOT NULL PRIMARY KEY, title VARCHAR(80), "
                         "ttl INTEGER NOT NULL DEFAULT 0, note TEXT DEFAULT 'it''s', flag BOOLEAN, "
                         "lastupdate DATETIME)",
                         "CREATE TABLE item (id INTEGER PRIMARY KEY, feed TEXT, a INT, b INT, "
                         "FOREIGN KEY (feed) REFERENCES channel(feed) ON DELETE CASCADE, "
                         "FOREIGN KEY (a, b) REFERENCES pair(x, y))",
                         "CREATE INDEX item_feed ON item(feed)"}));
    bool exists = false;
    ASSERT_TRUE(connection.tableExists("CHANNEL", exists));
    EXPECT_TRUE(exists);

    std::vector<ado::ColumnInfo> columns;
    ASSERT_TRUE(connection.columns("Channel", columns));
    ASSERT_EQ(columns.size(), 6u);
    EXPECT_EQ(columns[0].primaryKeyPosition, 1);
    EXPECT_FALSE(columns[0].autoIncrement); // a TEXT key is no rowid alias
    EXPECT_EQ(columns[1].maxLength, 80);
    EXPECT_EQ(columns[3].defaultValue, "it's");
    EXPECT_FALSE(columns[4].hasDefault);

    ASSERT_TRUE(connection.columns("item", columns));
    EXPECT_TRUE(columns[0].autoIncrement);

    std::vector<ado::ForeignKeyInfo> keys;
    ASSERT_TRUE(connection.foreignKeys("item", keys));
    ASSERT_EQ(keys.size(), 3u);
    int cascades = 0;
    for (const auto& key : keys)
        cascades += key.onDelete == "CASCADE" ? 1 : 0;
    EXPECT_EQ(cascades, 1);

    std::vector<ado::IndexInfo> indexes;
    ASSERT_TRUE(connection.indexes("item", indexes));
    ASSERT_EQ(indexes.size(), 1u);
    EXPECT_EQ(indexes[0].name, "item_feed");
}

} // namespace
