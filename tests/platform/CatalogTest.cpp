#include "AdoTestSupport.h"
#include "support/TempDir.h"

#include <sqlite3.h>

namespace
{

using adotest::connectionString;
using adotest::createDatabaseWith;
using adotest::openNewDatabase;
using adotest::scalar;
using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;

TEST(CatalogTest, CreateDatabaseMakesAnEmptyProtectedFileAndNeverOverwrites)
{
    TempDir dir;
    const std::string path = dir.file("new.mdb");
    ado::Error error;
    ASSERT_TRUE(ado::createDatabase(connectionString(path, "secret"), error)) << error.description;
    ado::Connection connection;
    EXPECT_TRUE(connection.open(connectionString(path, "secret")));
    EXPECT_TRUE(connection.execute("create table t (a)", ado::Dialect::Native));
    connection.close();
    EXPECT_FALSE(connection.open(connectionString(path, "vurtel")));

    EXPECT_FALSE(ado::createDatabase(connectionString(path, "other"), error));
    EXPECT_TRUE(error.isSet());
    ASSERT_TRUE(connection.open(connectionString(path, "secret")));
    EXPECT_EQ(scalar(connection, "select count(*) from sqlite_schema where name = 't'"), "1");

    EXPECT_FALSE(ado::createDatabase(connectionString(dir.file("no/such/folder.mdb")), error));
    EXPECT_FALSE(ado::createDatabase("Provider=Microsoft.Jet.OLEDB.4.0;", error));
}

TEST(CatalogTest, ANewFileUnderAUsedNameIgnoresTheOldLog)
{
    TempDir dir;
    const std::string path = dir.file("user1.mdb");
    // What a deleted database of the same name may have left behind.
    dir.write("user1.mdb-wal", std::string(8192, '\x5a'));
    dir.write("user1.mdb-shm", std::string(32768, '\x11'));
    ado::Error error;
    ASSERT_TRUE(ado::createDatabase(connectionString(path), error)) << error.description;
    ado::Connection connection;
    ASSERT_TRUE(connection.open(connectionString(path)));
    ASSERT_TRUE(connection.execute("create table t (a)", ado::Dialect::Native));
    EXPECT_EQ(scalar(connection, "pragma integrity_check"), "ok");
}

TEST(CatalogTest, RemoveDatabaseFilesTakesTheCompanionsWithIt)
{
    TempDir dir;
    const std::string path = dir.file("user2.mdb");
    createDatabaseWith(path, {"create table t (a)"});
    ado::Connection holder;
    ASSERT_TRUE(holder.open(connectionString(path)));
    ASSERT_TRUE(holder.execute("insert into t values (1)"));
    EXPECT_TRUE(FileExists(path + "-wal"));
    holder.close();
    dir.write("user2.mdb-journal", "x");
    EXPECT_TRUE(ado::removeDatabaseFiles(path));
    for (const char* name : {"user2.mdb", "user2.mdb-wal", "user2.mdb-shm", "user2.mdb-journal"})
        EXPECT_FALSE(FileExists(dir.file(name))) << name;
    EXPECT_TRUE(ado::removeDatabaseFiles(path)); // nothing there is fine
}

class CompactionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        createDatabaseWith(m_source,
                           {"CREATE TABLE item (id INTEGER PRIMARY KEY AUTOINCREMENT, link TEXT UNIQUE, "
                            "description TEXT)",
                            "CREATE TABLE channel (feed TEXT PRIMARY KEY)"});
        ado::Connection connection;
        ASSERT_TRUE(connection.open(connectionString(m_source)));
        ASSERT_TRUE(connection.execute("insert into channel values ('f')"));
        ASSERT_TRUE(connection.execute(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
            "INSERT INTO item (link, description) SELECT 'l' || i, zeroblob(500) FROM n",
            ado::Dialect::Native));
        ASSERT_TRUE(connection.execute("delete from item where id > 300"));
    }

    TempDir m_dir;
    std::string m_source = m_dir.file("default.mdb");
};

TEST_F(CompactionTest, CompactDatabaseWritesAnIntactCopyWithTheDestinationsPassword)
{
    const std::string copy = m_dir.file("temp0.mdb");
    ado::Error error;
    ASSERT_TRUE(ado::compactDatabase(connectionString(m_source), connectionString(copy, "other"), error))
        << error.description;
    ado::Connection connection;
    EXPECT_FALSE(connection.open(connectionString(copy, "vurtel")));
    ASSERT_TRUE(connection.open(connectionString(copy, "other")));
    EXPECT_EQ(scalar(connection, "pragma integrity_check"), "ok");
    EXPECT_EQ(scalar(connection, "select count(*) from item"), "300");
    EXPECT_EQ(scalar(connection, "select count(*) from channel"), "1");
    EXPECT_EQ(scalar(connection, "select max(id) from item"), "300");
    EXPECT_EQ(scalar(connection, "pragma journal_mode"), "wal");
}

