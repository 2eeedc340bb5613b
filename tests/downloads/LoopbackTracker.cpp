#include "LoopbackTracker.h"

#include <cstdlib>

namespace torrenttest
{

namespace
{

std::string PercentDecode(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == '%' && i + 2 < text.size())
        {
            out += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        }
        else
            out += text[i] == '+' ? ' ' : text[i];
    }
    return out;
}

std::map<std::string, std::string> QueryParameters(const std::string& query)
{
    std::map<std::string, std::string> parameters;
    std::size_t start = 0;
    while (start <= query.size())
    {
        std::size_t end = query.find('&', start);
        if (end == std::string::npos)
            end = query.size();
        const std::string pair = query.substr(start, end - start);
        const std::size_t equals = pair.find('=');
        if (equals != std::string::npos)
            parameters[pair.substr(0, equals)] = PercentDecode(pair.substr(equals + 1));
        start = end + 1;
    }
    return parameters;
}

std::string Hex(const std::string& bytes)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char c : bytes)
    {
        text += kDigits[c >> 4];
        text += kDigits[c & 15];
    }
    return text;
}

std::string CompactLoopbackPeer(int port)
{
    return std::string{
        '\x7f', '\0', '\0', '\x01', static_cast<char>((port >> 8) & 0xff), static_cast<char>(port & 0xff)};
}

} // namespace

LoopbackTracker::LoopbackTracker()
{
    m_server.route("/announce",
                   [this](const testsupport::HttpRequest& request) { return Announce(request); });
}

std::set<int> LoopbackTracker::peers(const std::string& infoKey) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_swarms.find(infoKey);
    return found == m_swarms.end() ? std::set<int>{} : found->second;
}

testsupport::HttpResponse LoopbackTracker::Announce(const testsupport::HttpRequest& request)
{
    auto parameters = QueryParameters(request.query);
    const std::string key = Hex(parameters["info_hash"]);
    const int port = std::atoi(parameters["port"].c_str());
    if (key.size() != 40 || port <= 0)
        return testsupport::TextResponse(200, "d14:failure reason11:bad requeste");

    std::string compact;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::set<int>& swarm = m_swarms[key];
        if (parameters["event"] == "stopped")
            swarm.erase(port);
        else
            swarm.insert(port);
        for (int other : swarm)
            if (other != port)
                compact += CompactLoopbackPeer(other);
    }
    const std::string body =
        "d8:intervali1800e5:peers" + std::to_string(compact.size()) + ":" + compact + "e";
    return testsupport::TextResponse(200, body, "text/plain");
}

} // namespace torrenttest
