// Deleting a torrent's data never reaches beyond one entry of the torrent folder.
#include "downloads/TorrentData.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace
{

using testsupport::FileExists;

TEST(TorrentDataTest, DeletesTheNamedFileFolderOrLinkOnly)
{
    testsupport::TempDir dir;
    dir.write("torrent/song.mp3", "data");
    dir.write("torrent/show/extra/b.txt", "b");
    dir.write("torrent/keep.txt", "keep");
    dir.write("elsewhere/precious.txt", "precious");
    ASSERT_EQ(::symlink(dir.file("elsewhere").c_str(), dir.file("torrent/link").c_str()), 0);
    const uFile folder(dir.file("torrent").c_str());

    for (const char* name : {"song.mp3", "show", "link", "never-there"})
        EXPECT_TRUE(torrent::DeleteTorrentData(folder, uString(name))) << name;
    EXPECT_FALSE(FileExists(dir.file("torrent/song.mp3")));
    EXPECT_FALSE(FileExists(dir.file("torrent/show")));
    EXPECT_TRUE(FileExists(dir.file("torrent/keep.txt")));
    EXPECT_EQ(testsupport::ReadFileBytes(dir.file("elsewhere/precious.txt")), "precious");
}

TEST(TorrentDataTest, RefusesNamesThatAreNoDirectChild)
{
    testsupport::TempDir dir;
    dir.write("torrent/show/a.mp3", "a");
    dir.write("torrent/keep.txt", "keep");
    dir.write("outside.txt", "outside");
    const uFile folder(dir.file("torrent").c_str());

    for (const char* name : {"", ".", "..", "show/a.mp3", "../outside.txt", "/"})
        EXPECT_FALSE(torrent::DeleteTorrentData(folder, uString(name))) << name;
    // A NUL would cut the path short at the system call.
    uString cut("keep.txt");
    cut.append('\0').append('x');
    EXPECT_FALSE(torrent::DeleteTorrentData(folder, cut));
    EXPECT_FALSE(torrent::DeleteTorrentData(uFile(), uString("show")));
    EXPECT_TRUE(FileExists(dir.file("torrent/show/a.mp3")));
    EXPECT_TRUE(FileExists(dir.file("torrent/keep.txt")));
    EXPECT_TRUE(FileExists(dir.file("outside.txt")));
}

} // namespace
