// The real program on a desktop, asked where to save a download of the
// browser pane: Save saves at once, with nothing of the toolkit's in the
// way, and a stop signal or the tray's Exit while the dialog waits ends the
// program as File > Exit does, with nothing saved. The tray and a second
// start bring the window back with the dialog still waiting on it.
#include "GuiTestSupport.h"
#include "RealProgram.h"
#include "TrayDesktop.h"
#include "downloads/PaneDownloadSupport.h"
#include "mainwindow/WebBrowserFrame.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <map>
#include <sqlite3.h>
#include <sstream>
#include <wx/uiaction.h>

namespace
{
namespace fs = std::filesystem;
using State = TrayDesktop::WindowState;
const std::string kBody(50000, 'z');

class ProgramSaveDialogTest : public testing::Test
{
protected:
    ProgramSaveDialogTest()
    {
        fs::create_directories(m_runtime);
        fs::permissions(m_runtime, fs::perms::owner_all);
        testsupport::HttpResponse attachment;
        attachment.header("Content-Type", "application/zip")
            .header("Content-Disposition", "attachment; filename=pack.zip");
        attachment.body = kBody;
        m_server.serve("/get/pack", attachment);
    }

    // Starts the program and gives its browser pane the address of a file
    // it saves, as the user does (F7 goes to the address box): true once
    // the save dialog shows.
    bool StartUntilTheSaveDialogShows(TrayDesktop& desktop)
    {
        return StartUntilTheWindowHasFocus(desktop) && OpenTheSaveDialog(desktop);
    }

    bool StartUntilTheWindowHasFocus(TrayDesktop& desktop)
    {
        m_program = realprogram::StartKestrova(m_home.file("kestrova.log"), m_runtime);
        unsigned long& window = m_window;
        return realprogram::WaitUntilListening(*m_program) &&
               guitest::RunEventsUntil(
                   [&]
                   {
                       window = desktop.FindWindow("Kestrova");
                       return window != 0 && desktop.StateOf(window) == State::kNormal &&
                              desktop.HasFocus(window);
                   },
                   30000);
    }

    bool OpenTheSaveDialog(TrayDesktop& desktop, const std::string& path = "/get/pack")
    {
        wxUIActionSimulator keys;
        keys.Char(WXK_F7);
        keys.Text(m_server.url(path).c_str());
        keys.Char(WXK_RETURN);
        return guitest::RunEventsUntil(
            [&]
            {
                m_dialog = desktop.FindWindow("Select a file");
                return m_dialog != 0;
            },
            30000);
    }

    // Minimises the window as its title bar's button does: it goes into
    // the tray, the dialog with it. The icon's place on the screen, or an
    // empty rectangle when the icon never showed.
    wxRect MinimiseIntoTray(TrayDesktop& desktop)
    {
        desktop.Minimise(m_window);
        if (!guitest::RunEventsUntil(
                [&]
                {
                    return desktop.EmbeddedIcons().size() == 1 &&
                           desktop.StateOf(m_window) == State::kWithdrawn && !desktop.IsOnScreen(m_dialog);
                },
                10000))
            return {};
        return desktop.EmbeddedIcons().front();
    }

    // A right-click on the icon; true once its menu shows.
    bool OpenTheIconsMenu(TrayDesktop& desktop, const wxRect& icon)
    {
        const int popups = desktop.PopupsShown();
        wxUIActionSimulator mouse;
        mouse.MouseMove(icon.GetPosition() + wxSize(icon.width / 2, icon.height / 2));
        mouse.MouseClick(wxMOUSE_BTN_RIGHT);
        return guitest::RunEventsUntil([&] { return desktop.PopupsShown() > popups; }, 10000);
    }

    // The window back on the screen with the dialog over it, still waiting.
    bool ShownWithTheDialog(TrayDesktop& desktop)
    {
        return guitest::RunEventsUntil(
            [&]
            {
                return desktop.StateOf(m_window) == State::kNormal && desktop.IsOnScreen(m_window) &&
                       desktop.FindWindow("Select a file") == m_dialog && desktop.IsOnScreen(m_dialog);
            },
            10000);
    }

