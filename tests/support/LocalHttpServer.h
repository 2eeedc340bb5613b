#pragma once

#include "support/HttpMessage.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport
{

// An HTTP/1.1 server on 127.0.0.1 and an ephemeral port, running on threads of this process:
// one accepts, one serves each connection. Tests script it by path and afterwards look at what
// the client really sent. It also answers absolute-form targets, so it can play a proxy: routes
// may be keyed by the full URL ("http://example.test/feed"), which is tried before the path.
//
// Every wait inside it is bounded and ends at once when the server stops; the destructor stops
// it and joins all its threads.
class LocalHttpServer
{
public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;

    LocalHttpServer(); // listening when it returns; throws std::runtime_error when it cannot bind
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    int port() const { return m_port; }
    std::string authority() const; // "127.0.0.1:PORT"
    std::string url(const std::string& path = "/") const;

    // Routes replace earlier ones of the same key. Unrouted requests get the default handler
    // (404 unless set). Handlers run on connection threads, possibly at the same time.
    void route(const std::string& pathOrUrl, Handler handler);
    void serve(const std::string& pathOrUrl, const HttpResponse& response);
    void serveContent(const std::string& pathOrUrl, const std::string& content,
                      const std::string& contentType = "application/octet-stream", bool honourRange = true);
    void redirect(const std::string& pathOrUrl, const std::string& location, int status = 302);
    void setDefaultHandler(Handler handler);

    std::vector<HttpRequest> requests() const;
    std::vector<HttpRequest> requestsFor(const std::string& path) const;
    std::size_t requestCount() const;
    std::size_t connectionCount() const { return m_connections; }
    void clearLog();

    // Closes the listener, ends stalls and joins every thread. Safe to call twice.
    void stop();

private:
    struct Connection;
    void acceptLoop();
    void serveConnection(int fd, std::size_t number);
    bool readRequest(Connection& connection, HttpRequest& request);
    bool sendResponse(Connection& connection, const HttpRequest& request, const HttpResponse& response);
    Handler handlerFor(const HttpRequest& request) const;
    bool pause(int milliseconds); // false when the server stopped meanwhile

    int m_listenFd = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<std::size_t> m_connections{0};

    mutable std::mutex m_mutex; // guards everything below
    std::condition_variable m_stopSignal;
    std::map<std::string, Handler> m_routes;
    Handler m_defaultHandler;
    std::vector<HttpRequest> m_log;
    std::vector<std::thread> m_workers;

    std::thread m_acceptThread;
};

} // namespace testsupport
