// Links in the browser pane to the program's own documents: a .torrent, a
// feed or an outline goes to the program, as the desktop would hand it over.
#include "EngineFrameFixture.h"
#include "LoopbackTracker.h"
#include "ModalDriver.h"
#include "PaneDownloadSupport.h"
#include "ScriptedPrompt.h"
#include "SubscriptionFrameFixture.h"
#include "TorrentFiles.h"
#include "common/Messages.h"
#include "dialogs/MailDlgs.h"
#include "dialogs/OpmlDialogs.h"
#include "dialogs/TorrentCtrl.h"
#include "dialogs/XListCtrl.h"
#include "downloads/DownloadManager.h"
#include "mainwindow/AppActivation.h"
#include "mainwindow/DocumentDrop.h"
#include "mainwindow/FileChooser.h"
#include "mainwindow/HtmlCtrl.h"
#include "mainwindow/KestrovaView.h"
#include "mainwindow/PaneDownloadRules.h"
#include "mainwindow/TreeViewEx.h"
#include "mainwindow/WebBrowserFrame.h"
#include "support/ChildProcess.h"
#include "support/GermanInterface.h"
#include "support/LocalHttpServer.h"
#include "support/RefusingFileSystem.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <optional>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <vector>
#include <wx/dialog.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/uiaction.h>
#include <wx/webview.h>
#include <zlib.h>

