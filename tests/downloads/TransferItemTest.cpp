// Transfer records: names and identity from the link, the header length, and
// fetching into a per-record temp file against a local server.
#include "downloads/TransferItem.h"

#include "DownloadTestSupport.h"
#include "feeds/support/ConfigHome.h"
#include "support/ChildProcess.h"
#include "support/LocalFtpServer.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace
{

using downloadtest::S;
using downloadtest::U;
using testsupport::ReadFileBytes;

CTransferItem Record(const std::string& link, const std::string& item = "http://site/item")
{
    return CTransferItem(CTransferItem::kTypePlain, CTransferItem::kMediaAudio, U("News"), U("list.mdb"),
                         U("http://site/feed"), U(item), U(link));
}

TEST(TransferItemTest, NamesComeFromTheLastPathSegment)
{
    struct Case
    {
        const char* link;
        const char* filename;
        const char* extension;
    };
    const Case cases[] = {
        {"http://h/a/show.mp3?x=1&y=2", "show.mp3", ".mp3"},
        {"http://h/a/show.mp3?x=1?y=2", "show.mp3", ".mp3"},
        {"http://h/a/", "", ""},
        {"http://h/a/?only-query", "?only-query", ""},
        {"http://h/a/README", "README", ""},
        {"http://h/a/.hidden", ".hidden", ".hidden"},
        {"no-slash.ogg", "no-slash.ogg", ".ogg"},
        {"http://h/archive.tar.gz", "archive.tar.gz", ".gz"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.link);
        const CTransferItem record = Record(c.link);
        EXPECT_EQ(S(record.filename), c.filename);
        EXPECT_EQ(S(record.extension), c.extension);
    }
}

TEST(TransferItemTest, IdentityIsTheDigestOfTheFourKeys)
{
    auto identity = [](const char* ds, const char* feed, const char* item, const char* link, int media = 1,
                       const char* label = "News")
    { return S(CTransferItem(0, media, U(label), U(ds), U(feed), U(item), U(link)).id); };
    const std::string id = identity("list.mdb", "http://site/feed", "http://site/item", "http://h/show.mp3");
    EXPECT_EQ(id, S(Md5Hex(U("list.mdb"))) + "-" + S(Md5Hex(U("http://site/feed"))) + "-" +
                      S(Md5Hex(U("http://site/item"))) + "-" + S(Md5Hex(U("http://h/show.mp3"))));
    EXPECT_EQ(S(Md5Hex(U(""))), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_NE(identity("other.mdb", "http://site/feed", "http://site/item", "http://h/show.mp3"), id);
    EXPECT_NE(identity("list.mdb", "http://site/feed2", "http://site/item", "http://h/show.mp3"), id);
    EXPECT_NE(identity("list.mdb", "http://site/feed", "http://site/item2", "http://h/show.mp3"), id);
    EXPECT_NE(identity("list.mdb", "http://site/feed", "http://site/item", "http://h/show2.mp3"), id);
    EXPECT_EQ(identity("list.mdb", "http://site/feed", "http://site/item", "http://h/show.mp3", 2, "Other"),
              id)
        << "the label and the media kind are no part of the identity";
}

TEST(TransferItemTest, ContentLengthIsTheFinalResponses)
{
    EXPECT_EQ(GetContentLength(U("HTTP/1.1 200 OK\r\nContent-Length: 1234\r\n\r\n")), 1234u);
    EXPECT_EQ(GetContentLength(U("HTTP/1.1 200 OK\r\n  CONTENT-LENGTH:   77  \r\n")), 77u);
    EXPECT_EQ(GetContentLength(U("HTTP/1.1 200 OK\r\nServer: x\r\n")), 0u);
    // A redirect's body length says nothing about the file it points to.
    EXPECT_EQ(GetContentLength(U("HTTP/1.1 302 Found\r\nContent-Length: 154\r\nLocation: /b\r\n\r\n"
                                 "HTTP/1.1 200 OK\r\nContent-Length: 9000000000\r\n\r\n")),
              9000000000u);
    EXPECT_EQ(GetContentLength(U("HTTP/1.1 301 Moved\r\nContent-Length: 154\r\n\r\nHTTP/1.1 200 OK\r\n\r\n")),
              0u);
}

class TransferFetchTest : public ::testing::Test
{
protected:
    TransferFetchTest()
    {
        m_context.tempDir = uFile(m_dir.file("temp").c_str());
        m_context.torrentDir = uFile(m_dir.file("torrent").c_str());
    }

    testsupport::ConfigHome m_home; // the fetches read the proxy and cookie folder from it
    testsupport::TempDir m_dir;
    testsupport::LocalHttpServer m_server;
    CTransferContext m_context;
};

TEST_F(TransferFetchTest, PrepareAsksForTheLengthOnlyWhenUnknownAndGivesEachRecordItsOwnFile)
{
    m_server.serveContent("/a/show.mp3", std::string(4321, 'x'));
    CTransferItem record = Record(m_server.url("/a/show.mp3?session=1"));
    ASSERT_TRUE(record.Prepare(m_context));
    EXPECT_EQ(record.length, 4321u);
    EXPECT_EQ(std::string(record.localfile.getFileName()), "show.mp3");
    ASSERT_TRUE(record.Prepare(m_context));
    EXPECT_EQ(m_server.requestCount(), 1u);

    CTransferItem other = Record(m_server.url("/b/show.mp3"), "http://site/two");
    other.length = 1;
    ASSERT_TRUE(other.Prepare(m_context));
    EXPECT_NE(other.localfile.getPath(), record.localfile.getPath()) << "one file name, two temp files";

    CTransferItem torrent(CTransferItem::kTypeTorrent, 0, U("News"), U("list.mdb"), U("f"), U("i"),
                          U(m_server.url("/t/file.torrent")));
    torrent.length = 10;
    ASSERT_TRUE(torrent.Prepare(m_context));
    EXPECT_EQ(S(torrent.localfile.getPath()), m_dir.file("torrent/") + S(Md5Hex(torrent.link)) + ".torrent");
}

// A 404 fails the transfer but keeps the partial file for a later resume; a
// server that cannot be reached fails already at Prepare.
TEST_F(TransferFetchTest, AnErrorAnswerFailsAndKeepsThePartialFile)
{
    m_server.serve("/gone.mp3", testsupport::TextResponse(404, "<html>not found</html>", "text/html"));
    CTransferItem record = Record(m_server.url("/gone.mp3"));
    ASSERT_TRUE(record.Prepare(m_context)); // the HEAD answer decides nothing
    EXPECT_EQ(record.length, 0u);
    m_dir.write("temp/" + S(Md5Hex(record.id)) + "/gone.mp3", "partial");
    EXPECT_FALSE(record.Start(m_context));
    EXPECT_EQ(record.status, CTransferItem::kFailed);
    EXPECT_EQ(ReadFileBytes(S(record.localfile.getPath())), "partial");

    const testsupport::ClosedPort closed;
    CTransferItem unreachable = Record(closed.url("/show.mp3"));
    EXPECT_FALSE(unreachable.Prepare(m_context));
    EXPECT_EQ(unreachable.status, CTransferItem::kFailed);
}

TEST_F(TransferFetchTest, AnFtpEnclosureOfUnknownSizeIsFetchedWithoutAHeaderRequest)
{
    if (!testsupport::LocalFtpServer::available())
        GTEST_SKIP() << "no FTP server package";
    testsupport::LocalFtpServer ftp;
    ftp.write("pub/show.mp3", "ftp bytes");
    CTransferItem record = Record(ftp.url("/pub/show.mp3"));
    ASSERT_TRUE(record.Prepare(m_context));
    EXPECT_EQ(record.length, 0u);
    ASSERT_TRUE(record.Start(m_context));
    EXPECT_EQ(ReadFileBytes(S(record.localfile.getPath())), "ftp bytes");
    EXPECT_EQ(record.length, 9u);
}

} // namespace
