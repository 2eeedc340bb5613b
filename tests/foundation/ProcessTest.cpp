#include "foundation/uProcess.h"
#include "foundation/uThread.h"
#include "support/TempDir.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <vector>

using testsupport::FileExists;
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
}
