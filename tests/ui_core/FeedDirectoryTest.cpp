#include "dialogs/FeedDirectory.h"

#include "support/TempDir.h"

#include <ctime>
#include <fstream>
#include <gtest/gtest.h>
#include <utime.h>

namespace
{
using feeddirectory::Entry;
using feeddirectory::Node;

class FeedDirectoryTest : public testing::Test
{
protected:
    std::string Write(const std::string& name, const std::string& text)
    {
        std::ofstream(m_dir.file(name), std::ios::binary) << text;
        return m_dir.file(name);
    }
    testsupport::TempDir m_dir;
};

TEST_F(FeedDirectoryTest, DirectoryFileKeepsNamedEntriesAndTheirState)
{
    std::string path = Write("directory.xml", R"(<?xml version="1.0"?><AnyRoot>
<directory name="One" url="http://127.0.0.1:1/one.opml" status="EXPAND"/>
<Directory name="Wrong case" url="http://127.0.0.1:1/x"/>
<group><directory name="Nested &amp; deep" url="http://127.0.0.1:1/two.opml"/></group>
<directory name="" url="http://127.0.0.1:1/noname"/>
<directory name="No url"/>
</AnyRoot>)");
    std::vector<Entry> entries;
    ASSERT_TRUE(feeddirectory::ReadFile(path.c_str(), entries));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_TRUE(entries[0].expanded);
    EXPECT_STREQ(entries[1].name.c_str(), "Nested & deep");
    EXPECT_FALSE(entries[1].expanded);

    ASSERT_TRUE(feeddirectory::WriteFile(path.c_str(), entries));
    std::string text = testsupport::ReadFileBytes(path);
    EXPECT_NE(text.find("<KestDirectory>"), std::string::npos) << text;
    EXPECT_NE(text.find("standalone=\"yes\""), std::string::npos) << text;
    EXPECT_EQ(text.find("status", text.find("Nested")), std::string::npos) << "status only when expanded";
    std::vector<Entry> again;
    ASSERT_TRUE(feeddirectory::ReadFile(path.c_str(), again));
    EXPECT_EQ(again.size(), 2u);
    EXPECT_FALSE(feeddirectory::ReadFile(Write("bad.xml", "not xml").c_str(), again));
}

TEST_F(FeedDirectoryTest, CacheIsFreshForADayAndNeverFromTheFuture)
{
    std::string path = Write("cached", "x");
    std::time_t now = 1'800'000'000;
    auto stamp = [&](std::time_t when)
    {
        utimbuf times{when, when};
        ASSERT_EQ(utime(path.c_str(), &times), 0);
    };
    stamp(now - 86400);
    EXPECT_TRUE(feeddirectory::IsFresh(path.c_str(), now));
    stamp(now - 86401);
    EXPECT_FALSE(feeddirectory::IsFresh(path.c_str(), now));
    stamp(now + 60);
    EXPECT_FALSE(feeddirectory::IsFresh(path.c_str(), now));
    EXPECT_FALSE(feeddirectory::IsFresh(m_dir.file("missing").c_str(), now));
    uString cache = feeddirectory::CachePath(uString("/c"), uString("abc"));
    EXPECT_STREQ(cache.c_str(), "/c/900150983cd24fb0d6963f7d28e17f72");
}

TEST_F(FeedDirectoryTest, OutlinesBecomeFoldersAndFeedsByTheirType)
{
    feeddirectory::Listing listing = feeddirectory::ReadListing(Write("dir.opml", R"(<opml><head>
<title>Directory one</title><title>Second title  
</title></head><body>
<outline text="News">
  <outline type="rss" text="Feed" xmlUrl="http://127.0.0.1:1/feed.xml"/>
  <outline type="RSS" text="Url only" url="http://127.0.0.1:1/url-only"/>
  <outline type="link" description="Described" url="http://127.0.0.1:1/link.opml"/>
  <outline><outline type="rss" title="Adopted" xmlUrl="http://127.0.0.1:1/adopted"/></outline>
</outline></body></opml>)")
                                                                    .c_str());
    ASSERT_EQ(listing.error, 0);
    EXPECT_STREQ(listing.caption.c_str(), "Feeds Directory : Second title");
    EXPECT_STREQ(listing.firstTitle.c_str(), "Directory one");
    ASSERT_EQ(listing.nodes.size(), 1u);
    const std::vector<Node>& news = listing.nodes[0].children;
    ASSERT_EQ(news.size(), 4u);
    EXPECT_STREQ(news[0].url.c_str(), "http://127.0.0.1:1/feed.xml");
    EXPECT_TRUE(news[1].url.isEmpty()) << "no url fallback for rss here";
    EXPECT_STREQ(news[2].label.c_str(), "Described");
    EXPECT_STREQ(news[2].url.c_str(), "http://127.0.0.1:1/link.opml");
    EXPECT_STREQ(news[3].label.c_str(), "Adopted");

    // Listing subscribes nothing: every outline with an address is an entry,
    // whatever the scheme, and keeps its outlines; "feed:" stands for http.
    listing = feeddirectory::ReadListing(Write("schemes.opml", R"x(<opml><body>
<outline type="rss" text="Passwords" xmlUrl="file:///etc/passwd">
  <outline type="rss" text="Kept" xmlUrl="feed://127.0.0.1:1/kept.xml"/></outline>
<outline type="link" text="Script" url="javascript:alert(1)"/>
<outline type="rss" text="Key" xmlUrl="~/.ssh/id_rsa"/>
<outline type="rss" text="Gopher" xmlUrl="gopher://127.0.0.1:1/1/feed"/>
</body></opml>)x")
                                             .c_str());
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Passwords", "file:///etc/passwd"},
        {"Script", "javascript:alert(1)"},
        {"Key", "~/.ssh/id_rsa"},
        {"Gopher", "gopher://127.0.0.1:1/1/feed"}};
    ASSERT_EQ(listing.nodes.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
    {
        EXPECT_EQ(listing.nodes[i].label.c_str(), expected[i].first);
        EXPECT_EQ(listing.nodes[i].url.c_str(), expected[i].second);
    }
    ASSERT_EQ(listing.nodes[0].children.size(), 1u);
    EXPECT_STREQ(listing.nodes[0].children[0].url.c_str(), "http://127.0.0.1:1/kept.xml");

    EXPECT_EQ(feeddirectory::ReadListing(Write("rss.xml", "<rss/>").c_str()).error,
              feeddirectory::kNotADirectory);
    EXPECT_EQ(feeddirectory::ReadListing(Write("cut.xml", "<opml><body><outline").c_str()).error,
              feeddirectory::kCannotLoad);
    EXPECT_EQ(feeddirectory::ReadListing(m_dir.file("none").c_str()).error, feeddirectory::kCannotLoad);
}
} // namespace
