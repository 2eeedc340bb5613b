#include "dialogs/FeedBrowserDlg.h"

#include "GuiTestSupport.h"
#include "ModalDriver.h"
#include "ScriptedPrompt.h"
#include "SlowFetch.h"
#include "common/Messages.h"
#include "foundation/uFile.h"
#include "mainwindow/WindowTranslator.h"
#include "support/GermanInterface.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/textctrl.h>

using guitest::Press;
using guitest::RunModal;

namespace
{
const char* const kDirectory = R"(<opml><head><title>Loopback directory</title></head><body>
<outline text="Folder"><outline type="rss" text="A feed" xmlUrl="http://127.0.0.1:9/feed.xml"/>
<outline type="rss" text="Gopher feed" xmlUrl="gopher://127.0.0.1:9/1/feed"/></outline>
</body></opml>)";

class FeedBrowserDlgTest : public testing::Test
{
protected:
    FeedBrowserDlgTest()
    {
        m_parent = new wxFrame(nullptr, wxID_ANY, "Kestrova", wxPoint(20, 20), wxSize(700, 500));
        m_parent->Show();
        m_server.serveContent("/directory.opml", kDirectory, "text/x-opml");
        m_server.serveContent("/feed.xml", "<rss version=\"2.0\"><channel><title>t</title></channel></rss>",
                              "text/xml");
        std::ofstream(m_dir.file("directory.xml"))
            << "<KestDirectory><directory name=\"Kept\" url=\"" << m_server.url("/directory.opml")
            << "\" status=\"expand\"/></KestDirectory>";
    }
    ~FeedBrowserDlgTest() override { guitest::DestroyWindow(m_parent); }

    std::unique_ptr<CFeedBrowserDlg> Make()
    {
        return std::make_unique<CFeedBrowserDlg>(
            m_parent,
            [this](std::uint32_t message, const uString& url) { sent.emplace_back(message, url.c_str()); },
            uString(m_dir.file("directory.xml").c_str()), uString(m_dir.file("cache").c_str()));
    }
    static wxTreeItemId FirstChild(wxTreeCtrl* tree, const wxTreeItemId& item)
    {
        wxTreeItemIdValue cookie;
        return tree->GetFirstChild(item, cookie);
    }
    void Add(CFeedBrowserDlg& dialog, const std::string& url)
    {
        wxDynamicCast(dialog.FindWindow(CFeedBrowserDlg::kUrlEdit), wxTextCtrl)->ChangeValue(url);
        Press(dialog, CFeedBrowserDlg::kAddButton);
    }

    guitest::PromptReset m_reset;
    std::shared_ptr<guitest::ScriptedPrompt> m_prompt = guitest::ScriptedPrompt::Install();
    testsupport::LocalHttpServer m_server;
    testsupport::TempDir m_dir;
    wxFrame* m_parent = nullptr;
    std::vector<std::pair<std::uint32_t, std::string>> sent;
};

TEST_F(FeedBrowserDlgTest, AKeptDirectoryOpensFromTheCacheAndItsFeedIsOffered)
{
    std::string before = testsupport::ReadFileBytes(m_dir.file("directory.xml"));
    auto dialog = Make();
    wxTreeCtrl* tree = dialog->GetTree();
    wxTreeItemId kept = FirstChild(tree, tree->GetRootItem());
    ASSERT_TRUE(kept.IsOk());
    EXPECT_TRUE(tree->IsExpanded(kept));
    wxTreeItemId feed = FirstChild(tree, FirstChild(tree, kept));
    ASSERT_TRUE(feed.IsOk());
    tree->SelectItem(feed);
    Press(*dialog, CFeedBrowserDlg::kSubscribeButton);
    wxCommandEvent viewSource(wxEVT_MENU, CFeedBrowserDlg::kViewSource);
    dialog->ProcessWindowEvent(viewSource);
    // Any address is an entry: only the subscription refuses what is no feed.
    wxTreeItemId gopher = tree->GetNextSibling(feed);
    ASSERT_TRUE(gopher.IsOk());
    EXPECT_EQ(tree->GetItemImage(gopher), 7);
    tree->SelectItem(gopher);
    EXPECT_TRUE(dialog->FindWindow(CFeedBrowserDlg::kSubscribeButton)->IsEnabled());
    Press(*dialog, CFeedBrowserDlg::kSubscribeButton);
    EXPECT_TRUE(m_prompt->Ids().empty()) << "opening the directory warns of nothing";
    using Sent = std::pair<std::uint32_t, std::string>;
    EXPECT_EQ(sent, (std::vector<Sent>{{WM_APP_SUBSCRIBEURL, "http://127.0.0.1:9/feed.xml"},
                                       {WM_APP_VIEWSOURCE, "http://127.0.0.1:9/feed.xml"},
                                       {WM_APP_SUBSCRIBEURL, "gopher://127.0.0.1:9/1/feed"}}));

    // Refresh within the day reads the cache: no second download.
    tree->SelectItem(kept);
    Press(*dialog, CFeedBrowserDlg::kRefreshButton);
    EXPECT_TRUE(FirstChild(tree, kept).IsOk());
    EXPECT_EQ(m_server.requestsFor("/directory.opml").size(), 1u);

    // What Add cannot use is said, and kept nowhere.
    Add(*dialog, m_server.url("/missing.opml"));
    Add(*dialog, m_server.url("/feed.xml"));
    EXPECT_EQ(m_prompt->Ids(), (std::vector<int>{3004, 3003}));
    EXPECT_EQ(tree->GetChildrenCount(tree->GetRootItem(), false), 1u);

    // Esc leaves the file as it was.
    RunModal(*dialog, {[](wxDialog& shown)
                       {
                           wxKeyEvent escape(wxEVT_CHAR_HOOK);
                           escape.m_keyCode = WXK_ESCAPE;
                           shown.ProcessWindowEvent(escape);
                       }});
    EXPECT_EQ(testsupport::ReadFileBytes(m_dir.file("directory.xml")), before);
}

