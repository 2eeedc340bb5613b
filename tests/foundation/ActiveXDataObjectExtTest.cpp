#include "DatabaseTestSupport.h"

namespace
{

using dbtest::connectionString;
using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;

int rows(uActiveXDataObjectExt& db, const char* table)
{
    return db.count(table, "*", nullptr);
}

std::string integrity(uActiveXDataObjectExt& db)
{
    uString out;
    return db.selectString("pragma_integrity_check", "*", out, nullptr) ? out.c_str() : "<failed>";
}

TEST(ActiveXDataObjectExtTest, CreateDatabaseWithItsPassword)
{
    TempDir dir;
    const std::string path = dir.file("user1.mdb");
    ASSERT_TRUE(uActiveXDataObjectExt::createDatabase(connectionString(path).c_str()));
    uActiveXDataObjectExt db;
    EXPECT_TRUE(db.open(connectionString(path).c_str(), "user1.mdb", "", ""));
    EXPECT_FALSE(db.open(connectionString(path, "guess").c_str(), "user1.mdb", "", ""));
    EXPECT_EQ(db.getErrorCode(), 1);

    testing::internal::CaptureStdout();
    EXPECT_FALSE(uActiveXDataObjectExt::createDatabase(connectionString(path, "other").c_str()));
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(db.open(connectionString(path).c_str(), "user1.mdb", "", "")) << "never overwritten";
}

class ActiveXDataObjectExtCompactTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dbtest::createDatabase(m_path, {"CREATE TABLE item (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                        "link TEXT NOT NULL UNIQUE, description TEXT)",
                                        "CREATE TABLE channel (feed TEXT PRIMARY KEY)",
                                        "INSERT INTO channel VALUES ('f')"});
        uActiveXDataObjectExt db;
        ASSERT_TRUE(db.open(connectionString(m_path).c_str(), "default.mdb", "", ""));
        for (int i = 0; i < 500; ++i)
        {
            const std::string sql = "insert into item (link, description) values ('l" + std::to_string(i) +
                                    "', '" + std::string(400, 'd') + "')";
            ASSERT_TRUE(db.execute(sql.c_str()));
        }
        ASSERT_TRUE(db.execute("delete * from item where id > 100"));
    }

    TempDir m_dir;
    std::string m_path = m_dir.file("default.mdb");
};

