#include "DatabaseTestSupport.h"

#include <cstdlib>

namespace
{

using dbtest::connectionString;

class ActiveXDataObjectSelectTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dbtest::createDatabase(m_path,
                               {"CREATE TABLE channel (feed TEXT NOT NULL PRIMARY KEY, title TEXT, "
                                "ttl INTEGER NOT NULL DEFAULT 0, lastupdate DATETIME)",
                                "CREATE TABLE item (id INTEGER PRIMARY KEY AUTOINCREMENT, link TEXT UNIQUE, "
                                "feed TEXT REFERENCES channel(feed), title TEXT DEFAULT 'none')",
                                "INSERT INTO channel (feed, title, ttl) VALUES ('a', 'Alpha', 60)",
                                "INSERT INTO channel (feed, title, ttl) VALUES ('b', NULL, 2)",
                                "INSERT INTO channel (feed, title, ttl) VALUES ('c', 'Gamma', 30)"});
        ASSERT_TRUE(m_db.open(connectionString(m_path).c_str(), "list.mdb", "", ""));
    }

    testsupport::TempDir m_dir;
    std::string m_path = m_dir.file("list.mdb");
    uActiveXDataObjectExt m_db;
};

TEST_F(ActiveXDataObjectSelectTest, SingleValues)
{
    uString out("stale");
    EXPECT_TRUE(m_db.selectString("channel", "title", out, "feed = 'a'"));
    EXPECT_STREQ(out.c_str(), "Alpha");
    EXPECT_TRUE(m_db.selectString("channel", "title", out, "feed = 'b'")); // NULL
    EXPECT_TRUE(out.isEmpty());
    EXPECT_FALSE(m_db.selectString("channel", "ttl", out, "feed = 'a'")); // not text
    EXPECT_EQ(m_db.getErrorCode(), 0);
    EXPECT_FALSE(m_db.selectString("channel", "title", out, "feed = 'x'")); // no row
    EXPECT_EQ(m_db.getErrorCode(), 3);

    int value = 0;
    EXPECT_TRUE(m_db.selectInt("channel", "ttl", &value, "feed = 'a'"));
    EXPECT_EQ(value, 60);
    EXPECT_FALSE(m_db.selectInt("channel", "ttl", &value, "feed = 'x'"));
    EXPECT_EQ(value, -1);
    EXPECT_EQ(m_db.getInt("channel", "title", "feed = 'a'"), 0); // text converts, never pointer bits

    char* copy = m_db.getString("channel", "title", "feed = 'a'");
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "Alpha");
    std::free(copy);
    EXPECT_EQ(m_db.getString("channel", "ttl", "feed = 'a'"), nullptr);

    EXPECT_EQ(m_db.count("channel", "feed", "ttl > 10"), 2);
    EXPECT_EQ(m_db.count("nowhere", "feed", nullptr), 0);
    EXPECT_EQ(m_db.getErrorCode(), 3);
}

TEST_F(ActiveXDataObjectSelectTest, RowsByIndexAndLists)
{
    char buffer[64];
    EXPECT_TRUE(m_db.selectCharsAt("channel", "title", buffer, 2, nullptr));
    EXPECT_STREQ(buffer, "Gamma");
    EXPECT_FALSE(m_db.selectCharsAt("channel", "title", buffer, 3, nullptr));
    EXPECT_STREQ(buffer, "");

    std::list<uString> titles;
    EXPECT_TRUE(m_db.selectStringList("channel", "title", titles, nullptr, "order by feed desc"));
    ASSERT_EQ(titles.size(), 3u);
    EXPECT_STREQ(titles.front().c_str(), "Gamma");
    EXPECT_TRUE(std::next(titles.begin())->isEmpty());
    EXPECT_TRUE(m_db.selectStringList("item", "link", titles, nullptr, nullptr));
    EXPECT_TRUE(titles.empty());

    ASSERT_TRUE(m_db.execute("insert into item (link) values ('l')"));
    ASSERT_TRUE(m_db.execute("update sqlite_sequence set seq = 70000 where name = 'item'"));
    ASSERT_TRUE(m_db.execute("insert into item (link) values ('m')"));
    int* ids = m_db.selectIntArray("item", "id", nullptr, "order by id");
    ASSERT_NE(ids, nullptr);
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[1], 70001); // all 32 bits
    EXPECT_EQ(ids[2], 0);
    EXPECT_EQ(ids[3], 0);
    std::free(ids);
    EXPECT_EQ(m_db.selectIntArray("item", "id", "id < 0", nullptr), nullptr);
}

TEST_F(ActiveXDataObjectSelectTest, SchemaQueries)
{
    EXPECT_TRUE(m_db.tableExists("CHANNEL"));
    EXPECT_TRUE(m_db.tableExists("[item]"));
    EXPECT_FALSE(m_db.tableExists("enclosure"));
    EXPECT_TRUE(m_db.columnExists("channel", "TTL"));
    EXPECT_FALSE(m_db.columnExists("channel", "link"));

    uString key;
    EXPECT_TRUE(m_db.getPrimaryKey("channel", key));
    EXPECT_STREQ(key.c_str(), "feed");
    uString column;
    EXPECT_TRUE(m_db.getAutoIncrementColumn("item", column));
    EXPECT_FALSE(m_db.getAutoIncrementColumn("channel", column));
    EXPECT_TRUE(m_db.isForeignKeyColumn("item", "FEED"));
    EXPECT_EQ(m_db.describeTable("nowhere"), nullptr);

    uString table;
    EXPECT_TRUE(uActiveXDataObject::parseInsertTable("  INSERT INTO [image] (feed) VALUES(1)", table));
    EXPECT_STREQ(table.c_str(), "[image]");
    EXPECT_FALSE(uActiveXDataObject::parseInsertTable("update item set a = 1", table));
    EXPECT_TRUE(table.isEmpty());
}

TEST_F(ActiveXDataObjectSelectTest, DigestAndDate)
{
    char hex[33];
    EXPECT_TRUE(m_db.md5("abc", hex));
    EXPECT_STREQ(hex, "900150983cd24fb0d6963f7d28e17f72");

    char date[32];
    EXPECT_FALSE(m_db.getServerDate(date)) << "false even when read: the buffer tells";
    EXPECT_EQ(std::string(date).size(), 10u);
    EXPECT_EQ(m_db.getErrorCode(), 0);
    const std::string sql =
        std::string("select * from channel where DateDiff('d', '") + date + "', Now()) between 0 and 1";
    EXPECT_EQ(m_db.executeCount(sql.c_str()), 3);
}

} // namespace
