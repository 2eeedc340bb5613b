#include "feeds/FeedImport.h"
#include "feeds/FeedUpdate.h"
#include "feeds/support/RefreshFixture.h"
#include "support/ChildProcess.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <future>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>

namespace
{

using namespace refreshtest;
using feedsite::Items;

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

// Twenty subscriptions of one list: every format, enclosures with and without
// automatic download (/podcast/0 and /1), and two feeds that fail at the
// refresh (/gone answers 404, /portal an HTML page).
class EndToEndPass : public RefreshFixture
{
protected:
    EndToEndPass()
    {
        for (const auto& [prefix, count] : {std::pair{"/rss/", 5}, std::pair{"/podcast/", 5},
                                            std::pair{"/rdf/", 4}, std::pair{"/atom/", 4}})
            for (int i = 0; i < count; ++i)
                paths.push_back(prefix + std::to_string(i));
        paths.push_back("/gone");
        paths.push_back("/portal");
        for (const std::string& path : paths)
        {
            Serve(path, 3);
            Subscribe("user0.mdb", site.url(path), path == "/podcast/0" || path == "/podcast/1");
        }
        // The refresh brings two new items to every feed that still works.
        for (const std::string& path : paths)
            Serve(path, 5);
        site.feed("/gone", "gone", 404, "text/plain");
        site.feed("/portal", "<html><body><p>Portal</p></body></html>", 200, "text/html");
        MakeDue("user0.mdb");
        site.resetCounts();
        queue->queued.clear();
        messages->take();
    }

    void Serve(const std::string& path, int itemCount)
    {
        const std::string base = site.url(path);
        const auto items = Items(base, "Story", 1, itemCount, StartsWith(path, "/podcast/"));
        if (StartsWith(path, "/rdf/"))
            site.feed(path, feedsite::Rdf("R", base + "/site", items));
        else if (StartsWith(path, "/atom/"))
            site.feed(path, feedsite::Atom("A", base + "/site", items));
        else
            site.feed(path, feedsite::Rss("P", base + "/site", items));
    }

    // What any complete pass leaves in the database and the download queue,
    // whichever way its tasks ran.
    void ExpectStoredPass()
    {
        for (const std::string& path : paths)
        {
            EXPECT_EQ(ItemCount("user0.mdb", site.url(path)), path == "/gone" || path == "/portal" ? 3 : 5)
                << path;
            EXPECT_EQ(site.gets(path), 1) << path;
        }
        // Failed feeds are stamped too: they wait for their ttl like the others.
        EXPECT_EQ(Query("user0.mdb", "select count(*) from channel where lastupdate < '2001-01-01'"), "0");
        EXPECT_EQ(Query("user0.mdb", "select count(*) from channel"), "20");
        EXPECT_EQ(Query("user0.mdb", "select count(*) from enclosure"), "25");
        EXPECT_EQ(Query("user0.mdb", "select count(*) from item where enclosure <> 0"), "25");
        EXPECT_EQ(site.gets(), 20) << "one GET per due feed, nothing else counted";
        EXPECT_EQ(site.server().requestsFor("/favicon.ico").size(), 1u)
            << "fetched once, at the subscription";

        std::multiset<std::string> queuedFeeds;
        for (const CTransferRequest& request : queue->snapshot())
            queuedFeeds.insert(S(request.listName) + " " + S(request.feed));
        EXPECT_EQ(queuedFeeds.size(), 10u) << "the five enclosures of each auto-download feed";
        EXPECT_EQ(queuedFeeds.count("user0.mdb " + site.url("/podcast/0")), 5u);
        EXPECT_EQ(queuedFeeds.count("user0.mdb " + site.url("/podcast/1")), 5u);
    }

