#include "CommandIds.h"
#include "ScriptBoxes.h"
#include "SubscriptionFrameFixture.h"
#include "dialogs/FeedBrowserDlg.h"
#include "dialogs/Opml.h"
#include "dialogs/OpmlDialogs.h"
#include "feeds/FeedImport.h"
#include "feeds/TaskTracker.h"
#include "foundation/uFile.h"
#include "mainwindow/FileChooser.h"
#include "mainwindow/HtmlCtrl.h"
#include "mainwindow/KestrovaView.h"
#include "mainwindow/OpenDialogs.h"
#include "mainwindow/WebBrowserFrame.h"
#include "support/ChildProcess.h"
#include "support/GermanInterface.h"

#include <algorithm>
#include <dlfcn.h>
#include <optional>
#include <unistd.h>
#include <wx/filedlg.h>
#include <wx/listctrl.h>
#include <wx/modalhook.h>
#include <wx/progdlg.h>
#include <wx/textctrl.h>

using namespace subscription;
using namespace subscriptiontest;

namespace
{
constexpr int kImport = 32771;
constexpr int kExport = 32772;

// Answers the file dialogs with prepared paths and keeps what was asked.
class ScriptedChooser : public ui::CFileChooser
{
public:
    uString Choose(wxWindow*, const ui::FileRequest& request) override
    {
        requests.push_back(request);
        return answer;
    }
    uString answer;
    std::vector<ui::FileRequest> requests;
};

// Acts on the desktop's file dialog once its loop runs (the toolkit calls
// the hooks of one dialog twice).
class WhenFileDialogShown : public wxModalDialogHook
{
public:
    explicit WhenFileDialogShown(std::function<void(wxFileDialog&)> act) : m_act(std::move(act))
    {
        Register();
    }
    ~WhenFileDialogShown() override { Unregister(); }

protected:
    int Enter(wxDialog* dialog) override
    {
        if (auto* files = dynamic_cast<wxFileDialog*>(dialog))
            files->CallAfter(
                [this, files]
                {
                    if (files->IsModal())
                        m_act(*files);
                });
        return wxID_NONE;
    }
    void Exit(wxDialog*) override {}

private:
    std::function<void(wxFileDialog&)> m_act;
};

class OpmlFrameTest : public SubscriptionFrameTest
{
protected:
    OpmlFrameTest() { ui::CFileChooser::Install(chooser); }
    ~OpmlFrameTest() override { ui::CFileChooser::Install(nullptr); }
    std::string Write(const std::string& name, const std::string& text)
    {
        std::ofstream(m_home.file(name), std::ios::binary) << text;
        return m_home.file(name);
    }
    // File > Import of the chooser's answer with every feed checked, into
    // the list of that index in the dialog's choice (the offered one for -1).
    void ImportEveryFeed(int list = -1)
    {
        guitest::WhenDialogShown<OPMLImport>(
            [list](OPMLImport& dialog)
            {
                guitest::Press(dialog, OPMLImport::kSelectAll);
                if (list >= 0)
                    guitest::Choose(wxDynamicCast(dialog.FindWindow(OPMLImport::kListChoice), wxChoice),
                                    list);
                guitest::Press(dialog, wxID_OK);
            });
        Command(kImport);
    }
    std::shared_ptr<ScriptedChooser> chooser = std::make_shared<ScriptedChooser>();
};

const char* const kOutlines = R"(<?xml version="1.0" encoding="UTF-8"?>
<opml version="2.0"><head><title>From another reader</title></head><body>
<outline type="rss" text="Loose &amp; one" xmlUrl="http://127.0.0.1:9/loose1.xml"/>
<outline type="rss" text="Loose two" xmlUrl="http://127.0.0.1:9/loose2.xml"/>
<outline text="Tech" title="Tech">
  <outline type="rss" text="Tech one" xmlUrl="http://127.0.0.1:9/tech1.xml"/>
  <outline type="rss" text="Tech two" xmlUrl="http://127.0.0.1:9/tech2.xml"/>
</outline>
<outline title="Hobbies"><outline title="Music">
  <outline type="rss" title="Café Müsik" xmlUrl="http://127.0.0.1:9/music.xml"/>
</outline></outline>
</body></opml>
)";
} // namespace

