#include "mainwindow/TreeViewEx.h"

#include "GuiTestSupport.h"
#include "ScriptedPrompt.h"
#include "ToolTipWindows.h"
#include "common/MenuBuilder.h"
#include "common/Messages.h"
#include "mainwindow/WindowMessage.h"

#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

using namespace subscription;

namespace
{
struct Sent
{
    unsigned message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

// The window the tree lives in: it records what the tree sends and lets a
// test answer a message the way the main frame would.
class TreeHostFrame : public wxFrame
{
public:
    TreeHostFrame() : wxFrame(nullptr, wxID_ANY, "tree", wxPoint(30, 30), wxSize(320, 480))
    {
        tree = new CTreeViewEx(this);
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(tree, 1, wxEXPAND);
        SetSizer(sizer);
        Bind(ui::EVT_WINDOW_MESSAGE,
             [this](ui::CWindowMessageEvent& event)
             {
                 sent.push_back({event.Message(), event.WParam(), event.LParam()});
                 auto handler = handlers.find(event.Message());
                 if (handler != handlers.end())
                     handler->second(event);
             });
        Bind(wxEVT_MENU, [this](wxCommandEvent& event) { commands.push_back(event.GetId()); });
    }

    std::vector<unsigned> Messages() const
    {
        std::vector<unsigned> numbers;
        for (const Sent& entry : sent)
            numbers.push_back(entry.message);
        return numbers;
    }

    CTreeViewEx* tree = nullptr;
    std::vector<Sent> sent;
    std::vector<int> commands;
    std::map<unsigned, std::function<void(ui::CWindowMessageEvent&)>> handlers;
};

class TreeViewExTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_frame = new TreeHostFrame;
        m_frame->Show();
        tree = m_frame->tree;
        m_prompt = guitest::ScriptedPrompt::Install();
        // Channel "News" > folder "Sport" > list "Sport list" (placeholder)
        //                > list "Main list" with feeds "Alpha (2)", "Beta"
        //                > watch "Election"
        // Channel "Other" > list "Other list" with feed "Gamma"
        news = tree->AppendNode(wxTreeItemId(), kChannel, uString("News"), uString());
        sport = tree->AppendNode(news, kFolder, uString("Sport"), uString());
        sportList = tree->AppendNode(sport, kList, uString("Sport list"), uString("user1.mdb"));
        tree->AppendPlaceholder(sportList);
        mainList = tree->AppendNode(news, kList, uString("Main list"), uString("default.mdb"));
        alpha =
            tree->AppendNode(mainList, kFeed, uString("Alpha (2)"), uString("http://127.0.0.1/alpha.xml"));
        beta = tree->AppendNode(mainList, kFeed, uString("Beta"), uString("http://127.0.0.1/beta.xml"));
        watch = tree->AppendNode(news, kWatch, uString("Election"), uString("vote"));
        other = tree->AppendNode(wxTreeItemId(), kChannel, uString("Other"), uString());
        otherList = tree->AppendNode(other, kList, uString("Other list"), uString("user0.mdb"));
        gamma = tree->AppendNode(otherList, kFeed, uString("Gamma"), uString("http://127.0.0.1/gamma.xml"));
        tree->Expand(news);
        tree->Expand(mainList);
        m_frame->sent.clear();
    }
    void TearDown() override { guitest::DestroyWindow(m_frame); }

    std::vector<std::string> Labels(const wxTreeItemId& parent) const
    {
        return guitest::ChildLabels(*tree, parent);
    }
    wxTreeItemId Child(const wxTreeItemId& parent, const char* label) const
    {
        wxTreeItemIdValue cookie;
        for (wxTreeItemId child = tree->GetFirstChild(parent, cookie); child.IsOk();
             child = tree->GetNextChild(parent, cookie))
        {
            if (tree->GetLabel(child) == label)
                return child;
        }
        return wxTreeItemId();
    }
    std::string MenuText(const wxTreeItemId& item) const
    {
        std::unique_ptr<wxMenu> menu = tree->BuildContextMenu(item);
        return menu ? menu->FindItemByPosition(0)->GetItemLabelText().utf8_str().data() : "";
    }

