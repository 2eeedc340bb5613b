#include "StoredChannelFixture.h"
#include "feeds/LibraryFiles.h"
#include "support/LocalHttpServer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <sqlite3.h>
#include <thread>

namespace
{

using namespace storedchannel;
using testsupport::LocalHttpServer;

using FeedStoreSaveTest = StoredChannel;

const char kRowCounts[] =
    "select (select count(*) from item) || '/' || (select count(*) from enclosure) || '/' || "
    "(select count(*) from [image]) || '/' || (select count(*) from icon)";

TEST_F(FeedStoreSaveTest, StoringTheSameChannelTwiceAddsNothingTheSecondTime)
{
    LocalHttpServer server;
    server.serveContent("/favicon.ico", "ICON", "image/x-icon");
    const std::string feed = server.url("/show/feed.xml");
    const std::vector<CItemRecord> parsed = {Item("http://show.test/1", "One", "http://show.test/1.mp3"),
                                             Item("http://show.test/2", "Two")};
    for (int pass = 0; pass < 3; ++pass)
    {
        Parsed(feed.c_str(), parsed);
        store.channel.imageUrl = "http://show.test/logo.png";
        if (pass == 0)
            store.channel.imageWidth = "88";
        store.SaveChannel("default.mdb", false, /*subscribe=*/pass == 0, false, false);
        EXPECT_EQ(store.errorCode, CFeedStore::kNoError)
            << "known rows are no failure: " << store.errorText.c_str();
        EXPECT_EQ(store.newTitles.size(), pass == 0 ? 2u : 0u);
        if (pass == 0)
            liststore::Execute(store, "UPDATE channel SET lastupdate=NULL");
    }
    EXPECT_EQ(Count(kRowCounts), "2/1/1/1");
    EXPECT_EQ(Count("select width from [image]"), "88");
    EXPECT_EQ(Count("select count(*) from channel where lastupdate is not null and [image] and icon"), "1");
    EXPECT_EQ(server.requestsFor("/favicon.ico").size(), 1u) << "the icon file is fetched once";
    EXPECT_EQ(testsupport::ReadFileBytes(S(Preference().GetIconsDir().getPath()) + "/" +
                                         Count("select localfile from icon")),
              "ICON");
}

// A statement the program's own dialect does not take, on the list file.
void RunNative(const std::string& path, const char* sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

TEST_F(FeedStoreSaveTest, AChannelIsStoredWholeOrNotAtAll)
{
    Parsed("http://whole.test/feed", {Item("http://whole.test/1", "One")});
    store.SaveChannel("default.mdb", false, /*subscribe=*/true, false, false);
    ASSERT_EQ(Count(kRowCounts), "1/0/0/0");

    // The third new item's insert fails: none of this batch is kept, nor its
    // enclosures, and nothing of it is queued or reported as news.
    const std::string list = folder.Path();
    RunNative(list, "CREATE TRIGGER injected AFTER INSERT ON item WHEN (SELECT count(*) FROM item) > 3 "
                    "BEGIN SELECT RAISE(ABORT, 'injected failure'); END");
    std::vector<CItemRecord> batch;
    for (int i = 2; i <= 5; ++i)
        batch.push_back(Item(("http://whole.test/" + std::to_string(i)).c_str(), "Later",
                             ("http://whole.test/" + std::to_string(i) + ".mp3").c_str()));
    Parsed("http://whole.test/feed", batch);
    store.SaveChannel("default.mdb", false, false, false, false);
    EXPECT_EQ(store.errorCode, CFeedStore::kStatementFailed);
    EXPECT_NE(std::string(store.errorText.c_str()).find("injected failure"), std::string::npos)
        << store.errorText.c_str();
    EXPECT_TRUE(store.newTitles.empty());
    EXPECT_EQ(Count(kRowCounts), "1/0/0/0");

    // Once the cause is gone the same batch is stored whole.
    RunNative(list, "DROP TRIGGER injected");
    Parsed("http://whole.test/feed", batch);
    store.SaveChannel("default.mdb", false, false, false, false);
    EXPECT_EQ(store.errorCode, CFeedStore::kNoError) << store.errorText.c_str();
    EXPECT_EQ(Count(kRowCounts), "5/4/0/0");
}

TEST_F(FeedStoreSaveTest, TextsRoundTripAndHostileNumbersNeverReachTheStatement)
{
    const char* const titles[] = {"It's", "été", "中文标题", "emoji 😀"};
    std::vector<CItemRecord> parsed;
    for (const char* title : titles)
        parsed.push_back(Item((std::string("http://t.test/") + title + "'s").c_str(), title));
    parsed.back().enclosureLink = "http://t.test/a.mp3";
    parsed.back().enclosureLength = "1,234";
    Parsed("http://t.test/feed?x='y'", parsed, "Talk: A/B*?");
    store.channel.ttl = "'); DROP TABLE item;--";
    store.SaveChannel("default.mdb", false, true, false, false);
    EXPECT_EQ(store.errorCode, CFeedStore::kNoError) << store.errorText.c_str();
    EXPECT_EQ(Count("select title || '|' || ttl from channel"), "Talk AB|0") << "a title names folders";
    EXPECT_EQ(Count("select length from enclosure"), "1");
    Parsed("http://other.test/", {}, "Other");
    store.channel.ttl = "sixty";
    store.SaveChannel("default.mdb", false, true, false, false);
    EXPECT_EQ(Count("select ttl from channel where title = 'Other'"), "0");

    CFeedStore loaded(folder.Folder());
    loaded.LoadChannel("default.mdb", "http://t.test/feed?x='y'");
    ASSERT_EQ(loaded.items.size(), 4u);
    for (size_t i = 0; i < 4; ++i) // in the feed's order, its first item newest
        EXPECT_EQ(S(loaded.items[i].link), std::string("http://t.test/") + titles[i] + "'s");
    EXPECT_EQ(S(loaded.items[3].title), titles[3]);
    EXPECT_EQ(S(loaded.items[3].enclosureLink), "http://t.test/a.mp3");
}

TEST_F(FeedStoreSaveTest, EpisodesSharingALinkAreToldApartAndSurviveThePurge)
{
    Parsed("http://cast.test/feed", {Item("http://cast.test/show", "Monday", "http://cast.test/mon.mp3")});
    store.SaveChannel("default.mdb", false, true, false, false);
    Parsed("http://cast.test/feed", {Item("http://cast.test/show", "Monday", "http://cast.test/mon.mp3"),
                                     Item("http://cast.test/show", "Tuesday", "http://cast.test/tue.mp3")});
    store.SaveChannel("default.mdb", false, false, false, false);
    EXPECT_EQ(store.newTitles, (std::list<uString>{"Tuesday"}));
    EXPECT_EQ(Count("select link from item where title = 'Tuesday'"), "http://cast.test/tue.mp3");
    EXPECT_EQ(S(store.items[1].link), "http://cast.test/tue.mp3") << "the purge keeps by the changed link";

    EXPECT_TRUE(store.PurgeItems("http://cast.test/feed", "default.mdb", false));
    EXPECT_EQ(Count("select count(*) from item"), "2");
    EXPECT_EQ(store.items.size(), 2u) << "the store ends with the channel as stored";
}

TEST_F(FeedStoreSaveTest, KeptItemsOfAChannelWithBothFlagsSurviveThePurge)
{
    Parsed("http://both.test/feed",
           {Item("http://127.0.0.1:9/old", "Old"), Item("http://127.0.0.1:9/new", "New")});
    store.SaveChannel("default.mdb", false, true, /*autoArchive=*/true, /*autoDownload=*/true);
    EXPECT_EQ(Count("select min(attributes) || max(attributes) from item"), "11") << "only the kept bit";
    EXPECT_TRUE(store.items[0].kept);

    Parsed("http://both.test/feed", {Item("http://127.0.0.1:9/new", "New")});
    store.SaveChannel("default.mdb", false, false, false, false);
    store.PurgeItems("http://both.test/feed", "default.mdb", false);
    EXPECT_EQ(Count("select count(*) from item"), "2");
}

TEST_F(FeedStoreSaveTest, MissingMediaIsQueuedAgainAndStreamsNever)
{
    const std::string library = Library();
    std::filesystem::create_directories(library + "/My Music/Show");
    const std::vector<CItemRecord> media = {
        Item("http://q.test/1", "One", "http://q.test/1.mp3"),
        Item("http://q.test/2", "Two", "http://q.test/2.mp4", "video/mp4")};
    Parsed("http://q.test/feed", media);
    store.items.push_back(
        Item("http://q.test/3", "Live", "http://q.test/live.swf", "application/x-shockwave-flash"));
    store.SaveChannel("default.mdb", false, true, false, /*autoDownload=*/true);
    auto queued = queue.snapshot();
    ASSERT_EQ(queued.size(), 2u);
    EXPECT_EQ(queued[0].media, 1);
    EXPECT_EQ(queued[1].media, 2);
    EXPECT_EQ(S(queued[0].label + "|" + queued[0].feed + "|" + queued[0].item),
              "Show|http://q.test/feed|http://q.test/1");
    EXPECT_EQ(queued[0].length, 1000);

    // One downloaded and still there, one downloaded and deleted since.
    std::ofstream(library + "/My Music/Show/1.mp3") << "mp3";
    store.SetEnclosureFile("http://q.test/1", "My Music/Show/1.mp3", 3, nullptr);
    store.SetEnclosureFile("http://q.test/2", "My Movie/Show/2.mp4", 3, nullptr);
    queue.queued.clear();
    Parsed("http://q.test/feed", media);
    store.SaveChannel("default.mdb", false, false, false, false);
    queued = queue.snapshot();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(S(queued[0].link), "http://q.test/2.mp4");
    EXPECT_EQ(Count("select localfile from enclosure where link = 'http://q.test/2.mp4'"), "");
    EXPECT_EQ(Count("select localfile from enclosure where link = 'http://q.test/1.mp3'"),
              "My Music/Show/1.mp3");

    // Keeping one item queues its own enclosure only; releasing withdraws it.
    queue.queued.clear();
    store.SetItemKept("http://q.test/2", true);
    EXPECT_EQ(Count("select attributes from item where link = 'http://q.test/2'"), "1");
    ASSERT_EQ(queue.snapshot().size(), 1u);
    EXPECT_EQ(S(queue.snapshot()[0].item), "http://q.test/2");
    store.SetItemKept("http://q.test/2", false);
    EXPECT_EQ(Count("select attributes from item where link = 'http://q.test/2'"), "0");
    EXPECT_TRUE(queue.snapshot().empty());
}

TEST_F(FeedStoreSaveTest, SiteIconsComeOnlyFromRealAnswersAndStayInTheIconsFolder)
{
    LocalHttpServer server;
    const std::string icons = S(Preference().GetIconsDir().getPath());
    // No path after the host: nothing to derive, nothing fetched.
    Parsed(("http://" + server.authority()).c_str(), {});
    store.SaveChannel("default.mdb", false, true, false, false);
    EXPECT_EQ(server.requestCount(), 0u);
    // A missing icon: the error page is not kept.
    Parsed(server.url("/a/feed").c_str(), {});
    store.SaveChannel("default.mdb", false, true, false, false);
    EXPECT_EQ(server.requestsFor("/favicon.ico").size(), 1u);
    EXPECT_TRUE(store.channel.iconLink.isEmpty());
    EXPECT_TRUE(std::filesystem::is_empty(icons));

    // A feed's own icon whose path climbs out: the file still lands in icons/.
    server.setDefaultHandler([](const testsupport::HttpRequest&)
                             { return testsupport::TextResponse(200, "IMG"); });
    Parsed("http://climb.test/feed", {});
    store.channel.iconLink = (server.url("/") + "a.b/../../../x.png/..%2F..%2Fy").c_str();
    store.SaveChannel("default.mdb", false, true, false, false);
    ASSERT_FALSE(store.channel.iconFile.isEmpty());
    EXPECT_EQ(S(store.channel.iconFile).find('/'), std::string::npos);
    EXPECT_TRUE(testsupport::FileExists(icons + "/" + S(store.channel.iconFile)));
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(icons), std::filesystem::directory_iterator()), 1);
}

