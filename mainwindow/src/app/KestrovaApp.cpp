#include "mainwindow/KestrovaApp.h"

#include "CommandIds.h"
#include "ado/Connection.h"
#include "common/MenuBuilder.h"
#include "common/MenuToolTips.h"
#include "downloads/DownloadManager.h"
#include "downloads/MediaPlayer.h"
#include "feeds/MessageBox.h"
#include "feeds/Preference.h"
#include "foundation/uChildEnvironment.h"
#include "foundation/uThread.h"
#include "foundation/uXml.h"
#include "mainwindow/AppActivation.h"
#include "mainwindow/DesktopIntegration.h"
#include "mainwindow/DocumentDrop.h"
#include "mainwindow/InstanceChannel.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/OpenDialogs.h"
#include "mainwindow/PaneDownloadRules.h"
#include "mainwindow/PaneDownloads.h"
#include "mainwindow/ProfileStore.h"
#include "mainwindow/StartupRules.h"

#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <signal.h>
#include <wx/dialog.h>
#include <wx/display.h>

namespace
{
constexpr const char* kTitle = "Kestrova";
// The size of the first start, when no rectangle is stored yet.
const wxSize kDefaultSize(1024, 700);

std::atomic<bool> g_handedOver{false};
constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};
volatile std::sig_atomic_t g_earlyStop = 0;

extern "C" void NoteEarlyStop(int)
{
    g_earlyStop = 1;
}

// The toolkit's handlers of the stop signals, which run after ours.
struct sigaction g_toolkitStop[std::size(kStopSignals)];

// A stop ends waits for a list that another program holds at once, also one
// the window's thread is in: the toolkit's handler only wakes the loop, which
// would see the stop only once the wait is over.
extern "C" void ShortenWaitsAndStop(int signal)
{
    ado::Connection::LimitBusyWaits(CMainFrame::kStopLockWaitMs);
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
    {
        if (kStopSignals[i] != signal)
            continue;
        if ((g_toolkitStop[i].sa_flags & SA_SIGINFO) == 0 && g_toolkitStop[i].sa_handler != SIG_DFL &&
            g_toolkitStop[i].sa_handler != SIG_IGN)
            g_toolkitStop[i].sa_handler(signal);
    }
}
} // namespace

void CKestrovaApp::HoldStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = NoteEarlyStop;
    sigemptyset(&action.sa_mask);
    for (int signal : kStopSignals)
        sigaction(signal, &action, nullptr);
}

CKestrovaApp::CKestrovaApp()
    : m_comInit(std::make_unique<uComInit>()), m_xmlPlatform(std::make_unique<uXmlPlatform>())
{
    CPreference::GetInstance();
}

CKestrovaApp::~CKestrovaApp()
{
    m_openDialogs.reset();
    m_instanceChannel.reset();
    m_xmlPlatform.reset();
    m_comInit.reset();
}

bool CKestrovaApp::HandedOver()
{
    return g_handedOver.load();
}

