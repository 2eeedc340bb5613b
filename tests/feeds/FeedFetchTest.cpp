#include "feeds/ListDatabaseFixture.h"
#include "feeds/MessageBox.h"
#include "feeds/support/ConfigHome.h"
#include "feeds/support/FeedSite.h"

#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace
{

using feedsite::Items;

uString U(const std::string& text)
{
    return uString(text.data(), 0, static_cast<int>(text.size()));
}

std::string S(const uString& text)
{
    return std::string(text.c_str(), static_cast<std::size_t>(text.getLength()));
}

class RecordingMessageBox : public CMessageBox
{
public:
    void Show(const uString& text) override
    {
        std::lock_guard hold(m_lock);
        shown.push_back(S(text));
    }
    std::vector<std::string> shown;

private:
    std::mutex m_lock;
};

class FeedFetchTest : public testing::Test
{
protected:
    FeedFetchTest()
    {
        CPreference::GetInstance();
        CMessageBox::Install(display);
    }
    ~FeedFetchTest() override { CMessageBox::Install(nullptr); }

    std::vector<std::string> TempFiles() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(config.data("temp")))
            names.push_back(entry.path().filename().string());
        return names;
    }
    std::string Serve(const std::string& path, const std::string& body, int status = 200)
    {
        site.feed(path, body, status);
        return site.url(path);
    }
    static std::string Channel(const std::string& root, const std::string& items)
    {
        return "<" + root + "><channel><title>c</title>" + items + "</channel></" + root + ">";
    }

    testsupport::ConfigHome config;
    feedsite::FeedServer site;
    std::shared_ptr<RecordingMessageBox> display = std::make_shared<RecordingMessageBox>();
};

TEST_F(FeedFetchTest, FetchParsesTheFeedAndLeavesNoTemporaryFile)
{
    const std::string url =
        Serve("/a", feedsite::Rss("A", "http://site.test/", Items("http://site.test", "a", 1, 3)));
    CFeedStore store;
    ASSERT_TRUE(store.FetchFeed(U(url), 0, false, false));
    EXPECT_EQ(store.items.size(), 3u);
    EXPECT_EQ(S(store.items[2].title), "a 3");
    EXPECT_EQ(store.errorCode, 0);
    EXPECT_TRUE(TempFiles().empty());

    // The same store again: the records start afresh, they do not pile up.
    ASSERT_TRUE(store.FetchFeed(U(url), 0, false, false));
    EXPECT_EQ(store.items.size(), 3u);

    CFeedStore fetched(U(url), false);
    EXPECT_EQ(fetched.errorCode, 0);
    EXPECT_EQ(fetched.items.size(), 3u);
    EXPECT_EQ(S(fetched.databaseName), "default.mdb");
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_TRUE(display->shown.empty());
}

TEST_F(FeedFetchTest, DownloadFailuresAreCodeOneAndLeaveNoFile)
{
    std::string refused;
    {
        testsupport::LocalHttpServer gone;
        refused = gone.url("/feed");
    }
    const std::string missing = Serve("/missing", "not here", 404);
    for (const std::string& url : {refused, missing})
    {
        CFeedStore store;
        EXPECT_FALSE(store.FetchFeed(U(url), 5, false, /*showMessages=*/true)) << url;
        EXPECT_EQ(store.errorCode, CFeedStore::kDownloadFailed) << url;
        EXPECT_EQ(S(store.errorText), "Failed to download " + url);
    }
    EXPECT_EQ(display->shown,
              (std::vector<std::string>{"Failed to download " + refused, "Failed to download " + missing}));
    EXPECT_TRUE(TempFiles().empty());
}

