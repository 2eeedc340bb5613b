#include "GuiTestSupport.h"
#include "ReadingFixture.h"
#include "SqliteWatch.h"
#include "feeds/FeedStore.h"
#include "feeds/support/FeedTestSupport.h"
#include "mainwindow/HtmlCtrl.h"
#include "mainwindow/ItemKind.h"
#include "support/GermanInterface.h"
#include "support/TempDir.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <tuple>
#include <wx/menu.h>
#include <wx/mstream.h>
#include <wx/timer.h>
#include <wx/uiaction.h>
#include <wx/webview.h>

using reading::ReadingFixture;
using reading::Text;

namespace
{
class Reading : public ReadingFixture
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(Subscribe());
        ASSERT_NO_FATAL_FAILURE(SelectFeed());
        ASSERT_EQ(m_list->GetRowCount(), 3);
        m_list->Bind(wxEVT_RIGHT_DOWN,
                     [this](wxMouseEvent& event)
                     {
                         ++m_rightDowns;
                         event.Skip();
                     });
        m_list->Bind(wxEVT_MENU_OPEN,
                     [this](wxMenuEvent& event)
                     {
                         ++m_menusOpened;
                         event.Skip();
                     });
        m_list->Bind(wxEVT_MENU_CLOSE,
                     [this](wxMenuEvent& event)
                     {
                         ++m_menusClosed;
                         event.Skip();
                     });
    }

    std::vector<std::string> Column(int column)
    {
        std::vector<std::string> texts;
        for (int row = 0; row < m_list->GetRowCount(); ++row)
            texts.push_back(Text(m_list->GetRowText(row, column)));
        return texts;
    }
    void Click(int row, int x = 60) { guitest::ClickAt(RowPoint(row, x)); }
    void DoubleClick(int row, int x = 60) { guitest::ClickAt(RowPoint(row, x), true); }
    // A right-click at the point, once the list has had it; on a row, once
    // the menu it opened (which runs a loop of its own) is closed again by
    // Escape, pressed while it is open.
    void RightClickAt(const wxPoint& point, bool opensMenu)
    {
        const int downs = m_rightDowns, closed = m_menusClosed;
        wxTimer escape;
        escape.Bind(wxEVT_TIMER,
                    [this](wxTimerEvent&)
                    {
                        if (m_menusOpened > m_menusClosed)
                            wxUIActionSimulator().Char(WXK_ESCAPE);
                    });
        escape.Start(100);
        wxUIActionSimulator mouse;
        mouse.MouseMove(point);
        guitest::RunEventsFor(30);
        mouse.MouseClick(wxMOUSE_BTN_RIGHT);
        guitest::RunEventsUntil([&]
                                { return m_rightDowns > downs && (!opensMenu || m_menusClosed > closed); });
    }
    std::string ReadStatus(const char* path)
    {
        return Query("select readstatus from item where link='" + m_server.url(path) + "'");
    }

    int m_rightDowns = 0;
    int m_menusOpened = 0;
    int m_menusClosed = 0;
};
} // namespace