bool CKestrovaApp::OnInit()
{
    // The toolkit set the user's locale; numbers stay in the C locale.
    std::setlocale(LC_NUMERIC, "C");
    SetAppName(kTitle);
    ui::KeepToolTipsOffMenus();

    // A logout or a kill closes like File > Exit: wx runs the handler from
    // the event loop (its signal handler only writes to a wake-up pipe), also
    // from the loop of a question asked while the window is being built.
    m_openDialogs = std::make_unique<COpenDialogs>();
    // The main loop ends once the window has gone and the pane's saves are
    // done (OnMainFrameDestroyed), not with the window itself.
    SetExitOnFrameDelete(false);
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
    {
        SetSignalHandler(kStopSignals[i], &CKestrovaApp::OnStopSignal);
        struct sigaction ours = {};
        ours.sa_handler = ShortenWaitsAndStop;
        sigemptyset(&ours.sa_mask);
        ours.sa_flags = SA_RESTART;
        sigaction(kStopSignals[i], &ours, &g_toolkitStop[i]);
    }
    // One that came before: no question of the start waits, and the window
    // closes once it stands.
    if (g_earlyStop != 0)
        Stop();

    if (!CheckSingleInstance(kInstanceGuid))
        return false;
    // No other instance runs: what killed runs left behind can go.
    if (m_instanceChannel && m_instanceChannel->IsListening())
    {
        CPreference* preference = CPreference::GetInstance();
        preference->RemoveLeftoverTempFiles();
        CDownloadManager::RemoveQueueLeftover(preference->GetSubscriptionDir());
        // The playlist went to the library folder of its day: the configured
        // one (perhaps the user's own podcast folder) or the data folder's own.
        const uFile library = preference->GetLibraryDir();
        const uFile defaultLibrary = preference->GetDefaultLibraryDir();
        CM3UPlayer::RemoveSaveLeftovers(library);
        if (library.getPath() != defaultLibrary.getPath())
            CM3UPlayer::RemoveSaveLeftovers(defaultLibrary);
        panedownload::RemoveLeftoverFiles(preference->GetTempDir().getPath().c_str());
    }

    // The profile. The recent-file list has no place in any menu: not kept.
    m_profile = std::make_unique<CProfileStore>();

    // Before the command line, which may name a file of a registered type.
    RegisterShell(/*compatible=*/true, /*registerTypes=*/true);

    std::string file = ParseCommandLine();
    auto* frame = new CMainFrame(m_profile.get());
    m_mainFrame = frame;
    SetTopWindow(frame);

    PlaceMainWindow();
    frame->SetTitle(kTitle);
    app::AcceptDroppedDocuments(*frame, [this](const std::string& path) { OpenDocumentFile(path); });
    frame->Bind(wxEVT_DESTROY, &CKestrovaApp::OnMainFrameDestroyed, this);

    // Damaged settings files were set aside: say so once the window stands.
    for (const uString& message : CPreference::GetInstance()->TakeSetAsideMessages())
        CallAfter([message] { CMessageBox::Display(message); });
    // A file named on the command line is routed once the window stands.
    if (!file.empty())
        CallAfter([this, file] { OpenDocumentFile(file); });
    // A stop that came while the window was being built closes it now.
    if (m_stopRequested)
        CallAfter(&CKestrovaApp::ExitMainFrame);
    return true;
}

void CKestrovaApp::OnStopSignal(int)
{
    if (auto* app = dynamic_cast<CKestrovaApp*>(wxTheApp))
        app->Stop();
}

void CKestrovaApp::Stop()
{
    m_stopRequested = true;
    if (m_mainFrame)
    {
        ExitMainFrame();
        return;
    }
    // The window is being built under a question of the start: the question
    // ends (and no new one waits for an answer), and the start goes on and
    // closes the window once made.
    if (m_openDialogs)
        m_openDialogs->EndAll();
}

void CKestrovaApp::ExitMainFrame()
{
    // What File > Exit does: settings, tree and queue written.
    if (m_mainFrame && !m_mainFrame->IsBeingDeleted())
    {
        wxCommandEvent exit(wxEVT_MENU, ui::MenuCommandId(resources::cmd::kExit));
        m_mainFrame->GetEventHandler()->ProcessEvent(exit);
    }
}

void CKestrovaApp::OnMainFrameDestroyed(wxWindowDestroyEvent& event)
{
    event.Skip();
    if (event.GetEventObject() != m_mainFrame.get())
        return;
    constexpr int kEndStepMs = 50;
    m_endStarted = std::chrono::steady_clock::now();
    m_endTimer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { EndAfterSaves(); });
    m_endTimer.Start(kEndStepMs);
    EndAfterSaves();
}

