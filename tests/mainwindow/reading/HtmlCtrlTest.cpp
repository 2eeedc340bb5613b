#include "mainwindow/HtmlCtrl.h"

#include "GuiTestSupport.h"
#include "ScriptBoxes.h"
#include "downloads/PaneDownloadSupport.h"
#include "mainwindow/HtmlCtrlPolicy.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/sizer.h>
#include <wx/uiaction.h>
#include <wx/webview.h>

using testsupport::TempDir;

namespace
{
class RecordingHtmlCtrl : public CHtmlCtrl
{
public:
    using CHtmlCtrl::CHtmlCtrl;
    void OnAppCmd(const uString& name) override
    {
        commands.push_back(name.c_str());
        CHtmlCtrl::OnAppCmd(name);
    }
    std::vector<std::string> commands;
};

class HtmlCtrlTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_templates.write("news.template", "unused");
        m_frame = new wxFrame(nullptr, wxID_ANY, "browser pane", wxPoint(20, 20), wxSize(640, 480));
        m_html = std::make_unique<RecordingHtmlCtrl>(m_frame, wxID_ANY, uString(m_templates.path().c_str()));
        m_html->SetStatusHandler(
            [this](long value, const uString* text)
            {
                if (text != nullptr)
                    m_texts.push_back(text->c_str());
                else
                    m_reports.push_back(value);
            });
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(m_html->GetWebView(), 1, wxEXPAND);
        m_frame->SetSizer(sizer);
        m_frame->Show();
        guitest::RunEventsUntil([&] { return m_frame->IsShownOnScreen(); });
        guitest::RunEventsUntil([&] { return !m_html->GetWebView()->IsBusy(); }, 10000);
    }
    void TearDown() override
    {
        m_html.reset();
        guitest::DestroyWindow(m_frame);
    }

    std::string ShownSource() { return std::string(m_html->GetWebView()->GetPageSource().utf8_str().data()); }
    bool WaitUntilShown(const std::string& text)
    {
        return guitest::RunEventsUntil([&] { return ShownSource().find(text) != std::string::npos; }, 15000);
    }

    TempDir m_templates;
    TempDir m_pages;
    wxFrame* m_frame = nullptr;
    std::unique_ptr<RecordingHtmlCtrl> m_html;
    std::vector<long> m_reports;
    std::vector<std::string> m_texts;
};
} // namespace

TEST_F(HtmlCtrlTest, WrittenPagesReplaceEachOtherWithScriptsOff)
{
    ASSERT_EQ(m_html->WriteHtml(uString("<html><body><p>first page</p></body></html>")), 0);
    ASSERT_EQ(m_html->WriteHtml(uString("<html><head><title>Written</title></head><body><p>second page</p>"
                                        "<script>document.title='script ran'</script></body></html>")),
              0);
    ASSERT_TRUE(WaitUntilShown("second page"));
    guitest::RunEventsUntil([&] { return m_html->GetPageTitle() == "Written"; }, 5000);
    guitest::RunEventsFor(300);

    EXPECT_EQ(m_html->GetPageTitle(), "Written") << "the page's script must not run";
    EXPECT_NE(ShownSource().find("script-src 'none'"), std::string::npos);
    uString source;
    ASSERT_TRUE(guitest::DocumentSource(*m_html, source));
    EXPECT_NE(std::string(source.c_str()).find("second page"), std::string::npos);
    EXPECT_EQ(std::string(source.c_str()).find("first page"), std::string::npos);
    // Each write reports -1; our own loads run no feed search.
    EXPECT_EQ(m_reports, (std::vector<long>{-1, -1}));
    EXPECT_TRUE(m_html->GetFeedLinks().empty());
}

