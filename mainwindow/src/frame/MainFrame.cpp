#include "mainwindow/MainFrame.h"

#include "CommandIds.h"
#include "FrameDownloadHost.h"
#include "StringTable.h"
#include "common/MenuBuilder.h"
#include "common/Messages.h"
#include "common/ResourceImages.h"
#include "common/ToolBarButtons.h"
#include "downloads/DownloadManager.h"
#include "downloads/PreferenceEnvironment.h"
#include "feeds/Preference.h"
#include "feeds/RefreshHost.h"
#include "mainwindow/IconFile.h"
#include "mainwindow/ItemReader.h"
#include "mainwindow/KestrovaView.h"
#include "mainwindow/SearchWorker.h"
#include "mainwindow/StartupRules.h"
#include "mainwindow/TaskbarNotifier.h"
#include "mainwindow/TrayIcon.h"
#include "mainwindow/TreeViewEx.h"
#include "mainwindow/UiPrompts.h"
#include "mainwindow/UiThreadCaller.h"
#include "mainwindow/WebBrowserFrame.h"
#include "mainwindow/WindowMessage.h"
#include "mainwindow/XStatusBar.h"

#include <wx/combobox.h>
#include <wx/imaglist.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/splitter.h>
#include <wx/toolbar.h>
#include <wx/treectrl.h>
#include <wx/webview.h>

namespace
{
constexpr const char* kTitle = "Kestrova";
constexpr const char* kTrayTip = "Kestrova\nVaviDozoze/RuvIvivod";
constexpr int kImageSize = 16;
constexpr int kReadyString = 57345;
// The size the window has before the application places it (a window
// laid out at no size makes GTK complain), and the least at which its panes
// stay usable.
const wxSize kInitialFrameSize(800, 600);
const wxSize kMinimumFrameSize(480, 360);
constexpr int kMinimumTreeWidth = 100;
constexpr int kMinimumPaneHeight = 80;

// The window-message layer's transport: queues each message as an event of
// the frame. Runs on the posting thread.
class FrameMessageTransport : public uMessageTransport
{
public:
    explicit FrameMessageTransport(wxEvtHandler* target) : m_target(target) {}
    void deliver(uWindowMessage message) override
    {
        wxQueueEvent(m_target, new ui::CWindowMessageEvent(std::move(message)));
    }

private:
    wxEvtHandler* m_target;
};

wxString FromUtf8(std::string_view text)
{
    return wxString::FromUTF8(text.data(), text.size());
}
} // namespace

CMainFrame::CMainFrame(CProfileStore* profile) : CMainFrame(profile, Options{}) {}

CMainFrame::CMainFrame(CProfileStore* profile, Options options)
    : m_options(options), m_profile(profile), m_timer1(this, kRefreshTimer), m_timer2(this, kSchedulerTimer)
{
    Construct();
    // The style of a normal, resizable top-level window. It is not created
    // maximised: the application places and shows it.
    Create(nullptr, wxID_ANY, kTitle, wxDefaultPosition, kInitialFrameSize, wxDEFAULT_FRAME_STYLE);
    // Under a window manager that reports frame extents, the toolkit's
    // deferred first show realises the frame at 2x1 pixels and lays out the
    // tool bars and panes into that, which prints toolkit warnings. Showing at
    // once lays them out at the real size; the frame is corrected for the
    // decorations when the window manager reports them.
    m_deferShow = false;
    SetMinSize(kMinimumFrameSize);
    OnCreate();
}

void CMainFrame::Construct()
{
    m_preference = CPreference::GetInstance();

    // The 20 images of bitmap 131 first; site icons are added after them.
    m_imageList = std::make_unique<wxImageList>(kImageSize, kImageSize, true, kTreeImageCount);
    wxBitmap strip = ui::LoadResourceBitmap(resources::id::kTreeImages);
    if (strip.IsOk())
    {
        for (int i = 0; i < kTreeImageCount && (i + 1) * kImageSize <= strip.GetWidth(); ++i)
            m_imageList->Add(strip.GetSubBitmap(wxRect(i * kImageSize, 0, kImageSize, kImageSize)));
    }
    m_nextImageIndex = kTreeImageCount;

    m_subscriptionTreeFile = m_preference->GetSubscriptionTreeFile();
    // The update-task semaphore belongs to the refresh host, made with the
    // download manager in OnCreateClient.
    ChooseLanguage();
}

