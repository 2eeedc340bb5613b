// Pages that try to act for the user in the browser pane: open windows from
// a click, step through the history by script, take a written page away.
// Each is refused with the real engine and real clicks, and a click the user
// makes afterwards still opens its page.
#include "common/DesktopShell.h"
#include "reading/HostilePageFixture.h"

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>
#include <wx/uiaction.h>

namespace
{
enum class Step
{
    kNavigate,  // the program's Navigate of `text`, a path on the server
    kWrite,     // the program writes `text` as an item's page
    kClickTop,  // the user clicks the top band of the page
    kClickNow,  // the same without waiting: a frame's later load keeps the view busy
    kBack,      // the user presses Back
    kWaitShown, // until the pane shows `text`
    kWaitUrl,   // until the pane's address ends with `text`
    kWaitAsked, // until the server was asked `count` times for path `text`
    kMiddle,    // the user clicks the top band with the middle button, which clicks nothing
    kNotUrl,    // the pane's address does not end with `text`
};

struct Action
{
    Action(Step step, std::string text = {}, int count = 1) : step(step), text(std::move(text)), count(count)
    {
    }
    Step step;
    std::string text;
    int count;
};

struct HostileCase
{
    const char* name;
    std::vector<Action> actions;
    // Asked of the server never: a window's page the pane must not load.
    std::vector<std::string> neverAsked;
    // The windows the case may open: one for a load whose document keeps
    // coming.
    std::size_t windows = 0;
    // The folders the case opens in the file manager.
    std::size_t folders = 0;
};

class HostileNavigationTest : public hostiletest::HostilePageTest
{
protected:
    void TearDown() override
    {
        HostilePageTest::TearDown();
        m_release.set_value();
    }
    // `body`, of which the server sends the first `sent` bytes, then
    // nothing until the test ends.
    testsupport::HttpResponse Hanging(const std::string& type, const std::string& body, std::size_t sent)
    {
        testsupport::HttpResponse hanging;
        hanging.header("Content-Type", type);
        hanging.body = body;
        hanging.holdAfter = sent;
        hanging.hold = [released = m_released] { released.wait_for(std::chrono::seconds(60)); };
        return hanging;
    }
    // A page whose text comes whole, but whose document never ends. The
    // engine looks at the first 512 bytes of an answer before it shows it.
    testsupport::HttpResponse Streamed(const std::string& html)
    {
        return Hanging("text/html", html + std::string(4096, ' '), html.size() + 1024);
    }
    // The page "<name> page": its hostile part fills the top band, the
    // user's own link the band below, to "/after/<the name's first word>".
    std::string Page(const std::string& name, const std::string& top, const std::string& script = "") const
    {
        return "<html><body style='margin:0'><div style='height:200px'>" + top + "</div><a href='" +
               Url("/after/" + name.substr(0, name.find(' '))) +
               "' style='display:block;height:150px;background:#cde'>the user's link</a><p>" + name +
               " page</p><script>" + script + "</script></body></html>";
    }
    std::string Frame(const std::string& path) const
    {
        return "<iframe src='" + Url(path) + "' style='width:100%;height:200px;border:0'></iframe>";
    }
    static std::string Fragment() { return "<a href='#part' style='display:block;height:200px'>part</a>"; }
    void ServePage(const std::string& path, const std::string& html)
    {
        m_server.serveContent(path, html, "text/html");
    }
    // An address that is a page the first time and a torrent after, as a
    // page the history goes back to may answer. Not stored: going back asks
    // the server again.
    void ServePageThenTorrent(const std::string& path, const std::string& html)
    {
        auto asked = std::make_shared<std::atomic<int>>(0);
        const std::string& page = html;
        m_server.route(path,
                       [asked, page](const testsupport::HttpRequest&)
                       {
                           if ((*asked)++ == 0)
                               return testsupport::TextResponse(200, page, "text/html")
                                   .header("Cache-Control", "no-store");
                           return Attachment("application/x-bittorrent", "show.torrent",
                                             "d4:infod4:name1:xee");
                       });
    }
    std::promise<void> m_release;
    std::shared_future<void> m_released = m_release.get_future().share();