namespace
{
namespace fs = std::filesystem;
using testsupport::HttpResponse;

// Answers the save dialog as the user would, and keeps what it was asked.
class ScriptedChooser : public ui::CFileChooser
{
public:
    uString Choose(wxWindow* parent, const ui::FileRequest& request) override
    {
        requests.push_back(request);
        if (overPointer)
        {
            // A dialog of its own shows under the pointer for a moment.
            wxDialog dialog(parent, wxID_ANY, "Save", wxGetMousePosition() - wxPoint(150, 75),
                            wxSize(300, 150));
            wxTimer answered;
            answered.Bind(wxEVT_TIMER, [&](wxTimerEvent&) { dialog.EndModal(wxID_OK); });
            answered.StartOnce(300);
            dialog.ShowModal();
        }
        if (whileAsked)
            whileAsked();
        return uString(answer.c_str());
    }
    std::string answer; // empty: Cancel
    bool overPointer = false;
    std::function<void()> whileAsked;
    std::vector<ui::FileRequest> requests;
};

// Bytes that hardly compress, the same at each run.
std::string Noise(std::size_t size)
{
    std::string bytes(size, '\0');
    std::uint32_t state = 12345;
    for (char& byte : bytes)
    {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

// `bytes` as a gzip stream.
std::string Gzip(const std::string& bytes)
{
    z_stream stream{};
    constexpr int kGzipWindow = 15 + 16;
    EXPECT_EQ(deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindow, 8, Z_DEFAULT_STRATEGY),
              Z_OK);
    std::string packed(deflateBound(&stream, bytes.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(packed.data());
    stream.avail_out = static_cast<uInt>(packed.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    return packed;
}

class PaneDownloadTest : public EngineFrameFixture
{
protected:
    void ClickLinkTo(const std::string& path) { ClickLinkIn(*m_frame, m_server, path); }

    static std::string TempFolder() { return CPreference::GetInstance()->GetTempDir().getPath().c_str(); }
    static int FilesEndingIn(const std::string& ending)
    {
        int count = 0;
        for (const fs::directory_entry& entry : fs::directory_iterator(TempFolder()))
            count += entry.path().extension() == ending ? 1 : 0;
        return count;
    }
    void ObserveOpenings()
    {
        m_frame->SetMessageObserver(
            [this](const CFrameMessage& message)
            {
                if (message.message == WM_APP_OPENOPMLFILE || message.message == WM_APP_OPENRSSFILE ||
                    message.message == WM_APP_OPENTORRENTFILE)
                {
                    const std::string path = message.text != nullptr ? message.text->c_str() : "";
                    m_opened.emplace_back(message.message, path);
                    // As the handler finds it; it is gone afterwards.
                    m_contents.push_back(testsupport::ReadFileBytes(path));
                }
            });
    }
    void TearDown() override
    {
        if (m_frame)
            m_frame->SetMessageObserver(nullptr);
        ui::CFileChooser::Install(nullptr);
        EngineFrameFixture::TearDown();
    }
    // Files of that name anywhere in the home folder (the download folder
    // is the home folder here).
    int FilesNamed(const std::string& name) const
    {
        int count = 0;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(m_home.path()))
            count += entry.path().filename() == name ? 1 : 0;
        return count;
    }
    bool WaitForRequests(const std::vector<std::string>& paths)
    {
        return guitest::RunEventsUntil(
            [&]
            {
                for (const std::string& path : paths)
                {
                    if (m_server.requestsFor(path).empty())
                        return false;
                }
                return true;
            },
            20000);
    }
    std::string StatusText() const { return m_frame->GetStatusBar()->GetStatusText(0).utf8_string(); }

    testsupport::ScopedEnv m_listenAddress{"VESSIMAR_LISTEN_ADDRESS", "127.0.0.1"};
    torrenttest::LoopbackTracker m_tracker;
    testsupport::LocalHttpServer m_server;
    std::vector<std::pair<std::uint32_t, std::string>> m_opened;
    std::vector<std::string> m_contents;
};
} // namespace

// The user's click on a torrent link hands the torrent to the engine, also
// when the server names it with folders, each time: a torrent's file name
// does not matter, and no file or folder of that name is made.
TEST_F(PaneDownloadTest, ClickingATorrentLinkOpensTheBitTorrentPanelWithTheTorrent)
{
    struct TorrentLink
    {
        const char* name;        // the address's last part
        const char* disposition; // empty: none
        int runs;
    };
    const TorrentLink links[] = {{"show.torrent", "", 1}, {"get", "attachment; filename=\"a/b.torrent\"", 5}};
    ShowFrame(wxSize(1000, 700), WithEngine());
    ASSERT_NE(m_frame->GetDownloadManager()->GetEngine(), nullptr);

    int serial = 0;
    for (const TorrentLink& link : links)
        for (int run = 0; run < link.runs; ++run)
        {
            SCOPED_TRACE(link.disposition);
            const std::string file = "talk" + std::to_string(++serial) + ".mp3";
            const torrenttest::MadeTorrent made =
                torrenttest::MakeSingleFileTorrent(file, "a talk", m_tracker.announceUrl(), 16384);
            const std::string path = "/get/" + std::to_string(serial) + "/" + link.name;
            HttpResponse response = testsupport::TextResponse(200, made.bytes, "application/x-bittorrent");
            if (*link.disposition != '\0')
                response.header("Content-Disposition", link.disposition);
            m_server.serve(path, response);

            std::vector<std::string> rows;
            bool shown = false;
            guitest::WhenDialogShownWithin<CTorrentCtrl>(
                30000,
                [&](CTorrentCtrl& panel)
                {
                    shown = true;
                    CXListModel& list = panel.GetList()->GetModel();
                    for (int row = 0; row < list.GetItemCount(); ++row)
                        rows.push_back(list.GetItemText(row, 0).c_str());
                    guitest::Press(panel, wxID_OK);
                });
            ClickLinkTo(path);
            ASSERT_TRUE(guitest::RunEventsUntil([&] { return shown; }, 35000)) << "no BitTorrent panel";
            // Added to those before it.
            EXPECT_EQ(rows.size(), static_cast<std::size_t>(serial));
            EXPECT_NE(std::find(rows.begin(), rows.end(), file), rows.end());
            // The engine holds it, and it is kept in the torrent folder as a
            // file opened from the desktop is.
            const std::string kept =
                std::string(CPreference::GetInstance()->GetTorrentDir().getPath().c_str()) + "/" +
                made.infoKey + ".torrent";
            EXPECT_EQ(testsupport::ReadFileBytes(kept), made.bytes);
            EXPECT_EQ(m_server.requestsFor(path).size(), 1u);
        }
    // The engine keeps its own copy: the pane's goes once the panel is closed.
    EXPECT_TRUE(guitest::RunEventsUntil([] { return PaneFiles() == 0; }, 5000));
    EXPECT_EQ(FilesNamed("b.torrent"), 0);
    EXPECT_EQ(FilesNamed("a"), 0);
}

// An attachment named .opml of a general type: posted with a file in the
// temp folder holding what the server sent, which goes once the import is
// over, here cancelled.
TEST_F(PaneDownloadTest, AnOutlineGoesToItsMessageWithTheWholeFileWhichGoesAfterwards)
{
    const std::string outline = "<?xml version=\"1.0\"?><opml version=\"1.0\"><body/></opml>";
    HttpResponse attachment;
    attachment.header("Content-Type", "application/octet-stream")
        .header("Content-Disposition", "attachment; filename=\"subscriptions.opml\"");
    attachment.body = outline;
    m_server.serve("/export", attachment);
    // A list to import into, so that the import asks.
    fs::create_directories(m_home.file("Documents/Kestrova/subscription"));
    fs::copy_file(KESTROVA_LIST_TEMPLATE, m_home.file("Documents/Kestrova/subscription/default.mdb"));
    std::ofstream(m_home.file("Documents/Kestrova/subscription/config.xml")) << subscriptiontest::kTree;
    ShowFrame();
    ObserveOpenings();
    bool cancelled = false;
    guitest::WhenDialogShownWithin<OPMLImport>(30000,
                                               [&](OPMLImport& dialog)
                                               {
                                                   cancelled = true;
                                                   guitest::Press(dialog, wxID_CANCEL);
                                               });

    ClickLinkTo("/export");
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return m_opened.size() == 1; }, 20000));
    EXPECT_EQ(m_opened[0].first, WM_APP_OPENOPMLFILE);
    // Under a name of the program's, never the server's.
    EXPECT_EQ(fs::path(m_opened[0].second).parent_path(), fs::path(TempFolder()));
    EXPECT_EQ(fs::path(m_opened[0].second).extension(), ".opml");
    EXPECT_EQ(fs::path(m_opened[0].second).filename().string().find("subscriptions"), std::string::npos);
    EXPECT_EQ(m_contents[0], outline);
    EXPECT_TRUE(guitest::RunEventsUntil([] { return PaneFiles() == 0; }, 5000));
    EXPECT_TRUE(cancelled);
}

// A download cut short is no document: nothing is opened and its file goes,
// whether its connection breaks or the engine's network process ends.
TEST_F(PaneDownloadTest, ACutDownloadIsNeitherOpenedNorKept)
{
    ShowFrame();
    ObserveOpenings();
    for (const bool engineEnds : {false, true})
    {
        SCOPED_TRACE(engineEnds ? "the engine ends" : "the connection breaks");
        std::promise<void> gate;
        std::shared_future<void> released = gate.get_future().share();
        HttpResponse cut = testsupport::TextResponse(200, std::string(4000, 'x'), "application/octet-stream");
        cut.holdAfter = 1000; // past what the engine reads to sniff the type
        cut.hold = [released] { released.wait_for(std::chrono::seconds(30)); };
        cut.breakAfter = 2000;
        const std::string path = engineEnds ? "/ended/list.opml" : "/list.opml";
        m_server.serve(path, cut);

        ClickLinkTo(path);
        // Its file is made once the answer starts...
        ASSERT_TRUE(guitest::RunEventsUntil([&] { return FilesEndingIn(".opml") == 1; }, 20000));
        if (const int network = EngineNetworkProcess(); engineEnds && network != 0)
            ::kill(network, SIGKILL);
        gate.set_value();
        // ...and removed when the connection breaks.
        ASSERT_TRUE(guitest::RunEventsUntil([&] { return PaneFiles() == 0; }, 20000));
        guitest::RunEventsFor(300);
        EXPECT_TRUE(m_opened.empty());
    }
}

