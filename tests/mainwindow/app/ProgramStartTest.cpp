// The real program started under the test's X server, as a user starts it:
// its start writes no toolkit complaints, with or without a window manager.
#include "RealProgram.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <thread>

namespace
{

// Starts kestrova in a fresh HOME, lets it lay out and paint, stops it and
// checks what it printed.
void ExpectAQuietStart(const testsupport::TempHome& home)
{
    const std::string runtime = home.file("run");
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    const std::string data = home.file("Documents/Kestrova");
    auto started = realprogram::StartKestrova(home.file("start.log"), runtime);
    testsupport::ChildProcess& program = *started;
    // Up when it has made its data folder; then let it lay out and paint.
    for (int i = 0; i < 100 && !std::filesystem::exists(data); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::this_thread::sleep_for(std::chrono::seconds(3));
    if (!program.running())
        GTEST_SKIP() << "another Kestrova of this user took the start over";
    program.stop();
    std::istringstream log(program.log());
    for (std::string line; std::getline(log, line);)
    {
        EXPECT_EQ(line.find("Gtk-CRITICAL"), std::string::npos) << line;
        EXPECT_EQ(line.find("Gtk-WARNING"), std::string::npos) << line;
        EXPECT_EQ(line.find("Invalid rectangle"), std::string::npos) << line;
    }
}

} // namespace

TEST(ProgramStart, AStartPrintsNoToolkitWarnings)
{
    testsupport::TempHome home;
    ExpectAQuietStart(home);
}

// A window manager that reports frame extents changes how the toolkit shows
// the first frame (it used to lay the frame out at 2x1 pixels first).
TEST(ProgramStart, AStartUnderAWindowManagerPrintsNoToolkitWarnings)
{
    const char* windowManager = "/usr/bin/openbox";
    if (!std::filesystem::exists(windowManager))
        GTEST_SKIP() << "openbox is not installed";
    testsupport::TempHome home;
    auto manager = std::make_unique<testsupport::ChildProcess>(std::vector<std::string>{windowManager},
                                                               home.file("openbox.log"));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    ASSERT_TRUE(manager->running()) << manager->log();
    ExpectAQuietStart(home);
    manager->stop();
}
