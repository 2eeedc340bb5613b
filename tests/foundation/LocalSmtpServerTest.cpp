// The SMTP test server has no user among the product's tests yet, so its own behaviour is
// checked here with a plain socket. The HTTP and FTP servers are shown by the transfer tests.
#include "support/LocalSmtpServer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace testsupport;

namespace
{

class RawClient
{
public:
    explicit RawClient(int port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        if (::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            ADD_FAILURE() << "cannot connect to port " << port;
    }
    ~RawClient() { ::close(m_fd); }

    void send(const std::string& text)
    {
        ASSERT_EQ(::send(m_fd, text.data(), text.size(), MSG_NOSIGNAL), (ssize_t)text.size());
    }

    // Reads until `marker` has arrived (or, with an empty marker, until the peer closes).
    std::string readUntil(const std::string& marker)
    {
        for (int slices = 0; slices < 500; ++slices)
        {
            if (!marker.empty() && m_received.find(marker) != std::string::npos)
                break;
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            char chunk[4096];
            ssize_t got = ::recv(m_fd, chunk, sizeof chunk, 0);
            if (got <= 0)
                break;
            m_received.append(chunk, static_cast<std::size_t>(got));
        }
        std::size_t end = marker.empty() ? std::string::npos : m_received.find(marker);
        std::string taken = end == std::string::npos ? m_received : m_received.substr(0, end + marker.size());
        m_received.erase(0, taken.size());
        return taken;
    }

    std::string command(const std::string& line)
    {
        send(line + "\r\n");
        return readUntil("\r\n");
    }

private:
    int m_fd = -1;
    std::string m_received;
};

} // namespace

TEST(LocalSmtpServerTest, CapturesEnvelopeAndRawMessage)
{
    if (!LocalSmtpServer::available())
        GTEST_SKIP() << "aiosmtpd is not installed";
    LocalSmtpServer server;

    RawClient client(server.port());
    EXPECT_EQ(client.readUntil("\r\n").substr(0, 3), "220");
    client.send("HELO test\r\n");
    EXPECT_EQ(client.readUntil("\r\n").substr(0, 3), "250");
    EXPECT_EQ(client.command("MAIL FROM:<a@example.test>").substr(0, 3), "250");
    EXPECT_EQ(client.command("RCPT TO:<b@example.test>").substr(0, 3), "250");
    EXPECT_EQ(client.command("RCPT TO:<c@example.test>").substr(0, 3), "250");
    EXPECT_EQ(client.command("DATA").substr(0, 3), "354");
    EXPECT_EQ(client.command("Subject: hi\r\n\r\nline one\r\n..dot\r\n.").substr(0, 3), "250");
    client.command("QUIT");

    ASSERT_TRUE(server.waitForMessages(1));
    auto messages = server.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].mailFrom, "a@example.test");
    EXPECT_EQ(messages[0].recipients, (std::vector<std::string>{"b@example.test", "c@example.test"}));
    EXPECT_EQ(messages[0].data, "Subject: hi\r\n\r\nline one\r\n.dot\r\n");
}