// Frames of an item, a meta refresh and a script start downloads of every
// kind; none is taken: no file, no dialog, nothing opened. A click on a link
// afterwards still is.
TEST_F(PaneDownloadTest, DownloadsAPageStartsByItselfAreRefused)
{
    const torrenttest::MadeTorrent made =
        torrenttest::MakeSingleFileTorrent("talk.mp3", "a talk", m_tracker.announceUrl(), 16384);
    const std::string outline = "<?xml version=\"1.0\"?><opml version=\"1.0\"><body/></opml>";
    const std::string feed = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel/></rss>";
    m_server.serve("/x", Attachment("application/x-bittorrent", "x.torrent", made.bytes));
    m_server.serve("/outline", Attachment("text/x-opml", "framed.opml", outline));
    m_server.serve("/feed", Attachment("application/rss+xml", "framed.rss", feed));
    m_server.serve("/pack", Attachment("application/zip", "framed.zip", "PK zip"));
    m_server.redirect("/hop", "/hopped");
    m_server.serve("/hopped", Attachment("application/x-bittorrent", "hopped.torrent", made.bytes));
    m_server.serve("/refreshed", Attachment("application/zip", "refreshed.zip", "PK zip"));
    m_server.serve("/scripted", Attachment("text/x-opml", "scripted.opml", outline));
    m_server.serveContent("/refresh.html",
                          "<html><head><meta http-equiv='refresh' content='0;url=/refreshed'></head>"
                          "<body>refreshing</body></html>",
                          "text/html");
    m_server.serveContent(
        "/script.html", "<html><body><script>location.href='/scripted'</script></body></html>", "text/html");
    m_server.serve("/clicked", Attachment("text/x-opml", "clicked.opml", outline));
    auto chooser = std::make_shared<ScriptedChooser>();
    chooser->answer = m_home.file("chosen.zip");
    ui::CFileChooser::Install(chooser);
    ShowFrame(wxSize(1000, 700), WithEngine());
    ObserveOpenings();

    std::string frames = "<html><body><p>the item</p>";
    for (const char* path : {"/x", "/outline", "/feed", "/pack", "/hop"})
        frames += "<iframe src='" + m_server.url(path) + "'></iframe>";
    m_frame->GetBrowserFrame()->GetHtmlCtrl()->WriteHtml(uString((frames + "</body></html>").c_str()));
    ASSERT_TRUE(WaitForRequests({"/x", "/outline", "/feed", "/pack", "/hopped"}));
    m_frame->GetBrowserFrame()->Navigate(uString(m_server.url("/refresh.html").c_str()));
    ASSERT_TRUE(WaitForRequests({"/refreshed"}));
    m_frame->GetBrowserFrame()->Navigate(uString(m_server.url("/script.html").c_str()));
    ASSERT_TRUE(WaitForRequests({"/scripted"}));

    // The engine answers in order: once the click's document is open, any
    // download of the above would have been handled.
    ClickLinkTo("/clicked");
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return !m_opened.empty(); }, 20000));
    guitest::RunEventsFor(300);
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(m_opened[0].first, WM_APP_OPENOPMLFILE);
    EXPECT_EQ(m_contents[0], outline);
    // The clicked copy goes once its handler is done; the refused left none.
    EXPECT_EQ(FilesEndingIn(".opml") + FilesEndingIn(".torrent") + FilesEndingIn(".rss"), 0);
    EXPECT_TRUE(chooser->requests.empty());
    for (const char* name : {"x.torrent", "framed.opml", "framed.rss", "framed.zip", "hopped.torrent",
                             "refreshed.zip", "scripted.opml", "chosen.zip"})
        EXPECT_EQ(FilesNamed(name), 0) << name;
}

// A document the program does not open, clicked: the user says where it
// goes, under the server's name in the download folder at first; Cancel
// writes nothing. A clicked link that redirects still opens its document.
TEST_F(PaneDownloadTest, AClickedDownloadIsSavedWhereTheUserSays)
{
    const std::string archive(50000, 'z');
    m_server.serve("/get/pack", Attachment("application/zip", "pack.zip", archive));
    const std::string outline = "<?xml version=\"1.0\"?><opml version=\"1.0\"><body/></opml>";
    m_server.redirect("/go", "/files/list.opml");
    m_server.serveContent("/files/list.opml", outline, "application/octet-stream");
    auto chooser = std::make_shared<ScriptedChooser>();
    ui::CFileChooser::Install(chooser);
    ShowFrame();
    ObserveOpenings();

    // Cancelled: nothing written anywhere.
    ClickLinkTo("/get/pack");
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return chooser->requests.size() == 1; }, 20000));
    EXPECT_TRUE(chooser->requests[0].save);
    EXPECT_EQ(std::string(chooser->requests[0].defaultName.c_str()), "pack.zip");
    EXPECT_EQ(fs::path(chooser->requests[0].defaultDir.c_str()), fs::path(m_home.path()));

    // Saved where the dialog says, and told in the status bar, where the
    // text stays as the pointer goes on over the link and off the pane.
    const std::string chosen = m_home.file("kept/archive.zip");
    fs::create_directories(fs::path(chosen).parent_path());
    chooser->answer = chosen;
    chooser->overPointer = true;
    ClickLinkTo("/get/pack");
    ASSERT_TRUE(
        guitest::RunEventsUntil([&] { return testsupport::ReadFileBytes(chosen) == archive; }, 20000));
    EXPECT_EQ(StatusText(), "Saved " + chosen);
    wxWebView& view = *m_frame->GetBrowser();
    const wxPoint offThePane = m_frame->GetTreeView()->GetScreenRect().GetPosition() + wxPoint(20, 20);
    wxUIActionSimulator mouse;
    mouse.MouseMove(offThePane);
    guitest::RunEventsFor(300);
    EXPECT_EQ(StatusText(), "Saved " + chosen);
    mouse.MouseMove(view.GetScreenPosition() + wxPoint(view.GetSize().x / 3, 60));
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return StatusText() == m_server.url("/get/pack"); }))
        << StatusText();
    mouse.MouseMove(offThePane);
    guitest::RunEventsFor(300);
    EXPECT_EQ(StatusText(), "Saved " + chosen);
    chooser->overPointer = false;
    EXPECT_EQ(chooser->requests.size(), 2u);
    EXPECT_EQ(FilesNamed("pack.zip"), 0);
    EXPECT_TRUE(m_opened.empty());

    // A later download cancelled: the bar tells that, not the earlier save.
    chooser->answer.clear();
    ClickLinkTo("/get/pack");
    EXPECT_TRUE(
        guitest::RunEventsUntil([&] { return StatusText() == "Download of pack.zip cancelled"; }, 20000))
        << StatusText();

    // Cut short: the part is no file, and the status bar says so.
    HttpResponse cut = Attachment("application/zip", "broken.zip", archive);
    cut.breakAfter = 20000;
    m_server.serve("/get/broken", cut);
    const std::string broken = m_home.file("kept/broken.zip");
    chooser->answer = broken;
    ClickLinkTo("/get/broken");
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return StatusText() == "Failed to save " + broken; }, 20000))
        << StatusText();
    EXPECT_FALSE(fs::exists(broken));

    ClickLinkTo("/go");
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return m_opened.size() == 1; }, 20000));
    EXPECT_EQ(m_opened[0].first, WM_APP_OPENOPMLFILE);
    EXPECT_EQ(m_contents[0], outline);
}