TEST_F(OpmlFrameTest, ImportPutsEveryCheckedFeedIntoTheChosenListAndExportWritesThemBack)
{
    chooser->answer = uString(Write("subscriptions.opml", kOutlines).c_str());
    Start();
    const std::vector<std::string> podcasts = Labels(Find("Podcasts", kFolder));
    const std::vector<std::string> news = Labels(tree->GetFirstTopLevelItem());
    int rows = 0;
    std::string title;
    guitest::WhenDialogShown<OPMLImport>(
        [&](OPMLImport& dialog)
        {
            rows = dialog.GetFeedList()->GetItemCount();
            title = dialog.GetTitle().utf8_str().data();
            guitest::TakeScreenshot("issue36-import-dialog");
            guitest::Press(dialog, OPMLImport::kSelectAll);
            guitest::Choose(wxDynamicCast(dialog.FindWindow(OPMLImport::kListChoice), wxChoice), 1);
            guitest::Press(dialog, wxID_OK);
        });
    Command(kImport);
    EXPECT_EQ(rows, 5);
    EXPECT_EQ(title, "Import RSS Feeds : From another reader");
    ASSERT_EQ(chooser->requests.size(), 1u);
    EXPECT_FALSE(chooser->requests[0].save);

    // Every feed, grouped in the file or not, in the chosen list; no list or folder added.
    EXPECT_EQ(Labels(Find("Second", kList)),
              (std::vector<std::string>{"Café Müsik", "Loose & one", "Loose two", "Tech one", "Tech two"}));
    EXPECT_EQ(Labels(Find("Podcasts", kFolder)), podcasts);
    EXPECT_EQ(Labels(tree->GetFirstTopLevelItem()), news);
    EXPECT_EQ(m_frame->CollectLists(CMainFrame::kCollectDatabases).size(), 2u);
    EXPECT_EQ(Count("user0.mdb", "channel", uString("http://127.0.0.1:9/music.xml")), 1);
    EXPECT_EQ(Count("default.mdb", "channel", uString("http://127.0.0.1:9/loose2.xml")), 0);
    EXPECT_TRUE(m_prompt->shown.empty());
    EXPECT_TRUE(guitest::TakeScreenshot("issue36-import").IsOk());

    // Export of that list: its five feeds under a root without attributes.
    chooser->answer = uString(m_home.file("second.opml").c_str());
    guitest::WhenDialogShown<OPMLExport>(
        [](OPMLExport& dialog)
        {
            guitest::Choose(wxDynamicCast(dialog.FindWindow(OPMLExport::kListChoice), wxChoice), 1);
            guitest::Press(dialog, wxID_OK);
        });
    Command(kExport);
    opml::Document exported = opml::ReadFile(m_home.file("second.opml").c_str());
    EXPECT_STREQ(exported.headTitle.c_str(), "Second");
    EXPECT_EQ(exported.rows.size(), 5u);
    EXPECT_NE(testsupport::ReadFileBytes(m_home.file("second.opml")).find("<opml>"), std::string::npos);

    // Into the open list with a feed selected: only the new feed is added.
    wxTreeItemId shown = tree->GetFirstChildItem(Find("Second", kList));
    tree->SelectItem(shown);
    chooser->answer = uString(Write("more.opml", R"(<opml><body>
<outline type="rss" text="Loose two" xmlUrl="http://127.0.0.1:9/loose2.xml"/>
<outline type="rss" text="Loose three" xmlUrl="http://127.0.0.1:9/loose3.xml"/></body></opml>)")
                                  .c_str());
    ImportEveryFeed(/*list=*/1);
    EXPECT_EQ(Labels(Find("Second", kList)),
              (std::vector<std::string>{"Café Müsik", "Loose & one", "Loose two", "Tech one", "Tech two",
                                        "Loose three"}));
    EXPECT_EQ(tree->GetSelection(), shown);

    // A file that is no outline changes nothing.
    std::vector<std::string> before = Labels(Find("Podcasts", kFolder));
    guitest::WhenDialogShown<OPMLImport>([](OPMLImport& dialog) { guitest::Press(dialog, wxID_OK); });
    m_frame->SendMessage(WM_APP_OPENOPMLFILE, 0,
                         uString(Write("feed.opml", "<rss><channel/></rss>").c_str()));
    EXPECT_EQ(m_prompt->Ids(), std::vector<int>{3008});
    EXPECT_EQ(Labels(Find("Podcasts", kFolder)), before);
}

// Outline files name any address: files, scripts and paths are never
// stored, and the user is told which were skipped.
TEST_F(OpmlFrameTest, ImportStoresOnlyNetworkAddressesAndNamesTheOthers)
{
    chooser->answer = uString(Write("hostile.opml", R"x(<opml><body>
<outline type="rss" text="Passwords" xmlUrl="file:///etc/passwd"/>
<outline type="rss" text="Script" xmlUrl="javascript:alert(1)"/>
<outline type="rss" text="Bare path" xmlUrl="/etc/passwd"/>
<outline type="rss" text="Key" xmlUrl="~/.ssh/id_rsa"/>
<outline type="link" text="Data" url="data:text/xml,&lt;rss/&gt;"/>
<outline type="rss" text="Good" xmlUrl="feed://127.0.0.1:9/good.xml"/>
</body></opml>)x")
                                  .c_str());
    Start();
    ImportEveryFeed();
    ASSERT_EQ(m_prompt->Ids(), std::vector<int>{3058});
    const std::string& told = m_prompt->shown[0].text;
    for (const char* address :
         {"file:///etc/passwd", "javascript:alert(1)", "\n/etc/passwd", "~/.ssh/id_rsa", "data:text/xml"})
        EXPECT_NE(told.find(address), std::string::npos) << address << " in " << told;
    EXPECT_EQ(told.find("good.xml"), std::string::npos);

    CFeedStore store;
    store.SetDatabase(uString("default.mdb"));
    std::vector<uString> stored;
    store.GetFeedList(uString("default.mdb"), stored);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_STREQ(stored[0].c_str(), "http://127.0.0.1:9/good.xml");
    EXPECT_EQ(Labels(Find("First", kList)), std::vector<std::string>{"Good"});
}

// 995 nested groups used to become 995 nested folders, a tree file the next
// start refused: the user's whole tree was gone. Now the feeds go into the
// chosen list and the tree comes back whole.
TEST_F(OpmlFrameTest, ADeepOutlineFileImportedLeavesATreeTheNextStartReads)
{
    std::string text = "<opml><head><title>Deep</title></head><body>";
    for (int level = 0; level < 995; ++level)
        text += "<outline text=\"Group " + std::to_string(level) + "\"><outline type=\"rss\" text=\"Feed " +
                std::to_string(level) + "\" xmlUrl=\"http://127.0.0.1:9/" + std::to_string(level) +
                ".xml\"/>";
    for (int level = 0; level < 995; ++level)
        text += "</outline>";
    text += "</body></opml>";
    chooser->answer = uString(Write("deep.opml", text).c_str());
    Start();
    const std::vector<std::string> podcasts = Labels(Find("Podcasts", kFolder));
    const std::vector<std::string> news = Labels(tree->GetFirstTopLevelItem());
    ImportEveryFeed(/*list=*/1);
    EXPECT_EQ(Labels(Find("Second", kList)).size(), 995u);
    guitest::RunEventsUntil([&] { return !m_frame->GetRefreshHost()->IsRefreshRunning(); }, 60000);

    Restart();
    EXPECT_TRUE(m_prompt->shown.empty()) << "the tree file was read";
    EXPECT_EQ(Labels(tree->GetFirstTopLevelItem()), news);
    EXPECT_EQ(Labels(Find("Podcasts", kFolder)), podcasts);
    ASSERT_TRUE(Find("Second", kList).IsOk());
    tree->Expand(Find("Second", kList));
    EXPECT_EQ(Labels(Find("Second", kList)).size(), 995u);
    EXPECT_TRUE(Find("Archive", kChannel).IsOk());
}

