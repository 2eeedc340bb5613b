#include "mainwindow/FeedSubscription.h"

#include "feeds/FeedStore.h"
#include "feeds/MessageBox.h"
#include "feeds/support/ConfigHome.h"
#include "feeds/support/FeedSite.h"
#include "feeds/support/FeedTestSupport.h"
#include "foundation/uXml.h"
#include "support/GermanInterface.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace subscription;

namespace
{

// A configured data folder whose first list is a copy of the template, and
// feeds served on 127.0.0.1.
class FeedSubscriptionTest : public testing::Test
{
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_home.program().file("subscription"));
        std::filesystem::copy_file(KESTROVA_LIST_TEMPLATE, m_home.program().file("subscription/default.mdb"));
        CPreference::GetInstance();
        std::string site = m_server.url("/site");
        m_server.serveContent(
            "/feed.xml", feedsite::Rss("Loopback news", site, feedsite::Items(site, "Story", 1, 3, true)),
            "application/rss+xml");
        m_server.serveContent("/other.xml",
                              feedsite::Rss("Other", site, feedsite::Items(site + "/o", "Other story", 1, 2)),
                              "application/rss+xml");
    }
    // The first field of the query, with the value (as a literal) for its "%s".
    std::string Count(CFeedStore& store, const char* sql, const uString& value = uString())
    {
        uString statement;
        statement.format(sql, SqlHexLiteral(value).c_str());
        store.EnsureOpen(false);
        if (!store.dataObject.query(statement.c_str()))
            return "<error>";
        uString count;
        store.dataObject.getFieldString(0, count);
        store.dataObject.closeQuery();
        return count.c_str();
    }

    uXmlPlatform m_xml;
    testsupport::ConfigHome m_home;
    testsupport::LocalHttpServer m_server;
    feedtest::ShownMessages m_messages;
    const uString kDefault{"default.mdb"};
};
} // namespace

TEST_F(FeedSubscriptionTest, ASubscriptionIsStoredOnceUnderItsAddress)
{
    uString url(m_server.url("/feed.xml").c_str());
    CFeedStore store;
    ASSERT_EQ(SubscribeFeed(store, kDefault, url, uString(), false, false), SubscribeOutcome::kAdded)
        << store.errorText.c_str();
    EXPECT_EQ(store.items.size(), 3u);
    EXPECT_EQ(Count(store, "select title from channel where feed = %s", url), "Loopback news")
        << "no title given: the feed's own stays";
    EXPECT_EQ(Count(store, "select count(*) from item where feed = %s", url), "3");
    EXPECT_EQ(store.CountUnread(url), 3);
    EXPECT_TRUE(m_messages().empty());

    CFeedStore again;
    ASSERT_EQ(SubscribeFeed(again, kDefault, url, uString("My title"), true, false),
              SubscribeOutcome::kAlreadySubscribed);
    EXPECT_EQ(Count(again, "select count(*) from channel where feed = %s", url), "1");
    EXPECT_EQ(Count(again, "select title from channel where feed = %s", url), "My title");
    EXPECT_TRUE(again.TestChannelAttributes(url, 1)) << "the flags are applied all the same";
    EXPECT_EQ(m_messages(), std::vector<std::string>{"The specified newsfeed URL is already in subcription "
                                                     "collection. "})
        << "the store says the feed is there already";

    // In the interface language. The home of this test has a program folder
    // of its own: the catalog is the build's.
    testsupport::GermanInterface german(
        std::filesystem::path(KESTROVA_LIST_TEMPLATE).parent_path().parent_path().c_str());
    ASSERT_TRUE(german.loaded);
    ASSERT_EQ(SubscribeFeed(again, kDefault, url, uString(), false, false),
              SubscribeOutcome::kAlreadySubscribed);
    EXPECT_EQ(m_messages().back(), "Dieser Newsfeed ist bereits abonniert. ");
}

TEST_F(FeedSubscriptionTest, AFailedFetchStoresNothingAndSaysWhy)
{
    uString missing(m_server.url("/gone.xml").c_str());
    CFeedStore store;
    EXPECT_EQ(SubscribeFeed(store, kDefault, missing, uString(), false, false), SubscribeOutcome::kFailed);
    EXPECT_FALSE(store.errorText.isEmpty());
    EXPECT_EQ(Count(store, "select count(*) from channel where feed = %s", missing), "0");
    EXPECT_GT(WindowFetchTimeout(), 0);
}

TEST_F(FeedSubscriptionTest, UnsubscribingEmptiesEveryTableForThatFeedOnly)
{
    uString url(m_server.url("/feed.xml").c_str());
    uString other(m_server.url("/other.xml").c_str());
    CFeedStore store;
    ASSERT_EQ(SubscribeFeed(store, kDefault, url, uString(), false, false), SubscribeOutcome::kAdded);
    ASSERT_EQ(SubscribeFeed(store, kDefault, other, uString(), false, false), SubscribeOutcome::kAdded);
    ASSERT_EQ(Count(store,
                    "select count(*) from enclosure where feed in (select link from item where "
                    "item.feed = %s)",
                    url),
              "3");

    uString error;
    ASSERT_TRUE(DeleteFeedRows(store, kDefault, url, error)) << error.c_str();
    EXPECT_EQ(Count(store, "select count(*) from channel where feed = %s", url), "0");
    EXPECT_EQ(Count(store, "select count(*) from item where feed = %s", url), "0");
    EXPECT_EQ(Count(store, "select count(*) from [image] where feed = %s", url), "0");
    EXPECT_EQ(Count(store, "select count(*) from icon where feed = %s", url), "0");
    EXPECT_EQ(Count(store, "select count(*) from enclosure where feed not in (select link from item) or %s"),
              "0")
        << "no enclosure row is left without its item";
    EXPECT_EQ(Count(store, "select count(*) from item where feed = %s", other), "2");
}