TEST_F(FeedStoreSaveTest, AskingWhetherALinkIsATorrentLeavesTheListFreeForOtherWriters)
{
    // The server holds its answer to the HEAD request until the test lets it
    // go, or five seconds at most.
    LocalHttpServer server;
    std::mutex lock;
    std::condition_variable changed;
    bool asked = false;
    bool released = false;
    std::atomic<bool> answered{false};
    server.route("/ep1.torrent",
                 [&](const testsupport::HttpRequest&)
                 {
                     std::unique_lock hold(lock);
                     asked = true;
                     changed.notify_all();
                     changed.wait_for(hold, std::chrono::seconds(5), [&] { return released; });
                     answered = true;
                     testsupport::HttpResponse response;
                     response.headerLines.push_back("Content-Type: application/x-bittorrent");
                     return response;
                 });
    const std::string torrent = server.url("/ep1.torrent");
    // An item without a title is never stored, so its link is never asked.
    server.serveContent("/untitled.torrent", "", "application/x-bittorrent");
    Parsed(server.url("/show/feed").c_str(),
           {Item(torrent.c_str(), "One"), Item(server.url("/untitled.torrent").c_str(), "")});
    std::thread saving([&] { store.SaveChannel("default.mdb", false, true, false, false); });
    {
        std::unique_lock hold(lock);
        changed.wait_for(hold, std::chrono::seconds(30), [&] { return asked; });
    }
    if (asked)
    {
        // Another update task stores its channel in the same list meanwhile.
        CFeedStore other(folder.Folder());
        other.channel.link = server.url("/other/feed").c_str();
        other.channel.title = "Other";
        other.items = {Item(server.url("/other/1").c_str(), "Other one")};
        other.SaveChannel("default.mdb", false, true, false, false);
        EXPECT_EQ(other.errorCode, CFeedStore::kNoError) << other.errorText.c_str();
        EXPECT_FALSE(answered) << "the other store waited for the torrent question";
    }
    {
        std::lock_guard hold(lock);
        released = true;
        changed.notify_all();
    }
    saving.join();
    ASSERT_TRUE(asked);
    EXPECT_EQ(store.errorCode, CFeedStore::kNoError) << store.errorText.c_str();
    EXPECT_EQ(Count("select count(*) from channel"), "2");
    EXPECT_EQ(Count(("select type from enclosure where link = '" + torrent + "'").c_str()),
              "application/x-bittorrent");
    EXPECT_EQ(server.requestsFor("/ep1.torrent").size(), 1u);
    EXPECT_TRUE(server.requestsFor("/untitled.torrent").empty());
}

