#include "downloads/TransferFigures.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace
{
std::string Cell(const CTorrentStatus& status, int column)
{
    return FormatTorrentCell(status, column).c_str();
}
} // namespace

// Each bound takes the shorter form; the single-precision reciprocals keep
// 86400 s at "24h 0m" and one day and an hour at "1d 1h".
TEST(TransferFiguresTest, TimeLeftBoundsAndPrecision)
{
    const std::pair<float, const char*> cases[] = {
        {50.0f, "50.00 s"},  {60.0f, "60.00 s"}, {61.0f, "1m 1s"},     {1000.0f, "16m 40s"},
        {3600.0f, "60m 0s"}, {3601.0f, "1h 0m"}, {86400.0f, "24h 0m"}, {90000.0f, "1d 1h"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_STREQ(FormatTimeLeft(seconds).c_str(), text) << seconds;
    EXPECT_STREQ(FormatTimeLeft(std::nanf("")).c_str(), "");
    // Far past what an int holds: bounded, never undefined.
    EXPECT_STREQ(FormatTimeLeft(std::numeric_limits<float>::infinity()).c_str(), "89478485d 7h");
}

TEST(TransferFiguresTest, TorrentRowCells)
{
    CTorrentStatus status;
    status.displayName = "show.mkv";
    status.total = 1048576;
    status.done = 262144;
    status.downloadRate = 2048;
    status.uploadRate = 512;
    status.uploaded = 1000;
    status.downloaded = 0;
    status.seeds = 3;
    status.peers = 7;
    status.health = 1.5f;
    status.state = CTorrentStatus::kDownloading;
    EXPECT_EQ(Cell(status, 0), "show.mkv");
    EXPECT_EQ(Cell(status, 1), "1.00MB");
    EXPECT_EQ(Cell(status, 2), "25.00");
    EXPECT_EQ(Cell(status, 3), "2.00");
    EXPECT_EQ(Cell(status, 4), "0.50");
    EXPECT_EQ(Cell(status, 5), "6m 23s"); // 786432 / 2049
    EXPECT_EQ(Cell(status, 6), "3/7");
    EXPECT_EQ(Cell(status, 7), "INF"); // uploaded, but nothing downloaded
    EXPECT_EQ(Cell(status, 8), "1.50");
    EXPECT_EQ(Cell(status, 9), "Downloading");
    EXPECT_EQ(Cell(status, 10), "");
    EXPECT_EQ(Cell(status, 11), "");

    status.downloaded = 4000;
    EXPECT_EQ(Cell(status, 7), "0.25");
    // Rate 0 with 1000 bytes left: 1000 s; with 50: the seconds form.
    status.downloadRate = 0;
    status.total = 1050;
    status.done = 50;
    EXPECT_EQ(Cell(status, 5), "16m 40s");
    status.done = 1000;
    EXPECT_EQ(Cell(status, 5), "50.00 s");
    // A torrent without metadata has no size yet.
    status.total = status.done = 0;
    EXPECT_EQ(Cell(status, 2), "0.00");
    status.state = 42;
    EXPECT_EQ(Cell(status, 9), "");
}
