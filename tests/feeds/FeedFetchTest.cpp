#include "feeds/ListDatabaseFixture.h"
#include "feeds/support/ConfigHome.h"
#include "feeds/support/FeedSite.h"
#include "foundation/uHash.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace
{

using feedsite::Items;
using feedtest::S;
using feedtest::U;

const char kItem[] = "<item><title>one</title><link>http://x.test/1</link></item>";

std::string Channel(const std::string& root, const std::string& items = kItem)
{
    return "<" + root + "><channel><title>c</title>" + items + "</channel></" + root + ">";
}

class FeedFetchTest : public testing::Test
{
protected:
    FeedFetchTest() { CPreference::GetInstance(); }

    bool TempIsEmpty() const { return std::filesystem::is_empty(config.data("temp")); }
    std::string Serve(const std::string& path, const std::string& body, int status = 200)
    {
        site.feed(path, body, status);
        return site.url(path);
    }

    testsupport::ConfigHome config;
    feedsite::FeedServer site;
    feedtest::ShownMessages shown;
};

// One store fetches every document in turn. The parser is chosen by the root
// name in any case; a failed download is error 1, a document that is no XML or
// no feed error 2, and neither leaves anything of the earlier fetch a caller
// could take for a channel. A document type declaration the strict load
// refuses is cut, and what remains must parse. A broken document counts for
// the items it holds. No temporary file is left.
TEST_F(FeedFetchTest, EachDocumentIsParsedByItsRootOrRefused)
{
    std::string refused;
    {
        testsupport::LocalHttpServer gone;
        refused = gone.url("/feed");
    }
    const int kUnreadable = CFeedStore::kDocumentUnreadable;
    const struct
    {
        const char* name;
        std::string body;
        int status; // 0: nothing listens
        int error;
        size_t items;
    } cases[] = {
        {"rss", feedsite::Rss("A", "http://x.test/", Items("http://x.test", "a", 1, 3)), 200, 0, 3},
        {"refused", "", 0, CFeedStore::kDownloadFailed, 0},
        {"upper-case rss", Channel("RSS"), 200, 0, 1},
        {"404", "not here", 404, CFeedStore::kDownloadFailed, 0},
        {"atom",
         "<Feed xmlns=\"http://www.w3.org/2005/Atom\"><title>c</title><entry><title>one</title>"
         "<link href=\"http://x.test/1\"/></entry></Feed>",
         200, 0, 1},
        {"garbage", "this is { not xml", 200, kUnreadable, 0},
        {"rdf",
         "<rdf:rdf xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><channel><title>c</title>"
         "</channel>" +
             std::string(kItem) + "</rdf:rdf>",
         200, 0, 1},
        {"xhtml",
         "<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><body>" + std::string(kItem) +
             "</body></html>",
         200, kUnreadable, 0},
        {"public identifier only",
         "<?xml version=\"1.0\"?>\n<!DOCTYPE rss PUBLIC \"-//Netscape "
         "Communications//DTD RSS 0.91//EN\">\n" +
             Channel("rss"),
         200, 0, 1},
        {"broken internal subset", "<!DOCTYPE rss [<!ENTITY a \"b\"> <!BOGUS>]>" + Channel("rss"), 200,
         kUnreadable, 0},
        {"unterminated declaration", "<!DOCTYPE rss PUBLIC \"-//x//y//EN\" \"rss.dtd\"", 200, kUnreadable, 0},
        {"unclosed tags, no item",
         "<rss><channel><title>Broken feed<description>unclosed tag</channel></rss>", 200, kUnreadable, 0},
        {"cut in its first item", "<rss><channel><title>c</title><item><title>one</title>", 200, kUnreadable,
         0},
        {"unclosed tag after an item",
         "<rss><channel><title>c</title>" + std::string(kItem) + "<p>x</channel>", 200, 0, 1},
        // An item the document ends inside holds only what arrived: it is
        // left out, and the items closed before the break are kept.
        {"cut in the link of its only item",
         "<rss><channel><title>c</title><item><title>one</title><link>http://example.invalid/one-fu", 200,
         kUnreadable, 0},
        {"cut in a second item's link",
         "<rss><channel><title>c</title>" + std::string(kItem) + "<item><title>two</title><link>http://exa",
         200, 0, 1},
        {"cut in a second item's description",
         "<rss><channel><title>c</title>" + std::string(kItem) +
             "<item><title>two</title><link>http://x.test/2</link><description>half of i",
         200, 0, 1},
        {"rdf cut in a second item",
         "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><channel><title>c</title>"
         "</channel>" +
             std::string(kItem) + "<item><title>two</title><link>http://x.test/2</link><description>ha",
         200, 0, 1},
        {"atom cut in a second entry",
         "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>c</title><entry><title>one</title>"
         "<link href=\"http://x.test/1\"/></entry><entry><title>two</title><link href=\"http://x.test/2\"/>"
         "<summary>ha",
         200, 0, 1},
        // A fault the later reads get past (an undeclared prefix, an HTML
        // entity name) breaks off the first reads inside a whole item.
        {"undeclared prefix in the first item, cut in the second",
         "<rss><channel><title>c</title><item><title>one</title><link>http://x.test/1</link>"
         "<itunes:duration>1</itunes:duration></item><item><title>two</title><link>http://x.te",
         200, 0, 1},
        {"html entity in the first item, cut in the second",
         "<rss><channel><title>c</title><item><title>one&nbsp;x</title><link>http://x.test/1</link>"
         "</item><item><title>two</title><link>http://x.te",
         200, 0, 1},
    };
    CFeedStore store;
    std::vector<std::string> errors;
    int n = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::string url = c.status ? Serve("/doc" + std::to_string(n++), c.body, c.status) : refused;
        EXPECT_EQ(store.FetchFeed(U(url), 5, false, /*showMessages=*/true), c.error == 0);
        EXPECT_EQ(store.errorCode, c.error);
        ASSERT_EQ(store.items.size(), c.items) << "records start afresh";
        if (c.error == 0)
        {
            EXPECT_EQ(S(store.items.back().link), c.items == 3 ? "http://x.test/item/3" : "http://x.test/1");
            continue;
        }
        errors.push_back(c.status == 200 ? "Failed to load/parse XML Document" : "Failed to download " + url);
        EXPECT_EQ(S(store.errorText), errors.back());
        EXPECT_TRUE(store.channel.title.isEmpty());
    }
    EXPECT_EQ(shown(), errors);
    EXPECT_TRUE(TempIsEmpty());

    CFeedStore fetched(U(site.url("/doc0")), false);
    EXPECT_EQ(fetched.errorCode, 0);
    EXPECT_EQ(fetched.items.size(), 3u);
}