    TreeHostFrame* m_frame = nullptr;
    CTreeViewEx* tree = nullptr;
    guitest::PromptReset m_reset;
    std::shared_ptr<guitest::ScriptedPrompt> m_prompt;
    wxTreeItemId news, sport, sportList, mainList, alpha, beta, watch, other, otherList, gamma;
};
} // namespace

TEST_F(TreeViewExTest, ContextMenuFollowsKindAndState)
{
    CTreeViewEx::MenuChoice choice;
    const struct
    {
        wxTreeItemId item;
        int menu;
        int popup;
    } cases[] = {
        {news, 194, 0},     {other, 194, 1}, {sport, 187, 1}, {sportList, 181, 1},
        {mainList, 181, 0}, {watch, 214, 0}, {alpha, 180, 0},
    };
    for (const auto& c : cases)
    {
        std::string label = tree->GetLabel(c.item).c_str();
        ASSERT_TRUE(tree->ChooseContextMenu(c.item, choice)) << label;
        EXPECT_EQ(choice.menuId, c.menu) << label;
        EXPECT_EQ(choice.popup, c.popup) << label;
    }
    wxTreeItemId childless = tree->AppendNode(wxTreeItemId(), kChannel, uString("Bare"), uString());
    ASSERT_TRUE(tree->ChooseContextMenu(childless, choice));
    EXPECT_EQ(choice.popup, 0) << "nothing to open";
    EXPECT_FALSE(tree->ChooseContextMenu(tree->GetFirstChildItem(sportList), choice)) << "the placeholder";
}

TEST_F(TreeViewExTest, OpeningAListSwapsItsPlaceholderForItsFeedsOnce)
{
    int loads = 0;
    m_frame->handlers[WM_APP_TREEEXPANDING] = [&](ui::CWindowMessageEvent& event)
    {
        ++loads;
        wxTreeItemId list = ParamToItem(event.LParam());
        EXPECT_FALSE(tree->GetFirstChildItem(list).IsOk()) << "the placeholder is gone first";
        tree->AppendNode(list, kFeed, uString("Loaded (1)"), uString("http://127.0.0.1/loaded.xml"));
        tree->Expand(list); // the frame expands it again, inside the notification
    };
    tree->Expand(sportList);
    EXPECT_EQ(loads, 1);
    ASSERT_EQ(m_frame->sent.size(), 1u);
    EXPECT_EQ(ParamToItem(m_frame->sent[0].lParam), sportList);
    EXPECT_TRUE(tree->IsExpanded(sportList));
    EXPECT_EQ(Labels(sportList), std::vector<std::string>{"Loaded (1)"});
    EXPECT_EQ(MenuText(sportList), "Add Subscription") << "an opened list offers its commands";

    tree->Collapse(sportList);
    tree->Expand(sportList);
    tree->Expand(mainList);
    EXPECT_EQ(loads, 1) << "a loaded list is left to the control";
}

TEST_F(TreeViewExTest, RenamingRefusesEmptyAndSiblingLabels)
{
    auto edit = [&](const wxTreeItemId& item, const char* text)
    {
        wxTextCtrl* editor = tree->EditLabel(item);
        ASSERT_NE(editor, nullptr);
        editor->SetValue(wxString::FromUTF8(text));
        tree->EndEditLabel(item, /*discardChanges=*/false);
        guitest::RunEventsFor(30);
    };
    edit(sport, "MAIN LIST");
    EXPECT_STREQ(tree->GetLabel(sport).c_str(), "Sport") << "a sibling has that label in another case";
    edit(sport, "sport");
    EXPECT_STREQ(tree->GetLabel(sport).c_str(), "Sport") << "the item itself counts as a sibling";
    edit(sport, "");
    EXPECT_STREQ(tree->GetLabel(sport).c_str(), "Sport");
    EXPECT_TRUE(m_frame->sent.empty());

    edit(sport, "Sports");
    EXPECT_STREQ(tree->GetLabel(sport).c_str(), "Sports");
    EXPECT_EQ(m_frame->Messages(), std::vector<unsigned>{WM_APP_TREELABELEDITED});
}

