#include "mainwindow/DesktopIntegration.h"

#include "support/TempDir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;

namespace
{
struct Stamp
{
    ino_t inode = 0;
    timespec modified{};
};

Stamp StampOf(const std::string& path)
{
    struct stat info
    {
    };
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return {info.st_ino, info.st_mtim};
}

class DesktopIntegrationTest : public testing::Test
{
protected:
    desktop::Folders Folders() const { return {m_dir.file("data"), m_dir.file("config")}; }
    desktop::CDesktopIntegration Desktop(const std::string& program = "/opt/kestrova/kestrova") const
    {
        return desktop::CDesktopIntegration(Folders(), program);
    }
    TempDir m_dir;
};

const std::string kIcon = "\x89PNG\r\n\x1a\n-icon-";
} // namespace

TEST_F(DesktopIntegrationTest, FirstStartWritesEntryIconAndDefaultsAndASecondStartWritesNothing)
{
    desktop::CDesktopIntegration desktop = Desktop();
    EXPECT_EQ(desktop.RegisterFileTypes(/*withTorrent=*/false, kIcon), 3);

    std::string entry = ReadFileBytes(desktop.EntryPath());
    EXPECT_NE(entry.find("Exec=\"/opt/kestrova/kestrova\" %f\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("MimeType=application/rss+xml;text/x-opml+xml;\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("Icon=kestrova\n"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(desktop.IconPath()), kIcon);
    EXPECT_EQ(ReadFileBytes(desktop.MimeAppsPath()), "[Default Applications]\n"
                                                     "application/rss+xml=kestrova.desktop\n"
                                                     "text/x-opml+xml=kestrova.desktop\n"
                                                     "\n"
                                                     "[Added Associations]\n"
                                                     "application/rss+xml=kestrova.desktop;\n"
                                                     "text/x-opml+xml=kestrova.desktop;\n");

    std::vector<std::string> files = {desktop.EntryPath(), desktop.IconPath(), desktop.MimeAppsPath()};
    std::vector<Stamp> before;
    for (const std::string& file : files)
        before.push_back(StampOf(file));
    ::usleep(20000); // a rewrite would show in the time as well as the inode
    EXPECT_EQ(Desktop().RegisterFileTypes(false, kIcon), 0);
    EXPECT_EQ(Desktop().RegisterDocumentType(), 0);
    for (size_t i = 0; i < files.size(); ++i)
    {
        Stamp after = StampOf(files[i]);
        EXPECT_EQ(after.inode, before[i].inode) << files[i];
        EXPECT_EQ(after.modified.tv_sec, before[i].modified.tv_sec) << files[i];
        EXPECT_EQ(after.modified.tv_nsec, before[i].modified.tv_nsec) << files[i];
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.file("data/applications")),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file left behind";
}

TEST_F(DesktopIntegrationTest, TheTorrentTypeComesOnlyWithAnEngine)
{
    Desktop().RegisterFileTypes(false, kIcon);
    EXPECT_EQ(ReadFileBytes(Desktop().MimeAppsPath()).find("bittorrent"), std::string::npos);
    EXPECT_EQ(Desktop().RegisterFileTypes(true, kIcon), 2);
    EXPECT_NE(ReadFileBytes(Desktop().EntryPath()).find("text/x-opml+xml;application/x-bittorrent;\n"),
              std::string::npos);
    EXPECT_NE(ReadFileBytes(Desktop().MimeAppsPath()).find("application/x-bittorrent=kestrova.desktop\n"),
              std::string::npos);
}

TEST_F(DesktopIntegrationTest, ForeignEntriesOfMimeAppsSurviveRegistrationAndUnregistration)
{
    const std::string foreign = "# the user's own\n"
                                "[Added Associations]\n"
                                "application/rss+xml=liferea.desktop\n"
                                "image/png=eog.desktop;\n"
                                "\n"
                                "[Default Applications]\n"
                                "text/html=firefox.desktop\n"
                                "application/rss+xml=liferea.desktop\n"
                                "\n"
                                "[Removed Associations]\n"
                                "text/plain=kestrova.desktop;\n";
    m_dir.write("config/mimeapps.list", foreign);
    Desktop().RegisterFileTypes(false, kIcon);
    EXPECT_EQ(ReadFileBytes(Desktop().MimeAppsPath()),
              "# the user's own\n"
              "[Added Associations]\n"
              "application/rss+xml=liferea.desktop;kestrova.desktop;\n"
              "image/png=eog.desktop;\n"
              "text/x-opml+xml=kestrova.desktop;\n"
              "\n"
              "[Default Applications]\n"
              "text/html=firefox.desktop\n"
              "application/rss+xml=kestrova.desktop\n"
              "text/x-opml+xml=kestrova.desktop\n"
              "\n"
              "[Removed Associations]\n"
              "text/plain=kestrova.desktop;\n");

    Desktop().SetRunAtLogon();
    Desktop().Unregister();
    EXPECT_FALSE(FileExists(Desktop().EntryPath()));
    EXPECT_FALSE(FileExists(Desktop().IconPath()));
    EXPECT_FALSE(FileExists(Desktop().AutostartPath()));
    // Ours is gone from both sections; the user's removal stays theirs.
    EXPECT_EQ(ReadFileBytes(Desktop().MimeAppsPath()), "# the user's own\n"
                                                       "[Added Associations]\n"
                                                       "application/rss+xml=liferea.desktop;\n"
                                                       "image/png=eog.desktop;\n"
                                                       "\n"
                                                       "[Default Applications]\n"
                                                       "text/html=firefox.desktop\n"
                                                       "\n"
                                                       "[Removed Associations]\n"
                                                       "text/plain=kestrova.desktop;\n");
}

TEST_F(DesktopIntegrationTest, ProgramPathsAreQuotedForTheExecLine)
{
    EXPECT_EQ(desktop::QuoteExecArgument("/opt/My Apps/100%/kestrova"), "\"/opt/My Apps/100%%/kestrova\"");
    // Inside quotes: \" \` \$ \\; then every backslash doubled once more.
    EXPECT_EQ(desktop::QuoteExecArgument("/a\\b\"c$d`e"), "\"/a\\\\\\\\b\\\\\"c\\\\$d\\\\`e\"");
    std::string entry = desktop::ApplicationEntry("/opt/My Apps/100%/kestrova", false);
    EXPECT_NE(entry.find("Exec=\"/opt/My Apps/100%%/kestrova\" %f\n"), std::string::npos);
}

TEST_F(DesktopIntegrationTest, StartAtLogonWritesAndRemovesTheAutostartEntry)
{
    desktop::CDesktopIntegration desktop = Desktop("/opt/My Apps/kestrova");
    EXPECT_EQ(desktop.AutostartPath(), m_dir.file("config/autostart/Kestrova.desktop"));
    EXPECT_TRUE(desktop.SetRunAtLogon());
    EXPECT_NE(ReadFileBytes(desktop.AutostartPath()).find("Exec=\"/opt/My Apps/kestrova\"\n"),
              std::string::npos);
    Stamp first = StampOf(desktop.AutostartPath());
    EXPECT_TRUE(desktop.SetRunAtLogon());
    EXPECT_EQ(StampOf(desktop.AutostartPath()).inode, first.inode);
    EXPECT_TRUE(desktop.RemoveRunAtLogon());
    EXPECT_FALSE(FileExists(desktop.AutostartPath()));
    EXPECT_TRUE(desktop.RemoveRunAtLogon()) << "nothing left to remove is no failure";
}

// The desktop's own checker accepts what we write, also for a path that needs quoting.
TEST_F(DesktopIntegrationTest, DesktopFileValidateAcceptsTheEntries)
{
    if (!FileExists("/usr/bin/desktop-file-validate"))
        GTEST_SKIP() << "desktop-file-validate is not installed";
    desktop::CDesktopIntegration desktop = Desktop("/opt/My \"Apps\"/100%/kestrova");
    desktop.RegisterFileTypes(true, kIcon);
    desktop.SetRunAtLogon();
    for (const std::string& path : {desktop.EntryPath(), desktop.AutostartPath()})
    {
        std::string command = "/usr/bin/desktop-file-validate '" + path + "' 2>&1";
        FILE* pipe = ::popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string output;
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
            output += buffer;
        EXPECT_EQ(::pclose(pipe), 0) << output;
        EXPECT_EQ(output, "") << path;
    }
}

// The program itself takes everything back on --unregister, without a display.
TEST_F(DesktopIntegrationTest, TheProgramUnregistersWithoutADisplay)
{
    const char* programDir = std::getenv("KESTROVA_PROGRAM_DIR");
    const std::string program = programDir != nullptr ? std::string(programDir) + "/kestrova" : std::string();
    if (program.empty() || !FileExists(program))
        GTEST_SKIP() << "the program is not built";
    Desktop(program).RegisterFileTypes(false, kIcon);
    Desktop(program).SetRunAtLogon();
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY XDG_DATA_HOME='" + m_dir.file("data") +
                                "' XDG_CONFIG_HOME='" + m_dir.file("config") + "' '" + program +
                                "' --unregister";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_FALSE(FileExists(Desktop().EntryPath()));
    EXPECT_FALSE(FileExists(Desktop().IconPath()));
    EXPECT_FALSE(FileExists(Desktop().AutostartPath()));
    EXPECT_EQ(ReadFileBytes(Desktop().MimeAppsPath()).find("kestrova.desktop"), std::string::npos);
}
