#include "mainwindow/StartupRules.h"

#include "common/Messages.h"

#include <climits>
#include <gtest/gtest.h>

TEST(StartupRules, FilesAreRoutedByTheEndingOfTheirLowerCasedPath)
{
    struct Case
    {
        const char* path;
        std::uint32_t message;
    };
    const Case cases[] = {
        {"/a/NEWS.RSS", WM_APP_OPENRSSFILE},
        {"/a/list.Opml", WM_APP_OPENOPMLFILE},
        {"/a/show.TORRENT", WM_APP_OPENTORRENTFILE},
        {"/a/show.torrent.bak", 0},
        {"/a/news.rss/", 0},
        {"", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(startup::DocumentMessageFor(c.path), c.message) << c.path;
}

TEST(StartupRules, OnlyAFullStoredRectangleIsUsedAndOnlyThenMayTheWindowStartMinimised)
{
    EXPECT_FALSE(startup::PlacementFor(0, 600, 1).useStoredRect);
    EXPECT_FALSE(startup::PlacementFor(0, 600, 1).minimised) << "width 0 shows the window normally";
    EXPECT_FALSE(startup::PlacementFor(800, 0, 1).minimised);
    EXPECT_TRUE(startup::PlacementFor(800, 600, 1).minimised);
    EXPECT_TRUE(startup::PlacementFor(800, 600, 0).useStoredRect);
    EXPECT_FALSE(startup::PlacementFor(800, 600, 0).minimised);
}

TEST(StartupRules, TimerIntervalsNeverReachZeroOrOverflow)
{
    EXPECT_EQ(startup::TimerMilliseconds(0), 1);
    EXPECT_EQ(startup::TimerMilliseconds(std::uint64_t{1} << 40), INT_MAX);
}
