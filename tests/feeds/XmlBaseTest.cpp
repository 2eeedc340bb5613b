// Relative links of a feed made absolute against the xml:base in force at
// their element, each base resolved against the ones around it.
#include "feeds/FeedStore.h"
#include "feeds/support/ConfigHome.h"
#include "feeds/support/FeedTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{

using feedtest::S;
using feedtest::U;

class XmlBaseTest : public testing::Test
{
protected:
    XmlBaseTest() { CPreference::GetInstance(); }

    bool Load(CFeedStore& store, const std::string& body)
    {
        store.documentAddress = U("http://feed.test/dir/feed.xml");
        return store.LoadFeedFile(uFile(dir.write("feed.xml", body).c_str()), false);
    }

    std::vector<std::string> Links(const CFeedStore& store)
    {
        std::vector<std::string> links;
        for (const CItemRecord& item : store.items)
            links.push_back(S(item.link) + (item.enclosureLink.isEmpty() ? "" : " " + S(item.enclosureLink)));
        return links;
    }

    testsupport::ConfigHome config;
    testsupport::TempDir dir;
};

TEST_F(XmlBaseTest, BasesNestAndEndWithTheirElement)
{
    const std::string atom =
        "<feed xmlns=\"http://www.w3.org/2005/Atom\" xml:base=\"http://a.test/root/\"><title>t</title>"
        "<link href=\"home\"/>"
        "<div xml:base=\"one/\">"
        "<entry><title>1</title><link href=\"p1\"/></entry>"
        "<div xml:base=\"../two/x/\">"
        "<entry xml:base=\"?q\"><title>2</title><link href=\"p2\"/><link rel=\"enclosure\" "
        "href=\"../m.mp3\"/>"
        "</entry></div>"
        // After the inner base's element has ended, the outer one is in force again.
        "<entry><title>3</title><link href=\"p3\"/></entry></div>"
        "<entry xml:base=\"//b.test/z/\"><title>4</title><link href=\"/abs\"/></entry>"
        "<entry><title>5</title><link href=\"http://c.test/5\"/></entry>"
        "<entry><title>6</title><link href=\"six\"/></entry>"
        "</feed>";
    CFeedStore store;
    ASSERT_TRUE(Load(store, atom)) << S(store.errorText);
    EXPECT_EQ(S(store.channel.link), "http://a.test/root/home");
    EXPECT_EQ(Links(store),
              (std::vector<std::string>{"http://a.test/root/one/p1",
                                        "http://a.test/root/two/x/p2 http://a.test/root/two/m.mp3",
                                        "http://a.test/root/one/p3", "http://b.test/abs", "http://c.test/5",
                                        "http://a.test/root/six"}));

    // Without any base, the document's own address.
    const std::string rss =
        "<rss><channel><title>t</title><link>/</link><item><title>i</title><link>a/b</link>"
        "<enclosure url=\"../m.mp3\"/></item></channel></rss>";
    CFeedStore plain;
    ASSERT_TRUE(Load(plain, rss));
    EXPECT_EQ(S(plain.channel.link), "http://feed.test/");
    EXPECT_EQ(Links(plain), (std::vector<std::string>{"http://feed.test/dir/a/b http://feed.test/m.mp3"}));
}

// Nearly a thousand nested elements, each with a base and an entry.
std::string NestedBases(int depth, const std::string& base)
{
    std::string feed = "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>t</title>";
    for (int level = 0; level < depth; ++level)
        feed += "<div xml:base=\"" + base + std::to_string(level) + "/\"><entry><title>e" +
                std::to_string(level) + "</title><link href=\"p\"/></entry>";
    for (int level = 0; level < depth; ++level)
        feed += "</div>";
    return feed + "</feed>";
}

// Relative bases lengthen the base at every level: at this size resolving
// each one again for every link takes minutes and stores megabytes of links.
// A base past 8 KiB refuses the feed instead.
TEST_F(XmlBaseTest, BasesGrowingPastTheLimitRefuseTheFeed)
{
    CFeedStore store;
    EXPECT_FALSE(Load(store, NestedBases(990, std::string(1000, 'd'))));
    EXPECT_EQ(store.errorCode, CFeedStore::kDocumentRefused);
    EXPECT_EQ(S(store.errorText), "Refused the feed: a link stands under an xml:base longer than 8 KiB");
    EXPECT_TRUE(store.items.empty());

    // Absolute bases as deep stay short: every link is resolved.
    CFeedStore deep;
    ASSERT_TRUE(Load(deep, NestedBases(990, "http://h.test/" + std::string(200, 'a'))));
    ASSERT_EQ(deep.items.size(), 990u);
    EXPECT_EQ(S(deep.items[989].link), "http://h.test/" + std::string(200, 'a') + "989/p");

    // Relative bases that stay under the limit resolve as deep as they go.
    CFeedStore within;
    ASSERT_TRUE(Load(within, NestedBases(8, std::string(900, 'd'))));
    std::string expected = "http://feed.test/dir/";
    for (int level = 0; level < 8; ++level)
        expected += std::string(900, 'd') + std::to_string(level) + "/";
    EXPECT_EQ(S(within.items[7].link), expected + "p");
}

} // namespace
