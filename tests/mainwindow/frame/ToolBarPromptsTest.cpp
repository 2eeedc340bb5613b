// The status bar while the pointer is on the frame's tool bars and on links
// in the reading pane: what a button does while the pointer is on it, the
// text that was there (or "Ready") once it left, and a link's address only
// while it is on the link. The tips and prompts follow a language picked
// while the window is open.
#include "FrameFixture.h"
#include "common/MenuBuilder.h"
#include "common/Messages.h"
#include "mainwindow/HtmlCtrl.h"
#include "mainwindow/LanguageSelector.h"
#include "mainwindow/MainToolBar.h"
#include "mainwindow/ProfileStore.h"
#include "mainwindow/WebBrowserFrame.h"
#include "mainwindow/XStatusBar.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <wx/combobox.h>
#include <wx/toolbar.h>
#include <wx/uiaction.h>
#include <wx/webview.h>

namespace
{
class ToolBarPromptsTest : public FrameFixture
{
protected:
    struct Sweep
    {
        std::map<int, std::string> prompts; // command: the text shown on entering its tool
        std::vector<std::string> afterLeaving;
    };

    void ShowFrameIn(int language)
    {
        CProfileStore profile(m_home.file("profile.ini"));
        profile.WriteProfileInt("", "LanguageId", language);
        profile.Flush();
        m_profile = std::make_unique<CProfileStore>(m_home.file("profile.ini"));
        m_frame = new CMainFrame(m_profile.get(), NoEngine());
        m_frame->SetSize(wxRect(wxPoint(40, 40), wxSize(1000, 700)));
        m_frame->Show();
        guitest::RunEventsUntil([&] { return m_frame->IsShownOnScreen(); });
        // The search tool takes a phrase: with one typed it can be used.
        CMainToolBar* search = m_frame->GetSearchToolBar();
        search->GetSearchCombo()->SetValue("harbour");
        guitest::RunEventsUntil([&] { return search->GetToolEnabled(ui::MenuCommandId(32793)); });
    }

    std::string StatusText() const { return m_frame->GetStatusBarEx()->GetStatusText(0).utf8_string(); }

    void PointAtStatusBar() const
    {
        wxUIActionSimulator().MouseMove(m_frame->GetStatusBarEx()->GetScreenRect().GetBottomRight() -
                                        wxPoint(60, 4));
    }

    // Moves the pointer along the bar, from outside it to outside it again,
    // and notes what the status bar says as it enters and leaves each tool;
    // onEnter runs as the pointer first enters a tool.
    Sweep SweepAlong(wxToolBar* bar, const std::function<void(int)>& onEnter = {})
    {
        Sweep sweep;
        auto note = [&](wxCommandEvent& event)
        {
            event.Skip();
            if (event.GetInt() == wxID_ANY)
                sweep.afterLeaving.push_back(StatusText());
            else if (sweep.prompts.count(event.GetInt()) == 0)
            {
                sweep.prompts[event.GetInt()] = StatusText();
                if (onEnter)
                    onEnter(event.GetInt());
            }
        };
        bar->Bind(wxEVT_TOOL_ENTER, note);
        PointAtStatusBar();
        guitest::RunEventsFor(100);
        wxUIActionSimulator mouse;
        const int y = bar->GetClientSize().y / 2;
        for (int x = 2; x < bar->GetClientSize().x; x += 6)
        {
            mouse.MouseMove(bar->ClientToScreen(wxPoint(x, y)));
            guitest::RunEventsFor(15);
        }
        PointAtStatusBar();
        guitest::RunEventsUntil([&] { return !sweep.afterLeaving.empty(); });
        guitest::RunEventsFor(100);
        bar->Unbind(wxEVT_TOOL_ENTER, note);
        return sweep;
    }

    using Prompts = std::map<int, std::string>;
    static Prompts ByCommand(std::initializer_list<std::pair<const int, std::string>> prompts)
    {
        Prompts byId;
        for (const auto& [command, text] : prompts)
            byId[ui::MenuCommandId(command)] = text;
        return byId;
    }

