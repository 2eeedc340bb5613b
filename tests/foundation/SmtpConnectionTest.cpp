#include "foundation/SmtpConnection.h"

#include "support/LocalTlsServer.h"

#include <gtest/gtest.h>

using testsupport::LocalTlsServer;

TEST(SmtpConnectionTest, OnlyAPlainHostAndPortMakeAServerAddress)
{
    std::string url, host;
    ASSERT_TRUE(CSMTPConnection::MakeUrl("mail.example.test", 25, url, host));
    EXPECT_EQ(url.rfind("smtp://mail.example.test:25/", 0), 0u) << url;
    EXPECT_EQ(host, "mail.example.test");
    ASSERT_TRUE(CSMTPConnection::MakeUrl("SMTPS://mail.example.test/", 25, url, host));
    EXPECT_EQ(url.rfind("smtps://mail.example.test:465/", 0), 0u) << url;
    ASSERT_TRUE(CSMTPConnection::MakeUrl("[::1]:2525", 25, url, host));
    EXPECT_EQ(url.rfind("smtp://[::1]:2525/", 0), 0u) << url;
    for (const char* refused :
         {"", "mail.example.test\r\nRCPT TO:<x@y.test>", "mail.example.test:0", "mail.example.test:70000",
          "mail.example.test:25x", "http://mail.example.test", "smtp://user@mail.example.test",
          "smtp://mail.example.test/path", "[::1"})
        EXPECT_FALSE(CSMTPConnection::MakeUrl(refused, 25, url, host)) << refused;
}

TEST(SmtpConnectionTest, AServerWhoseCertificateNobodySignedGetsNoMail)
{
    if (!LocalTlsServer::available())
        GTEST_SKIP() << "openssl is not installed";
    LocalTlsServer server;
    CSMTPConnection connection;
    EXPECT_EQ(connection.Send("smtps://127.0.0.1:" + std::to_string(server.port()), "a@example.test",
                              "b@example.test", "Subject: x\r\n\r\nx\r\n", nullptr),
              CMailTransport::Result::NotConnected);
    EXPECT_NE(connection.GetErrorText().find("certificate"), std::string::npos) << connection.GetErrorText();
}