// A fetched feed must not make the parser read local files or reach other
// addresses, whatever its declaration names.
TEST_F(FeedFetchTest, ExternalEntitiesAndDocumentTypesAreNeverFetched)
{
    const std::string secret = config.write("secret.txt", "TOP-SECRET-CONTENT");
    const std::string body = "<?xml version=\"1.0\"?>\n<!DOCTYPE rss SYSTEM \"" + site.url("/dtd") +
                             "\" [<!ENTITY secret SYSTEM \"file://" + secret +
                             "\"><!ENTITY remote SYSTEM \"" + site.url("/leak") +
                             "\">]>\n<rss><channel><title>c</title><item><title>one</title>"
                             "<link>http://x.test/1</link><description>[&secret;][&remote;]</description>"
                             "</item></channel></rss>";
    CFeedStore store;
    store.FetchFeed(U(Serve("/xxe", body)), 5, false, false);
    for (const CItemRecord& item : store.items)
        EXPECT_EQ(S(item.description).find("TOP-SECRET"), std::string::npos);
    EXPECT_TRUE(site.server().requestsFor("/dtd").empty());
    EXPECT_TRUE(site.server().requestsFor("/leak").empty());
}

TEST_F(FeedFetchTest, APartialDocumentKeepsWhatWasReadAndIsMarked)
{
    const std::string whole = feedsite::Rss("T", "http://x.test/", Items("http://x.test", "t", 1, 3));
    CFeedStore store;
    ASSERT_TRUE(store.FetchFeed(U(Serve("/cut", whole.substr(0, whole.find("t 3")))), 5, false, false));
    EXPECT_TRUE(store.documentPartial);
    ASSERT_GE(store.items.size(), 2u);
    EXPECT_EQ(S(store.items[1].link), "http://x.test/item/2");
    ASSERT_TRUE(store.FetchFeed(U(Serve("/whole", whole)), 5, false, false));
    EXPECT_FALSE(store.documentPartial);
}