TEST_F(Reading, SelectingAFeedFillsTheListNewestFirstAndWritesTheChannelPage)
{
    EXPECT_EQ(Column(CKestrovaView::kTitle),
              (std::vector<std::string>{"Charlie <b>##link##</b>", "Bravo episode", "Alpha story"}));
    EXPECT_EQ(m_list->GetRow(0)->image, itemkind::kImageUnread);
    EXPECT_EQ(m_list->GetRow(1)->image, itemkind::kImageAudio);
    const CTransferRowData* bravo = m_list->GetRowData(1);
    ASSERT_NE(bravo, nullptr);
    EXPECT_EQ(bravo->flag, itemkind::kAudio);
    EXPECT_EQ(Text(bravo->ds), "default.mdb");
    // Headers, dates, authors and categories show whole in English and German,
    // no column narrower than the layout gives it; a dragged width stays.
    auto cellsWhole = [this]
    {
        EXPECT_GE(m_list->GetColumnWidth(CKestrovaView::kPublishDate), 100);
        for (int column = 0; column < CKestrovaView::kColumnCount; ++column)
        {
            wxListItem header;
            header.SetMask(wxLIST_MASK_TEXT);
            m_list->GetColumn(column, header);
            std::vector<std::string> texts =
                column == CKestrovaView::kTitle ? std::vector<std::string>() : Column(column);
            texts.push_back(header.GetText().utf8_string());
            for (const std::string& text : texts)
                EXPECT_GE(m_list->GetColumnWidth(column),
                          m_list->GetTextExtent(wxString::FromUTF8(text)).x + 8)
                    << text;
        }
    };
    cellsWhole();
    guitest::TakeScreenshot("item-list-english");
    {
        testsupport::GermanInterface german(
            std::filesystem::path(KESTROVA_LIST_TEMPLATE).parent_path().parent_path().c_str());
        ASSERT_TRUE(german.loaded);
        SelectFeed();
        cellsWhole();
    }
    m_list->SetColumnWidth(CKestrovaView::kPublishDate, 60);
    wxListEvent dragged(wxEVT_LIST_COL_END_DRAG, m_list->GetId());
    dragged.m_col = CKestrovaView::kPublishDate;
    m_list->GetEventHandler()->ProcessEvent(dragged);
    SelectFeed();
    EXPECT_EQ(m_list->GetColumnWidth(CKestrovaView::kPublishDate), 60);

    std::string page = WaitForPage("logo.png");
    EXPECT_NE(page.find("<a alt=\"Loopback &quot;News&quot;\" href=\"" + m_server.url("/") + "\">"),
              std::string::npos)
        << page;
    EXPECT_EQ(Text(m_browser->GetAddressText()), FeedUrl());
    guitest::RunEventsUntil([&] { return !m_server.requestsFor("/logo.png").empty(); });
    guitest::RunEventsFor(500);
    EXPECT_TRUE(guitest::TakeScreenshot("reading-channel-page").IsOk());
}

TEST_F(Reading, ClickingAnItemRendersItMarksItReadAndRefreshesTheCount)
{
    ASSERT_EQ(Unread(), 3);
    Click(2);
    std::string page = WaitForPage("Alpha story");
    ASSERT_FALSE(page.empty()) << "the clicked item is rendered";
    EXPECT_NE(page.find("<p>First <b>bold</b> words</p>"), std::string::npos) << "descriptions stay HTML";
    EXPECT_EQ(ReadStatus("/alpha"), "1");
    EXPECT_EQ(Unread(), 2);
    EXPECT_EQ(m_list->GetSelectedRow(), 2);
    EXPECT_EQ(m_list->GetRow(2)->image, itemkind::kImageRead);
    EXPECT_EQ(m_labelRefreshes, 1);
    EXPECT_EQ(Text(m_browser->GetAddressText()), m_server.url("/alpha"));

    // The row already selected renders again when clicked.
    m_browser->GetHtmlCtrl()->WriteHtml(uString("<p>other</p>"));
    ASSERT_FALSE(WaitForPage("other").empty());
    Click(2);
    EXPECT_FALSE(WaitForPage("Alpha story").empty());
    EXPECT_EQ(m_labelRefreshes, 2);

    // A title is text, placeholders inside values stay as they are, and the
    // feed's script does not run.
    Click(0);
    page = WaitForPage("Zebra");
    EXPECT_NE(page.find("Charlie &lt;b&gt;##link##&lt;/b&gt;"), std::string::npos) << page;
    EXPECT_NE(page.find("Zebra ##enclosure##"), std::string::npos);
    guitest::RunEventsFor(300);
    EXPECT_NE(m_browser->GetHtmlCtrl()->GetWebView()->GetCurrentTitle(), "hacked");

    Click(1);
    page = WaitForPage("Bravo episode");
    EXPECT_NE(page.find("src=\"http://127.0.0.1:" + std::to_string(m_server.port()) + "/media/bravo.mp3\""),
              std::string::npos)
        << "the audio template links the remote enclosure";
    EXPECT_EQ(Unread(), 0);
    guitest::RunEventsUntil([&] { return m_browser->GetHtmlCtrl()->GetPageTitle() == "Bravo episode"; });
    guitest::RunEventsFor(500);
    EXPECT_TRUE(guitest::TakeScreenshot("reading-item-with-enclosure").IsOk());
}