TEST_F(HtmlCtrlTest, APageNobodyAskedForNeverReplacesAWrittenOne)
{
    ASSERT_EQ(m_html->WriteHtml(uString("<html><body><p>the item</p></body></html>")), 0);
    ASSERT_TRUE(WaitUntilShown("the item"));

    // The view's own start page, as WebKit loads it late when writes follow
    // the view's creation closely; and a page loaded past the pane.
    m_html->GetWebView()->LoadURL("about:blank");
    guitest::RunEventsFor(1000);
    ASSERT_TRUE(WaitUntilShown("the item"));
    const std::string other = m_pages.write("other.html", "<html><body>other page</body></html>");
    m_html->GetWebView()->LoadURL(wxString::FromUTF8("file://" + other));
    guitest::RunEventsFor(1000);
    EXPECT_TRUE(WaitUntilShown("the item"));
    uString source;
    ASSERT_TRUE(guitest::DocumentSource(*m_html, source));
    EXPECT_NE(std::string(source.c_str()).find("the item"), std::string::npos);

    // Also while the written page is still loading.
    ASSERT_EQ(m_html->WriteHtml(uString("<html><body><p>the next item</p></body></html>")), 0);
    m_html->GetWebView()->LoadURL(wxString::FromUTF8("file://" + other));
    guitest::RunEventsFor(1000);
    EXPECT_TRUE(WaitUntilShown("the next item"));

    // The program's own navigation still leaves it.
    m_html->Navigate(uString(("file://" + other).c_str()));
    EXPECT_TRUE(WaitUntilShown("other page"));
}

TEST_F(HtmlCtrlTest, AppAddressesNeverLoad)
{
    m_html->WriteHtml(uString("<html><body><p>stays</p></body></html>"));
    ASSERT_TRUE(WaitUntilShown("stays"));

    m_html->Navigate(uString("APP:quit"));
    guitest::RunEventsUntil([&] { return !m_html->commands.empty(); }, 5000);
    guitest::RunEventsFor(300);

    EXPECT_EQ(m_html->commands, (std::vector<std::string>{"quit"}));
    EXPECT_NE(ShownSource().find("stays"), std::string::npos);
    uString source;
    ASSERT_TRUE(guitest::DocumentSource(*m_html, source));
    EXPECT_NE(std::string(source.c_str()).find("stays"), std::string::npos);
}

TEST_F(HtmlCtrlTest, ALoadedPageReportsItsFeedsAndBecomesTheSource)
{
    m_html->WriteHtml(uString("<html><body><p>written</p></body></html>"));
    ASSERT_TRUE(WaitUntilShown("written"));
    m_reports.clear();

    std::string page = m_pages.write(
        "site/index.html",
        "<html><head><title>Site</title>"
        "<link rel=\"alternate\" type=\"application/rss+xml\" title=\"Site news\" href=\"feed.xml\">"
        "</head><body><p>browsed page</p></body></html>");
    m_html->Navigate(uString(("file://" + page).c_str()));
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return !m_reports.empty(); }, 15000));

    EXPECT_EQ(m_reports, (std::vector<long>{1}));
    ASSERT_EQ(m_html->GetFeedLinks().size(), 1u);
    EXPECT_STREQ(m_html->GetFeedLinks().front().title.c_str(), "Site news");
    EXPECT_EQ(std::string(m_html->GetFeedLinks().front().link.c_str()),
              "file://" + m_pages.path() + "/site/feed.xml");
    uString source;
    ASSERT_TRUE(guitest::DocumentSource(*m_html, source));
    EXPECT_NE(std::string(source.c_str()).find("browsed page"), std::string::npos)
        << "after browsing away the source is the shown page";
}

TEST_F(HtmlCtrlTest, TheLinkUnderTheMouseIsTheStatusText)
{
    ASSERT_EQ(m_html->WriteHtml(uString("<html><body style='margin:0'>"
                                        "<a href='https://example.org/story?id=7' style='display:block;"
                                        "height:200px;background:#cde'>story</a>"
                                        "<div style='height:200px'>plain</div></body></html>")),
              0);
    ASSERT_TRUE(WaitUntilShown("plain"));
    guitest::RunEventsFor(300);
    wxWebView* view = m_html->GetWebView();
    wxUIActionSimulator mouse;
    mouse.MouseMove(view->ClientToScreen(wxPoint(100, 100)));
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return !m_texts.empty(); }, 5000));
    EXPECT_EQ(m_texts.back(), "https://example.org/story?id=7");
    EXPECT_TRUE(m_reports.empty() || m_reports.back() == -1) << "a text never touches the indicator";

    // Off the link the text is emptied; moving within the same element
    // reports nothing new.
    mouse.MouseMove(view->ClientToScreen(wxPoint(100, 300)));
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return m_texts.back().empty(); }, 5000));
    const std::size_t reported = m_texts.size();
    mouse.MouseMove(view->ClientToScreen(wxPoint(120, 310)));
    guitest::RunEventsFor(300);
    EXPECT_EQ(m_texts.size(), reported);
}

