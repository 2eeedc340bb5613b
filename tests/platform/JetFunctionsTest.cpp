#include "AdoTestSupport.h"
#include "support/TempDir.h"

#include <ctime>

namespace
{

using adotest::connectionString;
using adotest::scalar;
using testsupport::TempDir;

class JetFunctionsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        adotest::openNewDatabase(m_connection, m_dir.file("list.mdb"),
                                 {"CREATE TABLE item (title TEXT, link TEXT, createdate DATETIME)"});
    }

    std::string dateDiff(const std::string& arguments)
    {
        return scalar(m_connection, "select DateDiff(" + arguments + ")");
    }

    TempDir m_dir;
    ado::Connection m_connection;
};

TEST_F(JetFunctionsTest, DateDiffCountsBoundariesCrossed)
{
    EXPECT_EQ(dateDiff("'n', '2026-01-01 10:00:59', '2026-01-01 10:01:00'"), "1");
    EXPECT_EQ(dateDiff("'n', '2026-01-01 10:00:00', '2026-01-01 10:00:59'"), "0");
    EXPECT_EQ(dateDiff("'d', '2026-01-01 23:59:00', '2026-01-02 00:00:01'"), "1");
    EXPECT_EQ(dateDiff("'D', '2026-01-02', '2026-01-01'"), "-1");
    EXPECT_EQ(dateDiff("'yyyy', '2025-12-31', '2026-01-01'"), "1");
    EXPECT_EQ(dateDiff("'q', '2026-03-31', '2026-04-01'"), "1");
    EXPECT_EQ(dateDiff("'m', '2025-11-30', '2026-02-01'"), "3");
    EXPECT_EQ(dateDiff("'h', '2026-01-01 10:59:59', '2026-01-01 11:00:00'"), "1");
    EXPECT_EQ(dateDiff("'s', '2026-01-01 10:00:00', '2026-01-01T10:01:02.5'"), "62");
    EXPECT_EQ(dateDiff("'d', '2024-02-28', '2024-03-01'"), "2"); // leap year
    EXPECT_EQ(dateDiff("'w', '2026-01-01', '2026-01-14'"), "1");
    // 2026-01-03 is a Saturday: Sunday starts a week unless told otherwise.
    EXPECT_EQ(dateDiff("'ww', '2026-01-03', '2026-01-04'"), "1");
    EXPECT_EQ(dateDiff("'ww', '2026-01-03', '2026-01-04', 2"), "0");
    EXPECT_EQ(dateDiff("'ww', '2026-01-04', '2026-01-05', 2"), "1");
}

TEST_F(JetFunctionsTest, DateDiffReadsTheDateFormsTheProgramWrites)
{
    EXPECT_EQ(dateDiff("'d', '2026/01/01', '2026-01-03 08:00'"), "2");
    EXPECT_EQ(dateDiff("'d', '01/02/26', '01/03/2026'"), "1"); // the C locale's %x
    EXPECT_EQ(dateDiff("'yyyy', '12/31/99', '2000-01-01'"), "1");
    EXPECT_EQ(dateDiff("'d', NULL, '2026-01-01'"), "");
}

TEST_F(JetFunctionsTest, DateDiffRefusesWhatItCannotRead)
{
    for (const char* arguments : {"'d', '2026-02-30', '2026-03-01'", "'d', 'yesterday', '2026-03-01'",
                                  "'fortnight', '2026-01-01', '2026-03-01'", "'d', 20260101, '2026-03-01'",
                                  "'d', '2026-01-01 25:00', '2026-03-01'"})
    {
        ado::Recordset rows;
        EXPECT_FALSE(m_connection.query(std::string("select DateDiff(") + arguments + ")", rows))
            << arguments;
        EXPECT_EQ(m_connection.lastError().code, ado::kDataTypeMismatch) << arguments;
    }
    // In a condition, a NULL date means "no" rather than an error.
    ASSERT_TRUE(m_connection.execute("insert into item (title) values ('t')"));
    std::int64_t rows = -1;
    ASSERT_TRUE(m_connection.count("select * from item where DateDiff('n', createdate, Now()) > 0", rows));
    EXPECT_EQ(rows, 0);
}

TEST_F(JetFunctionsTest, NowAndDateAreLocalTime)
{
    // Fourteen hours east of UTC: a UTC answer would be far off.
    testsupport::ScopedEnv zone("TZ", "KST-14");
    tzset();
    const std::string now = scalar(m_connection, "select Now()");
    EXPECT_EQ(now.size(), 19u) << now;
    EXPECT_EQ(
        scalar(m_connection, "select abs(strftime('%s', Now()) - strftime('%s', 'now', 'localtime')) <= 1"),
        "1");
    EXPECT_EQ(scalar(m_connection, "select Date() = date(Now())"), "1");
    EXPECT_EQ(scalar(m_connection, "select length(Date())"), "10");
    // date() with arguments is still SQLite's own.
    EXPECT_EQ(scalar(m_connection, "select date('2026-01-02 10:00:00', '+1 day')"), "2026-01-03");
    EXPECT_EQ(scalar(m_connection, "select DateDiff('d', Date(), Now())"), "0");
}

TEST_F(JetFunctionsTest, LikeIgnoresCaseBeyondAscii)
{
    EXPECT_EQ(scalar(m_connection, "select 'É' LIKE 'é'"), "1");
    EXPECT_EQ(scalar(m_connection, "select 'Ölfeld Straße' LIKE 'öl%STRAßE'"), "1");
    EXPECT_EQ(scalar(m_connection, "select 'ЖУРНАЛ' LIKE '%урн%'"), "1");
    EXPECT_EQ(scalar(m_connection, "select 'é' LIKE '_'"), "1"); // one character, two bytes
    EXPECT_EQ(scalar(m_connection, "select 'abc' LIKE 'a_'"), "0");
    EXPECT_EQ(scalar(m_connection, "select 'a%b' LIKE 'a!%b' ESCAPE '!'"), "1");
    EXPECT_EQ(scalar(m_connection, "select 'axb' LIKE 'a!%b' ESCAPE '!'"), "0");
    EXPECT_EQ(scalar(m_connection, "select 'abc' NOT LIKE '%B%'"), "0");
    EXPECT_EQ(scalar(m_connection, "select NULL LIKE 'a'"), "");
    EXPECT_EQ(
        scalar(m_connection, "select 'aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab' LIKE '%a%a%a%a%a%a%a%a%a%c'"),
        "0");
}

TEST_F(JetFunctionsTest, HexPatternsJoinedWithPlusMatchInLike)
{
    ASSERT_TRUE(m_connection.execute("insert into item (title, link) values (" +
                                     adotest::hexLiteral(u"News A") + ", " +
                                     adotest::hexLiteral(u"http://a/?url=x") + ")"));
    // '%'+0x...+'%' with "url=x"
    const std::string urlX = adotest::hexLiteral(u"url=x");
    std::int64_t rows = 0;
    ASSERT_TRUE(
        m_connection.count("select link from item where item.title = " + adotest::hexLiteral(u"News A") +
                               " and item.link LIKE '%'+" + urlX + "+'%'",
                           rows));
    EXPECT_EQ(rows, 1);
    ASSERT_TRUE(m_connection.count(
        "select * from item where title LIKE " + adotest::hexLiteral(u"NEWS") + "+'%'", rows));
    EXPECT_EQ(rows, 1);
    ASSERT_TRUE(
        m_connection.count("select * from item where title LIKE '%'+" + adotest::hexLiteral(u"b"), rows));
    EXPECT_EQ(rows, 0);
}

} // namespace
