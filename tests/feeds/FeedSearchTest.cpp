#include "StoredChannelFixture.h"
#include "feeds/FeedSearchCriteria.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

namespace
{

using namespace storedchannel;
using liststore::Execute;
using liststore::InsertEnclosure;

class FeedSearchTest : public StoredChannel
{
protected:
    FeedSearchTest()
    {
        // link, title, description, author, category
        const char* const rows[][5] = {
            {"http://s.test/1", "Alpha news", "nothing", "Ann", "World"},
            {"http://s.test/2", "Beta news", "about alpha", "Bob", "Local"},
            {"http://s.test/3", "Alpha Beta", "both", "Cid", "alpha"},
            {"http://s.test/4", "Gamma", "alpha beta together", "alpha", "Sport"},
            {"http://s.test/5", "Été à Paris", "café", "Zoë", "Voyage"},
            {"http://s.test/6", "Alpha deleted", "x", "Dee", "World"},
        };
        for (const auto& row : rows)
        {
            uString sql;
            sql.format(
                "insert into item (feed, title, link, description, author, category, attributes, createdate) "
                "values(%s,%s,%s,%s,%s,%s,0,Date())",
                SqlHexLiteral("http://s.test/feed").c_str(), SqlHexLiteral(row[1]).c_str(),
                SqlHexLiteral(row[0]).c_str(), SqlHexLiteral(row[2]).c_str(), SqlHexLiteral(row[3]).c_str(),
                SqlHexLiteral(row[4]).c_str());
            Execute(store, sql);
        }
        Execute(store, "update item set attributes = -1 where link = 'http://s.test/6'");
        Execute(store, "update item set readstatus = 1 where link = 'http://s.test/1'");
        Execute(store, "update item set createdate = '2024-03-01' where link = 'http://s.test/1'");
        Execute(store, "update item set createdate = '2024-03-10' where link = 'http://s.test/3'");
        Execute(store, "update item set createdate = '2024-03-11' where link = 'http://s.test/4'");
        InsertEnclosure(store, "http://s.test/2", "http://s.test/2.mp3", "audio/mpeg");
        store.SetEnclosureFile("http://s.test/2", "My Music/Beta Show/alpha beta.mp3", 5, nullptr);
    }

    // The numbers of the items found, as "1 3".
    std::string Find(const char* phrase, int field, int mode = 0, const char* condition = "",
                     const char* start = "", const char* end = "")
    {
        CFeedSearchCriteria criteria;
        criteria.listName = "default.mdb";
        criteria.phrase = phrase;
        criteria.field = field;
        criteria.matchMode = mode;
        criteria.condition = condition;
        criteria.startDate = start;
        criteria.endDate = end;
        store.items.clear();
        const int count = store.OpenSearch(criteria);
        store.LoadSearchResults(criteria, true);
        std::set<std::string> found;
        for (const CItemRecord& item : store.items)
        {
            EXPECT_EQ(S(item.database), "default.mdb");
            found.insert(S(item.link).substr(std::string("http://s.test/").size()));
        }
        EXPECT_EQ(count, static_cast<int>(store.items.size())) << "the count matches the list for " << phrase;
        std::string text;
        for (const std::string& number : found)
            text += (text.empty() ? "" : " ") + number;
        return text;
    }
};

TEST_F(FeedSearchTest, WordsFieldsModesConditionsAndDates)
{
    using C = CFeedSearchCriteria;
    EXPECT_EQ(Find("alpha or beta", C::kTitle), "1 2 3");
    EXPECT_EQ(Find("alpha beta", C::kTitle), "3");
    EXPECT_EQ(Find("\"alpha beta\"", C::kAnyField), "3 4");
    EXPECT_EQ(Find("or", C::kTitle), "") << "a leading or is a word";
    EXPECT_EQ(Find("alpha", C::kAnyField), "1 2 3 4");
    EXPECT_EQ(Find("alpha", C::kTitleAndDescription), "1 2 3 4");
    EXPECT_EQ(Find("alpha", C::kDescription), "2 4");
    EXPECT_EQ(Find("ALPHA", C::kAuthor), "4");
    EXPECT_EQ(Find("alpha", C::kCategory), "3");
    EXPECT_EQ(Find("alpha", C::kTitle, C::kStartsWith), "1 3");
    EXPECT_EQ(Find("news", C::kTitle, C::kEndsWith), "1 2");
    EXPECT_EQ(Find("été", C::kTitle), "5") << "case ignored beyond ASCII";
    EXPECT_EQ(Find("ÉTÉ À", C::kTitle), "5");
    EXPECT_EQ(Find("CAFÉ", C::kDescription), "5");
    EXPECT_EQ(Find("alpha beta", C::kDownload), "2") << "the whole phrase, in local file names";
    EXPECT_EQ(Find("alpha or beta", C::kTitle, 0, "readstatus = 0"), "2 3")
        << "the condition holds for every word";
    EXPECT_EQ(Find("alpha or gamma", C::kAnyField, 0, "", "2024-03-01", "2024-03-10"), "1 3")
        << "both days included";
    EXPECT_EQ(Find("alpha", C::kAnyField, 0, "", "2024-03-02"), "2 3 4");
    EXPECT_EQ(Find("alpha", C::kAnyField, 0, "", "", "2024-03-09"), "1");
    EXPECT_EQ(Find("beta", C::kDownload, 0, "", "2024-03-02", "2030-01-01"), "2");
    EXPECT_EQ(Find("alpha it's", C::kTitle), "") << "a quote is only text";
    EXPECT_TRUE(shown().empty());
}

TEST(FeedSearchWordsTest, SplitsQuotedWordsAndJoiners)
{
    const struct
    {
        const char* phrase;
        const char* words;
        bool anyWord;
    } cases[] = {
        {"  alpha   OR beta ", "alpha|beta|", true},
        {"alpha and beta", "alpha|beta|", false},
        {"and alpha", "and|alpha|", false},
        {"alpha beta or", "alpha|beta|", false},
        {"alpha \"or\"", "alpha|", true},
        {"\"two words\" three", "two words|three|", false},
        {"\"unclosed quote", "unclosed quote|", false},
        {"\"\" alpha", "alpha|", false},
        {"", "", false},
    };
    for (const auto& c : cases)
    {
        uString phrase(c.phrase);
        std::list<uString> words;
        bool anyWord = true;
        CFeedStore::SplitSearchWords(phrase, words, anyWord);
        std::string joined;
        for (const uString& word : words)
            joined += S(word) + "|";
        EXPECT_EQ(joined, c.words) << c.phrase;
        EXPECT_EQ(anyWord, c.anyWord) << c.phrase;
    }
}

} // namespace
