#include "mainwindow/WebBrowserFrame.h"

#include "GuiTestSupport.h"
#include "mainwindow/HtmlCtrl.h"
#include "mainwindow/WindowTranslator.h"
#include "support/GermanInterface.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <wx/combobox.h>
#include <wx/frame.h>
#include <wx/sizer.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>
#include <wx/uiaction.h>
#include <wx/webview.h>

using testsupport::LocalHttpServer;
using testsupport::TempDir;

namespace
{
class WebBrowserFrameTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_frame = new wxFrame(nullptr, wxID_ANY, "browser frame", wxPoint(0, 0), wxSize(900, 600));
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        m_other = new wxTextCtrl(m_frame, wxID_ANY, "elsewhere");
        sizer->Add(m_other, 0, wxEXPAND);
        m_browser = new CWebBrowserFrame(m_frame, wxID_ANY, uString(m_pages.path().c_str()));
        sizer->Add(m_browser, 1, wxEXPAND);
        m_frame->SetSizer(sizer);
        m_frame->Show();
        guitest::RunEventsUntil([&] { return m_frame->IsShownOnScreen(); });
        m_address = m_browser->GetAddressBox();
        ASSERT_NE(m_address, nullptr);
    }
    void TearDown() override { guitest::DestroyWindow(m_frame); }

    uString Page(const std::string& name)
    {
        std::string path =
            m_pages.write(name, "<html><head><title>" + name + "</title></head><body><h1>Page " + name +
                                    "</h1></body></html>");
        return uString(("file://" + path).c_str());
    }
    wxWebView* View() { return m_browser->GetHtmlCtrl()->GetWebView(); }
    std::string Source() { return std::string(View()->GetPageSource().utf8_str().data()); }
    bool WaitForText(const std::string& text)
    {
        return guitest::RunEventsUntil([&] { return Source().find(text) != std::string::npos; }, 15000);
    }
    bool WaitForUrl(const uString& url)
    {
        wxString want = wxString::FromUTF8(url.c_str());
        wxString title = want.AfterLast('/');
        return guitest::RunEventsUntil(
            [&] {
                return View()->GetCurrentURL() == want && !View()->IsBusy() &&
                       View()->GetCurrentTitle() == title;
            },
            15000);
    }

    // The browser frame's tool bar, under a window with a status bar.
    wxToolBar* ToolBarWithStatus()
    {
        m_frame->CreateStatusBar();
        m_frame->SendSizeEvent();
        wxToolBar* bar = nullptr;
        for (wxWindow* child : m_browser->GetChildren())
            if (auto* found = wxDynamicCast(child, wxToolBar))
                bar = found;
        return bar;
    }
    // From outside the bar, so that the pointer enters the button.
    void PointAtBack(wxToolBar* bar)
    {
        guitest::RunEventsFor(300);
        wxUIActionSimulator mouse;
        mouse.MouseMove(m_other->ClientToScreen(wxPoint(5, 5)));
        mouse.MouseMove(
            bar->ClientToScreen(wxPoint(bar->GetToolSize().x / 2 + 2, bar->GetClientSize().y / 2)));
    }
    std::string StatusText() const { return m_frame->GetStatusBar()->GetStatusText().utf8_string(); }

    TempDir m_pages;
    wxFrame* m_frame = nullptr;
    wxTextCtrl* m_other = nullptr;
    CWebBrowserFrame* m_browser = nullptr;
    wxComboBox* m_address = nullptr;
};
} // namespace

TEST_F(WebBrowserFrameTest, HistoryKeepsTwentyNewestFirstWithRepeats)
{
    for (int i = 0; i < 21; ++i)
        m_browser->Navigate(uString(("http://127.0.0.1:9/page" + std::to_string(i)).c_str()));
    m_browser->Navigate(uString("http://127.0.0.1:9/page20"));

    std::vector<uString> history = m_browser->GetHistory();
    ASSERT_EQ(history.size(), 20u);
    EXPECT_STREQ(history[0].c_str(), "http://127.0.0.1:9/page20");
    EXPECT_STREQ(history[1].c_str(), "http://127.0.0.1:9/page20");
    EXPECT_STREQ(history[19].c_str(), "http://127.0.0.1:9/page2") << "the oldest two were dropped";
    EXPECT_STREQ(m_browser->GetAddressText().c_str(), "http://127.0.0.1:9/page20");

    // Setting the address text records nothing.
    m_browser->SetAddressText(uString("http://127.0.0.1:9/written"));
    EXPECT_EQ(m_browser->GetHistory().size(), 20u);
    EXPECT_STREQ(m_browser->GetAddressText().c_str(), "http://127.0.0.1:9/written");
}

