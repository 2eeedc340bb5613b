#include "feeds/Preference.h"
#include "feeds/support/ConfigHome.h"

#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{

namespace fs = std::filesystem;
using testsupport::ConfigHome;
using testsupport::FileExists;
using testsupport::ReadFileBytes;

std::string path(const uFile& file)
{
    return file.getPath().c_str();
}

unsigned modeOf(const std::string& where)
{
    struct stat info = {};
    return ::stat(where.c_str(), &info) == 0 ? (info.st_mode & 0777) : 0;
}

// Every path below the folder, relative to it.
std::set<std::string> treeOf(const std::string& folder)
{
    std::set<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        paths.insert(fs::relative(entry.path(), folder).string());
    return paths;
}

TEST(DataFoldersTest, FirstStartBuildsAndSeedsTheTree)
{
    ConfigHome config;
    CPreference* preference = CPreference::GetInstance();
    EXPECT_TRUE(preference->GetLastErrorText().isEmpty());
    EXPECT_EQ(path(preference->GetDataDir()), config.dataDir());
    EXPECT_STREQ(preference->GetProgramDir().c_str(), config.program().path().c_str());

    const std::set<std::string> expected = {
        "temp",
        "icons",
        "cache",
        "torrent",
        "library",
        "library/My Music",
        "library/My Movie",
        "library/My Download",
        "library/My Archive",
        "subscription",
        "subscription/config.xml",
        "subscription/directory.xml",
    };
    EXPECT_EQ(treeOf(config.dataDir()), expected);
    EXPECT_EQ(ReadFileBytes(config.data("subscription/directory.xml")),
              ReadFileBytes(config.program().file("subscription/directory.xml")));
    EXPECT_EQ(modeOf(config.data("cache")), 0700u);

    EXPECT_EQ(path(preference->GetMusicDir()), config.data("library/My Music"));
    EXPECT_EQ(path(preference->GetMovieDir()), config.data("library/My Movie"));
    EXPECT_EQ(path(preference->GetDownloadDir()), config.data("library/My Download"));
    EXPECT_EQ(path(preference->GetArchiveDir()), config.data("library/My Archive"));
    EXPECT_EQ(path(preference->GetDefaultLibraryDir()), config.data("library"));
    EXPECT_EQ(path(preference->GetSubscriptionDir()), config.data("subscription"));
    EXPECT_EQ(path(preference->GetSubscriptionTreeFile()), config.data("subscription/config.xml"));
    EXPECT_EQ(path(preference->GetDownloadLogFile()), config.data("download.log"));
    EXPECT_FALSE(FileExists(config.data("download.log"))) << "only the path is formed";

    // Folders deleted while running come back when asked for.
    fs::remove_all(config.data("torrent"));
    fs::remove_all(config.data("cache"));
    EXPECT_EQ(path(preference->GetTorrentDir()), config.data("torrent"));
    EXPECT_TRUE(fs::is_directory(config.data("torrent")));
    preference->GetCacheDir();
    EXPECT_EQ(modeOf(config.data("cache")), 0700u);
}

TEST(DataFoldersTest, SecondStartReseedsWithoutOverwriting)
{
    ConfigHome config;
    CPreference::GetInstance();
    CPreference::Release();

    config.write("Documents/Kestrova/subscription/config.xml", "<Kestrova>mine</Kestrova>");
    fs::remove(config.data("subscription/directory.xml"));
    fs::remove_all(config.data("library/My Movie"));
    CPreference* preference = CPreference::GetInstance();
    EXPECT_EQ(ReadFileBytes(config.data("subscription/config.xml")), "<Kestrova>mine</Kestrova>");
    EXPECT_TRUE(FileExists(config.data("subscription/directory.xml")));
    EXPECT_TRUE(fs::is_directory(config.data("library/My Movie")));
    EXPECT_EQ(path(preference->GetMovieDir()), config.data("library/My Movie"));
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
    config.write("Documents/Kestrova/config.xml",
                 "<Preference><podcast strPodcastDirectory=\"" + media.path() +
                     "\" strPostProcessCommand=\"echo %n\" nFormatPlayLists=\"2\"/></Preference>");
    CPreference* preference = CPreference::GetInstance();
    EXPECT_EQ(path(preference->GetLibraryDir()), media.path());
    EXPECT_EQ(path(preference->GetMusicDir()), media.file("My Music"));
    EXPECT_EQ(path(preference->GetMovieDir()), media.file("My Movie"));
    EXPECT_EQ(path(preference->GetDownloadDir()), media.file("My Download"));
    EXPECT_TRUE(fs::is_directory(media.file("My Music")));
    EXPECT_FALSE(fs::exists(media.file("My Archive")));
    EXPECT_EQ(path(preference->GetArchiveDir()), config.data("library/My Archive"));
    EXPECT_EQ(path(preference->GetDefaultLibraryDir()), config.data("library"));
    EXPECT_EQ(preference->GetPodcastSection().nFormatPlayLists, 1) << "iTunes is never installed here";
    EXPECT_STREQ(preference->GetPodcastSection().strPostProcessCommand.c_str(), "echo %n");
    CPreference::Release();

    // A folder that does not exist leaves the library where it was, but the text is kept.
    const std::string missing = config.home().file("gone/away");
    config.write("Documents/Kestrova/config.xml", "<Preference><podcast strPodcastDirectory=\"" + missing +
                                                      "\" nFormatPlayLists=\"3\"/></Preference>");
    preference = CPreference::GetInstance();
    EXPECT_EQ(path(preference->GetLibraryDir()), config.data("library"));
    EXPECT_EQ(path(preference->GetMusicDir()), config.data("library/My Music"));
    EXPECT_EQ(preference->GetPodcastSection().nFormatPlayLists, 3);
    CPreference::Release();
    EXPECT_NE(ReadFileBytes(config.data("config.xml")).find("strPodcastDirectory=\"" + missing + "\""),
              std::string::npos);
    EXPECT_FALSE(fs::exists(missing));
}