    // Picks a language from Tools > Language, as the user does.
    void PickLanguage(std::uint16_t language)
    {
        const std::vector<std::uint16_t>& languages = m_frame->GetLanguageSelector()->GetLanguages();
        auto found = std::find(languages.begin(), languages.end(), language);
        ASSERT_NE(found, languages.end()) << language;
        wxCommandEvent pick(wxEVT_MENU,
                            CLanguageSelector::kFirstCommand + static_cast<int>(found - languages.begin()));
        m_frame->GetEventHandler()->ProcessEvent(pick);
        guitest::RunEventsFor(200);
    }

    void SendStatusText(const std::string& text)
    {
        m_frame->SendMessage(WM_APP_STATUSTEXT, 0, uString(text.c_str()));
    }

    std::unique_ptr<CProfileStore> m_profile;
};
} // namespace

TEST_F(ToolBarPromptsTest, EveryToolOfBothBarsShowsWhatItDoesAndLeavingItShowsReady)
{
    ShowFrameIn(0x0409);
    // Download Now waits for a download to start, and a tool that cannot be
    // used is not entered.
    const Prompts main = ByCommand({
        {32770, "Subscribe to a new news feed"},
        {32785, "Open a web address in the browser"},
        {129, "Save the active webpage, news feed or news outline"},
        {32776, "Check the subscribed feeds for new items now"},
        {224, "Look for news feeds offered by the page in the browser"},
        {32812, "Export/Play Current Podcast"},
        {57607, "Print the page shown in the browser"},
        {57664, "Display program information, version number and copyright"},
    });
    const Prompts search = ByCommand({
        {32792, "Search the feed items with the query tool"},
        {32793, "Search the chosen list for the phrase typed"},
        {32798, "Remove the outdated items of every list"},
    });
    for (const auto& [bar, expected] :
         {std::pair<wxToolBar*, const Prompts&>(m_frame->GetMainToolBar(), main),
          std::pair<wxToolBar*, const Prompts&>(m_frame->GetSearchToolBar(), search)})
    {
        Sweep sweep = SweepAlong(bar);
        EXPECT_EQ(sweep.prompts, expected);
        ASSERT_FALSE(sweep.afterLeaving.empty());
        for (const std::string& text : sweep.afterLeaving)
            EXPECT_EQ(text, "Ready");
    }
}

TEST_F(ToolBarPromptsTest, InGermanTheToolsTellWhatTheyDoInGerman)
{
    if (!std::filesystem::exists(std::string(std::getenv("KESTROVA_PROGRAM_DIR")) + "/languages/de.mo"))
        GTEST_SKIP() << "the build made no catalogs (msgfmt missing)";
    ShowFrameIn(0x0407);
    Sweep main = SweepAlong(m_frame->GetMainToolBar());
    EXPECT_EQ(main.prompts[ui::MenuCommandId(32770)], "Einen neuen Newsfeed abonnieren");
    EXPECT_EQ(main.prompts[ui::MenuCommandId(32812)], "Aktuellen Podcast exportieren/abspielen");
    EXPECT_EQ(main.prompts[ui::MenuCommandId(129)],
              "Die aktive Webseite, den Newsfeed oder die Nachrichtengliederung speichern");
    Sweep search = SweepAlong(m_frame->GetSearchToolBar());
    EXPECT_EQ(search.prompts[ui::MenuCommandId(32792)],
              "Die Feed-Einträge mit dem Abfragewerkzeug durchsuchen");
    ASSERT_FALSE(search.afterLeaving.empty());
    EXPECT_EQ(search.afterLeaving.back(), "Bereit");
}

