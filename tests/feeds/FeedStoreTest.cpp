#include "ListDatabaseFixture.h"
#include "support/ConfigHome.h"

#include <vector>

namespace
{

using namespace liststore;

TEST(SqlHexLiteralTest, TextsComeBackByteEqualThroughTheDatabase)
{
    ListFolder folder;
    CFeedStore store(folder.Folder());
    uString withNul("nul");
    withNul.append('\0');
    withNul += "inside";
    EXPECT_EQ(S(SqlHexLiteral("")), "''");
    EXPECT_EQ(S(SqlHexLiteral("a\xC3\xA9\xF0\x9F\x98\x80")), "0x6100E9003DD800DE");
    // A byte that starts no character is one replacement character; the
    // letters after it are kept.
    EXPECT_EQ(S(SqlHexLiteral("x\xE9y\xC3")), "0x7800FDFF7900FDFF");
    const uString texts[] = {"a'c", "é", "x😀y", withNul, "''; drop table item; --", "Ω"};
    int n = 0;
    for (const uString& text : texts)
    {
        const uString link = uString("http://t.test/") + n++;
        InsertItem(store, "http://t.test/feed", link, text);
        uString stored;
        uString condition;
        condition.format("link = %s", SqlHexLiteral(link).c_str());
        ASSERT_TRUE(store.dataObject.selectString("item", "title", stored, condition.c_str()));
        EXPECT_EQ(stored, text) << text.c_str();
    }
}

TEST(FeedStoreConnectionTest, OpenFailureKeepsTheProviderTextAndShowsItOnlyWhenAsked)
{
    ListFolder folder;
    feedtest::ShownMessages shown;
    CFeedStore store(folder.Folder());
    store.SetDatabase("missing.mdb");
    EXPECT_FALSE(store.EnsureOpen(false));
    EXPECT_EQ(store.errorCode, CFeedStore::kCannotOpen);
    EXPECT_NE(S(store.errorText).find("Description = "), std::string::npos) << store.errorText.c_str();
    EXPECT_TRUE(shown().empty());
    EXPECT_FALSE(store.EnsureOpen(true));
    EXPECT_EQ(shown(), std::vector<std::string>{S(store.errorText)});
    EXPECT_FALSE(PathExists(folder.Path("missing.mdb").c_str())) << "opening never creates a list";

    // Reads for display report a failure in a message box; the unread count
    // records it, so that a broken list is not shown as an empty one.
    store.Reset();
    CItemRecord item;
    item.link = "http://x.test/";
    store.LoadItemText(item);
    EXPECT_EQ(store.errorCode, CFeedStore::kStatementFailed);
    EXPECT_EQ(shown().size(), 2u);
    store.Reset();
    EXPECT_EQ(store.CountUnread("http://x.test/feed"), 0);
    EXPECT_EQ(store.errorCode, CFeedStore::kStatementFailed);
    uString error;
    uint16_t code = 0;
    store.DeleteChannel("http://x.test/feed", error, &code);
    EXPECT_EQ(code, CFeedStore::kStatementFailed);
    EXPECT_FALSE(error.isEmpty());
}

TEST(FeedStoreConnectionTest, ConfiguredStoreOpensTheListSeededFromTheProgramFolder)
{
    testsupport::ConfigHome config;
    std::filesystem::copy_file(TemplatePath(), config.program().file("subscription/default.mdb"));
    CFeedStore store;
    InsertChannel(store, "http://seeded.test/", "s", 0, 0);
    EXPECT_EQ(S(CConnectionString().GetPath()), config.data("subscription/default.mdb"));
    CompactFeedDatabase("default.mdb", nullptr);
    EXPECT_EQ(CountWhere(store, "channel", "feed", "http://seeded.test/"), "1");
}

// Names differing in case are two files; a folder name must not be read as
// more of the connection string.
TEST(FeedStoreConnectionTest, NamesAreTakenByteForByte)
{
    ListFolder folder;
    folder.AddList("User1.mdb");
    folder.AddList("user1.mdb");
    CFeedStore store(folder.Folder());
    store.SetDatabase("User1.mdb");
    InsertChannel(store, "http://upper.test/", "U", 0, 0);
    store.SetDatabase(uString("User1.mdb"));
    EXPECT_TRUE(store.dataObject.isConnected()) << "the same name keeps the connection";
    store.SetDatabase("user1.mdb");
    EXPECT_EQ(CountWhere(store, "channel", "feed", "http://upper.test/"), "0");
    store.SetDatabase("User1.mdb");
    EXPECT_EQ(CountWhere(store, "channel", "feed", "http://upper.test/"), "1");

    const std::string odd = folder.Path("lists; Data Source=elsewhere");
    std::filesystem::create_directory(odd);
    std::filesystem::copy_file(TemplatePath(), odd + "/default.mdb");
    CFeedStore semicolon(odd.c_str());
    EXPECT_EQ(Scalar(semicolon, "select count(*) from channel"), "0");
}

TEST(FeedStoreDueTest, DueWhenMoreMinutesThanTheTtlHavePassed)
{
    ListFolder folder;
    CFeedStore store(folder.Folder());
    const uString feed("http://due.test/it's");
    InsertChannel(store, feed, "d", 60, 3);
    auto lastUpdate = [&](const char* value)
    {
        uString sql;
        sql.format("update channel set lastupdate=%s where feed = %s", value, Hex(feed).c_str());
        Execute(store, sql);
    };
    int attributes = -7;
    EXPECT_FALSE(store.IsUpdateDue(feed, &attributes)) << "just subscribed, ttl 60";
    EXPECT_EQ(attributes, 3) << "the attributes are given even when not due";
    // A new subscription counts as updated at its insert, so it becomes due
    // once its ttl has passed; without that it would never be due at all.
    EXPECT_TRUE(store.SetChannelTtl(feed, -1));
    EXPECT_TRUE(store.IsUpdateDue(feed, nullptr));
    lastUpdate("NULL");
    EXPECT_FALSE(store.IsUpdateDue(feed, nullptr)) << "no last update is never due";

    store.SetChannelTtl(feed, 60);
    lastUpdate("datetime('now','localtime','-59 minutes')");
    EXPECT_FALSE(store.IsUpdateDue(feed, nullptr));
    lastUpdate("datetime('now','localtime','-61 minutes')");
    EXPECT_TRUE(store.IsUpdateDue(feed, nullptr));
    lastUpdate("Now()");
    EXPECT_FALSE(store.IsUpdateDue(feed, nullptr)) << "refreshed just now";
    EXPECT_FALSE(store.IsUpdateDue("http://unknown.test/", &attributes));
    EXPECT_EQ(attributes, 0);
}

void SetAggregator(const char* redirectPrefix, const char* droppedHost)
{
    CPreference::GeneralSection general = CPreference::GetInstance()->GetGeneralSection();
    general.strAggregatorPrefix = redirectPrefix;
    general.strAggregatorDroppedHost = droppedHost;
    CPreference::GetInstance()->SetGeneralSection(general);
}

TEST(FeedStoreAggregatorTest, ARepublishedStoryReplacesTheStoredItem)
{
    testsupport::ConfigHome config;
    ListFolder folder;
    CFeedStore store(folder.Folder());
    const uString feed("http://agg.test/rss");
    InsertItem(store, feed, "http://agg.test/r?id=1&url=http://story.test/1&x=1", "Story");
    InsertItem(store, feed, "http://agg.test/r?id=2&url=http://other.test/1&x=1", "Story");
    const uString republished("http://agg.test/r?id=9&url=http://story.test/1&x=2");
    uString link(republished);
    EXPECT_FALSE(store.MergeAggregatorItem("Story", link, "new", "2026-01-06")) << "inert until configured";

    SetAggregator("http://agg.test/r?", "dropped.test");
    EXPECT_TRUE(store.MergeAggregatorItem("STORY", link, "new", "2026-01-06"));
    EXPECT_EQ(link, republished) << "the link names the stored item";
    uString sql;
    sql.format("select description from item where link = %s", Hex(republished).c_str());
    EXPECT_EQ(Scalar(store, sql), "new");
    EXPECT_EQ(Scalar(store, "select count(*) from item"), "2");

    uString unrelated("http://elsewhere.test/r?url=http://story.test/1&");
    EXPECT_FALSE(store.MergeAggregatorItem("Story", unrelated, "d", "p"));
    uString dropped("http://agg.test/r?url=http://dropped.test/1");
    EXPECT_FALSE(store.MergeAggregatorItem("Story", dropped, "d", "p"));
    EXPECT_TRUE(dropped.isEmpty());
}

} // namespace