    void Run(const Action& action)
    {
        switch (action.step)
        {
        case Step::kNavigate:
            m_browser->Navigate(uString(Url(action.text).c_str()));
            break;
        case Step::kWrite:
            ASSERT_EQ(Pane().WriteHtml(uString(action.text.c_str())), 0);
            break;
        case Step::kClickTop:
            ASSERT_TRUE(guitest::RunEventsUntil([&] { return !View().IsBusy(); }, 15000));
            ClickTop();
            break;
        case Step::kClickNow:
            guitest::RunEventsFor(300);
            ClickTop();
            break;
        case Step::kBack:
            PressBack();
            break;
        case Step::kWaitShown:
            ASSERT_TRUE(guitest::RunEventsUntil([&] { return Shows(action.text); }, 15000)) << action.text;
            break;
        case Step::kWaitUrl:
            ASSERT_TRUE(
                guitest::RunEventsUntil([&] { return View().GetCurrentURL().EndsWith(action.text); }, 15000))
                << action.text << " at " << View().GetCurrentURL();
            break;
        case Step::kMiddle:
        {
            ASSERT_TRUE(guitest::RunEventsUntil([&] { return !View().IsBusy(); }, 15000));
            wxUIActionSimulator mouse;
            mouse.MouseMove(View().GetScreenPosition() + wxPoint(View().GetSize().x / 2, 100));
            guitest::RunEventsFor(50);
            mouse.MouseClick(wxMOUSE_BTN_MIDDLE);
            // A step the engine took would have shown by then.
            guitest::RunEventsFor(1000);
            break;
        }
        case Step::kNotUrl:
            EXPECT_FALSE(View().GetCurrentURL().EndsWith(action.text)) << View().GetCurrentURL();
            break;
        case Step::kWaitAsked:
            ASSERT_TRUE(Asked(action.text, std::size_t(action.count)))
                << action.text << " at " << View().GetCurrentURL();
            break;
        }
    }
};
} // namespace

