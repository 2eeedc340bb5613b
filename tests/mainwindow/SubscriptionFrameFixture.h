#pragma once

// The subscription tree in the real main frame: feeds served on 127.0.0.1,
// list databases made from the template, the tree file in a temporary home.
#include "FrameFixture.h"
#include "IcoFixture.h"
#include "ModalDriver.h"
#include "ScriptedPrompt.h"
#include "common/Clipboard.h"
#include "common/MenuBuilder.h"
#include "common/Messages.h"
#include "dialogs/SubscriptionDlgs.h"
#include "feeds/FeedStore.h"
#include "feeds/MessageBox.h"
#include "feeds/RefreshHost.h"
#include "feeds/support/FeedSite.h"
#include "mainwindow/KestrovaView.h"
#include "mainwindow/TreeViewEx.h"
#include "support/LocalHttpServer.h"

#include <filesystem>
#include <fstream>
#include <mutex>
#include <sqlite3.h>
#include <wx/choice.h>

namespace subscriptiontest
{
constexpr int kNewSubscription = 32770;
constexpr int kDelete = 32774;

const char* const kTree = R"(<?xml version="1.0"?>
<Kestrova>
  <channel name="News" type="newsfeed" status="expand">
    <newsfeed name="First" url="default.mdb" status="expand"/>
    <folder name="Podcasts" status="expand">
      <newsfeed name="Second" url="user0.mdb"/>
      <keyword name="Election" value="vote or ballot"/>
    </folder>
  </channel>
  <channel name="Archive" type="newsfeed"/>
</Kestrova>
)";

class RecordingMessageBox : public CMessageBox
{
public:
    void Show(const uString& text) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        texts.push_back(text.c_str());
    }
    std::vector<std::string> texts;

private:
    std::mutex m_lock;
};

// A site on 127.0.0.1 with one feed and a favicon of one colour.
struct Site
{
    Site(const std::string& title, icofixture::Rgba colour, int items)
    {
        AddFeed("/feed.xml", title, items);
        icofixture::BitmapPlan plan;
        plan.bitCount = 32;
        plan.colour = [colour](int x, int y)
        {
            bool edge = x < 2 || y < 2 || x > 13 || y > 13;
            return edge ? icofixture::Rgba{40, 40, 40, 255} : colour;
        };
        server.serveContent("/favicon.ico",
                            icofixture::AsString(icofixture::IconFile({icofixture::BitmapEntry(plan)})),
                            "image/x-icon");
    }
    // Another feed of the site: it shares the site's icon.
    void AddFeed(const std::string& path, const std::string& title, int items)
    {
        std::string base = server.url("/site" + path);
        server.serveContent(path,
                            feedsite::Rss(title, base, feedsite::Items(base, title + " story", 1, items)),
                            "application/rss+xml");
    }
    uString Url(const std::string& path = "/feed.xml") const { return uString(server.url(path).c_str()); }

    testsupport::LocalHttpServer server;
};

class SubscriptionFrameTest : public FrameFixture
{
protected:
    SubscriptionFrameTest()
    {
        // The data folder as an earlier run left it: the tree and two lists.
        std::filesystem::create_directories(m_home.file("Documents/Kestrova/subscription"));
        std::filesystem::copy_file(KESTROVA_LIST_TEMPLATE, Data("default.mdb"));
        std::filesystem::copy_file(KESTROVA_LIST_TEMPLATE, Data("user0.mdb"));
        std::ofstream(Data("config.xml")) << kTree;
    }

    CMainFrame& Start(CMainFrame::Options options = NoEngine())
    {
        CMessageBox::Install(m_messages);
        CMainFrame& frame = *ShowFrame(wxSize(900, 600), options);
        // The frame shows the feed store's messages in dialogs; here they are recorded.
        CMessageBox::Install(m_messages);
        tree = frame.GetTreeView();
        // The start-up refresh goes through the lists: let it end first.
        guitest::RunEventsUntil([&] { return !frame.GetRefreshHost()->IsRefreshRunning(); }, 60000);
        return frame;
    }
    void Restart()
    {
        CloseFrame();
        CPreference::Release();
        Start();
    }
    void TearDown() override
    {
        FrameFixture::TearDown();
        CMessageBox::Install(nullptr);
    }

