#include "foundation/uMutex.h"
#include "foundation/uProcess.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace
{

// The lock files go to a runtime folder of the test's own; the name needs escaping.
class NamedMutexTest : public ::testing::Test
{
protected:
    TempDir m_runtime;
    ScopedEnv m_runtimeEnv{"XDG_RUNTIME_DIR", m_runtime.path()};
    const std::string m_name = "Kestrova Test/Mutex";

    std::string probeCommand(const char* arguments) const
    {
        return std::string("\"") + KESTROVA_MUTEX_PROBE + "\" \"" + m_name + "\" " + arguments;
    }

    // The probe's one line and its exit code, from another process.
    std::string probe(const char* arguments, uint32_t* exitCode)
    {
        uProcess process(probeCommand(arguments).c_str(), "r");
        if (!process.start(true))
            return "not started";
        char line[32];
        std::string said = process.readLine(line, sizeof line) ? line : "";
        process.wait(exitCode);
        return said;
    }
};

} // namespace

TEST_F(NamedMutexTest, AMutexHeldHereBlocksAnotherProcessUntilItIsUnlocked)
{
    uMutex mine(m_name.c_str());
    ASSERT_EQ(mine.getState(), uMutex::kStateHeld);

    uint32_t exitCode = 99;
    EXPECT_EQ(probe("try 100", &exitCode), "busy\n");
    EXPECT_EQ(exitCode, 1u);

    EXPECT_EQ(mine.unlock(), uMutex::kErrorNone);
    EXPECT_EQ(probe("try 100", &exitCode), "held\n");
    EXPECT_EQ(exitCode, 0u);
    // The probe has ended and let go: this process takes it again.
    EXPECT_TRUE(mine.tryLock());
}

TEST_F(NamedMutexTest, AMutexHeldByAnotherProcessIsFreeOnceThatProcessDies)
{
    uProcess holder(probeCommand("hold").c_str(), "r");
    ASSERT_TRUE(holder.start(true));
    char line[32];
    ASSERT_NE(holder.readLine(line, sizeof line), nullptr);
    ASSERT_STREQ(line, "held\n");

    uMutex mine(m_name.c_str());
    EXPECT_EQ(mine.getState(), uMutex::kStateInitial) << "opened, not owned";
    EXPECT_EQ(mine.getOwner(), 0u);
    EXPECT_FALSE(mine.tryLock());
    EXPECT_EQ(mine.lockFor(50, 0), uMutex::kErrorWait);

    holder.kill();
    EXPECT_EQ(mine.lockFor(30000, 0), uMutex::kErrorNone);
    EXPECT_EQ(mine.getState(), uMutex::kStateHeld);
    // Another object of the name in this process is the same mutex: its owner passes.
    uMutex again(m_name.c_str());
    EXPECT_EQ(again.getState(), uMutex::kStateHeld);
    EXPECT_EQ(again.lock(), uMutex::kErrorNone);
}

// With no runtime folder, the lock files go into the user's folder in the
// temporary folder only where nobody else can rename that folder away and
// put theirs in its place: not in one open to all without its sticky bit, nor
// in another user's, nor through another user's link in a shared folder.
TEST_F(NamedMutexTest, NoLockFileGoesWhereAnotherUserCouldSwapItsFolder)
{
    const std::string uid = std::to_string(::getuid());
    for (const std::string how : {"open", "others", "linked"})
    {
        SCOPED_TRACE(how);
        TempDir temporary;
        TempDir shared;
        ASSERT_EQ(::mkdir(temporary.file("kestrova-" + uid).c_str(), 0700), 0);
        std::string named = how == "linked" ? shared.file("tmp") : temporary.path();
        if (how == "linked" && (::chmod(shared.path().c_str(), 01777) != 0 ||
                                ::symlink(temporary.path().c_str(), named.c_str()) != 0))
            FAIL();
        if (how == "open"     ? ::chmod(named.c_str(), 0777) != 0
            : how == "others" ? ::chown(named.c_str(), 4242, 4242) != 0
                              : ::lchown(named.c_str(), 4242, 4242) != 0)
            continue; // only root can make another user's folder
        testsupport::TempHome home;
        ScopedEnv cache("XDG_CACHE_HOME", home.file(".cache"));
        ScopedEnv temporaryEnv("TMPDIR", named);
        ScopedEnv runtime("XDG_RUNTIME_DIR", "");
        ::unsetenv("XDG_RUNTIME_DIR");
        uMutex mine((m_name + how).c_str());
        EXPECT_EQ(mine.getState(), uMutex::kStateHeld) << "the lock stands elsewhere";
        EXPECT_TRUE(std::filesystem::is_empty(temporary.file("kestrova-" + uid)));
    }
}