// Leaving a tool puts back what the status bar said before the pointer came
// (a refresh's progress), or what was set while it was on the tool, and
// "Ready" only where there was nothing.
TEST_F(ToolBarPromptsTest, LeavingAToolPutsBackTheTextThatWasThereOrWasSetMeanwhile)
{
    ShowFrameIn(0x0409);
    const struct
    {
        std::string before;
        std::string meanwhile; // set while the pointer is on Refresh Now; empty: nothing
        std::string after;
    } rows[] = {
        {"Updating Harbour News", "", "Updating Harbour News"},
        {"", "", "Ready"},
        {"Ready", "Downloading harbour.mp3", "Downloading harbour.mp3"},
    };
    for (const auto& row : rows)
    {
        SendStatusText(row.before);
        Sweep sweep = SweepAlong(m_frame->GetMainToolBar(),
                                 [&](int command)
                                 {
                                     if (command == ui::MenuCommandId(32776) && !row.meanwhile.empty())
                                         SendStatusText(row.meanwhile);
                                 });
        EXPECT_EQ(sweep.prompts[ui::MenuCommandId(32770)], "Subscribe to a new news feed") << row.before;
        ASSERT_FALSE(sweep.afterLeaving.empty());
        EXPECT_EQ(sweep.afterLeaving.front(), row.before.empty() ? "Ready" : row.before);
        EXPECT_EQ(sweep.afterLeaving.back(), row.after) << row.before;
        EXPECT_EQ(StatusText(), row.after) << row.before;
    }
}

// A language picked while the window is open shows at once in the tools'
// tips and in what the status bar says for them, and so does going back.
TEST_F(ToolBarPromptsTest, ALanguagePickedWhileTheWindowIsOpenShowsInTheToolsAtOnce)
{
    if (!std::filesystem::exists(std::string(std::getenv("KESTROVA_PROGRAM_DIR")) + "/languages/de.mo"))
        GTEST_SKIP() << "the build made no catalogs (msgfmt missing)";
    ShowFrameIn(0x0409);
    wxToolBar* browserBar = nullptr;
    for (wxWindow* child : m_frame->GetBrowserFrame()->GetChildren())
        if (auto* found = wxDynamicCast(child, wxToolBar))
            browserBar = found;
    ASSERT_NE(browserBar, nullptr);
    const std::pair<wxToolBar*, int> tools[] = {{m_frame->GetMainToolBar(), ui::MenuCommandId(32770)},
                                                {m_frame->GetSearchToolBar(), ui::MenuCommandId(32798)},
                                                {browserBar, CWebBrowserFrame::kHome}};
    const struct
    {
        std::uint16_t language;
        std::string ready;
        std::pair<std::string, std::string> tipAndPrompt[3]; // of each tool above
    } rows[] = {
        {0x0007,
         "Bereit",
         {{"Neues Abonnement", "Einen neuen Newsfeed abonnieren"},
          {"Alle veralteten Feeds entfernen", "Die veralteten Einträge aller Listen entfernen"},
          {"Startseite", "Öffnet Ihre Startseite."}}},
        {0x0409,
         "Ready",
         {{"New Subscription", "Subscribe to a new news feed"},
          {"Remove All Outdated Feeds", "Remove the outdated items of every list"},
          {"Start Page", "Opens your start page."}}},
    };
    for (const auto& row : rows)
    {
        PickLanguage(row.language);
        EXPECT_EQ(StatusText(), row.ready);
        for (int i = 0; i < 3; ++i)
        {
            const auto& [bar, tool] = tools[i];
            EXPECT_EQ(bar->GetToolShortHelp(tool).utf8_string(), row.tipAndPrompt[i].first);
            Sweep sweep = SweepAlong(bar);
            EXPECT_EQ(sweep.prompts[tool], row.tipAndPrompt[i].second);
            ASSERT_FALSE(sweep.afterLeaving.empty());
            EXPECT_EQ(sweep.afterLeaving.back(), row.ready);
        }
    }
}