TEST_F(TreeViewExTest, DropsFollowTheFirstMatchingRule)
{
    // A folder into a channel, moved.
    tree->DropItem(sport, other, /*copy=*/false);
    EXPECT_EQ(Labels(other), (std::vector<std::string>{"Other list", "Sport"}));
    EXPECT_EQ(Labels(news), (std::vector<std::string>{"Main list", "Election"}));
    wxTreeItemId movedSport = Child(other, "Sport");
    EXPECT_EQ(tree->GetItemImage(movedSport, wxTreeItemIcon_Selected), kImageFolderOpen);
    wxTreeItemId movedList = Child(movedSport, "Sport list");
    ASSERT_TRUE(movedList.IsOk());
    EXPECT_TRUE(tree->IsPlaceholder(tree->GetFirstChildItem(movedList)))
        << "a list is read again when opened";

    // The same folder copied back: both copies have records of their own.
    tree->DropItem(movedSport, news, /*copy=*/true);
    wxTreeItemId copiedSport = Child(news, "Sport");
    ASSERT_TRUE(copiedSport.IsOk());
    EXPECT_TRUE(Child(other, "Sport").IsOk());
    CNamedValue* original = tree->GetRecord(Child(movedSport, "Sport list"));
    CNamedValue* copy = tree->GetRecord(Child(copiedSport, "Sport list"));
    ASSERT_TRUE(original && copy);
    EXPECT_NE(original, copy);
    tree->SetRememberedItem(movedSport);
    tree->RunCommand(141);
    EXPECT_STREQ(copy->text.c_str(), "user1.mdb") << "removing one leaves the other intact";

    // Into itself or its own descendants: nothing.
    size_t before = Labels(news).size();
    tree->DropItem(copiedSport, copiedSport, false);
    tree->DropItem(copiedSport, Child(copiedSport, "Sport list"), false);
    EXPECT_EQ(Labels(news).size(), before);
    EXPECT_TRUE(tree->GetRecord(copiedSport) != nullptr);

    // Reordering among siblings: the watch after the first item.
    tree->DropItem(watch, mainList, false);
    EXPECT_EQ(Labels(news)[1], "Election");
    EXPECT_TRUE(m_frame->sent.empty());
}

TEST_F(TreeViewExTest, AFeedLeavesItsListOnlyWhenTheFrameMovedIt)
{
    tree->DropItem(alpha, beta, false);
    EXPECT_TRUE(m_frame->sent.empty()) << "the same list: nothing to do";

    CTreeDropRequest seen;
    wxTreeItemId target;
    bool succeed = false;
    m_frame->handlers[WM_APP_MOVEFEED] = [&](ui::CWindowMessageEvent& event)
    {
        auto* request = reinterpret_cast<CTreeDropRequest*>(event.LParam());
        seen = *request;
        target = ParamToItem(event.WParam());
        request->moved = succeed;
    };
    tree->DropItem(alpha, gamma, false);
    EXPECT_EQ(target, otherList) << "a feed dropped on a feed goes to that feed's list";
    EXPECT_STREQ(seen.url.c_str(), "http://127.0.0.1/alpha.xml");
    EXPECT_STREQ(seen.sourceDatabase.c_str(), "default.mdb");
    EXPECT_EQ(Labels(mainList), (std::vector<std::string>{"Alpha (2)", "Beta"})) << "the fetch failed";

    succeed = true;
    tree->DropItem(alpha, otherList, /*copy=*/true);
    EXPECT_TRUE(seen.sourceDatabase.isEmpty()) << "a copy deletes nothing from the source list";
    EXPECT_EQ(Labels(mainList).size(), 2u);

    tree->DropItem(alpha, otherList, false);
    EXPECT_EQ(Labels(mainList), std::vector<std::string>{"Beta"});
    EXPECT_EQ(m_frame->Messages().size(), 3u);
}

