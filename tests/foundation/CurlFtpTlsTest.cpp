// FTP against Debian's pyftpdlib and TLS against openssl's test server, both on 127.0.0.1.
#include "foundation/uCurlTransfer.h"
#include "support/LocalFtpServer.h"
#include "support/LocalTlsServer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace
{

std::string S(const uString& text)
{
    return std::string(text.c_str(), static_cast<std::size_t>(text.getLength()));
}

std::string Episode()
{
    std::string bytes;
    for (int i = 0; i < 50000; ++i)
        bytes += static_cast<char>((i * 7919) % 251);
    return bytes;
}

} // namespace

TEST(CurlFtpTest, DownloadsResumesAndReportsTheSize)
{
    if (!LocalFtpServer::available())
        GTEST_SKIP() << "pyftpdlib is not installed";
    LocalFtpServer server("reader", "secret");
    const std::string episode = Episode();
    server.write("pub/episode.mp3", episode);
    TempDir dir;

    uCurlTransfer transfer(server.urlWithLogin("/pub/episode.mp3").c_str());
    EXPECT_EQ(transfer.getProtocol(), uCurlTransfer::kFtp);
    uFile whole(dir.file("whole.mp3").c_str());
    ASSERT_TRUE(transfer.downloadToFile(&whole)) << transfer.getErrorText();
    EXPECT_EQ(ReadFileBytes(dir.file("whole.mp3")), episode);

    // Resumed through REST: the result is byte-identical.
    dir.write("part.mp3", episode.substr(0, 12345));
    uFile part(dir.file("part.mp3").c_str());
    ASSERT_TRUE(transfer.downloadToFile(&part)) << transfer.getErrorText();
    EXPECT_EQ(ReadFileBytes(dir.file("part.mp3")), episode);

    // Header requests are HTTP's: refused before anything is sent, and the
    // header file is not even created.
    uString headers;
    EXPECT_FALSE(transfer.getHead(&headers));
    EXPECT_TRUE(headers.isEmpty());
    uFile head(dir.file("head.txt").c_str());
    EXPECT_FALSE(transfer.headToFile(&head));
    EXPECT_FALSE(FileExists(dir.file("head.txt")));

    // A refused header request leaves the object able to download again.
    uFile again(dir.file("again.mp3").c_str());
    ASSERT_TRUE(transfer.downloadToFile(&again)) << transfer.getErrorText();
    EXPECT_EQ(ReadFileBytes(dir.file("again.mp3")), episode);

    ASSERT_TRUE(transfer.setURL(server.url("/pub/missing.mp3").c_str()));
    uFile missing(dir.file("missing.mp3").c_str());
    EXPECT_FALSE(transfer.downloadToFile(&missing)) << "anonymous logins are refused by this server";
    EXPECT_EQ(transfer.getLastResult(), 67);
    EXPECT_FALSE(FileExists(dir.file("missing.mp3")));
}

TEST(CurlTlsTest, RefusesACertificateNoAuthoritySigned)
{
    if (!LocalTlsServer::available())
        GTEST_SKIP() << "openssl is not installed";
    LocalTlsServer server;

    uCurlTransfer transfer(server.url("/feed.xml").c_str());
    uString body;
    EXPECT_FALSE(transfer.downloadToString(&body));
    EXPECT_EQ(transfer.getLastResult(), 60) << transfer.getErrorText() << "\n" << server.log();
    EXPECT_EQ(S(body), "");
}
