// Every statement the feed store sends for channels, items and enclosures,
// run against a copy of the template list database with texts that break
// naive SQL: quotes in keys, non-ASCII, one-character titles.
#include "ListDatabaseFixture.h"

#include <map>

namespace
{

using namespace liststore;

const uString kFeedA("http://example.test/feed?a=1&b='x'");
const uString kFeedB("http://b.test/rss");
const uString kItem1("http://example.test/1?q='x'");
const uString kItem2("http://example.test/2");
const uString kItemB("http://b.test/1");

class FeedStoreStatementsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        InsertChannel(store, kFeedA, "Ü", 30, 2);
        InsertChannel(store, kFeedB, "b", 0, 0);
        InsertImageAndIcon(store, kFeedA);
        InsertImageAndIcon(store, kFeedB);
        InsertItem(store, kFeedA, kItem1, "é");
        InsertItem(store, kFeedA, kItem2, "a");
        InsertItem(store, kFeedB, kItemB, "b");
        InsertEnclosure(store, kItem1, "http://example.test/1.mp3", "audio/mpeg");
        InsertEnclosure(store, kItem1, "http://example.test/1b.mp3", "audio/x-b");
        Sql("update item set content=%s where link=%s", kContent, kItem1);
    }

    // One of the statements that report through an error text and code.
    void Run(void (CFeedStore::*operation)(const uString&, uString&, uint16_t*), const uString& key)
    {
        uString error("old");
        uint16_t code = 9;
        (store.*operation)(key, error, &code);
        EXPECT_TRUE(error.isEmpty()) << error.c_str();
        EXPECT_EQ(code, 0);
    }
    // The statement with the texts as hex literals; its first field when it is a query.
    std::string Sql(const char* format, const uString& a, const uString& b = "")
    {
        uString sql;
        sql.format(format, Hex(a).c_str(), Hex(b).c_str());
        if (sql.startsWith("select"))
            return Scalar(store, sql);
        Execute(store, sql);
        return "";
    }

    ListFolder folder;
    CFeedStore store{folder.Folder()};
    const uString kContent{("Ça c'est \"mieux\" 😀 " + std::string(3000, 'x')).c_str()};
};

TEST_F(FeedStoreStatementsTest, ReadsForDisplayAndSingleValues)
{
    CItemRecord item;
    item.link = kItem1;
    store.LoadItemText(item);
    EXPECT_EQ(S(item.title + "|" + item.author + "|" + item.description + "|" + item.pubDate),
              "é|Zoë|<p>It's</p>|2026-01-05 10:00:00");
    EXPECT_EQ(item.content, kContent);
    store.LoadEnclosure(item);
    EXPECT_EQ(S(item.enclosureLink + "|" + item.enclosureLength + "|" + item.enclosureType),
              "http://example.test/1b.mp3|1234|audio/x-b")
        << "the last row read wins";

    CItemRecord stranger;
    stranger.link = "http://nowhere.test/";
    stranger.enclosureLink = "kept";
    store.LoadEnclosure(stranger);
    store.LoadItemText(stranger);
    EXPECT_EQ(S(stranger.enclosureLink), "kept");
    uString feed("kept");
    store.GetItemFeed("http://nowhere.test/", feed);
    EXPECT_EQ(S(feed), "kept");
    store.GetItemFeed(kItem1, feed);
    EXPECT_EQ(feed, kFeedA);
    // The channel's own address, read without its items; none for an item
    // of no stored channel.
    EXPECT_EQ(store.GetItemChannelAddress(kItem1), kFeedA);
    EXPECT_EQ(store.GetItemChannelAddress(kItemB), kFeedB);
    EXPECT_TRUE(store.GetItemChannelAddress("http://nowhere.test/").isEmpty());
    InsertItem(store, "http://gone.test/rss", "urn:x:'1'", "o");
    EXPECT_TRUE(store.GetItemChannelAddress("urn:x:'1'").isEmpty());

    uString content;
    EXPECT_TRUE(store.GetItemContent(kItem1, content));
    EXPECT_EQ(content, kContent);
    EXPECT_FALSE(store.GetItemContent(kItem2, content)) << "no content is no success";

    EXPECT_TRUE(store.TestChannelAttributes(kFeedA, 2));
    EXPECT_FALSE(store.TestChannelAttributes(kFeedA, 1));
    EXPECT_EQ(store.GetChannelTtl(kFeedA), 30);
    EXPECT_TRUE(store.SetChannelTtl(kFeedA, -5));
    EXPECT_EQ(store.GetChannelTtl(kFeedA), 0) << "a negative ttl reads as 0";
    EXPECT_EQ(store.GetChannelTtl("http://nowhere.test/"), 0);
    EXPECT_EQ(store.errorCode, 0) << store.errorText.c_str();
}