// A document that is no XML, or XML that is no feed, is an error: the store
// holds nothing a caller could mistake for a channel.
TEST_F(FeedFetchTest, DocumentsThatAreNoFeedAreCodeTwo)
{
    const std::string garbage = Serve("/garbage", "this is { not xml");
    const std::string portal =
        Serve("/portal", "<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>Hi</p>"
                         "<item><title>x</title><link>http://x.test/</link></item></body></html>");
    for (const std::string& url : {garbage, portal})
    {
        CFeedStore store;
        EXPECT_FALSE(store.FetchFeed(U(url), 5, false, false)) << url;
        EXPECT_EQ(store.errorCode, CFeedStore::kDocumentUnreadable) << url;
        EXPECT_EQ(S(store.errorText), "Failed to load/parse XML Document");
        EXPECT_TRUE(store.items.empty());
        EXPECT_TRUE(store.channel.title.isEmpty());
    }
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(FeedFetchTest, RootNamesPickTheirParserWhateverTheirCase)
{
    const std::string item = "<item><title>one</title><link>http://x.test/1</link></item>";
    const std::string rss = Serve("/rss", Channel("RSS", item));
    const std::string atom =
        Serve("/atom", "<Feed xmlns=\"http://www.w3.org/2005/Atom\"><title>c</title><entry><title>one</title>"
                       "<link href=\"http://x.test/1\"/></entry></Feed>");
    const std::string rdf =
        Serve("/rdf", "<rdf:rdf xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
                      "<channel><title>c</title></channel>" +
                          item + "</rdf:rdf>");
    for (const std::string& url : {rss, atom, rdf})
    {
        CFeedStore store;
        EXPECT_TRUE(store.FetchFeed(U(url), 5, false, false)) << url;
        ASSERT_EQ(store.items.size(), 1u) << url;
        EXPECT_EQ(S(store.items[0].link), "http://x.test/1");
    }
}

TEST_F(FeedFetchTest, DocumentTypeDeclarationsAreCutWhenTheStrictLoadRefusesThem)
{
    const std::string item = "<item><title>one</title><link>http://x.test/1</link></item>";
    // A public identifier without a system literal is not XML: only the
    // text without the declaration parses.
    const std::string publicOnly =
        Serve("/091", "<?xml version=\"1.0\"?>\n<!DOCTYPE rss PUBLIC \"-//Netscape Communications//DTD RSS "
                      "0.91//EN\">\n" +
                          Channel("rss", item));
    CFeedStore store;
    EXPECT_TRUE(store.FetchFeed(U(publicOnly), 5, false, false));
    EXPECT_EQ(store.items.size(), 1u);

    // A declaration with a broken internal subset is cut at its first ">",
    // and what remains is no document either; nor is a declaration that
    // never ends. Both fail cleanly.
    const std::string brokenSubset =
        Serve("/subset", "<!DOCTYPE rss [<!ENTITY a \"b\"> <!BOGUS>]>" + Channel("rss", item));
    const std::string unterminated = Serve("/open", "<!DOCTYPE rss PUBLIC \"-//x//y//EN\" \"rss.dtd\"");
    for (const std::string& url : {brokenSubset, unterminated})
    {
        EXPECT_FALSE(store.FetchFeed(U(url), 5, false, false)) << url;
        EXPECT_EQ(store.errorCode, CFeedStore::kDocumentUnreadable) << url;
    }
}

// A fetched feed must not make the parser read local files or reach other
// addresses, whatever its declaration names.
TEST_F(FeedFetchTest, ExternalEntitiesAndDocumentTypesAreNeverFetched)
{
    const std::string secret = config.home().file("secret.txt");
    {
        std::FILE* file = std::fopen(secret.c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs("TOP-SECRET-CONTENT", file);
        std::fclose(file);
    }
    const std::string body = "<?xml version=\"1.0\"?>\n<!DOCTYPE rss SYSTEM \"" + site.url("/dtd") +
                             "\" [<!ENTITY secret SYSTEM \"file://" + secret +
                             "\"><!ENTITY remote SYSTEM \"" + site.url("/leak") +
                             "\">]>\n<rss><channel><title>c</title><item><title>one</title>"
                             "<link>http://x.test/1</link><description>[&secret;][&remote;]</description>"
                             "</item></channel></rss>";
    const std::string url = Serve("/xxe", body);
    CFeedStore store;
    store.FetchFeed(U(url), 5, false, false);
    for (const CItemRecord& item : store.items)
        EXPECT_EQ(S(item.description).find("TOP-SECRET"), std::string::npos);
    EXPECT_TRUE(site.server().requestsFor("/dtd").empty());
    EXPECT_TRUE(site.server().requestsFor("/leak").empty());
}

TEST_F(FeedFetchTest, APartialDocumentKeepsWhatWasReadAndIsMarked)
{
    std::string body = feedsite::Rss("T", "http://x.test/", Items("http://x.test", "t", 1, 3));
    body.resize(body.find("t 3"));
    const std::string cut = Serve("/cut", body);
    const std::string whole =
        Serve("/whole", feedsite::Rss("T", "http://x.test/", Items("http://x.test", "t", 1, 3)));
    CFeedStore store;
    ASSERT_TRUE(store.FetchFeed(U(cut), 5, false, false));
    EXPECT_TRUE(store.documentPartial);
    ASSERT_GE(store.items.size(), 2u);
    EXPECT_EQ(S(store.items[1].link), "http://x.test/item/2");
    ASSERT_TRUE(store.FetchFeed(U(whole), 5, false, false));
    EXPECT_FALSE(store.documentPartial);
}

TEST_F(FeedFetchTest, FileUrlsAreReadInPlace)
{
    const std::string path = config.home().file("local feed.xml");
    {
        std::FILE* file = std::fopen(path.c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs(Channel("rss", "<item><title>one</title><link>http://x.test/1</link></item>").c_str(),
                   file);
        std::fclose(file);
    }
    CFeedStore store;
    EXPECT_TRUE(store.FetchFeed(U("file://" + path), 0, false, false));
    EXPECT_EQ(store.items.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(path)) << "a local feed is never deleted";

    EXPECT_FALSE(store.FetchFeed(U("file://" + path + ".missing"), 0, false, true));
    EXPECT_EQ(store.errorCode, 0) << "a missing local file sets no error";
    EXPECT_TRUE(display->shown.empty());
}

TEST_F(FeedFetchTest, TheAbortFlagEndsAStalledDownload)
{
    testsupport::HttpResponse stall = testsupport::TextResponse(200, "<rss>");
    stall.stallAfterHeaders = true;
    site.server().serve("/stall", stall);
    std::atomic<bool> abort{false};
    std::thread closer(
        [&]
        {
            for (int i = 0; i < 3000 && site.server().requestsFor("/stall").empty(); ++i)
                SleepMs(10);
            abort.store(true);
        });
    CFeedStore store;
    EXPECT_FALSE(store.FetchFeed(U(site.url("/stall")), 300, false, false, &abort));
    closer.join();
    EXPECT_EQ(store.errorCode, CFeedStore::kDownloadFailed);
    EXPECT_TRUE(TempFiles().empty());
}

class FeedListTest : public FeedFetchTest
{
protected:
    FeedListTest()
    {
        std::filesystem::copy_file(liststore::TemplatePath(), config.data("subscription/user0.mdb"));
        // Every dropped item is purged, whatever its age.
        CPreference::GeneralSection general = CPreference::GetInstance()->GetGeneralSection();
        general.bPurgeItemOldThan = false;
        CPreference::GetInstance()->SetGeneralSection(general);
    }
};

// The synchronous road: every feed of the list fetched and purged of the
// items it no longer carries; nothing stored, a failing feed left alone.
TEST_F(FeedListTest, RefreshAllFeedsPurgesWhatEachFeedDropped)
{
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
    std::set<std::string> listed;
    for (const uString& feed : feeds)
        listed.insert(S(feed));
    EXPECT_EQ(listed, (std::set<std::string>{kept, failing}));
    EXPECT_TRUE(display->shown.empty());
}

TEST_F(FeedListTest, AListThatCannotBeReadIsReported)
{
    CFeedStore store;
    EXPECT_FALSE(store.RefreshAllFeeds("user7.mdb", false));
    std::vector<uString> feeds{"stale"};
    store.GetFeedList("user7.mdb", feeds);
    EXPECT_TRUE(feeds.empty());
    EXPECT_EQ(store.errorCode, CFeedStore::kStatementFailed);
    ASSERT_EQ(display->shown.size(), 1u);
    EXPECT_EQ(display->shown[0], S(store.errorText));
    EXPECT_FALSE(std::filesystem::exists(config.data("subscription/user7.mdb")));
}

} // namespace
