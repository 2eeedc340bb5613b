#include "ado/JetSql.h"

#include <gtest/gtest.h>

namespace
{

using ado::translateJetSql;

TEST(JetSqlTest, HexTextLiteralsBecomeNumberedTextParameters)
{
    // "a" and "abcd": short literals SQLite would have read as integers.
    const auto t = translateJetSql("select * from item where title = 0x6100 or link = 0x6100620063006400");
    ASSERT_EQ(t.error, "");
    EXPECT_EQ(t.sql, "select * from item where title = ?1 or link = ?2");
    ASSERT_EQ(t.parameters.size(), 2u);
    EXPECT_EQ(t.parameters[0], "a");
    EXPECT_EQ(t.parameters[1], "abcd");
}

TEST(JetSqlTest, HexDecodingIsUtf16LittleEndianAndLenient)
{
    std::string text;
    ASSERT_TRUE(ado::decodeUtf16Hex("E900", text));
    EXPECT_EQ(text, "\xC3\xA9"); // é
    ASSERT_TRUE(ado::decodeUtf16Hex("3DD800DE", text));
    EXPECT_EQ(text, "\xF0\x9F\x98\x80"); // U+1F600 from its surrogate pair
    ASSERT_TRUE(ado::decodeUtf16Hex("3DD84100", text));
    EXPECT_EQ(text, "\xEF\xBF\xBD"
                    "A"); // a lone high surrogate
    ASSERT_TRUE(ado::decodeUtf16Hex("00DC3DD8", text));
    EXPECT_EQ(text, "\xEF\xBF\xBD\xEF\xBF\xBD"); // a lone low surrogate, a high one at the end
    // Every length of UTF-8 in one text, so that the room set aside holds them all.
    ASSERT_TRUE(ado::decodeUtf16Hex("4100E900AC203DD800DE41003DD8", text));
    EXPECT_EQ(text, "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"
                    "A\xEF\xBF\xBD");
    ASSERT_TRUE(ado::decodeUtf16Hex("410000004200", text));
    EXPECT_EQ(text, std::string("A\0B", 3)); // U+0000 kept
    EXPECT_FALSE(ado::decodeUtf16Hex("410", text));
    EXPECT_FALSE(ado::decodeUtf16Hex("41G0", text));
    EXPECT_TRUE(text.empty()); // nothing half-decoded is left behind

    const auto odd = translateJetSql("select 0x410");
    EXPECT_NE(odd.error, "");
}

TEST(JetSqlTest, QuotedTextAndBracketedNamesAreNotTouched)
{
    // Quoted text is a value: it travels whole as a parameter, nothing in it is
    // read as SQL; a bracketed name stays as written.
    const auto t = translateJetSql(
        "select [image], 'DELETE * FROM x; 0x4100 + ''y''' from [my + table] where a = 'it''s'");
    ASSERT_EQ(t.error, "");
    EXPECT_EQ(t.sql, "select [image], ?1 from [my + table] where a = ?2");
    ASSERT_EQ(t.parameters.size(), 2u);
    EXPECT_EQ(t.parameters[0], "DELETE * FROM x; 0x4100 + 'y'");
    EXPECT_EQ(t.parameters[1], "it's");
    // Outside the statements that handle rows a quoted text stays where it is
    // (SQLite takes no parameter in a table's definition).
    const auto create = translateJetSql("create table t (a text default 'x')");
    EXPECT_EQ(create.sql, "create table t (a text default 'x')");
    EXPECT_TRUE(create.parameters.empty());
}

TEST(JetSqlTest, DoubleQuotedStringsAreTextParameters)
{
    const auto t = translateJetSql("update channel set title=\"say \"\"hi\"\"\" where feed = 'f'");
    ASSERT_EQ(t.error, "");
    EXPECT_EQ(t.sql, "update channel set title=?1 where feed = ?2");
    ASSERT_EQ(t.parameters.size(), 2u);
    EXPECT_EQ(t.parameters[0], "say \"hi\"");
    EXPECT_EQ(t.parameters[1], "f");
}

TEST(JetSqlTest, DeleteStarLosesTheStar)
{
    EXPECT_EQ(translateJetSql("delete * from icon where feed = 'x'").sql,
              "delete  from icon where feed = ?1");
    EXPECT_EQ(translateJetSql("DELETE e.* FROM enclosure AS e").sql, "DELETE  FROM enclosure AS e");
    // A star elsewhere is multiplication and stays.
    EXPECT_EQ(translateJetSql("delete from t where a * 2 = 4").sql, "delete from t where a * 2 = ?1");
}

TEST(JetSqlTest, QualifiedSetTargetsLoseTheirQualifierButConditionsKeepIt)
{
    EXPECT_EQ(translateJetSql("update channel set channel.feed='b' where channel.feed = 'a'").sql,
              "update channel set feed=?1 where channel.feed = ?2");
    EXPECT_EQ(translateJetSql("UPDATE item SET item.link='l', item.description=(select x.y from x), "
                              "[item].[pubdate]='d' WHERE item.title = 't'")
                  .sql,
              "UPDATE item SET link=?1, description=(select x.y from x), [pubdate]=?2 WHERE item.title = ?3");
}

TEST(JetSqlTest, PlusNextToTextBecomesConcatenation)
{
    const auto like = translateJetSql("select * from item where link LIKE '%'+0x6100+'%'");
    EXPECT_EQ(like.sql, "select * from item where link LIKE ?1||?2||?3");
    EXPECT_EQ(like.parameters, (std::vector<std::string>{"%", "a", "%"}));
    EXPECT_EQ(translateJetSql("select 0x6100+'%', '%'+0x6100, title + 'x'").sql,
              "select ?1||?2, ?3||?4, title || ?5");
    // Numbers still add, and a sign stays a sign.
    EXPECT_EQ(translateJetSql("select ttl + 1, -1 + 2 from channel where ttl > +5").sql,
              "select ttl + 1, -1 + 2 from channel where ttl > +5");
    EXPECT_EQ(translateJetSql("select + 'a'").sql, "select + ?1");
}

TEST(JetSqlTest, NumbersThatCarryValuesBecomeParametersOfTheirKind)
{
    auto t = translateJetSql("update item set attributes=5 where link = 0x6100");
    EXPECT_EQ(t.sql, "update item set attributes=?1 where link = ?2");
    EXPECT_EQ(t.parameters, (std::vector<std::string>{"5", "a"}));
    EXPECT_EQ(t.kinds,
              (std::vector<ado::ParameterKind>{ado::ParameterKind::Integer, ado::ParameterKind::Text}));
    t = translateJetSql("insert into e (a, b, c) values(1, 2.5, -3)");
    EXPECT_EQ(t.sql, "insert into e (a, b, c) values(?1, ?2, -3)");
    EXPECT_EQ(t.kinds,
              (std::vector<ado::ParameterKind>{ado::ParameterKind::Integer, ado::ParameterKind::Real}));

    // Column ordinals, statements that define things and malformed numbers stay as written.
    EXPECT_EQ(translateJetSql("select a from t where x > 3 order by 2, lower(b), 1 limit 10").sql,
              "select a from t where x > ?1 order by 2, lower(b), 1 limit 10");
    EXPECT_EQ(translateJetSql("select a from t group by 1 having count(*) > 2").sql,
              "select a from t group by 1 having count(*) > ?1");
    EXPECT_EQ(translateJetSql("select (select b from u order by 1), 4 from t").sql,
              "select (select b from u order by 1), ?1 from t");
    EXPECT_EQ(translateJetSql("CREATE TABLE t (a VARCHAR(80) DEFAULT 0)").sql,
              "CREATE TABLE t (a VARCHAR(80) DEFAULT 0)");
    EXPECT_EQ(translateJetSql("select * from t where a = 12abc").sql, "select * from t where a = 12abc");
}

TEST(JetSqlTest, RefusesWhatWouldBeMisreadOrSmuggled)
{
    EXPECT_EQ(translateJetSql("select 1; select 2").error, "Characters found after end of SQL statement.");
    EXPECT_EQ(translateJetSql("select 1; ; -- done").error, "");
    EXPECT_NE(translateJetSql("select * from t where a = ?").error, "");
    EXPECT_NE(translateJetSql("select * from t where a = :name").error, "");
    EXPECT_NE(translateJetSql("select 'open").error, "");
    EXPECT_NE(translateJetSql("select [open").error, "");
}

TEST(JetSqlTest, RenameCreateStatementReplacesOnlyTheDefinedNames)
{
    std::string out;
    ASSERT_TRUE(ado::renameCreateStatement("CREATE TABLE item (id INTEGER, item TEXT)", "copy", "", out));
    EXPECT_EQ(out, "CREATE TABLE \"copy\" (id INTEGER, item TEXT)");
    ASSERT_TRUE(ado::renameCreateStatement("CREATE TABLE IF NOT EXISTS main.[item](a)", "n\"q", "", out));
    EXPECT_EQ(out, "CREATE TABLE IF NOT EXISTS \"n\"\"q\"(a)");
    ASSERT_TRUE(ado::renameCreateStatement("CREATE UNIQUE INDEX item_feed ON item(feed)", "copy_item_feed",
                                           "copy", out));
    EXPECT_EQ(out, "CREATE UNIQUE INDEX \"copy_item_feed\" ON \"copy\"(feed)");
    EXPECT_FALSE(ado::renameCreateStatement("CREATE VIEW v AS SELECT 1", "w", "", out));
}

} // namespace

