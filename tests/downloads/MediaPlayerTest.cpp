#include "downloads/MediaPlayer.h"

#include "feeds/LibraryFiles.h"
#include "support/KilledSave.h"
#include "support/TempDir.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

using testsupport::ReadFileBytes;
using testsupport::TempDir;

TEST(MediaPlayerTest, M3uPlaylistHoldsEachPathOnceInUtf8WithCrLfLines)
{
    TempDir dir;
    const std::string music = dir.path() + "/library/My Music/Radio Été/";
    CM3UPlayer player;
    player.AddFile(uString((music + "a.mp3").c_str()));
    player.AddFile(uString((music + "b.mp3").c_str()));
    player.AddFile(uString((music + "a.mp3").c_str())); // the same bytes: dropped
    player.AddFile(uString((music + "A.mp3").c_str())); // differs in case: a second entry
    player.RemoveFile(uString((music + "b.mp3").c_str()));

    uFile target(dir.file("Kestrova.m3u").c_str());
    ASSERT_TRUE(player.Save(target));
    EXPECT_EQ(ReadFileBytes(dir.file("Kestrova.m3u")),
              "#EXTM3U\r\n" + music + "a.mp3\r\n" + music + "A.mp3\r\n");

    // An empty playlist is the header line alone, and replaces the old file
    // whole rather than being appended to it.
    CM3UPlayer empty;
    ASSERT_TRUE(empty.Save(target));
    EXPECT_EQ(ReadFileBytes(dir.file("Kestrova.m3u")), "#EXTM3U\r\n");
}

TEST(MediaPlayerTest, TitlesWithLineBreaksNeverSplitAnEntry)
{
    TempDir dir;
    // A channel title that tries to add its own playlist lines becomes a
    // folder name without them.
    const uString title("Radio\r\n#EXTINF:-1,Injected\n/etc/passwd\tx");
    const std::string folder = dir.path() + "/My Music/" + SafeFileName(title).c_str();
    CM3UPlayer player;
    player.AddFile(uString((folder + "/one.mp3").c_str()));
    player.AddFile(uString((folder + "/two.mp3").c_str()));
    // A path that still holds a break (a folder made before names lost them)
    // is left out rather than written as two lines.
    player.AddFile(uString((dir.path() + "/old\n#EXTINF:0,x\r\n/three.mp3").c_str()));

    uFile target(dir.file("Kestrova.m3u").c_str());
    ASSERT_TRUE(player.Save(target));
    const std::string text = ReadFileBytes(dir.file("Kestrova.m3u"));
    EXPECT_EQ(text, "#EXTM3U\r\n" + folder + "/one.mp3\r\n" + folder + "/two.mp3\r\n");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 3);
}

TEST(MediaPlayerTest, AFailedWriteIsReportedAndReplacesNothing)
{
    TempDir dir;
    CM3UPlayer player;
    player.AddFile(uString("/new.mp3"));
    // The library folder is gone: nothing can be written there.
    EXPECT_FALSE(player.Save(uFile(dir.file("missing/Kestrova.m3u").c_str())));
    EXPECT_FALSE(testsupport::FileExists(dir.file("missing")));

    // A folder under the playlist's name is never replaced.
    dir.write("folder/Kestrova.m3u/keep", "x");
    EXPECT_FALSE(player.Save(uFile(dir.file("folder/Kestrova.m3u").c_str())));
    EXPECT_EQ(ReadFileBytes(dir.file("folder/Kestrova.m3u/keep")), "x");
}

