// The real program under the test's X server, ended by SIGKILL as a crash or
// a power cut would end it: what the user changed in the subscription tree
// before is there at the next start.
#include "FrameFixture.h"
#include "RealProgram.h"
#include "mainwindow/InstanceChannel.h"
#include "mainwindow/KestrovaApp.h"
#include "mainwindow/TreeViewEx.h"
#include "support/ChildProcess.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <wx/uiaction.h>

namespace
{
namespace fs = std::filesystem;

// The window at a known place; the tree full of channels, so that a click
// anywhere in its pane lands on one.
constexpr int kWindowWidth = 1000;
constexpr int kWindowHeight = 700;

class ProgramKillTest : public FrameFixture
{
protected:
    ProgramKillTest()
    {
        fs::create_directories(m_runtime);
        fs::permissions(m_runtime, fs::perms::owner_all);
        std::ofstream(m_home.file("Documents/Kestrova/config.xml"))
            << "<?xml version=\"1.0\"?><Preference><window left=\"0\" top=\"0\" width=\"" << kWindowWidth
            << "\" height=\"" << kWindowHeight << "\"/><general nStartupMode=\"0\"/></Preference>\n";
        std::ofstream tree(TreeFile());
        tree << "<?xml version=\"1.0\"?>\n<Kestrova>\n";
        for (int n = 10; n < 70; ++n)
            tree << "  <channel name=\"Channel " << n << "\" type=\"newsfeed\"/>\n";
        tree << "</Kestrova>\n";
    }

    std::string TreeFile() const { return m_home.file("Documents/Kestrova/subscription/config.xml"); }

    std::unique_ptr<testsupport::ChildProcess> StartProgram()
    {
        return realprogram::StartKestrova(m_home.file("kestrova.log"), m_runtime);
    }

    static void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    std::string m_runtime = m_home.file("run");
    testsupport::ScopedEnv m_runtimeEnv{"XDG_RUNTIME_DIR", m_runtime};
};

TEST_F(ProgramKillTest, AWatchCreatedBeforeAKillIsInTheTreeAtTheNextStart)
{
    auto program = StartProgram();
    ASSERT_TRUE(realprogram::WaitUntilListening(*program)) << program->log();
    Pause(2000); // laid out and painted

    // Right-click a channel in the tree pane; "Create New Watch" is the
    // second entry of its menu.
    wxUIActionSimulator input;
    input.MouseMove(wxPoint(60, kWindowHeight / 2));
    Pause(200);
    input.MouseClick(wxMOUSE_BTN_RIGHT);
    Pause(800);
    input.Char(WXK_HOME);
    Pause(100);
    input.Char(WXK_DOWN);
    Pause(100);
    input.Char(WXK_RETURN);
    Pause(1000);

    // The watch dialog opens over the middle of the window: its title field
    // above the middle, the keywords field below that.
    const wxPoint middle(kWindowWidth / 2, kWindowHeight / 2);
    input.MouseMove(middle + wxPoint(60, -63));
    Pause(100);
    input.MouseClick();
    Pause(200);
    input.Text("Lighthouses");
    input.MouseMove(middle + wxPoint(60, -28));
    Pause(100);
    input.MouseClick();
    Pause(200);
    input.Text("lamp");
    input.Char(WXK_RETURN);

    // Written by now, or never: the kill gives the program no chance at all.
    for (int i = 0; i < 50 && testsupport::ReadFileBytes(TreeFile()).find("Lighthouses") == std::string::npos;
         ++i)
        Pause(100);
    program->signal(SIGKILL);
    program->waitForExit(10000);

    CMainFrame* frame = ShowFrame();
    CTreeViewEx* tree = frame->GetTreeView();
    wxTreeItemId watch = frame->FindTreeItem(uString("Lighthouses"), tree->GetFirstTopLevelItem(),
                                             CMainFrame::kFindByLabel, subscription::kWatch);
    ASSERT_TRUE(watch.IsOk()) << testsupport::ReadFileBytes(TreeFile()) << program->log();
    EXPECT_STREQ(tree->GetRecord(watch)->text.c_str(), "lamp");
    EXPECT_TRUE(tree->IsKind(tree->GetItemParent(watch), subscription::kChannel))
        << "under the channel clicked";
}
} // namespace
