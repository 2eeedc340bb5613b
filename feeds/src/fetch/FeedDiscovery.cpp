#include "feeds/FeedDiscovery.h"

#include "feeds/PageUrl.h"
#include "feeds/WebFetch.h"

#include <cstdlib>

namespace
{

// A base element moves the directory (href taken as a folder) and maybe the site.
void ApplyBaseElement(uHtmlParser& parser, uString& siteRoot, uString& baseUrl)
{
    const uString* href = parser.getAttributes().getValue("href");
    if (!href || href->isEmpty())
        return;
    uString folder = *href;
    if (!folder.endsWith("/"))
        folder += "/";
    pageurl::PageBase current{siteRoot, baseUrl, uString()};
    pageurl::PageBase moved;
    if (pageurl::SplitPageUrl(pageurl::ResolveLink(current, folder), moved))
    {
        siteRoot = moved.siteRoot;
        baseUrl = moved.directory;
    }
    else
    {
        baseUrl = folder;
    }
}

uString Resolve(const uString& siteRoot, const uString& baseUrl, const uString& link)
{
    return pageurl::ResolveLink(pageurl::PageBase{siteRoot, baseUrl, uString()}, link);
}

bool IsFeedRoot(const uString& name)
{
    return name.equalsNoCase("rss") || name.equalsNoCase("feed") || name.equalsNoCase("rdf:RDF");
}

// One header line (trimmed, lower-cased) that makes a candidate a feed.
bool AcceptsFeed(const uString& line)
{
    static const char kPrefix[] = "content-type:";
    if (!line.startsWith(kPrefix))
        return false;
    return line.find("xml", static_cast<int>(sizeof kPrefix - 1)) >= 0 || line.endsWith("text/plain");
}

// The code of a status line ("http/1.1 404 not found" gives 404).
int StatusOf(const uString& line)
{
    int space = line.findChar(' ');
    return space < 0 ? 0 : std::atoi(line.c_str() + space + 1);
}

} // namespace

CFeedLinkHandler::CFeedLinkHandler() = default;

CFeedLinkHandler::CFeedLinkHandler(const uString& pageUrl)
{
    pageurl::TakePageBase(pageUrl, m_siteRoot, m_baseUrl);
}

CFeedLinkHandler::~CFeedLinkHandler() = default;

void CFeedLinkHandler::onStartTag(const uString& name, uHtmlParser& parser, bool& stop)
{
    stop = false;
    if (name.equalsNoCase("head"))
    {
        m_inHead = true;
        return;
    }
    if (!m_inHead)
        return;
    if (name.equalsNoCase("base"))
    {
        if (!m_baseUrl.isEmpty())
            ApplyBaseElement(parser, m_siteRoot, m_baseUrl);
        return;
    }
    if (!name.equalsNoCase("link"))
        return;
    const uHtmlAttributes& attributes = parser.getAttributes();
    const uString* rel = attributes.getValue("rel");
    const uString* type = attributes.getValue("type");
    const uString* title = attributes.getValue("title");
    const uString* href = attributes.getValue("href");
    if (!rel || *rel != "alternate" || !type || !title || !href)
        return;
    if (!type->equalsNoCase("application/rss+xml") && !type->equalsNoCase("application/atom+xml"))
        return;
    m_titles.push_back(*title);
    // A relative href as written could never be fetched once subscribed.
    m_links.push_back(m_baseUrl.isEmpty() ? *href : Resolve(m_siteRoot, m_baseUrl, *href));
}

void CFeedLinkHandler::onEndTag(const uString& name, uHtmlParser&, bool& stop)
{
    stop = false;
    if (m_inHead && name.equalsNoCase("head"))
    {
        m_inHead = false;
        stop = true;
    }
}

CLinkCollector::CLinkCollector() = default;

CLinkCollector::~CLinkCollector() = default;

void CLinkCollector::SetBaseURL(const uString& pageUrl)
{
    pageurl::TakePageBase(pageUrl, m_siteRoot, m_baseUrl);
}

