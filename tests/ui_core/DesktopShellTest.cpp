#include "common/DesktopShell.h"

#include "foundation/uThread.h"
#include "mainwindow/ToolkitEnvironment.h"
#include "support/TempDir.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using testsupport::ReadFileBytes;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace
{
// Waits for the stand-in opener to have written its record.
std::string WaitForFile(const std::string& path)
{
    for (int waited = 0; waited < 60000; waited += 10)
    {
        std::string bytes = ReadFileBytes(path);
        if (!bytes.empty() && bytes.back() == '\n')
            return bytes;
        SleepMs(10);
    }
    return std::string();
}
} // namespace

// A stand-in xdg-open on PATH writes its arguments, one per line: the
// target must arrive as one argument, untouched by any shell.
TEST(DesktopShellTest, TheDesktopOpenerPassesTheTargetAsOneArgumentWithoutAShell)
{
    TempDir dir;
    const std::string record = dir.file("record");
    dir.write("bin/xdg-open", "#!/bin/sh\nfor a in \"$@\"; do printf '%s|' \"$a\"; done > \"" + record +
                                  ".tmp\"\necho >> \"" + record + ".tmp\"\nmv \"" + record + ".tmp\" \"" +
                                  record + "\"\n");
    ASSERT_EQ(::chmod(dir.file("bin/xdg-open").c_str(), 0755), 0);
    ScopedEnv path("PATH", dir.file("bin") + ":" + std::string(getenv("PATH") ? getenv("PATH") : ""));

    const std::string target = dir.path() + "/My Music/a $(touch pwned); b.m3u";
    CDesktopShell shell;
    ASSERT_TRUE(shell.Open(uString(target.c_str())));
    EXPECT_EQ(WaitForFile(record), target + "|\n");
    EXPECT_FALSE(testsupport::FileExists(dir.file("pwned")));

    // A text that xdg-open would read as an option is refused; nothing starts.
    EXPECT_FALSE(shell.Open(uString("--help")));
    EXPECT_FALSE(shell.Explore(uString("")));
}