// Back walks every item and page seen, and the list's selection follows.
TEST_F(Reading, BackWalksTheItemsAndTheirPagesAndTheSelectionFollows)
{
    for (const auto& [row, item, web] :
         {std::tuple(2, "Alpha story", "Alpha on the web"), std::tuple(0, "Zebra", "Charlie on the web")})
    {
        Click(row);
        ASSERT_FALSE(WaitForPage(item).empty());
        guitest::ClickAt(m_browser->GetHtmlCtrl()->GetWebView()->ClientToScreen(wxPoint(30, 22)));
        ASSERT_FALSE(WaitForPage(web).empty()) << "the item's title links its page";
    }
    wxCommandEvent back(wxEVT_TOOL, CWebBrowserFrame::kBack);
    for (const auto& [text, row] :
         {std::pair("Zebra", 0), std::pair("Alpha on the web", 2), std::pair("<b>bold</b> words", 2)})
    {
        m_browser->GetEventHandler()->ProcessEvent(back);
        EXPECT_FALSE(WaitForPage(text).empty()) << text;
        EXPECT_EQ(m_list->GetSelectedRow(), row) << text;
    }
    EXPECT_EQ(Text(m_browser->GetAddressText()), m_server.url("/alpha"));
    wxCommandEvent forward(wxEVT_TOOL, CWebBrowserFrame::kForward);
    for (const auto& [text, row] : {std::pair("Alpha on the web", 2), std::pair("Zebra", 0)})
    {
        m_browser->GetEventHandler()->ProcessEvent(forward);
        EXPECT_FALSE(WaitForPage(text).empty()) << text;
        EXPECT_EQ(m_list->GetSelectedRow(), row) << text;
    }
}

TEST_F(Reading, ArrowKeysMoveOnceAndEnterDiffersFromDoubleClick)
{
    std::vector<int> opened;
    CKestrovaView::Hooks hooks;
    hooks.showSelectedItem = [this] { m_reader->ShowSelectedItem(); };
    hooks.showNextItem = [this](int key) { m_reader->ShowNextItem(key); };
    hooks.openItem = [&](int doubleClick)
    {
        opened.push_back(doubleClick);
        m_reader->OpenListItem(doubleClick);
    };
    m_list->SetHooks(hooks);

    Click(0);
    ASSERT_FALSE(WaitForPage("Zebra").empty());
    wxUIActionSimulator keys;
    keys.Char(WXK_DOWN);
    guitest::RunEventsFor(50);
    EXPECT_EQ(m_list->GetSelectedRow(), 1);
    EXPECT_FALSE(WaitForPage("Bravo episode").empty());
    keys.Char(WXK_DOWN);
    guitest::RunEventsFor(50);
    EXPECT_EQ(m_list->GetSelectedRow(), 2);
    keys.Char(WXK_DOWN); // at the last row: nothing
    guitest::RunEventsFor(50);
    EXPECT_EQ(m_list->GetSelectedRow(), 2);
    keys.Char(WXK_UP);
    guitest::RunEventsFor(50);
    EXPECT_EQ(m_list->GetSelectedRow(), 1);

    keys.Char(WXK_RETURN);
    ASSERT_FALSE(WaitForPage("Bravo on the web").empty()) << "opening goes to the item's page";
    DoubleClick(2);
    ASSERT_FALSE(WaitForPage("Alpha on the web").empty());
    EXPECT_EQ(opened, (std::vector<int>{0, 1}));
}