    // Cancels the dialog from the keyboard and ends the program by the
    // signal: exit status, and whether it saved what it was given.
    void CancelAndStop(TrayDesktop& desktop)
    {
        ASSERT_TRUE(guitest::RunEventsUntil([&] { return desktop.HasFocus(m_dialog); }, 10000));
        wxUIActionSimulator keys;
        keys.Char(WXK_ESCAPE);
        EXPECT_TRUE(guitest::RunEventsUntil([&] { return desktop.FindWindow("Select a file") == 0; }, 10000));
        m_program->signal(SIGTERM);
        EXPECT_EQ(m_program->waitForExit(30000), 0) << m_program->log();
        EXPECT_FALSE(fs::exists(m_home.file("pack.zip")));
    }

    // Where the user clicks the tools (by command) in the program's window
    // of a first start, from its top-left corner inside the frame, and the
    // window's size under the key 0 (see the probe); empty when the probe
    // failed.
    std::map<int, wxPoint> ToolSpots()
    {
        const std::string home = m_home.file("probe");
        fs::create_directories(home);
        testsupport::ChildProcess probe({KESTROVA_TOOL_PROBE}, m_home.file("probe.log"), {"HOME=" + home});
        std::map<int, wxPoint> spots;
        if (probe.waitForExit(60000) != 0)
            return spots;
        std::istringstream lines(probe.log());
        for (std::string line; std::getline(lines, line);)
        {
            int command = 0;
            int x = 0;
            int y = 0;
            if (std::sscanf(line.c_str(), "%d %d %d", &command, &x, &y) == 3)
                spots[command] = wxPoint(x, y);
        }
        return spots;
    }

    testsupport::TempHome m_home;
    std::string m_runtime = m_home.file("run");
    testsupport::ScopedEnv m_runtimeEnv{"XDG_RUNTIME_DIR", m_runtime};
    testsupport::LocalHttpServer m_server;
    std::unique_ptr<testsupport::ChildProcess> m_program;
    unsigned long m_window = 0;
    unsigned long m_dialog = 0;
};
} // namespace

// Also when the engine's network process ended while the dialog waited: the
// download the engine let go is not touched.
TEST_F(ProgramSaveDialogTest, ASigtermWhileTheSaveDialogWaitsEndsTheProgram)
{
    TrayDesktop desktop(m_home.path(), /*withTray=*/false);
    if (!desktop.Missing().empty())
        GTEST_SKIP() << desktop.Missing() << " is not installed";
    ASSERT_TRUE(desktop.IsReady());
    // Then the dialog answered with Save or Escape first.
    const std::vector<std::pair<bool, long>> rows = {
        {false, 0}, {true, 0}, {true, WXK_RETURN}, {true, WXK_ESCAPE}};
    for (const auto& [engineEnds, answer] : rows)
    {
        SCOPED_TRACE(engineEnds ? "the engine's network process ended" : "the engine runs");
        SCOPED_TRACE(answer);
        ASSERT_TRUE(StartUntilTheSaveDialogShows(desktop)) << m_program->log();
        if (engineEnds)
        {
            const int network = EngineNetworkProcess(m_program->pid());
            ASSERT_NE(network, 0);
            ::kill(network, SIGKILL);
            // Gone once the program has seen it end.
            ASSERT_TRUE(
                guitest::RunEventsUntil([&] { return EngineNetworkProcess(m_program->pid()) == 0; }, 10000));
            guitest::RunEventsFor(1000);
        }
        if (answer != 0)
        {
            ASSERT_TRUE(guitest::RunEventsUntil(
                [&] { return desktop.HasFocus(desktop.FindWindow("Select a file")); }, 10000));
            wxUIActionSimulator().Char(static_cast<int>(answer));
            EXPECT_TRUE(
                guitest::RunEventsUntil([&] { return desktop.FindWindow("Select a file") == 0; }, 10000));
            guitest::RunEventsFor(1000);
        }
        m_program->signal(SIGTERM);
        EXPECT_EQ(m_program->waitForExit(30000), 0) << "ends by itself, with success\n" << m_program->log();
        EXPECT_FALSE(fs::exists(m_home.file("pack.zip")));
        // Nothing gone is touched (the engine itself warns of the download it let go).
        EXPECT_EQ(m_program->log().find("assertion"), std::string::npos) << m_program->log();
        m_program.reset();
    }
}