// The program puts a library of its own into the environment at start, for
// the browser engine's processes, which inherit it. A program it starts (the
// desktop opener here; the player, the post-download command and the rest
// start the same way) inherits the user's preloaded libraries as they were
// and never the program's own.
TEST(DesktopShellTest, AProgramItStartsKeepsTheUsersPreloadedLibrariesButNotTheProgramsOwn)
{
    TempDir dir;
    const std::string record = dir.file("record");
    dir.write("bin/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"${LD_PRELOAD-unset}\" > \"" + record +
                                  ".tmp\"\nmv \"" + record + ".tmp\" \"" + record + "\"\n");
    ASSERT_EQ(::chmod(dir.file("bin/xdg-open").c_str(), 0755), 0);
    ScopedEnv path("PATH", dir.file("bin") + ":" + std::string(getenv("PATH") ? getenv("PATH") : ""));
    const std::string own = std::string(getenv("KESTROVA_PROGRAM_DIR")) + "/kestrova-disposition.so";
    ASSERT_TRUE(testsupport::FileExists(own));

    struct Row
    {
        std::optional<std::string> users; // LD_PRELOAD as the program finds it
        std::string engines;              // as the engine's processes get it
        std::string started;              // as a program the program starts gets it
    };
    const Row rows[] = {
        {std::nullopt, own, "unset"},
        {"libm.so.6", "libm.so.6 " + own, "libm.so.6"},
        {"libz.so.1:libm.so.6", "libz.so.1:libm.so.6 " + own, "libz.so.1:libm.so.6"},
        // Started by a program of ours that had put it there.
        {"libz.so.1 " + own + ":libm.so.6", "libz.so.1 " + own + ":libm.so.6", "libz.so.1:libm.so.6"},
        {own, own, "unset"},
    };
    int serial = 0;
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.users.value_or("unset"));
        ScopedEnv preload("LD_PRELOAD", row.users.value_or(""));
        if (!row.users)
            ::unsetenv("LD_PRELOAD");
        ui::PrepareToolkitEnvironment();
        EXPECT_STREQ(getenv("LD_PRELOAD"), row.engines.c_str());

        ::unlink(record.c_str());
        ASSERT_TRUE(CDesktopShell().Open(uString(dir.file("target" + std::to_string(++serial)).c_str())));
        EXPECT_EQ(WaitForFile(record), row.started + "\n");
    }

    // A program folder whose path the list cannot hold (a blank, a colon):
    // the library stands in it as a link in the user's runtime folder, one
    // for each such folder, which a start from another leaves as it was.
    std::vector<std::pair<std::string, std::string>> links;
    for (const char* folder : {"my programs", "a:b"})
    {
        SCOPED_TRACE(folder);
        const std::string copy = dir.file(std::string(folder) + "/kestrova-disposition.so");
        dir.write(std::string(folder) + "/kestrova-disposition.so", ReadFileBytes(own));
        ASSERT_EQ(::mkdir(dir.file("runtime").c_str(), 0700) == 0 || errno == EEXIST, true);
        ScopedEnv runtime("XDG_RUNTIME_DIR", dir.file("runtime"));
        ScopedEnv programs("KESTROVA_PROGRAM_DIR", dir.file(folder));
        ScopedEnv preload("LD_PRELOAD", "");
        ::unsetenv("LD_PRELOAD");
        ui::PrepareToolkitEnvironment();
        const std::string link = getenv("LD_PRELOAD");
        EXPECT_EQ(link.rfind(dir.file("runtime/kestrova/"), 0), 0u) << link;
        links.emplace_back(link, copy);

        ::unlink(record.c_str());
        ASSERT_TRUE(CDesktopShell().Open(uString(dir.file("target" + std::to_string(++serial)).c_str())));
        EXPECT_EQ(WaitForFile(record), "unset\n");
    }
    for (const auto& [link, copy] : links)
        EXPECT_EQ(std::filesystem::read_symlink(link), copy) << link;

    // With no runtime folder, a temporary folder open to all without its
    // sticky bit, or another user's: they could rename the user's folder in it
    // away and put theirs with their own library in its place.
    const std::string uid = std::to_string(::getuid());
    for (const std::string how : {"open", "others"})
    {
        SCOPED_TRACE(how);
        const std::string temporary = dir.file("tmp-" + how);
        ASSERT_EQ(::mkdir(temporary.c_str(), 0755), 0);
        ASSERT_EQ(::mkdir((temporary + "/kestrova-" + uid).c_str(), 0700), 0);
        if (how == "open" ? ::chmod(temporary.c_str(), 0777) != 0
                          : ::chown(temporary.c_str(), 4242, 4242) != 0)
            continue; // only root can make another user's folder
        ScopedEnv runtime("XDG_RUNTIME_DIR", "");
        ::unsetenv("XDG_RUNTIME_DIR");
        ScopedEnv temporaryEnv("TMPDIR", temporary);
        ScopedEnv programs("KESTROVA_PROGRAM_DIR", dir.file("a:b"));
        ScopedEnv preload("LD_PRELOAD", "");
        ::unsetenv("LD_PRELOAD");
        ui::PrepareToolkitEnvironment();
        const std::string entry = getenv("LD_PRELOAD");
        EXPECT_EQ(entry.rfind("/proc/", 0), 0u) << entry;
    }
}

TEST(DesktopShellTest, AnInstalledOpenerReceivesTheRequestsUntilItIsRemoved)
{
    auto recording = std::make_shared<CRecordingShell>();
    {
        ui::CScopedShell installed(recording);
        EXPECT_TRUE(ui::GetShell().Open(uString("/library/Kestrova.m3u")));
        EXPECT_TRUE(ui::GetShell().Explore(uString("/library/My Music")));
    }
    EXPECT_NE(&ui::GetShell(), recording.get());
    auto requests = recording->GetRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].verb, CRecordingShell::Request::kOpen);
    EXPECT_STREQ(requests[0].target.c_str(), "/library/Kestrova.m3u");
    EXPECT_EQ(requests[1].verb, CRecordingShell::Request::kExplore);
    EXPECT_STREQ(requests[1].target.c_str(), "/library/My Music");
}
