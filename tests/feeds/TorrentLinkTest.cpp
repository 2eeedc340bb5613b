#include "feeds/MediaTypes.h"
#include "feeds/Preference.h"
#include "feeds/support/ConfigHome.h"
#include "support/LocalHttpServer.h"

#include <gtest/gtest.h>
#include <string>

namespace
{

using testsupport::HttpResponse;
using testsupport::LocalHttpServer;

HttpResponse withContentType(const std::string& line)
{
    HttpResponse response;
    response.headerLines.push_back(line);
    return response;
}

TEST(TorrentLinkTest, AsksTheServerForTheContentType)
{
    testsupport::ConfigHome config;
    CPreference::GetInstance();
    LocalHttpServer server;
    server.serve("/show.torrent", withContentType("Content-Type : APPLICATION/X-BITTORRENT"));
    server.serve("/page.torrent.html", withContentType("Content-Type: text/html"));
    server.serve("/odd.torrent", withContentType("Content-Type  x-bittorrent"));

    EXPECT_TRUE(IsTorrentLink(server.url("/show.torrent").c_str()));
    EXPECT_FALSE(IsTorrentLink(server.url("/page.torrent.html").c_str()));
    EXPECT_FALSE(IsTorrentLink(server.url("/odd.torrent").c_str())) << "no colon after the name";
    EXPECT_FALSE(IsTorrentLink(server.url("/missing.torrent").c_str())) << "404";
    ASSERT_EQ(server.requestCount(), 4u);
    EXPECT_EQ(server.requests().front().method, "HEAD");

    server.clearLog();
    EXPECT_FALSE(IsTorrentLink(".torrent/" + uString(server.url("/show.torrent").c_str())));
    EXPECT_FALSE(IsTorrentLink(server.url("/show.mp3").c_str()));
    EXPECT_EQ(server.requestCount(), 0u) << "links that cannot be a .torrent file are not asked about";
}

} // namespace