TEST_F(WebBrowserFrameTest, EnterRecordsButAPickFromTheListDoesNot)
{
    uString first = Page("first.html"), second = Page("second.html");
    m_browser->Navigate(first);
    ASSERT_TRUE(WaitForUrl(first));

    m_address->ChangeValue(wxString::FromUTF8(second.c_str()));
    wxCommandEvent enter(wxEVT_TEXT_ENTER, m_address->GetId());
    enter.SetEventObject(m_address);
    m_address->GetEventHandler()->ProcessEvent(enter);
    ASSERT_TRUE(WaitForUrl(second));
    ASSERT_EQ(m_browser->GetHistory().size(), 2u);
    EXPECT_STREQ(m_browser->GetHistory()[0].c_str(), second.c_str());

    m_address->SetSelection(1);
    wxCommandEvent pick(wxEVT_COMBOBOX, m_address->GetId());
    pick.SetEventObject(m_address);
    pick.SetInt(1);
    m_address->GetEventHandler()->ProcessEvent(pick);
    ASSERT_TRUE(WaitForUrl(first));
    EXPECT_EQ(m_browser->GetHistory().size(), 2u);
}

TEST_F(WebBrowserFrameTest, BackAndForwardWalkTheVisitedPages)
{
    uString one = Page("one.html"), two = Page("two.html");
    m_browser->Navigate(one);
    ASSERT_TRUE(WaitForUrl(one));
    m_browser->Navigate(two);
    ASSERT_TRUE(WaitForUrl(two));

    wxCommandEvent back(wxEVT_TOOL, CWebBrowserFrame::kBack);
    m_browser->GetEventHandler()->ProcessEvent(back);
    ASSERT_TRUE(WaitForUrl(one));
    EXPECT_TRUE(View()->CanGoForward());

    wxCommandEvent forward(wxEVT_TOOL, CWebBrowserFrame::kForward);
    m_browser->GetEventHandler()->ProcessEvent(forward);
    ASSERT_TRUE(WaitForUrl(two));
    guitest::RunEventsUntil([&] { return View()->GetCurrentTitle() == "two.html"; });
    EXPECT_TRUE(guitest::TakeScreenshot("browser-frame-forward").IsOk());

    // Back from a page opened from an item's text shows the item again, with
    // the address the item had; Forward goes to the page again.
    LocalHttpServer server;
    server.serveContent("/story", "<html><head><title>story</title></head><body>the story</body></html>",
                        "text/html");
    const std::string item = "http://127.0.0.1:9/items/8";
    m_browser->GetHtmlCtrl()->WriteHtml(
        uString(("<html><body style='margin:0'><a href='" + server.url("/story") +
                 "' style='display:block;height:120px'>read on</a>"
                 "<p>item text</p></body></html>")
                    .c_str()));
    m_browser->SetAddressText(uString(item.c_str()));
    ASSERT_TRUE(WaitForText("item text"));
    guitest::ClickAt(View()->ClientToScreen(wxPoint(100, 60)));
    ASSERT_TRUE(WaitForText("the story"));
    m_browser->GetEventHandler()->ProcessEvent(back);
    EXPECT_TRUE(WaitForText("item text")) << View()->GetCurrentURL();
    EXPECT_EQ(std::string(m_browser->GetAddressText().c_str()), item);
    m_browser->GetEventHandler()->ProcessEvent(forward);
    EXPECT_TRUE(WaitForText("the story"));
    EXPECT_EQ(std::string(m_browser->GetAddressText().c_str()), server.url("/story"));
    // Back twice: the item again, then the page shown before it.
    m_browser->GetEventHandler()->ProcessEvent(back);
    EXPECT_TRUE(WaitForText("item text"));
    m_browser->GetEventHandler()->ProcessEvent(back);
    EXPECT_TRUE(WaitForUrl(two));

    // Back after an anchor link in an item's own text stays in the item.
    m_browser->GetHtmlCtrl()->WriteHtml(
        uString("<html><body style='margin:0'><a href='#end' style='display:block;height:120px'>end</a>"
                "<p style='height:3000px'>anchored item</p><p id='end'>the end</p></body></html>"));
    ASSERT_TRUE(WaitForText("anchored item"));
    // The engine asks about a step inside the page before the click's
    // report has come, now and then: a few clicks meet that.
    for (int click = 0; click < 3; ++click)
    {
        guitest::ClickAt(View()->ClientToScreen(wxPoint(100, 60)));
        ASSERT_TRUE(guitest::RunEventsUntil([&] { return View()->GetCurrentURL().EndsWith("#end"); }, 5000))
            << "click " << click;
        m_browser->GetEventHandler()->ProcessEvent(back);
        guitest::RunEventsUntil([&] { return !View()->GetCurrentURL().EndsWith("#end"); });
        EXPECT_TRUE(htmlctrl::CWrittenPages::IsWritten(uString(View()->GetCurrentURL().utf8_str().data())))
            << View()->GetCurrentURL();
        EXPECT_TRUE(WaitForText("anchored item"));
    }
}