// A link's address shows while the pointer is on the link and goes when it
// leaves, also out of the pane; a tool visited afterwards leaves "Ready",
// not the address.
TEST_F(ToolBarPromptsTest, ALinksAddressGoesWithThePointerAndAToolLeavesReadyAfterIt)
{
    ShowFrameIn(0x0409);
    CHtmlCtrl* html = m_frame->GetBrowserFrame()->GetHtmlCtrl();
    html->WriteHtml(uString("<html><body style='margin:0'><a href='http://127.0.0.1:9/story' "
                            "style='display:block;height:100px;background:#cde'>story</a>"
                            "<div style='height:300px'>plain</div></body></html>"));
    ASSERT_NE(guitest::WaitForPage(*html->GetWebView(), "plain"), "");
    guitest::RunEventsFor(300);
    wxWebView* view = html->GetWebView();
    wxUIActionSimulator mouse;
    const std::string address = "http://127.0.0.1:9/story";

    mouse.MouseMove(view->ClientToScreen(wxPoint(60, 50)));
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return StatusText() == address; }, 5000)) << StatusText();
    mouse.MouseMove(view->ClientToScreen(wxPoint(60, 250)));
    EXPECT_TRUE(guitest::RunEventsUntil([&] { return StatusText().empty(); }, 5000))
        << "off the link within the page: " << StatusText();

    mouse.MouseMove(view->ClientToScreen(wxPoint(60, 50)));
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return StatusText() == address; }, 5000)) << StatusText();
    PointAtStatusBar();
    EXPECT_TRUE(guitest::RunEventsUntil([&] { return StatusText().empty(); }, 5000))
        << "out of the pane: " << StatusText();

    Sweep sweep = SweepAlong(m_frame->GetMainToolBar());
    EXPECT_EQ(sweep.prompts[ui::MenuCommandId(32770)], "Subscribe to a new news feed");
    ASSERT_FALSE(sweep.afterLeaving.empty());
    EXPECT_EQ(sweep.afterLeaving.back(), "Ready");
    EXPECT_EQ(StatusText(), "Ready");
}

// A menu of the bar, opened by a click and walked with the keyboard, shows
// the prompt of the entry it is on; once it closes the bar says again what
// it said before.
TEST_F(ToolBarPromptsTest, AMenuShowsItsEntrysPromptAndClosingItPutsBackTheTextBefore)
{
    ShowFrameIn(0x0409);
    std::vector<std::string> whileOpen;
    int closed = 0;
    m_frame->Bind(wxEVT_MENU_HIGHLIGHT,
                  [&](wxMenuEvent& event)
                  {
                      event.Skip();
                      if (event.GetMenuId() != wxID_ANY)
                          m_frame->CallAfter([&] { whileOpen.push_back(StatusText()); });
                  });
    m_frame->Bind(wxEVT_MENU_CLOSE,
                  [&](wxMenuEvent& event)
                  {
                      event.Skip();
                      ++closed;
                  });
    for (const std::string before : {"Updating Harbour News", "Ready"})
    {
        SendStatusText(before);
        whileOpen.clear();
        const int closedBefore = closed;
        wxUIActionSimulator user;
        const wxRect bar = m_frame->GetMenuBar()->GetScreenRect();
        user.MouseMove(bar.GetPosition() + wxPoint(18, bar.height / 2)); // File
        user.MouseClick();
        guitest::RunEventsFor(300);
        for (int key : {WXK_DOWN, WXK_DOWN, WXK_ESCAPE, WXK_ESCAPE}) // to Open URL..., and out
        {
            user.Char(key);
            guitest::RunEventsFor(150);
        }
        ASSERT_TRUE(guitest::RunEventsUntil([&] { return closed > closedBefore; }, 5000)) << before;
        guitest::RunEventsFor(300);
        EXPECT_NE(std::find(whileOpen.begin(), whileOpen.end(), "Open a web address in the browser"),
                  whileOpen.end())
            << before;
        EXPECT_EQ(StatusText(), before);
    }
}