TEST_F(CompactionTest, CompactDatabaseLeavesAnExistingDestinationAlone)
{
    const std::string existing = m_dir.write("temp0.mdb", "not mine");
    ado::Error error;
    EXPECT_FALSE(ado::compactDatabase(connectionString(m_source), connectionString(existing), error));
    EXPECT_TRUE(error.isSet());
    EXPECT_EQ(ReadFileBytes(existing), "not mine");

    // A source that does not open makes no destination.
    EXPECT_FALSE(ado::compactDatabase(connectionString(m_source, "wrong"),
                                      connectionString(m_dir.file("t1.mdb")), error));
    EXPECT_EQ(error.code, ado::kAuthenticationFailed);
    EXPECT_FALSE(FileExists(m_dir.file("t1.mdb")));
}

TEST_F(CompactionTest, CompactInPlaceKeepsAnOpenConnectionWorking)
{
    ado::Connection idle;
    ASSERT_TRUE(idle.open(connectionString(m_source)));
    const std::string pagesBefore = scalar(idle, "pragma page_count");

    ado::Error error;
    ASSERT_TRUE(ado::compactInPlace(connectionString(m_source), 0.1, error)) << error.description;
    EXPECT_LT(std::stoi(scalar(idle, "pragma page_count")), std::stoi(pagesBefore));
    EXPECT_EQ(scalar(idle, "select count(*) from item"), "300");

    // The connection that was open during compaction still writes to the real file.
    ASSERT_TRUE(idle.execute("insert into item (link) values ('after')"));
    idle.close();
    ado::Connection fresh;
    ASSERT_TRUE(fresh.open(connectionString(m_source)));
    EXPECT_EQ(scalar(fresh, "select count(*) from item"), "301");
    EXPECT_EQ(scalar(fresh, "pragma integrity_check"), "ok");
}

TEST_F(CompactionTest, CompactInPlaceGivesUpWhileAnotherConnectionWrites)
{
    ado::Connection writer;
    ASSERT_TRUE(writer.open(connectionString(m_source)));
    ASSERT_TRUE(writer.execute("BEGIN IMMEDIATE", ado::Dialect::Native));
    ASSERT_TRUE(writer.execute("insert into item (link) values ('pending')"));
    ado::Error error;
    EXPECT_FALSE(ado::compactInPlace(connectionString(m_source), 0, error));
    EXPECT_TRUE(error.isBusy()) << error.description;
    ASSERT_TRUE(writer.execute("COMMIT", ado::Dialect::Native));
    EXPECT_EQ(scalar(writer, "select count(*) from item"), "301");
}

TEST(CatalogTest, CopyTableCarriesConstraintsKeysAndIndexes)
{
    TempDir dir;
    ado::Connection connection;
    ASSERT_NO_FATAL_FAILURE(openNewDatabase(
        connection, dir.file("list.mdb"),
        {"CREATE TABLE pair (x INTEGER, y INTEGER, PRIMARY KEY (x, y))",
         "CREATE TABLE item (id INTEGER PRIMARY KEY AUTOINCREMENT, link TEXT NOT NULL UNIQUE, "
         "readstatus INTEGER NOT NULL DEFAULT 0, a INTEGER, b INTEGER, "
         "FOREIGN KEY (a, b) REFERENCES pair (x, y))",
         "CREATE INDEX item_a ON item (a)"}));
    ASSERT_TRUE(ado::copyTable(connection, "archive", "ITEM")) << connection.lastError().description;

    ASSERT_TRUE(connection.execute("insert into archive (link) values ('x')"));
    EXPECT_EQ(scalar(connection, "select id || ',' || readstatus from archive"), "1,0");
    ASSERT_TRUE(connection.execute("delete from archive"));
    ASSERT_TRUE(connection.execute("insert into archive (link) values ('y')"));
    EXPECT_EQ(scalar(connection, "select id from archive"), "2"); // AUTOINCREMENT never reuses an id
    EXPECT_FALSE(connection.execute("insert into archive (link) values ('y')"));
    EXPECT_TRUE(connection.lastError().isDuplicateKey());

    std::vector<ado::ForeignKeyInfo> keys;
    ASSERT_TRUE(connection.foreignKeys("archive", keys));
    ASSERT_EQ(keys.size(), 2u); // both columns of the key
    std::vector<ado::IndexInfo> indexes;
    ASSERT_TRUE(connection.indexes("archive", indexes));
    ASSERT_EQ(indexes.size(), 1u);
    EXPECT_EQ(indexes[0].name, "archive_item_a");

    // A name in use: refused, and nothing is half made.
    EXPECT_FALSE(ado::copyTable(connection, "pair", "item"));
    EXPECT_FALSE(ado::copyTable(connection, "other", "missing"));
    EXPECT_EQ(connection.lastError().code, ado::kItemNotFound);
    bool exists = true;
    ASSERT_TRUE(connection.tableExists("other", exists));
    EXPECT_FALSE(exists);

    EXPECT_TRUE(ado::dropTable(connection, "archive"));
    ASSERT_TRUE(connection.tableExists("archive", exists));
    EXPECT_FALSE(exists);
    EXPECT_FALSE(ado::dropTable(connection, "archive"));
}

} // namespace
