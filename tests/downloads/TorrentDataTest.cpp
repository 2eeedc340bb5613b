// Deleting a torrent's data never reaches beyond one entry of the torrent folder.
#include "downloads/TorrentData.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace
{

using testsupport::FileExists;

TEST(TorrentDataTest, DeletesTheNamedFileOrFolderOnly)
{
    testsupport::TempDir dir;
    dir.write("torrent/song.mp3", "data");
    dir.write("torrent/show/a.mp3", "a");
    dir.write("torrent/show/extra/b.txt", "b");
    dir.write("torrent/keep.txt", "keep");
    const uFile folder(dir.file("torrent").c_str());

    EXPECT_TRUE(torrent::DeleteTorrentData(folder, uString("song.mp3")));
    EXPECT_FALSE(FileExists(dir.file("torrent/song.mp3")));
    EXPECT_TRUE(torrent::DeleteTorrentData(folder, uString("show")));
    EXPECT_FALSE(FileExists(dir.file("torrent/show")));
    EXPECT_TRUE(torrent::DeleteTorrentData(folder, uString("never-there")));
    EXPECT_TRUE(FileExists(dir.file("torrent/keep.txt")));
}

TEST(TorrentDataTest, RefusesNamesThatAreNoDirectChild)
{
    testsupport::TempDir dir;
    dir.write("torrent/show/a.mp3", "a");
    dir.write("outside.txt", "outside");
    const uFile folder(dir.file("torrent").c_str());

    for (const char* name : {"", ".", "..", "show/a.mp3", "../outside.txt", "/"})
    {
        SCOPED_TRACE(name);
        EXPECT_FALSE(torrent::DeleteTorrentData(folder, uString(name)));
    }
    EXPECT_FALSE(torrent::DeleteTorrentData(uFile(), uString("show")));
    EXPECT_TRUE(FileExists(dir.file("torrent/show/a.mp3")));
    EXPECT_TRUE(FileExists(dir.file("outside.txt")));
}

TEST(TorrentDataTest, RemovesALinkButNotWhatItPointsTo)
{
    testsupport::TempDir dir;
    dir.write("elsewhere/precious.txt", "precious");
    dir.write("torrent/.keep", "");
    ASSERT_EQ(::symlink(dir.file("elsewhere").c_str(), dir.file("torrent/show").c_str()), 0);

    EXPECT_TRUE(torrent::DeleteTorrentData(uFile(dir.file("torrent").c_str()), uString("show")));
    EXPECT_EQ(testsupport::ReadFileBytes(dir.file("elsewhere/precious.txt")), "precious");
}

} // namespace
