#include "StoredChannelFixture.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace
{

using namespace storedchannel;
using liststore::Execute;
using liststore::InsertChannel;
using liststore::InsertEnclosure;
using liststore::InsertImageAndIcon;
using liststore::InsertItem;

using FeedStoreLoadTest = StoredChannel;

TEST_F(FeedStoreLoadTest, LoadsTheChannelWithItsVisibleItemsNewestFirst)
{
    InsertChannel(store, "http://l.test/it's", "Loaded", 30, 3);
    InsertImageAndIcon(store, "http://l.test/it's");
    InsertItem(store, "http://l.test/it's", "http://l.test/1", "First");
    InsertItem(store, "http://l.test/it's", "http://l.test/2", "Hidden", -1);
    InsertItem(store, "http://l.test/it's", "http://l.test/3", "Kept", 1);
    InsertItem(store, "http://l.test/other", "http://l.test/4", "Elsewhere");
    InsertEnclosure(store, "http://l.test/1", "http://l.test/1a.mp3", "audio/mpeg");
    InsertEnclosure(store, "http://l.test/1", "http://l.test/1b.mp3", "audio/x-mpeg");

    CFeedStore loaded(folder.Folder());
    loaded.LoadChannel("default.mdb", "http://l.test/it's");
    EXPECT_EQ(loaded.errorCode, CFeedStore::kNoError) << loaded.errorText.c_str();
    EXPECT_EQ(S(loaded.channel.title + "|" + loaded.channel.ttl + "|" + loaded.channel.managingEditor),
              "Loaded|30|3")
        << "the attributes come back in managingEditor";
    EXPECT_EQ(S(loaded.channel.imageUrl), "http://site.test/logo.png");
    EXPECT_EQ(S(loaded.channel.iconFile), "0a1b.ico");
    ASSERT_EQ(loaded.items.size(), 2u);
    EXPECT_EQ(S(loaded.items[0].title), "Kept");
    EXPECT_TRUE(loaded.items[0].kept);
    EXPECT_EQ(S(loaded.items[1].title), "First");
    EXPECT_FALSE(loaded.items[1].kept);
    EXPECT_EQ(S(loaded.items[1].enclosureLink), "http://l.test/1b.mp3") << "the last enclosure row";
    EXPECT_TRUE(shown().empty());

    // A channel without image or icon rows has none of those fields.
    InsertChannel(store, "http://plain.test/", "Plain", 0, 0);
    CFeedStore plain(folder.Folder());
    plain.channel.imageUrl = "stale";
    plain.LoadChannel("default.mdb", "http://plain.test/");
    EXPECT_TRUE(plain.channel.imageUrl.isEmpty());
    EXPECT_TRUE(plain.channel.iconLink.isEmpty());
}

TEST_F(FeedStoreLoadTest, ChannelListIsInTitleOrderWithUnreadCounts)
{
    InsertChannel(store, "http://b.test/", "beta", 0, 0);
    InsertChannel(store, "http://a.test/", "Alpha", 0, 0);
    InsertItem(store, "http://b.test/", "http://b.test/1", "x");
    InsertItem(store, "http://b.test/", "http://b.test/2", "y");
    InsertItem(store, "http://a.test/", "http://a.test/1", "z");
    Execute(store, "update item set readstatus = 1 where link = 'http://a.test/1'");

    std::vector<uString> titles;
    std::vector<uString> feeds;
    CFeedStore list(folder.Folder());
    list.ListFeedsWithCounts("default.mdb", titles, feeds);
    EXPECT_EQ(titles, (std::vector<uString>{"Alpha", "beta (2)"}));
    EXPECT_EQ(feeds, (std::vector<uString>{"http://a.test/", "http://b.test/"}));

    // A channel not named yet goes by its address, count and all.
    InsertChannel(store, "http://untitled.test/", "", 0, 0);
    InsertItem(store, "http://untitled.test/", "http://untitled.test/1", "u");
    titles.clear();
    feeds.clear();
    list.ListFeedsWithCounts("default.mdb", titles, feeds);
    ASSERT_EQ(feeds.size(), 3u);
    EXPECT_EQ(S(feeds[0]), "http://untitled.test/") << "an empty title sorts first";
    EXPECT_EQ(S(titles[0]), "http://untitled.test/ (1)");
}

TEST_F(FeedStoreLoadTest, PurgeSparesKeptAndCurrentItemsAndHonoursTheAge)
{
    const char* feed = "http://p.test/feed";
    InsertChannel(store, feed, "Purged", 0, 0);
    InsertItem(store, feed, "http://p.test/gone-old", "a");
    InsertItem(store, feed, "http://p.test/gone-new", "b");
    InsertItem(store, feed, "http://p.test/kept", "c", 1);
    InsertItem(store, feed, "http://p.test/current", "d");
    InsertItem(store, feed, "http://p.test/deleted-old", "e", -1);
    InsertItem(store, "http://p.test/other", "http://p.test/other-item", "f");
    Execute(store,
            "update item set createdate = date('now', 'localtime', '-30 days') where link like '%-old'");
    Execute(store,
            "update item set createdate = date('now', 'localtime', '-30 days') where link like '%kept'");

    // Nothing parsed: nothing purged.
    store.Reset();
    EXPECT_TRUE(store.PurgeItems(feed, "default.mdb", false));
    EXPECT_EQ(Count("select count(*) from item"), "6");

    auto purge = [this, feed]
    {
        Parsed(feed, {Item("http://p.test/current", "d")});
        EXPECT_TRUE(store.PurgeItems(feed, "default.mdb", false));
        return Count("select group_concat(title, '') from (select title from item order by title)");
    };
    PurgeOlderThan(7);
    EXPECT_EQ(purge(), "bcdf") << "old and absent items go, deleted ones too";
    PurgeOlderThan(0);
    EXPECT_EQ(purge(), "cdf");
    EXPECT_EQ(S(store.channel.title), "Purged") << "the store holds the channel as stored";
    ASSERT_EQ(store.items.size(), 2u);
}

TEST_F(FeedStoreLoadTest, PurgedMediaIsDeletedOnlyInsideTheLibrary)
{
    namespace fs = std::filesystem;
    const std::string library = Library();
    fs::create_directories(library + "/My Music/Show");
    std::ofstream(library + "/My Music/Show/a.mp3") << "a";
    fs::create_directories(library + "/My Download/Show/torrent-folder");
    std::ofstream(library + "/My Download/Show/torrent-folder/part") << "t";
    const std::string outside = config.dataDir() + "/outside.mp3";
    std::ofstream(outside) << "keep";
    fs::create_symlink(outside, library + "/My Music/Show/link.mp3");

    const char* feed = "http://m.test/feed";
    InsertChannel(store, feed, "Show", 0, 0);
    const struct
    {
        const char* item;
        const char* localFile;
    } media[] = {{"http://m.test/a", "My Music/Show/a.mp3"},
                 {"http://m.test/t", "My Download/Show/torrent-folder"},
                 {"http://m.test/escape", "../outside.mp3"},
                 {"http://m.test/link", "My Music/Show/link.mp3"},
                 {"http://m.test/queued", ""}};
    int n = 0;
    for (const auto& entry : media)
    {
        InsertItem(store, feed, entry.item, "x");
        uString link;
        link.format("http://m.test/%d.mp3", n++);
        InsertEnclosure(store, entry.item, link, "audio/mpeg");
        if (*entry.localFile)
            store.SetEnclosureFile(entry.item, entry.localFile, 1, nullptr);
    }
    Parsed(feed, {Item("http://m.test/other", "still there")});
    EXPECT_TRUE(store.PurgeItems(feed, "default.mdb", false));

    EXPECT_EQ(Count("select count(*) from item"), "0");
    EXPECT_EQ(Count("select count(*) from enclosure"), "0");
    EXPECT_FALSE(fs::exists(library + "/My Music/Show/a.mp3"));
    EXPECT_FALSE(fs::exists(library + "/My Download/Show/torrent-folder"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(library + "/My Music/Show/link.mp3")));
    EXPECT_EQ(testsupport::ReadFileBytes(outside), "keep") << "neither a '..' nor a link leaves the library";
    EXPECT_EQ(queue.removedPaths.size(), 3u);
}

TEST_F(FeedStoreLoadTest, DeletingOneItemKeepsMediaThatAnotherItemStillNames)
{
    namespace fs = std::filesystem;
    const std::string library = Library();
    fs::create_directories(library + "/My Music/Show");
    std::ofstream(library + "/My Music/Show/shared.mp3") << "s";
    const char* feed = "http://d.test/feed";
    InsertChannel(store, feed, "Show", 0, 0);
    // One episode filed for two items of this list and for an item of another list.
    for (const char* item : {"http://d.test/a", "http://d.test/b"})
    {
        InsertItem(store, feed, item, "x");
        InsertEnclosure(store, item, uString(item) + ".mp3", "audio/mpeg");
        store.SetEnclosureFile(item, "My Music/Show/shared.mp3", 1, nullptr);
    }
    folder.AddList("user1.mdb");
    CFeedStore other(folder.Folder());
    other.SetDatabase("user1.mdb");
    InsertItem(other, feed, "http://d.test/c", "x");
    InsertEnclosure(other, "http://d.test/c", "http://d.test/shared.mp3", "audio/mpeg");
    other.SetEnclosureFile("http://d.test/c", "My Music/Show/shared.mp3", 1, nullptr);

    uString error;
    uint16_t code = 1;
    store.DeleteItemEnclosures("http://d.test/a", error, &code);
    store.MarkItemDeleted("http://d.test/a", error, &code);
    EXPECT_EQ(code, CFeedStore::kNoError) << error.c_str();
    EXPECT_EQ(Count("select group_concat(feed) from enclosure"), "http://d.test/b")
        << "only that item's rows go";
    CFeedStore loaded(folder.Folder());
    loaded.LoadChannel("default.mdb", feed);
    ASSERT_EQ(loaded.items.size(), 1u) << "only that item is hidden";
    EXPECT_EQ(S(loaded.items[0].link), "http://d.test/b");

    // The purge holds to the same rule: b goes, the file stays for the other list's item.
    Parsed(feed, {Item("http://d.test/new", "new")});
    EXPECT_TRUE(store.PurgeItems(feed, "default.mdb", false));
    EXPECT_TRUE(fs::exists(library + "/My Music/Show/shared.mp3"));

    // The last item that names it takes the file along.
    other.DeleteItemEnclosures("http://d.test/c", error, &code);
    EXPECT_FALSE(fs::exists(library + "/My Music/Show/shared.mp3"));
}

TEST_F(FeedStoreLoadTest, EnclosureFilesOfSeveralListsWithoutAdjacentDuplicates)
{
    const std::string subscription = S(Preference().GetSubscriptionDir().getPath());
    CFeedStore lists(subscription.c_str());
    for (const char* list : {"a.mdb", "b.mdb"})
    {
        std::filesystem::copy_file(liststore::TemplatePath(), subscription + "/" + list);
        lists.SetDatabase(list);
        const uString item = uString("http://f.test/") + list;
        InsertItem(lists, "http://f.test/", item, "x");
        InsertEnclosure(lists, item, item + ".mp3", "audio/mpeg");
        lists.SetEnclosureFile(item, "My Music/F/1.mp3", 1, nullptr);
        InsertItem(lists, "http://f.test/", item + "/2", "not downloaded");
        InsertEnclosure(lists, item + "/2", item + "/2.mp3", "audio/mpeg");
    }
    std::list<uString> files;
    EXPECT_TRUE(FindEnclosureFiles({"a.mdb", "b.mdb", "a.mdb"}, files));
    EXPECT_EQ(files, (std::list<uString>{"My Music/F/1.mp3"}));
}

} // namespace