// Both captions in German: the directory document's, shown when it opens, and
// the service's with the chosen directory's name.
TEST_F(FeedBrowserDlgTest, InGermanTheCaptionsAreGermanWithTheirNames)
{
    testsupport::GermanInterface german;
    ASSERT_TRUE(german.loaded);
    ui::InstallWindowTranslator();
    auto dialog = Make();
    wxTreeCtrl* tree = dialog->GetTree();
    std::string opened;
    std::string chosen;
    RunModal(*dialog, {[&](wxDialog& shown)
                       {
                           opened = shown.GetTitle().utf8_string();
                           tree->SelectItem(FirstChild(tree, tree->GetRootItem()));
                           chosen = shown.GetTitle().utf8_string();
                       }});
    EXPECT_EQ(opened, "Feed-Verzeichnis : Loopback directory");
    EXPECT_EQ(chosen, "Newsfeed-Verzeichnisdienst : Kept");
}

TEST_F(FeedBrowserDlgTest, CloseKeepsTheDirectoriesAndTheirState)
{
    auto dialog = Make();
    Add(*dialog, m_server.url("/directory.opml"));
    wxTreeCtrl* tree = dialog->GetTree();
    wxTreeItemId kept = FirstChild(tree, tree->GetRootItem());
    tree->Collapse(kept);
    EXPECT_EQ(RunModal(*dialog, {[](wxDialog& shown) { Press(shown, wxID_OK); }}), wxID_OK);

    std::vector<feeddirectory::Entry> entries;
    ASSERT_TRUE(feeddirectory::ReadFile(m_dir.file("directory.xml").c_str(), entries));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_STREQ(entries[0].name.c_str(), "Kept");
    EXPECT_FALSE(entries[0].expanded);
    EXPECT_STREQ(entries[1].name.c_str(), "Loopback directory");
    EXPECT_TRUE(entries[1].expanded);
}

// A directory server that trickles and then stalls: the dialog stays alive (a
// timer fires) and Cancel in the progress dialog ends the download with no
// cache file, no entry and no message, both for Add and for a kept directory
// that opens with the dialog.
TEST_F(FeedBrowserDlgTest, ASlowDirectoryCanBeCancelledAndLeavesNothing)
{
    auto gate = std::make_shared<guitest::ResponseGate>();
    testsupport::LocalHttpServer slow;
    guitest::GateOpener opener{gate};
    slow.serve("/slow.opml", guitest::TricklingResponse(kDirectory, "text/x-opml", gate));
    const uString url(slow.url("/slow.opml").c_str());
    const uString cache = feeddirectory::CachePath(uString(m_dir.file("cache").c_str()), url);
    {
        auto dialog = Make();
        wxTreeCtrl* tree = dialog->GetTree();
        {
            guitest::CancelProgressOnTick user;
            Add(*dialog, slow.url("/slow.opml"));
            EXPECT_TRUE(user.cancelled);
            EXPECT_GE(user.ticks, guitest::CancelProgressOnTick::kCancelTick);
        }
        EXPECT_FALSE(gate->Expired()) << "Cancel ended the transfer";
        EXPECT_TRUE(m_prompt->Ids().empty());
        EXPECT_EQ(tree->GetChildrenCount(tree->GetRootItem(), false), 1u) << "only the kept directory";
        EXPECT_FALSE(uFile(cache.c_str()).exists());
    }

    std::ofstream(m_dir.file("directory.xml")) << "<KestDirectory><directory name=\"Slow\" url=\""
                                               << url.c_str() << "\" status=\"expand\"/></KestDirectory>";
    guitest::CancelProgressOnTick user;
    auto dialog = Make();
    EXPECT_TRUE(user.cancelled);
    EXPECT_FALSE(gate->Expired()) << "Cancel ended the transfer";
    EXPECT_TRUE(m_prompt->Ids().empty());
    wxTreeCtrl* tree = dialog->GetTree();
    wxTreeItemId kept = FirstChild(tree, tree->GetRootItem());
    ASSERT_TRUE(kept.IsOk());
    EXPECT_EQ(tree->GetChildrenCount(kept), 0u) << "the directory stays empty";
    EXPECT_FALSE(uFile(cache.c_str()).exists());
}
} // namespace
