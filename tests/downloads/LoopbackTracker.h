#pragma once

#include "support/LocalHttpServer.h"

#include <map>
#include <mutex>
#include <set>
#include <string>

namespace torrenttest
{

// A BitTorrent tracker on 127.0.0.1: it remembers the listen port of every
// peer that announces a torrent and answers each announce with the other
// peers of that torrent in compact form. libtorrent only announces to a
// tracker on the loopback address when its path is "/announce".
class LoopbackTracker
{
public:
    LoopbackTracker();

    std::string announceUrl() const { return m_server.url("/announce"); }
    // How many announces reached it, from any peer.
    std::size_t announces() const { return m_server.requestsFor("/announce").size(); }

private:
    testsupport::HttpResponse Announce(const testsupport::HttpRequest& request);

    std::mutex m_mutex;
    std::map<std::string, std::set<int>> m_swarms; // info_hash as sent -> listen ports
    // Declared last, so destroyed first: a late "stopped" announce from an
    // engine that gave up waiting must not reach the members above once gone.
    testsupport::LocalHttpServer m_server;
};

} // namespace torrenttest