    std::vector<std::string> paths;
};

TEST_F(EndToEndPass, ParallelPassStoresEveryFeedWithinTheThreadBound)
{
    site.setGate(3, static_cast<int>(paths.size()));
    auto host = MakeHost(3, /*parallel=*/true);
    Refresh(*host, {"user0.mdb"});

    ExpectStoredPass();
    EXPECT_EQ(site.highWater(), 3) << "never more than nMaxScanningThreads at once, and really that many";
    const std::vector<uWindowMessage> posted = messages->take();
    std::vector<std::string> status = Texts(posted, WM_APP_STATUSTEXT);
    std::vector<std::string> expected = {"Compacting database user0.mdb"};
    for (const std::string& path : paths)
        expected.push_back("Checking Feed " + site.url(path));
    ASSERT_EQ(status.size(), expected.size());
    EXPECT_EQ(status.front(), expected.front());
    std::sort(status.begin(), status.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(status, expected);
    EXPECT_EQ(Texts(posted, WM_APP_UPDATEDONE).size(), 1u);
    EXPECT_EQ(Texts(posted, WM_USER_FEEDUPDATED), std::vector<std::string>{"user0.mdb"});
    EXPECT_TRUE(Texts(posted, WM_APP_NOTIFYNEWITEMS).empty()) << "the window is not hidden";
    EXPECT_EQ(host->GetUpdateSemaphore()->getCount(), 3) << "every slot given back";
}

TEST_F(EndToEndPass, InlinePassStoresTheSameWithoutPerFeedMessages)
{
    auto host = MakeHost(3, /*parallel=*/false);
    Refresh(*host, {"user0.mdb"});

    ExpectStoredPass();
    EXPECT_EQ(site.highWater(), 1);
    const std::vector<uWindowMessage> posted = messages->take();
    EXPECT_EQ(Texts(posted, WM_APP_STATUSTEXT), std::vector<std::string>{"Compacting database user0.mdb"});
    EXPECT_TRUE(Texts(posted, WM_APP_UPDATEDONE).empty());
    EXPECT_EQ(Texts(posted, WM_USER_FEEDUPDATED), std::vector<std::string>{"user0.mdb"});
}

class UpdatePassTest : public RefreshFixture
{
protected:
    std::string Feed(const std::string& path, int last, int first = 1)
    {
        const std::string url = site.url(path);
        site.feed(path, feedsite::Rss("T", url + "/site", Items(url, "t", first, last)));
        return url;
    }
    // A feed subscribed with `before` items that now carries `after` items, due.
    std::string Subscribed(const std::string& path, int before, int after,
                           const std::string& list = "user0.mdb")
    {
        const std::string url = Feed(path, before);
        Subscribe(list, url);
        Feed(path, after);
        MakeDue(list);
        messages->take();
        return url;
    }
};

// A feed is fetched once its ttl has passed; known items are no news, and
// new ones, while the window is hidden in the tray, post their first three
// titles and nothing else.
TEST_F(UpdatePassTest, DueFeedsAreFetchedAndOnlyNewItemsAreNews)
{
    const std::string url = Feed("/news", 4);
    Subscribe("user0.mdb", url);
    Execute("user0.mdb", "UPDATE channel SET ttl=60");
    site.resetCounts();
    auto host = MakeHost(2, /*parallel=*/true);
    host->SetHiddenInTray(true);
    Refresh(*host, {"user0.mdb"});
    EXPECT_EQ(site.gets("/news"), 0) << "stored just now, due only after 60 minutes";

    MakeDue("user0.mdb");
    messages->take();
    Refresh(*host, {"user0.mdb"});
    EXPECT_EQ(site.gets("/news"), 1);
    EXPECT_TRUE(Texts(messages->take(), WM_APP_NOTIFYNEWITEMS).empty()) << "every item was known";

    Feed("/news", 9);
    MakeDue("user0.mdb");
    Refresh(*host, {"user0.mdb"});
    const std::vector<uWindowMessage> posted = messages->take();
    EXPECT_EQ(Texts(posted, WM_APP_NOTIFYNEWITEMS), std::vector<std::string>{"t 5\nt 6\nt 7\n"});
    EXPECT_TRUE(Texts(posted, WM_APP_STATUSTEXT).empty());
    EXPECT_TRUE(Texts(posted, WM_USER_FEEDUPDATED).empty());
    EXPECT_EQ(ItemCount("user0.mdb", url), 9);
}

// A feed behind HTTP authentication is refreshed with the login kept in
// auth.xml for its address, with no prompt; a feed without a stored login
// still fails quietly and waits for its ttl like any failing feed.
TEST_F(UpdatePassTest, AFeedBehindALoginIsRefreshedWithTheLoginStoredForIt)
{
    const std::string locked = site.url("/locked");
    const std::string stranger = site.url("/stranger");
    const std::string body = feedsite::Rss("L", locked + "/site", Items(locked, "l", 1, 3));
    for (const char* path : {"/locked", "/stranger"})
        site.server().route(path,
                            [body](const testsupport::HttpRequest& request)
                            {
                                return testsupport::HasBasicAuth(request, "reader", "pa:ss w")
                                           ? testsupport::TextResponse(200, body, "application/rss+xml")
                                           : testsupport::UnauthorizedResponse();
                            });
    CPreference::Release(); // the configuration reads auth.xml when it is made
    config.write("Documents/Kestrova/auth.xml",
                 "<?xml version=\"1.0\"?><Auth><entry url=\"" + locked + "\" user=\"reader\" auth=\"" +
                     testsupport::Base64Encode("pa:ss w") + "\" crypto-type=\"base64\"/></Auth>\n");
    ASSERT_TRUE(CPreference::GetInstance()->GetAuthList().Contains(locked.c_str()));
    CFeedStore store;
    feeds::ImportCounts counts;
    ASSERT_TRUE(feeds::AddFeedsUnfetched(store, U("user0.mdb"),
                                         {{U(locked), U(""), U("")}, {U(stranger), U(""), U("")}}, counts));
    auto prompt = feedtest::InstallPrompt("typed", "typed");
    auto host = MakeHost(2, /*parallel=*/true);
    Refresh(*host, {"user0.mdb"});
    CCredentialPrompt::Install(nullptr);

    EXPECT_EQ(ItemCount("user0.mdb", locked), 3);
    EXPECT_EQ(ItemCount("user0.mdb", stranger), 0);
    EXPECT_TRUE(prompt->asked.empty()) << "a refresh never asks";
    for (const testsupport::HttpRequest& request : site.server().requestsFor("/stranger"))
        EXPECT_FALSE(request.hasHeader("Authorization")) << "another address's login stays with it";
    EXPECT_EQ(Query("user0.mdb", "select count(*) from channel where lastupdate < '2001-01-01'"), "0");
    EXPECT_FALSE(CPreference::GetInstance()->GetAuthList().Contains(stranger.c_str())) << "nothing stored";
}

// Feeds as an outline import stores them: not fetched, some without a
// title. Their first fetch stores what a subscription would: the feed's own
// title (over the one the file gave) and description. Later fetches leave a
// title alone. The import stores no local-file address at all.
TEST_F(UpdatePassTest, ImportedFeedsTakeTheFeedsOwnPropertiesAtTheirFirstFetch)
{
    const std::string untitled = Feed("/untitled", 2);
    const std::string named = Feed("/named", 2);
    const std::string later = site.url("/later");
    site.feed("/later", "gone", 404, "text/plain");
    const std::string local =
        "file://" + config.write("local.xml",
                                 feedsite::Rss("Local", "http://x.test/", Items("http://x.test", "l", 1, 2)));
    CFeedStore store;
    feeds::ImportCounts counts;
    ASSERT_TRUE(feeds::AddFeedsUnfetched(store, U("user0.mdb"),
                                         {{U(untitled), U(""), U("")},
                                          {U(named), U("Mine"), U("From the file")},
                                          {U(later), U("Later"), U("")},
                                          {U(local), U("Local file"), U("")}},
                                         counts));
    EXPECT_EQ(counts.added, 3u);
    EXPECT_EQ(counts.failed, 1u);
    EXPECT_EQ(Query("user0.mdb", "select count(*) from channel where feed like 'file:%'"), "0");
    Execute("user0.mdb", "UPDATE channel SET ttl=45 where feed='" + named + "'");
    {
        // Its address as its label (a label edit left as shown) is no name.
        CFeedStore renaming;
        renaming.SetDatabase(U("user0.mdb"));
        uString feed = U(untitled);
        renaming.UpdateChannelProperties(feed, feed, feed, false, false);
        ASSERT_EQ(renaming.errorCode, 0);
    }
    auto host = MakeHost(2, /*parallel=*/true);
    Refresh(*host, {"user0.mdb"});

    EXPECT_EQ(ItemCount("user0.mdb", untitled), 2);
    EXPECT_EQ(
        Query("user0.mdb", "select title || '|' || description from channel where feed='" + untitled + "'"),
        "T|about T");
    EXPECT_EQ(
        Query("user0.mdb",
              "select title || '|' || description || '|' || ttl from channel where feed='" + named + "'"),
        "T|about T|45")
        << "the time to live the user set stays";

    EXPECT_EQ(Query("user0.mdb", "select title from channel where feed='" + later + "'"), "Later")
        << "a failed fetch fills nothing";

    // A later fetch leaves the title alone; the first one that works fills,
    // but not over a name the user gave before it.
    Execute("user0.mdb", "UPDATE channel SET title='Renamed' where feed='" + untitled + "'");
    {
        CFeedStore renaming;
        renaming.SetDatabase(U("user0.mdb"));
        uString feed = U(later);
        renaming.UpdateChannelProperties(feed, U("My later"), feed, false, false);
        ASSERT_EQ(renaming.errorCode, 0);
    }
    Feed("/later", 1);
    MakeDue("user0.mdb");
    Refresh(*host, {"user0.mdb"});
    EXPECT_EQ(Query("user0.mdb", "select title from channel where feed='" + untitled + "'"), "Renamed");
    EXPECT_EQ(
        Query("user0.mdb", "select title || '|' || description from channel where feed='" + later + "'"),
        "My later|about T");
}

// No task runs for a list without feeds, so the worker itself reports the end
// of the pass: the status bar must not keep "Compacting database" for good.
TEST_F(UpdatePassTest, AListWithoutFeedsStartsNoTaskAndTheWorkerReportsTheEnd)
{
    auto host = MakeHost(2, /*parallel=*/true);
    Refresh(*host, {"user0.mdb"});
    const std::vector<uWindowMessage> posted = messages->take();
    EXPECT_EQ(Texts(posted, WM_APP_UPDATEDONE).size(), 1u);
    EXPECT_EQ(posted.back().message, WM_APP_UPDATEDONE);
    EXPECT_EQ(Texts(posted, WM_APP_STATUSTEXT), std::vector<std::string>{"Compacting database user0.mdb"});
    EXPECT_EQ(Texts(posted, WM_USER_FEEDUPDATED), std::vector<std::string>{"user0.mdb"});
}

// Feeds that fail at once (nothing listens at their address) end faster than
// the pass starts new tasks, so the semaphore is free again many times in one
// pass. The window hears of the end once, after the last task of the last
// list, whatever the bound of threads; the window relabels whole lists on it.
TEST_F(UpdatePassTest, ManyFailingFeedsEndTheRefreshOnce)
{
    AddList("user1.mdb");
    const testsupport::ClosedPort closed;
    const std::string base = closed.url("/feed/");
    for (const char* list : {"user0.mdb", "user1.mdb"})
    {
        std::vector<feeds::ImportedFeed> failing;
        for (int i = 0; i < 150; ++i)
            failing.push_back({U(base + list + "/" + std::to_string(i)), U(""), U("")});
        CFeedStore store;
        feeds::ImportCounts counts;
        ASSERT_TRUE(feeds::AddFeedsUnfetched(store, U(list), failing, counts));
    }
    for (int threads : {1, 4})
    {
        SCOPED_TRACE(threads);
        MakeDue("user0.mdb");
        MakeDue("user1.mdb");
        messages->take();
        auto host = MakeHost(threads, /*parallel=*/true);
        Refresh(*host, {"user0.mdb", "user1.mdb"});
        const std::vector<uWindowMessage> posted = messages->take();
        EXPECT_EQ(Texts(posted, WM_APP_UPDATEDONE).size(), 1u);
        ASSERT_FALSE(posted.empty());
        EXPECT_EQ(posted.back().message, WM_APP_UPDATEDONE) << "after everything the pass posted";
        for (const char* list : {"user0.mdb", "user1.mdb"})
            EXPECT_EQ(Query(list, "select count(*) from channel where lastupdate < '2001-01-01'"), "0")
                << list << ": every feed was tried";
    }
}

// A missing list fails alone and is not created; list files differing only in
// case are two files here, so the pass must not keep one's connection for the other.
TEST_F(UpdatePassTest, EachListIsRefreshedOnItsOwn)
{
    AddList("User0.mdb");
    const std::string lower = Subscribed("/lower", 1, 3);
    const std::string upper = Subscribed("/upper", 1, 4, "User0.mdb");
    auto host = MakeHost(2, /*parallel=*/false);
    Refresh(*host, {"user9.mdb", "user0.mdb", "User0.mdb"});
    EXPECT_FALSE(std::filesystem::exists(config.data("subscription/user9.mdb")));
    EXPECT_EQ(ItemCount("user0.mdb", lower), 3);
    EXPECT_EQ(ItemCount("User0.mdb", upper), 4);
    EXPECT_EQ(ItemCount("user0.mdb", upper), 0);
    EXPECT_EQ(Texts(messages->take(), WM_USER_FEEDUPDATED),
              (std::vector<std::string>{"user9.mdb", "user0.mdb", "User0.mdb"}));
}

// A body cut short keeps what was read before the fault, but cannot tell which
// stored items the feed dropped: the purge is skipped. A complete body purges.
TEST_F(UpdatePassTest, PartialDocumentsAreStoredButNeverPurge)
{
    CPreference::GeneralSection general = CPreference::GetInstance()->GetGeneralSection();
    general.bAutoPurge = true;
    general.bPurgeItemOldThan = false;
    CPreference::GetInstance()->SetGeneralSection(general);
    const std::string url = Subscribed("/news", 4, 4);
    std::string body = feedsite::Rss("T", url + "/site", Items(url, "t", 5, 6));
    body.resize(body.rfind("<item>") + 10); // the second item is cut in its title
    site.feed("/news", body);
    auto host = MakeHost(2, /*parallel=*/false);
    Refresh(*host, {"user0.mdb"});
    EXPECT_EQ(ItemCount("user0.mdb", url), 5) << "four kept, the complete new one added";

    Feed("/news", 5, 5);
    MakeDue("user0.mdb");
    Refresh(*host, {"user0.mdb"});
    EXPECT_EQ(ItemCount("user0.mdb", url), 1) << "only the item the feed still carries";
}

// A server that stops mid-answer: the item it stopped in is stored neither at
// the subscription nor at a refresh, and comes whole, once, when the whole
// document does. In every format, cut in a link or in a description.
TEST_F(UpdatePassTest, AnItemCutShortIsStoredOnlyWhenItComesWhole)
{
    using Format =
        std::string (*)(const std::string&, const std::string&, const std::vector<feedsite::Item>&);
    const struct
    {
        const char* name;
        Format format;
        const char* cutBefore; // the document ends two characters before the last of these
        const char* descriptions;
    } cases[] = {
        {"rss link", feedsite::Rss, "</link>", "<p>t 1</p>|<p>t 2</p>|<p>t 3</p>"},
        {"rss description", feedsite::Rss, "</description>", "<p>t 1</p>|<p>t 2</p>|<p>t 3</p>"},
        {"rdf link", feedsite::Rdf, "</link>", "t 1|t 2|t 3"},
        {"atom summary", feedsite::Atom, "</summary>", "t 1|t 2|t 3"},
    };
    int n = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::string path = "/cut/" + std::to_string(n++);
        const std::string url = site.url(path);
        auto serve = [&](int last, bool cut)
        {
            std::string body = c.format("T", url + "/site", Items(url, "t", 1, last));
            if (cut)
                body.resize(body.rfind(c.cutBefore) - 2);
            site.feed(path, body);
        };
        serve(2, true);
        Subscribe("user0.mdb", url);
        EXPECT_EQ(ItemCount("user0.mdb", url), 1) << "subscribed";

        serve(3, true);
        MakeDue("user0.mdb");
        auto host = MakeHost(2, /*parallel=*/true);
        Refresh(*host, {"user0.mdb"});
        EXPECT_EQ(ItemCount("user0.mdb", url), 2) << "refreshed";

        serve(3, false);
        MakeDue("user0.mdb");
        Refresh(*host, {"user0.mdb"});
        const std::string feed = "from item where feed = '" + url + "'";
        EXPECT_EQ(Query("user0.mdb",
                        "select group_concat(link, ' ') from (select link " + feed + " order by link)"),
                  url + "/item/1 " + url + "/item/2 " + url + "/item/3");
        EXPECT_EQ(Query("user0.mdb", "select group_concat(description, '|') from (select description " +
                                         feed + " order by link)"),
                  c.descriptions);
    }
}

TEST_F(UpdatePassTest, RefreshAllStartsOneWorkerAtATime)
{
    Subscribed("/held", 1, 1);
    // The feed is answered only once the test has seen the refresh running.
    auto release = std::make_shared<std::promise<void>>();
    std::shared_future<void> released = release->get_future().share();
    site.server().route("/held",
                        [released](const testsupport::HttpRequest&)
                        {
                            released.wait_for(std::chrono::seconds(30));
                            return testsupport::TextResponse(200, "<rss/>");
                        });
    auto host = MakeHost(2, /*parallel=*/true);
    EXPECT_EQ(host->RefreshAll({}), CRefreshHost::RefreshStart::kNoLists);
    ASSERT_EQ(host->RefreshAll({"user0.mdb"}), CRefreshHost::RefreshStart::kStarted);
    EXPECT_EQ(host->RefreshAll({"other.mdb"}), CRefreshHost::RefreshStart::kRunning);
    uString list;
    EXPECT_TRUE(host->ListAt(0, list));
    EXPECT_EQ(S(list), "user0.mdb") << "a refused start leaves the running lists alone";
    EXPECT_FALSE(host->ListAt(1, list));
    release->set_value();
    ASSERT_TRUE(host->WaitIdle(60000));
    EXPECT_EQ(host->RefreshAll({"user0.mdb"}), CRefreshHost::RefreshStart::kStarted);
    ASSERT_TRUE(host->WaitIdle(60000));
}

// The close aborts a fetch in progress instead of waiting out its time-out,
// and an aborted feed is not stamped: it stays due for the next start.
TEST_F(UpdatePassTest, CloseAbortsRunningFetchesAndLeavesTheFeedDue)
{
    Subscribed("/stall", 1, 1);
    testsupport::HttpResponse stall = testsupport::TextResponse(200, "<rss>");
    stall.stallAfterHeaders = true;
    site.server().serve("/stall", stall);
    site.server().clearLog();

    auto host = MakeHost(2, /*parallel=*/true);
    ASSERT_EQ(host->RefreshAll({"user0.mdb"}), CRefreshHost::RefreshStart::kStarted);
    for (int i = 0; i < 3000 && site.server().requestsFor("/stall").empty(); ++i)
        SleepMs(10);
    ASSERT_EQ(site.server().requestsFor("/stall").size(), 1u);
    EXPECT_TRUE(host->Close(30000));
    EXPECT_EQ(host->GetTaskTracker()->RunningTasks(), 0u);
    EXPECT_EQ(host->RefreshAll({"user0.mdb"}), CRefreshHost::RefreshStart::kClosed);
    EXPECT_EQ(Query("user0.mdb", "select lastupdate from channel"), "2000-01-01 00:00:00");
    EXPECT_TRUE(std::filesystem::is_empty(config.data("temp"))) << "the aborted download is removed";
}

// A site without an icon is asked once a pass, however many of its feeds the
// pass stores, in parallel or one after another; the next pass asks again.
TEST_F(UpdatePassTest, ASiteWithoutAnIconIsAskedOnceAPass)
{
    site.server().serve("/favicon.ico", testsupport::TextResponse(404, "no icon"));
    std::vector<feeds::ImportedFeed> feeds;
    for (int i = 0; i < 6; ++i)
        feeds.push_back({U(Feed("/site/" + std::to_string(i), 2)), U(""), U("")});
    CFeedStore store;
    feeds::ImportCounts counts;
    ASSERT_TRUE(feeds::AddFeedsUnfetched(store, U("user0.mdb"), feeds, counts));
    for (const bool parallel : {true, false})
    {
        SCOPED_TRACE(parallel ? "parallel" : "inline");
        site.server().clearLog();
        auto host = MakeHost(3, parallel);
        MakeDue("user0.mdb");
        Refresh(*host, {"user0.mdb"});
        EXPECT_EQ(site.server().requestsFor("/favicon.ico").size(), 1u);
        EXPECT_EQ(Query("user0.mdb", "select count(*) from item"), "12");
    }
}

// A close while a save waits on the network (the site icon with its own
// 30-second time-out, a .torrent question with the configured one; a silent
// server is dropped after 10 s without data) ends the save at once; the feed
// is not stamped and stays due.
TEST_F(UpdatePassTest, CloseEndsASaveWaitingOnItsLookUps)
{
    CPreference::GeneralSection general = CPreference::GetInstance()->GetGeneralSection();
    general.nDefaultTimeout = 600;
    CPreference::GetInstance()->SetGeneralSection(general);
    const std::string torrent = site.url("/held.torrent");
    for (const char* held : {"/favicon.ico", "/held.torrent"})
    {
        SCOPED_TRACE(held);
        const std::string url = site.url(std::string("/look") + held);
        site.feed(std::string("/look") + held, feedsite::Rss("T", url + "/site", {{"One", torrent, ""}}));
        CFeedStore store;
        feeds::ImportCounts counts;
        ASSERT_TRUE(feeds::AddFeedsUnfetched(store, U("user0.mdb"), {{U(url), U("Look"), U("")}}, counts));
        MakeDue("user0.mdb");

        // The handler runs on a server thread that wakes after this iteration
        // has ended, so what it waits on is shared with it, not borrowed.
        struct Answer
        {
            std::mutex lock;
            std::condition_variable changed;
            bool asked = false;
            bool released = false;
        };
        auto answer = std::make_shared<Answer>();
        // Answers only when the test ends, long after any bound below.
        site.server().route(held,
                            [answer](const testsupport::HttpRequest&)
                            {
                                std::unique_lock hold(answer->lock);
                                answer->asked = true;
                                answer->changed.notify_all();
                                answer->changed.wait_for(hold, std::chrono::seconds(120),
                                                         [&] { return answer->released; });
                                return testsupport::TextResponse(404, "late");
                            });
        auto host = MakeHost(2, /*parallel=*/true);
        ASSERT_EQ(host->RefreshAll({"user0.mdb"}), CRefreshHost::RefreshStart::kStarted);
        {
            std::unique_lock hold(answer->lock);
            EXPECT_TRUE(
                answer->changed.wait_for(hold, std::chrono::seconds(30), [&] { return answer->asked; }));
        }
        const auto closing = std::chrono::steady_clock::now();
        const bool closed = host->Close(5000);
        const auto took = std::chrono::steady_clock::now() - closing;
        {
            std::lock_guard hold(answer->lock);
            answer->released = true;
            answer->changed.notify_all();
        }
        EXPECT_TRUE(closed) << "the close waited for the held answer";
        std::printf(
            "[ measure  ] close during %s: %lld ms\n", held,
            static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
        EXPECT_EQ(Query("user0.mdb", "select lastupdate from channel where feed='" + url + "'"),
                  "2000-01-01 00:00:00");
        EXPECT_EQ(ItemCount("user0.mdb", url), 0);
        if (!closed)
            host->WaitIdle(120000); // its tasks use this list and this server
        site.server().serveContent("/favicon.ico", std::string("\0\0\1\0", 4), "image/x-icon");
    }
}

TEST(RefreshHostTest, ScanningThreadsOutsideOneToEightBecomeTwo)
{
    EXPECT_EQ(CRefreshHost::ScanningThreadCount(0), 2);
    EXPECT_EQ(CRefreshHost::ScanningThreadCount(8), 8);
    EXPECT_EQ(CRefreshHost::ScanningThreadCount(12), 2);
    EXPECT_EQ(CRefreshHost::Create(0, nullptr, -3)->GetUpdateSemaphore()->getCount(), 2);
}

} // namespace

// An exception inside one task (here from the test hook) fails that feed
// only: the pass ends, every slot comes back, and the other feeds are stored,
// whether the tasks run on threads or inline.
TEST_F(UpdatePassTest, AnExceptionInOneTaskLeavesThePassEnding)
{
    const std::string first = Subscribed("/first", 1, 3);
    const std::string broken = Subscribed("/broken", 1, 3);
    const std::string last = Subscribed("/last", 1, 3);
    CFeedUpdateTask::SetTestHook(
        [broken](const uString& feed)
        {
            if (S(feed) == broken)
                throw std::runtime_error("test hook");
        });
    for (bool parallel : {true, false})
    {
        SCOPED_TRACE(parallel ? "parallel" : "inline");
        MakeDue("user0.mdb");
        auto host = MakeHost(2, parallel);
        Refresh(*host, {"user0.mdb"});
        EXPECT_EQ(ItemCount("user0.mdb", first), 3);
        EXPECT_EQ(ItemCount("user0.mdb", last), 3);
        EXPECT_EQ(ItemCount("user0.mdb", broken), 1);
        EXPECT_EQ(host->GetUpdateSemaphore()->getCount(), 2) << "every slot given back";
        if (parallel)
        {
            EXPECT_GE(Texts(messages->take(), WM_APP_UPDATEDONE).size(), 1u);
        }
    }
    CFeedUpdateTask::SetTestHook(nullptr);
}