// Saved over a file the user has: the file is replaced only by a complete
// download, and a broken one leaves it as it was, however the answer is
// framed (a length, chunks) or coded. An answer whose end cannot be checked
// (chunked or coded: the engine ends a cut one as if it were whole) never
// replaces the file, and is kept beside it under a free name, which a box
// names with the file kept. The download is written beside the file under
// a name of the program's, which goes in each case; the saved file gets
// the user's usual mode. A file that took the name while the download ran
// (another save's) is never replaced, and a save the engine's network
// process ends with fails, leaving no file.
TEST_F(PaneDownloadTest, ASaveOverAFileReplacesItOnlyWhenComplete)
{
    // Before the engine's processes start, which write the file.
    const mode_t userMask = ::umask(022);
    const std::string archive = Noise(100000);
    const std::string packed = Gzip(archive);
    auto answer = [&](bool coded, bool chunked, bool cut)
    {
        HttpResponse response = Attachment("application/zip", "keep.zip", coded ? packed : archive);
        if (coded)
            response.header("Content-Encoding", "gzip");
        response.chunked = chunked;
        if (cut)
            response.breakAfter = response.body.size() / 2;
        return response;
    };
    enum class Outcome
    {
        kFailed,
        kSaved,  // under the chosen name
        kBeside, // beside the file there, which stays
        kKept,   // under the name of the program's it was written under
    };
    // The folder's file system, as this process finds it.
    enum class Refuses
    {
        kNothing,
        kFlagsAndLinks, // renameat2's flags and hard links
        kMoves,         // those and plain renames
    };
    // While the answer waits halfway: another save of its name, which ends
    // first; the file there removed and made anew, under the inode number
    // it left; the engine's network process killed during the save or its
    // dialog, which is then answered with Save or Cancel.
    enum class During
    {
        kNothing,
        kAnotherSave,
        kFileMadeAnew,
        kEngineEnds,
        kEngineEndsInDialog,
        kEngineEndsInDialogThenCancel,
    };
    struct Row
    {
        const char* name;
        HttpResponse response;
        bool overFile;
        Outcome outcome;
        bool whole;
        During during = During::kNothing;
        Refuses refuses = Refuses::kNothing;
    };
    const Row rows[] = {
        {"a length, cut", answer(false, false, true), true, Outcome::kFailed, false},
        {"gzip with a length, cut at half", answer(true, false, true), true, Outcome::kBeside, false},
        {"chunks, cut", answer(false, true, true), true, Outcome::kBeside, false},
        {"gzip in chunks, cut", answer(true, true, true), true, Outcome::kBeside, false},
        {"a length, whole", answer(false, false, false), true, Outcome::kSaved, true},
        {"gzip with a length, whole", answer(true, false, false), true, Outcome::kBeside, true},
        {"chunks, whole", answer(false, true, false), true, Outcome::kBeside, true},
        {"gzip in chunks, whole", answer(true, true, false), true, Outcome::kBeside, true},
        {"gzip with a length, whole, where no file is", answer(true, false, false), false, Outcome::kSaved,
         true},
        {"chunks, whole, where no file is", answer(false, true, false), false, Outcome::kSaved, true},
        {"a length, whole, while another save takes the name", answer(false, false, false), false,
         Outcome::kBeside, true, During::kAnotherSave},
        {"a length, whole, while the file there is made anew", answer(false, false, false), true,
         Outcome::kBeside, true, During::kFileMadeAnew},
        {"the engine ends during the save", answer(false, false, false), true, Outcome::kFailed, false,
         During::kEngineEnds},
        {"the engine ends during the dialog", answer(false, false, false), false, Outcome::kFailed, false,
         During::kEngineEndsInDialog},
        {"the engine ends during the dialog, over a file", answer(false, false, false), true,
         Outcome::kFailed, false, During::kEngineEndsInDialog},
        {"the engine ends during the dialog, then Cancel", answer(false, false, false), true,
         Outcome::kFailed, false, During::kEngineEndsInDialogThenCancel},
        {"no flags nor links", answer(false, false, false), false, Outcome::kSaved, true, During::kNothing,
         Refuses::kFlagsAndLinks},
        {"no flags nor links, another save takes the name", answer(false, false, false), false,
         Outcome::kBeside, true, During::kAnotherSave, Refuses::kFlagsAndLinks},
        {"no flags nor links, a file fills the name", answer(false, false, false), false, Outcome::kBeside,
         true, During::kFileMadeAnew, Refuses::kFlagsAndLinks},
        {"no moves at all", answer(false, false, false), false, Outcome::kKept, true, During::kNothing,
         Refuses::kMoves},
    };
    // The user's download folder.
    fs::create_directories(m_home.file(".config"));
    std::ofstream(m_home.file(".config/user-dirs.dirs")) << "XDG_DOWNLOAD_DIR=\"$HOME/kept\"\n";
    const fs::path folder = m_home.file("kept");
    const std::string chosen = (folder / "keep.zip").string();
    const std::string beside = (folder / "keep (1).zip").string();
    auto chooser = std::make_shared<ScriptedChooser>();
    chooser->answer = chosen;
    ui::CFileChooser::Install(chooser);
    const std::shared_ptr<guitest::ScriptedPrompt> prompt = guitest::ScriptedPrompt::Install();
    ShowFrame();
    auto folderHolds = [&]
    {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };

    int serial = 0;
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        fs::remove_all(folder);
        fs::create_directories(folder);
        if (row.overFile)
        {
            std::ofstream(chosen, std::ios::binary) << "the user's own archive";
            fs::permissions(chosen, fs::perms::owner_read | fs::perms::owner_write);
        }
        std::optional<testsupport::RefusingFileSystem> refusing;
        if (row.refuses != Refuses::kNothing)
            refusing.emplace(folder.string(), row.refuses == Refuses::kMoves);
        const int made = ::inotify_init1(IN_NONBLOCK); // the names made in the folder
        ::inotify_add_watch(made, folder.c_str(), IN_CREATE | IN_MOVED_TO);
        prompt->shown.clear();
        const std::string path = "/get/" + std::to_string(++serial);
        std::promise<void> gate;
        HttpResponse response = row.response;
        if (row.during != During::kNothing)
        {
            response.holdAfter = response.body.size() / 2;
            response.hold = [released = gate.get_future().share()]
            { released.wait_for(std::chrono::seconds(30)); };
        }
        m_server.serve(path, response);
        auto endEngine = []
        {
            if (const int network = EngineNetworkProcess(); network != 0)
                ::kill(network, SIGKILL);
        };
        const bool inDialog =
            row.during == During::kEngineEndsInDialog || row.during == During::kEngineEndsInDialogThenCancel;
        if (inDialog)
            chooser->whileAsked = [&]
            {
                endEngine();
                // The dialog's loop runs on while the engine lets its downloads go.
                guitest::RunEventsUntil([] { return EngineNetworkProcess() == 0; }, 10000);
                guitest::RunEventsFor(1000);
            };
        chooser->answer = row.during == During::kEngineEndsInDialogThenCancel ? "" : chosen;
        const std::size_t asked = chooser->requests.size();
        m_frame->GetStatusBar()->SetStatusText(wxString());
        ClickLinkTo(path);
        if (inDialog)
        {
            ASSERT_TRUE(guitest::RunEventsUntil([&] { return chooser->requests.size() > asked; }, 20000));
            guitest::RunEventsFor(300);
        }
        if (row.during == During::kAnotherSave || row.during == During::kEngineEnds ||
            row.during == During::kFileMadeAnew)
        {
            ASSERT_TRUE(guitest::RunEventsUntil([] { return CPaneDownloads::SavesUnderWay(); }, 20000));
        }
        if (row.during == During::kFileMadeAnew && !testsupport::MakeAnewUnderItsInode(chosen, "made anew"))
            std::ofstream(chosen) << "made anew";
        if (row.during == During::kAnotherSave)
        {
            // Offered under the next free name, which the user overrides.
            m_server.serve("/get/other", Attachment("application/zip", "keep.zip", "the other download"));
            ClickLinkTo("/get/other");
            ASSERT_TRUE(guitest::RunEventsUntil([&] { return StatusText() == "Saved " + chosen; }, 20000));
            EXPECT_EQ(std::string(chooser->requests.back().defaultName.c_str()), "keep (1).zip");
            EXPECT_EQ(testsupport::ReadFileBytes(chosen), "the other download");
        }
        if (row.during == During::kEngineEnds)
            endEngine();
        gate.set_value();
        chooser->whileAsked = nullptr;
        std::string savedAs = row.outcome == Outcome::kBeside ? beside : chosen;
        const std::string told = (row.outcome == Outcome::kFailed ? "Failed to save " : "Saved ") + savedAs;
        if (row.during == During::kEngineEndsInDialogThenCancel)
        {
            EXPECT_NE(StatusText(), told) << "cancelled: nothing to tell";
        }
        else if (row.outcome == Outcome::kKept)
        {
            const std::string hidden = "Saved " + (folder / ".kestrova-save-").string();
            ASSERT_TRUE(guitest::RunEventsUntil([&] { return StatusText().rfind(hidden, 0) == 0; }, 20000))
                << StatusText();
            savedAs = StatusText().substr(std::strlen("Saved "));
        }
        else
        {
            ASSERT_TRUE(guitest::RunEventsUntil([&] { return StatusText() == told; }, 20000)) << StatusText();
        }
        std::string box = "The download was saved as " + beside + ". " + chosen + " was kept as it was: " +
                          (row.during == During::kAnotherSave || row.during == During::kFileMadeAnew
                               ? "another file took that name while the download ran."
                               : "the end of this download cannot be checked.");
        if (row.outcome == Outcome::kKept)
            box = "The download was saved as " + savedAs +
                  ": the file system there would not give it the name " + chosen + ".";
        if (row.outcome == Outcome::kBeside || row.outcome == Outcome::kKept)
        {
            ASSERT_TRUE(guitest::RunEventsUntil([&] { return !prompt->shown.empty(); }));
            EXPECT_EQ(prompt->shown[0].text, box);
        }
        else
        {
            guitest::RunEventsFor(100);
            EXPECT_TRUE(prompt->shown.empty());
        }
        if (row.overFile || row.during == During::kFileMadeAnew)
        {
            EXPECT_EQ(testsupport::ReadFileBytes(chosen), row.outcome == Outcome::kSaved ? archive
                                                          : row.during == During::kFileMadeAnew
                                                              ? "made anew"
                                                              : "the user's own archive");
        }
        std::vector<std::string> names;
        if (row.outcome == Outcome::kBeside)
            names.push_back("keep (1).zip");
        if (row.outcome == Outcome::kKept)
            names.push_back(fs::path(savedAs).filename().string());
        else if (row.overFile || row.outcome != Outcome::kFailed)
            names.push_back("keep.zip");
        EXPECT_EQ(folderHolds(), names);
        // Nothing but the save's own files, which an end at any moment would
        // leave there, and the empty file that claims the chosen name where
        // links are refused.
        alignas(inotify_event) char events[16384];
        for (ssize_t at = 0, size = ::read(made, events, sizeof events); at < size;
             at += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(events + at)->len)
        {
            const std::string name = reinterpret_cast<inotify_event*>(events + at)->name;
            EXPECT_TRUE(
                std::count(names.begin(), names.end(), name) != 0 ||
                (row.refuses != Refuses::kNothing && name == "keep.zip") ||
                panedownload::IsSaveFileName(name.substr(0, name.rfind(panedownload::kEnginePartEnding))))
                << name;
        }
        ::close(made);
        if (row.whole)
        {
            EXPECT_EQ(testsupport::ReadFileBytes(savedAs), archive);
        }
        EXPECT_EQ(PaneFiles(), 0);
        if (row.outcome != Outcome::kFailed)
        {
            EXPECT_EQ(fs::status(savedAs).permissions(), static_cast<fs::perms>(0644));
        }
    }
    ::umask(userMask);
}