// However the tree came to nest that deep, the file the next start reads is
// not replaced by one it would refuse: the close says so and leaves it.
TEST_F(OpmlFrameTest, ATreeTooDeepForItsFileIsNotWrittenAndTheUserIsTold)
{
    Start();
    const std::string before = testsupport::ReadFileBytes(Data("config.xml"));
    wxTreeItemId parent = Find("Podcasts", kFolder);
    for (int level = 0; level < 1000; ++level)
        parent = tree->AppendNode(parent, kFolder, uString("Nested"), uString());
    CloseFrame();
    ASSERT_EQ(m_prompt->shown.size(), 1u);
    EXPECT_NE(m_prompt->shown[0].text.find("nested too deep"), std::string::npos) << m_prompt->shown[0].text;
    EXPECT_EQ(testsupport::ReadFileBytes(Data("config.xml")), before);
}

// Cancel, or a stop of the program (which ends every dialog), while the
// feeds are stored: the list and the tree stay as they were. The list is
// held locked so that the end comes before any row, and stays held: the
// import does not wait for it once it is told to end.
TEST_F(OpmlFrameTest, ACancelledImportLeavesTheTreeAndTheListAsTheyWere)
{
    chooser->answer = uString(Write("subscriptions.opml", kOutlines).c_str());
    Start();
    const std::vector<std::string> podcasts = Labels(Find("Podcasts", kFolder));
    tree->Expand(Find("Second", kList));
    const std::vector<std::string> second = Labels(Find("Second", kList));

    for (bool byStop : {false, true})
    {
        SCOPED_TRACE(byStop ? "stop" : "Cancel");
        std::optional<COpenDialogs> open; // as the program has them
        if (byStop)
            open.emplace();
        CFeedStore blocker;
        blocker.SetDatabase(uString("user0.mdb"));
        ASSERT_TRUE(blocker.EnsureOpen(false));
        ASSERT_TRUE(blocker.dataObject.execute("BEGIN IMMEDIATE"));
        bool cancelled = false;
        bool released = false;
        int ticks = 0;
        wxTimer timer;
        timer.Bind(wxEVT_TIMER,
                   [&](wxTimerEvent&)
                   {
                       if (cancelled)
                       {
                           // A guard: an import still waiting gets the list in the end.
                           if (++ticks == 100)
                               released = blocker.dataObject.execute("COMMIT");
                           return;
                       }
                       for (wxWindow* window : wxTopLevelWindows)
                           if (auto* progress = dynamic_cast<wxGenericProgressDialog*>(window))
                               if (wxWindow* button = progress->FindWindow(wxID_CANCEL))
                               {
                                   cancelled = true;
                                   if (open)
                                   {
                                       open->EndAll();
                                       return;
                                   }
                                   wxCommandEvent click(wxEVT_BUTTON, wxID_CANCEL);
                                   click.SetEventObject(button);
                                   button->GetEventHandler()->ProcessEvent(click);
                               }
                   });
        timer.Start(100);
        ImportEveryFeed(/*list=*/1);
        timer.Stop();
        EXPECT_TRUE(cancelled) << "a progress dialog with Cancel was shown";
        EXPECT_FALSE(released) << "the import ended while the list was held";
        if (!released)
            blocker.dataObject.execute("COMMIT");
        EXPECT_EQ(Labels(Find("Podcasts", kFolder)), podcasts);
        EXPECT_EQ(Labels(Find("Second", kList)), second);
        EXPECT_EQ(Count("user0.mdb", "channel", uString("http://127.0.0.1:9/loose1.xml")), 0);
        EXPECT_EQ(Count("user0.mdb", "channel", uString("http://127.0.0.1:9/tech1.xml")), 0);
        EXPECT_TRUE(m_prompt->shown.empty()) << "a cancel needs no message";
    }
}

// A stored address that names a local file, as older versions imported
// them, is read as a feed file the user opened; the import itself stores
// no such address any more.
TEST_F(OpmlFrameTest, ARefreshReadsAStoredLocalFileAddressWhichNoImportStoresAnyMore)
{
    std::string local =
        "file://" +
        Write("local.rss", feedsite::Rss("Local feed", "http://127.0.0.1:9/",
                                         feedsite::Items("http://127.0.0.1:9/", "Local story", 1, 2)));
    Start();
    {
        CFeedStore store;
        feeds::ImportCounts counts;
        ASSERT_TRUE(feeds::AddFeedsUnfetched(
            store, uString("default.mdb"), {{uString(local.c_str()), uString("Local"), uString()}}, counts));
        EXPECT_EQ(counts.failed, 1u);
        EXPECT_EQ(Count("default.mdb", "channel", uString(local.c_str())), 0);
        store.SetDatabase(uString("default.mdb"));
        ASSERT_TRUE(store.EnsureOpen(false));
        ASSERT_TRUE(store.dataObject.execute(("INSERT INTO channel (feed, title, lastupdate) VALUES('" +
                                              local + "', 'Local', '2000-01-01 00:00:00')")
                                                 .c_str()));
    }
    std::vector<std::string> statuses;
    m_frame->SetMessageObserver(
        [&](const CFrameMessage& message)
        {
            if (message.message == WM_APP_STATUSTEXT && message.text != nullptr)
                statuses.push_back(message.text->c_str());
        });
    ASSERT_TRUE(m_frame->CanRefreshNow());
    m_frame->RefreshAll();
    ASSERT_TRUE(m_frame->GetRefreshHost()->WaitIdle(60000));
    guitest::RunEventsFor(300);
    EXPECT_EQ(Count("default.mdb", "item", uString(local.c_str())), 2);
    for (const std::string& status : statuses)
        EXPECT_EQ(status.find("Refused"), std::string::npos) << status;
}

