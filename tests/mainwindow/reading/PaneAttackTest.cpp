// More pages that try to act as the user in the browser pane, with the real
// engine and real clicks: a download link in a frame the page wrote itself,
// a frame's click that clicks the page's own download link, a window opened
// after the load once a frame has loaded, a login a frame or a script's
// redirect asks for, and a saved file's offered name; and the user's own
// download of an address whose name holds an escaped folder.
#include "reading/HostilePageFixture.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>
#include <wx/settings.h>
#include <wx/uiaction.h>

namespace
{
struct AttackCase
{
    const char* name;
    // Shows the page and makes the attempt, up to the requests that show
    // it was made.
    std::function<void()> attempt;
    // How often the case is tried: a crash need not come every time.
    int runs = 1;
};

class PaneAttackTest : public hostiletest::HostilePageTest
{
protected:
    void TearDown() override
    {
        HostilePageTest::TearDown();
        m_release.set_value();
    }

    // The page is marked with its path: until the view shows it, it shows
    // the page before, whose text may look the same.
    void Show(const std::string& path, const std::string& html)
    {
        const std::string mark = "<!-- shown at " + path + " -->";
        m_server.serveContent(path, html + mark, "text/html");
        Visit(path, mark);
    }
    void Visit(const std::string& path, const std::string& text)
    {
        m_browser->Navigate(uString(Url(path).c_str()));
        ASSERT_TRUE(guitest::RunEventsUntil([&] { return Shows(text); }, 15000)) << path;
        ASSERT_TRUE(guitest::RunEventsUntil([&] { return !View().IsBusy(); }, 15000));
    }
    // A page whose top band is `top`.
    static std::string Page(const std::string& top, const std::string& script = std::string())
    {
        return "<html><body style='margin:0'><div style='height:200px'>" + top + "</div><p>page</p><script>" +
               script + "</script></body></html>";
    }
    // Lets the answers held until the end go.
    std::promise<void> m_release;
    std::shared_future<void> m_released = m_release.get_future().share();
};
} // namespace