TEST_F(Reading, HomeEndAndPageKeysShowTheRowTheyLandOn)
{
    CKestrovaView::Hooks hooks;
    hooks.showSelectedItem = [this] { m_reader->ShowSelectedItem(); };
    hooks.showNextItem = [this](int key) { m_reader->ShowNextItem(key); };
    m_list->SetHooks(hooks);

    Click(0);
    ASSERT_FALSE(WaitForPage("Zebra").empty());
    const struct
    {
        int key;
        int row;
        const char* shown;
    } moves[] = {
        {WXK_END, 2, "Alpha story"},
        {WXK_HOME, 0, "Zebra"},
        {WXK_PAGEDOWN, 2, "Alpha story"},
        {WXK_PAGEUP, 0, "Zebra"},
    };
    wxUIActionSimulator keys;
    for (const auto& move : moves)
    {
        keys.Char(move.key);
        EXPECT_FALSE(WaitForPage(move.shown).empty()) << "key " << move.key;
        EXPECT_EQ(m_list->GetSelectedRow(), move.row) << "key " << move.key;
    }
}

TEST_F(Reading, ANewlyLoadedListStartsAtItsTop)
{
    auto fill = [this](const std::string& name)
    {
        CFeedStore store;
        store.databaseName = "default.mdb";
        for (int i = 0; i < 200; ++i)
        {
            CItemRecord item;
            item.title = (name + " " + std::to_string(i)).c_str();
            item.link = (m_server.url("/") + name + std::to_string(i)).c_str();
            store.items.push_back(item);
        }
        m_reader->FillItemList(store);
        guitest::RunEventsFor(100);
    };
    fill("first");
    m_list->SelectRow(199);
    guitest::RunEventsFor(100);
    ASSERT_GT(m_list->GetTopItem(), 100) << "scrolled down to the last item";
    fill("second");
    EXPECT_EQ(m_list->GetTopItem(), 0);
}

TEST_F(Reading, AnItemLinkThatIsNoWebAddressIsNeverOpened)
{
    {
        CFeedStore store;
        store.SetDatabase(uString("default.mdb"));
        store.EnsureOpen(false);
        const std::string alpha = m_server.url("/alpha");
        ASSERT_TRUE(store.dataObject.execute(
            ("update item set link='javascript:document.title=''X''' where link='" + alpha + "'").c_str()));
    }
    ASSERT_NO_FATAL_FAILURE(SelectFeed());
    wxWebView* view = m_browser->GetHtmlCtrl()->GetWebView();

    // Over a web page, which runs scripts: the link must not reach it.
    Click(1);
    wxUIActionSimulator().Char(WXK_RETURN);
    ASSERT_FALSE(WaitForPage("Bravo on the web").empty());
    guitest::RunEventsFor(300);
    const wxString webTitle = view->GetCurrentTitle();
    m_list->SelectRow(2);
    m_reader->OpenListItem(0);
    guitest::RunEventsFor(1000);
    EXPECT_EQ(view->GetCurrentTitle(), webTitle);
    EXPECT_FALSE(WaitForPage("Bravo on the web").empty());

    // Over the item's own page: Enter, a double-click and Display Original
    // Website all refuse it quietly.
    Click(2);
    ASSERT_FALSE(WaitForPage("bold").empty());
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return view->GetCurrentTitle() == "Alpha story"; }));
    wxUIActionSimulator().Char(WXK_RETURN);
    guitest::RunEventsFor(1000);
    DoubleClick(2);
    guitest::RunEventsFor(1000);
    m_reader->OpenListItem(0);
    guitest::RunEventsFor(1000);
    EXPECT_EQ(view->GetCurrentTitle(), "Alpha story");
    // The link never reached the browser: it is not in the address history.
    for (const uString& address : m_browser->GetHistory())
        EXPECT_EQ(Text(address).find("javascript:"), std::string::npos) << Text(address);
    EXPECT_EQ(Query("select readstatus from item where link like 'javascript:%'"), "1");
}

