#include "mainwindow/DesktopIntegration.h"

#include "support/TempDir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string_view>
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
    desktop::Folders Folders() const { return {m_dir.file("data"), m_dir.file("config"), m_dir.file("xdg")}; }
    desktop::CDesktopIntegration Desktop(const std::string& program = "/opt/kestrova/kestrova") const
    {
        return desktop::CDesktopIntegration(Folders(), program);
    }
    TempDir m_dir;
};

// The part of the shared-mime-info package format that a package of ours
// may use (the format's own schema, cut to these elements).
const char* const kMimeInfoSchema = R"(<?xml version="1.0"?>
<grammar xmlns="http://relaxng.org/ns/structure/1.0" ns="http://www.freedesktop.org/standards/shared-mime-info"
         datatypeLibrary="http://www.w3.org/2001/XMLSchema-datatypes">
  <start>
    <element name="mime-info">
      <oneOrMore>
        <element name="mime-type">
          <attribute name="type"><data type="string"><param name="pattern">[a-z]+/[a-zA-Z0-9.+-]+</param></data></attribute>
          <interleave>
            <oneOrMore><element name="comment"><optional><attribute name="xml:lang"/></optional><text/></element></oneOrMore>
            <zeroOrMore><element name="sub-class-of"><attribute name="type"/><empty/></element></zeroOrMore>
            <optional><element name="icon"><attribute name="name"/><empty/></element></optional>
            <zeroOrMore><element name="glob"><attribute name="pattern"/><empty/></element></zeroOrMore>
          </interleave>
        </element>
      </oneOrMore>
    </element>
  </start>
</grammar>
)";

const std::string kIcon = "\x89PNG\r\n\x1a\n-icon-";

// The program's icon and one image per file type, each told apart.
std::string_view Icons(int id)
{
    static const std::string kTypeIcons[] = {"-rss-", "-opml-", "-torrent-"};
    if (id == desktop::kProgramIcon)
        return kIcon;
    return id >= 1 && id <= 3 ? std::string_view(kTypeIcons[id - 1]) : std::string_view();
}

// Runs a command; its exit status and what it printed.
int RunCommand(const std::string& command, std::string& output)
{
    output.clear();
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return -1;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        output += buffer;
    return ::pclose(pipe);
}

const desktop::FileType& TypeOf(const char* ext)
{
    for (const desktop::FileType& type : desktop::kFileTypes)
    {
        if (std::string_view(type.ext) == ext)
            return type;
    }
    throw std::logic_error(ext);
}
} // namespace

