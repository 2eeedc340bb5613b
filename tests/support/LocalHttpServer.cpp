#include "support/LocalHttpServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport
{

namespace
{

constexpr int kPollSliceMs = 50;
constexpr int kIdleLimitMs = 15000;         // a silent client is dropped after this
constexpr int kStallLimitMs = 60000;        // the longest a scripted stall may last
constexpr std::size_t kHeaderLimit = 65536; // larger request heads are refused
constexpr std::size_t kBodyLimit = 64 << 20;

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() && Lower(text.substr(0, prefix.size())) == prefix;
}

bool SendAll(int fd, const char* data, std::size_t size)
{
    while (size > 0)
    {
        ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool SendAll(int fd, const std::string& text)
{
    return SendAll(fd, text.data(), text.size());
}

// Splits an origin-form or absolute-form target into path and query.
void SplitTarget(HttpRequest& request)
{
    std::string rest = request.target;
    if (StartsWithNoCase(rest, "http://") || StartsWithNoCase(rest, "https://"))
    {
        std::size_t slash = rest.find('/', rest.find("://") + 3);
        rest = slash == std::string::npos ? "/" : rest.substr(slash);
    }
    std::size_t mark = rest.find('?');
    request.path = rest.substr(0, mark);
    request.query = mark == std::string::npos ? "" : rest.substr(mark + 1);
}

bool HasHeaderLine(const HttpResponse& response, const std::string& name)
{
    const std::string prefix = Lower(name) + ":";
    return std::any_of(response.headerLines.begin(), response.headerLines.end(),
                       [&](const std::string& line) { return StartsWithNoCase(line, prefix); });
}

} // namespace

struct LocalHttpServer::Connection
{
    int fd = -1;
    std::string buffer; // bytes received but not yet consumed

    // Appends what arrives within the idle limit; false on close, error, limit or stop.
    bool receiveMore(const std::atomic<bool>& stopping)
    {
        for (int waited = 0; waited < kIdleLimitMs && !stopping; waited += kPollSliceMs)
        {
            pollfd p{fd, POLLIN, 0};
            int ready = ::poll(&p, 1, kPollSliceMs);
            if (ready < 0 && errno != EINTR)
                return false;
            if (ready <= 0)
                continue;
            char chunk[16384];
            ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
            if (got <= 0)
                return false;
            buffer.append(chunk, static_cast<std::size_t>(got));
            return true;
        }
        return false;
    }

    bool readLine(const std::atomic<bool>& stopping, std::string& line)
    {
        std::size_t end;
        while ((end = buffer.find("\r\n")) == std::string::npos)
            if (buffer.size() > kHeaderLimit || !receiveMore(stopping))
                return false;
        line = buffer.substr(0, end);
        buffer.erase(0, end + 2);
        return true;
    }

    bool readBytes(const std::atomic<bool>& stopping, std::size_t count, std::string& out)
    {
        while (buffer.size() < count)
            if (!receiveMore(stopping))
                return false;
        out.append(buffer, 0, count);
        buffer.erase(0, count);
        return true;
    }
};

LocalHttpServer::LocalHttpServer()
{
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0)
        throw std::runtime_error("LocalHttpServer: socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listenFd, 64) != 0 ||
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    {
        ::close(m_listenFd);
        throw std::runtime_error("LocalHttpServer: cannot listen on 127.0.0.1");
    }
    m_port = ntohs(address.sin_port);
    m_acceptThread = std::thread([this] { acceptLoop(); });
}

LocalHttpServer::~LocalHttpServer()
{
    stop();
}

std::string LocalHttpServer::authority() const
{
    return "127.0.0.1:" + std::to_string(m_port);
}

std::string LocalHttpServer::url(const std::string& path) const
{
    return "http://" + authority() + path;
}

void LocalHttpServer::route(const std::string& pathOrUrl, Handler handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_routes[pathOrUrl] = std::move(handler);
}

void LocalHttpServer::serve(const std::string& pathOrUrl, const HttpResponse& response)
{
    route(pathOrUrl, [response](const HttpRequest&) { return response; });
}

void LocalHttpServer::serveContent(const std::string& pathOrUrl, const std::string& content,
                                   const std::string& contentType, bool honourRange)
{
    route(pathOrUrl, [=](const HttpRequest& request)
          { return ContentResponse(request, content, contentType, honourRange); });
}

void LocalHttpServer::redirect(const std::string& pathOrUrl, const std::string& location, int status)
{
    serve(pathOrUrl, RedirectResponse(location, status));
}

void LocalHttpServer::setDefaultHandler(Handler handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_defaultHandler = std::move(handler);
}

std::vector<HttpRequest> LocalHttpServer::requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
}

std::vector<HttpRequest> LocalHttpServer::requestsFor(const std::string& path) const
{
    std::vector<HttpRequest> matching;
    for (HttpRequest& request : requests())
        if (request.path == path)
            matching.push_back(std::move(request));
    return matching;
}

std::size_t LocalHttpServer::requestCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log.size();
}

void LocalHttpServer::clearLog()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.clear();
}

void LocalHttpServer::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_stopSignal.notify_all();
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    if (m_listenFd >= 0)
    {
        ::close(m_listenFd);
        m_listenFd = -1;
    }
    std::vector<std::thread> workers;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        workers.swap(m_workers);
    }
    for (std::thread& worker : workers)
        worker.join();
}

bool LocalHttpServer::pause(int milliseconds)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return !m_stopSignal.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                  [this] { return m_stopping.load(); });
}