TEST_F(FeedStoreSaveTest, TheAggregatorRuleRunsOnTheAddressesOfTheSettingsFile)
{
    // Set, saved into config.xml and read back as at the next start.
    CPreference::GeneralSection general = Preference().GetGeneralSection();
    general.strAggregatorPrefix = "http://agg.test/r?";
    general.strAggregatorDroppedHost = "dropped.test";
    Preference().SetGeneralSection(general);
    CPreference::Release();
    const std::string xml = testsupport::ReadFileBytes(config.data("config.xml"));
    EXPECT_NE(xml.find("strAggregatorPrefix=\"http://agg.test/r?\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("strAggregatorDroppedHost=\"dropped.test\""), std::string::npos) << xml;

    LocalHttpServer server; // the channel's site, for its icon
    const std::string feed = server.url("/agg/rss");
    Parsed(feed.c_str(), {Item("http://agg.test/r?id=1&url=http://story.test/1&x=1", "Story"),
                          Item("http://agg.test/r?id=2&url=http://dropped.test/2", "Gone")});
    store.SaveChannel("default.mdb", false, true, false, false);
    EXPECT_EQ(store.errorCode, CFeedStore::kNoError) << store.errorText.c_str();
    EXPECT_EQ(Count("select group_concat(title) from item"), "Story")
        << "the dropped site's item is not stored";

    // Republished under a new redirect: the stored item takes its link and text.
    const char* republished = "http://agg.test/r?id=9&url=http://story.test/1&x=2";
    std::vector<CItemRecord> again = {Item(republished, "Story")};
    again[0].description = "new";
    Parsed(feed.c_str(), again);
    store.SaveChannel("default.mdb", false, false, false, false);
    EXPECT_EQ(store.errorCode, CFeedStore::kNoError) << store.errorText.c_str();
    EXPECT_TRUE(store.newTitles.empty());
    EXPECT_EQ(Count("select count(*) from item"), "1");
    EXPECT_EQ(Count("select link || ' ' || description from item"), std::string(republished) + " new");

    // Empty addresses turn the rule off: the next republication is an item of its own.
    general = Preference().GetGeneralSection();
    general.strAggregatorPrefix = "";
    Preference().SetGeneralSection(general);
    Parsed(feed.c_str(), {Item("http://agg.test/r?id=10&url=http://story.test/1&x=3", "Story")});
    store.SaveChannel("default.mdb", false, false, false, false);
    EXPECT_EQ(Count("select count(*) from item"), "2");
}