TEST_F(ProgramSaveDialogTest, SaveInTheDialogSavesTheDownloadAtOnce)
{
    TrayDesktop desktop(m_home.path(), /*withTray=*/false);
    if (!desktop.Missing().empty())
        GTEST_SKIP() << desktop.Missing() << " is not installed";
    ASSERT_TRUE(desktop.IsReady());
    ASSERT_TRUE(StartUntilTheSaveDialogShows(desktop)) << m_program->log();

    ASSERT_TRUE(guitest::RunEventsUntil([&] { return desktop.HasFocus(desktop.FindWindow("Select a file")); },
                                        10000));
    wxUIActionSimulator keys;
    keys.Char(WXK_RETURN); // in the name field: Save
    EXPECT_TRUE(guitest::RunEventsUntil(
        [&] { return testsupport::ReadFileBytes(m_home.file("pack.zip")) == kBody; }, 30000))
        << m_program->log();
    m_program->signal(SIGTERM);
    EXPECT_EQ(m_program->waitForExit(30000), 0) << m_program->log();
    EXPECT_EQ(m_program->log().find("assertion"), std::string::npos) << m_program->log();
}

TEST_F(ProgramSaveDialogTest, TheTraysExitWhileTheSaveDialogWaitsEndsTheProgramWithItsSettingsSaved)
{
    TrayDesktop desktop(m_home.path());
    if (!desktop.Missing().empty())
        GTEST_SKIP() << desktop.Missing() << " is not installed";
    ASSERT_TRUE(desktop.IsReady());
    ASSERT_TRUE(StartUntilTheSaveDialogShows(desktop)) << m_program->log();
    const std::string config = m_home.file("Documents/Kestrova/config.xml");
    ASSERT_FALSE(fs::exists(config)) << "a first start: the settings are written at the close";

    const wxRect icon = MinimiseIntoTray(desktop);
    ASSERT_FALSE(icon.IsEmpty()) << m_program->log();
    ASSERT_TRUE(OpenTheIconsMenu(desktop, icon)) << m_program->log();
    wxUIActionSimulator keys;
    keys.Char(WXK_UP); // the last entry: Exit
    keys.Char(WXK_RETURN);

    EXPECT_EQ(m_program->waitForExit(30000), 0) << "ends by itself, with success\n" << m_program->log();
    EXPECT_TRUE(fs::exists(config)) << "the settings were saved";
    EXPECT_FALSE(fs::exists(m_home.file("pack.zip")));
}

// A click on the icon, its menu's Restore, and a second start of the program
// each bring the window back with the dialog on it, which still answers.
TEST_F(ProgramSaveDialogTest, TheTrayAndASecondStartBringBackTheWindowWithTheDialog)
{
    enum class Way
    {
        kClick,
        kRestore,
        kSecondStart,
    };
    TrayDesktop desktop(m_home.path());
    if (!desktop.Missing().empty())
        GTEST_SKIP() << desktop.Missing() << " is not installed";
    ASSERT_TRUE(desktop.IsReady());
    for (Way way : {Way::kClick, Way::kRestore, Way::kSecondStart})
    {
        SCOPED_TRACE("way number " + std::to_string(static_cast<int>(way)));
        // Stored settings would start the program in the tray.
        fs::remove(m_home.file("Documents/Kestrova/config.xml"));
        ASSERT_TRUE(StartUntilTheSaveDialogShows(desktop)) << m_program->log();
        const wxRect icon = MinimiseIntoTray(desktop);
        ASSERT_FALSE(icon.IsEmpty()) << m_program->log();

        if (way == Way::kClick)
        {
            guitest::ClickAt(icon.GetPosition() + wxSize(icon.width / 2, icon.height / 2));
        }
        else if (way == Way::kRestore)
        {
            ASSERT_TRUE(OpenTheIconsMenu(desktop, icon)) << m_program->log();
            wxUIActionSimulator keys;
            keys.Char(WXK_DOWN); // the first entry: Restore
            keys.Char(WXK_RETURN);
        }
        else
        {
            testsupport::ChildProcess second({std::string(std::getenv("KESTROVA_PROGRAM_DIR")) + "/kestrova"},
                                             m_home.file("second.log"), {"XDG_RUNTIME_DIR=" + m_runtime});
            EXPECT_EQ(second.waitForExit(10000), 0) << second.log();
        }
        EXPECT_TRUE(ShownWithTheDialog(desktop)) << m_program->log();
        CancelAndStop(desktop);
        m_program.reset();
    }
}

