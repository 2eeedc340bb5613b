// Pages that try to pass their own downloads and login boxes off as the
// user's, in the real main window with the real engine and real clicks: a
// download link inside a frame, a script's or a meta refresh's redirect that
// answers while the user clicks in a frame, a download the user accepted
// once and a script starts again, a framed login and an image's login, and
// scripts that start downloads whose names hold folders. Each is refused,
// the program and the engine's network process live on, and a click the
// user makes afterwards still opens.
#include "LoopbackTracker.h"
#include "SubscriptionFrameFixture.h"
#include "TorrentFiles.h"
#include "common/Messages.h"
#include "dialogs/OpmlDialogs.h"
#include "dialogs/TorrentCtrl.h"
#include "downloads/DownloadManager.h"
#include "downloads/EngineFrameFixture.h"
#include "downloads/PaneDownloadSupport.h"
#include "downloads/TorrentEngine.h"
#include "mainwindow/HtmlCtrl.h"
#include "reading/HostilePageFixture.h"
#include "support/ChildProcess.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <wx/timer.h>
#include <wx/webview.h>

namespace
{
using testsupport::HttpResponse;

// A page whose upper half is `top` and whose lower half is a link to an
// outline the user clicks last. The link asks for a download: on a page of
// the site the engine starts it with no answer to decide on, on a written
// page (another site) it is a plain link.
std::string Page(const testsupport::LocalHttpServer& server, const std::string& top,
                 const std::string& head = std::string())
{
    return "<html><head>" + head +
           "</head><body style='margin:0'><div style='position:fixed;left:0;top:0;width:100%;height:50%'>" +
           top + "</div><a download href='" + server.url("/clicked") +
           "' style='position:fixed;left:0;top:50%;width:100%;height:50%'>"
           "the outline</a></body></html>";
}

// A frame over the upper half.
std::string Frame(const std::string& path)
{
    return "<iframe src='" + path + "' style='border:0;width:100%;height:100%'></iframe>";
}

// A link that fills its page.
std::string FullLink(const std::string& path, const std::string& attributes = std::string())
{
    return "<html><body style='margin:0'><a href='" + path + "' " + attributes +
           " style='position:fixed;left:0;top:0;width:100%;height:100%'>a link</a></body></html>";
}

// A script that makes a download link to `path` and clicks it, `times`
// times, after `delay` ms, with no click of the user's.
std::string ScriptLink(const std::string& path, int times = 1, int delay = 300)
{
    return "<script>setTimeout(function(){for(var i=0;i<" + std::to_string(times) +
           ";++i){var a=document.createElement('a');a.href='" + path +
           "';a.download='';document.body.appendChild(a);a.click()}fetch('/clicked-all')}," +
           std::to_string(delay) + ")</script>";
}

// A page of its own whose script does so.
std::string ScriptClicks(const std::string& path, int delay = 300)
{
    return "<html><body>" + ScriptLink(path, 1, delay) + "</body></html>";
}

// Names the one row a child run of this test tries.
constexpr const char* kOnlyRow = "KESTROVA_HOSTILE_ROW";

// A redirect that waits until the test lets it answer.
struct Gate
{
    std::promise<void> promise;
    std::shared_future<void> opened = promise.get_future().share();
};

class HostileDownloadTest : public subscriptiontest::SubscriptionFrameTest
{
protected:
    HostileDownloadTest() { Configure(enginetest::ListenOnFreePorts); }
    void TearDown() override
    {
        m_panels.Stop();
        if (m_frame)
            m_frame->SetMessageObserver(nullptr);
        SubscriptionFrameTest::TearDown();
    }