// newsboat exports feeds it has not fetched yet with title="": imported,
// they show their address until the refresh that follows the import names
// them after the feeds themselves. Skipped where newsboat is absent.
TEST_F(OpmlFrameTest, ANewsboatExportOfUnfetchedFeedsTakesTheFeedsOwnTitlesAtTheFirstRefresh)
{
    const char* const newsboat = "/usr/bin/newsboat";
    if (access(newsboat, X_OK) != 0)
        GTEST_SKIP() << "newsboat is not installed";
    Site site("Loopback news", {20, 230, 120, 255}, 3);
    site.AddFeed("/other.xml", "Other news", 2);
    std::ofstream(m_home.file("urls")) << site.Url().c_str() << "\n"
                                       << site.Url("/other.xml").c_str() << "\n";
    std::string exported = m_home.file("newsboat.opml");
    ASSERT_EQ(testsupport::RunProgram({"/usr/bin/env", "HOME=" + m_home.path(),
                                       "XDG_CONFIG_HOME=" + m_home.file("nb-config"),
                                       "XDG_DATA_HOME=" + m_home.file("nb-data"), newsboat, "-u",
                                       m_home.file("urls"), "-c", m_home.file("nb-cache.db"), "-e"},
                                      exported, 30000),
              0);
    ASSERT_NE(testsupport::ReadFileBytes(exported).find("title=\"\""), std::string::npos)
        << testsupport::ReadFileBytes(exported);

    chooser->answer = uString(exported.c_str());
    Start();
    ImportEveryFeed();
    ASSERT_TRUE(guitest::RunEventsUntil(
        [&]
        {
            return !m_frame->GetRefreshHost()->IsRefreshRunning() &&
                   m_frame->GetRefreshHost()->GetTaskTracker()->RunningTasks() == 0;
        },
        60000));
    guitest::RunEventsFor(300);
    EXPECT_EQ(Labels(Find("First", kList)),
              (std::vector<std::string>{"Loopback news (3)", "Other news (2)"}));
    CFeedStore store;
    store.LoadChannel(uString("default.mdb"), site.Url("/other.xml"));
    EXPECT_STREQ(store.channel.title.c_str(), "Other news");

    // The next start shows them by those titles as well.
    Restart();
    EXPECT_EQ(Labels(Find("First", kList)),
              (std::vector<std::string>{"Loopback news (3)", "Other news (2)"}));
}