// Whatever dialog or box shows over the window, a stop ends the program
// within the promised 3 s, from the signal or the pick of the tray's Exit to
// the process's end, and the close saves the settings as File > Exit does.
// The boxes: the engine's Print dialog (the program's own Print), the save
// dialog's question whether to replace the user's file and its box for a
// name too long, a message box over the toolkit's modal dialog, and dialogs
// open one over another (the transfer panels, Browse and what they open,
// three deep at most): every loop ends before the window goes. A page's
// own box holds back the engine's answers: a command that reads the page
// (Save, Look for News Feed, Send email) given while it shows must not wait
// for them, nor go on after the stop with the window gone.
TEST_F(ProgramSaveDialogTest, AStopEndsTheProgramWithinThreeSecondsWhateverBoxShows)
{
    enum class Stop
    {
        kSignal,
        kTraysExit,
        kSignalWhileTheTraysMenuShows,
        kFileExit,
    };
    struct Row
    {
        const char* box;
        Stop stop;
        std::function<bool(TrayDesktop&)> open;
    };
    std::map<int, wxPoint> spots; // measured on the first row's desktop
    const std::string usersFile = m_home.file("pack.zip");
    wxUIActionSimulator keys;
    auto print = [&](TrayDesktop& desktop)
    {
        keys.Char('P', wxMOD_CONTROL);
        return guitest::RunEventsUntil([&] { return desktop.FindWindow("Print") != 0; }, 20000);
    };
    // Types into the save dialog's name field and saves: a box shows over it.
    auto save = [&](TrayDesktop& desktop, const std::string& name)
    {
        if (!OpenTheSaveDialog(desktop) ||
            !guitest::RunEventsUntil([&] { return desktop.HasFocus(m_dialog); }))
            return false;
        if (!name.empty())
        {
            keys.Char('A', wxMOD_CONTROL);
            keys.Text(name.c_str());
        }
        keys.Char(WXK_RETURN);
        return guitest::RunEventsUntil([&] { return desktop.ShownWindows() == 3; }, 10000);
    };
    auto replace = [&](TrayDesktop& desktop)
    {
        std::ofstream(usersFile) << "the user's own";
        return save(desktop, "");
    };
    auto tooLong = [&](TrayDesktop& desktop) { return save(desktop, std::string(300, 'n') + ".zip"); };
    auto messageOverDialog = [&](TrayDesktop& desktop)
    {
        keys.Char('N', wxMOD_CONTROL);
        unsigned long dialog = 0;
        if (!guitest::RunEventsUntil(
                [&]
                {
                    dialog = desktop.FindWindow("News Feed Web Service");
                    return dialog != 0 && desktop.HasFocus(dialog);
                },
                10000))
            return false;
        keys.Char('A', wxMOD_CONTROL);
        keys.Text("gopher:x"); // refused: a message box says so
        keys.Char(WXK_RETURN);
        return guitest::RunEventsUntil([&] { return desktop.ShownWindows() == 3; }, 10000);
    };
    // The user opens a page that shows the engine's own alert, prompt or
    // login box; `sign` is asked as it shows.
    auto visit = [&](const std::string& path, const std::string& sign)
    {
        const std::size_t before = m_server.requestsFor(sign).size();
        keys.Char(WXK_F7);
        keys.Text(m_server.url(path).c_str());
        keys.Char(WXK_RETURN);
        return guitest::RunEventsUntil([&] { return m_server.requestsFor(sign).size() > before; }, 20000) &&
               (guitest::RunEventsFor(1500), true);
    };
    auto pageBox = [&](const std::string& call)
    {
        const std::string path = "/boxes/" + std::to_string(m_server.requestsFor("/boxes/shown").size());
        m_server.serveContent(path, "<script>fetch('/boxes/shown').then(()=>" + call + ")</script>",
                              "text/html");
        return visit(path, "/boxes/shown");
    };
    m_server.serve("/boxes/login", testsupport::UnauthorizedResponse());
    auto login = [&](TrayDesktop&) { return visit("/boxes/login", "/boxes/login"); };
    // A page whose box shows a while after it loaded, and then a command the
    // user gives: a tool (by command) or a key.
    auto boxThenTool = [&](const std::string& call, int command)
    {
        return [&, call, command](TrayDesktop& desktop)
        {
            if (desktop.SizeOf(m_window) != wxSize(spots.at(0).x, spots.at(0).y) || spots.at(command).x < 0)
                return false; // the tools are not where the test looks for them
            if (!pageBox("setTimeout(function(){" + call + "},300)"))
                return false;
            guitest::ClickAt(desktop.OriginOf(m_window) + spots.at(command));
            guitest::RunEventsFor(500);
            return true;
        };
    };
    auto boxThenKey = [&](const std::string& call, int key)
    {
        return [&, call, key](TrayDesktop&)
        {
            if (!pageBox("setTimeout(function(){" + call + "},300)"))
                return false;
            keys.Char(key, wxMOD_CONTROL);
            guitest::RunEventsFor(500);
            return true;
        };
    };
    // Tools > Download Manager (the last entry but one) from the keyboard,
    // then the buttons that open dialogs over it, by Tab: each dialog has
    // the keyboard once it shows.
    // A dialog puts its first control in focus only after it has taken the
    // window manager's: keys typed at once on a busy machine go elsewhere.
    auto focused = [&](TrayDesktop& desktop, const char* title)
    {
        return guitest::RunEventsUntil([&] { return desktop.HasFocus(desktop.FindWindow(title)); }, 10000) &&
               (guitest::RunEventsFor(500), true);
    };
    auto press = [&](std::initializer_list<int> pressed)
    {
        for (int key : pressed)
            keys.Char(key);
    };
    auto downloads = [&](TrayDesktop& desktop)
    {
        const int popups = desktop.PopupsShown();
        keys.Char('F', wxMOD_ALT);
        if (!guitest::RunEventsUntil([&] { return desktop.PopupsShown() > popups; }, 10000))
            return false;
        press({WXK_LEFT, WXK_LEFT, WXK_UP, WXK_UP, WXK_RETURN});
        return focused(desktop, "Kestrova Download Manager");
    };
    auto torrents = [&](TrayDesktop& desktop)
    {
        return downloads(desktop) &&
               (press({WXK_TAB, WXK_SPACE}), focused(desktop, "Kestrova BitTorrent Manager"));
    };
    auto torrentFile = [&](TrayDesktop& desktop) {
        return torrents(desktop) && (press({WXK_TAB, WXK_TAB, WXK_SPACE}), focused(desktop, "Select a file"));
    };
    // A finished download that the desktop's opener fails to open: Launch
    // File in its row's menu says so in a box, from the panel's loop.
    const std::string data = m_home.file("Documents/Kestrova/");
    fs::create_directories(data + "library/My Music");
    fs::create_directories(data + "subscription");
    std::ofstream(data + "library/My Music/a.mp3") << "mp3";
    std::ofstream(data + "subscription/download.xml")
        << "<download><item label=\"News\" ds=\"default.mdb\" feed=\"http://x/\" item=\"http://x/1\" "
           "link=\"http://x/a.mp3\" type=\"0\" file=\"1\" status=\"4\"/></download>";
    fs::copy_file(KESTROVA_LIST_TEMPLATE, data + "subscription/default.mdb");
    sqlite3* db = nullptr;
    sqlite3_open((data + "subscription/default.mdb").c_str(), &db);
    sqlite3_exec(db, "INSERT INTO enclosure VALUES ('http://x/1', 'http://x/a.mp3', 3, '', 'My Music/a.mp3')",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    std::ofstream(m_home.file("xdg-open")) << "#!/bin/sh\nexit 3\n";
    fs::permissions(m_home.file("xdg-open"), fs::perms::owner_all);
    const testsupport::ScopedEnv path("PATH", m_home.path() + ":" + std::getenv("PATH"));
    // Tools > Browse, and the dialog that a feed of its directory opens: the
    // list to subscribe it into.
    m_server.serveContent("/feed.xml", "<rss version=\"2.0\"><channel><title>t</title></channel></rss>",
                          "text/xml");
    m_server.serveContent("/directory.opml",
                          "<opml><head><title>Loopback</title></head><body><outline text=\"Folder\"><outline "
                          "type=\"rss\" text=\"Feed\" xmlUrl=\"" +
                              m_server.url("/feed.xml") + "\"/></outline></body></opml>",
                          "text/x-opml");
    std::ofstream(data + "subscription/directory.xml")
        << "<KestDirectory><directory name=\"Kept\" url=\"" << m_server.url("/directory.opml")
        << "\" status=\"expand\"/></KestDirectory>";
    auto subscribe = [&](TrayDesktop& desktop)
    {
        keys.Char('B', wxMOD_CONTROL);
        return focused(desktop, "Feeds Directory : Loopback") &&
               (press({WXK_TAB, WXK_TAB, WXK_DOWN, WXK_DOWN, WXK_DOWN, WXK_DOWN, WXK_RETURN}),
                focused(desktop, "Add Subscription to List"));
    };
    // A new subscription that the window's thread stores into a list
    // another program holds: it waits for the list when the stop comes.
    sqlite3* holder = nullptr;
    auto heldList = [&](TrayDesktop& desktop)
    {
        const std::size_t fetched = m_server.requestsFor("/feed.xml").size();
        if (sqlite3_open((data + "subscription/default.mdb").c_str(), &holder) != SQLITE_OK ||
            sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK)
            return false;
        keys.Char('N', wxMOD_CONTROL);
        if (!focused(desktop, "News Feed Web Service"))
            return false;
        keys.Char('A', wxMOD_CONTROL);
        keys.Text(m_server.url("/feed.xml").c_str());
        keys.Char(WXK_RETURN);
        return guitest::RunEventsUntil([&] { return m_server.requestsFor("/feed.xml").size() > fetched; },
                                       10000) &&
               (guitest::RunEventsFor(1500), true);
    };
    auto failedOpen = [&](TrayDesktop& desktop)
    {
        if (!downloads(desktop))
            return false;
        const int shown = desktop.ShownWindows();
        wxUIActionSimulator mouse;
        mouse.MouseMove(desktop.OriginOf(desktop.FindWindow("Kestrova Download Manager")) + wxSize(200, 45));
        mouse.MouseClick(wxMOUSE_BTN_RIGHT);
        press({WXK_DOWN, WXK_DOWN, WXK_RETURN});
        return guitest::RunEventsUntil([&] { return desktop.ShownWindows() > shown; }, 10000);
    };
    constexpr int kSave = 129;
    constexpr int kLookForFeeds = 224;
    constexpr int kSendMail = CWebBrowserFrame::kSendMail;
    const Row rows[] = {
        {"a new subscription waiting for its list", Stop::kSignal, heldList},
        {"BitTorrent Manager over Download Manager", Stop::kSignal, torrents},
        {"BitTorrent Manager over Download Manager", Stop::kTraysExit, torrents},
        {"Open Torrent's file dialog over BitTorrent Manager over Download Manager", Stop::kTraysExit,
         torrentFile},
        {"list chooser over Browse", Stop::kSignal, subscribe},
        {"list chooser over Browse", Stop::kTraysExit, subscribe},
        {"failed Launch File's box over Download Manager", Stop::kSignal, failedOpen},
        {"failed Launch File's box over Download Manager", Stop::kTraysExit, failedOpen},
        {"a page's alert", Stop::kSignal, [&](TrayDesktop&) { return pageBox("alert('a')"); }},
        {"a page's prompt", Stop::kSignal, [&](TrayDesktop&) { return pageBox("prompt('b')"); }},
        {"a page's alert", Stop::kTraysExit, [&](TrayDesktop&) { return pageBox("alert('a')"); }},
        {"a page's prompt", Stop::kTraysExit, [&](TrayDesktop&) { return pageBox("prompt('b')"); }},
        {"a login box", Stop::kSignal, login},
        {"a login box", Stop::kTraysExit, login},
        {"print dialog", Stop::kSignal, print},
        {"replace box", Stop::kSignal, replace},
        {"name too long box", Stop::kSignal, tooLong},
        {"message box over a dialog", Stop::kSignal, messageOverDialog},
        {"print dialog", Stop::kTraysExit, print},
        {"replace box", Stop::kTraysExit, replace},
        {"replace box", Stop::kSignalWhileTheTraysMenuShows, replace},
        {"a page's alert, then the Save tool", Stop::kSignal, boxThenTool("alert('x')", kSave)},
        {"a page's confirm, then Ctrl+S", Stop::kFileExit, boxThenKey("confirm('x')", 'S')},
        {"a page's prompt, then Look for News Feed", Stop::kSignal,
         boxThenTool("prompt('x')", kLookForFeeds)},
        {"a page's alert, then Look for News Feed", Stop::kFileExit,
         boxThenTool("alert('x')", kLookForFeeds)},
        {"a page's confirm, then Send email", Stop::kSignal, boxThenTool("confirm('x')", kSendMail)},
        {"a page's prompt, then Send email", Stop::kFileExit, boxThenTool("prompt('x')", kSendMail)},
        {"a page's alert, then Ctrl+S", Stop::kSignal, boxThenKey("alert('x')", 'S')},
        {"a page's prompt, then the Save tool", Stop::kFileExit, boxThenTool("prompt('x')", kSave)},
        {"a page's alert, then Print", Stop::kSignal,
         [&](TrayDesktop& desktop)
         { return pageBox("setTimeout(function(){alert('x')},300)") && print(desktop); }},
    };
    const std::string config = m_home.file("Documents/Kestrova/config.xml");
    for (const Row& row : rows)
    {
        SCOPED_TRACE(std::string(row.box) + ", stop " + std::to_string(static_cast<int>(row.stop)));
        const bool tray = row.stop == Stop::kTraysExit || row.stop == Stop::kSignalWhileTheTraysMenuShows;
        TrayDesktop desktop(m_home.path(), tray);
        if (!desktop.Missing().empty())
            GTEST_SKIP() << desktop.Missing() << " is not installed";
        ASSERT_TRUE(desktop.IsReady());
        if (spots.empty())
            spots = ToolSpots();
        ASSERT_EQ(spots.size(), 4u) << testsupport::ReadFileBytes(m_home.file("probe.log"));
        fs::remove(config);
        fs::remove(usersFile);
        ASSERT_TRUE(StartUntilTheWindowHasFocus(desktop)) << m_program->log();
        ASSERT_TRUE(row.open(desktop)) << m_program->log();
        if (tray)
        {
            // Only the window is watched into the tray: the engine's Print
            // dialog stays on the screen without it.
            m_dialog = 0;
            const wxRect icon = MinimiseIntoTray(desktop);
            ASSERT_FALSE(icon.IsEmpty()) << m_program->log();
            ASSERT_TRUE(OpenTheIconsMenu(desktop, icon)) << m_program->log();
        }
        if (row.stop == Stop::kTraysExit)
        {
            keys.Char(WXK_UP); // the last entry: Exit
            keys.Char(WXK_RETURN);
        }
        else if (row.stop == Stop::kFileExit)
        {
            const int popups = desktop.PopupsShown();
            keys.Char('F', wxMOD_ALT);
            ASSERT_TRUE(guitest::RunEventsUntil([&] { return desktop.PopupsShown() > popups; }, 10000));
            keys.Char('X'); // E&xit
        }
        else
        {
            m_program->signal(SIGTERM);
        }
        EXPECT_EQ(m_program->waitForExit(3000), 0) << "ends within 3 s, with success\n" << m_program->log();
        EXPECT_TRUE(fs::exists(config)) << "the settings were saved";
        if (fs::exists(usersFile))
        {
            EXPECT_EQ(testsupport::ReadFileBytes(usersFile), "the user's own");
        }
        m_program.reset();
        sqlite3_close(holder); // lets the list go
        holder = nullptr;
    }
}

// A stop right after Save in the dialog. The download the engine ends as
// the window goes (the server sends its rest then) takes its name before
// the program ends, within the stop's 3 s; one whose rest never comes in
// time leaves nothing under the name. Either way no file of the program's
// is left beside it.
TEST_F(ProgramSaveDialogTest, AStopRightAfterASaveLeavesTheWholeFileUnderItsNameOrNothing)
{
    const std::string body(1 << 20, 'm');
    const std::string saved = m_home.file("big.zip");
    auto ourFiles = [&]
    {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(m_home.path()))
            if (entry.path().filename().string().rfind(".kestrova-save-", 0) == 0)
                names.push_back(entry.path().filename().string());
        return names;
    };
    for (const bool restComes : {true, false})
    {
        SCOPED_TRACE(restComes ? "the rest comes as the window goes" : "the rest never comes");
        // The answer's first half, then its rest once the row lets it go.
        std::promise<void> gate;
        auto halfSent = std::make_shared<std::atomic<bool>>(false);
        testsupport::HttpResponse held;
        held.header("Content-Type", "application/zip")
            .header("Content-Disposition", "attachment; filename=big.zip");
        held.body = body;
        held.holdAfter = body.size() / 2;
        held.hold = [released = gate.get_future().share(), halfSent]
        {
            *halfSent = true;
            released.wait_for(std::chrono::seconds(30));
        };
        const std::string path = restComes ? "/get/big/whole" : "/get/big/held";
        m_server.serve(path, held);
        TrayDesktop desktop(m_home.path(), /*withTray=*/false);
        if (!desktop.Missing().empty())
            GTEST_SKIP() << desktop.Missing() << " is not installed";
        ASSERT_TRUE(desktop.IsReady());
        ASSERT_TRUE(StartUntilTheWindowHasFocus(desktop)) << m_program->log();
        ASSERT_TRUE(OpenTheSaveDialog(desktop, path)) << m_program->log();
        ASSERT_TRUE(guitest::RunEventsUntil([&] { return desktop.HasFocus(m_dialog); }, 10000));
        wxUIActionSimulator().Char(WXK_RETURN); // in the name field: Save
        // The engine writes the half sent into a part beside the file.
        ASSERT_TRUE(guitest::RunEventsUntil(
            [&]
            {
                const std::vector<std::string> files = ourFiles();
                return *halfSent && std::any_of(files.begin(), files.end(),
                                                [](const std::string& name)
                                                { return fs::path(name).extension() == ".wkdownload"; });
            },
            30000))
            << m_program->log();

        m_program->signal(SIGTERM);
        if (restComes)
        {
            ASSERT_TRUE(guitest::RunEventsUntil([&] { return desktop.FindWindow("Kestrova") == 0; }, 3000));
            gate.set_value();
        }
        EXPECT_EQ(m_program->waitForExit(3000), 0) << "ends within 3 s, with success\n" << m_program->log();
        if (!restComes)
            gate.set_value();
        EXPECT_EQ(fs::exists(saved), restComes);
        EXPECT_TRUE(!restComes || testsupport::ReadFileBytes(saved) == body);
        EXPECT_EQ(ourFiles(), std::vector<std::string>{});
        fs::remove(saved);
        m_program.reset();
    }
}
