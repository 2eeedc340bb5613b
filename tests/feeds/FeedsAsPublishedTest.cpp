#include "feeds/support/RefreshFixture.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// Feeds as publishers really serve them, subscribed through the real fetch,
// parse and store on 127.0.0.1: damaged documents are repaired before a part
// of them is taken.

namespace
{

using namespace refreshtest;

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

std::string Rss(const std::string& items)
{
    return "<rss version=\"2.0\"><channel><title>T</title><link>http://x.test/</link>\n" + items +
           "</channel></rss>\n";
}

std::string Item(const std::string& title, const std::string& link, const std::string& extra = "")
{
    return "<item><title>" + title + "</title><link>" + link + "</link>" + extra + "</item>\n";
}

// Three episodes whose duration uses a prefix the feed never declares.
std::string Episodes(const std::string& titlePrefix)
{
    std::string items;
    for (const char* n : {"1", "2", "3"})
        items += Item(titlePrefix + n, std::string("http://x.test/") + n,
                      "<itunes:duration>12:00</itunes:duration><enclosure url=\"http://x.test/" +
                          std::string(n) + ".mp3\" length=\"9\" type=\"audio/mpeg\"/>");
    return items;
}

class FeedsAsPublishedTest : public RefreshFixture
{
protected:
    // The first value the statement gives on the feed's rows; "{feed}" stands
    // for the feed's address.
    std::string Stored(const std::string& url, std::string sql, const std::string& list = "user0.mdb")
    {
        sql.replace(sql.find("{feed}"), 6, S(liststore::Hex(U(url))));
        return Query(list, sql);
    }
};

const char kTitlesByLink[] =
    "select group_concat(title, '|') from (select title from item where feed = {feed} order by link)";

TEST_F(FeedsAsPublishedTest, DamagedDocumentsAreRepairedBeforeAPartOfThemIsTaken)
{
    const struct
    {
        const char* name;
        std::string body;
        const char* sql;
        std::string expected;
    } cases[] = {
        {"HTML entities",
         kDeclaration +
             Rss(Item("Caf&eacute; &amp; bar&nbsp;", "http://x.test/1") + Item("after", "http://x.test/2")),
         kTitlesByLink, "Caf\xC3\xA9 & bar\xC2\xA0|after"},
        {"undeclared prefix", kDeclaration + Rss(Episodes("Episode ")),
         "select e.link from enclosure e, item i where e.feed = i.link and i.feed = {feed} and "
         "i.title = 'Episode 3'",
         "http://x.test/3.mp3"},
        {"blank lines before the declaration", "\n\n  " + std::string(kDeclaration) + Rss(Episodes("E")),
         "select count(*) from item where feed = {feed}", "3"},
        {"all three at once",
         "\r\n\xEF\xBB\xBF" + std::string(kDeclaration) + Rss(Episodes("&eacute;pisode ")),
         "select count(*) from enclosure e, item i where e.feed = i.link and i.feed = {feed} and "
         "i.title like '\xC3\xA9pisode %'",
         "3"},
        {"references in CDATA stay text",
         kDeclaration + Rss(Item("&eacute;t&eacute;", "http://x.test/1",
                                 "<description><![CDATA[caf&eacute; <b>&amp;</b>]]></description>")),
         "select title || '|' || description from item where feed = {feed}",
         "\xC3\xA9t\xC3\xA9|caf&eacute; <b>&amp;</b>"},
        {"HTML names beyond Latin-1",
         kDeclaration +
             Rss(Item("It&rsquo;s on &mdash; wait&hellip;", "http://x.test/1") +
                 Item("&alpha; costs 5&euro;", "http://x.test/2") + Item("after", "http://x.test/3")),
         kTitlesByLink,
         "It\xE2\x80\x99s on \xE2\x80\x94 wait\xE2\x80\xA6|\xCE\xB1 costs 5\xE2\x82\xAC|after"},
        {"an unknown name keeps what came before",
         kDeclaration + Rss(Item("one", "http://x.test/1") + Item("&bogus; two", "http://x.test/2") +
                            Item("three", "http://x.test/3")),
         kTitlesByLink, "one"},
    };
    int n = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        // A list each: the cases share item links.
        const std::string path = "/damaged/" + std::to_string(n++);
        const std::string list = "damaged" + std::to_string(n) + ".mdb";
        AddList(list);
        site.feed(path, c.body);
        Subscribe(list, site.url(path));
        EXPECT_EQ(Stored(site.url(path), c.sql, list), c.expected);
    }
}