namespace
{
using namespace subscription;

// A feed link clicked in the pane, into the lists of a real tree.
class PaneFeedLinkTest : public subscriptiontest::SubscriptionFrameTest
{
protected:
    // Of a type the pane cannot show, the address naming the feed; or as an
    // attachment of a type it could show, which the engine downloads itself.
    void ServeFeed(int items, bool attachment = false)
    {
        const std::string base = m_server.url("/site/");
        HttpResponse response = testsupport::TextResponse(
            200, feedsite::Rss("Pane news", base, feedsite::Items(base, "Pane story", 1, items)),
            attachment ? "application/rss+xml" : "application/octet-stream");
        if (attachment)
            response.header("Content-Disposition", "attachment; filename=\"news.rss\"");
        m_server.serve("/files/news.rss", response);
    }
    // Clicks the link and, in the list dialog, chooses the first list.
    void ClickAndChooseFirstList(const std::string& path = "/files/news.rss")
    {
        guitest::WhenDialogShownWithin<OPMLSubscribe>(30000,
                                                      [this](OPMLSubscribe& dialog)
                                                      {
                                                          ++m_listDialogs;
                                                          guitest::Press(dialog, wxID_OK);
                                                      });
        ClickLinkIn(*m_frame, m_server, path);
    }
    uString Address() const { return uString(m_server.url("/files/news.rss").c_str()); }