TEST_F(PaneAttackTest, AHostilePageStillCannotActAsTheUser)
{
    m_server.serve("/x.torrent", Attachment("application/x-bittorrent", "x.torrent", "d4:infod4:name1:xee"));
    const std::string band = "style='display:block;width:100%;height:200px;background:#edc'";
    const std::string downloadLink = "<a download href='" + Url("/x.torrent") + "' " + band +
                                     " onclick=\"fetch('" + Url("/clicked") + "')\">the download</a>";
    m_server.serveContent("/clicked", "clicked", "text/plain");
    auto go = std::make_shared<std::atomic<bool>>(false);
    m_server.route("/poll", [go](const testsupport::HttpRequest&)
                   { return testsupport::TextResponse(200, *go ? "go" : "wait"); });
    m_server.route("/held",
                   [released = m_released](const testsupport::HttpRequest&)
                   {
                       released.wait_for(std::chrono::seconds(30));
                       return testsupport::TextResponse(200, "<p>held</p>", "text/html");
                   });
    m_server.serve("/auth", testsupport::UnauthorizedResponse("Sign in to your bank"));
    testsupport::HttpResponse toLogin;
    toLogin.status = 302;
    toLogin.header("Location", Url("/auth"));
    m_server.serve("/to-login", toLogin);
    m_server.serveContent("/login-frame/inner", "<p>a frame</p>", "text/html");
    m_server.serveContent("/redirects", Page("", "location='/x.torrent'"), "text/html");
    m_server.serveContent("/popups/inner", "<p>a frame</p>", "text/html");
    m_server.serveContent("/frame-clicks/inner",
                          "<html><body style='margin:0'><div id=d " + band +
                              ">CLICK</div><script>d.onclick=()=>{top.document.getElementById('dl').click();"
                              "fetch('/clicked')}</script></body></html>",
                          "text/html");
    testsupport::HttpResponse odd;
    odd.header("Content-Type", "application/octet-stream")
        .header("Content-Disposition",
                "attachment; filename*=UTF-8''a%E2%80%8Bb%EF%BB%BFc%E2%81%A0d%E2%81%AA.bin");
    odd.body = "a file";
    m_server.serve("/odd-name", odd);
    m_server.serveContent("/dl/a%2Fb.bin", "a file", "application/octet-stream");

    // A page the first time, a torrent when the history goes back to it.
    auto asked = std::make_shared<std::atomic<int>>(0);
    m_server.route("/start",
                   [asked](const testsupport::HttpRequest&)
                   {
                       if ((*asked)++ == 0)
                           return testsupport::TextResponse(200, "<p>start</p>", "text/html")
                               .header("Cache-Control", "no-store");
                       return Attachment("application/x-bittorrent", "x.torrent", "d4:infod4:name1:xee");
                   });

    m_server.serveContent("/feed",
                          "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>a feed</title>"
                          "</channel></rss>",
                          "Application/RSS+XML; charset=utf-8");
    m_server.serveContent(
        "/feed-frame/inner",
        "<html><body style='margin:0'><a href='/feed' " + band + ">the feed</a></body></html>", "text/html");

    std::vector<AttackCase> cases = {
        // A frame whose text the page itself holds (srcdoc) is the page's
        // own content, asked for in the page's name: the user's click there
        // is taken as one in the page. Any other page's frame is refused.
        {"a download link in a srcdoc frame",
         [&]
         {
             std::string inner = "<body style=&quot;margin:0&quot;>" + downloadLink + "</body>";
             for (std::size_t at = 0; (at = inner.find('\'', at)) != std::string::npos;)
                 inner.replace(at, 1, "&#39;");
             Show("/srcdoc", Page("<iframe srcdoc='" + inner +
                                  "' style='border:0;width:100%;height:200px'>"
                                  "</iframe>"));
             ClickTop();
             ASSERT_TRUE(Asked("/clicked"));
             ASSERT_TRUE(guitest::RunEventsUntil([&] { return !m_handedOver.empty(); }, 20000));
             m_handedOver.clear();
         }},
        {"a download link in a blank frame the page wrote",
         [&]
         {
             Show("/blank", Page("<iframe id=f style='border:0;width:100%;height:200px'></iframe>",
                                 "f.contentDocument.body.style.margin=0;f.contentDocument.body.innerHTML=`" +
                                     downloadLink + "`"));
             ClickTop();
             ASSERT_TRUE(Asked("/clicked"));
         }},
        {"a click in a frame that clicks the page's download link",
         [&]
         {
             Show("/frame-clicks",
                  Page("<iframe src='/frame-clicks/inner' style='border:0;width:100%;height:200px'></iframe>"
                       "<a id=dl download href='/x.torrent'></a>"));
             ClickTop();
             ASSERT_TRUE(Asked("/clicked"));
         }},
        // The user's click lands on the page itself, where its handler
        // clicks a hidden download link, or submits a form, of its own.
        {"the page's click handler clicking its hidden download link",
         [&]
         {
             Show("/page-clicks",
                  Page("<div id=d " + band + ">CLICK</div><a id=dl download href='/x.torrent'></a>",
                       "d.onclick=()=>{dl.click();fetch('/clicked')}"));
             ClickTop();
             ASSERT_TRUE(Asked("/clicked"));
         }},
        {"the page's click handler submitting its hidden form",
         [&]
         {
             Show("/page-submits",
                  Page("<div id=d " + band + ">CLICK</div><form id=f action='/x.torrent'></form>",
                       "d.onclick=()=>{f.submit();fetch('/clicked',{keepalive:true})}"));
             ClickTop();
             ASSERT_TRUE(Asked("/clicked"));
         }},
        // The user follows an item's link to a page whose script goes on to
        // a download.
        {"an item's link to a page that goes on by script",
         [&]
         {
             ASSERT_EQ(Pane().WriteHtml(uString(
                           Page("<a href='" + Url("/redirects") + "' " + band + ">the link</a>").c_str())),
                       0);
             ASSERT_TRUE(guitest::RunEventsUntil([&] { return Shows("the link"); }, 15000));
             ASSERT_TRUE(guitest::RunEventsUntil([&] { return !View().IsBusy(); }, 15000));
             ClickTop();
             ASSERT_TRUE(Asked("/x.torrent"));
         }},
        // The page puts the address of an earlier page into its own
        // history, the user steps back onto it, and the page then goes to
        // the earlier page's real entry.
        {"a Back onto an address the page pushed",
         [&]
         {
             Visit("/start", "<p>start</p>");
             Show("/pushes",
                  Page("<div id=d " + band + ">CLICK</div>",
                       "d.onclick=()=>{history.pushState(1,'','/start');history.pushState(2,'','/q');"
                       "fetch('/clicked')};onpopstate=()=>{fetch('/popped');history.go(-2)}"));
             ClickTop();
             ASSERT_TRUE(Asked("/clicked"));
             ASSERT_TRUE(
                 guitest::RunEventsUntil([&] { return View().GetCurrentURL().EndsWith("/q"); }, 15000));
             PressBack();
             ASSERT_TRUE(Asked("/popped"));
             ASSERT_TRUE(Asked("/start", 2));
         }},
        // The page's script opens a window as it sends the pane elsewhere.
        {"a window opened as the page leaves",
         [&]
         {
             Show("/leaves",
                  Page("", "setInterval(()=>fetch('/poll').then(r=>r.text()).then(t=>{"
                           "if(t!='go'||window.gone)return;window.gone=1;location='/held';"
                           "setTimeout(()=>{window.open('/popups/x');document.title='opened'},300)}),100)"));
             *go = true;
             ASSERT_TRUE(Asked("/held"));
             *go = false;
             ASSERT_TRUE(
                 guitest::RunEventsUntil([&] { return View().GetCurrentTitle() == "opened"; }, 15000));
         }},
        // The user's link leads to a page that answers late; meanwhile the
        // page's frame goes to a page that asks for a login.
        {"a frame's login while the user's next page loads",
         [&]
         {
             Show("/login-frame",
                  Page("<iframe id=f src='/login-frame/inner' style='border:0;width:100%;height:"
                       "100px'></iframe><a href='/held' style='display:block;height:100px'>"
                       "the user's link</a>",
                       "document.links[0].onclick=()=>setTimeout(()=>{f.src='/auth';"
                       "document.title='framed'},300)"));
             hostiletest::ClickAcross(View(), 150);
             ASSERT_TRUE(Asked("/held"));
             ASSERT_TRUE(
                 guitest::RunEventsUntil([&] { return View().GetCurrentTitle() == "framed"; }, 15000));
             ASSERT_TRUE(Asked("/auth"));
             guitest::RunEventsUntil([&] { return LoginBoxes() != 0; }, 3000);
         }},
        {"a window the page opens while the user's next page loads",
         [&]
         {
             Show("/window-while",
                  Page("<a href='/held' " + band + ">the user's link</a>",
                       "document.links[0].onclick=()=>setTimeout(()=>{window.open('/popups/x');"
                       "document.title='opened'},1500)"));
             ClickTop();
             ASSERT_TRUE(Asked("/held"));
             ASSERT_TRUE(
                 guitest::RunEventsUntil([&] { return View().GetCurrentTitle() == "opened"; }, 15000));
             guitest::RunEventsUntil([&] { return !m_windows.empty(); }, 3000);
         }},
        // The same within the engine's time for a click's own windows.
        {"a window the page opens at once while the user's next page loads",
         [&]
         {
             Show("/window-soon", Page("<a href='/held' " + band + ">the user's link</a>",
                                       "document.links[0].onclick=()=>setTimeout(()=>{window.open('/popups/x');"
                                       "document.title='opened'},300)"));
             ClickTop();
             ASSERT_TRUE(Asked("/held"));
             ASSERT_TRUE(
                 guitest::RunEventsUntil([&] { return View().GetCurrentTitle() == "opened"; }, 15000));
             guitest::RunEventsUntil([&] { return !m_windows.empty(); }, 3000);
         }},
        {"a login behind the redirect of a script's navigation",
         [&]
         {
             Show("/script-login", Page("", "setTimeout(()=>location='/to-login',100)"));
             ASSERT_TRUE(Asked("/auth"));
             guitest::RunEventsUntil([&] { return LoginBoxes() != 0; }, 3000);
         }},
        // A feed the page's script goes to, and one the user follows in a
        // frame.
        {"a feed a script goes to",
         [&]
         {
             Show("/script-feed", Page("", "setTimeout(()=>location='/feed',100)"));
             ASSERT_TRUE(Asked("/feed"));
             // Not the user's: shown as the text it is, never subscribed.
             EXPECT_TRUE(
                 guitest::RunEventsUntil([&] { return View().GetCurrentURL().EndsWith("/feed"); }, 10000));
         }},
        {"a feed the user follows in a frame",
         [&]
         {
             Show("/feed-frame",
                  Page("<iframe src='/feed-frame/inner' style='border:0;width:100%;height:200px'>"
                       "</iframe>"));
             ClickTop();
             ASSERT_TRUE(Asked("/feed"));
         }},
        // Long after the load, the page adds a frame and, once it is in,
        // opens a window.
        {"a window opened after the load once a frame has loaded",
         [&]
         {
             Show("/popups", Page("", "setInterval(()=>fetch('/poll').then(r=>r.text()).then(t=>{"
                                      "if(t!='go'||window.f)return;window.f=document.createElement('iframe');"
                                      "f.src='/popups/inner';f.onload=()=>{window.open('/popups/x');"
                                      "fetch('/popups/opened')};document.body.appendChild(f)}),100)"));
             *go = true;
             ASSERT_TRUE(Asked("/popups/opened"));
             *go = false;
         }},
        // The user's click on a link to a part of the page; then a script's
        // download of the page's own address, which answers a torrent now.
        {"a script's download of the page's address after the user's step to a part of it",
         [&]
         {
             asked->store(0);
             Visit("/start", "<p>start</p>");
             Show("/part", Page("<a href='/start#part' " + band + ">a part</a>",
                                "onhashchange=()=>setTimeout(()=>{var a=document.createElement('a');"
                                "a.href='/start';a.download='';document.body.append(a);a.click();"
                                "fetch('/clicked')},300);history.replaceState(0,'','/start')"));
             ClickTop();
             ASSERT_TRUE(Asked("/clicked"));
             ASSERT_TRUE(Asked("/start", 2));
         }},
        // The user's click on a label whose button, elsewhere, submits.
        {"a label passing the user's click to a form's button",
         [&]
         {
             Show("/label", Page("<label for=b " + band + ">CLICK</label><form action='/x.torrent'>"
                                 "<button id=b onclick=\"fetch('/clicked',{keepalive:true})\">go</button></form>"));
             ClickTop();
             ASSERT_TRUE(Asked("/clicked"));
         }},
        // Zero-width and format characters in the server's name.
        {"a saved file's name with format characters",
         [&]
         {
             Show("/save", Page("<a href='/odd-name' " + band + ">the file</a>"));
             ClickTop();
             ASSERT_TRUE(guitest::RunEventsUntil([&] { return !m_handedOver.empty(); }, 20000));
             ASSERT_EQ(m_handedOver.size(), 1u);
             for (const char* mark : {"\xe2\x80\x8b", "\xef\xbb\xbf", "\xe2\x81\xa0", "\xe2\x81\xaa"})
                 EXPECT_EQ(m_handedOver[0].find(mark), std::string::npos) << m_handedOver[0];
             EXPECT_EQ(m_handedOver[0].rfind("save as a", 0), 0u) << m_handedOver[0];
             m_handedOver.clear();
         }},
        // The user's own: offered under the last part of its name, and the
        // next click still works.
        {"the user's download of an address with an escaped slash",
         [&]
         {
             Show("/escaped", Page("<a download href='/dl/a%2Fb.bin' " + band + ">the file</a>"));
             for (std::size_t clicks = 1; clicks <= 2; ++clicks)
             {
                 ClickTop();
                 ASSERT_TRUE(guitest::RunEventsUntil([&] { return m_handedOver.size() == clicks; }, 20000));
                 EXPECT_EQ(m_handedOver.back(), "save as b.bin");
             }
             m_handedOver.clear();
         },
         5},
    };
    // The clicks' own requests outlive the navigations they start.
    // A press in a frame that is not the page's own text: a link or a form
    // that targets the whole pane, in a frame of another site, in a frame of
    // an item's page, and a download link in a frame of the page's site that
    // first took the page's own address. None is the user's press in the
    // page itself, whatever the engine says of the click.
    const std::string other = "http://localhost:" + Url("/").substr(Url("/").rfind(':') + 1);
    const std::string torrentLink = "<a target=_top href='/x.torrent' " + band +
                                    " onclick=\"fetch('/clicked',{keepalive:true})\">the torrent</a>";
    const std::string torrentForm =
        "<form target=_top action='/x.torrent'><button " + band +
        " onclick=\"fetch('/clicked',{keepalive:true})\">the torrent</button></form>";
    // Each frame tells when it has loaded: a click before would be lost.
    const std::string ready = "<script>onload=()=>fetch('/ready')</script>";
    m_server.serveContent("/top-link", "<body style='margin:0'>" + torrentLink + ready + "</body>",
                          "text/html");
    m_server.serveContent("/top-form", "<body style='margin:0'>" + torrentForm + ready + "</body>",
                          "text/html");
    m_server.serveContent("/replaced",
                          "<body style='margin:0'>" + downloadLink + ready +
                              "<script>history.replaceState(0,'',top.location.href)</script></body>",
                          "text/html");
    const auto clickFrame = [&]
    {
        ASSERT_TRUE(Asked("/ready"));
        guitest::RunEventsFor(200);
        ClickTop();
        ASSERT_TRUE(Asked("/clicked"));
    };
    const auto framed = [&](const std::string& address)
    { return "<iframe src='" + address + "' style='border:0;width:100%;height:200px'></iframe>"; };
    for (const auto& [name, address] : std::vector<std::pair<const char*, std::string>>{
             {"a link to the whole pane in another site's frame", other + "top-link"},
             {"a form to the whole pane in another site's frame", other + "top-form"},
             {"a download link in a frame that took the page's address", Url("/replaced")}})
        cases.push_back({name, [&, address, path = "/framed/" + std::to_string(cases.size())]
                         {
                             Show(path, Page(framed(address)));
                             clickFrame();
                         }});
    for (const auto& [name, path] : std::vector<std::pair<const char*, std::string>>{
             {"a link to the whole pane in a frame of an item's page", "/top-link"},
             {"a form to the whole pane in a frame of an item's page", "/top-form"}})
        cases.push_back({name, [&, path]
                         {
                             ASSERT_EQ(Pane().WriteHtml(uString(Page(framed(Url(path))).c_str())), 0);
                             clickFrame();
                         }});

    // A key on what the page focused: the engine reports a click of mouse
    // button 1 for it, but no button was pressed.
    for (const auto& [name, key, control] : std::vector<std::tuple<const char*, int, std::string>>{
             {"Return on a link the page focused", WXK_RETURN,
              "<a id=k href='/x.torrent' onclick=\"fetch('/clicked',{keepalive:true})\">the torrent</a>"},
             {"Return on a download link the page focused", WXK_RETURN,
              "<a id=k download href='/x.torrent' onclick=\"fetch('/clicked',{keepalive:true})\">the "
              "torrent</a>"},
             {"Return on a form's button the page focused", WXK_RETURN,
              "<form action='/x.torrent'><button id=k "
              "onclick=\"fetch('/clicked',{keepalive:true})\">go</button></form>"},
             {"Space on a form's button the page focused", ' ',
              "<form action='/x.torrent'><button id=k "
              "onclick=\"fetch('/clicked',{keepalive:true})\">go</button></form>"}})
        cases.push_back({name, [&, key, control, path = "/focused/" + std::to_string(cases.size())]
                         {
                             Show(path, Page(control, "setInterval(()=>k.focus(),100)"));
                             // The user's click below gives the view the keys; the
                             // page then takes the focus back to its control.
                             hostiletest::ClickAcross(View(), 300);
                             guitest::RunEventsFor(400);
                             wxUIActionSimulator().Char(key);
                             ASSERT_TRUE(Asked("/clicked"));
                         }});

    // The user's own click on a link in the page itself is taken, also after
    // the page changed its own address.
    m_server.serve("/y", Attachment("text/x-opml", "y.opml",
                                    "<?xml version=\"1.0\"?><opml version=\"1.0\"><body/></opml>"));
    for (const bool pushed : {false, true})
    {
        for (const auto& [link, handed] : std::vector<std::pair<std::string, std::string>>{
                 {"<a href='/x.torrent' ", ".torrent"},
                 {"<a download href='/x.torrent' ", ".torrent"},
                 {"<a href='/feed' ", "subscribe " + Url("/feed")},
                 {"<a href='/y' ", ".opml"}})
            cases.push_back(
                {pushed ? "the user's own link after the page pushed an address" : "the user's own link",
                 [&, pushed, link, handed, path = "/own/" + std::to_string(cases.size())]
                 {
                     Show(path, Page(link + band + ">the link</a>",
                                     pushed ? "history.pushState(0,'','/pushed/here')" : ""));
                     ClickTop();
                     ASSERT_TRUE(guitest::RunEventsUntil([&] { return !m_handedOver.empty(); }, 20000))
                         << link;
                     EXPECT_NE(m_handedOver[0].find(handed), std::string::npos) << m_handedOver[0];
                     m_handedOver.clear();
                 }});
    }

    // The user's own click on a link the page keeps in a shadow tree.
    for (const std::string mode : {"open", "closed"})
        cases.push_back({"the user's own link in a shadow tree",
                         [&, mode]
                         {
                             Show("/own/" + mode, Page("<div id=h></div>",
                                                       "h.attachShadow({mode:'" + mode + "'}).innerHTML=\"<a "
                                                       "href='/x.torrent' style='display:block;height:200px'>"
                                                       "the link</a>\""));
                             ClickTop();
                             ASSERT_TRUE(guitest::RunEventsUntil([&] { return !m_handedOver.empty(); }, 20000))
                                 << mode;
                             m_handedOver.clear();
                         }});

    // The user's own links to a torrent whose address the engine spells
    // otherwise than the link: escaped letters, a redirect that names a
    // user; and a link in a closed shadow tree pressed the moment the
    // pointer comes onto it, before the engine has said what lies there.
    for (const char* path : {"/x2", "/%78%32"})
        m_server.serve(path, Attachment("application/x-bittorrent", "x2.torrent", "d4:infod4:name1:xee"));
    m_server.serve("/to-user", testsupport::RedirectResponse("http://u:p@" + m_server.authority() + "/x2"));
    const auto handsOverTorrent = [&]
    {
        ASSERT_TRUE(guitest::RunEventsUntil([&] { return !m_handedOver.empty(); }, 20000));
        EXPECT_NE(m_handedOver[0].find(".torrent"), std::string::npos) << m_handedOver[0];
        m_handedOver.clear();
    };
    for (const auto& [name, link] : std::vector<std::pair<const char*, std::string>>{
             {"the user's own link written with escaped letters", "/%78%32"},
             {"the user's own link redirected to an address that names a user", "/to-user"}})
        cases.push_back({name, [&, link, path = "/spelt/" + std::to_string(cases.size())]
                         {
                             Show(path, Page("<a href='" + link + "' " + band + ">the link</a>"));
                             ClickTop();
                             handsOverTorrent();
                         }});
    cases.push_back({"the user's own link in a closed shadow tree pressed as the pointer arrives",
                     [&]
                     {
                         Show("/own/fast", Page("<div id=h></div>",
                                                "h.attachShadow({mode:'closed'}).innerHTML=\"<a href='/x2' "
                                                "style='display:block;height:200px'>the link</a>\""));
                         wxUIActionSimulator mouse;
                         const wxPoint away =
                             View().GetScreenPosition() + wxPoint(View().GetSize().x / 2, 400);
                         mouse.MouseMove(away);
                         guitest::RunEventsFor(wxSystemSettings::GetMetric(wxSYS_DCLICK_MSEC) + 300);
                         mouse.MouseMove(away - wxPoint(0, 300));
                         mouse.MouseClick();
                         handsOverTorrent();
                     },
                     3});

    // A crash need not come every time: such cases are tried again.
    std::vector<AttackCase> tries;
    for (const AttackCase& attack : cases)
        tries.insert(tries.end(), static_cast<std::size_t>(attack.runs), attack);
    for (const AttackCase& attack : tries)
    {
        SCOPED_TRACE(attack.name);
        m_server.clearLog();
        attack.attempt();
        if (HasFatalFailure())
            return;
        // A torrent would be handed over once fetched.
        guitest::RunEventsUntil([&] { return !m_handedOver.empty(); }, 1500);
        EXPECT_TRUE(m_handedOver.empty()) << m_handedOver.front();
        EXPECT_TRUE(m_windows.empty()) << m_windows.front();
        EXPECT_EQ(LoginBoxes(), 0);
        EXPECT_TRUE(m_server.requestsFor("/popups/x").empty());
        m_handedOver.clear();
        m_windows.clear();
    }
}

// The user's own link to a page behind a login still asks for it in the
// engine's box, from a page whose frame and image are of the same server.
TEST_F(PaneAttackTest, TheUsersOwnLinkBehindALoginStillAsksForIt)
{
    m_server.serve("/auth", testsupport::UnauthorizedResponse("Sign in to your bank"));
    m_server.serveContent("/login-link/inner", "<p>a frame</p>", "text/html");
    m_server.serveContent("/login-link/image", "not an image", "image/png");
    Show("/login-link", Page("<a href='/auth' style='display:block;height:200px'>the user's link</a>"
                             "<iframe src='/login-link/inner'></iframe><img src='/login-link/image'>"));
    ASSERT_TRUE(Asked("/login-link/image"));
    ClickTop();
    ASSERT_TRUE(Asked("/auth"));
    EXPECT_TRUE(guitest::RunEventsUntil([&] { return LoginBoxes() == 1; }, 15000));
}
