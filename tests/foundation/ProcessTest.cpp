#include "foundation/uChildEnvironment.h"
#include "foundation/uProcess.h"
#include "foundation/uThread.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;

namespace
{

std::vector<std::string> Words(const char* commandLine)
{
    std::vector<std::string> words;
    for (const uString& word : SplitCommandLine(commandLine))
        words.emplace_back(word.c_str(), static_cast<size_t>(word.getLength()));
    return words;
}

// Polls until the child is gone from the process table: the reaper has waited for it.
bool Reaped(int pid)
{
    for (int waited = 0; waited < 60000; waited += 10)
    {
        if (::waitpid(pid, nullptr, WNOHANG) < 0 && errno == ECHILD)
            return true;
        SleepMs(10);
    }
    return false;
}

// Polls until the process is gone (IsProcessAlive false); false after a minute.
bool Ended(int pid)
{
    for (int waited = 0; waited < 60000; waited += 10)
    {
        if (!IsProcessAlive(pid))
            return true;
        SleepMs(10);
    }
    return false;
}

std::vector<std::string> OpenDescriptors(int pid)
{
    std::vector<std::string> names;
    if (DIR* folder = ::opendir(("/proc/" + std::to_string(pid) + "/fd").c_str()))
    {
        while (dirent* entry = ::readdir(folder))
            if (entry->d_name[0] != '.')
                names.emplace_back(entry->d_name);
        ::closedir(folder);
    }
    std::sort(names.begin(), names.end());
    return names;
}

char StateOf(int pid)
{
    std::string stat = ReadFileBytes("/proc/" + std::to_string(pid) + "/stat");
    size_t close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() ? 0 : stat[close + 2];
}

} // namespace

TEST(ProcessTest, CommandLinesSplitIntoWordsAtBlanksOutsideQuotes)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(Words("  player  --enqueue\t%f "), (V{"player", "--enqueue", "%f"}));
    EXPECT_EQ(Words("\"/opt/My Player/play\" '%n' \"\""), (V{"/opt/My Player/play", "%n", ""}));
    EXPECT_EQ(Words("a\\ b \"say \\\"hi\\\"\" 'it''s'"), (V{"a b", "say \"hi\"", "its"}));
    EXPECT_EQ(Words("x\"y z\"w"), (V{"xy zw"}));
    EXPECT_TRUE(Words("   ").empty());
    EXPECT_TRUE(Words(nullptr).empty());
}

TEST(ProcessTest, ACommandRunsWithoutAShellAndIsReaped)
{
    TempDir dir;
    const std::string hostile = "\"; touch pwned; \"";
    // As the post-download command does: split the template, then fill in each word.
    std::vector<uString> arguments = SplitCommandLine("touch \"%f/%n\"");
    ASSERT_EQ(arguments.size(), 2u);
    arguments[1].replace("%f", dir.path().c_str());
    arguments[1].replace("%n", hostile.c_str());

    int pid = RunCommandLine(arguments);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(Reaped(pid));
    EXPECT_TRUE(FileExists(dir.path() + "/" + hostile)) << "the value arrived as one argument";
    EXPECT_FALSE(FileExists("pwned"));
    EXPECT_FALSE(FileExists(dir.file("pwned")));

    EXPECT_EQ(RunCommandLine(uString("kestrova-no-such-program --flag")), 0);
    EXPECT_EQ(RunCommandLine(uString("")), 0);

    int other = RunCommandLine(uString(("touch " + dir.file("plain")).c_str()));
    ASSERT_GT(other, 0);
    ASSERT_TRUE(Reaped(other));
    EXPECT_TRUE(FileExists(dir.file("plain")));

    // Waited for, its output and errors nowhere but its exit status kept.
    EXPECT_EQ(RunCommandLineQuietly({uString("sh"), uString("-c"),
                                     uString(("readlink /proc/$$/fd/1 /proc/$$/fd/2 | cat > '" +
                                              dir.file("quiet") + "'; exit 3")
                                                 .c_str())}),
              3);
    EXPECT_EQ(ReadFileBytes(dir.file("quiet")), "/dev/null\n/dev/null\n");
    EXPECT_EQ(RunCommandLineQuietly({uString("kestrova-no-such-program")}), -1);
}