    testsupport::LocalHttpServer m_server;
    int m_listDialogs = 0;
};
} // namespace

TEST_F(PaneFeedLinkTest, AClickedFeedIsSubscribedByItsAddressAndRefreshesFromIt)
{
    ServeFeed(2);
    Start();
    ClickAndChooseFirstList();
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return Count("default.mdb", "item", Address()) == 2; }, 30000));
    EXPECT_EQ(m_listDialogs, 1);
    EXPECT_EQ(Count("default.mdb", "channel", Address()), 1) << "stored under its http address";
    EXPECT_EQ(Labels(Find("First", kList)), std::vector<std::string>{"Pane news (2)"});
    EXPECT_STREQ(tree->GetRecord(tree->GetFirstChildItem(Find("First", kList)))->text.c_str(),
                 Address().c_str());
    EXPECT_EQ(PaneFiles(), 0) << "nothing was written for it";

    // The feed moves on: a refresh reads the network, not a snapshot.
    ServeFeed(3);
    MakeDue("default.mdb");
    m_frame->RefreshAll();
    ASSERT_TRUE(m_frame->GetRefreshHost()->WaitIdle(60000));
    EXPECT_EQ(Count("default.mdb", "item", Address()), 3);

    // Clicked again: the list already holds it, as New Subscription says, in
    // the interface language.
    testsupport::GermanInterface german;
    ASSERT_TRUE(german.loaded);
    ServeFeed(3, /*attachment=*/true);
    ClickAndChooseFirstList();
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return !m_messages->texts.empty(); }, 30000));
    EXPECT_EQ(m_messages->texts[0], "Dieser Newsfeed ist bereits abonniert. ");
    EXPECT_EQ(m_listDialogs, 2);
    EXPECT_EQ(Count("default.mdb", "channel", Address()), 1);
    EXPECT_EQ(Labels(Find("First", kList)).size(), 1u);
    EXPECT_EQ(PaneFiles(), 0);
}