TEST_F(Reading, EachColumnSortsAscendingThenDescending)
{
    struct Expected
    {
        int column;
        std::vector<std::string> ascending;
    };
    const Expected columns[] = {
        {CKestrovaView::kTitle, {"Alpha story", "Bravo episode", "Charlie <b>##link##</b>"}},
        {CKestrovaView::kAuthor, {"Bravo episode", "Charlie <b>##link##</b>", "Alpha story"}},
        {CKestrovaView::kCategory, {"Bravo episode", "Alpha story", "Charlie <b>##link##</b>"}},
        {CKestrovaView::kPublishDate, {"Alpha story", "Bravo episode", "Charlie <b>##link##</b>"}},
    };
    Click(1);
    ASSERT_FALSE(WaitForPage("Bravo episode").empty());
    for (const Expected& expected : columns)
    {
        m_list->SortByColumn(expected.column);
        EXPECT_EQ(Column(CKestrovaView::kTitle), expected.ascending) << "column " << expected.column;
        m_list->SortByColumn(expected.column);
        std::vector<std::string> descending(expected.ascending.rbegin(), expected.ascending.rend());
        EXPECT_EQ(Column(CKestrovaView::kTitle), descending) << "column " << expected.column;
        // Rows keep their records, and the selection stays with its item.
        const int selected = m_list->GetSelectedRow();
        EXPECT_EQ(Text(m_list->GetRowText(selected, 0)), "Bravo episode");
        EXPECT_EQ(Text(m_list->GetRowData(selected)->item), m_server.url("/bravo"));
    }

    // A click on the header sorts too.
    m_list->SortByColumn(CKestrovaView::kAuthor); // a different column first: the next click starts ascending
    wxWindow* header = nullptr;
    for (wxWindow* child : m_list->GetChildren())
    {
        // The header is the short child at the top; the rows fill the rest.
        if (child->GetPosition().y == 0 && child->GetSize().y < 60 && child->GetSize().y > 0)
            header = child;
    }
    ASSERT_NE(header, nullptr);
    wxUIActionSimulator mouse;
    mouse.MouseMove(header->ClientToScreen(wxPoint(40, header->GetClientSize().y / 2)));
    guitest::RunEventsFor(30);
    mouse.MouseClick();
    guitest::RunEventsFor(100);
    EXPECT_EQ(m_list->GetSortColumn(), CKestrovaView::kTitle);
    EXPECT_EQ(Column(CKestrovaView::kTitle), columns[0].ascending);
}

