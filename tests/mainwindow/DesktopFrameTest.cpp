// The frame's desktop steps on the real window: the registration at start,
// the update check and its question.
#include "CommandIds.h"
#include "FrameFixture.h"
#include "ScriptedPrompt.h"
#include "mainwindow/DesktopIntegration.h"
#include "mainwindow/DesktopShell.h"
#include "mainwindow/MenuBuilder.h"
#include "mainwindow/ProfileStore.h"
#include "mainwindow/UpdateCheck.h"
#include "support/LocalHttpServer.h"

using testsupport::ReadFileBytes;

namespace
{
class DesktopFrameTest : public FrameFixture
{
protected:
    CMainFrame* MakeProfileFrame()
    {
        m_frame = new CMainFrame(m_profile.get(), NoEngine());
        return m_frame;
    }

    std::unique_ptr<CProfileStore> m_profile = std::make_unique<CProfileStore>(m_home.file("profile.ini"));
};
} // namespace

TEST_F(DesktopFrameTest, AStartRegistersTheProgramAndAskedForUpdateOffersTheDownloadPage)
{
    testsupport::LocalHttpServer server;
    server.serveContent("/version.txt", "major=0\nminor=9\nrelease=8\n", "text/plain");
    m_profile->WriteProfileString(update::kProfileSection, update::kVersionUrlEntry,
                                  server.url("/version.txt"));
    m_profile->WriteProfileString(update::kProfileSection, update::kDownloadPageEntry,
                                  "https://kestrova.example/download");
    auto prompt = guitest::ScriptedPrompt::Install();
    auto shell = std::make_shared<CRecordingShell>();
    ui::CScopedShell scopedShell(shell);

    MakeProfileFrame();
    // The start's own check.
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return !prompt->shown.empty(); }, 30000));
    EXPECT_EQ(prompt->shown[0].stringId, 3018);
    EXPECT_EQ(prompt->shown[0].style & (wxYES_NO | wxICON_QUESTION), wxYES_NO | wxICON_QUESTION);
    ASSERT_EQ(shell->GetRequests().size(), 1u);
    EXPECT_EQ(std::string(shell->GetRequests()[0].target.c_str()), "https://kestrova.example/download");

    // Help → Check for Update, answered No: nothing opens.
    prompt->Answer(wxNO);
    wxCommandEvent command(wxEVT_MENU, ui::MenuCommandId(resources::cmd::kCheckForUpdate));
    m_frame->GetEventHandler()->ProcessEvent(command);
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return prompt->shown.size() == 2; }, 30000));
    EXPECT_EQ(shell->GetRequests().size(), 1u);
    EXPECT_EQ(server.requestsFor("/version.txt").size(), 2u);

    // The start wrote the desktop entry into the test's own data folder.
    desktop::CDesktopIntegration desktop(desktop::Folders::FromEnvironment(), "");
    EXPECT_NE(ReadFileBytes(desktop.EntryPath()).find("MimeType=application/rss+xml;text/x-opml+xml;\n"),
              std::string::npos);
    EXPECT_NE(ReadFileBytes(desktop.MimeAppsPath()).find("text/x-opml+xml=kestrova.desktop"),
              std::string::npos);
    ui::CUserPrompt::Install(nullptr);
}

TEST_F(DesktopFrameTest, WithoutAVersionAddressNoCheckIsMade)
{
    testsupport::LocalHttpServer server;
    m_profile->WriteProfileString(update::kProfileSection, update::kDownloadPageEntry, server.url("/page"));
    auto prompt = guitest::ScriptedPrompt::Install();
    MakeProfileFrame();
    guitest::RunEventsFor(300);
    wxCommandEvent command(wxEVT_MENU, ui::MenuCommandId(resources::cmd::kCheckForUpdate));
    m_frame->GetEventHandler()->ProcessEvent(command);
    guitest::RunEventsFor(300);
    EXPECT_TRUE(prompt->shown.empty());
    EXPECT_EQ(server.requestCount(), 0u);
    ui::CUserPrompt::Install(nullptr);
}