// Builds nothing, reads nothing and writes nothing when the data folder cannot be made.
void expectNothingWritten(const ConfigHome& config, const char* error)
{
    const std::set<std::string> before = treeOf(config.home().path());
    const std::string workingFolder = fs::current_path().string();
    CPreference* preference = CPreference::GetInstance();
    EXPECT_STREQ(preference->GetLastErrorText().c_str(), error);
    EXPECT_TRUE(preference->GetDataDir().getPath().isEmpty());
    EXPECT_TRUE(preference->GetTempDir().getPath().isEmpty());
    EXPECT_TRUE(preference->GetCacheDir().getPath().isEmpty());
    EXPECT_TRUE(preference->GetLibraryDir().getPath().isEmpty());
    EXPECT_TRUE(preference->GetSubscriptionTreeFile().getPath().isEmpty());
    EXPECT_TRUE(preference->GetDownloadLogFile().getPath().isEmpty());
    EXPECT_EQ(preference->GetGeneralSection().nRefreshRate, 5);
    preference->GetAuthList().Add("https://site.test/", "ann", "secret");
    CPreference::Release();
    EXPECT_EQ(treeOf(config.home().path()), before);
    EXPECT_FALSE(FileExists(workingFolder + "/config.xml"));
    EXPECT_FALSE(FileExists(workingFolder + "/auth.xml"));
    EXPECT_FALSE(FileExists("/config.xml"));
}

TEST(DataFoldersTest, NoDocumentsFolderMeansNoFilesAnywhere)
{
    ConfigHome config;
    config.write("blocker", "a regular file");
    config.write(".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/blocker/Documents\"\n");
    expectNothingWritten(config, "Can't get user's document directory.");
}

TEST(DataFoldersTest, NoDataFolderMeansNoFilesAnywhere)
{
    ConfigHome config;
    config.write("Documents/Kestrova", "a regular file where the data folder should be");
    expectNothingWritten(config, "Can't create Kestrova data directory.");
}

TEST(DataFoldersTest, ConcurrentUseSharesOneObjectAndCopies)
{
    ConfigHome config;
    std::vector<CPreference*> seen(4, nullptr);
    {
        std::vector<std::thread> threads;
        for (size_t i = 0; i < seen.size(); ++i)
            threads.emplace_back([&seen, i] { seen[i] = CPreference::GetInstance(); });
        for (auto& thread : threads)
            thread.join();
    }
    for (CPreference* p : seen)
        EXPECT_EQ(p, seen[0]);

    // Workers read the proxy and folders while the preferences sheet rewrites them.
    CPreference* preference = seen[0];
    std::atomic<bool> stop{false};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r)
        readers.emplace_back(
            [&]
            {
                while (!stop)
                {
                    CPreference::ProxySection proxy = preference->GetProxySection();
                    EXPECT_TRUE(proxy.strHostname.isEmpty() || proxy.strHostname.startsWith("proxy-"));
                    uFile library = preference->GetLibraryDir();
                    EXPECT_FALSE(library.getPath().isEmpty());
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
    for (auto& reader : readers)
        reader.join();
}

} // namespace