    void StartWithEngine()
    {
        Start(enginetest::WithEngine());
        ASSERT_NE(m_frame->GetDownloadManager()->GetEngine(), nullptr);
        m_frame->SetMessageObserver(
            [this](const CFrameMessage& message)
            {
                if (message.message == WM_APP_OPENTORRENTFILE || message.message == WM_APP_OPENOPMLFILE ||
                    message.message == WM_APP_OPENRSSFILE)
                    m_opened.push_back(message.message);
            });
    }
    wxWebView& View() const { return *m_frame->GetBrowser(); }
    void Write(const std::string& html)
    {
        m_frame->GetBrowserFrame()->GetHtmlCtrl()->WriteHtml(uString(html.c_str()));
    }
    void Show(const std::string& path)
    {
        m_frame->GetBrowserFrame()->Navigate(uString(m_server.url(path).c_str()));
    }
    bool Requested(const std::string& path) const { return hostiletest::Asked(m_server, path); }
    bool Settled() const
    {
        return guitest::RunEventsUntil([&] { return !View().IsBusy(); }, 20000);
    }
    // Real clicks: in the upper half, in the lower half.
    void ClickTop() const { hostiletest::ClickAcross(View(), View().GetSize().y / 4); }
    void ClickBottom() const { hostiletest::ClickAcross(View(), View().GetSize().y * 3 / 4); }
    // Answers `path` with a redirect to `to` once the gate opens.
    void ServeHeldRedirect(const std::string& path, const std::string& to, const std::shared_ptr<Gate>& gate)
    {
        const std::string location = m_server.url(to);
        m_server.route(path,
                       [gate, location](const testsupport::HttpRequest&)
                       {
                           gate->opened.wait_for(std::chrono::seconds(30));
                           HttpResponse response;
                           response.status = 302;
                           response.header("Location", location);
                           return response;
                       });
    }
    int LoginBoxes() const { return hostiletest::LoginBoxes(View()); }
    std::size_t Torrents() const
    {
        std::vector<CTorrentStatus> torrents;
        m_frame->GetDownloadManager()->GetEngine()->ListTorrents(torrents);
        return torrents.size();
    }

    testsupport::ScopedEnv m_listenAddress{"VESSIMAR_LISTEN_ADDRESS", "127.0.0.1"};
    torrenttest::LoopbackTracker m_tracker;
    testsupport::LocalHttpServer m_server;
    testsupport::LocalHttpServer m_otherSite;
    CTorrentPanelWatch m_panels;
    std::vector<std::uint32_t> m_opened;
};

struct HostileCase
{
    const char* name;
    // What the program opens before the user's last click.
    std::vector<std::uint32_t> opened;
    // Shows the page and makes its attempt, up to the requests that show
    // the attempt was made.
    std::function<void()> attempt;
    // How often the row is tried: a crash need not come every time.
    int runs = 1;
};
} // namespace