TEST_F(FeedStoreSaveTest, ChannelsOfOneSiteStoredAtOnceFetchItsIconOnce)
{
    LocalHttpServer server;
    server.route("/favicon.ico",
                 [](const testsupport::HttpRequest&)
                 {
                     std::this_thread::sleep_for(std::chrono::milliseconds(500));
                     return testsupport::TextResponse(200, "ICON");
                 });
    std::vector<std::thread> tasks;
    std::vector<std::unique_ptr<CFeedStore>> stores;
    for (int i = 0; i < 4; ++i)
    {
        stores.push_back(std::make_unique<CFeedStore>(folder.Folder()));
        CFeedStore& other = *stores.back();
        other.channel.link = server.url("/feed/" + std::to_string(i)).c_str();
        other.channel.title = "Site";
        other.items = {Item(server.url("/item/" + std::to_string(i)).c_str(), "One")};
    }
    for (auto& other : stores)
        tasks.emplace_back([&other] { other->SaveChannel("default.mdb", false, true, false, false); });
    for (std::thread& task : tasks)
        task.join();
    EXPECT_EQ(server.requestsFor("/favicon.ico").size(), 1u);
    EXPECT_EQ(Count("select count(*) from channel where icon"), "4");
    EXPECT_EQ(testsupport::ReadFileBytes(S(Preference().GetIconsDir().getPath()) + "/" +
                                         Count("select min(localfile) from icon")),
              "ICON");
}