TEST_F(TreeViewExTest, CommandsActOnTheRememberedItem)
{
    tree->OnRClick(wxPoint(300, 470));
    EXPECT_FALSE(tree->GetRememberedItem().IsOk()) << "a click beside the items forgets the item";
    tree->RunCommand(139);
    EXPECT_TRUE(m_frame->sent.empty()) << "no item, no command";
    tree->RunCommand(142);
    EXPECT_EQ(m_frame->Messages(), std::vector<unsigned>{WM_APP_NEWCHANNEL}) << "New Channel needs no item";
    m_frame->sent.clear();

    tree->SetRememberedItem(beta);
    tree->RunCommand(217);
    ASSERT_EQ(m_frame->sent.size(), 1u);
    EXPECT_EQ(m_frame->sent[0].message, WM_APP_VIEWSOURCE);
    EXPECT_STREQ(reinterpret_cast<const uString*>(m_frame->sent[0].lParam)->c_str(),
                 "http://127.0.0.1/beta.xml");

    tree->RunCommand(134);
    EXPECT_EQ(m_frame->sent.back().message, WM_APP_UNSUBSCRIBE);
    EXPECT_FALSE(tree->GetRememberedItem().IsOk());
}

TEST_F(TreeViewExTest, SelectionAndDeleteKeyReachTheFrame)
{
    tree->SelectItem(watch);
    EXPECT_EQ(tree->GetRememberedItem(), watch);
    ASSERT_FALSE(m_frame->sent.empty());
    EXPECT_EQ(m_frame->sent.back().message, WM_APP_TREESELCHANGED);

    m_frame->sent.clear();
    tree->DeleteItemQuietly(watch);
    EXPECT_TRUE(m_frame->sent.empty()) << "no selection news while deleting";
    EXPECT_FALSE(tree->GetRememberedItem().IsOk());

    // The key goes to the window that has the keyboard, as a user's does:
    // a window left by the test before may still hold it for a moment.
    m_frame->Raise();
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return m_frame->IsActive(); }));
    tree->SetFocus();
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return wxWindow::FindFocus() == tree; }));
    tree->SelectItem(beta);
    guitest::RunEventsFor(50);
    wxUIActionSimulator keys;
    keys.Char(WXK_DELETE);
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return !m_frame->commands.empty(); }));
    EXPECT_EQ(m_frame->commands, std::vector<int>{ui::MenuCommandId(32774)});
}

TEST_F(TreeViewExTest, AMouseDragMovesAFolderOntoAChannel)
{
    tree->Collapse(news);
    tree->Expand(news);
    guitest::RunEventsFor(100);
    wxRect from, to;
    ASSERT_TRUE(tree->GetBoundingRect(sport, from, /*textOnly=*/true));
    ASSERT_TRUE(tree->GetBoundingRect(other, to, true));
    wxPoint start = tree->ClientToScreen(wxPoint(from.x + 4, from.y + from.height / 2));
    wxPoint end = tree->ClientToScreen(wxPoint(to.x + 4, to.y + to.height / 2));

    wxUIActionSimulator mouse;
    mouse.MouseMove(start);
    guitest::RunEventsFor(50);
    mouse.MouseDown();
    guitest::RunEventsFor(50);
    for (int step = 1; step <= 8; ++step)
    {
        mouse.MouseMove(start + (end - start) * step / 8);
        guitest::RunEventsFor(30);
    }
    mouse.MouseUp();
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return Child(other, "Sport").IsOk(); }));
    EXPECT_FALSE(Child(news, "Sport").IsOk()) << "no Ctrl: a move";
}