TEST_F(DesktopIntegrationTest, FirstStartWritesEntryIconAndDefaultsAndASecondStartWritesNothing)
{
    desktop::CDesktopIntegration desktop = Desktop();
    // Icon, entry, two type icons, the MIME package and mimeapps.list.
    EXPECT_EQ(desktop.RegisterFileTypes(/*withTorrent=*/false, Icons), 6);

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

    EXPECT_EQ(ReadFileBytes(desktop.TypeIconPath(TypeOf(".rss"))), "-rss-");
    EXPECT_EQ(ReadFileBytes(desktop.TypeIconPath(TypeOf(".opml"))), "-opml-");
    EXPECT_FALSE(FileExists(desktop.TypeIconPath(TypeOf(".torrent"))));
    EXPECT_EQ(desktop.PackagePath(), m_dir.file("data/mime/packages/kestrova.xml"));

    std::vector<std::string> files = {desktop.EntryPath(),
                                      desktop.IconPath(),
                                      desktop.MimeAppsPath(),
                                      desktop.PackagePath(),
                                      desktop.TypeIconPath(TypeOf(".rss")),
                                      desktop.TypeIconPath(TypeOf(".opml"))};
    // The MIME database is not rebuilt either.
    if (FileExists(m_dir.file("data/mime/mime.cache")))
        files.push_back(m_dir.file("data/mime/mime.cache"));
    std::vector<Stamp> before;
    for (const std::string& file : files)
        before.push_back(StampOf(file));
    ::usleep(20000); // a rewrite would show in the time as well as the inode
    EXPECT_EQ(Desktop().RegisterFileTypes(false, Icons), 0);
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
    Desktop().RegisterFileTypes(false, Icons);
    EXPECT_EQ(ReadFileBytes(Desktop().MimeAppsPath()).find("bittorrent"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(Desktop().PackagePath()).find("bittorrent"), std::string::npos);
    // Entry, torrent icon, package and mimeapps.list.
    EXPECT_EQ(Desktop().RegisterFileTypes(true, Icons), 4);
    EXPECT_EQ(ReadFileBytes(Desktop().TypeIconPath(TypeOf(".torrent"))), "-torrent-");
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
    Desktop().RegisterFileTypes(false, Icons);
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
    EXPECT_FALSE(FileExists(Desktop().PackagePath()));
    EXPECT_FALSE(FileExists(Desktop().TypeIconPath(TypeOf(".rss"))));
    // The database no longer knows the types the package described.
    EXPECT_EQ(ReadFileBytes(m_dir.file("data/mime/globs2")).find("*.rss"), std::string::npos);
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
    EXPECT_FALSE(desktop.RemoveRunAtLogon()) << "there was nothing left to remove";

    // For all users the entry goes to the system's autostart folder; one
    // that cannot be written there is a failure.
    EXPECT_TRUE(desktop.SetRunValue("Kestrova", "/opt/kestrova/kestrova", /*allUsers=*/true));
    EXPECT_NE(
        ReadFileBytes(m_dir.file("xdg/autostart/Kestrova.desktop")).find("Exec=\"/opt/kestrova/kestrova\"\n"),
        std::string::npos);
    EXPECT_FALSE(FileExists(desktop.AutostartPath()));
    EXPECT_TRUE(desktop.RemoveRunValue("Kestrova", true));
    std::filesystem::remove_all(m_dir.file("xdg/autostart"));
    m_dir.write("xdg/autostart", "a file where the folder should be");
    EXPECT_FALSE(desktop.SetRunValue("Kestrova", "/opt/kestrova/kestrova", true));
    EXPECT_FALSE(desktop.SetRunValue("../Kestrova", "/opt/kestrova/kestrova", false));
}

// The desktop's own checkers accept what we write, also for a path that
// needs quoting: the entries, the MIME package (against the package format's
// schema, and by the tool that compiles it into the database).
TEST_F(DesktopIntegrationTest, TheDesktopsCheckersAcceptTheEntriesAndTheMimePackage)
{
    for (const char* tool :
         {"/usr/bin/desktop-file-validate", "/usr/bin/xmllint", "/usr/bin/update-mime-database"})
    {
        if (!FileExists(tool))
            GTEST_SKIP() << tool << " is not installed";
    }
    desktop::CDesktopIntegration desktop = Desktop("/opt/My \"Apps\"/100%/kestrova");
    desktop.RegisterFileTypes(true, Icons);
    desktop.SetRunAtLogon();
    std::string output;
    for (const std::string& path : {desktop.EntryPath(), desktop.AutostartPath()})
    {
        EXPECT_EQ(RunCommand("/usr/bin/desktop-file-validate '" + path + "'", output), 0) << output;
        EXPECT_EQ(output, "") << path;
    }

    const std::string schema = m_dir.write("mime-info.rng", kMimeInfoSchema);
    EXPECT_EQ(
        RunCommand("/usr/bin/xmllint --noout --relaxng '" + schema + "' '" + desktop.PackagePath() + "'",
                   output),
        0)
        << output;

    // The start compiled the package: the database knows each type's name,
    // icon, parent and extension. A rebuild by hand reports nothing wrong.
    EXPECT_EQ(RunCommand("XDG_DATA_HOME='" + m_dir.file("data") + "' /usr/bin/update-mime-database '" +
                             m_dir.file("data/mime") + "'",
                         output),
              0)
        << output;
    EXPECT_EQ(output, "");
    const std::string globs = ReadFileBytes(m_dir.file("data/mime/globs2"));
    EXPECT_NE(globs.find(":application/rss+xml:*.rss\n"), std::string::npos) << globs;
    EXPECT_NE(globs.find(":text/x-opml+xml:*.opml\n"), std::string::npos) << globs;
    EXPECT_NE(globs.find(":application/x-bittorrent:*.torrent\n"), std::string::npos) << globs;
    const std::string icons = ReadFileBytes(m_dir.file("data/mime/icons"));
    EXPECT_NE(icons.find("application/rss+xml:kestrova-rssfile\n"), std::string::npos) << icons;
    EXPECT_NE(icons.find("application/x-bittorrent:kestrova-torrentfile\n"), std::string::npos) << icons;
    EXPECT_NE(ReadFileBytes(m_dir.file("data/mime/subclasses")).find("application/rss+xml text/xml\n"),
              std::string::npos);
    const std::string package = ReadFileBytes(desktop.PackagePath());
    EXPECT_NE(package.find("<comment>Really Simple Syndication File</comment>"), std::string::npos);
    EXPECT_NE(package.find("<comment>Outline Processor Markup Language File</comment>"), std::string::npos);
    EXPECT_NE(package.find("<comment>BitTorrent File</comment>"), std::string::npos);
}

// The program itself takes everything back on --unregister, without a display.
TEST_F(DesktopIntegrationTest, TheProgramUnregistersWithoutADisplay)
{
    const char* programDir = std::getenv("KESTROVA_PROGRAM_DIR");
    const std::string program = programDir != nullptr ? std::string(programDir) + "/kestrova" : std::string();
    if (program.empty() || !FileExists(program))
        GTEST_SKIP() << "the program is not built";
    Desktop(program).RegisterFileTypes(false, Icons);
    Desktop(program).SetRunAtLogon();
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY XDG_DATA_HOME='" + m_dir.file("data") +
                                "' XDG_CONFIG_HOME='" + m_dir.file("config") + "' '" + program +
                                "' --unregister";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_FALSE(FileExists(Desktop().EntryPath()));
    EXPECT_FALSE(FileExists(Desktop().IconPath()));
    EXPECT_FALSE(FileExists(Desktop().AutostartPath()));
    EXPECT_FALSE(FileExists(Desktop().PackagePath()));
    EXPECT_EQ(ReadFileBytes(Desktop().MimeAppsPath()).find("kestrova.desktop"), std::string::npos);
}
