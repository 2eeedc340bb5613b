#include "feeds/FeedImport.h"

#include "ListDatabaseFixture.h"

#include <gtest/gtest.h>

using namespace liststore;

namespace
{
TEST(FeedImportTest, StoresNamedFeedsOnceAndLeavesThemDue)
{
    ListFolder folder;
    CFeedStore store(folder.Folder());
    std::vector<feeds::ImportedFeed> feeds;
    for (int i = 0; i < 450; ++i)
        feeds.push_back({U(("http://127.0.0.1:1/feed" + std::to_string(i)).c_str()), U("Feed: \"Zoë\" & co"),
                         U("About")});
    feeds.push_back(feeds.front()); // named twice in the file

    feeds::ImportCounts counts;
    std::vector<std::size_t> steps;
    ASSERT_TRUE(feeds::AddFeedsUnfetched(store, U("default.mdb"), feeds, counts,
                                         [&](std::size_t done) { steps.push_back(done); }));
    EXPECT_EQ(counts.added, 450u);
    EXPECT_EQ(counts.known, 1u);
    EXPECT_EQ(steps.back(), feeds.size());
    EXPECT_GT(steps.size(), 1u); // progress comes in steps, not only at the end
    EXPECT_EQ(Scalar(store, U("select count(*) from channel")), "450");
    EXPECT_TRUE(store.IsUpdateDue(U("http://127.0.0.1:1/feed7"), nullptr));
    store.LoadChannel(U("default.mdb"), U("http://127.0.0.1:1/feed7"));
    EXPECT_EQ(S(store.channel.description), "About");

    // A second import adds nothing.
    feeds::ImportCounts again;
    ASSERT_TRUE(feeds::AddFeedsUnfetched(store, U("default.mdb"), feeds, again));
    EXPECT_EQ(again.added, 0u);
    EXPECT_EQ(again.known, feeds.size());
    feeds::ImportCounts missing;
    EXPECT_FALSE(feeds::AddFeedsUnfetched(store, U("missing.mdb"), feeds, missing));
}

// A cancel stores nothing, also of the batches written before it: the list
// is as it was.
TEST(FeedImportTest, AStopAfterTheFirstBatchStoresNothing)
{
    ListFolder folder;
    CFeedStore store(folder.Folder());
    std::vector<feeds::ImportedFeed> feeds;
    for (int i = 0; i < 450; ++i)
        feeds.push_back({U(("http://127.0.0.1:1/feed" + std::to_string(i)).c_str()), U(""), U("")});
    std::atomic<bool> stop{false};
    feeds::ImportCounts counts;
    std::size_t batches = 0;
    EXPECT_FALSE(feeds::AddFeedsUnfetched(
        store, U("default.mdb"), feeds, counts,
        [&](std::size_t)
        {
            ++batches;
            stop = true;
        },
        &stop));
    EXPECT_EQ(batches, 1u);
    EXPECT_EQ(counts.added, 0u);
    EXPECT_EQ(Scalar(store, U("select count(*) from channel")), "0");

    // Afterwards the list takes an import as usual, untitled feeds with an empty title.
    stop = false;
    ASSERT_TRUE(feeds::AddFeedsUnfetched(store, U("default.mdb"), feeds, counts, {}, &stop));
    EXPECT_EQ(counts.added, 450u);
    EXPECT_EQ(Scalar(store, U("select count(*) from channel where title = ''")), "450");
}
} // namespace