void CKestrovaApp::EndAfterSaves()
{
    // Within the stop's 3 s, after the window's close.
    constexpr std::chrono::milliseconds kSaveGrace(1000);
    constexpr std::chrono::milliseconds kLoopGrace(1000);
    const std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
    if (!m_loopEnding)
    {
        // A download being saved gets its name when the engine reports its
        // end, which comes through the main loop: the loop runs on for it,
        // for a while. What has not ended then leaves nothing under the
        // name the user chose.
        if (CPaneDownloads::SavesUnderWay() && now - m_endStarted < kSaveGrace)
            return;
        CPaneDownloads::EndSaves();
        m_loopEnding = true;
        m_endStarted = now;
        ExitMainLoop();
        return;
    }
    // The main loop ends as soon as it runs again. A loop nested in it that
    // no stop can reach (a page's box drawn inside the view, a dialog the
    // toolkit runs by itself) would hold the process with its window gone;
    // once the window's close has saved everything, the program ends anyway.
    if (now - m_endStarted >= kLoopGrace)
        EndWithoutTheLoop();
}

void CKestrovaApp::EndWithoutTheLoop()
{
    if (m_instanceChannel)
        m_instanceChannel->Stop();
    m_profile.reset();
    RemovePreloadFolder();
    std::fflush(nullptr);
    std::_Exit(0);
}

int CKestrovaApp::OnExit()
{
    m_endTimer.Stop();
    if (m_instanceChannel)
        m_instanceChannel->Stop();
    m_profile.reset();
    return wxApp::OnExit();
}

std::string CKestrovaApp::ParseCommandLine() const
{
    // The first argument that is no switch names the file to open.
    for (int i = 1; i < argc; ++i)
    {
        std::string argument = argv[i].utf8_string();
        if (argument.empty() || argument[0] == '-')
            continue;
        std::error_code error;
        std::filesystem::path absolute = std::filesystem::absolute(argument, error);
        return error ? argument : absolute.string();
    }
    return {};
}

bool CKestrovaApp::CheckSingleInstance(const char* guid)
{
    if (guid == nullptr)
        return true;
    m_instanceChannel = std::make_unique<CInstanceChannel>();
    CInstanceChannel::Role role =
        m_instanceChannel->Start(guid, ParseCommandLine(),
                                 [this](std::string path)
                                 {
                                     // On the channel's thread: the request is handled on this one.
                                     CallAfter([this, path] { ActivateFirstInstance(path); });
                                 });
    if (role == CInstanceChannel::Role::kSecond)
    {
        g_handedOver = true;
        return false;
    }
    return true;
}

void CKestrovaApp::ActivateFirstInstance(const std::string& path)
{
    if (m_mainFrame)
        app::ActivateFirstInstance(*m_mainFrame, path);
}

bool CKestrovaApp::OpenDocumentFile(const std::string& path)
{
    return m_mainFrame && app::RouteDocument(*m_mainFrame, path);
}

void CKestrovaApp::RegisterShell(bool, bool registerTypes)
{
    // The document type is the outline file; the frame registers the others
    // with the entry itself once it knows whether the torrent engine loaded.
    desktop::CDesktopIntegration desktop(desktop::Folders::FromEnvironment(),
                                         desktop::CDesktopIntegration::RunningProgramPath());
    if (registerTypes)
        desktop.RegisterDocumentType();
    else
        desktop.Unregister();
}

void CKestrovaApp::PlaceMainWindow()
{
    CMainFrame* frame = m_mainFrame.get();
    CPreference* preference = CPreference::GetInstance();
    int left = 0, top = 0, width = 0, height = 0;
    preference->GetWindowRect(left, top, width, height);
    startup::Placement placement =
        startup::PlacementFor(width, height, preference->GetGeneralSection().nStartupMode);
    if (placement.useStoredRect)
    {
        frame->PlaceAt(wxRect(left, top, width, height));
    }
    else
    {
        wxRect area = wxDisplay(static_cast<unsigned>(0)).GetClientArea();
        frame->SetSize(wxSize(std::min(kDefaultSize.x, area.width), std::min(kDefaultSize.y, area.height)));
        frame->Centre();
    }
    frame->Show();
    if (placement.minimised)
    {
        // Minimised at start: into the notification area when there is one.
        frame->Iconize(true);
        frame->OnMinimised();
    }
}