// Atom 1.0 dates and XHTML content; relative links made absolute against
// xml:base and the feed's own address.
TEST_F(FeedsAsPublishedTest, EntriesKeepTheirDatesMarkupAndLinksReadyToOpen)
{
    const std::string atom =
        std::string(kDeclaration) +
        "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>A</title><link href=\"/site\"/><id>a</id>\n"
        "<entry><title>published</title><link href=\"/entries/1\"/><id>1</id>"
        "<published>2026-01-05T10:00:00Z</published><updated>2026-02-01T00:00:00Z</updated>"
        "<content type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\"><p>See <a "
        "href=\"http://x.test/a?b=1&amp;c=2\">this</a> &lt;b&gt;x&lt;/b&gt;<br/><span/></p></div></content>"
        "</entry>\n"
        "<entry><title>updated</title><link rel=\"alternate\" href=\"posts/2\"/><id>2</id>"
        "<updated>2026-02-02T00:00:00Z</updated><summary type=\"html\">&lt;p&gt;html&lt;/p&gt;</summary>"
        "<link rel=\"enclosure\" href=\"//cdn.test/2.mp3\" type=\"audio/mpeg\"/></entry>\n</feed>\n";
    const std::string rss =
        std::string(kDeclaration) +
        Rss(Item("plain", "/posts/1", "<enclosure url=\"media/1.mp3\" type=\"audio/mpeg\"/>") +
            "<item xml:base=\"/blog/\"><title>based</title><link>posts/3?x=1#top</link>"
            "<enclosure url=\"../media/3.mp3\" type=\"audio/mpeg\"/></item>\n" +
            "<item xml:base=\"http://other.test/a/b/\"><title>absolute</title><link>http://x.test/4</link>"
            "<guid>4711</guid></item>\n" +
            "<item><title>guid only</title><guid isPermaLink=\"false\">tag-5</guid></item>\n" +
            Item("query only", " ?page=2\n"));
    site.feed("/atom/feed.xml", atom);
    site.feed("/rss/feed.xml", rss);
    const std::string atomUrl = site.url("/atom/feed.xml");
    const std::string rssUrl = site.url("/rss/feed.xml");
    Subscribe("user0.mdb", atomUrl);
    Subscribe("user0.mdb", rssUrl);
    const std::string root = site.url("");

    const std::string markup =
        "<p>See <a href=\"http://x.test/a?b=1&amp;c=2\">this</a> &lt;b&gt;x&lt;/b&gt;<br/><span></span></p>";
    const char kRow[] =
        "select i.link || ' ' || i.pubdate || ' ' || ifnull(e.link, '-') || ' ' || i.description "
        "|| ' ' || i.content from item i left join enclosure e on e.feed = i.link "
        "where i.feed = {feed} and i.title = '%s'";
    const struct
    {
        const std::string& feed;
        const char* title;
        std::string expected;
    } cases[] = {
        // Without a summary the content is the description too.
        {atomUrl, "published", root + "/entries/1 2026-01-05T10:00:00Z - " + markup + " " + markup},
        {atomUrl, "updated", root + "/atom/posts/2 2026-02-02T00:00:00Z http://cdn.test/2.mp3 <p>html</p> "},
        {rssUrl, "plain", root + "/posts/1  " + root + "/rss/media/1.mp3  "},
        {rssUrl, "based", root + "/blog/posts/3?x=1#top  " + root + "/media/3.mp3  "},
        {rssUrl, "absolute", "http://x.test/4  -  "},
        {rssUrl, "guid only", "tag-5  -  "},
        {rssUrl, "query only", rssUrl + "?page=2  -  "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.title);
        char sql[512];
        std::snprintf(sql, sizeof sql, kRow, c.title);
        EXPECT_EQ(Stored(c.feed, sql), c.expected);
    }
}

// Feeds list their newest item first; so does the list, from the first batch on.
TEST_F(FeedsAsPublishedTest, TheFirstBatchListsNewestFirstAsLaterOnesDo)
{
    const auto titles = [this](const std::string& url)
    {
        CFeedStore reader;
        reader.LoadChannel("user0.mdb", U(url));
        std::string listed;
        for (const CItemRecord& item : reader.items)
            listed += S(item.title) + " ";
        return listed;
    };
    const std::string url = site.url("/news.xml");
    site.feed("/news.xml", Rss(Item("new", "http://x.test/3") + Item("mid", "http://x.test/2") +
                               Item("old", "http://x.test/1")));
    Subscribe("user0.mdb", url);
    EXPECT_EQ(titles(url), "new mid old ");
    site.feed("/news.xml", Rss(Item("newer", "http://x.test/5") + Item("next", "http://x.test/4") +
                               Item("new", "http://x.test/3") + Item("mid", "http://x.test/2")));
    CFeedStore store(U(url), false);
    store.channel.link = U(url);
    store.SaveChannel("user0.mdb", false, false, false, false);
    std::string added;
    for (const uString& title : store.newTitles)
        added += S(title) + " ";
    EXPECT_EQ(added, "newer next ") << "new titles in the feed's order";
    EXPECT_EQ(titles(url), "newer next new mid old ");
}

// A web page's address taken for a feed's: the parser's complaints stay with
// the document and never reach the terminal.
TEST_F(FeedsAsPublishedTest, AWebPageTakenForAFeedPrintsNothing)
{
    site.feed("/page.html", "<html><head><title>Shop</title></head><body><p>Open<br>daily</body></html>\n",
              200, "text/html");
    testing::internal::CaptureStderr();
    CFeedStore store(U(site.url("/page.html")), false);
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed.find("Error"), std::string::npos) << printed;
    EXPECT_EQ(printed.find("expected end of tag"), std::string::npos) << printed;
    EXPECT_TRUE(store.items.empty());
}

// The subscription fetch logs in when asked to: an error page it reaches is
// no feed, even one that looks like a feed.
TEST_F(FeedsAsPublishedTest, AnErrorPageIsAFailedDownloadWithLoginToo)
{
    site.feed("/down.xml", Rss(Item("maintenance", "http://x.test/m")), 503);
    CFeedStore store(U(site.url("/down.xml")), false);
    EXPECT_EQ(store.errorCode, CFeedStore::kDownloadFailed);
    EXPECT_TRUE(store.items.empty());
    EXPECT_TRUE(std::filesystem::is_empty(config.data("temp")));
}

} // namespace