TEST_F(WebBrowserFrameTest, FocusFollowsTheBarsAndHiddenBarsTakeNone)
{
    m_browser->FocusAddress();
    guitest::RunEventsUntil([&] { return m_browser->GetFocusTarget() == 2; });
    EXPECT_EQ(m_browser->GetFocusTarget(), 2);

    m_other->SetFocus();
    guitest::RunEventsUntil([&] { return wxWindow::FindFocus() == m_other; });
    EXPECT_EQ(m_browser->GetFocusTarget(), 1);

    m_browser->ToggleBars();
    EXPECT_FALSE(m_browser->AreBarsShown());
    EXPECT_FALSE(m_address->IsShown());
    m_browser->FocusAddress();
    guitest::RunEventsFor(50);
    EXPECT_EQ(wxWindow::FindFocus(), m_other) << "hidden bars take no focus";
    m_browser->ToggleBars();
    EXPECT_TRUE(m_address->IsShown());
}

TEST_F(WebBrowserFrameTest, AWrittenItemNeverLeavesByItselfButAClickStillDoes)
{
    LocalHttpServer server;
    server.serveContent("/login", "<html><body>log in here</body></html>", "text/html");
    server.serveContent("/frame.html",
                        "<html><head><meta http-equiv='refresh' content='0;url=/frame-login'></head>"
                        "<body>embedded</body></html>",
                        "text/html");
    server.serveContent("/frame-login", "<html><body>framed login</body></html>", "text/html");
    server.redirect("/moved", "/story");
    server.serveContent("/story", "<html><head><title>story</title></head><body>the story</body></html>",
                        "text/html");
    const std::string item = "http://127.0.0.1:9/items/7";
    const std::string page =
        "<html><head><meta http-equiv=\"Refresh\" content=\"0; url=" + server.url("/login") +
        "\"></head><body style='margin:0'><a href='" + server.url("/moved") +
        "' style='display:block;height:120px;background:#cde'>read on</a>"
        "<iframe src='" +
        server.url("/frame.html") +
        "'></iframe>"
        "<p>item text</p></body></html>";
    m_browser->GetHtmlCtrl()->WriteHtml(uString(page.c_str()));
    m_browser->SetAddressText(uString(item.c_str()));
    ASSERT_TRUE(WaitForText("item text"));
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return !server.requestsFor("/frame.html").empty(); }, 15000))
        << "the item's frames still load";
    guitest::RunEventsFor(1500);

    EXPECT_NE(Source().find("item text"), std::string::npos) << "the item stays shown";
    EXPECT_TRUE(server.requestsFor("/login").empty()) << "the refresh was refused";
    EXPECT_TRUE(server.requestsFor("/frame-login").empty()) << "so was the frame's, once the item had loaded";
    EXPECT_EQ(std::string(m_browser->GetAddressText().c_str()), item);

    // A click of the user's still leaves; the address box then shows where
    // the pane went, after the server's redirect.
    guitest::ClickAt(View()->ClientToScreen(wxPoint(100, 60)));
    ASSERT_TRUE(WaitForText("the story"));
    EXPECT_EQ(std::string(m_browser->GetAddressText().c_str()), server.url("/story"));

    // So does the user's Return on the link the user's Tab put the focus on.
    const std::string keyed = "<html><body style='margin:0'><p style='height:100px'>keyed item</p><a href='" +
                              server.url("/moved") + "'>read on</a></body></html>";
    m_browser->GetHtmlCtrl()->WriteHtml(uString(keyed.c_str()));
    ASSERT_TRUE(WaitForText("keyed item"));
    guitest::ClickAt(View()->ClientToScreen(wxPoint(100, 50)));
    guitest::RunEventsFor(300);
    wxUIActionSimulator keys;
    keys.Char(WXK_TAB);
    guitest::RunEventsFor(300);
    keys.Char(WXK_RETURN);
    EXPECT_TRUE(WaitForText("the story")) << "the item was left";
}