// Only the network is fetched, and a feed file the user opened: a stored
// address naming a path any other way, a script or inline data is refused
// before anything is read, with an error that says why; "feed://" stands for
// http.
TEST_F(FeedFetchTest, OnlyHttpHttpsAndFtpAddressesAreFetched)
{
    const std::string path = config.write("local feed.xml", Channel("rss"));
    for (const std::string& address : {"FILE://" + path, "file:" + path, path, std::string("~/.ssh/id_rsa"),
                                       std::string("javascript:alert(1)"), "data:text/xml," + Channel("rss"),
                                       std::string("http:///no-host"), std::string("gopher://127.0.0.1/1")})
    {
        CFeedStore store;
        EXPECT_FALSE(store.FetchFeed(U(address), 5, false, true)) << address;
        EXPECT_EQ(store.errorCode, CFeedStore::kAddressRefused) << address;
        EXPECT_TRUE(store.items.empty()) << address;
        EXPECT_NE(S(store.errorText).find("only http, https and ftp"), std::string::npos) << address;
    }
    EXPECT_EQ(shown().size(), 8u) << "each refusal is told when messages are asked for";
    EXPECT_TRUE(std::filesystem::exists(path));
    CFeedStore relative;
    EXPECT_FALSE(relative.FetchFeed(U("file://local feed.xml"), 5, false, false));
    EXPECT_EQ(relative.errorCode, CFeedStore::kAddressRefused) << "a path that is not absolute";

    const std::string url = Serve("/as-feed", Channel("rss"));
    CFeedStore store;
    EXPECT_TRUE(store.FetchFeed(U("feed" + url.substr(4)), 5, false, false));
    EXPECT_EQ(store.items.size(), 1u);
    EXPECT_EQ(site.gets("/as-feed"), 1);
}

