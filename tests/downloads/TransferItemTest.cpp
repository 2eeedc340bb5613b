// Transfer records: names and identity from the link, the header length, and
// fetching into a per-record temp file against a local server.
#include "downloads/TransferItem.h"

#include "DownloadTestSupport.h"
#include "feeds/support/ConfigHome.h"
#include "support/LocalFtpServer.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <regex>

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
    const CTransferItem record = Record("http://h/show.mp3");
    EXPECT_TRUE(std::regex_match(S(record.id), std::regex("([0-9a-f]{32}-){3}[0-9a-f]{32}")));
    // MD5("list.mdb") leads; the well-known digest of "" shows the encoding.
    EXPECT_EQ(S(record.id).substr(0, 32), S(Md5Hex(U("list.mdb"))));
    EXPECT_EQ(S(Md5Hex(U(""))), "d41d8cd98f00b204e9800998ecf8427e");

    EXPECT_EQ(Record("http://h/show.mp3").id, record.id);
    const CTransferItem others[] = {
        CTransferItem(0, 1, U("News"), U("other.mdb"), U("http://site/feed"), U("http://site/item"),
                      U("http://h/show.mp3")),
        CTransferItem(0, 1, U("News"), U("list.mdb"), U("http://site/feed2"), U("http://site/item"),
                      U("http://h/show.mp3")),
        Record("http://h/show.mp3", "http://site/item2"),
        Record("http://h/show2.mp3"),
    };
    for (const CTransferItem& other : others)
        EXPECT_NE(other.id, record.id);
    // The label and the media kind are no part of the identity.
    EXPECT_EQ(CTransferItem(0, 2, U("Other"), U("list.mdb"), U("http://site/feed"), U("http://site/item"),
                            U("http://h/show.mp3"))
                  .id,
              record.id);
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

TEST_F(TransferFetchTest, PrepareAsksForTheLengthOnlyWhenUnknown)
{
    m_server.serveContent("/a/show.mp3", std::string(4321, 'x'));
    CTransferItem record = Record(m_server.url("/a/show.mp3?session=1"));
    ASSERT_TRUE(record.Prepare(m_context));
    EXPECT_EQ(record.length, 4321u);
    EXPECT_EQ(std::string(record.localfile.getFileName()), "show.mp3");
    EXPECT_EQ(m_server.requestCount(), 1u);

    ASSERT_TRUE(record.Prepare(m_context));
    EXPECT_EQ(m_server.requestCount(), 1u);

    CTransferItem torrent(CTransferItem::kTypeTorrent, 0, U("News"), U("list.mdb"), U("f"), U("i"),
                          U(m_server.url("/t/file.torrent")));
    torrent.length = 10;
    ASSERT_TRUE(torrent.Prepare(m_context));
    EXPECT_EQ(S(torrent.localfile.getPath()), m_dir.file("torrent/") + S(Md5Hex(torrent.link)) + ".torrent");
}

TEST_F(TransferFetchTest, RecordsWithOneFileNameNeverShareATempFile)
{
    CTransferItem first = Record("http://127.0.0.1:1/a/episode.mp3", "http://site/one");
    CTransferItem second = Record("http://127.0.0.1:1/b/episode.mp3", "http://site/two");
    first.length = second.length = 1;
    ASSERT_TRUE(first.Prepare(m_context));
    ASSERT_TRUE(second.Prepare(m_context));
    EXPECT_EQ(std::string(first.localfile.getFileName()), "episode.mp3");
    EXPECT_NE(first.localfile.getPath(), second.localfile.getPath());
}

TEST_F(TransferFetchTest, StartResumesAPartialFileToTheServedBytes)
{
    std::string content;
    for (int i = 0; i < 50000; ++i)
        content += static_cast<char>('a' + i % 26);
    m_server.serveContent("/show.mp3", content);
    CTransferItem record = Record(m_server.url("/show.mp3"));
    record.length = content.size();
    ASSERT_TRUE(record.Prepare(m_context));
    m_dir.write("temp/" + S(Md5Hex(record.id)) + "/show.mp3", content.substr(0, 12345));

    ASSERT_TRUE(record.Start(m_context));
    EXPECT_EQ(record.status, CTransferItem::kDownloaded);
    EXPECT_EQ(ReadFileBytes(S(record.localfile.getPath())), content);
    const auto requests = m_server.requestsFor("/show.mp3");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].rangeStart(), std::optional<std::size_t>(12345));
    EXPECT_EQ(S(record.GetLocalFileName()), "show.mp3");
    EXPECT_EQ(record.GetLocalFileSize(), static_cast<int64_t>(content.size()));
}

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
}

TEST_F(TransferFetchTest, AnUnreachableServerFailsPrepare)
{
    testsupport::LocalHttpServer closed;
    const std::string link = closed.url("/show.mp3");
    closed.stop();
    CTransferItem record = Record(link);
    EXPECT_FALSE(record.Prepare(m_context));
    EXPECT_EQ(record.status, CTransferItem::kFailed);
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