bool CMainFrame::OnCreate()
{
    m_uiCaller = std::make_shared<CUiThreadCaller>(this);
    m_messageWindow = std::make_unique<uMessageWindow>(std::make_shared<FrameMessageTransport>(this));
    m_searchWorker = std::make_unique<CSearchWorker>(m_uiCaller);
    m_messageBox = std::make_shared<CUiMessageBox>(m_uiCaller, this);
    m_credentialPrompt = std::make_shared<CUiCredentialPrompt>(m_uiCaller, this);
    CMessageBox::Install(m_messageBox);
    CCredentialPrompt::Install(m_credentialPrompt);

    wxBitmap icon = ui::LoadResourceBitmap(resources::id::kMainIcon);
    if (icon.IsOk())
    {
        wxIcon frameIcon;
        frameIcon.CopyFromBitmap(icon);
        SetIcon(frameIcon);
    }
    SetMenuBar(ui::BuildMenuBar(resources::id::kMainMenu).release());
    InstallLanguageMenu();
    std::vector<wxAcceleratorEntry> keys =
        ui::AcceleratorsOutsideMenu(resources::id::kMainMenu, resources::id::kMainMenu);
    SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(keys.size()), keys.data()));

    Bind(ui::EVT_WINDOW_MESSAGE, &CMainFrame::OnWindowMessage, this);
    Bind(wxEVT_MENU, &CMainFrame::OnMenuCommand, this);
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateCommand, this);
    Bind(wxEVT_TIMER, &CMainFrame::OnTimerEvent, this);
    Bind(wxEVT_SIZE, &CMainFrame::OnSizeEvent, this);
    Bind(wxEVT_MOVE, &CMainFrame::OnMoveEvent, this);
    Bind(wxEVT_ICONIZE, &CMainFrame::OnIconizeEvent, this);
    Bind(wxEVT_MAXIMIZE, &CMainFrame::OnMaximizeEvent, this);
    Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnCloseWindow, this);

    if (!OnCreateClient())
        return false;

    CreateToolBars();
    m_statusBar = new XStatusBar(this);
    SetStatusBar(m_statusBar);
    ShowStatusText(IdleText());

    if (!m_subscriptionLists.empty())
    {
        // Labels go to the combo only: the list vector keeps database names.
        m_searchToolBar->FillListCombo(CollectLists(kCollectLabels));
    }
    LayoutBars();
    SetUpNotifier();

    StartRefreshTimer();
    ArmSchedulerTimer();
    return true;
}

bool CMainFrame::OnCreateClient()
{
    // The panes never shrink below a usable size: GTK complains about (and
    // mis-draws) lists and scroll bars squeezed to a few pixels.
    m_outerSplitter =
        new wxSplitterWindow(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxSP_3D | wxSP_LIVE_UPDATE);
    m_outerSplitter->SetMinimumPaneSize(kMinimumTreeWidth);
    m_treeView = new CTreeViewEx(m_outerSplitter);
    ConnectTreeView();
    m_innerSplitter = new wxSplitterWindow(m_outerSplitter, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                           wxSP_3D | wxSP_LIVE_UPDATE | wxBORDER_SIMPLE);
    m_innerSplitter->SetMinimumPaneSize(kMinimumPaneHeight);
    CreateReadingPanes();
    m_innerSplitter->SplitHorizontally(m_itemListView, m_browserFrame);
    m_outerSplitter->SplitVertically(m_treeView, m_innerSplitter);
    m_treeView->SetImageList(m_imageList.get());
    m_splittersReady = true;

    LoadTree();
    CreateListColumns();

    m_trayIcon =
        std::make_unique<CTrayIcon>(this, resources::id::kMainIcon, resources::id::kTrayMenu, kTrayTip);
    m_trayIcon->SetEmbeddingHandler([this](bool embedded) { OnTrayIconEmbedding(embedded); });
    CreateDownloadManager();
    StartBrowser();
    RegisterFileTypes();
    RefreshAll();
    CheckForUpdate();
    DownloadNow();
    if (!m_downloadManager->HasTorrentEngine())
        RemoveMenuEntry(3, resources::cmd::kTorrentManager);
    return true;
}

void CMainFrame::CreateDownloadManager()
{
    m_downloadEnvironment = std::make_unique<CPreferenceEnvironment>(*m_preference);
    m_downloadHost = std::make_unique<DownloadHost>(m_uiCaller, this);
    if (m_options.loadTorrentEngine)
        m_downloadManager = std::make_shared<CDownloadManager>(*m_downloadEnvironment, m_downloadHost.get());
    else
        m_downloadManager =
            std::make_shared<CDownloadManager>(*m_downloadEnvironment, m_downloadHost.get(), nullptr);
    m_refreshHost = CRefreshHost::Create(GetWindowHandle(), m_downloadManager,
                                         m_preference->GetDownloadSection().nMaxScanningThreads);
}