TEST_F(HostileDownloadTest, APageCannotPassItsDownloadsOrLoginsOffAsTheUsers)
{
    const torrenttest::MadeTorrent made =
        torrenttest::MakeSingleFileTorrent("talk.mp3", "a talk", m_tracker.announceUrl(), 16384);
    for (const char* path : {"/x.torrent", "/x1", "/x2"})
        m_server.serve(path, Attachment("application/x-bittorrent", "x.torrent", made.bytes));
    m_server.serve("/y", Attachment("text/x-opml", "y.opml",
                                    "<?xml version=\"1.0\"?><opml version=\"1.0\"><body/></opml>"));
    m_server.serve("/clicked", Attachment("text/x-opml", "clicked.opml",
                                          "<?xml version=\"1.0\"?><opml version=\"1.0\"><body/></opml>"));
    m_server.serveContent("/plain", "<html><body>a plain page</body></html>", "text/html");
    m_server.serveContent("/p/in", FullLink("/plain"), "text/html");
    m_server.serveContent("/p/download", FullLink("/x.torrent", "download onclick=\"fetch('/seen')\""),
                          "text/html");
    m_server.serve("/auth/frame", testsupport::UnauthorizedResponse("Sign in to your bank"));
    m_server.serve("/auth/own-image", testsupport::UnauthorizedResponse("Sign in to your bank"));
    m_server.serveContent("/p/image", Page(m_server, "<img src='/auth/own-image'>"), "text/html");
    m_server.serveContent(
        "/p/host",
        Page(m_server, Frame("/p/in"), "<script>onload=()=>setTimeout(()=>location='/slow',300)</script>"),
        "text/html");
    m_server.serveContent(
        "/p/refresh",
        Page(m_server, Frame("/p/in"), "<meta http-equiv='refresh' content='0;url=/slow-refresh'>"),
        "text/html");
    // The user's link names a part of the outline: the engine starts its
    // download under that address, the page's own download under the bare
    // one.
    m_server.serveContent(
        "/p/again",
        Page(m_server, "<a href='/y#part' style='display:block;width:100%;height:100%'>the download</a>"
                       "<a id='again' download href='/y'></a><script>let "
                       "done=false;setInterval(()=>fetch('/p/again/poll')"
                       ".then(r=>r.text()).then(t=>{if(t=='go'&&!done){done=true;"
                       "document.getElementById('again').click();fetch('/p/again/clicked')}}),100)</script>"),
        "text/html");
    // Downloads a script starts by clicking a download link it made, with
    // names that hold folders: the server's, or the address's.
    for (testsupport::LocalHttpServer* site : {&m_server, &m_otherSite})
    {
        site->serve("/cd", Attachment("application/x-bittorrent", "\"a/b.torrent\"", made.bytes));
        site->serveContent("/f/cd", ScriptClicks("/cd"), "text/html");
    }
    m_server.serveContent("/f/cd-late", ScriptClicks("/cd", 2000), "text/html");
    m_server.serve("/cd-outline", Attachment("text/x-opml", "\"a/b.opml\"",
                                             "<?xml version=\"1.0\"?><opml version=\"1.0\"><body/></opml>"));
    m_server.serve("/cd-octets", Attachment("application/octet-stream", "\"a/b.torrent\"", made.bytes));
    m_server.serveContent("/dl/a%2Fb.torrent", made.bytes, "application/x-bittorrent");
    StartWithEngine();
    // Shows a page whose script (or a frame's) starts its downloads, and
    // waits until the script is through and the server was asked.
    auto scriptedDownloads =
        [this](const std::string& top, testsupport::LocalHttpServer& site, const std::string& path)
    {
        return [this, top, &site, path]
        {
            site.clearLog();
            m_server.serveContent("/p/scripted", Page(m_server, top), "text/html");
            Show("/p/scripted");
            ASSERT_TRUE(hostiletest::Asked(site, "/clicked-all"));
            ASSERT_TRUE(hostiletest::Asked(site, path));
        };
    };

    // The page's navigation starts, the user clicks in the frame, then the
    // page's navigation is redirected to a torrent.
    auto racingRedirect = [this](const std::string& host, const std::string& slow, const std::string& torrent)
    {
        return [this, host, slow, torrent]
        {
            auto gate = std::make_shared<Gate>();
            ServeHeldRedirect(slow, torrent, gate);
            m_server.clearLog();
            Show(host);
            ASSERT_TRUE(Requested(slow));
            ClickTop();
            ASSERT_TRUE(Requested("/plain"));
            gate->promise.set_value();
            ASSERT_TRUE(Requested(torrent));
        };
    };
    std::vector<HostileCase> cases = {
        {"a download link inside a written item's frame",
         {},
         [this]
         {
             Write(Page(m_server, Frame(m_server.url("/p/download"))));
             ASSERT_TRUE(Requested("/p/download"));
             ASSERT_TRUE(Settled());
             ClickTop();
             ASSERT_TRUE(Requested("/seen"));
         }},
        {"a script's redirect answering while the user clicks in a frame",
         {},
         racingRedirect("/p/host", "/slow", "/x1")},
        {"a meta refresh's redirect answering while the user clicks in a frame",
         {},
         racingRedirect("/p/refresh", "/slow-refresh", "/x2")},
        {"a download the user accepted once, started again by a script",
         {WM_APP_OPENOPMLFILE},
         [this]
         {
             auto go = std::make_shared<std::atomic<bool>>(false);
             m_server.route("/p/again/poll", [go](const testsupport::HttpRequest&)
                            { return testsupport::TextResponse(200, *go ? "go" : "wait"); });
             Show("/p/again");
             ASSERT_TRUE(Requested("/p/again/poll"));
             ASSERT_TRUE(Settled());
             bool asked = false;
             guitest::WhenDialogShownWithin<OPMLImport>(30000,
                                                        [&](OPMLImport& dialog)
                                                        {
                                                            asked = true;
                                                            guitest::Press(dialog, wxID_CANCEL);
                                                        });
             ClickTop();
             ASSERT_TRUE(guitest::RunEventsUntil([&] { return asked; }, 30000)) << "the user's download";
             // The page's own click, with no gesture, when its script hears
             // back: after the user's download is over.
             *go = true;
             ASSERT_TRUE(Requested("/p/again/clicked"));
         }},
        {"a written item's frame that asks for a login",
         {},
         [this]
         {
             Write(Page(m_server, Frame(m_server.url("/auth/frame"))));
             ASSERT_TRUE(Requested("/auth/frame"));
             ASSERT_TRUE(Settled());
         }},
        {"a page's own image that asks for a login",
         {},
         [this]
         {
             Show("/p/image");
             ASSERT_TRUE(Requested("/auth/own-image"));
             ASSERT_TRUE(Settled());
         }},
        {"a script's download of a name with a folder",
         {},
         scriptedDownloads(ScriptLink("/cd"), m_server, "/cd"),
         5},
        {"the same from a frame of the page's own site",
         {},
         scriptedDownloads(Frame("/f/cd"), m_server, "/cd"),
         5},
        {"the same from a frame of the page's own site, 2 s after its load",
         {},
         scriptedDownloads(Frame("/f/cd-late"), m_server, "/cd"),
         5},
        {"the same from a frame of another site",
         {},
         scriptedDownloads(Frame(m_otherSite.url("/f/cd")), m_otherSite, "/cd"),
         5},
        {"the user's own click on a download named with a folder",
         {WM_APP_OPENOPMLFILE},
         [this]
         {
             m_server.serveContent(
                 "/p/own",
                 Page(m_server, "<a download href='/cd-outline' style='display:block;width:100%;height:100%'>"
                                "the download</a>"),
                 "text/html");
             Show("/p/own");
             ASSERT_TRUE(Requested("/p/own"));
             ASSERT_TRUE(Settled());
             bool asked = false;
             guitest::WhenDialogShownWithin<OPMLImport>(30000,
                                                        [&](OPMLImport& dialog)
                                                        {
                                                            asked = true;
                                                            guitest::Press(dialog, wxID_CANCEL);
                                                        });
             ClickTop();
             ASSERT_TRUE(guitest::RunEventsUntil([&] { return asked; }, 30000)) << "the user's download";
         },
         5},
        {"a script's download of an octet stream named with a folder",
         {},
         scriptedDownloads(ScriptLink("/cd-octets"), m_server, "/cd-octets"),
         5},
        {"a script's download of an address with an escaped slash",
         {},
         scriptedDownloads(ScriptLink("/dl/a%2Fb.torrent"), m_server, "/dl/a%2Fb.torrent"),
         5},
        {"a script's ten downloads of a name with a folder",
         {},
         scriptedDownloads(ScriptLink("/cd", 10), m_server, "/cd"),
         5},
    };
    // Started by the test of the start's folders below: its row alone.
    if (const char* only = std::getenv(kOnlyRow))
        cases.erase(std::remove_if(cases.begin(), cases.end(),
                                   [only](const HostileCase& row) { return std::string(row.name) != only; }),
                    cases.end());
    // A crash need not come every time: such cases are tried again.
    std::vector<HostileCase> tries;
    for (const HostileCase& row : cases)
        tries.insert(tries.end(), static_cast<std::size_t>(row.runs), row);
    for (const HostileCase& row : tries)
    {
        SCOPED_TRACE(row.name);
        m_opened.clear();
        const int network = EngineNetworkProcess();
        row.attempt();
        if (HasFatalFailure())
            return;
        // The user's own click afterwards: once its outline is open, the
        // attempt's download or login would have come before it.
        bool importAsked = false;
        guitest::WhenDialogShownWithin<OPMLImport>(30000,
                                                   [&](OPMLImport& dialog)
                                                   {
                                                       importAsked = true;
                                                       guitest::Press(dialog, wxID_CANCEL);
                                                   });
        ClickBottom();
        ASSERT_TRUE(guitest::RunEventsUntil([&] { return importAsked; }, 30000)) << "the user's click";
        std::vector<std::uint32_t> opened = row.opened;
        opened.push_back(WM_APP_OPENOPMLFILE);
        EXPECT_EQ(m_opened, opened);
        EXPECT_EQ(LoginBoxes(), 0);
        EXPECT_EQ(Torrents(), 0u);
        EXPECT_EQ(m_tracker.announces(), 0u);
        EXPECT_EQ(m_panels.Shown(), 0);
        EXPECT_TRUE(guitest::RunEventsUntil([] { return PaneFiles() == 0; }, 5000));
        // Once it runs, nothing a page does ends it.
        if (network != 0)
        {
            EXPECT_EQ(EngineNetworkProcess(), network) << "the engine's network process";
        }
    }
}