TEST_F(OpmlFrameTest, TheFeedDirectoryExpandsALoopbackDirectoryAndSubscribesToItsFeed)
{
    Site site("Loopback news", {20, 120, 230, 255}, 3);
    site.server.serveContent("/directory.opml",
                             R"(<?xml version="1.0"?><opml version="1.0">
<head><title>Loopback directory</title></head><body>
<outline text="Technology">
  <outline type="rss" text="Loopback news" xmlUrl=")" +
                                 site.server.url("/feed.xml") + R"("/>
  <outline type="link" text="More" url=")" +
                                 site.server.url("/more.opml") + R"("/>
</outline></body></opml>)",
                             "text/x-opml");
    Start();
    std::vector<std::string> folders;
    std::string caption;
    guitest::WhenDialogShown<CFeedBrowserDlg>(
        [&](CFeedBrowserDlg& dialog)
        {
            wxDynamicCast(dialog.FindWindow(CFeedBrowserDlg::kUrlEdit), wxTextCtrl)
                ->SetValue(site.server.url("/directory.opml"));
            guitest::Press(dialog, CFeedBrowserDlg::kAddButton);
            wxTreeCtrl* directory = dialog.GetTree();
            wxTreeItemIdValue cookie;
            wxTreeItemId top = directory->GetFirstChild(directory->GetRootItem(), cookie);
            ASSERT_TRUE(top.IsOk());
            folders.push_back(directory->GetItemText(top).utf8_str().data());
            wxTreeItemId technology = directory->GetFirstChild(top, cookie);
            ASSERT_TRUE(technology.IsOk());
            folders.push_back(directory->GetItemText(technology).utf8_str().data());
            wxTreeItemId feed = directory->GetFirstChild(technology, cookie);
            directory->SelectItem(feed);
            caption = dialog.GetTitle().utf8_str().data();
            EXPECT_TRUE(dialog.FindWindow(CFeedBrowserDlg::kSubscribeButton)->IsEnabled());
            guitest::TakeScreenshot("issue26-directory");
            guitest::WhenDialogShown<OPMLSubscribe>(
                [](OPMLSubscribe& choice)
                {
                    guitest::Choose(wxDynamicCast(choice.FindWindow(OPMLExport::kListChoice), wxChoice), 0);
                    guitest::Press(choice, wxID_OK);
                });
            guitest::Press(dialog, CFeedBrowserDlg::kSubscribeButton);
            // Once more: the list holds it, which is said in the interface language.
            testsupport::GermanInterface german;
            EXPECT_TRUE(german.loaded);
            guitest::WhenDialogShown<OPMLSubscribe>(
                [](OPMLSubscribe& choice)
                {
                    guitest::Choose(wxDynamicCast(choice.FindWindow(OPMLExport::kListChoice), wxChoice), 0);
                    guitest::Press(choice, wxID_OK);
                });
            guitest::Press(dialog, CFeedBrowserDlg::kSubscribeButton);
            guitest::Press(dialog, wxID_OK);
        });
    Command(resources::cmd::kBrowseDirectory);
    EXPECT_EQ(m_messages->texts, std::vector<std::string>{"Dieser Newsfeed ist bereits abonniert. "});
    EXPECT_EQ(folders, (std::vector<std::string>{"Loopback directory", "Technology"}));
    EXPECT_EQ(caption, "News Feeds Directory Service : Loopback directory");
    EXPECT_EQ(Labels(Find("First", kList)), std::vector<std::string>{"Loopback news (3)"});
    EXPECT_EQ(Count("default.mdb", "channel", site.Url()), 1);

    // Close kept the directory, expanded, for the next time.
    std::vector<feeddirectory::Entry> entries;
    ASSERT_TRUE(feeddirectory::ReadFile(Data("directory.xml").c_str(), entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_STREQ(entries[0].url.c_str(), site.server.url("/directory.opml").c_str());
    EXPECT_TRUE(entries[0].expanded);
}

TEST_F(OpmlFrameTest, AnAddressIsSubscribedByWhatItTurnsOutToBe)
{
    Site site("Loopback news", {230, 20, 120, 255}, 2);
    auto redirect = [&](const std::string& to)
    { return "<redirect><newLocation>" + site.server.url(to) + "</newLocation></redirect>"; };
    site.server.serveContent("/hop", redirect("/feed.xml"), "text/xml");
    site.server.serveContent("/loop-a", redirect("/loop-b"), "text/xml");
    site.server.serveContent("/loop-b", redirect("/loop-a"), "text/xml");
    site.server.serveContent("/outlines.opml", kOutlines, "text/x-opml");
    Start();
    auto subscribe = [&](const std::string& path)
    { m_frame->SendMessage(WM_APP_SUBSCRIBEURL, 0, site.Url(path)); };

    // A redirect document is followed to the feed, which goes into the chosen list.
    guitest::WhenDialogShown<OPMLSubscribe>(
        [](OPMLSubscribe& choice)
        {
            guitest::Choose(wxDynamicCast(choice.FindWindow(OPMLExport::kListChoice), wxChoice), 1);
            guitest::Press(choice, wxID_OK);
        });
    subscribe("/hop");
    EXPECT_EQ(Count("user0.mdb", "channel", site.Url("/feed.xml")), 1);
    EXPECT_EQ(Count("user0.mdb", "item", site.Url("/feed.xml")), 2);

    // Documents that send the reader round in a circle end after ten hops.
    subscribe("/loop-a");
    EXPECT_EQ(m_prompt->Ids(), std::vector<int>{3009});
    EXPECT_EQ(site.server.requestsFor("/loop-a").size() + site.server.requestsFor("/loop-b").size(), 11u);

    // A directory lists any address; subscribing refuses what is no feed address.
    m_frame->SendMessage(WM_APP_SUBSCRIBEURL, 0, uString("gopher://127.0.0.1:9/1/feed"));
    EXPECT_EQ(m_prompt->Ids(), (std::vector<int>{3009, 3058}));

    // Outlines are said to be outlines, then offered for import.
    int rows = -1;
    guitest::WhenDialogShown<OPMLImport>(
        [&](OPMLImport& dialog)
        {
            rows = dialog.GetFeedList()->GetItemCount();
            guitest::Press(dialog, wxID_CANCEL);
        });
    subscribe("/outlines.opml");
    EXPECT_EQ(m_prompt->Ids(), (std::vector<int>{3009, 3058, 3023}));
    EXPECT_EQ(rows, 5);

    // A web page: its feeds are offered, each once, with the feed's own title.
    site.AddFeed("/other.xml", "Other news", 2);
    site.server.serveContent("/page.html",
                             "<html><head><title>Page</title></head><body><p>News</p>"
                             "<a href=\"/other.xml\">feed</a> <a href=\"other.xml\">again</a></body></html>",
                             "text/html");
    std::vector<std::string> offered;
    guitest::WhenDialogShown<OPMLImport>(
        [&](OPMLImport& dialog)
        {
            for (long row = 0; row < dialog.GetFeedList()->GetItemCount(); ++row)
                offered.push_back(
                    dialog.GetFeedList()->GetItemText(row, OPMLImport::kTitleColumn).utf8_string());
            guitest::Press(dialog, OPMLImport::kSelectAll);
            guitest::Press(dialog, wxID_OK);
        });
    subscribe("/page.html");
    EXPECT_EQ(offered, std::vector<std::string>{"Other news"});
    EXPECT_EQ(Count("default.mdb", "item", site.Url("/other.xml")), 2);

    // View source: the document's text escaped into the pane; a missing one fails.
    EXPECT_EQ(m_frame->SendMessage(WM_APP_VIEWSOURCE, 0, site.Url("/hop")), 0);
    uString source;
    ASSERT_TRUE(guitest::DocumentSource(*m_frame->GetBrowserFrame()->GetHtmlCtrl(), source));
    EXPECT_NE(std::string(source.c_str()).find("&lt;redirect&gt;"), std::string::npos) << source.c_str();
    EXPECT_EQ(m_frame->SendMessage(WM_APP_VIEWSOURCE, 0, site.Url("/missing")), -1);
    EXPECT_EQ(m_prompt->Ids().back(), 3009);
}

// Save and Look for News Feed of a browsed page go on with its bytes, which
// the page's box holds back, and hold the window up meanwhile: they go on
// once the box has gone, and not at all when the window began to close.
TEST_F(OpmlFrameTest, CommandsOnABrowsedPageGoOnWhenItsBytesComeWhileTheWindowIsOpen)
{
    testsupport::LocalHttpServer server;
    const std::string page =
        "<html><head><link rel='alternate' type='application/rss+xml' title='Boxed news' "
        "href='/feed.xml'></head><body><p>boxed page</p>"
        "<script>setTimeout(function(){alert('x')},300)</script></body></html>";
    server.serveContent("/boxed", page, "text/html");
    server.serveContent(
        "/feed.xml",
        feedsite::Rss("Boxed news", server.url("/"), feedsite::Items(server.url("/"), "Boxed story", 1, 1)),
        "application/rss+xml");
    Site site("Item news", {90, 60, 200, 255}, 1);
    Start();
    guitest::ScriptBoxes boxes;
    boxes.Watch(*m_frame->GetBrowser());
    auto showBox = [&]
    {
        m_frame->GetBrowserFrame()->Navigate(uString(server.url("/boxed").c_str()));
        return guitest::RunEventsUntil([&] { return boxes.shown != nullptr; }, 15000);
    };
    ASSERT_TRUE(showBox());
    chooser->answer = uString(m_home.file("page.htm").c_str());
    boxes.CloseAfter(5000);
    Command(resources::cmd::kSave);
    EXPECT_FALSE(boxes.closedLate) << "Save waited for the page";
    EXPECT_TRUE(chooser->requests.empty()) << "asked before the page's bytes came";
    boxes.Close();
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return !chooser->requests.empty(); }, 15000));
    EXPECT_EQ(testsupport::ReadFileBytes(m_home.file("page.htm")), page);

    ASSERT_TRUE(showBox());
    std::vector<std::string> offered;
    guitest::WhenDialogShownWithin<OPMLImport>(
        20000,
        [&](OPMLImport& dialog)
        {
            for (int row = 0; row < dialog.GetFeedList()->GetItemCount(); ++row)
                offered.push_back(
                    dialog.GetFeedList()->GetItemText(row, OPMLImport::kTitleColumn).utf8_string());
            guitest::Press(dialog, wxID_CANCEL);
        });
    boxes.CloseAfter(5000);
    Command(resources::cmd::kLookForFeeds);
    EXPECT_FALSE(boxes.closedLate) << "Look for News Feed waited for the page";
    boxes.Close();
    EXPECT_TRUE(guitest::RunEventsUntil([&] { return !offered.empty(); }, 20000));
    EXPECT_EQ(offered, std::vector<std::string>{"Boxed news"});

    // The user goes on to an item before the box goes: the page's bytes are
    // no answer about the item, so nothing is offered, saved or said.
    ASSERT_TRUE(m_frame->AddSubscription(Find("First", kList), site.Url(), uString(), false, false));
    ASSERT_TRUE(showBox());
    guitest::WhenDialogShownWithin<OPMLImport>(3000,
                                               [&](OPMLImport& dialog)
                                               {
                                                   offered.emplace_back("again");
                                                   guitest::Press(dialog, wxID_CANCEL);
                                               });
    Command(resources::cmd::kLookForFeeds);
    Command(resources::cmd::kSave);
    ClickRow(0);
    ASSERT_TRUE(guitest::RunEventsUntil(
        [&] { return wxString(m_frame->GetBrowserFrame()->GetAddressText().c_str()).EndsWith("/item/1"); },
        15000));
    boxes.Close();
    guitest::RunEventsFor(3500);
    EXPECT_EQ(offered.size(), 1u);
    EXPECT_EQ(chooser->requests.size(), 1u);
    EXPECT_TRUE(m_prompt->Ids().empty()) << m_prompt->Ids()[0];

    ASSERT_TRUE(showBox());
    Command(resources::cmd::kSave);
    m_frame->PrepareToClose();
    boxes.Close();
    guitest::RunEventsFor(1500);
    EXPECT_EQ(chooser->requests.size(), 1u) << "the window began to close before the page's bytes came";
    CloseFrame(); // before the boxes' watch goes
}