TEST_F(ActiveXDataObjectExtCompactTest, CompactDatabaseMakesAnIntactCopy)
{
    const std::string copy = m_dir.file("temp0.mdb");
    ASSERT_TRUE(uActiveXDataObjectExt::compactDatabase(connectionString(m_path).c_str(),
                                                       connectionString(copy, "new").c_str()));
    uActiveXDataObjectExt db;
    EXPECT_FALSE(db.open(connectionString(copy).c_str(), "temp0.mdb", "", ""));
    ASSERT_TRUE(db.open(connectionString(copy, "new").c_str(), "temp0.mdb", "", ""));
    EXPECT_EQ(integrity(db), "ok");
    EXPECT_EQ(rows(db, "item"), 100);
    EXPECT_EQ(rows(db, "channel"), 1);

    // An existing destination is refused and left as it was, silently.
    testing::internal::CaptureStdout();
    EXPECT_FALSE(uActiveXDataObjectExt::compactDatabase(
        connectionString(m_path).c_str(), connectionString(m_dir.write("taken.mdb", "mine")).c_str()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(ReadFileBytes(m_dir.file("taken.mdb")), "mine");
}

TEST(ActiveXDataObjectExtTest, CreateAndDeleteTable)
{
    TempDir dir;
    const std::string path = dir.file("list.mdb");
    dbtest::createDatabase(path,
                           {"CREATE TABLE item (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                            "link TEXT NOT NULL UNIQUE, readstatus INTEGER NOT NULL DEFAULT 0, feed TEXT)",
                            "CREATE INDEX item_feed ON item(feed)"});
    uActiveXDataObjectExt db;
    ASSERT_TRUE(db.open(connectionString(path).c_str(), "list.mdb", "", ""));
    ASSERT_TRUE(db.createTable("archive", "item")) << db.getErrorText().c_str();
    // A failed copy reports through the message only.
    EXPECT_FALSE(db.createTable("archive", "item"));
    EXPECT_EQ(db.getErrorCode(), 0);
    EXPECT_NE(std::string(db.getErrorText().c_str()).find("already exists"), std::string::npos);

    EXPECT_TRUE(db.execute("insert into archive (link) values ('x')"));
    EXPECT_FALSE(db.execute("insert into archive (link) values ('x')"));
    EXPECT_TRUE(db.isDuplicateKey());

    EXPECT_TRUE(db.deleteTable("ARCHIVE"));
    EXPECT_FALSE(db.tableExists("archive"));
    EXPECT_FALSE(db.deleteTable("archive"));

    // The base class creates the same copy and sets code 3 on failure.
    uActiveXDataObject base;
    ASSERT_TRUE(base.open(connectionString(path).c_str(), "list.mdb", "", ""));
    EXPECT_TRUE(base.createTable("copy", "item"));
    EXPECT_FALSE(base.createTable("copy", "item"));
    EXPECT_EQ(base.getErrorCode(), 3);
    EXPECT_TRUE(base.deleteTable("copy"));
}

TEST(ActiveXDataObjectExtTest, CounterColumnsAreNumberedAndReportedAsTheInsertId)
{
    TempDir dir;
    const std::string path = dir.file("list.mdb");
    dbtest::createDatabase(path, {"CREATE TABLE a (id COUNTER, name TEXT)",
                                  "CREATE TABLE b ([id] AUTOINCREMENT(1, 1) NOT NULL, name TEXT, "
                                  "CONSTRAINT pk PRIMARY KEY ([id]))",
                                  "CREATE TABLE c (name TEXT, id counter PRIMARY KEY)"});
    uActiveXDataObjectExt db;
    ASSERT_TRUE(db.open(connectionString(path).c_str(), "list.mdb", "", ""));
    for (const char* table : {"a", "b", "c"})
    {
        const std::string insert = std::string("insert into ") + table + " (name) values ('x')";
        EXPECT_EQ(db.executeInsert(insert.c_str()), 1) << table;
        EXPECT_EQ(db.executeInsert(insert.c_str()), 2) << table;
        uString column;
        EXPECT_TRUE(db.getAutoIncrementColumn(table, column)) << table;
        EXPECT_STREQ(column.c_str(), "id");
        // Numbers are not used again after a delete, as Jet's are not.
        const std::string remove = std::string("delete * from ") + table + " where id = 2";
        EXPECT_TRUE(db.execute(remove.c_str()));
        EXPECT_EQ(db.executeInsert(insert.c_str()), 3) << table;
    }

    // What SQLite cannot number is refused, never made as a plain column.
    for (const char* refused :
         {"CREATE TABLE d (id COUNTER, n COUNTER)", "CREATE TABLE d (id COUNTER, k TEXT PRIMARY KEY)",
          "CREATE TABLE d (id COUNTER, k TEXT, PRIMARY KEY (id, k))", "CREATE TABLE d (id COUNTER(100, 5))",
          "ALTER TABLE a ADD COLUMN n COUNTER"})
    {
        EXPECT_FALSE(db.execute(refused)) << refused;
        EXPECT_EQ(db.getErrorCode(), 3) << refused;
    }
    EXPECT_FALSE(db.tableExists("d"));
}

TEST(ActiveXDataObjectExtTest, RemoveDatabaseFiles)
{
    TempDir dir;
    const std::string path = dir.file("user3.mdb");
    dbtest::createDatabase(path, {"create table t (a)"});
    dir.write("user3.mdb-wal", "stale");
    EXPECT_TRUE(uActiveXDataObjectExt::removeDatabaseFiles(path.c_str()));
    EXPECT_FALSE(FileExists(path));
    EXPECT_FALSE(FileExists(path + "-wal"));
    EXPECT_FALSE(uActiveXDataObjectExt::removeDatabaseFiles(""));
}

} // namespace
