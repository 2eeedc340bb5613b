// The built program on a desktop with a window manager and a notification
// area: minimised by the window manager, and brought back by a second start.
#include "GuiTestSupport.h"
#include "RealProgram.h"
#include "TrayDesktop.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

using State = TrayDesktop::WindowState;

TEST(ProgramTray, AMinimisedProgramIsInTheTrayAndASecondStartBringsItBack)
{
    testsupport::TempHome home;
    TrayDesktop desktop(home.path());
    if (!desktop.Missing().empty())
        GTEST_SKIP() << desktop.Missing() << " is not installed";
    ASSERT_TRUE(desktop.IsReady());
    const std::string runtime = home.file("run");
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);

    // A first start: no stored window rectangle, so the window shows normally.
    auto first = realprogram::StartKestrova(home.file("first.log"), runtime);
    unsigned long window = 0;
    ASSERT_TRUE(guitest::RunEventsUntil(
        [&]
        {
            window = desktop.FindWindow("Kestrova");
            return window != 0 && desktop.StateOf(window) == State::kNormal;
        },
        30000))
        << first->log();
    if (!first->running())
        GTEST_SKIP() << "another Kestrova of this user took the start over";

    for (int round = 1; round <= 2; ++round)
    {
        SCOPED_TRACE("minimise number " + std::to_string(round));
        desktop.Minimise(window);
        ASSERT_TRUE(guitest::RunEventsUntil(
            [&]
            { return desktop.EmbeddedIcons().size() == 1 && desktop.StateOf(window) == State::kWithdrawn; },
            10000))
            << "the window went into the tray";
        guitest::RunEventsFor(500);
        EXPECT_EQ(desktop.EmbeddedIcons().size(), 1u) << "the icon stays";

        testsupport::ChildProcess second({std::string(std::getenv("KESTROVA_PROGRAM_DIR")) + "/kestrova"},
                                         home.file("second.log"), {"XDG_RUNTIME_DIR=" + runtime});
        EXPECT_EQ(second.waitForExit(10000), 0) << second.log();
        EXPECT_TRUE(guitest::RunEventsUntil(
            [&] { return desktop.StateOf(window) == State::kNormal && desktop.IsOnScreen(window); }, 10000))
            << "the second start brought the window back";
        EXPECT_TRUE(guitest::RunEventsUntil([&] { return desktop.EmbeddedIcons().empty(); }))
            << "the icon left the tray";
    }
    EXPECT_TRUE(first->running());
    first->stop();
}