// The program's own library goes from a preload list, whatever separates
// the entries; any other entry, even one that begins as it does, stays.
TEST(ProcessTest, APreloadListLosesTheProgramsOwnLibraryAndNothingElse)
{
    const std::string own = "/opt/kestrova/own.so";
    const std::pair<std::string, std::string> rows[] = {
        {"", ""},
        {own, ""},
        {own + " " + own, ""},
        {"a.so " + own, "a.so"},
        {own + ":a.so", "a.so"},
        {"a.so:" + own + " b.so", "a.so b.so"},
        {" " + own + "::a.so ", " a.so "},
        {"a.so " + own + ".bak /opt/kestrova/own b.so", "a.so " + own + ".bak /opt/kestrova/own b.so"},
        {"  a.so  ", "  a.so  "},
    };
    for (const auto& [list, kept] : rows)
        EXPECT_EQ(WithoutPreloadEntry(list, own), kept) << list;
}

TEST(ProcessTest, ACapturedChildsLinesAreReadBackInOrder)
{
    uProcess child("printf \"one\\ntwo\\nlast\"", "r");
    EXPECT_EQ(child.getState(), uProcess::kStateCommand);
    ASSERT_TRUE(child.start(true));
    EXPECT_EQ(child.getState(), uProcess::kStateRunning);
    char line[64];
    std::vector<std::string> lines;
    while (child.readLine(line, sizeof line))
        lines.emplace_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"one\n", "two\n", "last"}));
    uint32_t exitCode = 99;
    EXPECT_TRUE(child.wait(&exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(child.getState(), uProcess::kStateFinished);

    // A line longer than the buffer arrives in pieces, each leaving room for the NUL.
    int pid = 0;
    int pipe = RunProcessWithPipe("printf \"abcdefg\\n\"", "r", &pid);
    ASSERT_GE(pipe, 0);
    ASSERT_GT(pid, 0);
    char small[8];
    std::vector<std::string> pieces;
    std::memset(small, '#', sizeof small);
    while (ReadPipeLine(small, 4, pipe))
    {
        pieces.emplace_back(small);
        ASSERT_EQ(small[4], '#') << "nothing written past the count";
    }
    EXPECT_EQ(pieces, (std::vector<std::string>{"abc", "def", "g\n"}));
    CloseHandleIfSet(pipe);
    EXPECT_EQ(pipe, -1);

    uProcess failing("false", "");
    ASSERT_TRUE(failing.start(false));
    EXPECT_TRUE(failing.wait(&exitCode));
    EXPECT_EQ(exitCode, 1u);
    EXPECT_EQ(failing.readLine(line, sizeof line), nullptr) << "no pipe";
}

TEST(ProcessTest, AWriteModeChildReadsWhatWeWrite)
{
    TempDir dir;
    int pid = 0;
    int pipe = RunProcessWithPipe(("dd status=none of=" + dir.file("copy")).c_str(), "w", &pid);
    ASSERT_GE(pipe, 0);
    ASSERT_GT(pid, 0);
    const std::string text = "alpha\nbeta\n";
    ASSERT_EQ(::write(pipe, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    CloseHandleIfSet(pipe);
    ASSERT_TRUE(Ended(pid)) << "the child saw the end of its input";
    EXPECT_EQ(ReadFileBytes(dir.file("copy")), text);

    // An unknown mode or program starts nothing.
    EXPECT_EQ(RunProcessWithPipe("cat", "x", &pid), -1);
    EXPECT_EQ(pid, 0);
    EXPECT_EQ(RunProcessWithPipe("kestrova-no-such-program", "r", &pid), -1);
    EXPECT_EQ(pid, 0);
    EXPECT_EQ(RunProcess(""), 0);
}

TEST(ProcessTest, PollKillWaitAndElapsedFollowTheStates)
{
    uProcess empty;
    EXPECT_EQ(empty.getState(), uProcess::kStateCreated);
    EXPECT_FALSE(empty.start(false));
    EXPECT_FALSE(empty.poll());
    EXPECT_FALSE(empty.wait(nullptr));
    EXPECT_EQ(empty.getElapsed(), 0);

    // A descriptor of ours without close-on-exec must not reach the child.
    int stray = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(stray, 3);
    uProcess sleeper("sleep 30", "r");
    ASSERT_TRUE(sleeper.start(true));
    ::close(stray);
    const int pid = sleeper.getProcessId();
    ASSERT_GT(pid, 0);
    // Right after the exec the dynamic loader may still hold a library open
    // as descriptor 3 for a moment: what stays open is what counts.
    std::vector<std::string> descriptors = OpenDescriptors(pid);
    for (int i = 0; i < 200 && descriptors.size() != 3; ++i)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        descriptors = OpenDescriptors(pid);
    }
    EXPECT_EQ(descriptors, (std::vector<std::string>{"0", "1", "2"}));

    EXPECT_TRUE(sleeper.poll());
    EXPECT_TRUE(IsProcessAlive(pid));
    sleeper.detach();
    EXPECT_TRUE(sleeper.poll());
    EXPECT_EQ(sleeper.getState(), uProcess::kStateDetached) << "poll keeps a detached state";
    sleeper.markRunning();
    EXPECT_EQ(sleeper.getState(), uProcess::kStateRunning);

    EXPECT_FALSE(sleeper.kill()) << "kill reports the process no longer running";
    EXPECT_EQ(sleeper.getState(), uProcess::kStateFinished);
    EXPECT_EQ(sleeper.getProcessId(), 0);
    EXPECT_EQ(sleeper.getPipe(), -1);
    EXPECT_EQ(sleeper.getExitCode(), 128u + 9u) << "killed, not a success";
    EXPECT_FALSE(IsProcessAlive(pid));
    EXPECT_FALSE(KillProcess(pid));
    const long elapsed = sleeper.getElapsed();
    EXPECT_GE(elapsed, 0);
    EXPECT_LT(elapsed, 30) << "ended by the kill, not by itself";
    sleeper.stop();
    EXPECT_EQ(sleeper.getState(), uProcess::kStateStopped);

    uProcess nap("sleep 1", "");
    ASSERT_TRUE(nap.start(false));
    uint32_t exitCode = 99;
    EXPECT_TRUE(nap.wait(&exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(nap.getState(), uProcess::kStateFinished);
    EXPECT_GE(nap.getElapsed(), 1);
    EXPECT_FALSE(nap.poll());

    // An end that poll sees has its time as well.
    uProcess quick("true", "");
    ASSERT_TRUE(quick.start(false));
    for (int waited = 0; quick.poll() && waited < 60000; waited += 10)
        SleepMs(10);
    EXPECT_EQ(quick.getState(), uProcess::kStateFinished);
    EXPECT_GE(quick.getElapsed(), 0);
    EXPECT_LT(quick.getElapsed(), 60);

    int orphan = 0;
    {
        uProcess left("sleep 30", "");
        ASSERT_TRUE(left.start(false));
        orphan = left.getProcessId();
    }
    EXPECT_FALSE(IsProcessAlive(orphan)) << "the destructor stops its process";
}

TEST(ProcessTest, ProcessesAreFoundByExecutableNameAndNeverOurselves)
{
    TempDir dir;
    // A copy of sleep under a name no other process on the machine has.
    const std::string name = "KestrovaNap" + std::to_string(::getpid());
    std::filesystem::copy_file("/usr/bin/sleep", dir.file(name));
    std::filesystem::permissions(dir.file(name), std::filesystem::perms::owner_all);
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });

    EXPECT_EQ(FindProcessIdByName(lower.c_str()), 0);
    const int pid = RunProcess((dir.file(name) + " 30").c_str());
    ASSERT_GT(pid, 0);
    EXPECT_EQ(FindProcessIdByName(lower.c_str()), pid);
    EXPECT_TRUE(FindProcessByName(name.c_str()));

    char self[4096];
    ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(length, 0);
    std::string ourName = std::filesystem::path(std::string(self, static_cast<size_t>(length))).filename();
    EXPECT_NE(FindProcessIdByName(ourName.c_str()), static_cast<int>(::getpid()));

    // Activation lets a stopped process run again.
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    for (int waited = 0; StateOf(pid) != 'T' && waited < 60000; waited += 10)
        SleepMs(10);
    ASSERT_EQ(StateOf(pid), 'T');
    EXPECT_EQ(ActivateProcessThreads(pid), 1);
    for (int waited = 0; StateOf(pid) == 'T' && waited < 60000; waited += 10)
        SleepMs(10);
    EXPECT_NE(StateOf(pid), 'T');

    EXPECT_TRUE(KillProcess(pid));
    ASSERT_TRUE(Ended(pid));
    EXPECT_EQ(FindProcessIdByName(lower.c_str()), 0);
    EXPECT_EQ(ActivateProcessThreads(pid), 0);
}