TEST_F(Reading, TheIconKeepsAnItemAndReleasesItWithoutDeletingItsMedia)
{
    // Bravo's episode was downloaded into the library.
    CPreference* preference = CPreference::GetInstance();
    const std::string media =
        Text(preference->GetLibraryDir().getPath()) + "/My Music/Loopback News/bravo.mp3";
    std::filesystem::create_directories(std::filesystem::path(media).parent_path());
    std::ofstream(media) << "ID3 episode";
    {
        CFeedStore store;
        store.SetDatabase(uString("default.mdb"));
        store.SetEnclosureFile(uString(m_server.url("/bravo").c_str()),
                               uString("My Music/Loopback News/bravo.mp3"), 11, nullptr);
    }
    const uString link(m_server.url("/bravo").c_str());
    const uString channel("Loopback News");
    const std::string kept = "select attributes from item where link='" + m_server.url("/bravo") + "'";

    Click(1, /*x=*/8); // on the icon
    ASSERT_FALSE(WaitForPage("Bravo episode").empty());
    EXPECT_EQ(Query(kept), "1");
    EXPECT_EQ(m_list->GetRow(1)->image, itemkind::kImageAudioKept);
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return m_reader->IsItemArchived(link, channel); }, 20000))
        << "keeping saves the item's page";
    EXPECT_NE(testsupport::ReadFileBytes(Text(m_reader->GetArchivePath(link, channel).getPath()))
                  .find("Bravo on the web"),
              std::string::npos);
    // The page shows the downloaded file, not the remote address.
    EXPECT_FALSE(WaitForPage("bravo.mp3").empty());
    EXPECT_NE(WaitForPage("bravo.mp3").find("kestrova://file/"), std::string::npos);

    Click(1, 8);
    ASSERT_FALSE(WaitForPage("Bravo episode").empty());
    EXPECT_EQ(Query(kept), "0");
    EXPECT_FALSE(m_reader->IsItemArchived(link, channel));
    EXPECT_TRUE(std::filesystem::exists(media)) << "releasing never deletes downloaded media";
    EXPECT_EQ(m_list->GetRow(1)->image, itemkind::kImageAudio);
    CFeedStore reloaded;
    reloaded.SetDatabase(uString("default.mdb"));
    reloaded.LoadChannel(uString("default.mdb"), uString(FeedUrl().c_str()));
    EXPECT_EQ(reloaded.items.size(), 3u) << "a released item stays listed";

    // A double-click on the icon is one toggle, not a keep and a release.
    DoubleClick(2, 8);
    guitest::RunEventsFor(300);
    EXPECT_EQ(Query("select attributes from item where link='" + m_server.url("/alpha") + "'"), "1");
}

// A kept row promises an offline copy: when its folder cannot be made the
// user hears why and the row stays as it was.
TEST_F(Reading, AKeepWithoutAnArchiveFolderIsReportedAndKeepsNothing)
{
    feedtest::ShownMessages shown;
    const std::string blocked =
        Text(CPreference::GetInstance()->GetArchiveDir().getPath()) + "/Loopback News";
    std::ofstream(blocked) << "a file where the channel's folder would go";
    const std::string kept = "select attributes from item where link='" + m_server.url("/bravo") + "'";

    Click(1, /*x=*/8); // on the icon
    ASSERT_FALSE(WaitForPage("Bravo episode").empty());
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_NE(shown()[0].find(m_server.url("/bravo")), std::string::npos) << shown()[0];
    EXPECT_EQ(Query(kept), "0");
    EXPECT_EQ(m_list->GetRow(1)->image, itemkind::kImageAudio);
    EXPECT_FALSE(m_reader->IsItemArchived(uString(m_server.url("/bravo").c_str()), uString("Loopback News")));
}

TEST_F(Reading, OnlyAClickOnTheIconFlipsTheKeptFlag)
{
    const std::string kept = "select attributes from item where link='" + m_server.url("/bravo") + "'";
    Click(1, /*x=*/8);
    ASSERT_FALSE(WaitForPage("Bravo episode").empty());
    ASSERT_EQ(Query(kept), "1");
    guitest::RunEventsFor(800); // longer than a double-click

    // The keys come back to the row the icon was clicked on: no click now.
    wxUIActionSimulator keys;
    keys.Char(WXK_DOWN);
    ASSERT_FALSE(WaitForPage("Alpha story").empty());
    keys.Char(WXK_UP);
    ASSERT_FALSE(WaitForPage("Bravo episode").empty());
    guitest::RunEventsFor(300);
    EXPECT_EQ(Query(kept), "1") << "Down and Up keep the item kept";

    // A right-click shows the row under it first; that is no icon click either.
    RightClickAt(RowPoint(1), /*opensMenu=*/true);
    EXPECT_EQ(m_list->GetRightClickedRow(), 1);
    EXPECT_EQ(Query(kept), "1") << "a right-click keeps the item kept";
    EXPECT_EQ(m_list->GetRow(1)->image, itemkind::kImageAudioKept);
}

