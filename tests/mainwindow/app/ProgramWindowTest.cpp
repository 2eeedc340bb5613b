// The real program under a window manager that frames its windows: the
// rectangle it stores at exit (the frame's place, the window's size inside
// it) is the one it shows at the next start, restart after restart, however
// it is ended.
#include "GuiTestSupport.h"
#include "RealProgram.h"
#include "TrayDesktop.h"
#include "mainwindow/ProfileStore.h"
#include "support/TempDir.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <regex>
#include <string>
#include <wx/uiaction.h>

namespace
{

namespace fs = std::filesystem;

// The window section of config.xml as left, top, width and height.
wxRect StoredRect(const std::string& configPath)
{
    std::ifstream in(configPath);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    std::smatch element;
    if (!std::regex_search(text, element, std::regex("<window [^>]*>")))
        return {};
    const std::string attributes = element.str();
    auto number = [&](const char* name)
    {
        std::smatch value;
        return std::regex_search(attributes, value, std::regex(std::string(name) + "=\"(-?[0-9]+)\""))
                   ? std::stoi(value[1])
                   : -1;
    };
    return wxRect(number("left"), number("top"), number("width"), number("height"));
}

std::string Describe(const wxRect& rect)
{
    return std::to_string(rect.x) + "," + std::to_string(rect.y) + " " + std::to_string(rect.width) + "x" +
           std::to_string(rect.height);
}

// A window set to a size that its long feed titles would outgrow, with the
// German interface chosen.
struct GermanSetting
{
    const wxRect given{60, 50, 960, 700};
    const std::string config;

    explicit GermanSetting(const testsupport::TempHome& home)
        : config(home.file("Documents/Kestrova/config.xml"))
    {
        CProfileStore profile(CProfileStore::DefaultPath());
        profile.WriteProfileInt("", "LanguageId", 0x0407);
        profile.Flush();
        fs::create_directories(home.file("Documents/Kestrova/subscription"));
        StoreGivenRect();
        std::ofstream tree(home.file("Documents/Kestrova/subscription/config.xml"));
        tree << "<?xml version=\"1.0\"?>\n<Kestrova>\n";
        for (int n = 1; n <= 5; ++n)
            tree << "  <channel name=\"The Long Weekly Report on Lighthouses, Harbours and Coastal Weather, "
                    "Part "
                 << n << "\" type=\"newsfeed\"/>\n";
        tree << "</Kestrova>\n";
    }

    // Started shown, or (1, as a new user's setting is) into the tray.
    void StoreGivenRect(int startupMode = 0) const
    {
        std::ofstream(config) << "<?xml version=\"1.0\"?><Preference><window left=\"60\" top=\"50\" "
                                 "width=\"960\" height=\"700\"/><general nStartupMode=\""
                              << startupMode << "\"/></Preference>\n";
    }
};

enum class Ending
{
    kMenu,         // File > Exit, typed as a user does
    kSignal,       // SIGTERM, as a logout sends
    kSignalAtOnce, // SIGTERM as soon as the window is on the screen
};

} // namespace

TEST(ProgramWindow, TheStoredRectangleIsTheOneShownAtEveryRestart)
{
    testsupport::TempHome home;
    TrayDesktop desktop(home.path(), /*withTray=*/false);
    if (!desktop.Missing().empty())
        GTEST_SKIP() << desktop.Missing() << " is not installed";
    ASSERT_TRUE(desktop.IsReady());
    const std::string runtime = home.file("run");
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    const std::string config = home.file("Documents/Kestrova/config.xml");
    fs::create_directories(home.file("Documents/Kestrova"));
    const wxRect given(100, 80, 1000, 700);
    std::ofstream(config) << "<?xml version=\"1.0\"?><Preference><window left=\"100\" top=\"80\" "
                             "width=\"1000\" height=\"700\"/><general nStartupMode=\"0\"/></Preference>\n";

    const Ending endings[] = {Ending::kMenu, Ending::kSignal, Ending::kSignalAtOnce, Ending::kMenu,
                              Ending::kSignal};
    int round = 0;
    wxRect framedBefore;
    for (Ending ending : endings)
    {
        SCOPED_TRACE("start number " + std::to_string(++round));
        auto program = realprogram::StartKestrova(home.file("kestrova.log"), runtime);
        unsigned long window = 0;
        ASSERT_TRUE(guitest::RunEventsUntil(
            [&]
            {
                window = desktop.FindWindow("Kestrova");
                return window != 0 && desktop.StateOf(window) == TrayDesktop::WindowState::kNormal &&
                       desktop.IsOnScreen(window);
            },
            30000))
            << program->log();
        if (ending != Ending::kSignalAtOnce)
        {
            // The window at the stored size, its frame at the stored place;
            // the frame comes a moment after the window shows.
            EXPECT_TRUE(guitest::RunEventsUntil(
                [&]
                {
                    const wxRect framed = desktop.FramedRectOf(window);
                    return desktop.SizeOf(window) == given.GetSize() &&
                           framed.GetPosition() == given.GetPosition() && framed.GetSize() != given.GetSize();
                },
                5000))
                << "framed at " << Describe(desktop.FramedRectOf(window)) << ", window "
                << Describe(wxRect(wxPoint(), desktop.SizeOf(window)));
            if (framedBefore.IsEmpty())
                framedBefore = desktop.FramedRectOf(window);
            EXPECT_EQ(Describe(desktop.FramedRectOf(window)), Describe(framedBefore))
                << "as at the first start";
        }
        if (ending == Ending::kMenu)
        {
            const int popups = desktop.PopupsShown();
            wxUIActionSimulator keys;
            keys.Char('f', wxMOD_ALT);
            EXPECT_TRUE(guitest::RunEventsUntil([&] { return desktop.PopupsShown() > popups; }))
                << "the File menu opened";
            keys.Char('x');
        }
        else
        {
            program->signal(SIGTERM);
        }
        EXPECT_EQ(program->waitForExit(60000), 0) << program->log();
        EXPECT_EQ(Describe(StoredRect(config)), Describe(given));
    }
}

