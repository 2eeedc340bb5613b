// Guards against a server again being told, on its command line, a port this process chose and let go.
// The loopback servers the tests start as child programs must own their port from the moment it
// is chosen: tests run in parallel, and a port released before the child binds it may go to a
// server of another test process. Here a thread plays that other process at its quickest.
#include "support/LocalFtpServer.h"
#include "support/LocalSmtpServer.h"
#include "support/LocalTlsServer.h"

#include <arpa/inet.h>
#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <regex>
#include <set>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace testsupport;

namespace
{

// Watches the child programs of this process and binds every port named on their command lines
// as soon as they appear, the way a racing process would take a port that was just released.
class PortThief
{
public:
    PortThief() : m_thread([this] { run(); }) {}
    ~PortThief()
    {
        stop();
        for (int fd : m_taken)
            ::close(fd);
    }

    // The counts are read after stop(), once the thread no longer writes them.
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    std::size_t programsSeen() const { return m_seen.size(); }
    std::size_t portsTaken() const { return m_taken.size(); }

private:
    void run()
    {
        // "-p PORT" as pyftpdlib takes it, "HOST:PORT" as aiosmtpd and openssl s_server do.
        const std::regex named(R"((?:-p|:)\x00?(\d+)\x00)");
        while (!m_stop)
            for (const std::string& child : children())
            {
                std::string command = ReadFileBytes("/proc/" + child + "/cmdline");
                // Until exec the child shows this test's own command line.
                if (m_seen.count(child) || command.rfind("/usr/bin/", 0) != 0)
                    continue;
                m_seen.insert(child);
                std::smatch port;
                if (std::regex_search(command, port, named) && std::stoi(port[1]) > 0)
                    take(std::stoi(port[1]));
            }
    }

    static std::vector<std::string> children()
    {
        std::vector<std::string> result;
        std::error_code error;
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error))
        {
            std::istringstream list(ReadFileBytes(task.path().string() + "/children"));
            for (std::string pid; list >> pid;)
                result.push_back(pid);
        }
        return result;
    }

    void take(int port)
    {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(fd, 8) == 0)
            m_taken.push_back(fd);
        else
            ::close(fd);
    }

    std::atomic<bool> m_stop{false};
    std::set<std::string> m_seen;
    std::vector<int> m_taken;
    std::thread m_thread;
};

} // namespace

TEST(ServerPortTest, AProcessRacingForTheServersPortsGetsNone)
{
    if (!LocalFtpServer::available() || !LocalSmtpServer::available() || !LocalTlsServer::available())
        GTEST_SKIP() << "pyftpdlib, aiosmtpd or openssl is not installed";
    if (!FileExists("/proc/thread-self/children"))
        GTEST_SKIP() << "this kernel does not list a thread's children";
    PortThief thief;
    {
        LocalFtpServer ftp;
        LocalSmtpServer smtp;
        LocalTlsServer tls;
        EXPECT_EQ(ReadGreeting(ftp.port()).substr(0, 3), "220") << ftp.log();
        EXPECT_EQ(ReadGreeting(smtp.port()).substr(0, 3), "220") << smtp.log();
    }
    thief.stop();
    EXPECT_GE(thief.programsSeen(), 3u) << "the thief must have watched the three servers start";
    EXPECT_EQ(thief.portsTaken(), 0u);
}