void CLinkCollector::onBegin(uHtmlParser&, bool& stop)
{
    stop = false;
    m_started = true;
}

void CLinkCollector::onStartTag(const uString& name, uHtmlParser& parser, bool& stop)
{
    stop = false;
    if (name.equalsNoCase("base"))
    {
        ApplyBaseElement(parser, m_siteRoot, m_baseUrl);
        return;
    }
    if (!m_started || !name.equalsNoCase("a"))
        return;
    const uString* href = parser.getAttributes().getValue("href");
    if (href)
        m_links.insert(Resolve(m_siteRoot, m_baseUrl, *href));
}

CFeedProbe::CFeedProbe() = default;

CFeedProbe::CFeedProbe(const uString& pageUrl) : m_pageUrl(pageUrl) {}

CFeedProbe::~CFeedProbe() = default;

void CFeedProbe::CollectLinks(const uString& pageText)
{
    m_candidates.clear();
    uHtmlParser parser;
    auto* collector = new CLinkCollector();
    parser.setHandler(collector);
    if (!m_pageUrl.isEmpty())
        collector->SetBaseURL(m_pageUrl);
    parser.parseBuffer(pageText.c_str(), pageText.getLength());
    m_candidates.assign(collector->GetLinks().begin(), collector->GetLinks().end());
}

void CFeedProbe::Run()
{
    m_accepted.clear();
    for (const uString& candidate : m_candidates)
    {
        if (m_abort != nullptr && *m_abort)
            return;
        uString lower = candidate;
        lower.makeLower();
        if (!lower.endsWith(".xml") && !lower.endsWith(".rss"))
            continue;
        uString headers;
        if (!FetchUrlHeader(candidate, headers, kTimeoutSeconds, /*login=*/true, /*prompt=*/true, m_abort) ||
            headers.isEmpty())
            continue;
        // Every response of the request counts, those of redirects included;
        // but a link that ends in an error page is no feed, whatever its type.
        bool accepted = false;
        int lastStatus = 0;
        int start = 0;
        while (start < headers.getLength())
        {
            int end = headers.findChar('\n', start);
            if (end < 0)
                end = headers.getLength();
            uString line(headers, start, end - start);
            line.trim();
            line.makeLower();
            if (line.startsWith("http/"))
                lastStatus = StatusOf(line);
            else if (AcceptsFeed(line))
                accepted = true;
            start = end + 1;
        }
        if (accepted && lastStatus < 400)
            m_accepted.push_back(candidate);
    }
}

CFeedProbeHandler::CFeedProbeHandler() = default;

CFeedProbeHandler::~CFeedProbeHandler() = default;

void CFeedProbeHandler::onBegin(uHtmlParser&, bool& stop)
{
    stop = false;
    m_inRoot = false;
    m_started = true;
}

void CFeedProbeHandler::onStartTag(const uString& name, uHtmlParser&, bool& stop)
{
    stop = false;
    if (IsFeedRoot(name))
        m_inRoot = true;
    if (!m_inRoot)
        return;
    if (name.equalsNoCase("title"))
        m_inTitle = true;
    else if (name.equalsNoCase("description"))
        m_inDescription = true;
}

void CFeedProbeHandler::onEndTag(const uString& name, uHtmlParser&, bool& stop)
{
    stop = false;
    if (IsFeedRoot(name))
    {
        m_inRoot = false;
        return;
    }
    if (!m_inRoot)
        return;
    if (name.equalsNoCase("title"))
        m_inTitle = false;
    else if (name.equalsNoCase("description"))
        m_inDescription = false;
}

void CFeedProbeHandler::onText(const uString& text, uHtmlParser&, bool& stop)
{
    stop = false;
    if (m_inTitle && m_title.isEmpty())
        m_title += text;
    if (m_inDescription && m_description.isEmpty())
        m_description += text;
    if (!m_title.isEmpty() && !m_description.isEmpty())
        stop = true;
}
