#pragma once

// Feeds served from 127.0.0.1 for the fetch and update tests: documents in
// the three formats, and a server that counts the GETs of each feed and how
// many of them were in flight at once.
#include "support/LocalHttpServer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace feedsite
{

struct Item
{
    std::string title;
    std::string link;
    std::string enclosure; // empty: none
};

// n items "<prefix> 1" .. "<prefix> n" linking below base; with enclosures
// each carries an audio file.
inline std::vector<Item> Items(const std::string& base, const std::string& prefix, int first, int last,
                               bool enclosures = false)
{
    std::vector<Item> items;
    for (int i = first; i <= last; ++i)
    {
        const std::string n = std::to_string(i);
        items.push_back(
            {prefix + " " + n, base + "/item/" + n, enclosures ? base + "/media/" + n + ".mp3" : ""});
    }
    return items;
}

inline std::string Rss(const std::string& title, const std::string& site, const std::vector<Item>& items)
{
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel><title>" +
                      title + "</title><link>" + site + "</link><description>about " + title +
                      "</description>\n";
    for (const Item& item : items)
    {
        out += "<item><title>" + item.title + "</title><link>" + item.link + "</link><description>&lt;p&gt;" +
               item.title + "&lt;/p&gt;</description>";
        if (!item.enclosure.empty())
            out += "<enclosure url=\"" + item.enclosure + "\" length=\"1234\" type=\"audio/mpeg\"/>";
        out += "</item>\n";
    }
    return out + "</channel></rss>\n";
}

inline std::string Rdf(const std::string& title, const std::string& site, const std::vector<Item>& items)
{
    std::string out =
        "<?xml version=\"1.0\"?>\n<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
        "xmlns=\"http://purl.org/rss/1.0/\"><channel rdf:about=\"" +
        site + "\"><title>" + title + "</title><link>" + site +
        "</link><description>rdf</description></channel>\n";
    for (const Item& item : items)
        out += "<item rdf:about=\"" + item.link + "\"><title>" + item.title + "</title><link>" + item.link +
               "</link><description>" + item.title + "</description></item>\n";
    return out + "</rdf:RDF>\n";
}

inline std::string Atom(const std::string& title, const std::string& site, const std::vector<Item>& items)
{
    std::string out =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>" +
        title + "</title><link href=\"" + site + "\"/><id>" + site +
        "</id><updated>2026-01-05T10:00:00Z</updated>\n";
    for (const Item& item : items)
        out += "<entry><title>" + item.title + "</title><link href=\"" + item.link + "\"/><id>" + item.link +
               "</id><updated>2026-01-05T10:00:00Z</updated><summary>" + item.title + "</summary></entry>\n";
    return out + "</feed>\n";
}

// A server whose feed routes are counted. With a gate of width w, a feed
// request waits (boundedly) until w feed requests are in flight or every
// expected request has arrived, so that the test sees the pass's real
// parallelism without depending on timing.
class FeedServer
{
public:
    FeedServer()
    {
        m_server.setDefaultHandler([](const testsupport::HttpRequest&)
                                   { return testsupport::TextResponse(404, "not found"); });
    }

    testsupport::LocalHttpServer& server() { return m_server; }
    std::string url(const std::string& path) const { return m_server.url(path); }

    // Serves the body as a feed at the path (status 200), counted.
    void feed(const std::string& path, const std::string& body, int status = 200,
              const std::string& type = "application/xml")
    {
        m_server.route(path, [this, path, body, status, type](const testsupport::HttpRequest&)
                       { return answer(path, testsupport::TextResponse(status, body, type)); });
    }

    void setGate(int width, int expected)
    {
        std::lock_guard hold(m_lock);
        m_gateWidth = width;
        m_gateExpected = expected;
        m_started = 0;
    }
    void resetCounts()
    {
        std::lock_guard hold(m_lock);
        m_gets.clear();
        m_highWater = 0;
        m_started = 0;
    }
    // GETs of a feed path; of every feed path without one.
    int gets(const std::string& path = "") const
    {
        std::lock_guard hold(m_lock);
        int total = 0;
        for (const auto& [feedPath, count] : m_gets)
            if (path.empty() || feedPath == path)
                total += count;
        return total;
    }
    int highWater() const
    {
        std::lock_guard hold(m_lock);
        return m_highWater;
    }

private:
    testsupport::HttpResponse answer(const std::string& path, testsupport::HttpResponse response)
    {
        std::unique_lock hold(m_lock);
        ++m_gets[path];
        ++m_started;
        m_highWater = std::max(m_highWater, ++m_inFlight);
        m_changed.notify_all();
        if (m_gateWidth > 1)
            m_changed.wait_for(hold, std::chrono::seconds(60),
                               [this] { return m_inFlight >= m_gateWidth || m_started >= m_gateExpected; });
        --m_inFlight;
        return response;
    }

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::map<std::string, int> m_gets;
    int m_inFlight = 0;
    int m_highWater = 0;
    int m_started = 0;
    int m_gateWidth = 0;
    int m_gateExpected = 0;
    testsupport::LocalHttpServer m_server;
};

} // namespace feedsite