// An auto-archive channel whose title is longer than a file system takes in
// one name (255 bytes) still gets its offline copies; a folder made under a
// whole title before titles were cut keeps serving its channel; an archive
// folder that cannot be made is reported.
TEST_F(FeedStoreSaveTest, OfflineCopiesOfChannelsWithLongTitlesAreWritten)
{
    LocalHttpServer server;
    server.setDefaultHandler([](const testsupport::HttpRequest&)
                             { return testsupport::TextResponse(200, "<html><body>Story</body></html>"); });
    const uFile archive = Preference().GetArchiveDir();
    auto keptPage = [&](const std::string& title, const std::string& link)
    {
        Parsed(server.url("/feed/" + std::to_string(title.size())).c_str(), {Item(link.c_str(), "One")},
               title.c_str());
        store.SaveChannel("default.mdb", false, true, /*autoArchive=*/true, /*autoDownload=*/false);
        EXPECT_TRUE(CPageSaveTask::WaitAll(30000));
        return feeds::ArchivePageFile(archive, uString(title.c_str()), uString(link.c_str()));
    };
    auto cjk = [](int characters)
    {
        std::string text;
        for (int i = 0; i < characters; ++i)
            text += "\xE6\x97\xA5";
        return text;
    };

    const std::string longTitle = cjk(100); // 300 bytes
    const uFile page = keptPage(longTitle, server.url("/story/1"));
    EXPECT_EQ(store.errorCode, CFeedStore::kNoError) << store.errorText.c_str();
    EXPECT_NE(testsupport::ReadFileBytes(S(page.getPath())).find("Story"), std::string::npos)
        << S(page.getPath());
    EXPECT_EQ(uString(uFile(S(page.getPath()).substr(0, S(page.getPath()).rfind('/')).c_str()).getFileName()),
              SafeFileName(uString(longTitle.c_str())));

    // 228 bytes: a name the file system took, made before the cut.
    const std::string earlierTitle = cjk(76);
    const std::string earlierFolder = S(archive.getPath()) + "/" + earlierTitle;
    std::filesystem::create_directories(earlierFolder);
    const uFile earlierPage = keptPage(earlierTitle, server.url("/story/2"));
    EXPECT_EQ(S(earlierPage.getPath()).rfind(earlierFolder + "/", 0), 0u) << S(earlierPage.getPath());
    EXPECT_TRUE(earlierPage.isFile());

    // The archive is a file: no folder for the channel, and the save says so.
    const std::string blocked = S(archive.getPath()) + "/Blocked";
    std::ofstream(blocked) << "not a folder";
    keptPage("Blocked", server.url("/story/3"));
    EXPECT_EQ(store.errorCode, CFeedStore::kPageNotSaved);
    EXPECT_NE(std::string(store.errorText.c_str()).find(server.url("/story/3")), std::string::npos)
        << store.errorText.c_str();
    EXPECT_TRUE(server.requestsFor("/story/3").empty());
}

} // namespace
