#pragma once

// A seeded, deterministic corpus of feeds for the benchmarks: RSS 2.0 with and
// without enclosures, RDF and Atom, items with 0.5 to 2 KB of HTML and unique
// links, and an OPML file listing the feeds so that any reader can import the
// same set. The same options always give the same bytes.

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace benchcorpus
{

struct Options
{
    int feeds = 500;
    int itemsMin = 50; // items per feed, drawn from [itemsMin, itemsMax]
    int itemsMax = 50;
    std::uint32_t seed = 1;
    int generation = 0; // each generation adds `churn` new items at the top of every feed
    int churn = 0;
};

enum class Format
{
    kRss,
    kRssWithEnclosures,
    kRdf,
    kAtom,
};

struct Feed
{
    std::string path; // "/feeds/<n>.xml"
    Format format = Format::kRss;
    int items = 0;
    std::string body;
};

// A small linear congruential generator: unlike the standard distributions,
// its sequence is the same with every library.
class Random
{
public:
    explicit Random(std::uint64_t seed) : m_state(seed * 6364136223846793005ULL + 1442695040888963407ULL) {}
    std::uint32_t next()
    {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(m_state >> 33);
    }
    int between(int low, int high)
    {
        return high <= low ? low : low + static_cast<int>(next() % (high - low + 1));
    }

private:
    std::uint64_t m_state;
};

inline const char* FormatName(Format format)
{
    switch (format)
    {
    case Format::kRss:
        return "rss";
    case Format::kRssWithEnclosures:
        return "rss+enclosures";
    case Format::kRdf:
        return "rdf";
    case Format::kAtom:
        return "atom";
    }
    return "?";
}

namespace detail
{

inline const std::vector<std::string>& Words()
{
    static const std::vector<std::string> words = {
        "harbour", "council", "weather", "station", "library", "market",   "bridge", "season", "garden",
        "river",   "report",  "update",  "review",  "signal",  "festival", "vote",   "energy", "school",
        "railway", "museum",  "forest",  "budget",  "storm",   "concert",  "trail",  "fleet",  "orchard"};
    return words;
}

// Escaped for XML text: the HTML travels as character data, as real feeds send it.
inline std::string Description(Random& random)
{
    const std::vector<std::string>& words = Words();
    const int target = random.between(512, 2048);
    std::string html;
    while (static_cast<int>(html.size()) < target)
    {
        html += "&lt;p&gt;";
        const int count = random.between(12, 40);
        for (int i = 0; i < count; ++i)
        {
            if (i > 0)
                html += ' ';
            html += words[random.next() % words.size()];
        }
        html += " &lt;a href=\"https://news.example.test/" + std::to_string(random.next()) +
                "\"&gt;more&lt;/a&gt;&lt;/p&gt;";
    }
    return html;
}

inline std::string Title(Random& random, int feed, int item)
{
    const std::vector<std::string>& words = Words();
    return words[random.next() % words.size()] + " " + words[random.next() % words.size()] + " " +
           std::to_string(feed) + "-" + std::to_string(item);
}

inline std::string Day(int item)
{
    const int day = 1 + item % 28;
    return std::string(day < 10 ? "0" : "") + std::to_string(day);
}

} // namespace detail

inline Feed MakeFeed(const Options& options, int index)
{
    Random random(options.seed * 1000003ULL + static_cast<std::uint64_t>(index));
    Feed feed;
    feed.path = "/feeds/" + std::to_string(index) + ".xml";
    feed.format = static_cast<Format>(random.next() % 4);
    feed.items = random.between(options.itemsMin, options.itemsMax);
    const std::string site = "https://site" + std::to_string(index) + ".example.test/";
    const int newest = feed.items + options.generation * options.churn;

    std::string& out = feed.body;
    switch (feed.format)
    {
    case Format::kRss:
    case Format::kRssWithEnclosures:
        out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel><title>Feed " +
              std::to_string(index) + "</title><link>" + site +
              "</link><description>Bench feed</description>\n";
        break;
    case Format::kRdf:
        out = "<?xml version=\"1.0\"?>\n<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
              "xmlns=\"http://purl.org/rss/1.0/\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><channel "
              "rdf:about=\"" +
              site + "\"><title>Feed " + std::to_string(index) + "</title><link>" + site +
              "</link><description>Bench feed</description></channel>\n";
        break;
    case Format::kAtom:
        out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<feed "
              "xmlns=\"http://www.w3.org/2005/Atom\"><title>Feed " +
              std::to_string(index) + "</title><link href=\"" + site + "\"/><id>" + site +
              "</id><updated>2026-01-28T12:00:00Z</updated>\n";
        break;
    }
    // Newest first, as feeds list them; links stay the same across generations.
    for (int n = newest; n > newest - feed.items; --n)
    {
        const std::string link = site + "item/" + std::to_string(n);
        const std::string title = detail::Title(random, index, n);
        const std::string description = detail::Description(random);
        const std::string day = detail::Day(n);
        switch (feed.format)
        {
        case Format::kRss:
        case Format::kRssWithEnclosures:
            out += "<item><title>" + title + "</title><link>" + link + "</link><guid>" + link +
                   "</guid><pubDate>Mon, " + day + " Jan 2026 10:00:00 +0000</pubDate><description>" +
                   description + "</description>";
            if (feed.format == Format::kRssWithEnclosures)
                out += "<enclosure url=\"https://media.example.test/" + std::to_string(index) + "/" +
                       std::to_string(n) + ".mp3\" length=\"" +
                       std::to_string(1000000 + random.between(0, 9000000)) + "\" type=\"audio/mpeg\"/>";
            out += "</item>\n";
            break;
        case Format::kRdf:
            out += "<item rdf:about=\"" + link + "\"><title>" + title + "</title><link>" + link +
                   "</link><dc:date>2026-01-" + day + "T10:00:00Z</dc:date><description>" + description +
                   "</description></item>\n";
            break;
        case Format::kAtom:
            out += "<entry><title>" + title + "</title><link href=\"" + link + "\"/><id>" + link +
                   "</id><updated>2026-01-" + day + "T10:00:00Z</updated><summary type=\"html\">" +
                   description + "</summary></entry>\n";
            break;
        }
    }
    switch (feed.format)
    {
    case Format::kRss:
    case Format::kRssWithEnclosures:
        out += "</channel></rss>\n";
        break;
    case Format::kRdf:
        out += "</rdf:RDF>\n";
        break;
    case Format::kAtom:
        out += "</feed>\n";
        break;
    }
    return feed;
}

inline std::vector<Feed> MakeCorpus(const Options& options)
{
    std::vector<Feed> feeds;
    feeds.reserve(static_cast<std::size_t>(options.feeds));
    for (int i = 0; i < options.feeds; ++i)
        feeds.push_back(MakeFeed(options, i));
    return feeds;
}

inline std::string Opml(const std::vector<Feed>& feeds, const std::string& baseUrl)
{
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"1.0\"><head><title>Kestrova "
        "benchmark corpus</title></head><body>\n";
    for (const Feed& feed : feeds)
        out += "<outline type=\"rss\" text=\"" + feed.path + "\" xmlUrl=\"" + baseUrl + feed.path + "\"/>\n";
    return out + "</body></opml>\n";
}

// Writes every feed under folder/feeds/, the OPML file and a plain list of
// URLs (one a line); false when a file cannot be written.
inline bool WriteCorpus(const std::vector<Feed>& feeds, const std::string& folder, const std::string& baseUrl)
{
    for (const Feed& feed : feeds)
    {
        std::ofstream out(folder + feed.path, std::ios::binary | std::ios::trunc);
        out << feed.body;
        if (!out)
            return false;
    }
    std::ofstream opml(folder + "/feeds.opml", std::ios::binary | std::ios::trunc);
    opml << Opml(feeds, baseUrl);
    std::ofstream urls(folder + "/urls.txt", std::ios::binary | std::ios::trunc);
    for (const Feed& feed : feeds)
        urls << baseUrl << feed.path << "\n";
    return static_cast<bool>(opml) && static_cast<bool>(urls);
}

} // namespace benchcorpus
