#include "feeds/FeedAddress.h"

#include <gtest/gtest.h>
#include <string>

namespace
{
std::string Accepted(const char* address)
{
    return feeds::FeedAddress(uString(address)).c_str();
}

TEST(FeedAddressTest, NetworkAddressesPassAndFeedSchemesBecomeHttp)
{
    EXPECT_EQ(Accepted("  http://127.0.0.1:8/a.xml?x=1&y=2 \t"), "http://127.0.0.1:8/a.xml?x=1&y=2");
    EXPECT_EQ(Accepted("HTTPS://example.test/feed"), "HTTPS://example.test/feed");
    EXPECT_EQ(Accepted("ftp://user:pw@host/feed.xml"), "ftp://user:pw@host/feed.xml");
    EXPECT_EQ(Accepted("http://[::1]:8080/rss"), "http://[::1]:8080/rss");
    EXPECT_EQ(Accepted("feed://example.test/rss"), "http://example.test/rss");
    EXPECT_EQ(Accepted("FEED://example.test/rss"), "http://example.test/rss");
    EXPECT_EQ(Accepted("feed:https://example.test/rss"), "https://example.test/rss");
}

TEST(FeedAddressTest, LocalFilesScriptsDataAndHostlessAddressesAreRefused)
{
    for (const char* address : {"file:///etc/passwd",
                                "FILE://localhost/etc/passwd",
                                "/etc/passwd",
                                "~/.ssh/id_rsa",
                                "feed.xml",
                                "javascript:alert(1)",
                                "data:text/xml,<rss/>",
                                "feed:javascript:alert(1)",
                                "feed:file:///etc/passwd",
                                "feed:",
                                "http://",
                                "http:///path",
                                "https://user@/x",
                                "http://[]/x",
                                "gopher://example.test/",
                                "smb://127.0.0.1/share",
                                "http:example.test",
                                "http://exa\nmple.test/",
                                "http://example.test/\x7f",
                                ""})
        EXPECT_EQ(Accepted(address), "") << address;
}

// Only "file://" and an absolute path is a feed file; the path is taken as it is.
TEST(FeedAddressTest, AFeedFileAddressGivesItsPath)
{
    EXPECT_STREQ(feeds::LocalFeedPath(uString("file:///home/amy/My Feeds/a%20b.rss")).c_str(),
                 "/home/amy/My Feeds/a%20b.rss");
    for (const char* address :
         {"FILE:///etc/passwd", "file://localhost/etc/passwd", "file://", "file:/etc/passwd", "/etc/passwd",
          "http://example.test/a.rss", "file:///a\nb", ""})
        EXPECT_STREQ(feeds::LocalFeedPath(uString(address)).c_str(), "") << address;
}

TEST(FeedAddressTest, ListNamesEachAddressAndCutsALongList)
{
    std::vector<uString> addresses = {uString("javascript:x"), uString(), uString("/etc/passwd")};
    EXPECT_STREQ(feeds::ListAddresses(addresses).c_str(), "javascript:x\n(empty)\n/etc/passwd\n");
    EXPECT_STREQ(feeds::ListAddresses(addresses, 2).c_str(), "javascript:x\n(empty)\n...");
}
} // namespace
