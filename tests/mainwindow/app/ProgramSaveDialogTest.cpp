// The real program on a desktop, asked where to save a download of the
// browser pane: Save saves at once, with nothing of the toolkit's in the
// way, and a stop signal while the dialog waits ends the program as
// File > Exit does, with nothing saved.
#include "GuiTestSupport.h"
#include "RealProgram.h"
#include "TrayDesktop.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <wx/uiaction.h>

namespace
{
namespace fs = std::filesystem;
using State = TrayDesktop::WindowState;
const std::string kBody(50000, 'z');

class ProgramSaveDialogTest : public testing::Test
{
protected:
    ProgramSaveDialogTest()
    {
        fs::create_directories(m_runtime);
        fs::permissions(m_runtime, fs::perms::owner_all);
        testsupport::HttpResponse attachment;
        attachment.header("Content-Type", "application/zip")
            .header("Content-Disposition", "attachment; filename=pack.zip");
        attachment.body = kBody;
        m_server.serve("/get/pack", attachment);
    }

    // Starts the program and gives its browser pane the address of a file
    // it saves, as the user does (F7 goes to the address box): true once
    // the save dialog shows.
    bool StartUntilTheSaveDialogShows(TrayDesktop& desktop)
    {
        m_program = realprogram::StartKestrova(m_home.file("kestrova.log"), m_runtime);
        unsigned long window = 0;
        if (!realprogram::WaitUntilListening(*m_program) ||
            !guitest::RunEventsUntil(
                [&]
                {
                    window = desktop.FindWindow("Kestrova");
                    return window != 0 && desktop.StateOf(window) == State::kNormal &&
                           desktop.HasFocus(window);
                },
                30000))
            return false;
        wxUIActionSimulator keys;
        keys.Char(WXK_F7);
        keys.Text(m_server.url("/get/pack").c_str());
        keys.Char(WXK_RETURN);
        return guitest::RunEventsUntil([&] { return desktop.FindWindow("Select a file") != 0; }, 30000);
    }

    testsupport::TempHome m_home;
    std::string m_runtime = m_home.file("run");
    testsupport::ScopedEnv m_runtimeEnv{"XDG_RUNTIME_DIR", m_runtime};
    testsupport::LocalHttpServer m_server;
    std::unique_ptr<testsupport::ChildProcess> m_program;
};
} // namespace

TEST_F(ProgramSaveDialogTest, ASigtermWhileTheSaveDialogWaitsEndsTheProgram)
{
    TrayDesktop desktop(m_home.path(), /*withTray=*/false);
    if (!desktop.Missing().empty())
        GTEST_SKIP() << desktop.Missing() << " is not installed";
    ASSERT_TRUE(desktop.IsReady());
    ASSERT_TRUE(StartUntilTheSaveDialogShows(desktop)) << m_program->log();

    m_program->signal(SIGTERM);
    EXPECT_EQ(m_program->waitForExit(30000), 0) << "ends by itself, with success\n" << m_program->log();
    EXPECT_FALSE(fs::exists(m_home.file("pack.zip")));
}

TEST_F(ProgramSaveDialogTest, SaveInTheDialogSavesTheDownloadAtOnce)
{
    TrayDesktop desktop(m_home.path(), /*withTray=*/false);
    if (!desktop.Missing().empty())
        GTEST_SKIP() << desktop.Missing() << " is not installed";
    ASSERT_TRUE(desktop.IsReady());
    ASSERT_TRUE(StartUntilTheSaveDialogShows(desktop)) << m_program->log();

    ASSERT_TRUE(guitest::RunEventsUntil([&] { return desktop.HasFocus(desktop.FindWindow("Select a file")); },
                                        10000));
    wxUIActionSimulator keys;
    keys.Char(WXK_RETURN); // in the name field: Save
    EXPECT_TRUE(guitest::RunEventsUntil(
        [&] { return testsupport::ReadFileBytes(m_home.file("pack.zip")) == kBody; }, 30000))
        << m_program->log();
    m_program->signal(SIGTERM);
    EXPECT_EQ(m_program->waitForExit(30000), 0) << m_program->log();
    EXPECT_EQ(m_program->log().find("assertion"), std::string::npos) << m_program->log();
}