void CMainFrame::RemoveMenuEntry(int popupIndex, int command)
{
    wxMenuBar* bar = GetMenuBar();
    if (bar == nullptr || popupIndex >= static_cast<int>(bar->GetMenuCount()))
        return;
    wxMenu* popup = bar->GetMenu(popupIndex);
    if (popup->FindItem(ui::MenuCommandId(command)) != nullptr)
        popup->Destroy(ui::MenuCommandId(command));
}

wxToolBar* CMainFrame::CreateToolBar(int toolBarId)
{
    auto* bar = new wxToolBar(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                              wxTB_FLAT | wxTB_HORIZONTAL | wxTB_NODIVIDER);
    bar->SetToolBitmapSize(wxSize(kImageSize, kImageSize));
    ui::AddToolButtons(*bar, toolBarId);
    return bar;
}

void CMainFrame::CreateToolBars()
{
    m_mainToolBar = CreateToolBar(resources::id::kMainMenu);
    m_mainToolBar->Realize();
    // Sized now: GTK warns about a bar allocated before it has a size.
    m_mainToolBar->SetSize(m_mainToolBar->GetBestSize());

    // The search bar: the separators at positions 1 and 3 hold the phrase
    // combo and the list combo.
    m_searchToolBar = new CMainToolBar(this);
    m_searchToolBar->LoadToolBar(resources::id::kSearchToolBar);
    m_searchToolBar->CreateSearchCombo(1, resources::id::kSearchCombo, 150, 100);
    m_searchToolBar->CreateListCombo(3, resources::id::kListCombo, 100, 100);
    m_searchCombo = m_searchToolBar->GetSearchCombo();
    m_listCombo = m_searchToolBar->GetListCombo();
    m_searchToolBar->SetSearchHandler(
        [this](const CFeedSearchCriteria& request)
        { SendMessage(WM_APP_SEARCH, 0, reinterpret_cast<std::intptr_t>(&request)); });
    m_searchToolBar->SetListSource([this] { return CollectLists(kCollectLabels); });
    m_searchToolBar->Realize();
    m_searchToolBar->SetSize(m_searchToolBar->GetBestSize());
}

void CMainFrame::LayoutBars()
{
    // Both tool bars on the top row, the search bar right of the main one.
    auto* barRow = new wxBoxSizer(wxHORIZONTAL);
    barRow->Add(m_mainToolBar, 0, wxALIGN_CENTER_VERTICAL);
    barRow->AddSpacer(1);
    barRow->Add(m_searchToolBar, 0, wxALIGN_CENTER_VERTICAL);
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(barRow, 0, wxEXPAND);
    column->Add(m_outerSplitter, 1, wxEXPAND);
    SetSizer(column);
    LayoutPanes();
}

void CMainFrame::OnSizeEvent(wxSizeEvent&)
{
    LayoutPanes();
    TrackNormalRect();
}

void CMainFrame::OnMoveEvent(wxMoveEvent& event)
{
    TrackNormalRect();
    event.Skip();
}

void CMainFrame::LayoutPanes()
{
    Layout();
    if (!m_splittersReady)
        return;
    // Every resize puts the panes back at one quarter and three quarters.
    wxSize client = GetClientSize();
    m_outerSplitter->SetSashPosition(static_cast<int>(0.25 * client.GetWidth()));
    m_innerSplitter->SetSashPosition(static_cast<int>(0.25 * client.GetHeight()));
}

void CMainFrame::TrackNormalRect()
{
    if (!IsShown() || IsIconized() || IsMaximized())
        return;
    // Shown to the toolkit is not yet on the screen: a window coming back
    // from the tray has no place of its own until the window manager framed it.
    wxRect rect;
    if (RectOnScreen(rect))
        m_normalRect = rect;
}

void CMainFrame::OnIconizeEvent(wxIconizeEvent& event)
{
    if (event.IsIconized())
        OnMinimised();
    else if (IsShown())
        OnRestored();
    // Hiding a minimised window withdraws it, which the toolkit reports as
    // no longer minimised: that is no restore, the window is in the tray.
}

void CMainFrame::OnMaximizeEvent(wxMaximizeEvent& event)
{
    OnRestored();
    event.Skip();
}