namespace
{
void WritePng(const std::string& path, unsigned char r, unsigned char g, unsigned char b)
{
    if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr)
        wxImage::AddHandler(new wxPNGHandler);
    wxImage image(120, 60);
    image.SetRGB(wxRect(0, 0, 120, 60), r, g, b);
    ASSERT_TRUE(image.SaveFile(wxString::FromUTF8(path), wxBITMAP_TYPE_PNG));
}

// Pixels of the view that are clearly this colour.
int CountPixels(const wxImage& screen, const wxRect& area, bool (*matches)(int r, int g, int b))
{
    int count = 0;
    for (int y = area.y; y < area.GetBottom() && y < screen.GetHeight(); ++y)
        for (int x = area.x; x < area.GetRight() && x < screen.GetWidth(); ++x)
            count += matches(screen.GetRed(x, y), screen.GetGreen(x, y), screen.GetBlue(x, y)) ? 1 : 0;
    return count;
}
} // namespace

TEST_F(HtmlCtrlTest, AWrittenPageReachesNoLocalFileButTheTemplatesAndItsOwn)
{
    WritePng(m_templates.file("green.png"), 0, 200, 0);
    WritePng(m_pages.file("blue.png"), 0, 0, 220);
    WritePng(m_pages.file("secret.png"), 230, 0, 0);
    m_pages.write("secret.html", "<html><body style='background:#e60000'>secret</body></html>");
    m_pages.write("secret.css", "body { background: #e60000 !important; }");
    const std::string local = "file://" + m_pages.path();
    const std::string own = htmlctrl::PageFileUrl(uString(m_pages.file("blue.png").c_str())).c_str();
    const std::string page = "<html><head><link rel='stylesheet' href='" + local +
                             "/secret.css'></head>"
                             "<body style='margin:0;background:#fff'>"
                             "<div style='height:70px'><img src='green.png'></div>"
                             "<div style='height:70px'><img src='" +
                             own +
                             "'></div>"
                             "<div style='height:70px'><img src='" +
                             local +
                             "/secret.png' width=120 height=60></div>"
                             "<div style='height:70px'><img src='" +
                             htmlctrl::PageFileUrl(uString(m_pages.file("secret.png").c_str())).c_str() +
                             "' width=120 height=60></div>"
                             "<iframe src='" +
                             local +
                             "/secret.html' style='width:120px;height:60px;border:0'></iframe>"
                             "<p>end of page</p></body></html>";
    ASSERT_EQ(m_html->WriteHtml(uString(page.c_str()), {m_pages.file("blue.png")}), 0);
    ASSERT_TRUE(WaitUntilShown("end of page"));
    guitest::RunEventsFor(1500);

    wxImage screen = guitest::TakeScreenshot("written-page-local-files");
    ASSERT_TRUE(screen.IsOk());
    wxWebView* view = m_html->GetWebView();
    const wxRect area(view->GetScreenPosition(), view->GetSize());
    EXPECT_GT(CountPixels(screen, area, [](int r, int g, int b) { return g > 150 && r < 80 && b < 80; }),
              5000)
        << "the template folder's image shows";
    EXPECT_GT(CountPixels(screen, area, [](int r, int g, int b) { return b > 150 && r < 80 && g < 80; }),
              5000)
        << "the page's own file shows";
    EXPECT_EQ(CountPixels(screen, area, [](int r, int g, int b) { return r > 180 && g < 80 && b < 80; }), 0)
        << "no other local file reached the page";
}

