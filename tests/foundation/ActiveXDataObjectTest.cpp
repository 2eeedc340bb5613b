#include "DatabaseTestSupport.h"

#include <regex>
#include <thread>

namespace
{

using dbtest::connectionString;
using testsupport::FileExists;
using testsupport::TempDir;

const std::regex kEngineErrorText("Code = [0-9a-f]{8}\nCode meaning = .+\nSource = .+\nDescription = .+");

class ActiveXDataObjectTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dbtest::createDatabase(
            m_path, {"CREATE TABLE item (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                     "title TEXT, link TEXT NOT NULL UNIQUE, readstatus INTEGER NOT NULL DEFAULT 0)",
                     "INSERT INTO item (title, link) VALUES ('one', 'l1')",
                     "INSERT INTO item (title, link, readstatus) VALUES (NULL, 'l2', 1)",
                     "INSERT INTO item (title, link) VALUES ('three', 'l3')"});
    }

    bool open() { return m_db.open(connectionString(m_path).c_str(), "list.mdb", "", ""); }

    TempDir m_dir;
    std::string m_path = m_dir.file("list.mdb");
    uActiveXDataObjectExt m_db;
};

TEST_F(ActiveXDataObjectTest, OpeningFailuresAndTheirCodes)
{
    const std::string missing = m_dir.file("missing.mdb");
    EXPECT_FALSE(m_db.open(connectionString(missing).c_str(), "missing.mdb", "", ""));
    EXPECT_EQ(m_db.getErrorCode(), 1);
    EXPECT_FALSE(m_db.isConnected());
    EXPECT_FALSE(FileExists(missing));

    EXPECT_FALSE(m_db.open(connectionString(m_path, "wrong").c_str(), "list.mdb", "", ""));
    EXPECT_EQ(m_db.getErrorCode(), 1);
    const std::string text = m_db.getErrorText().c_str();
    EXPECT_TRUE(std::regex_match(text, std::regex("Can not open connection:\nCode = [0-9a-f]{8}\n(.|\n)*")))
        << text;

    EXPECT_FALSE(m_db.open(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(m_db.getErrorCode(), 2);

    // A statement on an object that cannot connect keeps connect's code.
    EXPECT_FALSE(m_db.execute("select 1"));
    EXPECT_EQ(m_db.getErrorCode(), 1);
}

TEST_F(ActiveXDataObjectTest, StatementsReconnectAfterClose)
{
    ASSERT_TRUE(open());
    m_db.close();
    EXPECT_FALSE(m_db.isConnected());
    EXPECT_TRUE(m_db.execute("update item set readstatus = 1"));
    EXPECT_TRUE(m_db.isConnected());
}

TEST_F(ActiveXDataObjectTest, WalkingTheRowsOfAQuery)
{
    ASSERT_TRUE(open());
    ASSERT_TRUE(m_db.query("select title, readstatus, id * 1.25 from item order by id"));
    uString value;
    std::vector<std::string> titles;
    std::vector<bool> moves;
    do
    {
        ASSERT_TRUE(m_db.getFieldString(0, value));
        titles.push_back(value.c_str());
        moves.push_back(m_db.moveNext());
    } while (moves.back());
    EXPECT_EQ(titles, (std::vector<std::string>{"one", "", "three"}));
    EXPECT_EQ(moves, (std::vector<bool>{true, true, false}));
    EXPECT_FALSE(m_db.getFieldString(0, value));

    ASSERT_TRUE(m_db.query("select title, readstatus, id * 1.25 from item where id = 2"));
    ASSERT_TRUE(m_db.getFieldString(2, value));
    EXPECT_STREQ(value.c_str(), "2.5");
    EXPECT_FALSE(m_db.getFieldString(3, value));
    EXPECT_EQ(m_db.getErrorCode(), 3);
    EXPECT_TRUE(std::regex_match(m_db.getErrorText().c_str(), kEngineErrorText));

    // Any other statement closes the rows of a query.
    ASSERT_TRUE(m_db.query("select title from item"));
    EXPECT_TRUE(m_db.execute("select 1"));
    EXPECT_FALSE(m_db.getFieldString(0, value));
}

TEST_F(ActiveXDataObjectTest, CountsFailuresAndDuplicates)
{
    ASSERT_TRUE(open());
    EXPECT_EQ(m_db.executeCount("SELECT * FROM item where readstatus=0"), 2);
    EXPECT_EQ(m_db.executeCount("UPDATE item SET readstatus=1 WHERE readstatus=0"), 0);
    EXPECT_EQ(m_db.getErrorCode(), 0);

    EXPECT_FALSE(m_db.execute("selec * from item"));
    EXPECT_EQ(m_db.getErrorCode(), 3);
    EXPECT_TRUE(std::regex_match(m_db.getErrorText().c_str(), kEngineErrorText))
        << m_db.getErrorText().c_str();
    EXPECT_FALSE(m_db.isDuplicateKey());

    EXPECT_FALSE(m_db.execute("insert into item (title, link) values (0x7800, 0x6C003100)")); // "l1" again
    EXPECT_EQ(m_db.getErrorCode(), 3);
    EXPECT_TRUE(m_db.isDuplicateKey());

    EXPECT_TRUE(m_db.execute("select 1"));
    EXPECT_EQ(m_db.getErrorCode(), 0);
    EXPECT_FALSE(m_db.isDuplicateKey());
    EXPECT_FALSE(m_db.execute(nullptr));
    EXPECT_EQ(m_db.getErrorCode(), 0);
}

TEST_F(ActiveXDataObjectTest, UpdatesAndInsertIds)
{
    ASSERT_TRUE(open());
    EXPECT_TRUE(m_db.updateString("item", "title", "it's", "link = 'l1'"));
    uString title;
    ASSERT_TRUE(m_db.selectString("item", "title", title, "link = 'l1'"));
    EXPECT_STREQ(title.c_str(), "it's");
    EXPECT_TRUE(m_db.updateInt("item", "readstatus", 60, "link = 'l1'"));
    EXPECT_EQ(
        m_db.executeCount("select * from item where typeof(readstatus) = 'integer' and readstatus = 60"), 1);

    EXPECT_EQ(m_db.executeInsert("  INSERT INTO item (link) VALUES ('l4')"), 4);
    EXPECT_EQ(m_db.getLastInsertId(), 4);
    EXPECT_EQ(m_db.executeInsert("update item set readstatus = 0"), 0);
}

TEST_F(ActiveXDataObjectTest, TwoObjectsOnTwoThreadsLoseNothingWhileTheFileIsCompacted)
{
    const auto writer = [this](const char* prefix, int* stored)
    {
        uActiveXDataObjectExt db;
        if (!db.open(connectionString(m_path).c_str(), "list.mdb", "", ""))
            return;
        for (int i = 0; i < 1000; ++i)
        {
            const std::string sql =
                std::string("insert into item (link) values ('") + prefix + std::to_string(i) + "')";
            *stored += db.execute(sql.c_str()) ? 1 : 0;
        }
    };
    int storedA = 0;
    int storedB = 0;
    std::thread a(writer, "a", &storedA);
    std::thread b(writer, "b", &storedB);
    for (int i = 0; i < 5; ++i)
        uActiveXDataObjectExt::compactInPlace(connectionString(m_path).c_str(), 0); // may give up while busy
    a.join();
    b.join();
    EXPECT_EQ(storedA, 1000);
    EXPECT_EQ(storedB, 1000);
    ASSERT_TRUE(open());
    EXPECT_EQ(m_db.executeCount("select * from item"), 2003);
    uString check;
    ASSERT_TRUE(m_db.query("pragma integrity_check"));
    ASSERT_TRUE(m_db.getFieldString(0, check));
    EXPECT_STREQ(check.c_str(), "ok");
}

} // namespace