// Behind a login the pane hands the address over too: the subscription's own
// fetch asks for the login, keeps it and subscribes.
TEST_F(PaneFeedLinkTest, AFeedLinkBehindALoginAsksForItAsNewSubscriptionDoes)
{
    const std::string base = m_server.url("/site/");
    const std::string feed =
        feedsite::Rss("Private news", base, feedsite::Items(base, "Private story", 1, 2));
    m_server.route("/private/news.rss",
                   [feed](const testsupport::HttpRequest& request)
                   {
                       if (!testsupport::HasBasicAuth(request, "reader", "s3cret"))
                           return testsupport::UnauthorizedResponse();
                       return testsupport::TextResponse(200, feed, "application/rss+xml");
                   });
    Start();
    std::vector<std::string> asked;
    guitest::WhenDialogShownWithin<CPromptUserPassDlg>(
        60000,
        [&](CPromptUserPassDlg& dialog)
        {
            asked.push_back(dialog.GetTitle().utf8_string());
            wxDynamicCast(dialog.FindWindow(CPromptUserPassDlg::kUserEdit), wxTextCtrl)->SetValue("reader");
            wxDynamicCast(dialog.FindWindow(CPromptUserPassDlg::kPasswordEdit), wxTextCtrl)
                ->SetValue("s3cret");
            guitest::Press(dialog, wxID_OK);
        });
    ClickAndChooseFirstList("/private/news.rss");
    const uString address(m_server.url("/private/news.rss").c_str());
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return Count("default.mdb", "item", address) == 2; }, 60000));
    EXPECT_EQ(asked, std::vector<std::string>{m_server.url("/private/news.rss")});
    EXPECT_EQ(m_listDialogs, 1);
    EXPECT_EQ(Labels(Find("First", kList)), std::vector<std::string>{"Private news (2)"});
    EXPECT_EQ(PaneFiles(), 0);
}

// A feed or an outline the engine could show as text, followed by the user,
// goes to the program as a downloaded one does; plain XML stays shown.
TEST_F(PaneFeedLinkTest, FeedAndOutlineTypesTheEngineCouldShowGoToTheProgram)
{
    Start();
    const std::string base = m_server.url("/site/");
    struct FeedType
    {
        const char* path;
        const char* type;
    };
    const FeedType feeds[] = {{"/types/rss", "application/rss+xml"},
                              {"/types/atom", "application/atom+xml; charset=utf-8"},
                              {"/types/rdf", "application/rdf+xml"}};
    for (const FeedType& feed : feeds)
    {
        SCOPED_TRACE(feed.type);
        m_server.serveContent(feed.path, feedsite::Rss(feed.path, base, feedsite::Items(base, "Story", 1, 1)),
                              feed.type);
        const int dialogs = m_listDialogs;
        ClickAndChooseFirstList(feed.path);
        const uString address(m_server.url(feed.path).c_str());
        ASSERT_TRUE(
            guitest::RunEventsUntil([&] { return Count("default.mdb", "channel", address) == 1; }, 30000));
        EXPECT_EQ(m_listDialogs, dialogs + 1);
    }

    bool importAsked = false;
    guitest::WhenDialogShownWithin<OPMLImport>(30000,
                                               [&](OPMLImport& dialog)
                                               {
                                                   importAsked = true;
                                                   guitest::Press(dialog, wxID_CANCEL);
                                               });
    m_server.serveContent("/types/opml", "<?xml version=\"1.0\"?><opml version=\"1.0\"><body/></opml>",
                          "text/x-opml");
    ClickLinkIn(*m_frame, m_server, "/types/opml");
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return importAsked; }, 30000));

    m_server.serveContent("/types/xml", "<?xml version=\"1.0\"?><note>plain xml shown</note>", "text/xml");
    ClickLinkIn(*m_frame, m_server, "/types/xml");
    EXPECT_FALSE(guitest::WaitForPage(*m_frame->GetBrowser(), "plain xml shown").empty());
    EXPECT_EQ(m_listDialogs, 3);
    EXPECT_TRUE(guitest::RunEventsUntil([] { return PaneFiles() == 0; }, 5000));
}

// A server's name with folders in it, in each spelling a header or an
// address can give it, chooses no folder and names no file: the program and
// the engine's network process live through every one of them, a torrent is
// handed over in a file of the program's own, and anything else is offered to
// the user under its last part alone.
TEST_F(PaneDownloadTest, AServersNameWithFoldersChoosesNoFolder)
{
    const torrenttest::MadeTorrent made =
        torrenttest::MakeSingleFileTorrent("talk.mp3", "a talk", m_tracker.announceUrl(), 16384);
    struct NamedAttachment
    {
        const char* disposition; // empty: the name is the address's
        const char* addressName;
        const char* offered; // the name the save dialog offers; null for a torrent
    };
    const NamedAttachment cases[] = {
        {"attachment; filename=\"a/b.torrent\"", "get", nullptr},
        {"attachment; filename=\"../../x.torrent\"", "get", nullptr},
        {"attachment; filename*=UTF-8''a%2Fb.torrent", "get", nullptr},
        {"", "a%2Fb.torrent", nullptr},
        {"attachment; filename=\"/etc/x.zip\"", "get", "x.zip"},
        // The engine's own spelling, with no backslash left to split at.
        {"attachment; filename=\"a\\\\b.zip\"", "get", "a_b.zip"},
        {"attachment; filename=a/b.zip", "get", "b.zip"},
    };
    auto chooser = std::make_shared<ScriptedChooser>();
    ui::CFileChooser::Install(chooser);
    ShowFrame();
    ObserveOpenings();

    constexpr int kRounds = 3;
    int serial = 0;
    for (int round = 0; round < kRounds; ++round)
        for (const NamedAttachment& row : cases)
        {
            SCOPED_TRACE(row.disposition);
            const std::string path = "/named/" + std::to_string(++serial) + "/" + row.addressName;
            HttpResponse response;
            response.header("Content-Type", "application/octet-stream");
            if (*row.disposition != '\0')
                response.header("Content-Disposition", row.disposition);
            response.body = row.offered != nullptr ? std::string("PK zip") : made.bytes;
            m_server.serve(path, response);
            const std::size_t opened = m_opened.size();
            const std::size_t asked = chooser->requests.size();
            ClickLinkTo(path);
            if (row.offered == nullptr)
            {
                ASSERT_TRUE(guitest::RunEventsUntil([&] { return m_opened.size() == opened + 1; }, 20000));
                EXPECT_EQ(m_opened.back().first, WM_APP_OPENTORRENTFILE);
                EXPECT_EQ(fs::path(m_opened.back().second).parent_path(), fs::path(TempFolder()));
                EXPECT_EQ(fs::path(m_opened.back().second).filename().string().rfind("page-", 0), 0u);
                EXPECT_EQ(m_contents.back(), made.bytes);
            }
            else
            {
                ASSERT_TRUE(
                    guitest::RunEventsUntil([&] { return chooser->requests.size() == asked + 1; }, 20000));
                EXPECT_EQ(std::string(chooser->requests.back().defaultName.c_str()), row.offered);
            }
        }
    guitest::RunEventsFor(300);
    EXPECT_EQ(m_opened.size(), 4u * kRounds);
    EXPECT_EQ(chooser->requests.size(), 3u * kRounds);
    for (const char* name : {"b.torrent", "x.torrent", "x.zip", "b.zip"})
        EXPECT_EQ(FilesNamed(name), 0) << name;
    EXPECT_TRUE(guitest::RunEventsUntil([] { return PaneFiles() == 0; }, 5000));

    // After them all, a download is saved where the user says, whole.
    const std::string chosen = m_home.file("kept/archive.zip");
    fs::create_directories(fs::path(chosen).parent_path());
    chooser->answer = chosen;
    m_server.serve("/named/saved", Attachment("application/zip", "\"..x.zip\"", std::string(50000, 'z')));
    ClickLinkTo("/named/saved");
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return StatusText() == "Saved " + chosen; }, 20000))
        << StatusText();
    EXPECT_EQ(testsupport::ReadFileBytes(chosen), std::string(50000, 'z'));
    EXPECT_EQ(std::string(chooser->requests.back().defaultName.c_str()), "x.zip");
    EXPECT_EQ(PaneFiles(), 0);
}