// A pane that has just been made is still loading its blank start page;
// WebKit could drop the pages written over it and end on the blank page,
// as when the first item is shown at once after the channel's page.
TEST(HtmlCtrlNewPane, PagesWrittenWhileItStartsAreShownTheLastOnly)
{
    for (int pane = 0; pane < 8; ++pane)
    {
        SCOPED_TRACE(pane);
        TempDir templates;
        templates.write("news.template", "unused");
        auto* frame = new wxFrame(nullptr, wxID_ANY, "new pane", wxPoint(20, 20), wxSize(640, 480));
        auto html = std::make_unique<CHtmlCtrl>(frame, wxID_ANY, uString(templates.path().c_str()));
        int writtenLoads = 0;
        html->GetWebView()->Bind(wxEVT_WEBVIEW_NAVIGATING,
                                 [&](wxWebViewEvent& event)
                                 {
                                     writtenLoads += htmlctrl::CWrittenPages::IsWritten(
                                         uString(event.GetURL().utf8_str().data()));
                                     event.Skip();
                                 });
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(html->GetWebView(), 1, wxEXPAND);
        frame->SetSizer(sizer);
        frame->Show();
        guitest::RunEventsUntil([&] { return frame->IsShownOnScreen(); });

        ASSERT_EQ(html->WriteHtml(uString("<p>channel page</p>")), 0);
        guitest::RunEventsFor(40);
        ASSERT_EQ(html->WriteHtml(uString("<p>item page</p>")), 0);
        EXPECT_TRUE(guitest::RunEventsUntil(
            [&] { return html->GetWebView()->GetPageSource().Contains("item page"); }, 15000))
            << "shown: " << html->GetWebView()->GetPageSource();
        guitest::RunEventsFor(100);
        EXPECT_EQ(writtenLoads, 1) << "the page written over before it could load never loads";
        uString source;
        ASSERT_TRUE(guitest::DocumentSource(*html, source));
        EXPECT_STREQ(source.c_str(), "<p>item page</p>");

        html.reset();
        guitest::DestroyWindow(frame);
    }
}

// Many writes in a row, some replaced before the browser asked about them:
// the newest page still never leaves by itself.
TEST_F(HtmlCtrlTest, AfterManyQuickWritesAMetaRefreshIsStillRefused)
{
    testsupport::LocalHttpServer server;
    server.serveContent("/elsewhere.html", "<html><body>elsewhere</body></html>", "text/html");
    server.serveContent("/page.html", "<html><body>a page</body></html>", "text/html");
    // The pane has started: each write below goes to the view at once.
    ASSERT_EQ(m_html->WriteHtml(uString("<html><body><p>the first item</p></body></html>")), 0);
    ASSERT_TRUE(WaitUntilShown("the first item"));
    // Writes mixed with the program's navigations, each replacing the last.
    for (int write = 0; write < 10; ++write)
    {
        m_html->WriteHtml(
            uString(("<html><body><p>item " + std::to_string(write) + "</p></body></html>").c_str()));
        m_html->Navigate(uString(server.url("/page.html").c_str()));
        m_html->GoBack();
    }
    m_html->WriteHtml(
        uString(("<html><head><meta http-equiv='refresh' content='0;url=" + server.url("/elsewhere.html") +
                 "'></head><body><p>the last item</p></body></html>")
                    .c_str()));
    ASSERT_TRUE(WaitUntilShown("the last item"));
    guitest::RunEventsUntil([&] { return !server.requestsFor("/elsewhere.html").empty(); }, 2000);
    EXPECT_TRUE(server.requestsFor("/elsewhere.html").empty());
    EXPECT_NE(ShownSource().find("the last item"), std::string::npos);
}

// A frame of a written page reloads itself again and again; Back and Home,
// pressed while one of its reloads waits to be decided, still take effect.
TEST_F(HtmlCtrlTest, BackAndHomeTakeEffectWhileAFrameReloadsItself)
{
    testsupport::LocalHttpServer server;
    server.serveContent("/first.html", "<html><body>the first page</body></html>", "text/html");
    server.serveContent(
        "/reloading.html",
        "<html><body>frame<script>setInterval(function() { location.reload(); }, 300)</script>"
        "</body></html>",
        "text/html");
    const uString framed(("<html><body><p>the item</p><iframe src='" + server.url("/reloading.html") +
                          "'></iframe></body></html>")
                             .c_str());
    auto showFramedItem = [&]
    {
        // The page before has loaded completely: a late end of its load
        // would count as the item's.
        ASSERT_TRUE(guitest::RunEventsUntil([&] { return !m_html->GetWebView()->IsBusy(); }, 10000));
        server.clearLog();
        ASSERT_EQ(m_html->WriteHtml(framed), 0);
        ASSERT_TRUE(WaitUntilShown("the item"));
        ASSERT_TRUE(
            guitest::RunEventsUntil([&] { return !server.requestsFor("/reloading.html").empty(); }, 10000));
        ASSERT_TRUE(guitest::RunEventsUntil([&] { return !m_html->GetWebView()->IsBusy(); }, 10000));
        // The window is busy for longer than the frame waits: its next
        // reload is queued to be decided when the command is given.
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
    };

    m_html->Navigate(uString(server.url("/first.html").c_str()));
    ASSERT_TRUE(WaitUntilShown("the first page"));
    showFramedItem();
    const auto before = m_html->GetWebView()->GetBackwardHistory();
    ASSERT_FALSE(before.empty());
    const wxString previous = before.back()->GetUrl();
    m_html->GoBack();
    EXPECT_TRUE(guitest::RunEventsUntil(
        [&]
        {
            return m_html->GetWebView()->GetCurrentURL() == previous &&
                   ShownSource().find("the item") == std::string::npos;
        },
        10000));

    showFramedItem();
    m_html->Navigate(uString("about:blank"));
    EXPECT_TRUE(guitest::RunEventsUntil(
        [&]
        {
            return m_html->GetWebView()->GetCurrentURL() == "about:blank" &&
                   ShownSource().find("the item") == std::string::npos;
        },
        10000));
}

