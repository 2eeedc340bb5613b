#include "support/ScriptedSmtpServer.h"

#include "foundation/uBase64.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport
{

namespace
{
// Reads one line (without CR LF); false when the peer closed or the server stops.
bool ReadLine(int fd, std::string& pending, std::string& line, const std::atomic<bool>& stop)
{
    while (true)
    {
        std::size_t end = pending.find("\r\n");
        if (end != std::string::npos)
        {
            line = pending.substr(0, end);
            pending.erase(0, end + 2);
            return true;
        }
        pollfd p{fd, POLLIN, 0};
        if (stop)
            return false;
        if (::poll(&p, 1, 50) <= 0)
            continue;
        char chunk[4096];
        ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0)
            return false;
        pending.append(chunk, static_cast<std::size_t>(got));
    }
}

void Reply(int fd, const std::string& text)
{
    std::string line = text + "\r\n";
    (void)::send(fd, line.data(), line.size(), MSG_NOSIGNAL);
}

std::string Decode(const std::string& base64)
{
    uString decoded = Base64Decode(uString(base64.c_str()));
    return std::string(decoded.c_str(), static_cast<std::size_t>(decoded.getLength()));
}
} // namespace

ScriptedSmtpServer::ScriptedSmtpServer(Script script) : m_script(std::move(script))
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 8) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("ScriptedSmtpServer: cannot listen");
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
}

ScriptedSmtpServer::~ScriptedSmtpServer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listener);
}

std::vector<std::string> ScriptedSmtpServer::messages() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_messages;
}

std::vector<std::string> ScriptedSmtpServer::logins() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_logins;
}

void ScriptedSmtpServer::serve()
{
    while (!m_stop)
    {
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++m_connections;
        converse(fd);
        ::close(fd);
    }
}

void ScriptedSmtpServer::converse(int fd)
{
    std::string pending, line;
    if (m_script.greeting == 0)
    {
        // Stalled: hold the connection, say nothing.
        while (ReadLine(fd, pending, line, m_stop))
        {
        }
        return;
    }
    Reply(fd, std::to_string(m_script.greeting) + " scripted.test ESMTP");
    const bool needLogin = !m_script.user.empty();
    bool loggedIn = false;
    auto checkLogin = [&](const std::string& user, const std::string& password)
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_logins.push_back(user + ":" + password);
        }
        loggedIn = user == m_script.user && password == m_script.password;
        Reply(fd, loggedIn ? "235 2.7.0 Authentication successful"
                           : "535 5.7.8 Authentication credentials invalid");
    };
    while (ReadLine(fd, pending, line, m_stop))
    {
        std::string verb = line.substr(0, line.find(' '));
        for (char& c : verb)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (verb == "EHLO")
            Reply(fd, needLogin ? "250-scripted.test\r\n250 AUTH PLAIN" : "250 scripted.test");
        else if (verb == "HELO" || verb == "RSET" || verb == "NOOP")
            Reply(fd, "250 OK");
        else if (verb == "AUTH" && line.size() >= 10 && line.compare(5, 5, "PLAIN") == 0)
        {
            // "AUTH PLAIN" with the response on a line of its own or on the same line.
            std::string response = line.size() > 11 ? line.substr(11) : std::string();
            if (response.empty())
            {
                Reply(fd, "334 ");
                if (!ReadLine(fd, pending, response, m_stop))
                    return;
            }
            std::string plain = Decode(response);
            std::size_t first = plain.find('\0'), second = plain.find('\0', first + 1);
            checkLogin(plain.substr(first + 1, second - first - 1), plain.substr(second + 1));
        }
        else if (verb == "MAIL")
            Reply(fd, needLogin && !loggedIn ? "530 5.7.0 Authentication required" : "250 OK");
        else if (verb == "RCPT")
            Reply(fd, m_script.refuseRecipient ? "550 5.1.1 No such user here" : "250 OK");
        else if (verb == "DATA")
        {
            Reply(fd, "354 End data with <CR><LF>.<CR><LF>");
            std::string data;
            while (ReadLine(fd, pending, line, m_stop) && line != ".")
                data += (line.rfind("..", 0) == 0 ? line.substr(1) : line) + "\r\n";
            {
                std::lock_guard<std::mutex> lock(m_lock);
                m_messages.push_back(data);
            }
            Reply(fd, "250 OK queued");
        }
        else if (verb == "QUIT")
        {
            Reply(fd, "221 Bye");
            return;
        }
        else
            Reply(fd, "502 Command not implemented");
    }
}

} // namespace testsupport
