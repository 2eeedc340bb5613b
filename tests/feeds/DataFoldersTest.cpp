#include "feeds/Preference.h"
#include "feeds/support/ConfigHome.h"
#include "support/KilledSave.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace
{

namespace fs = std::filesystem;
using testsupport::ConfigHome;
using testsupport::FileExists;
using testsupport::ModeOf;
using testsupport::ReadFileBytes;

std::string path(const uFile& file)
{
    return file.getPath().c_str();
}

// Every path below the folder, relative to it, sorted and joined by "|".
std::string treeOf(const std::string& folder)
{
    std::set<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        paths.insert(fs::relative(entry.path(), folder).string());
    std::string joined;
    for (const std::string& entry : paths)
        joined += (joined.empty() ? "" : "|") + entry;
    return joined;
}

TEST(DataFoldersTest, FirstStartBuildsAndSeedsTheTree)
{
    ConfigHome config;
    CPreference* preference = CPreference::GetInstance();
    EXPECT_TRUE(preference->GetLastErrorText().isEmpty());
    EXPECT_EQ(path(preference->GetDataDir()), config.dataDir());
    EXPECT_EQ(treeOf(config.dataDir()),
              "cache|icons|library|library/My Archive|library/My Download|library/My "
              "Movie|library/My Music|subscription|subscription/config.xml|"
              "subscription/directory.xml|temp|torrent");
    EXPECT_EQ(ReadFileBytes(config.data("subscription/directory.xml")),
              ReadFileBytes(config.program().file("subscription/directory.xml")));
    EXPECT_EQ(ModeOf(config.data("cache")), 0700u);
    EXPECT_EQ(path(preference->GetDownloadLogFile()), config.data("download.log"));
    EXPECT_FALSE(FileExists(config.data("download.log"))) << "only the path is formed";

    // Folders deleted while running come back when asked for.
    fs::remove_all(config.data("torrent"));
    fs::remove_all(config.data("cache"));
    EXPECT_EQ(path(preference->GetTorrentDir()), config.data("torrent"));
    EXPECT_TRUE(fs::is_directory(config.data("torrent")));
    preference->GetCacheDir();
    EXPECT_EQ(ModeOf(config.data("cache")), 0700u);

    // The next start seeds again what is missing, without overwriting.
    CPreference::Release();
    config.write("Documents/Kestrova/subscription/config.xml", "<Kestrova>mine</Kestrova>");
    fs::remove(config.data("subscription/directory.xml"));
    fs::remove_all(config.data("library/My Movie"));
    CPreference::GetInstance();
    EXPECT_EQ(ReadFileBytes(config.data("subscription/config.xml")), "<Kestrova>mine</Kestrova>");
    EXPECT_TRUE(FileExists(config.data("subscription/directory.xml")));
    EXPECT_TRUE(fs::is_directory(config.data("library/My Movie")));
}

// Folders left open by an earlier run are closed at start; a folder that is
// a link elsewhere is not changed through it.
TEST(DataFoldersTest, LooseDataAndCacheFoldersAreTightened)
{
    ConfigHome config;
    fs::create_directories(config.data("cache"));
    fs::permissions(config.dataDir(), fs::perms(0755));
    fs::permissions(config.data("cache"), fs::perms(0777));
    CPreference::GetInstance();
    EXPECT_EQ(ModeOf(config.dataDir()), 0700u);
    EXPECT_EQ(ModeOf(config.data("cache")), 0700u);
}

// What killed fetches and saves left is removed, each by its exact form;
// downloads in progress (their folders in temp), the user's own files
// whatever their names, temporary names of earlier versions (which no longer
// differ from a user's copy) and links stay.
TEST(DataFoldersTest, LeftoverTemporaryFilesAreRemoved)
{
    ConfigHome config;
    CPreference* preference = CPreference::GetInstance();
    const std::string md5 = "0123456789abcdef0123456789abcdef";
    const std::vector<std::string> leftovers = {"temp/" + md5,
                                                "temp/" + md5 + ".2",
                                                "temp/." + md5 + ".kestrova-Ab3dE9",
                                                "temp/." + md5 + ".2.kestrova-Ab3dE9",
                                                ".auth.xml.kestrova-x1Y2z3",
                                                ".config.xml.kestrova-QwErTy",
                                                "subscription/.config.xml.kestrova-a1b2c3",
                                                "subscription/.directory.xml.kestrova-b2c3d4",
                                                "cache/." + md5 + ".cookie.kestrova-Zz9Zz9",
                                                "library/My Archive/News/" + md5 + ".html.part",
                                                "library/My Archive/News/." + md5 + ".html.kestrova-Ab3dE9"};
    const std::vector<std::string> kept = {"temp/fedcba9876543210fedcba9876543210/episode.mp3",
                                           "temp/notes.txt",
                                           "temp/" + md5 + ".backup",
                                           "temp/" + md5 + ".Ab3dE9",
                                           "config.xml",
                                           "config.xml.backup",
                                           "config.xml.QwErTy",
                                           "config.xml.kestrova-QwErTy",
                                           ".config.xml.backup",
                                           "auth.xml.bak",
                                           "auth.xml.backup",
                                           "auth.xml.saved1",
                                           "auth.xml.a1b2c",
                                           "subscription/config.xml.backup",
                                           "subscription/directory.xml.backup",
                                           "subscription/directory.xml.2024-01",
                                           "cache/" + md5 + ".cookie",
                                           "cache/" + md5 + ".cookie.Zz9Zz9",
                                           "cache/cookie.a1b2c3",
                                           "subscription/user0.mdb",
                                           "library/a.xml.abcdef",
                                           "notes.xml.a1b2c3",
                                           ".notes.xml.kestrova-a1b2c3",
                                           "subscription/mine.xml.a1b2c3",
                                           "library/My Archive/News/" + md5 + ".html",
                                           "library/My Archive/News/" + md5 + ".html.Ab3dE9",
                                           "library/My Archive/News/notes.html.part",
                                           "library/My Archive/News/.notes.html.kestrova-Ab3dE9",
                                           "library/My Archive/News/" + md5 + ".htm.part",
                                           "library/My Archive/" + md5 + ".html.part",
                                           "elsewhere/" + md5 + ".html.part",
                                           "elsewhere/linked.xml"};
    for (const std::string& name : leftovers)
        config.write("Documents/Kestrova/" + name, "x");
    for (const std::string& name : kept)
        config.write("Documents/Kestrova/" + name, "kept: " + name);
    // A folder linked into the archive is not the archive's, and a link
    // named like a leftover is no file of the program's.
    fs::create_directory_symlink(config.data("elsewhere"), config.data("library/My Archive/Linked"));
    fs::create_symlink(config.data("elsewhere/linked.xml"), config.data(".config.xml.kestrova-L1nk3d"));
    EXPECT_EQ(preference->RemoveLeftoverTempFiles(), static_cast<int>(leftovers.size()));
    for (const std::string& name : leftovers)
        EXPECT_FALSE(FileExists(config.data(name))) << name;
    for (const std::string& name : kept)
        EXPECT_EQ(ReadFileBytes(config.data(name)), "kept: " + name) << name;
    EXPECT_TRUE(fs::is_symlink(config.data(".config.xml.kestrova-L1nk3d")));
}

// Saves of the settings and the credentials killed inside their write leave
// files that the clean-up at start takes away; the copies a user made of
// those files beside them stay byte for byte.
TEST(DataFoldersTest, KilledSavesOfTheSettingsGoAndTheUsersCopiesStay)
{
    ConfigHome config;
    const std::vector<std::string> copies = {"config.xml.backup", "auth.xml.backup", "auth.xml.saved1",
                                             "subscription/config.xml.backup",
                                             "subscription/directory.xml.backup"};
    for (const std::string& name : copies)
        config.write("Documents/Kestrova/" + name, "<mine>" + name + "</mine>\n");
    CPreference* preference = CPreference::GetInstance();
    preference->GetAuthList().FindOrAdd("https://site.example/", "reader", "secret");
    const std::string dataDir = config.dataDir();
    ASSERT_TRUE(testsupport::RunKilledInsideWrite([&] { preference->Save(); }, 32));
    ASSERT_TRUE(testsupport::RunKilledInsideWrite(
        [&] { preference->GetAuthList().Save(uFile(dataDir.c_str(), "auth.xml")); }, 32));
    std::vector<std::string> hidden;
    for (const auto& entry : fs::directory_iterator(dataDir))
        if (entry.path().filename().string()[0] == '.')
            hidden.push_back(entry.path().filename().string());
    ASSERT_EQ(hidden.size(), 2u) << "one leftover of each killed save";

    EXPECT_EQ(preference->RemoveLeftoverTempFiles(), 2);
    for (const std::string& name : hidden)
        EXPECT_FALSE(FileExists(config.data(name))) << name;
    for (const std::string& name : copies)
        EXPECT_EQ(ReadFileBytes(config.data(name)), "<mine>" + name + "</mine>\n") << name;
}

TEST(DataFoldersTest, MediaFolderThatCannotBeMadeFallsBackToTheLibrary)
{
    ConfigHome config;
    // A dangling symbolic link: nothing exists there, yet no folder can be made.
    fs::create_directories(config.data("library"));
    fs::create_symlink(config.home().file("nowhere/at/all"), config.data("library/My Music"));
    CPreference* preference = CPreference::GetInstance();
    EXPECT_EQ(path(preference->GetMusicDir()), config.data("library"));
    EXPECT_EQ(path(preference->GetMovieDir()), config.data("library/My Movie"));

    // Nothing is derived while the library folder is missing.
    preference->SetLibraryDir(uFile(config.home().file("missing").c_str()));
    preference->EnsureMovieDir();
    EXPECT_EQ(path(preference->GetMovieDir()), config.data("library/My Movie"));
    EXPECT_FALSE(fs::exists(config.home().file("missing")));
}

TEST(DataFoldersTest, PodcastDirectoryMovesTheLibraryButNotTheArchive)
{
    ConfigHome config;
    testsupport::TempDir media;
    const std::string missing = config.home().file("gone/away");
    auto start = [&config](const std::string& folder)
    {
        CPreference::Release();
        config.write("Documents/Kestrova/config.xml", "<Preference><podcast strPodcastDirectory=\"" + folder +
                                                          "\" nFormatPlayLists=\"2\"/></Preference>");
        return CPreference::GetInstance();
    };
    CPreference* preference = start(media.path());
    EXPECT_EQ(path(preference->GetLibraryDir()), media.path());
    EXPECT_EQ(path(preference->GetMusicDir()), media.file("My Music"));
    EXPECT_TRUE(fs::is_directory(media.file("My Music")));
    EXPECT_FALSE(fs::exists(media.file("My Archive")));
    EXPECT_EQ(path(preference->GetArchiveDir()), config.data("library/My Archive"));
    EXPECT_EQ(path(preference->GetDefaultLibraryDir()), config.data("library"));
    EXPECT_EQ(preference->GetPodcastSection().nFormatPlayLists, 1) << "iTunes is never installed here";

    // A folder that does not exist leaves the library where it was, but the text is kept.
    preference = start(missing);
    EXPECT_EQ(path(preference->GetMusicDir()), config.data("library/My Music"));
    CPreference::Release();
    EXPECT_NE(ReadFileBytes(config.data("config.xml")).find("strPodcastDirectory=\"" + missing + "\""),
              std::string::npos);
    EXPECT_FALSE(fs::exists(missing));
}

// Builds nothing, reads nothing and writes nothing (no path on an empty base)
// when the documents folder or the data folder cannot be made.
TEST(DataFoldersTest, NoDataFolderMeansNoFilesAnywhere)
{
    const struct
    {
        const char* blocker;  // a regular file in the way
        const char* userDirs; // user-dirs.dirs, or empty
        const char* error;
    } cases[] = {{"blocker", "XDG_DOCUMENTS_DIR=\"$HOME/blocker/Documents\"\n",
                  "Can't get user's document directory."},
                 {"Documents/Kestrova", "", "Can't create Kestrova data directory."}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.error);
        ConfigHome config;
        config.write(c.blocker, "a regular file");
        if (*c.userDirs)
            config.write(".config/user-dirs.dirs", c.userDirs);
        const std::string before = treeOf(config.home().path());
        CPreference* preference = CPreference::GetInstance();
        EXPECT_STREQ(preference->GetLastErrorText().c_str(), c.error);
        EXPECT_TRUE(preference->GetCacheDir().getPath().isEmpty());
        EXPECT_TRUE(preference->GetLibraryDir().getPath().isEmpty());
        EXPECT_EQ(preference->GetGeneralSection().nRefreshRate, 5);
        preference->GetAuthList().Add("https://site.test/", "ann", "secret");
        CPreference::Release();
        EXPECT_EQ(treeOf(config.home().path()), before);
        for (const std::string& folder : {fs::current_path().string(), std::string()})
            EXPECT_FALSE(FileExists(folder + "/config.xml") || FileExists(folder + "/auth.xml")) << folder;
    }
}

// Workers read the proxy and folders while the preferences sheet rewrites them.
TEST(DataFoldersTest, ConcurrentUseSharesOneObjectAndCopies)
{
    ConfigHome config;
    std::vector<CPreference*> seen(4, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = CPreference::GetInstance(); });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(std::count(seen.begin(), seen.end(), seen[0]), 4);

    CPreference* preference = seen[0];
    std::atomic<bool> stop{false};
    threads.clear();
    for (int r = 0; r < 3; ++r)
        threads.emplace_back(
            [&]
            {
                while (!stop)
                {
                    const uString host = preference->GetProxySection().strHostname;
                    EXPECT_TRUE(host.isEmpty() || host.startsWith("proxy-"));
                    EXPECT_FALSE(preference->GetLibraryDir().getPath().isEmpty());
                }
            });
    for (int i = 0; i < 2000; ++i)
    {
        CPreference::ProxySection proxy;
        proxy.strHostname.format("proxy-%d-%s.example.test", i, std::string(size_t(i % 97), 'x').c_str());
        preference->SetProxySection(proxy);
        preference->SetLibraryDir(uFile(config.data(i % 2 ? "library" : "library/").c_str()));
    }
    stop = true;
    for (auto& thread : threads)
        thread.join();
}

} // namespace