// A page's box holds the engine's answers back until it closes. The pane
// waits for none of them meanwhile: the page's source comes once the box has
// gone, Cut, Copy and Paste answer at once, and a source asked for before
// the view went never comes.
TEST_F(HtmlCtrlTest, APagesBoxHoldsUpNothingOfThePane)
{
    guitest::ScriptBoxes boxes;
    ASSERT_TRUE(boxes.connect && boxes.ref && boxes.close && boxes.unref);
    boxes.Watch(*m_html->GetWebView());
    auto showBox = [&](const std::string& box)
    {
        const std::string page = m_pages.write(box + ".html", "<html><body><p>boxed " + box +
                                                                  "</p><script>setTimeout(function(){" + box +
                                                                  "('x')},300)</script></body></html>");
        m_html->Navigate(uString(("file://" + page).c_str()));
        return guitest::RunEventsUntil([&] { return boxes.shown != nullptr; }, 15000);
    };
    for (const std::string box : {"alert", "confirm", "prompt"})
    {
        SCOPED_TRACE(box);
        ASSERT_TRUE(showBox(box));
        boxes.CloseAfter(5000);
        bool answered = false;
        std::string source;
        m_html->GetDocumentSource(
            [&](bool found, const uString& text)
            {
                answered = found;
                source = text.c_str();
            });
        m_html->CanCut();
        m_html->CanCopy();
        m_html->CanPaste();
        EXPECT_FALSE(boxes.closedLate) << "the pane waited for the engine";
        EXPECT_FALSE(answered) << "the page's bytes came while its box held them";
        boxes.Close();
        EXPECT_TRUE(guitest::RunEventsUntil([&] { return answered; }, 15000));
        EXPECT_NE(source.find("boxed " + box), std::string::npos) << source;
    }
    // The engine's answers, once they come, are what the pane says.
    m_html->GetWebView()->SelectAll();
    EXPECT_TRUE(guitest::RunEventsUntil([&] { return m_html->CanCopy(); }, 10000));

    ASSERT_TRUE(showBox("alert"));
    bool answeredLate = false;
    m_html->GetDocumentSource([&](bool, const uString&) { answeredLate = true; });
    guitest::DestroyWindow(m_frame);
    m_frame = nullptr;
    guitest::RunEventsFor(1000);
    EXPECT_FALSE(answeredLate) << "the view has gone";
    m_html.reset();
}

// A source the engine could not give (its page's process ended while it was
// read) is no source, not an empty page's.
TEST_F(HtmlCtrlTest, ASourceTheEngineLostIsNoSource)
{
    m_html->Navigate(uString(("file://" + m_pages.write("shown.html", "<p>shown page</p>")).c_str()));
    ASSERT_TRUE(WaitUntilShown("shown page"));
    const int web = EngineNetworkProcess(::getpid(), "WebKitWebProces");
    ASSERT_NE(web, 0);
    ::kill(web, SIGSTOP); // it cannot answer before it ends
    bool answered = false;
    bool found = true;
    m_html->GetDocumentSource(
        [&](bool given, const uString&)
        {
            answered = true;
            found = given;
        });
    ::kill(web, SIGKILL);
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return answered; }, 15000));
    EXPECT_FALSE(found);
}