TEST_F(OpmlFrameTest, SaveWritesTheItemsAsRssAndALocalFeedFileIsSubscribed)
{
    Site site("Loopback news", {120, 230, 20, 255}, 3);
    Start();
    ASSERT_TRUE(m_frame->AddSubscription(Find("First", kList), site.Url(), uString(), false, false));
    ASSERT_EQ(m_frame->GetItemListView()->GetRowCount(), 3);
    chooser->answer = uString(m_home.file("items.RSS").c_str());
    Command(resources::cmd::kSave);
    ASSERT_EQ(chooser->requests.size(), 1u);
    EXPECT_TRUE(chooser->requests[0].save);
    CFeedStore store;
    ASSERT_TRUE(store.LoadFeedFile(uFile(m_home.file("items.RSS").c_str()), false));
    EXPECT_EQ(store.items.size(), 3u);

    // A ".htm" name when no page was offered gets what the dialog offered.
    ASSERT_EQ(std::string(chooser->requests[0].filter.c_str()).find("htm"), std::string::npos)
        << chooser->requests[0].filter.c_str();
    chooser->answer = uString(m_home.file("page.htm").c_str());
    Command(resources::cmd::kSave);
    EXPECT_NE(testsupport::ReadFileBytes(m_home.file("page.htm")).find("<rss"), std::string::npos);
    EXPECT_TRUE(m_prompt->shown.empty()) << m_prompt->shown[0].text;
    {
        testsupport::GermanInterface german;
        ASSERT_TRUE(german.loaded);
        chooser->answer = uString();
        Command(kImport);
        EXPECT_STREQ(chooser->requests.back().filter.c_str(),
                     "Abonnement-Gliederungsdateien (*.opml; *.xml)|*.opml;*.xml|Alle Dateien (*.*)|*.*");
    }

    // A feed file named on the command line goes into the chosen list as a file:// feed.
    std::string local =
        Write("local.rss", feedsite::Rss("Local feed", "http://127.0.0.1:9/",
                                         feedsite::Items("http://127.0.0.1:9/", "Local story", 1, 2)));
    std::string caption;
    guitest::WhenDialogShown<OPMLExport>(
        [&](OPMLExport& dialog)
        {
            caption = dialog.GetTitle().utf8_str().data();
            guitest::Choose(wxDynamicCast(dialog.FindWindow(OPMLExport::kListChoice), wxChoice), 1);
            guitest::Press(dialog, wxID_OK);
        });
    m_frame->SendMessage(WM_APP_OPENRSSFILE, 0, uString(local.c_str()));
    EXPECT_EQ(caption, "Import RSS From File ...");
    EXPECT_EQ(Count("user0.mdb", "item", uString(("file://" + local).c_str())), 2);

    // A file gone before the list was chosen is not subscribed, and the user is told.
    const std::string gone = m_home.file("gone.rss");
    guitest::WhenDialogShown<OPMLExport>(
        [&](OPMLExport& dialog)
        {
            guitest::Choose(wxDynamicCast(dialog.FindWindow(OPMLExport::kListChoice), wxChoice), 1);
            guitest::Press(dialog, wxID_OK);
        });
    m_frame->SendMessage(WM_APP_OPENRSSFILE, 0, uString(gone.c_str()));
    ASSERT_EQ(m_prompt->shown.size(), 1u);
    EXPECT_EQ(m_prompt->shown[0].text, "Failed to load/parse XML Document");
    EXPECT_EQ(Count("user0.mdb", "channel", uString(("file://" + gone).c_str())), 0);
}

