#pragma once

#include "foundation/uHtmlParser.h"
#include "foundation/uString.h"
#include "foundation/uThread.h"

#include <atomic>
#include <list>
#include <set>
#include <vector>

// Collects the feeds a page announces in its head: <link rel="alternate">
// with an RSS or Atom type, a title and an href. With the page's URL given,
// relative hrefs are made absolute against it (or against a base element
// before them). The scan ends at the end of the head.
class CFeedLinkHandler : public uHtmlHandler
{
public:
    CFeedLinkHandler();
    explicit CFeedLinkHandler(const uString& pageUrl);
    ~CFeedLinkHandler() override;

    void onStartTag(const uString& name, uHtmlParser& parser, bool& stop) override;
    void onEndTag(const uString& name, uHtmlParser& parser, bool& stop) override;

    // Entry i of both belongs together.
    const std::vector<uString>& GetTitles() const { return m_titles; }
    const std::vector<uString>& GetLinks() const { return m_links; }

private:
    bool m_inHead = false;
    std::vector<uString> m_titles;
    std::vector<uString> m_links;
    uString m_siteRoot;
    uString m_baseUrl; // empty without a page URL: links are kept as written
};

// Collects the targets of a page's anchors, made absolute, sorted by bytes and
// without duplicates.
class CLinkCollector : public uHtmlHandler
{
public:
    CLinkCollector();
    ~CLinkCollector() override;

    void onBegin(uHtmlParser& parser, bool& stop) override;
    void onStartTag(const uString& name, uHtmlParser& parser, bool& stop) override;

    // The URL of the page; relative anchors are resolved against its directory.
    void SetBaseURL(const uString& pageUrl);
    const std::set<uString>& GetLinks() const { return m_links; }

private:
    bool m_started = false;
    std::set<uString> m_links;
    uString m_baseUrl;
    uString m_siteRoot;
};

// Finds feed files among a page's links: each link ending in ".xml" or ".rss"
// is fetched (time-out 10 seconds, login and prompt allowed) and accepted when
// one of its responses reports an XML or plain-text content type. Runs on the
// calling thread; an abort flag, once set, ends the probe soon (the rest of
// the candidates unprobed).
class CFeedProbe : public uRunnable
{
public:
    static constexpr int kTimeoutSeconds = 10;

    CFeedProbe();
    explicit CFeedProbe(const uString& pageUrl);
    ~CFeedProbe() override;

    // The page's links become the candidates.
    void CollectLinks(const uString& pageText);
    // Watched by Run and its transfers; null (the default) for none. The
    // flag must outlive the run.
    void SetAbortFlag(const std::atomic<bool>* abort) { m_abort = abort; }
    // Probes the candidates; the accepted ones, as written, fill the accepted list.
    virtual void Run();
    void run() override { Run(); }

    const std::list<uString>& GetCandidates() const { return m_candidates; }
    const std::list<uString>& GetAccepted() const { return m_accepted; }

private:
    std::list<uString> m_candidates;
    std::list<uString> m_accepted;
    uString m_pageUrl;
    const std::atomic<bool>* m_abort = nullptr;
};

// Reads the first title and description inside a feed's root element ("rss",
// "feed" or "rdf:RDF"), to show a feed to the user before subscribing.
class CFeedProbeHandler : public uHtmlHandler
{
public:
    CFeedProbeHandler();
    ~CFeedProbeHandler() override;

    void onBegin(uHtmlParser& parser, bool& stop) override;
    void onStartTag(const uString& name, uHtmlParser& parser, bool& stop) override;
    void onEndTag(const uString& name, uHtmlParser& parser, bool& stop) override;
    void onText(const uString& text, uHtmlParser& parser, bool& stop) override;

    uString GetTitle() const { return m_title; }
    uString GetDescription() const { return m_description; }

private:
    uString m_title;
    uString m_description;
    bool m_started = false;
    bool m_inRoot = false;
    bool m_inTitle = false;
    bool m_inDescription = false;
};
