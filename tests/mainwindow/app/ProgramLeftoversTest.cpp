// The real program started over a data folder that a killed run left behind:
// the browser pane's hand-off copies and the temporary files of interrupted
// saves go, the files those saves were replacing stay as they were.
#include "FrameFixture.h"
#include "RealProgram.h"
#include "downloads/MediaPlayer.h"
#include "support/ChildProcess.h"
#include "support/KilledSave.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <thread>
#include <vector>

namespace
{
namespace fs = std::filesystem;

class ProgramLeftoversTest : public FrameFixture
{
protected:
    ProgramLeftoversTest()
    {
        fs::create_directories(m_runtime);
        fs::permissions(m_runtime, fs::perms::owner_all);
        fs::create_directories(Data("temp"));
        fs::create_directories(Data("library"));
    }
    std::string Data(const std::string& name) const { return m_home.file("Documents/Kestrova/" + name); }
    void Write(const std::string& name, const std::string& content) const
    {
        std::ofstream(Data(name), std::ios::binary) << content;
    }

    std::string m_runtime = m_home.file("run");
    testsupport::ScopedEnv m_runtimeEnv{"XDG_RUNTIME_DIR", m_runtime};
};

std::string AuthFile(int sites)
{
    std::string xml = "<?xml version=\"1.0\" standalone=\"yes\"?>\n<Auth>\n";
    for (int n = 0; n < sites; ++n)
        xml += "  <entry url=\"https://site" + std::to_string(n) +
               ".example/\" user=\"reader\" auth=\"c2VjcmV0\" crypto-type=\"base64\"/>\n";
    return xml + "</Auth>\n";
}
} // namespace

TEST_F(ProgramLeftoversTest, WhatAKilledRunLeftGoesAtStartAndTheRealFilesStay)
{
    const std::vector<std::string> leftovers = {
        "temp/page-Ab12Cd.torrent",  "temp/page-x9Y8z7.rss",
        "temp/page-QQ11ww.opml",     ".config.xml.kestrova-a1B2c3",
        ".auth.xml.kestrova-Zz9Yy8", "subscription/.config.xml.kestrova-k2L3m4",
        "subscription/download.tmp", "library/.Kestrova.m3u.kestrova-Pq7Rs8",
        "temp/page-Ab12Cd.torrent.wkdownload"};
    // The files the interrupted saves were replacing.
    const std::map<std::string, std::string> kept = {
        {"config.xml", "<?xml version=\"1.0\"?><Preference><general nStartupMode=\"0\"/></Preference>\n"},
        {"auth.xml", AuthFile(1)},
        {"subscription/config.xml", "<?xml version=\"1.0\"?>\n<Kestrova/>\n"},
        {"library/Kestrova.m3u", "#EXTM3U\r\n"}};
    for (const std::string& name : leftovers)
        Write(name, name.rfind(".auth.xml", 0) == 0 ? AuthFile(300) : "a part of a file");
    for (const auto& [name, content] : kept)
        Write(name, content);

    // A save into a folder of the user's, cut short: its file and the
    // engine's part of it go by the note in the temp folder, the file it
    // would have replaced stays.
    const std::string saving = m_home.file("Downloads/.kestrova-save-Xy12Zw");
    fs::create_directories(m_home.file("Downloads"));
    std::ofstream(m_home.file("Downloads/report.pdf")) << "the user's report";
    for (const std::string& path : {saving, saving + ".wkdownload"})
        std::ofstream(path) << "a part of a file";
    Write("temp/page-Sv12Nt.save", saving);

    auto program = realprogram::StartKestrova(m_home.file("kestrova.log"), m_runtime);
    ASSERT_TRUE(realprogram::WaitUntilListening(*program)) << program->log();
    auto anyLeft = [&]
    {
        for (const std::string& name : leftovers)
            if (fs::exists(Data(name)))
                return true;
        return fs::exists(saving) || fs::exists(saving + ".wkdownload") ||
               fs::exists(Data("temp/page-Sv12Nt.save"));
    };
    for (int i = 0; i < 300 && anyLeft(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100)); // another process: polled
    for (const std::string& name : leftovers)
        EXPECT_FALSE(fs::exists(Data(name))) << name;
    for (const auto& [name, content] : kept)
        EXPECT_EQ(testsupport::ReadFileBytes(Data(name)), content) << name;
    EXPECT_FALSE(fs::exists(saving));
    EXPECT_FALSE(fs::exists(saving + ".wkdownload"));
    EXPECT_FALSE(fs::exists(Data("temp/page-Sv12Nt.save")));
    EXPECT_EQ(testsupport::ReadFileBytes(m_home.file("Downloads/report.pdf")), "the user's report");

    program->signal(SIGTERM);
    EXPECT_EQ(program->waitForExit(60000), 0) << program->log();
}

// Copies the user made of the program's files, named as a user names them,
// stay byte for byte across a start and a close of the real program, in the
// data folder and in the user's own podcast folder; what a playlist save
// killed inside its write left there goes.
TEST_F(ProgramLeftoversTest, TheUsersCopiesStayAndAKilledSavesLeftoverGoes)
{
    const std::string music = m_home.file("Music");
    fs::create_directories(music);
    Write("config.xml", "<?xml version=\"1.0\"?><Preference><general nStartupMode=\"0\"/><podcast "
                        "strPodcastDirectory=\"" +
                            music + "\"/></Preference>\n");
    std::map<std::string, std::string> copies;
    for (const std::string name :
         {"config.xml.backup", "auth.xml.backup", "auth.xml.saved1", "subscription/config.xml.backup",
          "subscription/directory.xml.backup", "library/Kestrova.m3u.backup"})
        copies[Data(name)] = "<mine>" + name + "</mine>\r\n";
    copies[music + "/Kestrova.m3u.backup"] = "#EXTM3U\r\n/home/me/song.mp3\r\n";
    for (const auto& [path, content] : copies)
        std::ofstream(path, std::ios::binary) << content;

    CM3UPlayer player;
    for (int n = 0; n < 100; ++n)
        player.AddFile(uString((music + "/episode " + std::to_string(n) + ".mp3").c_str()));
    ASSERT_TRUE(testsupport::RunKilledInsideWrite(
        [&] { player.Save(uFile((music + "/" + CM3UPlayer::kPlaylistName).c_str())); }, 256));
    auto leftoversIn = [&]
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(music))
            if (entry.is_regular_file() && copies.count(entry.path().string()) == 0)
                names.push_back(entry.path().filename().string());
        return names;
    };
    ASSERT_EQ(leftoversIn().size(), 1u);

    auto program = realprogram::StartKestrova(m_home.file("kestrova.log"), m_runtime);
    ASSERT_TRUE(realprogram::WaitUntilListening(*program)) << program->log();
    for (int i = 0; i < 300 && !leftoversIn().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100)); // another process: polled
    EXPECT_EQ(leftoversIn(), std::vector<std::string>{});

    program->signal(SIGTERM);
    EXPECT_EQ(program->waitForExit(60000), 0) << program->log();
    for (const auto& [path, content] : copies)
        EXPECT_EQ(testsupport::ReadFileBytes(path), content) << path;
}
