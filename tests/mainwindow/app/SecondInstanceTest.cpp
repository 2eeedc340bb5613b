#include "FakeTrayHost.h"
#include "FrameFixture.h"
#include "common/Messages.h"
#include "mainwindow/AppActivation.h"
#include "mainwindow/InstanceChannel.h"
#include "mainwindow/KestrovaApp.h"
#include "support/ChildProcess.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace
{
// This process plays the running program: the real channel and a real main
// frame. The later start is the real program.
class SecondInstanceTest : public FrameFixture
{
protected:
    void SetUp() override
    {
        CMainFrame& frame = *ShowFrame();
        frame.SetMessageObserver(
            [this](const CFrameMessage& message)
            {
                if (message.text != nullptr)
                    m_opened.push_back({message.message, message.text->c_str()});
            });
        CInstanceChannel::Role role =
            m_channel.Start(CKestrovaApp::kInstanceGuid, "",
                            [this](std::string path)
                            {
                                m_frame->CallAfter(
                                    [this, path]
                                    {
                                        if (m_frame)
                                            app::ActivateFirstInstance(*m_frame, path);
                                    });
                            });
        if (role == CInstanceChannel::Role::kSecond)
            GTEST_SKIP() << "a Kestrova of this user runs already";
        ASSERT_EQ(role, CInstanceChannel::Role::kFirst);
    }
    void TearDown() override
    {
        m_channel.Stop();
        FrameFixture::TearDown();
    }

    // Runs the program as a later start; its exit status, -1 when it still
    // ran after the bound.
    int StartSecond(const std::vector<std::string>& arguments, int boundMs)
    {
        std::vector<std::string> argv = {std::string(std::getenv("KESTROVA_PROGRAM_DIR")) + "/kestrova"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        testsupport::ChildProcess second(argv, m_home.file("second.log"));
        int status = second.waitForExit(boundMs);
        if (status != 0)
            ADD_FAILURE() << second.log();
        return status;
    }

    CInstanceChannel m_channel;
    std::vector<std::pair<std::uint32_t, std::string>> m_opened;
};
} // namespace

TEST_F(SecondInstanceTest, ASecondStartHandsItsFileToTheFirstAndEndsAtOnce)
{
    const std::string path = m_home.file("Podcast Feeds/news.RSS");
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());

    EXPECT_EQ(StartSecond({path}, 2000), 0) << "ends with success within 2 s";
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return !m_opened.empty(); }));
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(m_opened[0].first, WM_APP_OPENRSSFILE) << "routed by its extension";
    EXPECT_EQ(m_opened[0].second, path);
}

TEST_F(SecondInstanceTest, ASecondStartWithoutAFileBringsTheHiddenWindowBack)
{
    FakeTrayHost tray;
    ASSERT_TRUE(tray.IsRunning());
    m_frame->OnMinimised();
    ASSERT_TRUE(guitest::RunEventsUntil(
        [&]
        {
            tray.Pump();
            return !m_frame->IsShown();
        }));

    EXPECT_EQ(StartSecond({}, 10000), 0);
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return m_frame->IsShown(); }));
    EXPECT_FALSE(m_frame->IsHiddenInTray());
    EXPECT_TRUE(m_opened.empty());
}