namespace
{
// UTF-16LE hex of a UTF-8 text made of the code points given, in upper or lower case.
std::string HexOfUnits(const std::vector<char16_t>& units, bool lowerCase)
{
    const char* digits = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    std::string hex;
    for (const char16_t unit : units)
    {
        for (const unsigned byte : {unit & 0xFFu, (unit >> 8) & 0xFFu})
        {
            hex.push_back(digits[byte >> 4]);
            hex.push_back(digits[byte & 0xF]);
        }
    }
    return hex;
}
} // namespace

TEST(JetSqlTest, LongTextsDecodeAlikeWhereverTheirOtherUnitsFall)
{
    // Long ASCII runs are decoded in blocks: a unit that is not ASCII (or only
    // looks it in its low byte) must come out right at every place in a block.
    const std::vector<std::pair<std::vector<char16_t>, std::string>> others = {
        {{0x00E9}, "\xC3\xA9"},     {{0x0080}, "\xC2\x80"},
        {{0x0141}, "\xC5\x81"}, // low byte 'A'
        {{0x20AC}, "\xE2\x82\xAC"}, {{0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
        {{0xDC00}, "\xEF\xBF\xBD"},
    };
    for (const auto& [units, utf8] : others)
    {
        for (std::size_t at = 0; at <= 40; ++at)
        {
            std::vector<char16_t> text;
            std::string expected;
            for (std::size_t i = 0; i < 40; ++i)
            {
                if (i == at)
                {
                    text.insert(text.end(), units.begin(), units.end());
                    expected += utf8;
                }
                text.push_back(static_cast<char16_t>('a' + i % 26));
                expected.push_back(static_cast<char>('a' + i % 26));
            }
            if (at == 40)
            {
                text.insert(text.end(), units.begin(), units.end());
                expected += utf8;
            }
            for (const bool lowerCase : {false, true})
            {
                std::string decoded;
                ASSERT_TRUE(ado::decodeUtf16Hex(HexOfUnits(text, lowerCase), decoded)) << at;
                EXPECT_EQ(decoded, expected) << "other unit at " << at;
            }
        }
    }
    // A digit that is not hex is refused wherever it falls.
    const std::string hex = HexOfUnits(std::vector<char16_t>(24, u'x'), false);
    for (std::size_t at = 0; at < hex.size(); ++at)
    {
        for (const char bad : {'g', 'G', '/', ':', '@', '`', '\x80'})
        {
            std::string broken = hex;
            broken[at] = bad;
            std::string decoded;
            EXPECT_FALSE(ado::decodeUtf16Hex(broken, decoded)) << at << " " << bad;
        }
    }
}