void CMainFrame::OnMinimised()
{
    // Without a notification area the window stays minimised where the user
    // can find it; hiding it would lose it for good. So it is hidden only
    // once the area holds the icon (at once, or when it takes it).
    m_trayPending = m_trayIcon && m_trayIcon->Add();
    if (m_trayPending && m_trayIcon->IsEmbedded())
        HideInTray();
}

void CMainFrame::OnTrayIconEmbedding(bool embedded)
{
    if (embedded)
    {
        if (m_trayPending && !m_hiddenInTray)
            HideInTray();
        return;
    }
    // The notification area went away with the icon: the window comes back
    // as an ordinary minimised one.
    if (m_hiddenInTray)
    {
        SetHiddenInTray(false);
        Show();
        Iconize(true);
    }
}

void CMainFrame::HideInTray()
{
    Hide();
    SetHiddenInTray(true);
}

void CMainFrame::SetHiddenInTray(bool hidden)
{
    m_hiddenInTray = hidden;
    if (m_refreshHost)
        m_refreshHost->SetHiddenInTray(hidden);
}

void CMainFrame::OnRestored()
{
    m_trayPending = false;
    SetHiddenInTray(false);
    bool wasInTray = m_trayIcon && m_trayIcon->Remove();
    if (wasInTray)
        RefreshAll();
}

bool CMainFrame::AddIcon(const uString& iconFile)
{
    uFile file;
    file.setPath(iconFile.c_str());
    if (!file.isFile())
        return false;
    std::string name = file.getFileName();
    if (m_iconMap.count(name) != 0)
        return false;
    wxIcon icon = CIconFile(file).GetIcon(kImageSize);
    if (!icon.IsOk())
        return false;
    int index;
    if (m_imageList->GetImageCount() > m_nextImageIndex)
        index = m_imageList->Replace(m_nextImageIndex, icon) ? m_nextImageIndex : -1;
    else
        index = m_imageList->Add(icon);
    if (index != m_nextImageIndex)
    {
        // Keep the list and the next free index in step.
        while (m_imageList->GetImageCount() > m_nextImageIndex)
            m_imageList->Remove(m_imageList->GetImageCount() - 1);
        return false;
    }
    m_iconMap[name] = index;
    ++m_nextImageIndex;
    return true;
}

int CMainFrame::GetIconIndex(const uString& iconFile) const
{
    uFile file;
    file.setPath(iconFile.c_str());
    auto found = m_iconMap.find(file.getFileName());
    return found == m_iconMap.end() ? -1 : found->second;
}

void CMainFrame::SetUpNotifier()
{
    m_notifier = new CTaskbarNotifier;
    if (!m_notifier->Create(this))
        return;
    m_notifier->SetSkin(resources::id::kNotifierSkin);
    m_notifier->SetTextFont("Arial", 90, 0, CTaskbarNotifier::kUnderline);
    m_notifier->SetTextColor(wxColour(0, 0, 0), wxColour(0, 0, 200));
    wxSize skin = m_notifier->GetSize();
    m_notifier->SetTextRect(10, 40, skin.GetWidth() - 10, skin.GetHeight() - 25);
}

void CMainFrame::ShowNotifier(const uString& titles)
{
    if (m_notifier != nullptr)
        m_notifier->Show(wxString::FromUTF8(titles.c_str()), 0, 500, 3000, 500);
}

void CMainFrame::ShowStatusText(const wxString& text)
{
    if (m_statusBar != nullptr)
        m_statusBar->SetStatusText(text, 0);
}

wxString CMainFrame::IdleText()
{
    return FromUtf8(resources::FindString(kReadyString));
}

void CMainFrame::DoGiveHelp(const wxString& help, bool show)
{
    if (m_statusBar == nullptr)
        return;
    const wxString shown = m_statusBar->GetStatusText(0);
    if (show)
    {
        // The text under the first prompt; moving on to another tool or
        // entry keeps it. The idle text is read again when it comes back, so
        // that it follows a language picked meanwhile.
        if (!m_textUnderHelp)
            m_textUnderHelp = shown == IdleText() ? wxString() : shown;
        m_helpShown = help;
        ShowStatusText(help);
        return;
    }
    // A text set while the prompt showed (a refresh's progress, a message)
    // is newer than the one the prompt covered. An empty one (a link's
    // address the pane took back) gives the idle text.
    wxString text = shown == m_helpShown ? m_textUnderHelp.value_or(wxString()) : shown;
    m_textUnderHelp.reset();
    m_helpShown.clear();
    ShowStatusText(text.empty() ? IdleText() : text);
}

uWindowHandle CMainFrame::GetWindowHandle() const
{
    return m_messageWindow ? m_messageWindow->getHandle() : 0;
}