// The pane outlives its view when the parent window goes first.
TEST_F(HtmlCtrlTest, APaneWhoseViewIsGoneNoLongerReachesIt)
{
    guitest::DestroyWindow(m_frame);
    m_frame = nullptr;
    EXPECT_EQ(m_html->GetWebView(), nullptr);
    EXPECT_EQ(m_html->WriteHtml(uString("<html><body>late</body></html>")), -1);
    m_html->Navigate(uString("about:blank"));
    m_html.reset();
}

// The browser reports an address in its own spelling; the program's
// Navigate is known by it however the address was written.
TEST(HtmlCtrlAddress, TheBrowsersSpellingOfAnAddress)
{
    const std::pair<const char*, const char*> spellings[] = {
        {"http://127.1:8080/", "http://127.0.0.1:8080/"},
        {"http://127.0.0.1:08080/page", "http://127.0.0.1:8080/page"},
        {"http://127.0.0.1:8080/page ", "http://127.0.0.1:8080/page"},
        {"http://127.0.0.1:8080/a/../b", "http://127.0.0.1:8080/b"},
        {"http://127.0.0.1:8080/a/%2e%2E/b", "http://127.0.0.1:8080/b"},
        {"http://example.org:80/", "http://example.org/"},
        {"HTTP://EXAMPLE.org", "http://example.org/"},
        {"http://b\xc3\xbc"
         "cher.example/",
         "http://xn--bcher-kva.example/"},
        {"http:\\\\127.0.0.1:8080\\a\\b", "http://127.0.0.1:8080/a/b"},
    };
    for (const auto& [written, read] : spellings)
        EXPECT_STREQ(CHtmlCtrl::EngineAddress(uString(written)).c_str(), read) << written;
}

TEST_F(HtmlCtrlTest, TheProgramsNavigateLeavesAWrittenPageHoweverTheAddressIsWritten)
{
    testsupport::LocalHttpServer server;
    server.serveContent("/nav/page", "<html><body>the page</body></html>", "text/html");
    testsupport::HttpResponse torrent;
    torrent.header("Content-Type", "application/x-bittorrent")
        .header("Content-Disposition", "attachment; filename=show.torrent");
    torrent.body = "d4:infod4:name1:xee";
    server.serve("/nav/show.torrent", torrent);
    std::vector<std::string> handedOver;
    CPaneDownloads::Hooks hooks;
    hooks.folder = [this] { return uString(m_pages.path().c_str()); };
    hooks.open = [&](std::uint32_t, const uString& path) { handedOver.push_back(path.c_str()); };
    m_html->SetDownloadHooks(hooks);

    const std::string port = std::to_string(server.port());
    // Each spelling, with "<>" where the path goes.
    const std::string spellings[] = {
        "http://127.1:" + port + "/nav/<>",
        "http://127.0.0.1:0" + port + "/nav/<>",
        "http://127.0.0.1:" + port + "/nav/<> ",
        "http://127.0.0.1:" + port + "/nav/x/../<>",
        "http://127.0.0.1:" + port + "/nav/x/%2e%2e/<>",
        "http:\\\\127.0.0.1:" + port + "\\nav\\<>",
    };
    auto spell = [](std::string spelling, const std::string& path)
    { return uString(spelling.replace(spelling.find("<>"), 2, path).c_str()); };
    for (const std::string& spelling : spellings)
    {
        SCOPED_TRACE(spelling);
        ASSERT_EQ(m_html->WriteHtml(uString("<html><body><p>the item</p></body></html>")), 0);
        ASSERT_TRUE(WaitUntilShown("the item"));
        m_html->Navigate(spell(spelling, "page"));
        EXPECT_TRUE(WaitUntilShown("the page"));

        // A download it answers counts as the user's.
        ASSERT_EQ(m_html->WriteHtml(uString("<html><body><p>the next item</p></body></html>")), 0);
        ASSERT_TRUE(WaitUntilShown("the next item"));
        handedOver.clear();
        m_html->Navigate(spell(spelling, "show.torrent"));
        EXPECT_TRUE(guitest::RunEventsUntil([&] { return !handedOver.empty(); }, 15000));
    }
}