// Save (each filter) and Export in the desktop's own dialog, a name typed
// without its extension over a file of the user's: the question names the
// file; "No" goes back to the dialog and leaves the file, "Yes" replaces it.
TEST_F(OpmlFrameTest, ANameTypedWithoutItsExtensionIsAskedAboutBeforeItsFileIsReplaced)
{
    ui::CFileChooser::Install(nullptr);
    Site site("Loopback news", {120, 230, 20, 255}, 3);
    site.server.serveContent("/page", "<html><body>the page</body></html>", "text/html");
    Start();
    ASSERT_TRUE(m_frame->AddSubscription(Find("First", kList), site.Url(), uString(), false, false));
    tree->SelectItem(Find("First", kList)); // a branch, with the feed's items listed
    m_frame->GetBrowserFrame()->Navigate(site.Url("/page"));
    ASSERT_FALSE(guitest::WaitForPage(*m_frame->GetBrowser(), "the page").empty());
    std::string title; // as the desktop shows it
    static const auto windowTitle =
        reinterpret_cast<const char* (*)(void*)>(dlsym(RTLD_DEFAULT, "gtk_window_get_title"));
    // The name typed with its folder, as the user may.
    static const auto typeName = reinterpret_cast<void (*)(void*, const char*)>(
        dlsym(RTLD_DEFAULT, "gtk_file_chooser_set_current_name"));
    // Types the name without its extension, with the filter of that extension,
    // in the home folder, and saves as the toolkit's Save does.
    auto save = [&](int command, const wxString& name, const wxString& typed = wxString())
    {
        WhenFileDialogShown typeAndSave(
            [&](wxFileDialog& dialog)
            {
                const wxArrayString parts = wxSplit(dialog.GetWildcard(), '|');
                for (int i = 1; i < static_cast<int>(parts.size()); i += 2)
                    if (parts[i].Contains("*." + name.AfterLast('.')))
                        dialog.SetFilterIndex(i / 2);
                const wxString typedName = typed.empty() ? name.BeforeLast('.') : typed;
                typeName(dialog.GetHandle(), m_home.file(typedName.utf8_string()).c_str());
                title = windowTitle(dialog.GetHandle());
                wxCommandEvent ok(wxEVT_BUTTON, wxID_OK); // as the toolkit's Save gives it
                dialog.HandleWindowEvent(ok);
                if (dialog.IsModal())
                    dialog.EndModal(wxID_CANCEL); // back in it after "No"
            });
        if (command == kExport)
            guitest::WhenDialogShown<OPMLExport>([](OPMLExport& dialog) { guitest::Press(dialog, wxID_OK); });
        m_prompt->shown.clear();
        Command(command);
        return guitest::RunEventsUntil([&] { return !m_prompt->shown.empty(); }, 20000);
    };
    const std::tuple<int, wxString, const char*> rows[] = {{resources::cmd::kSave, "notizen.htm", "the page"},
                                                           {resources::cmd::kSave, "items.rss", "<rss"},
                                                           {resources::cmd::kSave, "tree.opml", "<opml"},
                                                           {kExport, "export.opml", "<opml"}};
    for (const auto& [command, name, written] : rows)
        for (int answer : {wxNO, wxYES})
        {
            const std::string path = Write(name.utf8_string(), "the user's own");
            m_prompt->Answer(answer);
            ASSERT_TRUE(save(command, name)) << path << ": no question";
            EXPECT_EQ(m_prompt->shown[0].text, path + " already exists.\nDo you want to replace it?");
            EXPECT_NE(testsupport::ReadFileBytes(path).find(answer == wxYES ? written : "the user's own"),
                      std::string::npos)
                << path << " after " << (answer == wxYES ? "yes" : "no");
        }
    EXPECT_EQ(title, "Select a file");
    // A name of another extension gets what the filter chosen shows, under that name.
    const std::string plain = Write("plain.txt", "the user's own");
    m_prompt->Answer(wxYES);
    ASSERT_TRUE(save(resources::cmd::kSave, "x.htm", "plain.txt"));
    EXPECT_EQ(m_prompt->shown[0].text, plain + " already exists.\nDo you want to replace it?");
    EXPECT_NE(testsupport::ReadFileBytes(plain).find("the page"), std::string::npos);
    testsupport::GermanInterface german;
    ASSERT_TRUE(german.loaded);
    m_prompt->Answer(wxNO);
    ASSERT_TRUE(save(resources::cmd::kSave, "notizen.htm"));
    EXPECT_EQ(title, "Datei auswählen");
    EXPECT_EQ(m_prompt->shown[0].text,
              m_home.file("notizen.htm") + " ist bereits vorhanden.\nMöchten Sie die Datei ersetzen?");
}