    wxTreeItemId Find(const char* label, uint16_t kind) const
    {
        return m_frame->FindTreeItem(uString(label), tree->GetFirstTopLevelItem(), CMainFrame::kFindByLabel,
                                     kind);
    }
    std::vector<std::string> Labels(const wxTreeItemId& parent) const
    {
        return guitest::ChildLabels(*tree, parent);
    }
    std::string Data(const char* file) const
    {
        return CPreference::GetInstance()->GetSubscriptionDir().getPath().c_str() + std::string("/") + file;
    }
    int Count(const char* database, const char* table, const uString& feed)
    {
        CFeedStore store;
        store.SetDatabase(uString(database));
        uString error;
        return store.CountRows(uString(table), uString("feed"), feed, error, nullptr);
    }
    // Runs statements on a list database of the subscription folder.
    void Execute(const char* database, const std::string& sql)
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(Data(database).c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }
    // An SQL text literal.
    static std::string Quoted(std::string text)
    {
        for (size_t at = text.find('\''); at != std::string::npos; at = text.find('\'', at + 2))
            text.insert(at, "'");
        return "'" + text + "'";
    }
    // The address of feed `i` of a list filled for a test; feed 7's holds a quote.
    static std::string NumberedFeed(int i)
    {
        return "http://127.0.0.1:9/" + std::string(i == 7 ? "it's/" : "feed/") + std::to_string(i);
    }
    // Every feed of the list is due at the next refresh, whatever the clock says.
    void MakeDue(const char* database)
    {
        CFeedStore store;
        store.SetDatabase(uString(database));
        ASSERT_TRUE(store.EnsureOpen(false));
        ASSERT_TRUE(store.dataObject.execute("UPDATE channel SET lastupdate='2000-01-01 00:00:00'"));
    }
    void Command(int command)
    {
        wxCommandEvent event(wxEVT_MENU, ui::MenuCommandId(command));
        m_frame->GetEventHandler()->ProcessEvent(event);
    }
    // Clicks a row of the item list as the user would.
    void ClickRow(int row)
    {
        CKestrovaView* list = m_frame->GetItemListView();
        wxRect rect;
        list->GetItemRect(row, rect);
        guitest::ClickAt(list->ClientToScreen(wxPoint(rect.x + 80, rect.y + rect.height / 2)));
    }
    // Subscribes through the new-subscription dialog into the named list.
    void SubscribeThroughDialog(const uString& url, int listIndex)
    {
        ASSERT_TRUE(SetClipboardText(url));
        guitest::WhenDialogShown<CNewSubscriptionDlg>(
            [listIndex](CNewSubscriptionDlg& dialog)
            {
                auto* lists = wxDynamicCast(dialog.FindWindow(CNewSubscriptionDlg::kListChoice), wxChoice);
                lists->SetSelection(listIndex);
                wxCommandEvent chosen(wxEVT_CHOICE, CNewSubscriptionDlg::kListChoice);
                chosen.SetInt(listIndex);
                chosen.SetEventObject(lists);
                lists->GetEventHandler()->ProcessEvent(chosen);
                guitest::Press(dialog, wxID_OK);
            });
        Command(kNewSubscription);
    }

    guitest::PromptReset m_reset;
    std::shared_ptr<guitest::ScriptedPrompt> m_prompt = guitest::ScriptedPrompt::Install();
    std::shared_ptr<RecordingMessageBox> m_messages = std::make_shared<RecordingMessageBox>();
    CTreeViewEx* tree = nullptr;
};
} // namespace subscriptiontest
