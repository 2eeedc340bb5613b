#include "LoopbackTracker.h"

#include <cstdlib>

namespace torrenttest
{

namespace
{

// The value of one query parameter as it was sent (still percent-encoded).
std::string Parameter(const std::string& query, const std::string& name)
{
    const std::string key = name + "=";
    for (std::size_t start = 0; start < query.size();)
    {
        std::size_t end = query.find('&', start);
        if (end == std::string::npos)
            end = query.size();
        if (query.compare(start, key.size(), key) == 0)
            return query.substr(start + key.size(), end - start - key.size());
        start = end + 1;
    }
    return "";
}

} // namespace

LoopbackTracker::LoopbackTracker()
{
    m_server.route("/announce",
                   [this](const testsupport::HttpRequest& request) { return Announce(request); });
}

testsupport::HttpResponse LoopbackTracker::Announce(const testsupport::HttpRequest& request)
{
    const std::string key = Parameter(request.query, "info_hash");
    const int port = std::atoi(Parameter(request.query, "port").c_str());
    if (key.empty() || port <= 0)
        return testsupport::TextResponse(200, "d14:failure reason11:bad requeste");

    std::string compact;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::set<int>& swarm = m_swarms[key];
        swarm.insert(port);
        for (int other : swarm)
            if (other != port)
                compact += std::string{'\x7f',
                                       '\0',
                                       '\0',
                                       '\x01',
                                       static_cast<char>((other >> 8) & 0xff),
                                       static_cast<char>(other & 0xff)};
    }
    const std::string body =
        "d8:intervali1800e5:peers" + std::to_string(compact.size()) + ":" + compact + "e";
    return testsupport::TextResponse(200, body, "text/plain");
}

} // namespace torrenttest