// The engine's processes start with the program's own file-name routine
// whatever folders the start finds: the program's path holds a colon, and the
// link's usual folder is a file, a link, open to others or another user's
// (with no runtime folder, the temporary folder's), or, last, the temporary
// folder is open to all; or the program's path holds a name the dynamic
// linker would read as its own. Each start is a process of its own, as the
// program's; what it made for the link goes when it ends.
TEST(HostileDownloadFolders, AFramesSlashNameEndsNothingWhateverFoldersTheStartFinds)
{
    namespace fs = std::filesystem;
    testsupport::TempDir dir;
    for (const char* program : {"a:b", "a$LIB"})
        fs::create_directory_symlink(std::getenv("KESTROVA_PROGRAM_DIR"), dir.file(program));
    fs::create_directories(dir.file("tmp"));
    fs::create_directories(dir.file("open"));
    fs::permissions(dir.file("open"), fs::perms::all);
    const std::string uid = std::to_string(::getuid());
    const std::pair<std::string, std::string> rows[] = {
        {"tmp/kestrova-" + uid, "others"}, {"run1/kestrova", "file"},   {"run2/kestrova", "link"},
        {"run3/kestrova", "open"},         {"run4/kestrova", "others"}, {"run5/kestrova", "file"},
        {"run6/kestrova", "a$LIB"},
    };
    for (const auto& [spoilt, how] : rows)
    {
        const std::string program = how.find('$') != std::string::npos ? how : "a:b";
        SCOPED_TRACE(spoilt + " " + how);
        const fs::path folder = dir.file(spoilt);
        fs::create_directories(folder.parent_path());
        fs::permissions(folder.parent_path(), fs::perms::owner_all);
        if (how == "file")
            dir.write(spoilt, "");
        else if (how == "link")
            fs::create_directory_symlink(dir.file("open"), folder);
        else
            ASSERT_EQ(::mkdir(folder.c_str(), how == "open" ? 0755 : 0700), 0);
        if (how == "others" && ::chown(folder.c_str(), 4242, 4242) != 0)
            continue; // only root can make another user's folder
        testsupport::ScopedEnv runtime("XDG_RUNTIME_DIR", folder.parent_path());
        if (spoilt.rfind("tmp", 0) == 0)
            ::unsetenv("XDG_RUNTIME_DIR");
        testsupport::ScopedEnv temporary("TMPDIR", dir.file(spoilt.rfind("run5", 0) == 0 ? "open" : "tmp"));
        testsupport::ScopedEnv programs("KESTROVA_PROGRAM_DIR", dir.file(program));
        testsupport::ScopedEnv only(kOnlyRow, "the same from a frame of the page's own site");
        testsupport::ScopedEnv preload("LD_PRELOAD", "");
        ::unsetenv("LD_PRELOAD");
        testsupport::ChildProcess child(
            {fs::read_symlink("/proc/self/exe"), "--gtest_filter=HostileDownloadTest.*"},
            dir.file("child.log"));
        EXPECT_EQ(child.waitForExit(240000), 0) << child.log();
        EXPECT_NE(child.log().find("[  PASSED  ] 1 test"), std::string::npos) << child.log();
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir.path()))
            EXPECT_NE(entry.path().filename().string().rfind("kestrova-" + uid + "-", 0), 0u)
                << "left behind";
    }
}
