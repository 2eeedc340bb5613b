#include "mainwindow/ItemKind.h"

#include "support/TempDir.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

TEST(ItemKind, ClassifiesInOrderAndPicksImageAndMenu)
{
    struct Case
    {
        const char* link;
        const char* type;
        int kind;
        int menu;
    };
    const Case cases[] = {
        {"", "audio/mpeg", itemkind::kPlain, 210},
        {"http://h/a.mp3", "audio/mpeg", itemkind::kAudio, 211},
        {"http://h/v.mp4", "video/mp4", itemkind::kVideo, 211},
        {"http://h/f.swf", "application/x-shockwave-flash", itemkind::kStream, 210},
        {"http://h/x.torrent", "application/octet-stream", itemkind::kTorrent, 211},
        {"http://h/x", "application/x-bittorrent", itemkind::kTorrent, 211},
        {"http://h/x.zip", "application/zip", itemkind::kOtherMedia, 211},
        {"http://h/x.html", "text/html", itemkind::kPlain, 210},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(itemkind::Classify(uString(c.link), uString(c.type)), c.kind) << c.link << " " << c.type;
        EXPECT_EQ(itemkind::MenuFor(c.kind), c.menu) << c.link;
    }

    // kind, kept, read, torrent ready -> image
    EXPECT_EQ(itemkind::ImageFor(itemkind::kPlain, false, false, false), 1);
    EXPECT_EQ(itemkind::ImageFor(itemkind::kPlain, false, true, false), 2);
    EXPECT_EQ(itemkind::ImageFor(itemkind::kPlain, true, false, false), 10);
    EXPECT_EQ(itemkind::ImageFor(itemkind::kPlain, true, true, false), 11);
    EXPECT_EQ(itemkind::ImageFor(itemkind::kAudio, false, true, false), 8);
    EXPECT_EQ(itemkind::ImageFor(itemkind::kAudio, true, false, false), 12);
    EXPECT_EQ(itemkind::ImageFor(itemkind::kStream, true, false, false), 13);
    EXPECT_EQ(itemkind::ImageFor(itemkind::kOtherMedia, true, false, false), 15);
    EXPECT_EQ(itemkind::ImageFor(itemkind::kTorrent, true, false, false), 18);
    EXPECT_EQ(itemkind::ImageFor(itemkind::kTorrent, false, false, true), 19);
}

TEST(ItemKind, ArchiveFileStaysInsideTheArchiveFolder)
{
    uFile archive("/data/My Archive");
    for (const char* title : {"../../x/y", "..", "", "a/b\\c\x01", "."})
    {
        std::string path =
            itemkind::ArchiveFile(archive, uString(title), uString("http://h/1")).getPath().c_str();
        std::string folder = path.substr(std::string("/data/My Archive/").size());
        folder = folder.substr(0, folder.find('/'));
        EXPECT_EQ(path.rfind("/data/My Archive/", 0), 0u) << path;
        EXPECT_NE(folder, "..") << title;
        EXPECT_NE(folder, ".") << title;
        EXPECT_FALSE(folder.empty()) << title;
        EXPECT_EQ(std::count(path.begin(), path.end(), '/'), 4) << path;
    }
    // The page's name is the link's MD5 ("" hashes to d41d8cd9...).
    EXPECT_STREQ(itemkind::ArchiveFile(archive, uString("News"), uString("")).getPath().c_str(),
                 "/data/My Archive/News/d41d8cd98f00b204e9800998ecf8427e.html");
}