TEST_F(Reading, RowMenuCommandsActOnTheRightClickedRowOnly)
{
    std::vector<std::pair<int, int>> commands;
    CKestrovaView::Hooks hooks;
    hooks.showSelectedItem = [this] { m_reader->ShowSelectedItem(); };
    hooks.rowCommand = [&](int command, const int* row) { commands.emplace_back(command, *row); };
    m_list->SetHooks(hooks);
    auto command = [&](int id)
    {
        wxCommandEvent event(wxEVT_MENU, id);
        m_list->GetEventHandler()->ProcessEvent(event);
    };

    RightClickAt(RowPoint(1), /*opensMenu=*/true);
    EXPECT_EQ(m_list->GetRightClickedRow(), 1);
    EXPECT_FALSE(WaitForPage("Bravo episode").empty()) << "the row under the click is shown first";
    command(CKestrovaView::kDeleteItem);
    command(CKestrovaView::kDownloadLater);
    EXPECT_EQ(commands, (std::vector<std::pair<int, int>>{{213, 1}, {209, 1}}));

    // A right-click on empty space shows the selected item first, then
    // leaves no row: the commands do nothing.
    commands.clear();
    m_browser->GetHtmlCtrl()->WriteHtml(uString("<p>Another page</p>"));
    ASSERT_FALSE(WaitForPage("Another page").empty());
    RightClickAt(m_list->ClientToScreen(wxPoint(100, m_list->GetClientSize().y - 10)), /*opensMenu=*/false);
    EXPECT_FALSE(WaitForPage("Bravo episode").empty());
    EXPECT_EQ(m_list->GetRightClickedRow(), -1);
    command(CKestrovaView::kArchiveItem);
    EXPECT_TRUE(commands.empty());
}

namespace
{
// A feed whose item text names its link and image relative to the item.
class ReadingRelativeReferences : public ReadingFixture
{
protected:
    void SetUp() override
    {
        const std::string base = m_server.url("/");
        m_server.serveContent(
            "/feed.xml",
            "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Trains</title>"
            "<link>" +
                base +
                "</link><description>d</description>"
                "<item><title>New timetable</title><link>" +
                base +
                "news/items/7.html</link>"
                "<description>&lt;p&gt;&lt;img src=\"map.png\" width=120 height=60&gt;&lt;/p&gt;"
                "&lt;a href=\"timetable.html\" style=\"position:fixed;left:0;bottom:0;"
                "width:100%;height:60px;background:#cde\"&gt;See the timetable&lt;/a&gt;"
                "</description></item></channel></rss>",
            "application/rss+xml");
        if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr)
            wxImage::AddHandler(new wxPNGHandler);
        wxImage map(120, 60);
        map.SetRGB(wxRect(0, 0, 120, 60), 30, 170, 60);
        wxMemoryOutputStream out;
        map.SaveFile(out, wxBITMAP_TYPE_PNG);
        std::string png(out.GetSize(), '\0');
        out.CopyTo(png.data(), png.size());
        m_server.serveContent("/news/items/map.png", png, "image/png");
        ASSERT_NO_FATAL_FAILURE(Subscribe());
        ASSERT_NO_FATAL_FAILURE(SelectFeed());
        ASSERT_EQ(m_list->GetRowCount(), 1);
    }
};
} // namespace

TEST_F(ReadingRelativeReferences, TheItemsLinksAndImagesResolveAgainstItsSite)
{
    std::vector<std::string> texts;
    m_browser->GetHtmlCtrl()->SetStatusHandler(
        [&](long, const uString* text)
        {
            if (text != nullptr)
                texts.push_back(Text(*text));
        });
    guitest::ClickAt(RowPoint(0));
    ASSERT_FALSE(WaitForPage("See the timetable").empty());
    EXPECT_TRUE(
        guitest::RunEventsUntil([&] { return !m_server.requestsFor("/news/items/map.png").empty(); }, 15000))
        << "the image loads from the item's site";

    wxWebView* view = m_browser->GetHtmlCtrl()->GetWebView();
    wxUIActionSimulator mouse;
    mouse.MouseMove(view->ClientToScreen(wxPoint(view->GetClientSize().x / 2, view->GetClientSize().y - 30)));
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return !texts.empty() && !texts.back().empty(); }, 5000));
    EXPECT_EQ(texts.back(), m_server.url("/news/items/timetable.html"));
    guitest::RunEventsFor(500);
    EXPECT_TRUE(guitest::TakeScreenshot("item-relative-image").IsOk());
}