TEST(ProgramWindow, InGermanRestartsAndATrayRoundTripKeepTheStoredSize)
{
    if (!fs::exists(std::string(std::getenv("KESTROVA_PROGRAM_DIR")) + "/languages/de.mo"))
        GTEST_SKIP() << "the build made no catalogs (msgfmt missing)";
    testsupport::TempHome home;
    TrayDesktop desktop(home.path());
    if (!desktop.Missing().empty())
        GTEST_SKIP() << desktop.Missing() << " is not installed";
    ASSERT_TRUE(desktop.IsReady());
    const std::string runtime = home.file("run");
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    const GermanSetting setting(home);
    const std::string& config = setting.config;

    auto shownNormally = [&](unsigned long& window)
    {
        return guitest::RunEventsUntil(
            [&]
            {
                window = desktop.FindWindow("Kestrova");
                return window != 0 && desktop.StateOf(window) == TrayDesktop::WindowState::kNormal &&
                       desktop.IsOnScreen(window);
            },
            30000);
    };
    // The size is the one shown when the window is on the screen: a window
    // that grew at its showing is stored grown.
    for (int round = 1; round <= 5; ++round)
    {
        SCOPED_TRACE("start number " + std::to_string(round));
        auto program = realprogram::StartKestrova(home.file("kestrova.log"), runtime);
        unsigned long window = 0;
        ASSERT_TRUE(shownNormally(window)) << program->log();
        program->signal(SIGTERM);
        EXPECT_EQ(program->waitForExit(60000), 0) << program->log();
        EXPECT_EQ(Describe(StoredRect(config)), Describe(setting.given));
    }

    // The tray round trip on its own, from the given size: minimised by the
    // user, then started into the tray (as a new user's setting does).
    for (int startupMode : {0, 1})
    {
        SCOPED_TRACE("nStartupMode " + std::to_string(startupMode));
        setting.StoreGivenRect(startupMode);
        auto program = realprogram::StartKestrova(home.file("kestrova.log"), runtime);
        unsigned long window = 0;
        if (startupMode == 0)
        {
            ASSERT_TRUE(shownNormally(window)) << program->log();
            desktop.Minimise(window);
        }
        ASSERT_TRUE(guitest::RunEventsUntil(
            [&]
            {
                return desktop.EmbeddedIcons().size() == 1 &&
                       (window == 0 || desktop.StateOf(window) == TrayDesktop::WindowState::kWithdrawn);
            },
            30000))
            << "the window went into the tray";
        testsupport::ChildProcess second({std::string(std::getenv("KESTROVA_PROGRAM_DIR")) + "/kestrova"},
                                         home.file("second.log"), {"XDG_RUNTIME_DIR=" + runtime});
        EXPECT_EQ(second.waitForExit(10000), 0) << second.log();
        ASSERT_TRUE(shownNormally(window)) << "the second start brought the window back";
        program->signal(SIGTERM);
        EXPECT_EQ(program->waitForExit(60000), 0) << program->log();
        EXPECT_EQ(Describe(StoredRect(config)), Describe(setting.given)) << "after the tray";
    }
}
