#include "common/SearchRequests.h"

#include "feeds/FeedStore.h"
#include "feeds/support/ConfigHome.h"

#include <clocale>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace
{
// Two list databases made from the template, filled with items whose texts
// carry quotes, SQL and non-ASCII letters.
class SearchRequestsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* name : {"default.mdb", "user0.mdb"})
        {
            std::filesystem::create_directories(m_home.program().file("subscription"));
            std::filesystem::copy_file(KESTROVA_LIST_TEMPLATE,
                                       m_home.program().file(std::string("subscription/") + name));
        }
        CPreference::GetInstance();
        // list, link, title, description, read, created
        Insert("default.mdb", "a1", "Kestrel seen at O'Brien's farm", "a bird", 0, "2026-03-01 00:00:00");
        Insert("default.mdb", "a2", "Weather", "bird song at dawn", 1, "2026-03-10 23:59:59");
        Insert("default.mdb", "a3", "Ärger über Straßenbau", "Bürger ärgern sich", 0, "2026-02-28 23:59:59");
        Insert("user0.mdb", "b1", "Another kestrel", "x') or 1=1 --", 0, "2026-03-11 00:00:00");
        Insert("user0.mdb", "b2", "Song birds", "no match for the phrase", 0, "2026-03-05 12:00:00");
    }

    void Insert(const char* list, const char* link, const char* title, const char* description, int read,
                const char* created)
    {
        CFeedStore store;
        store.SetDatabase(uString(list));
        store.EnsureOpen(false);
        uString sql;
        sql.format("insert into item (feed, title, link, description, readstatus, createdate) "
                   "values('http://feed.test/', %s, %s, %s, %d, '%s')",
                   SqlHexLiteral(title).c_str(), SqlHexLiteral(link).c_str(),
                   SqlHexLiteral(description).c_str(), read, created);
        ASSERT_TRUE(store.dataObject.execute(sql.c_str())) << store.dataObject.getErrorText().c_str();
    }

    // The links found by a watch over both lists, in the order the list gets them.
    std::string Watch(const char* keywords)
    {
        CFeedStore store;
        bool found = search::SearchWatchLists(store, kLists, uString(keywords));
        std::string links;
        for (const CItemRecord& item : store.items)
            links += (links.empty() ? "" : " ") + std::string(item.link.c_str());
        EXPECT_EQ(found, !links.empty()) << keywords;
        return links;
    }

    // The links one list gives for a dialog-style request.
    std::string Find(const char* list, const char* phrase, int field, const char* start, const char* end)
    {
        CFeedSearchCriteria request;
        request.listName = list;
        request.phrase = phrase;
        request.field = field;
        request.startDate = start;
        request.endDate = end;
        CFeedStore store;
        store.SetDatabase(request.listName);
        std::string links;
        if (store.OpenSearch(request) > 0 && store.LoadSearchResults(request, true))
            for (const CItemRecord& item : store.items)
                links += (links.empty() ? "" : " ") + std::string(item.link.c_str());
        return links;
    }

    testsupport::ConfigHome m_home;
    const std::vector<uString> kLists{uString("default.mdb"), uString("user0.mdb")};
};
} // namespace

TEST_F(SearchRequestsTest, AWatchFindsItsKeywordsInEveryListInListOrder)
{
    EXPECT_EQ(Watch("kestrel"), "a1 b1") << "the first list's items come first";
    EXPECT_EQ(Watch("o'brien's"), "a1") << "a quote is only a letter";
    EXPECT_EQ(Watch("\"bird song\" or kestrel"), "a1 a2 b1") << "a phrase in quotes, and or";
    EXPECT_EQ(Watch("bird song"), "a2 b2") << "all words, anywhere in title or description";
    EXPECT_EQ(Watch("STRASSENBAU or ärger"), "a3") << "non-ASCII letters match in any case";
    EXPECT_EQ(Watch("x') or 1=1 --"), "b1") << "the keywords stay text";
    EXPECT_EQ(Watch("nothing-like-this"), "");
}

TEST_F(SearchRequestsTest, AWatchCountsItsUnreadMatchesOverAllLists)
{
    EXPECT_EQ(search::CountWatchUnread(kLists, uString("kestrel")), 2);
    EXPECT_EQ(search::CountWatchUnread(kLists, uString("bird")), 2) << "a2 is read";
    CFeedStore store;
    store.SetDatabase(uString("user0.mdb"));
    store.EnsureOpen(false);
    ASSERT_TRUE(store.dataObject.execute("update item set readstatus = 1"));
    EXPECT_EQ(search::CountWatchUnread(kLists, uString("kestrel")), 1);
    EXPECT_EQ(search::CountWatchUnread({uString("missing.mdb"), uString("default.mdb")}, uString("kestrel")),
              1)
        << "a list that cannot be opened counts nothing";
}

TEST_F(SearchRequestsTest, DateBoundsTakeWholeDaysWrittenInOneFormat)
{
    // The first and the last second of the range are in, the seconds around it out.
    EXPECT_EQ(Find("default.mdb", "a", CFeedSearchCriteria::kAnyField, "2026-03-01", "2026-03-10"), "a1 a2");
    EXPECT_EQ(Find("user0.mdb", "o", CFeedSearchCriteria::kAnyField, "2026-03-01", "2026-03-10"), "b2");
    EXPECT_EQ(Find("default.mdb", "ärger", CFeedSearchCriteria::kTitle, "2026-02-28", "2026-02-28"), "a3");

    // The day text does not follow the locale's way of writing dates.
    const char* before = std::setlocale(LC_TIME, nullptr);
    std::string saved = before != nullptr ? before : "C";
    std::setlocale(LC_TIME, "C.UTF-8");
    std::tm day{};
    day.tm_year = 2026 - 1900;
    day.tm_mon = 2;
    day.tm_mday = 9;
    day.tm_hour = 12;
    day.tm_isdst = -1;
    std::time_t noon = std::mktime(&day);
    EXPECT_STREQ(search::FormatSearchDate(noon).c_str(), "2026-03-09");
    search::DateRange range = search::DefaultSearchDates(noon);
    EXPECT_EQ(range.end, noon);
    EXPECT_STREQ(search::FormatSearchDate(range.start).c_str(), "2026-02-23") << "fourteen days before";
    std::setlocale(LC_TIME, saved.c_str());
}