// A feed file opened from the shell stays a working feed: each refresh reads
// the file as it now is, and its Properties accept its own address.
TEST_F(OpmlFrameTest, AFeedFileOpenedFromTheShellIsRefreshedAndKeepsItsProperties)
{
    auto write = [&](int items)
    {
        return Write("opened.rss",
                     feedsite::Rss("Opened feed", "http://127.0.0.1:9/",
                                   feedsite::Items("http://127.0.0.1:9/", "Opened story", 1, items)));
    };
    const std::string local = write(2);
    const uString address(("file://" + local).c_str());
    Start();
    guitest::WhenDialogShown<OPMLExport>(
        [](OPMLExport& dialog)
        {
            guitest::Choose(wxDynamicCast(dialog.FindWindow(OPMLExport::kListChoice), wxChoice), 1);
            guitest::Press(dialog, wxID_OK);
        });
    m_frame->SendMessage(WM_APP_OPENRSSFILE, 0, uString(local.c_str()));
    ASSERT_EQ(Count("user0.mdb", "item", address), 2);
    wxTreeItemId feed = tree->GetFirstChildItem(Find("Second", kList));
    ASSERT_STREQ(tree->GetRecord(feed)->text.c_str(), address.c_str());

    write(3);
    MakeDue("user0.mdb");
    m_frame->RefreshAll();
    // The pass's tasks outlive its worker: wait for them too.
    ASSERT_TRUE(m_frame->GetRefreshHost()->WaitIdle(60000));
    EXPECT_EQ(Count("user0.mdb", "item", address), 3) << "the new item is stored";
    EXPECT_TRUE(m_messages->texts.empty()) << m_messages->texts[0];

    bool refused = false;
    guitest::WhenDialogShown<CFeedPropertiesDlg>(
        [&](CFeedPropertiesDlg& dialog)
        {
            wxDynamicCast(dialog.FindWindow(CFeedPropertiesDlg::kTitleEdit), wxTextCtrl)->ChangeValue("Mine");
            guitest::Press(dialog, wxID_OK);
            refused = dialog.IsModal();
            if (refused)
                guitest::Press(dialog, wxID_CANCEL);
        });
    tree->SetRememberedItem(feed);
    m_frame->SendMessage(WM_APP_FEEDPROPERTIES);
    EXPECT_FALSE(refused) << "OK takes the feed's own address";
    EXPECT_TRUE(m_prompt->shown.empty());
    CFeedStore store;
    store.LoadChannel(uString("user0.mdb"), address);
    EXPECT_STREQ(store.channel.title.c_str(), "Mine");
    EXPECT_STREQ(tree->GetRecord(feed)->text.c_str(), address.c_str());

    // Dropped onto another list, it moves with its address as it is.
    tree->DropItem(feed, Find("First", kList), /*copy=*/false);
    EXPECT_TRUE(m_prompt->shown.empty());
    EXPECT_EQ(Count("default.mdb", "item", address), 3);
    EXPECT_EQ(Count("user0.mdb", "channel", address), 0);
}

// Feeds imported under the outline's titles take their own titles at their
// first fetch, in the tree, the window title and Properties, as they do after
// a restart. A name the user gave stays, also one given before that fetch.
TEST_F(OpmlFrameTest, ImportedFeedsTakeTheirOwnTitlesAtTheirFirstFetchButKeepTheUsersNames)
{
    Site site("Loopback news", {20, 230, 230, 255}, 3);
    std::string outlines;
    for (const auto& [text, path] :
         {std::pair("one", "/feed.xml"), {"two", "/two.xml"}, {"three", "/three.xml"}})
        outlines += std::string("<outline type=\"rss\" text=\"Outline ") + text + "\" xmlUrl=\"" +
                    site.Url(path).c_str() + "\"/>";
    site.AddFeed("/two.xml", "Other news", 2);
    chooser->answer = uString(Write("titles.opml", "<opml><body>" + outlines + "</body></opml>").c_str());
    Start();
    const wxTreeItemId list = Find("First", kList);
    auto settled = [&]
    {
        return !m_frame->GetRefreshHost()->IsRefreshRunning() &&
               m_frame->GetRefreshHost()->GetTaskTracker()->RunningTasks() == 0;
    };
    auto sortedLabels = [&]
    {
        std::vector<std::string> labels = Labels(list);
        std::sort(labels.begin(), labels.end());
        return labels;
    };
    // The third feed is not there yet: its fetch fails and it keeps the outline's title.
    const std::vector<std::string> fetched{"Loopback news (3)", "Other news (2)", "Outline three"};
    ImportEveryFeed();
    EXPECT_TRUE(guitest::RunEventsUntil([&] { return settled() && sortedLabels() == fetched; }, 60000))
        << testing::PrintToString(Labels(list));

    auto feed = [&](const char* path)
    {
        return m_frame->FindTreeItem(site.Url(path), tree->GetFirstChildItem(list), CMainFrame::kFindByValue,
                                     kFeed);
    };
    const wxTreeItemId first = feed("/feed.xml");
    const wxTreeItemId second = feed("/two.xml");
    const wxTreeItemId third = feed("/three.xml");
    ASSERT_TRUE(first.IsOk() && second.IsOk() && third.IsOk());
    tree->SelectItem(first);
    EXPECT_TRUE(guitest::RunEventsUntil(
        [&] { return m_frame->GetTitle().StartsWith("Kestrova - Loopback news - "); }, 5000))
        << m_frame->GetTitle();
    std::string propertiesTitle;
    guitest::WhenDialogShown<CFeedPropertiesDlg>(
        [&](CFeedPropertiesDlg& dialog)
        {
            propertiesTitle = wxDynamicCast(dialog.FindWindow(CFeedPropertiesDlg::kTitleEdit), wxTextCtrl)
                                  ->GetValue()
                                  .utf8_string();
            guitest::Press(dialog, wxID_CANCEL);
        });
    tree->SetRememberedItem(second);
    m_frame->SendMessage(WM_APP_FEEDPROPERTIES);
    EXPECT_EQ(propertiesTitle, "Other news");

    // Renamed: the second after its first fetch, the third before it.
    auto rename = [&](const wxTreeItemId& feed, const char* name)
    {
        tree->SetFocus();
        wxTextCtrl* editor = tree->EditLabel(feed);
        ASSERT_NE(editor, nullptr);
        editor->SetValue(name);
        tree->EndEditLabel(feed, false);
    };
    rename(second, "My other");
    rename(third, "Mine");
    site.AddFeed("/three.xml", "Third news", 1);
    MakeDue("default.mdb");
    m_frame->RefreshAll();
    EXPECT_TRUE(guitest::RunEventsUntil(
        [&] { return settled() && Count("default.mdb", "item", site.Url("/three.xml")) == 1; }, 60000));
    const std::vector<std::string> named{"Loopback news (3)", "Mine (1)", "My other (2)"};
    EXPECT_TRUE(guitest::RunEventsUntil([&] { return sortedLabels() == named; }, 5000))
        << testing::PrintToString(Labels(list));

    // The next start shows the same names.
    Restart();
    tree->Expand(Find("First", kList));
    EXPECT_EQ(Labels(Find("First", kList)), named);
}
