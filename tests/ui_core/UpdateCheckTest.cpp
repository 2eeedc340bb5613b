#include "mainwindow/UpdateCheck.h"

#include "feeds/Preference.h"
#include "common/Messages.h"
#include "support/LocalHttpServer.h"
#include "support/MessageQueue.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using testsupport::FileExists;

namespace
{
class UpdateCheckTest : public testing::Test
{
protected:
    ~UpdateCheckTest() override { CPreference::Release(); }

    // Runs one check against the file served at path; the message it posted.
    uWindowMessage Check(const std::string& path)
    {
        auto queue = std::make_shared<testsupport::MessageQueue>();
        uMessageWindow window(queue);
        uFile target(m_home.file("version-1.txt").c_str());
        update::CVersionCheckTask::Start(uString(m_server.url(path).c_str()), target, window.getHandle());
        EXPECT_TRUE(queue->waitFor(1));
        std::vector<uWindowMessage> messages = queue->take();
        EXPECT_FALSE(FileExists(m_home.file("version-1.txt"))) << "the task removes its file";
        return messages.empty() ? uWindowMessage{} : messages.front();
    }

    bool Offers(const std::string& path)
    {
        uWindowMessage message = Check(path);
        EXPECT_EQ(message.message, WM_APP_VERSIONCHECKED);
        EXPECT_EQ(message.wParam, 1u) << path;
        return message.text && update::IsNewerThanProgram(message.text->c_str());
    }

    testsupport::TempHome m_home;
    testsupport::LocalHttpServer m_server;
};
} // namespace

TEST_F(UpdateCheckTest, OnlyAStrictlyNewerCompleteVersionIsOffered)
{
    m_server.serveContent("/newer", "major=0\nminor=9\nrelease=8\n", "text/plain");
    m_server.serveContent("/same", "major=0\r\nminor=9\r\nrelease=7\r\n", "text/plain");
    m_server.serveContent("/older", "major=0\nminor=8\nrelease=99\n", "text/plain");
    m_server.serveContent("/major", "# published\nrelease=0\nminor=0\nmajor=1\n", "text/plain");
    m_server.serveContent("/last-wins", "major=0\nminor=9\nrelease=9\nrelease=1\n", "text/plain");
    m_server.serveContent("/no-release", "major=0\nminor=10\n", "text/plain");
    m_server.serveContent("/not-a-number", "major=2\nminor=x\nrelease=0\n", "text/plain");

    EXPECT_TRUE(Offers("/newer"));
    EXPECT_FALSE(Offers("/same"));
    EXPECT_FALSE(Offers("/older"));
    EXPECT_TRUE(Offers("/major"));
    EXPECT_FALSE(Offers("/last-wins"));
    // A file lacking a number is never newer, whatever the others say.
    EXPECT_FALSE(Offers("/no-release"));
    EXPECT_FALSE(Offers("/not-a-number"));
}

TEST_F(UpdateCheckTest, AFailedOrEmptyFetchPostsZero)
{
    m_server.serveContent("/empty", "", "text/plain");
    EXPECT_EQ(Check("/missing").wParam, 0u);
    EXPECT_EQ(Check("/empty").wParam, 0u);
}

TEST(UpdateCheckText, PostedVersionsReadBackExactly)
{
    CVersion version;
    ASSERT_TRUE(update::ParsePostedVersion(update::FormatVersion(CVersion(-1, 10, 2147483647)), version));
    EXPECT_EQ(version, CVersion(-1, 10, 2147483647));
    EXPECT_FALSE(update::ParsePostedVersion("", version));
    EXPECT_FALSE(update::ParsePostedVersion("1.2", version));
    EXPECT_FALSE(update::IsNewerThanProgram("0.9.7"));
    EXPECT_TRUE(update::IsNewerThanProgram("0.10.0"));
}