// What a save killed half-way left goes; the playlist and every file of
// the user's (the library may be the user's own podcast folder), whatever
// its name, stay byte for byte, as do links.
TEST(MediaPlayerTest, TheLeftoversOfKilledSavesGoAndNothingElse)
{
    TempDir dir;
    const std::vector<std::string> leftovers = {".Kestrova.m3u.kestrova-a1B2c3",
                                                ".Kestrova.m3u.kestrova-ZZ9yy8"};
    const std::vector<std::string> kept = {"Kestrova.m3u",
                                           "Kestrova.m3u.bak",
                                           "Kestrova.m3u.backup",
                                           "Kestrova.m3u.old1",
                                           "Kestrova.m3u.a1B2c3",
                                           "Kestrova.m3u.kestrova-a1B2c3",
                                           ".Kestrova.m3u.backup",
                                           ".Kestrova.m3u.kestrova-a1B2c",
                                           ".Kestrova.m3u.kestrova-a1B2c3d",
                                           ".Kestrova.m3u.kestrova-a1-2c3",
                                           ".kestrova.m3u.kestrova-a1B2c3",
                                           ".Mine.m3u.kestrova-a1B2c3",
                                           ".Kestrova.m3u.kestrova-Fold3r/inner"};
    for (const std::string& name : leftovers)
        dir.write(name, "#EXTM3U\r\n");
    for (const std::string& name : kept)
        dir.write(name, "mine: " + name);
    dir.write("elsewhere.m3u", "linked");
    std::filesystem::create_symlink(dir.file("elsewhere.m3u"), dir.file(".Kestrova.m3u.kestrova-L1nk3d"));

    // And one left by the real save, killed inside its write.
    CM3UPlayer player;
    for (int n = 0; n < 100; ++n)
        player.AddFile(uString((dir.path() + "/My Music/episode " + std::to_string(n) + ".mp3").c_str()));
    const uFile playlist(dir.file("Kestrova.m3u").c_str());
    ASSERT_TRUE(testsupport::RunKilledInsideWrite([&] { player.Save(playlist); }, 512));

    EXPECT_EQ(CM3UPlayer::RemoveSaveLeftovers(uFile(dir.path().c_str())),
              static_cast<int>(leftovers.size()) + 1);
    for (const std::string& name : leftovers)
        EXPECT_FALSE(testsupport::FileExists(dir.file(name))) << name;
    for (const std::string& name : kept)
        EXPECT_EQ(ReadFileBytes(dir.file(name)), "mine: " + name) << name;
    EXPECT_EQ(ReadFileBytes(dir.file(".Kestrova.m3u.kestrova-L1nk3d")), "linked");
}

TEST(MediaPlayerTest, TheFactoryNamesThePlayersAndTheAutomationPlayersStayInert)
{
    auto m3u = CreateMediaPlayer(uString("M3U"));
    ASSERT_NE(dynamic_cast<CM3UPlayer*>(m3u.get()), nullptr);
    EXPECT_STREQ(static_cast<CM3UPlayer*>(m3u.get())->GetName().c_str(), "Kestrova :: Podcast");
    EXPECT_STREQ(static_cast<CM3UPlayer*>(m3u.get())->GetVendor().c_str(), "MPEG Version 3.0 URL");
    EXPECT_FALSE(m3u->Launch());
    EXPECT_EQ(CreateMediaPlayer(uString("winamp")), nullptr);
    EXPECT_EQ(CreateMediaPlayer(uString("")), nullptr);

    TempDir dir;
    for (const char* kind : {"Microsoft", "apple"})
    {
        auto player = CreateMediaPlayer(uString(kind));
        auto* automation = dynamic_cast<CAutomationPlayer*>(player.get());
        ASSERT_NE(automation, nullptr) << kind;
        EXPECT_FALSE(automation->IsConnected());
        EXPECT_STREQ(automation->GetName().c_str(), "Kestrova");
        player->AddFile(uString("/a.mp3"));
        EXPECT_FALSE(player->Contains(uString("/a.mp3")));
        EXPECT_FALSE(player->Launch());
        EXPECT_FALSE(player->Save(uFile(dir.file("x.m3u").c_str())));
        EXPECT_FALSE(testsupport::FileExists(dir.file("x.m3u")));
    }
    EXPECT_NE(dynamic_cast<CWMPPlayer*>(CreateMediaPlayer(uString("MICROSOFT")).get()), nullptr);
    EXPECT_NE(dynamic_cast<CiTunesPlayer*>(CreateMediaPlayer(uString("Apple")).get()), nullptr);
    EXPECT_FALSE(IsITunesInstalled());
}