void LocalHttpServer::acceptLoop()
{
    while (!m_stopping)
    {
        pollfd p{m_listenFd, POLLIN, 0};
        if (::poll(&p, 1, kPollSliceMs) <= 0)
            continue;
        int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        std::size_t number = ++m_connections;
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping)
        {
            ::close(fd);
            break;
        }
        m_workers.emplace_back([this, fd, number] { serveConnection(fd, number); });
    }
}

void LocalHttpServer::serveConnection(int fd, std::size_t number)
{
    Connection connection;
    connection.fd = fd;
    // One request per connection: every reply says "Connection: close".
    HttpRequest request;
    request.connection = number;
    if (!m_stopping && readRequest(connection, request))
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_log.push_back(request);
        }
        HttpResponse response;
        try
        {
            response = handlerFor(request)(request);
        }
        catch (const std::exception& error)
        {
            response = TextResponse(500, std::string("handler threw: ") + error.what());
        }
        sendResponse(connection, request, response);
    }
    // Let the client read everything before the close: half-close, then drain briefly.
    ::shutdown(fd, SHUT_WR);
    for (int waited = 0; waited < 1000 && !m_stopping; waited += kPollSliceMs)
    {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kPollSliceMs) <= 0)
            continue;
        char sink[4096];
        if (::recv(fd, sink, sizeof sink, 0) <= 0)
            break;
    }
    ::close(fd);
}

bool LocalHttpServer::readRequest(Connection& connection, HttpRequest& request)
{
    std::string line;
    if (!connection.readLine(m_stopping, line))
        return false;
    std::size_t first = line.find(' ');
    std::size_t second = line.find(' ', first + 1);
    if (first == std::string::npos || second == std::string::npos)
        return false;
    request.method = line.substr(0, first);
    request.target = line.substr(first + 1, second - first - 1);
    request.version = line.substr(second + 1);
    SplitTarget(request);

    for (std::size_t count = 0;; ++count)
    {
        if (count > 200 || !connection.readLine(m_stopping, line))
            return false;
        if (line.empty())
            break;
        std::size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        value.erase(value.find_last_not_of(" \t") + 1);
        request.headers.emplace_back(line.substr(0, colon), value);
    }

    if (Lower(request.header("Expect")) == "100-continue" &&
        !SendAll(connection.fd, "HTTP/1.1 100 Continue\r\n\r\n"))
        return false;

    if (Lower(request.header("Transfer-Encoding")).find("chunked") != std::string::npos)
    {
        for (;;)
        {
            if (!connection.readLine(m_stopping, line))
                return false;
            std::size_t size = std::strtoul(line.c_str(), nullptr, 16);
            if (size == 0)
                return connection.readLine(m_stopping, line); // the blank line after the last chunk
            std::string crlf;
            if (request.body.size() + size > kBodyLimit ||
                !connection.readBytes(m_stopping, size, request.body) ||
                !connection.readBytes(m_stopping, 2, crlf))
                return false;
        }
    }
    std::string length = request.header("Content-Length");
    if (!length.empty())
    {
        std::size_t size = std::strtoul(length.c_str(), nullptr, 10);
        if (size > kBodyLimit || !connection.readBytes(m_stopping, size, request.body))
            return false;
    }
    return true;
}

bool LocalHttpServer::sendResponse(Connection& connection, const HttpRequest& request,
                                   const HttpResponse& response)
{
    const int fd = connection.fd;
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " +
                       (response.reason.empty() ? StatusPhrase(response.status) : response.reason) + "\r\n";
    for (const std::string& line : response.headerLines)
        head += line + "\r\n";
    if (response.chunked)
        head += "Transfer-Encoding: chunked\r\n";
    else if (!HasHeaderLine(response, "Content-Length"))
        head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    head += "Connection: close\r\n";
    if (response.holdInHead)
    {
        if (!SendAll(fd, head))
            return false;
        response.holdInHead();
        head.clear();
    }
    if (!SendAll(fd, head + "\r\n"))
        return false;

    if (response.stallAfterHeaders)
    {
        pause(kStallLimitMs);
        return false;
    }
    const bool noBody = request.method == "HEAD" || response.status == 204 || response.status == 304 ||
                        (response.status >= 100 && response.status < 200);
    if (noBody)
        return true;

    const std::size_t total =
        std::min(response.body.size(), response.breakAfter.value_or(response.body.size()));
    const std::size_t piece = response.dripMs > 0 ? std::max<std::size_t>(1, response.dripBytes) : total;
    std::size_t start = 0;
    if (response.hold && response.holdAfter < total)
    {
        if (!SendAll(fd, response.body.substr(0, response.holdAfter)))
            return false;
        response.hold();
        start = response.holdAfter;
    }
    for (std::size_t offset = start; offset < total; offset += piece)
    {
        if (offset > 0 && response.dripMs > 0 && !pause(response.dripMs))
            return false;
        const std::string part = response.body.substr(offset, std::min(piece, total - offset));
        char size[24];
        std::snprintf(size, sizeof size, "%zx\r\n", part.size());
        if (!SendAll(fd, response.chunked ? size + part + "\r\n" : part))
            return false;
    }
    // A chunked answer broken off never gets its last chunk.
    return !response.chunked || total < response.body.size() || SendAll(fd, "0\r\n\r\n");
}

LocalHttpServer::Handler LocalHttpServer::handlerFor(const HttpRequest& request) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (request.target.find("://") != std::string::npos)
    {
        std::string withoutQuery = request.target.substr(0, request.target.find('?'));
        auto found = m_routes.find(withoutQuery);
        if (found != m_routes.end())
            return found->second;
    }
    auto found = m_routes.find(request.path);
    if (found != m_routes.end())
        return found->second;
    if (m_defaultHandler)
        return m_defaultHandler;
    return [](const HttpRequest&) { return TextResponse(404, "not found\n"); };
}

} // namespace testsupport