// A name the tree cuts off shows whole as a tip. A tip shown goes when a
// menu opens, and the pointer leaving the menu for that name brings it back
// only after the menu closed, never over the menu.
TEST_F(TreeViewExTest, NoToolTipComesOverAnOpenContextMenu)
{
    const wxTreeItemId longName = tree->AppendNode(
        wxTreeItemId(), kChannel, uString("A channel whose name is far too long for the width of the tree"),
        uString());
    guitest::RunEventsFor(100);
    wxRect row;
    ASSERT_TRUE(tree->GetBoundingRect(longName, row, /*textOnly=*/true));
    const int middle = row.y + row.height / 2;
    const wxPoint onName = tree->ClientToScreen(wxPoint(row.x + 20, middle));
    const wxPoint nearEdge = tree->ClientToScreen(wxPoint(tree->GetClientSize().x - 10, middle));
    wxRect otherRow;
    ASSERT_TRUE(tree->GetBoundingRect(other, otherRow, true));
    // A name that fits: no tip there.
    const wxPoint onOther = tree->ClientToScreen(otherRow.GetPosition() + wxPoint(10, otherRow.height / 2));
    ASSERT_GT(nearEdge.x - onName.x, 150) << "room for the pointer beside the menu";

    // Right-clicks at a point. While the menu is open, its loop runs
    // inMenu every 50 ms until it returns true; Escape closes the menu then.
    wxUIActionSimulator mouse;
    auto rightClick = [&](const wxPoint& point, const std::function<bool()>& inMenu)
    {
        bool done = false;
        wxTimer timer;
        timer.Bind(wxEVT_TIMER,
                   [&](wxTimerEvent&)
                   {
                       if (done || !inMenu())
                           return;
                       done = true;
                       wxUIActionSimulator().Char(WXK_ESCAPE);
                   });
        auto opened = [&](wxMenuEvent& event)
        {
            timer.Start(50);
            event.Skip();
        };
        tree->Bind(wxEVT_MENU_OPEN, opened);
        mouse.MouseMove(point);
        guitest::RunEventsFor(30);
        mouse.MouseClick(wxMOUSE_BTN_RIGHT);
        EXPECT_TRUE(guitest::RunEventsUntil([&] { return done; }, 20000)) << "the menu opened";
        timer.Stop();
        tree->Unbind(wxEVT_MENU_OPEN, opened);
        guitest::RunEventsFor(100);
    };

    mouse.MouseMove(onName);
    ASSERT_TRUE(guitest::RunEventsUntil([] { return guitest::ShownToolTips() == 1; }))
        << "the whole name as a tip";
    int tipsAtOpening = -1;
    rightClick(onName,
               [&]
               {
                   tipsAtOpening = guitest::ShownToolTips();
                   return true;
               });
    EXPECT_EQ(tipsAtOpening, 0) << "the tip shown went when the menu opened";

    mouse.MouseMove(onOther);
    ASSERT_TRUE(guitest::RunEventsUntil([] { return guitest::ShownToolTips() == 0; }));
    guitest::ToolTipWatch watch;
    int tipsOverMenu = -1;
    int tick = 0;
    int tickMapped = 0;
    rightClick(nearEdge,
               [&]
               {
                   ++tick;
                   // Off the menu (it opens right of the pointer) and onto the name.
                   if (tick <= 8)
                   {
                       mouse.MouseMove(nearEdge + (onName - nearEdge) * tick / 8);
                       return false;
                   }
                   // The toolkit does try to show the tip (at most 10 s waited)...
                   if (tickMapped == 0 && watch.Mapped() == 0)
                       return tick > 200;
                   if (tickMapped == 0)
                       tickMapped = tick;
                   // ...which must not stay (1 s given to go).
                   tipsOverMenu = guitest::ShownToolTips();
                   if (tipsOverMenu != 0 && tick < tickMapped + 20)
                       return false;
                   guitest::TakeScreenshot("tree-menu-without-tip");
                   return true;
               });
    ASSERT_GT(watch.Mapped(), 0) << "the pointer rested on the name";
    EXPECT_EQ(tipsOverMenu, 0) << "no tip over the open menu";

    // Closed, the menu keeps no tip away.
    mouse.MouseMove(onOther);
    guitest::RunEventsFor(100);
    mouse.MouseMove(onName);
    EXPECT_TRUE(guitest::RunEventsUntil([] { return guitest::ShownToolTips() == 1; }));
}
