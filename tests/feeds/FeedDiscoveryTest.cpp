#include "feeds/FeedDiscovery.h"

#include "feeds/support/ConfigHome.h"
#include "feeds/support/FeedTestSupport.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include <atomic>
#include <gtest/gtest.h>

using namespace testsupport;
using namespace feedtest;

namespace
{

template <typename Texts> std::vector<std::string> Strings(const Texts& texts)
{
    std::vector<std::string> out;
    for (const uString& text : texts)
        out.push_back(S(text));
    return out;
}

} // namespace

TEST(FeedDiscoveryTest, HeadLinksAreTakenOnlyWhenCompleteAndMadeAbsolute)
{
    const std::string page =
        "<html><head>"
        "<link rel=\"alternate\" type=\"application/rss+xml\" title=\"News\" href=\"feed.xml\">"
        "<link rel=\"Alternate\" type=\"application/rss+xml\" title=\"Capital\" href=\"a.xml\">"
        "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"untitled.xml\">"
        "<link rel=\"alternate\" type=\"text/html\" title=\"Print\" href=\"print.html\">"
        "<link rel=\"alternate\" type=\"APPLICATION/ATOM+XML\" title=\"Atom\" href=\"/atom\">"
        "<link rel=\"alternate\" type=\"application/rss+xml\" title=\"Elsewhere\" href=\"//cdn.test/f.rss\">"
        "</head><body>"
        "<link rel=\"alternate\" type=\"application/rss+xml\" title=\"Body\" href=\"body.xml\">"
        "</body></html>";
    uHtmlParser parser;
    auto* links = new CFeedLinkHandler("https://site.test/blog/post.html");
    parser.setHandler(links);
    parser.parseBuffer(page.c_str(), static_cast<int>(page.size()));
    EXPECT_EQ(Strings(links->GetTitles()), (std::vector<std::string>{"News", "Atom", "Elsewhere"}));
    EXPECT_EQ(Strings(links->GetLinks()),
              (std::vector<std::string>{"https://site.test/blog/feed.xml", "https://site.test/atom",
                                        "https://cdn.test/f.rss"}));
}

TEST(FeedDiscoveryTest, CollectsAnchorsSortedUniqueAndAbsolute)
{
    CFeedProbe probe("http://127.0.0.1:8000/dir/page.html");
    probe.CollectLinks("<a href=\"feed.xml\">a</a><a href=\"/feed.rss\">b</a><a href=\"mailto:x\">m</a>"
                       "<a href=\"feed.xml\">again</a><a href=\"http://other.test/o.xml\">o</a>"
                       "<a aria-label=\"labelled\" href=\"labelled.xml\">l</a><a name=\"anchor\">n</a>");
    EXPECT_EQ(Strings(probe.GetCandidates()),
              (std::vector<std::string>{"http://127.0.0.1:8000/dir/feed.xml",
                                        "http://127.0.0.1:8000/dir/labelled.xml",
                                        "http://127.0.0.1:8000/dir/mailto:x",
                                        "http://127.0.0.1:8000/feed.rss", "http://other.test/o.xml"}));

    probe.CollectLinks("<base href=\"http://127.0.0.1:8000/other\"><a href=\"f.xml\">f</a>");
    EXPECT_EQ(Strings(probe.GetCandidates()), std::vector<std::string>{"http://127.0.0.1:8000/other/f.xml"});
}

TEST(FeedDiscoveryTest, ProbeAcceptsLinksWhoseHeadersSayXml)
{
    ConfigHome config;
    LocalHttpServer server;
    server.serve("/charset.xml", TextResponse(200, "<rss/>", "text/xml; charset=utf-8"));
    server.serve("/plain.xml", TextResponse(200, "<rss/>", "text/plain; charset=utf-8"));
    server.serve("/bare-plain.rss", TextResponse(200, "<rss/>", "text/plain"));
    server.serve("/feed.rss", TextResponse(200, "<rss/>", "application/rss+xml"));
    server.serve("/UPPER.XML", TextResponse(200, "<rss/>", "application/xml"));
    server.serve("/page.xml", TextResponse(200, "<html/>", "text/html"));
    server.serve("/query.xml", TextResponse(200, "<rss/>", "text/xml"));
    server.serve("/moved.xml", RedirectResponse("/final.html").header("Content-Type", "text/xml"));
    server.serve("/final.html", TextResponse(200, "<html/>", "text/html"));

    CFeedProbe probe(U(server.url("/index.html")));
    probe.CollectLinks(
        "<a href=charset.xml></a><a href=plain.xml></a><a href=bare-plain.rss></a>"
        "<a href=feed.rss></a><a href=UPPER.XML></a><a href=page.xml></a><a href=missing.xml></a>"
        "<a href=query.xml?x=1></a><a href=moved.xml></a><a href=index.html></a>");
    probe.Run();
    EXPECT_EQ(Strings(probe.GetAccepted()),
              (std::vector<std::string>{server.url("/UPPER.XML"), server.url("/bare-plain.rss"),
                                        server.url("/charset.xml"), server.url("/feed.rss"),
                                        server.url("/moved.xml")}));
    EXPECT_TRUE(server.requestsFor("/query.xml").empty());
    EXPECT_TRUE(server.requestsFor("/index.html").empty());
}

// The user cancelled while the first link was asked: that transfer ends and
// no later link is asked.
TEST(FeedDiscoveryTest, AnAbortEndsTheProbeAtTheLinkInHand)
{
    ConfigHome config;
    std::atomic<bool> abort{false};
    LocalHttpServer server;
    server.route("/a.xml",
                 [&](const HttpRequest&)
                 {
                     abort = true;
                     return TextResponse(200, "<rss/>", "text/xml");
                 });
    server.serve("/b.xml", TextResponse(200, "<rss/>", "text/xml"));

    CFeedProbe probe(U(server.url("/index.html")));
    probe.SetAbortFlag(&abort);
    probe.CollectLinks("<a href=a.xml></a><a href=b.xml></a>");
    probe.Run();
    EXPECT_TRUE(probe.GetAccepted().empty());
    EXPECT_EQ(server.requestsFor("/a.xml").size(), 1u);
    EXPECT_TRUE(server.requestsFor("/b.xml").empty());
}

TEST(FeedDiscoveryTest, ProbeHandlerReadsTheFirstTitleAndDescription)
{
    auto scan = [](const std::string& document)
    {
        uHtmlParser parser;
        auto* handler = new CFeedProbeHandler();
        parser.setHandler(handler);
        parser.parseBuffer(document.c_str(), static_cast<int>(document.size()));
        return std::make_pair(S(handler->GetTitle()), S(handler->GetDescription()));
    };
    EXPECT_EQ(scan("<html><title>Page</title></html><rss><channel><image><title>Logo</title></image>"
                   "<title>Channel</title><description>About</description>"
                   "<item><title>Item</title><description>Text</description></item></channel></rss>"),
              std::make_pair(std::string("Logo"), std::string("About")));
    EXPECT_EQ(scan("<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>Atom feed</title>"
                   "<entry><title>Entry</title></entry></feed>"),
              std::make_pair(std::string("Atom feed"), std::string()));
}