TEST_F(HostileNavigationTest, APageNeverActsForTheUser)
{
    const std::string openOnClick = "d.onclick=()=>{window.open('/x');new Image().src='clicked'}";
    const std::string clickable = "<div id=d style='height:200px;background:#edc'>CLICK</div>";
    ServePage("/open-frame/inner", "<html><body style='margin:0'>" + clickable + "<script>" + openOnClick +
                                       "</script></body></html>");
    ServePage("/open-page/page", Page("open-page", clickable, openOnClick));
    // After the user's Back inside the page, the page steps back itself, to
    // a page that answers a torrent then (on popstate, on a timer, or on load
    // of the page it replaced itself with).
    const std::pair<std::string, std::string> stepsBack[] = {
        {"pop-back", "onpopstate=()=>location.hash||history.back()"},
        {"pop-go", "onpopstate=()=>location.hash||history.go(-1)"},
        {"pop-timer", "onpopstate=()=>location.hash||setTimeout(()=>history.back(),100)"},
        {"load-back", "onpopstate=()=>location.hash||location.replace('next')"},
    };
    std::vector<HostileCase> cases;
    for (const auto& [name, script] : stepsBack)
    {
        ServePageThenTorrent("/" + name + "/start", Page(name + " start", ""));
        ServePage("/" + name + "/page", Page(name, Fragment(), script));
        cases.push_back({name.c_str(),
                         {{Step::kNavigate, "/" + name + "/start"},
                          {Step::kWaitShown, name + " start page"},
                          {Step::kNavigate, "/" + name + "/page"},
                          {Step::kWaitShown, name + " page"},
                          {Step::kClickTop},
                          {Step::kWaitUrl, "#part"},
                          {Step::kBack},
                          {Step::kWaitAsked, "/" + name + "/start", 2}},
                         {}});
    }
    ServePage("/load-back/next", Page("load-back next", "", "onload=()=>history.back()"));
    cases.back().actions.push_back({Step::kWaitShown, "load-back next page"});
    ServePage("/pop-forward/page", Page("pop-forward", Fragment(), "onpopstate=()=>history.forward()"));
    ServePageThenTorrent("/pop-forward/next", Page("pop-forward next", ""));
    ServePage("/frame-back/page", Page("frame-back", Fragment()));
    // Goes back, and only then asks for the image: a frame taken away with
    // its page never asks.
    ServePage("/frame-back/inner",
              "<script>setTimeout(()=>{history.back();setTimeout(()=>{new Image().src='backing'},500)},300)"
              "</script>");
    // The page puts its start page's address into its own history; after
    // the user's Back onto it, the page leaves and steps back to that entry,
    // now a load of its own. Not stored, so the step asks the server again.
    ServePageThenTorrent("/push-away/start", Page("push-away start", ""));
    ServePageThenTorrent("/push-away/page",
                         Page("push-away", clickable,
                              "d.onclick=()=>{history.pushState(1,'','start');history.pushState(2,'','q')};"
                              "onpopstate=()=>location='next'"));
    ServePage("/push-away/next", Page("push-away next", "", "onload=()=>history.back()"));
    // The page asks for the print dialog itself: on a timer, or from a
    // frame of an item's page with no click. The image tells that print()
    // returned.
    const std::string printThenTell = "print();new Image().src='printed'";
    ServePage("/print-timer/page", Page("print-timer", "", "setTimeout(()=>{" + printThenTell + "},300)"));
    ServePage("/print-frame/inner", "<script>" + printThenTell + "</script>");
    ServePage("/frame-load/page", Page("frame-load", ""));
    // The image waits: a step the engine refuses may stop the loads under way.
    ServePage("/frame-load/inner",
              "<script>history.go(-1);setTimeout(()=>{new Image().src='backing'},500)</script>");

    // After the load the page navigates a frame of its own or steps to a
    // part of itself; then the user clicks its element whose handler opens
    // a window, or its link that opens one.
    const std::string smallFrame =
        "<iframe id=f src='inner' style='width:10px;height:8px;border:0'></iframe>";
    const std::string clickedBand = "style='display:block;height:190px;background:#edc' "
                                    "onclick=\"window.open('/x');new Image().src='clicked'\"";
    const std::string newWindowLink = "<a href='/x' target=_blank style='display:block;height:190px' "
                                      "onclick=\"new Image().src='clicked'\">a window</a>";
    const std::string reframe = "onload=()=>setTimeout(()=>f.src='other',300)";
    ServePage("/rearm-frame/page",
              Page("rearm-frame", "<div " + clickedBand + ">CLICK</div>" + smallFrame, reframe));
    ServePage("/rearm-hash/page",
              Page("rearm-hash", "<div " + clickedBand + ">CLICK</div>",
                   "onload=()=>setTimeout(()=>{location.hash='part';new Image().src='hashed'},300)"));
    ServePage("/rearm-link/page", Page("rearm-link", newWindowLink + smallFrame, reframe));
    for (const char* name : {"rearm-frame", "rearm-hash", "rearm-link"})
        ServePage(std::string("/") + name + "/inner", "<p>a frame</p>");
    for (const auto& [name, sign] : {std::pair<const char*, const char*>{"rearm-frame", "other"},
                                     {"rearm-hash", "hashed"},
                                     {"rearm-link", "other"}})
        cases.push_back({name,
                         {{Step::kNavigate, std::string("/") + name + "/page"},
                          {Step::kWaitShown, std::string(name) + " page"},
                          {Step::kWaitAsked, std::string("/") + name + "/" + sign},
                          {Step::kClickNow},
                          {Step::kWaitAsked, std::string("/") + name + "/clicked"}},
                         {"/x"}});

    // The user's click on the page's element, whose handler starts a slow
    // load of the page's own and opens a window while it is pending; the
    // user's click in a frame of an item's page whose image never ends.
    ServePage("/slow-leave/page",
              Page("slow-leave", clickable,
                   "d.onclick=()=>{location='slow';setTimeout(()=>window.open('/x'),400)}"));
    auto slow = testsupport::TextResponse(204, "");
    slow.holdInHead = [] { std::this_thread::sleep_for(std::chrono::seconds(2)); };
    m_server.serve("/slow-leave/slow", slow);
    ServePage("/frame-loading/inner", "<html><body style='margin:0'>" + clickable + "<script>" + openOnClick +
                                          "</script></body></html>");
    testsupport::HttpResponse endless;
    endless.header("Content-Type", "image/png");
    endless.stallAfterHeaders = true;
    m_server.serve("/frame-loading/image", endless);
    const std::vector<HostileCase> more = {
        {"open-frame",
         {{Step::kWrite, Page("open-frame", Frame("/open-frame/inner"))},
          {Step::kWaitAsked, "/open-frame/inner"},
          {Step::kClickTop},
          {Step::kWaitAsked, "/open-frame/clicked"}},
         {"/x"}},
        {"open-page",
         {{Step::kNavigate, "/open-page/page"},
          {Step::kWaitShown, "open-page page"},
          {Step::kClickTop},
          {Step::kWaitAsked, "/open-page/clicked"}},
         {"/x"}},
        // Back to the page's own part, then twice forward by the page.
        {"pop-forward",
         {{Step::kNavigate, "/pop-forward/page"},
          {Step::kWaitShown, "pop-forward page"},
          {Step::kClickTop},
          {Step::kWaitUrl, "#part"},
          {Step::kNavigate, "/pop-forward/next"},
          {Step::kWaitShown, "pop-forward next page"},
          {Step::kBack},
          {Step::kWaitUrl, "#part"},
          {Step::kWaitShown, "pop-forward page"},
          {Step::kBack},
          {Step::kWaitAsked, "/pop-forward/next", 2}},
         {}},
        {"push-away",
         {{Step::kNavigate, "/push-away/start"},
          {Step::kWaitShown, "push-away start page"},
          {Step::kNavigate, "/push-away/page"},
          {Step::kWaitShown, "push-away page"},
          {Step::kClickTop},
          {Step::kWaitUrl, "/push-away/q"},
          {Step::kBack},
          {Step::kWaitAsked, "/push-away/next"},
          {Step::kWaitAsked, "/push-away/start", 2}},
         {}},
        // A frame of the item steps back while the user's Back is recent.
        {"frame-back",
         {{Step::kNavigate, "/frame-back/page"},
          {Step::kWaitShown, "frame-back page"},
          {Step::kClickTop},
          {Step::kWaitUrl, "#part"},
          {Step::kBack},
          {Step::kWrite, Page("frame-back item", Frame("/frame-back/inner"))},
          {Step::kWaitAsked, "/frame-back/backing"},
          {Step::kWaitShown, "frame-back item page"}},
         {}},
        {"print-timer",
         {{Step::kNavigate, "/print-timer/page"},
          {Step::kWaitShown, "print-timer page"},
          {Step::kWaitAsked, "/print-timer/printed"}},
         {}},
        {"print-frame",
         {{Step::kWrite, Page("print-frame", Frame("/print-frame/inner"))},
          {Step::kWaitAsked, "/print-frame/printed"}},
         {}},
        {"slow-leave",
         {{Step::kNavigate, "/slow-leave/page"},
          {Step::kWaitShown, "slow-leave page"},
          {Step::kClickTop},
          {Step::kWaitAsked, "/slow-leave/slow"}},
         {"/x"}},
        {"frame-loading",
         {{Step::kWrite, Page("frame-loading", Frame("/frame-loading/inner") + "<img src='" +
                                                   Url("/frame-loading/image") + "'>")},
          {Step::kWaitAsked, "/frame-loading/image"},
          {Step::kClickNow},
          {Step::kWaitAsked, "/frame-loading/clicked"}},
         {"/x"}},
        // The middle button on a link to a part of an item's page, which the
        // engine asks about before the press's report would come; then the
        // first button.
        {"middle-part",
         {{Step::kWrite, Page("middle-part", Fragment())},
          {Step::kWaitShown, "middle-part page"},
          {Step::kMiddle},
          {Step::kNotUrl, "#part"},
          {Step::kClickNow},
          {Step::kWaitUrl, "#part"}},
         {}},
        // A frame steps back while the item is still loading.
        {"frame-load",
         {{Step::kNavigate, "/frame-load/page"},
          {Step::kWaitShown, "frame-load page"},
          {Step::kWrite, Page("frame-load item", Frame("/frame-load/inner"))},
          {Step::kWaitAsked, "/frame-load/backing"},
          {Step::kWaitShown, "frame-load item page"}},
         {}},
    };
    cases.insert(cases.begin(), more.begin(), more.end());

    // Pages whose load never ends, whose document click handler asks for ten
    // windows: with an image that hangs after its first bytes, streamed for
    // ever itself (its scripts run, its document keeps coming), the same
    // with the handler in a frame, and an item's own text with a hanging
    // image and a frame of another site. Once the page's own document has
    // come nothing opens, whatever its image does; while it keeps coming,
    // one window at most for its load, however often it asks.
    const std::string openTen = "<script>document.onclick=()=>{for(let i=0;i<10;++i)window.open('/x');"
                                "new Image().src='clicked'};new Image().src='ready'</script>";
    m_server.serve("/hang", Hanging("image/png", "\x89PNG" + std::string(60, '\0'), 4));
    const std::string hangingImage = "<img src='" + Url("/hang") + "' width=1 height=1>";
    ServePage("/hang-image/page", Page("hang-image", hangingImage) + openTen);
    m_server.serve("/stream-page/page", Streamed(Page("stream-page", "") + openTen));
    m_server.serve("/stream-frame/page", Streamed(Page("stream-frame", Frame("/stream-frame/inner"))));
    for (const char* inner : {"/stream-frame/inner", "/item-hang/inner"})
        ServePage(inner, openTen);
    const std::string otherSite = "http://localhost:" + Url("/").substr(Url("/").rfind(':') + 1);
    const std::string item =
        Page("item-hang", "<iframe src='" + otherSite +
                              "item-hang/inner' style='width:100%;height:200px;border:0'>"
                              "</iframe>" +
                              hangingImage);
    for (const auto& [name, show, windows] : std::vector<std::tuple<const char*, Action, std::size_t>>{
             {"hang-image", {Step::kNavigate, "/hang-image/page"}, 0},
             {"stream-page", {Step::kNavigate, "/stream-page/page"}, 1},
             {"stream-frame", {Step::kNavigate, "/stream-frame/page"}, 1},
             {"item-hang", {Step::kWrite, item}, 0}})
    {
        const std::string at = std::string("/") + name + "/";
        cases.push_back({name,
                         {show,
                          {Step::kWaitAsked, at + "ready"},
                          {Step::kClickNow},
                          {Step::kWaitAsked, at + "clicked"},
                          {Step::kClickNow},
                          {Step::kWaitAsked, at + "clicked", 2}},
                         {"/x"},
                         windows});
    }

    // An item still loading (its image hangs) with a frame of another site
    // whose click handler sends the whole pane to a page of its choice: the
    // user's click there leaves the item for nothing, and that page's
    // scripts never run in the pane.
    // The asking for the page away tells that the click came: an image the
    // handler asked for as well would be stopped with the frame's loads once
    // the pane's load starts, before the server may have seen it.
    ServePage("/frame-top/inner", "<script>document.onclick=()=>{top.location='" + Url("/frame-top/away") +
                                      "'};new Image().src='ready'</script>");
    ServePage("/frame-top/away", "<p>away</p><script>new Image().src='ran'</script>");
    cases.push_back({"frame-top",
                     {{Step::kWrite, Page("frame-top", "<iframe src='" + otherSite +
                                                           "frame-top/inner' style='width:100%;height:200px;"
                                                           "border:0'></iframe>" +
                                                           hangingImage)},
                      {Step::kWaitAsked, "/frame-top/ready"},
                      {Step::kClickNow},
                      {Step::kWaitAsked, "/frame-top/away"}},
                     {"/frame-top/ran"}});

    // An item's frame and refresh, and a page's script, to a folder the
    // pane may show: only the user's click on its link opens it.
    m_templates.write("show/episode.mp3", "x");
    const std::string folder = "kestrova://template/show/";
    ServePage("/folder-open/page",
              Page("folder-open", "", "location='" + folder + "';new Image().src='sent'"));
    cases.push_back(
        {"folder-open",
         {{Step::kWrite, Page("folder-open item", "<iframe src='" + folder + "'></iframe><img src='" +
                                                      Url("/folder-open/shown") + "'>") +
                             "<meta http-equiv=refresh content='0;url=" + folder + "'>"},
          {Step::kWaitAsked, "/folder-open/shown"},
          {Step::kNavigate, "/folder-open/page"},
          {Step::kWaitAsked, "/folder-open/sent"},
          {Step::kWrite, Page("folder-open link",
                              "<a href='" + folder + "' style='display:block;height:190px'>folder</a>")},
          {Step::kWaitShown, "folder-open link page"},
          {Step::kClickTop}},
         {},
         0,
         1});

    auto shell = std::make_shared<CRecordingShell>();
    ui::CScopedShell installed{shell};
    for (const HostileCase& hostile : cases)
    {
        SCOPED_TRACE(hostile.name);
        const int dialogsBefore = m_dialogs.Seen();
        ServePage(std::string("/after/") + hostile.name, std::string("<p>after ") + hostile.name + "</p>");
        for (const Action& action : hostile.actions)
        {
            Run(action);
            if (HasFatalFailure())
                return;
        }
        // A torrent would be handed over once fetched.
        guitest::RunEventsUntil([&] { return !m_handedOver.empty(); }, 1500);
        EXPECT_TRUE(m_handedOver.empty()) << m_handedOver.front();
        for (const std::string& path : hostile.neverAsked)
            EXPECT_TRUE(m_server.requestsFor(path).empty()) << path;
        EXPECT_LE(m_windows.size(), hostile.windows) << m_windows.front();
        EXPECT_EQ(m_dialogs.Seen(), dialogsBefore) << "no dialog shows";
        EXPECT_EQ(shell->GetRequests().size(), hostile.folders);
        shell->Clear();
        m_handedOver.clear();
        m_windows.clear();

        // The user's own click still opens its page.
        hostiletest::ClickAcross(View(), 275);
        EXPECT_TRUE(
            guitest::RunEventsUntil([&] { return Shows(std::string("after ") + hostile.name); }, 15000));
    }
}