// A page's draggable block that carries a local file's address, as a drag
// from the desktop does, dragged by the user onto the tree, the item list or
// the status bar: nothing opens. The same kind of file dragged from another
// program's window, the file manager's, opens as the desktop's file does.
TEST_F(PaneDownloadTest, AFileAPageDragsOpensNothingWhereverItIsDropped)
{
    const std::string outline = "<?xml version=\"1.0\"?><opml version=\"1.0\"><body/></opml>";
    std::ofstream(m_home.file("evil.torrent"), std::ios::binary)
        << torrenttest::MakeSingleFileTorrent("talk.mp3", "a talk", m_tracker.announceUrl(), 16384).bytes;
    std::ofstream(m_home.file("evil.opml")) << outline;
    std::ofstream(m_home.file("evil.rss")) << "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel/></rss>";
    ShowFrame();
    ObserveOpenings();
    app::AcceptDroppedDocuments(*m_frame,
                                [this](const std::string& path) { app::RouteDocument(*m_frame, path); });
    wxWebView& view = *m_frame->GetBrowser();
    auto middleOf = [](wxWindow* window)
    {
        const wxRect rect = window->GetScreenRect();
        return rect.GetPosition() + wxPoint(rect.width / 2, rect.height / 2);
    };
    struct Row
    {
        const char* file;
        const char* place;
        wxWindow* target;
    };
    const Row rows[] = {
        {"evil.torrent", "the tree", m_frame->GetTreeView()},
        {"evil.opml", "the tree", m_frame->GetTreeView()},
        {"evil.opml", "the item list", m_frame->GetItemListView()},
        {"evil.rss", "the tree", m_frame->GetTreeView()},
        {"evil.rss", "the pane's tool bar", m_frame->GetBrowserFrame()->GetChildren().front()},
    };
    int serial = 0;
    for (const Row& row : rows)
    {
        SCOPED_TRACE(std::string(row.file) + " onto " + row.place);
        const std::string address = "file://" + m_home.file(row.file);
        const std::string path = "/drag/" + std::to_string(++serial);
        m_server.serveContent(path,
                              "<html><body style='margin:0'><div id=d draggable=true "
                              "style='height:200px;background:#edc'>drag me</div><script>"
                              "d.ondragstart=e=>{e.dataTransfer.setData('text/uri-list','" +
                                  address +
                                  "');fetch('/drag/started')};d.ondragend=()=>fetch('/drag/ended')"
                                  "</script></body></html>",
                              "text/html");
        m_server.clearLog();
        m_frame->GetBrowserFrame()->Navigate(uString(m_server.url(path).c_str()));
        ASSERT_FALSE(guitest::WaitForPage(view, "drag me").empty());
        ASSERT_TRUE(guitest::RunEventsUntil([&] { return !view.IsBusy(); }, 15000));
        guitest::DragAndDrop(view.GetScreenPosition() + wxPoint(view.GetSize().x / 2, 100),
                             middleOf(row.target),
                             [&] { return !m_server.requestsFor("/drag/started").empty(); });
        ASSERT_TRUE(WaitForRequests({"/drag/started", "/drag/ended"}));
        guitest::RunEventsFor(300);
        EXPECT_TRUE(m_opened.empty()) << m_opened.front().second;
        m_opened.clear();
    }

    testsupport::ChildProcess source({KESTROVA_FILE_DRAG_SOURCE, m_home.file("evil.opml"), "1060", "60"},
                                     m_home.file("drag-source.log"));
    ASSERT_EQ(source.waitForOutput("drag source", 20000), " shown") << source.log();
    guitest::DragAndDrop(wxPoint(1160, 160), middleOf(m_frame->GetTreeView()), [] { return true; });
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return !m_opened.empty(); }, 10000)) << source.log();
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(m_opened[0].first, WM_APP_OPENOPMLFILE);
    EXPECT_EQ(m_opened[0].second, m_home.file("evil.opml"));
    EXPECT_EQ(m_contents[0], outline);
}
