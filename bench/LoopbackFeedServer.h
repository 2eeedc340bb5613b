#pragma once

// An HTTP/1.1 server on 127.0.0.1 for the benchmarks: fixed documents by path,
// keep-alive, and TCP_NODELAY on every connection (without it each small
// response waits for the peer's delayed acknowledgement, about 40 ms). It
// always answers 200 with the whole document and ignores conditional headers,
// so no reader gains by sending them. It records the time of every GET.

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace benchserver
{

class LoopbackFeedServer
{
public:
    using Clock = std::chrono::steady_clock;

    // Each answer waits `latencyMs` first, as a distant server's would. With
    // `setCookies` each answer sets two cookies, both new values every time.
    explicit LoopbackFeedServer(std::map<std::string, std::string> documents, int latencyMs = 0,
                                bool setCookies = false)
        : m_documents(std::move(documents)), m_latency(latencyMs), m_setCookies(setCookies)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int on = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_listener < 0 ||
            ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listener, 256) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot listen on 127.0.0.1");
        m_port = ntohs(address.sin_port);
        m_acceptor = std::thread([this] { acceptLoop(); });
    }

    ~LoopbackFeedServer() { stop(); }
    LoopbackFeedServer(const LoopbackFeedServer&) = delete;
    LoopbackFeedServer& operator=(const LoopbackFeedServer&) = delete;

    int port() const { return m_port; }
    std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port); }

    void stop()
    {
        if (m_stopping.exchange(true))
            return;
        ::shutdown(m_listener, SHUT_RDWR);
        m_acceptor.join();
        ::close(m_listener);
        std::vector<Worker> workers;
        {
            std::lock_guard hold(m_lock);
            workers.swap(m_workers);
        }
        for (Worker& worker : workers)
            worker.thread.join();
    }

    // GETs of known documents since the last reset, and their first and last times.
    std::size_t gets() const
    {
        std::lock_guard hold(m_lock);
        return m_getTimes.size();
    }
    double getSpanSeconds() const
    {
        std::lock_guard hold(m_lock);
        if (m_getTimes.size() < 2)
            return 0;
        auto [first, last] = std::minmax_element(m_getTimes.begin(), m_getTimes.end());
        return std::chrono::duration<double>(*last - *first).count();
    }
    void resetLog()
    {
        std::lock_guard hold(m_lock);
        m_getTimes.clear();
    }

private:
    void acceptLoop()
    {
        while (!m_stopping.load())
        {
            const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0)
            {
                if (m_stopping.load())
                    return;
                continue;
            }
            int on = 1;
            ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            std::lock_guard hold(m_lock);
            reapLocked();
            auto done = std::make_shared<std::atomic<bool>>(false);
            m_workers.push_back({std::thread(
                                     [this, connection, done]
                                     {
                                         serve(connection);
                                         done->store(true);
                                     }),
                                 done});
        }
    }

    // Joins the connection threads that have ended, so that a long run does
    // not keep thousands of them.
    void reapLocked()
    {
        auto ended = std::partition(m_workers.begin(), m_workers.end(),
                                    [](const Worker& w) { return !w.done->load(); });
        for (auto it = ended; it != m_workers.end(); ++it)
            it->thread.join();
        m_workers.erase(ended, m_workers.end());
    }

    // Reads requests one after another on a connection until the peer closes
    // it, asks to close it, or the server stops.
    void serve(int connection)
    {
        std::string buffer;
        char chunk[8192];
        bool open = true;
        while (open && !m_stopping.load())
        {
            const std::size_t end = buffer.find("\r\n\r\n");
            if (end == std::string::npos)
            {
                pollfd poller{connection, POLLIN, 0};
                const int ready = ::poll(&poller, 1, 200);
                if (ready == 0)
                    continue;
                const ssize_t count = ready > 0 ? ::recv(connection, chunk, sizeof chunk, 0) : -1;
                if (count <= 0)
                    break;
                buffer.append(chunk, static_cast<std::size_t>(count));
                continue;
            }
            const std::string head = buffer.substr(0, end);
            buffer.erase(0, end + 4);
            open = answer(connection, head);
        }
        ::close(connection);
    }

    bool answer(int connection, const std::string& head)
    {
        const std::size_t methodEnd = head.find(' ');
        const std::size_t targetEnd = head.find(' ', methodEnd + 1);
        if (methodEnd == std::string::npos || targetEnd == std::string::npos)
            return false;
        const std::string method = head.substr(0, methodEnd);
        std::string target = head.substr(methodEnd + 1, targetEnd - methodEnd - 1);
        target = target.substr(0, target.find('?'));
        std::string lower = head;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        const bool keepAlive = head.compare(targetEnd + 1, 8, "HTTP/1.1") == 0 &&
                               lower.find("\r\nconnection: close") == std::string::npos;

        if (m_latency.count() > 0)
            std::this_thread::sleep_for(m_latency);
        auto found = m_documents.find(target);
        const bool known = found != m_documents.end();
        if (known && method == "GET")
        {
            std::lock_guard hold(m_lock);
            m_getTimes.push_back(Clock::now());
        }
        const std::string& body = known ? found->second : m_notFound;
        std::string cookies;
        if (m_setCookies)
        {
            const std::string n = std::to_string(++m_answers);
            cookies = "\r\nSet-Cookie: visit=" + n + "; Path=/" + "\r\nSet-Cookie: seen=" + n +
                      "; Path=/; Max-Age=86400";
        }
        std::string response = std::string("HTTP/1.1 ") + (known ? "200 OK" : "404 Not Found") +
                               "\r\nContent-Type: " + (known ? "application/xml" : "text/plain") +
                               "\r\nContent-Length: " + std::to_string(body.size()) + cookies +
                               (keepAlive ? "\r\nConnection: keep-alive" : "\r\nConnection: close") +
                               "\r\n\r\n";
        if (method != "HEAD")
            response += body;
        std::size_t sent = 0;
        while (sent < response.size())
        {
            const ssize_t count =
                ::send(connection, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
            if (count <= 0)
                return false;
            sent += static_cast<std::size_t>(count);
        }
        return keepAlive;
    }

    const std::map<std::string, std::string> m_documents;
    const std::string m_notFound = "not found";
    const std::chrono::milliseconds m_latency;
    const bool m_setCookies;
    std::atomic<long> m_answers{0};
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptor;
    struct Worker
    {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    mutable std::mutex m_lock;
    std::vector<Worker> m_workers;
    std::vector<Clock::time_point> m_getTimes;
};

} // namespace benchserver