// An item's text is based on the item's link only when that is a network
// address. A link naming the reader's own files, or no place (urn:), falls
// back to the feed's address, read without the feed's items; a feed without
// a network address leaves the references as written.
TEST_F(Reading, AnItemsTextIsNeverBasedOnTheReadersOwnFiles)
{
    auto execute = [](const std::string& sql)
    {
        CFeedStore store;
        store.SetDatabase(uString("default.mdb"));
        store.EnsureOpen(false);
        ASSERT_TRUE(store.dataObject.execute(sql.c_str())) << sql;
    };
    const std::string text = "<a href=\"passwd\">p</a><img src=\"//host/x\">";
    const std::string resolved =
        "<a href=\"" + m_server.url("/passwd") + "\">p</a><img src=\"http://host/x\">";
    // Rows, newest first: charlie, bravo, alpha.
    const std::vector<std::pair<std::string, std::string>> links = {
        {"/charlie", "file:///etc/"}, {"/bravo", "FILE:///etc/"}, {"/alpha", "file://localhost/etc/"}};
    for (std::size_t row = 0; row < links.size(); ++row)
        execute("update item set link='" + links[row].second + "', description='row" + std::to_string(row) +
                " " + text + "' where link='" + m_server.url(links[row].first) + "'");
    ASSERT_NO_FATAL_FAILURE(SelectFeed());
    auto show = [&](int row)
    {
        m_browser->GetHtmlCtrl()->WriteHtml(uString("<p>between</p>"));
        EXPECT_FALSE(WaitForPage("between").empty());
        m_reader->ShowListItem(row);
        return WaitForPage("row" + std::to_string(row) + " ");
    };
    for (int row = 0; row < 3; ++row)
    {
        const std::string page = show(row);
        EXPECT_NE(page.find(resolved), std::string::npos) << links[row].second << ": " << page;
        EXPECT_EQ(page.find("/etc/passwd"), std::string::npos) << page;
        EXPECT_EQ(page.find("file://host"), std::string::npos) << page;
    }

    // A urn: link: one read of the feed's address, none of its items.
    execute("update item set link='urn:uuid:charlie' where link='file:///etc/'");
    ASSERT_NO_FATAL_FAILURE(SelectFeed());
    {
        sqlitewatch::StatementRecorder statements("default.mdb");
        EXPECT_NE(show(0).find(resolved), std::string::npos);
        const std::vector<std::string> run = statements.Statements();
        EXPECT_FALSE(run.empty());
        for (std::string sql : run)
        {
            std::transform(sql.begin(), sql.end(), sql.begin(),
                           [](unsigned char c) { return std::tolower(c); });
            EXPECT_EQ(sql.find("select * from item "), std::string::npos)
                << "the feed's items were read: " << sql;
        }
    }

    // A feed read from a file has no network address either.
    const std::string local = "file:///srv/feeds/news.xml";
    execute("update channel set feed='" + local + "' where feed='" + FeedUrl() + "'");
    execute("update item set feed='" + local + "' where feed='" + FeedUrl() + "'");
    CFeedStore store;
    store.LoadChannel(uString("default.mdb"), uString(local.c_str()));
    ASSERT_EQ(store.items.size(), 3u);
    m_reader->FillItemList(store);
    for (int row = 0; row < 3; ++row)
        EXPECT_NE(show(row).find("row" + std::to_string(row) + " " + text), std::string::npos) << row;
}