// A feed file the user opened is read where it lies at every fetch, so a
// change on disk is seen; the file stays. A path that names something other
// than a regular file is a document that cannot be loaded, not a wait on a
// device; a path that names nothing fails quietly and sets no error.
TEST_F(FeedFetchTest, AFileAddressIsReadFromDiskAtEveryFetch)
{
    const std::string path = config.write("opened feed.rss", Channel("rss"));
    const uString address = U("file://" + path);
    CFeedStore store;
    ASSERT_TRUE(store.FetchFeed(address, 5, false, false)) << store.errorText.c_str();
    ASSERT_EQ(store.items.size(), 1u);
    config.write(
        "opened feed.rss",
        Channel("rss", std::string(kItem) + "<item><title>two</title><link>http://x.test/2</link></item>"));
    ASSERT_TRUE(store.FetchFeed(address, 5, false, false));
    EXPECT_EQ(store.items.size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_TRUE(TempIsEmpty()) << "nothing is copied";

    for (const std::string& other : {config.data("temp"), std::string("/dev/zero")})
    {
        EXPECT_FALSE(store.FetchFeed(U("file://" + other), 5, false, true)) << other;
        EXPECT_EQ(store.errorCode, CFeedStore::kDocumentUnreadable) << other;
        EXPECT_STREQ(store.errorText.c_str(), "Failed to load/parse XML Document") << other;
    }
    EXPECT_EQ(shown().size(), 2u);

    store.errorCode = CFeedStore::kStatementFailed;
    store.errorText = U("an earlier error");
    EXPECT_FALSE(store.FetchFeed(U("file://" + path + ".missing"), 5, false, true));
    EXPECT_EQ(store.errorCode, CFeedStore::kStatementFailed);
    EXPECT_STREQ(store.errorText.c_str(), "an earlier error");
    EXPECT_TRUE(store.items.empty()) << "nothing of the earlier fetch passes for this feed";
    EXPECT_EQ(shown().size(), 2u) << "no message";
}

// A fetch downloads into the temp folder under the lower-case MD5 of its URL;
// a name another fetch holds is skipped for the first free "<md5>.N", and
// only the fetch's own file is removed afterwards.
TEST_F(FeedFetchTest, ATakenTempNameIsSkippedAndLeftAlone)
{
    const std::string url = site.url("/busy");
    uMD5 digest(0);
    digest.hashString(url.c_str());
    uString name;
    digest.getHexDigest(name);
    const std::string taken = config.data("temp/" + S(name));
    config.write("Documents/Kestrova/temp/" + S(name), "another fetch");
    config.write("Documents/Kestrova/temp/" + S(name) + ".1", "and another");

    std::set<std::string> duringFetch;
    site.server().route("/busy",
                        [&](const testsupport::HttpRequest&)
                        {
                            for (const auto& entry : std::filesystem::directory_iterator(config.data("temp")))
                                duringFetch.insert(entry.path().filename().string());
                            return testsupport::TextResponse(200, Channel("rss"), "application/xml");
                        });
    CFeedStore store;
    ASSERT_TRUE(store.FetchFeed(U(url), 0, false, false));
    EXPECT_EQ(store.items.size(), 1u);
    EXPECT_EQ(duringFetch, (std::set<std::string>{S(name), S(name) + ".1", S(name) + ".2"}));
    EXPECT_EQ(testsupport::ReadFileBytes(taken), "another fetch");
    EXPECT_EQ(testsupport::ReadFileBytes(taken + ".1"), "and another");
    EXPECT_FALSE(testsupport::FileExists(taken + ".2"));
}

// The synchronous road: every feed of the list fetched and purged of the
// items it no longer carries; nothing stored, a failing feed left alone.
TEST_F(FeedFetchTest, RefreshAllFeedsPurgesWhatEachFeedDropped)
{
    std::filesystem::copy_file(liststore::TemplatePath(), config.data("subscription/user0.mdb"));
    CPreference::GeneralSection general = CPreference::GetInstance()->GetGeneralSection();
    general.bPurgeItemOldThan = false; // every dropped item goes, whatever its age
    CPreference::GetInstance()->SetGeneralSection(general);
    const std::string kept =
        Serve("/kept", feedsite::Rss("K", "http://k.test/", Items("http://k.test", "k", 2, 3)));
    const std::string failing = Serve("/failing", "gone", 404);
    CFeedStore setup;
    setup.SetDatabase("user0.mdb");
    for (const std::string& feed : {kept, failing})
    {
        liststore::InsertChannel(setup, U(feed), "c", 0, 0);
        for (int i = 1; i <= 3; ++i)
            liststore::InsertItem(setup, U(feed), U(feed + "/" + std::to_string(i)), "i");
    }
    liststore::InsertItem(setup, U(kept), "http://k.test/item/2", "still there");

    CFeedStore store;
    EXPECT_TRUE(store.RefreshAllFeeds("user0.mdb", false));
    EXPECT_EQ(liststore::CountWhere(setup, "item", "feed", U(kept)), "1");
    EXPECT_EQ(liststore::CountWhere(setup, "item", "link", "http://k.test/item/2"), "1");
    EXPECT_EQ(liststore::CountWhere(setup, "item", "feed", U(failing)), "3");
    EXPECT_EQ(liststore::CountWhere(setup, "item", "link", "http://k.test/item/3"), "0") << "nothing stored";
    std::vector<uString> feeds;
    store.GetFeedList("user0.mdb", feeds);
    EXPECT_EQ(std::set<uString>(feeds.begin(), feeds.end()), (std::set<uString>{U(kept), U(failing)}));
    EXPECT_TRUE(shown().empty());

    // A list that cannot be read is reported, and not created.
    EXPECT_FALSE(store.RefreshAllFeeds("user7.mdb", false));
    store.GetFeedList("user7.mdb", feeds);
    EXPECT_TRUE(feeds.empty());
    EXPECT_EQ(store.errorCode, CFeedStore::kStatementFailed);
    EXPECT_EQ(shown(), std::vector<std::string>{S(store.errorText)});
    EXPECT_FALSE(std::filesystem::exists(config.data("subscription/user7.mdb")));
}

} // namespace
