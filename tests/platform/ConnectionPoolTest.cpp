#include "AdoTestSupport.h"
#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <sqlite3.h>
#include <unistd.h>

namespace
{

using adotest::connectionString;
using adotest::createDatabaseWith;
using adotest::scalar;
using testsupport::TempDir;

// How many descriptors of this process name the file (also after its removal).
int OpenDescriptorsOf(const std::string& path)
{
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    {
        char target[4096];
        const ssize_t length = ::readlink(entry.path().c_str(), target, sizeof target - 1);
        if (length <= 0)
            continue;
        const std::string name(target, static_cast<std::size_t>(length));
        if (name == path || name == path + " (deleted)")
            ++count;
    }
    return count;
}

void Checkpoint(const std::string& path)
{
    ado::Connection connection;
    ASSERT_TRUE(connection.open(connectionString(path)));
    ASSERT_TRUE(connection.execute("PRAGMA wal_checkpoint(TRUNCATE)", ado::Dialect::Native));
}

TEST(ConnectionPoolTest, AClosedConnectionServesTheNextOpenerOfTheSameFileWithItsStatements)
{
    TempDir dir;
    const std::string path = dir.file("kept.mdb");
    ASSERT_NO_FATAL_FAILURE(
        createDatabaseWith(path, {"CREATE TABLE t (x TEXT)", "INSERT INTO t VALUES('a')"}));
    std::size_t statements = 0;
    {
        ado::Connection first;
        ASSERT_TRUE(first.open(connectionString(path)));
        EXPECT_EQ(scalar(first, "select x from t"), "a");
        statements = first.cachedStatementCount();
    }
    ado::Connection second;
    ASSERT_TRUE(second.open(connectionString(path)));
    EXPECT_EQ(second.cachedStatementCount(), statements); // the same connection, statements and all
    EXPECT_EQ(scalar(second, "select x from t"), "a");
    second.close();

    // A kept connection never stands in for a password check.
    ado::Connection wrong;
    EXPECT_FALSE(wrong.open(connectionString(path, "other")));
    EXPECT_EQ(wrong.lastError().code, ado::kAuthenticationFailed);
    ado::Connection right;
    EXPECT_TRUE(right.open(connectionString(path)));
}

TEST(ConnectionPoolTest, AFileRemovedOrRewrittenIsNeverServedByAKeptConnection)
{
    TempDir dir;
    const std::string path = dir.file("list.mdb");
    ASSERT_NO_FATAL_FAILURE(
        createDatabaseWith(path, {"CREATE TABLE t (x TEXT)", "INSERT INTO t VALUES('old')"}));
    {
        ado::Connection connection;
        ASSERT_TRUE(connection.open(connectionString(path)));
        EXPECT_EQ(scalar(connection, "select x from t"), "old");
    }
    ASSERT_GT(OpenDescriptorsOf(path), 0); // kept open

    // Removed through the layer: let go of at once, so its space is freed.
    ASSERT_TRUE(ado::removeDatabaseFiles(path));
    EXPECT_EQ(OpenDescriptorsOf(path), 0);
    ASSERT_NO_FATAL_FAILURE(
        createDatabaseWith(path, {"CREATE TABLE t (x TEXT)", "INSERT INTO t VALUES('new')"}));
    {
        ado::Connection connection;
        ASSERT_TRUE(connection.open(connectionString(path)));
        EXPECT_EQ(scalar(connection, "select x from t"), "new");
    }

    // Removed behind the layer's back, then made anew under the same name.
    ASSERT_EQ(::unlink(path.c_str()), 0);
    ::unlink((path + "-wal").c_str());
    ::unlink((path + "-shm").c_str());
    ASSERT_NO_FATAL_FAILURE(
        createDatabaseWith(path, {"CREATE TABLE t (x TEXT)", "INSERT INTO t VALUES('again')"}));
    {
        ado::Connection connection;
        ASSERT_TRUE(connection.open(connectionString(path)));
        EXPECT_EQ(scalar(connection, "select x from t"), "again");
    }

    // Rewritten in place (same file, other bytes), as a copy over it does.
    const std::string other = dir.file("other.mdb");
    ASSERT_NO_FATAL_FAILURE(
        createDatabaseWith(other, {"CREATE TABLE t (x TEXT)", "INSERT INTO t VALUES('copied over')"}));
    ASSERT_NO_FATAL_FAILURE(Checkpoint(other));
    ASSERT_NO_FATAL_FAILURE(Checkpoint(path));
    std::filesystem::copy_file(other, path, std::filesystem::copy_options::overwrite_existing);
    ado::Connection connection;
    ASSERT_TRUE(connection.open(connectionString(path)));
    EXPECT_EQ(scalar(connection, "select x from t"), "copied over");
}

TEST(ConnectionPoolTest, AConnectionClosedInsideATransactionIsNotKept)
{
    TempDir dir;
    const std::string path = dir.file("open.mdb");
    ASSERT_NO_FATAL_FAILURE(createDatabaseWith(path, {"CREATE TABLE t (x TEXT)"}));
    std::size_t statements = 0;
    {
        ado::Connection connection;
        ASSERT_TRUE(connection.open(connectionString(path)));
        ASSERT_TRUE(connection.execute("BEGIN IMMEDIATE"));
        ASSERT_TRUE(connection.execute("INSERT INTO t VALUES('uncommitted')"));
        statements = connection.cachedStatementCount();
    }
    ado::Connection connection;
    ASSERT_TRUE(connection.open(connectionString(path)));
    EXPECT_LT(connection.cachedStatementCount(), statements); // a fresh connection
    EXPECT_EQ(scalar(connection, "select count(*) from t"), "0");
    // Nothing holds the write lock.
    connection.setBusyTimeout(100);
    EXPECT_TRUE(connection.execute("INSERT INTO t VALUES('committed')"));
}

TEST(StatementCacheTest, WhenFullTheStatementUnusedLongestGoes)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    {
        ado::detail::StatementCache cache;
        const auto text = [](std::size_t n) { return "select " + std::to_string(n); };
        for (std::size_t n = 0; n <= ado::detail::StatementCache::kCapacity; ++n)
        {
            sqlite3_stmt* statement = nullptr;
            ASSERT_EQ(sqlite3_prepare_v2(db, text(n).c_str(), -1, &statement, nullptr), SQLITE_OK);
            cache.add(text(n), statement);
            ASSERT_NE(cache.find(text(0)), nullptr); // in use all along
        }
        EXPECT_EQ(cache.size(), ado::detail::StatementCache::kCapacity);
        EXPECT_NE(cache.find(text(0)), nullptr);
        EXPECT_EQ(cache.find(text(1)), nullptr); // the one unused longest
        EXPECT_NE(cache.find(text(ado::detail::StatementCache::kCapacity)), nullptr);
    }
    // Every statement was finalized by the cache: the database closes at once.
    EXPECT_EQ(sqlite3_close(db), SQLITE_OK);
}

} // namespace