TEST_F(WebBrowserFrameTest, ButtonsTipTheirNameAndTellWhatTheyDoInTheStatusBar)
{
    wxToolBar* bar = ToolBarWithStatus();
    ASSERT_NE(bar, nullptr);
    const std::pair<int, const char*> tips[] = {{CWebBrowserFrame::kBack, "Back"},
                                                {CWebBrowserFrame::kForward, "Forward"},
                                                {CWebBrowserFrame::kHome, "Start Page"},
                                                {CWebBrowserFrame::kSearch, "Search the Internet"},
                                                {CWebBrowserFrame::kSendMail, "Send email"}};
    for (const auto& [command, tip] : tips)
        EXPECT_EQ(bar->GetToolShortHelp(command), tip);
    PointAtBack(bar);
    EXPECT_TRUE(guitest::RunEventsUntil([&] { return StatusText() == "Goes back one step."; }, 5000))
        << StatusText();
}

// In German both the tips and the status-bar texts of the buttons are German.
TEST_F(WebBrowserFrameTest, InGermanTheButtonsTipAndTellWhatTheyDoInGerman)
{
    testsupport::GermanInterface german;
    if (!german.loaded)
        GTEST_SKIP() << "the build made no catalogs (msgfmt missing)";
    wxToolBar* bar = ToolBarWithStatus();
    ASSERT_NE(bar, nullptr);
    std::vector<std::pair<std::string, std::string>> english;
    for (size_t i = 0; i < bar->GetToolsCount(); ++i)
        english.emplace_back(bar->GetToolByPos(i)->GetShortHelp().utf8_string(),
                             bar->GetToolByPos(i)->GetLongHelp().utf8_string());
    ui::TranslateWindow(m_frame);
    for (size_t i = 0; i < english.size(); ++i)
        for (const auto& [text, shown] : {std::pair(english[i].first, bar->GetToolByPos(i)->GetShortHelp()),
                                          std::pair(english[i].second, bar->GetToolByPos(i)->GetLongHelp())})
        {
            EXPECT_EQ(shown.utf8_string(), std::string(uTr(text)));
            EXPECT_NE(shown.utf8_string(), text);
        }
    PointAtBack(bar);
    EXPECT_TRUE(guitest::RunEventsUntil([&] { return StatusText() == "Geht einen Schritt zurück."; }, 5000))
        << StatusText();
}

// An address the user is typing stays as typed while the pane goes on
// loading what it had been given (the start page's late load); the address
// given with Enter, and later pages, show again.
TEST_F(WebBrowserFrameTest, WhatTheUserTypesIsNotReplacedByALoadUnderway)
{
    const uString first = Page("first");
    const uString second = Page("second");
    m_address->SetFocus();
    ASSERT_TRUE(
        guitest::RunEventsUntil([&] { return m_address->HasFocus() || wxWindow::FindFocus() != m_other; }));
    wxUIActionSimulator keys;
    keys.Text("abc");
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return m_address->GetValue() == "abc"; }, 5000))
        << m_address->GetValue();
    View()->LoadURL(wxString::FromUTF8(first.c_str())); // not through the box: the pane's own load
    ASSERT_TRUE(WaitForUrl(first));
    EXPECT_EQ(m_address->GetValue(), "abc");

    m_address->ChangeValue(wxString::FromUTF8(second.c_str()));
    keys.Char(WXK_RETURN);
    ASSERT_TRUE(WaitForUrl(second));
    View()->LoadURL(wxString::FromUTF8(first.c_str()));
    ASSERT_TRUE(WaitForUrl(first));
    EXPECT_TRUE(guitest::RunEventsUntil(
        [&] { return m_address->GetValue() == wxString::FromUTF8(first.c_str()); }, 5000))
        << m_address->GetValue();
}