TEST_F(FeedStoreStatementsTest, MarkingReadAndRecordingDownloads)
{
    EXPECT_EQ(store.CountUnread(kFeedA), 2);
    Run(&CFeedStore::MarkItemRead, kItem1);
    uString error;
    store.MarkItemRead(kItem1, error, nullptr); // again, without a code to set
    EXPECT_EQ(store.CountUnread(kFeedA), 1);
    EXPECT_EQ(store.CountUnread(kFeedB), 1);

    // Every enclosure row of the item; a length past 2 GiB stays intact.
    store.SetEnclosureFile(kItem1, "Müsik/Ü's.mp3", 3000000000LL, "audio/x-it's");
    EXPECT_EQ(Sql("select count(*) from enclosure where feed = %s and length = 3000000000 and type = %s",
                  kItem1, "audio/x-it's"),
              "2");
    uString file;
    EXPECT_TRUE(store.GetEnclosureFile("default.mdb", kItem1, file));
    EXPECT_EQ(S(file), "Müsik/Ü's.mp3");

    store.SetEnclosureFile(kItem1, "", 77, nullptr);
    EXPECT_EQ(Sql("select count(*) from enclosure where feed = %s and localfile = '' and length = 0 and "
                  "type = %s",
                  kItem1, "audio/x-it's"),
              "2")
        << "no type leaves the type alone";
    EXPECT_EQ(store.errorCode, 0) << store.errorText.c_str();
}

// A list's tree is relabelled from one read of every channel: each with its
// own title and unread count (a quote in the key included), a channel without
// items at 0, and a list that cannot be read reported, not counted as empty.
TEST_F(FeedStoreStatementsTest, UnreadCountsOfEveryChannelInOneRead)
{
    const uString empty("http://c.test/no-items");
    InsertChannel(store, empty, "", 0, 0);
    Run(&CFeedStore::MarkItemRead, kItem2);
    std::vector<CChannelCount> channels{{"stale", "stale", 9, ""}};
    ASSERT_TRUE(store.ListUnreadCounts(channels));
    std::map<std::string, std::string> read;
    for (const CChannelCount& channel : channels)
        read[S(channel.feed)] = S(channel.title) + " " + std::to_string(channel.unread);
    EXPECT_EQ(read,
              (std::map<std::string, std::string>{{S(kFeedA), "Ü 1"}, {S(kFeedB), "b 1"}, {S(empty), " 0"}}));
    for (const CChannelCount& channel : channels)
        EXPECT_EQ(channel.unread, store.CountUnread(channel.feed)) << S(channel.feed);

    Execute(store, "DROP TABLE item");
    EXPECT_FALSE(store.ListUnreadCounts(channels));
    EXPECT_EQ(store.errorCode, CFeedStore::kStatementFailed);
    EXPECT_FALSE(store.errorText.isEmpty());
    EXPECT_TRUE(channels.empty());
}

TEST_F(FeedStoreStatementsTest, HidingAndUnsubscribingTouchOnlyThatFeed)
{
    Run(&CFeedStore::MarkItemsDeleted, kFeedB);
    EXPECT_EQ(Sql("select attributes from item where link = %s", kItemB), "-1");
    EXPECT_EQ(Sql("select attributes from item where link = %s", kItem2), "0");
    // The hidden row keeps a later refresh from storing the item again.
    uString insert;
    insert.format("insert into item (feed, title, link, attributes, createdate) values(%s,%s,%s,0, Date())",
                  Hex(kFeedB).c_str(), Hex("b").c_str(), Hex(kItemB).c_str());
    EXPECT_FALSE(store.dataObject.execute(insert.c_str()));
    EXPECT_TRUE(store.dataObject.isDuplicateKey());

    InsertEnclosure(store, kItemB, "http://b.test/1.mp3", "audio/mpeg");
    Run(&CFeedStore::DeleteFeedEnclosures, kFeedA);
    EXPECT_EQ(CountWhere(store, "enclosure", "feed", kItem1), "0");
    EXPECT_EQ(CountWhere(store, "enclosure", "feed", kItemB), "1") << "another feed's enclosure stays";
    for (auto operation : {&CFeedStore::DeleteItems, &CFeedStore::DeleteImages, &CFeedStore::DeleteIcons,
                           &CFeedStore::DeleteChannel})
        Run(operation, kFeedA);
    for (const char* table : {"channel", "[image]", "icon", "item"})
    {
        EXPECT_EQ(CountWhere(store, table, "feed", kFeedA), "0") << table;
        EXPECT_NE(CountWhere(store, table, "feed", kFeedB), "0") << table;
    }
}

TEST_F(FeedStoreStatementsTest, NewAddressMovesTheWholeChannel)
{
    Sql("update channel set attributes=6 where feed = %s", kFeedA);
    uString feed(kFeedA);
    const uString moved("http://example.test/feed?neu='1'");
    store.UpdateChannelProperties(feed, "ñ", moved, true, false);
    EXPECT_EQ(store.errorCode, 0) << store.errorText.c_str();
    EXPECT_EQ(feed, moved);
    for (const char* table : {"channel", "[image]", "icon", "item"})
    {
        EXPECT_EQ(CountWhere(store, table, "feed", kFeedA), "0") << table;
        EXPECT_NE(CountWhere(store, table, "feed", moved), "0") << table;
    }
    EXPECT_EQ(Sql("select title || '|' || attributes from channel where feed = %s", moved), "ñ|5")
        << "flag 1 set, flag 2 cleared, flag 4 kept";
    EXPECT_EQ(store.CountUnread(moved), 2);

    // An address that is subscribed already: nothing moves, the error is kept.
    store.UpdateChannelProperties(feed, "x", kFeedB, false, false);
    EXPECT_EQ(store.errorCode, CFeedStore::kStatementFailed);
    EXPECT_EQ(feed, moved);
    EXPECT_EQ(CountWhere(store, "item", "feed", moved), "2");
    EXPECT_EQ(CountWhere(store, "icon", "feed", moved), "1");
}

} // namespace
