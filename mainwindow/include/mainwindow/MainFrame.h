#pragma once

#include "foundation/uFile.h"
#include "foundation/uMessage.h"
#include "foundation/uString.h"
#include "mainwindow/MainToolBar.h"
#include "mainwindow/TreeViewEx.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <wx/frame.h>
#include <wx/timer.h>

class CDownloadManager;
class CTransferItem;
class CTransferRowData;
struct CItemRecord;
class CItemReader;
class CKestrovaView;
class CLanguageSelector;
class CWebBrowserFrame;
class CFeedStore;
class CPreference;
class CPreferenceEnvironment;
class CProfileStore;
class CRefreshHost;
class CSearchWorker;
class CTaskbarNotifier;
class CTrayIcon;
class CUiCredentialPrompt;
class CUiMessageBox;
class CUiThreadCaller;
class XStatusBar;
class wxComboBox;
class wxImageList;
class wxMenu;
class wxMenuEvent;
class wxSplitterWindow;
class wxToolBar;
class wxWebView;
struct CFeedSearchCriteria;
namespace ui
{
class CWindowMessageEvent;
}
namespace opml
{
struct Node;
} // namespace opml
namespace feeds
{
struct ImportedFeed;
} // namespace feeds

/// A private message as the frame's handlers see it (common/Messages.h).
struct CFrameMessage
{
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    /// The text the message carries (a posted status text, a path): the
    /// message's own copy; null when it has none.
    const uString* text = nullptr;
};

/// The program's single top-level window: the subscription tree on the left,
/// the item list above the browser pane on the right, two tool bars on one
/// row, the status bar, the two timers, the download manager and the refresh
/// host that drives the feed updates. Its private messages arrive through
/// the window-message layer (workers post to GetWindowHandle()) or as
/// ui::CWindowMessageEvent, and are dispatched by number in WindowProc.
///
/// Everything here runs on the user-interface thread unless a comment says
/// otherwise.
class CMainFrame : public wxFrame
{
public:
    struct Options
    {
        /// Load the BitTorrent engine plug-in from the program folder.
        bool loadTorrentEngine = true;
        /// How long the close waits for the refresh worker and its tasks.
        std::uint32_t closeWaitMs = 60000;
    };

    /// The longest a statement waits for a list someone else holds once the
    /// program is stopping.
    static constexpr int kStopLockWaitMs = 1000;
    static constexpr int kRefreshTimer = 1;
    static constexpr int kSchedulerTimer = 2;
    /// The images of bitmap 131 come first in the image list; site icons follow.
    static constexpr int kTreeImageCount = 20;
    /// CollectLists modes: the lists' database file names, or their labels.
    static constexpr int kCollectDatabases = 0;
    static constexpr int kCollectLabels = 1;

    /// Builds the whole window (hidden): panes, services, bars and timers.
    /// profile may be null (no language choice is kept then).
    explicit CMainFrame(CProfileStore* profile = nullptr);
    CMainFrame(CProfileStore* profile, Options options);
    /// Releases the tray icon, the download manager (which writes
    /// download.xml), the refresh host and then the configuration (auth.xml,
    /// config.xml), in this order.
    ~CMainFrame() override;

    // Private messages.
    /// The handle workers post to; 0 once the window has closed.
    uWindowHandle GetWindowHandle() const;
    /// Runs the message's handler now, as a sent message; its result.
    long SendMessage(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    long SendMessage(std::uint32_t message, std::uintptr_t wParam, const uString& text);
    /// Dispatches by number; 0 for a message without a handler.
    long WindowProc(const CFrameMessage& message);
    /// Sees every message before its handler runs (diagnostics and tests).
    void SetMessageObserver(std::function<void(const CFrameMessage&)> observer);

    // Refresh cycle.
    /// Refresh All: starts the refresh worker over the subscription lists when
    /// none runs; every call after the first that found the worker idle
    /// writes the download queue file.
    void RefreshAll();
    /// Download Now: starts the download starter unless it is busy.
    void DownloadNow();
    void OnTimer(int timerId);
    bool CanRefreshNow() const;
    bool CanDownloadNow() const;
    /// Milliseconds timer 1 runs at; the current timer ids (0: not armed).
    int GetRefreshInterval() const { return m_refreshInterval; }
    int GetTimerId(int timerId) const { return timerId == kRefreshTimer ? m_timer1Id : m_timer2Id; }
    const wxTimer& GetTimer(int timerId) const { return timerId == kRefreshTimer ? m_timer1 : m_timer2; }

    /// Adds a site icon to the image list once; true when it was added now.
    bool AddIcon(const uString& iconFile);
    /// The image index of a site icon added before, by its file name; -1 when none.
    int GetIconIndex(const uString& iconFile) const;

    /// What minimising and restoring the window do: hide it into the
    /// notification area once that holds the icon (without one it stays
    /// minimised), and come back from there with a Refresh All.
    void OnMinimised();
    void OnRestored();
    /// A close is on its way (a stop signal): the refresh stops now, and the
    /// relabelling its workers asked for before the close is skipped, so that
    /// the close does not wait behind it.
    void PrepareToClose();
    /// True while the window has not begun to close; for what goes on after
    /// the browser pane answers, which a page's box may hold back past a stop.
    std::function<bool()> StillOpen() const;
    bool IsHiddenInTray() const { return m_hiddenInTray; }

    /// The subscription lists of the tree, in tree order: database file names
    /// or labels.
    std::vector<uString> CollectLists(int mode);
    /// Until the subscription tree is built, where CollectLists takes the
    /// lists from.
    using ListCollector = std::function<std::vector<uString>(int mode)>;
    void SetListCollector(ListCollector collector) { m_listCollector = std::move(collector); }
    const std::vector<uString>& GetSubscriptionLists() const { return m_subscriptionLists; }

    // Panes, bars and services.
    CTreeViewEx* GetTreeView() const { return m_treeView; }
    CKestrovaView* GetItemListView() const { return m_itemListView; }
    CWebBrowserFrame* GetBrowserFrame() const { return m_browserFrame; }
    wxWebView* GetBrowser() const { return m_browser; }
    wxSplitterWindow* GetOuterSplitter() const { return m_outerSplitter; }
    wxSplitterWindow* GetInnerSplitter() const { return m_innerSplitter; }
    wxToolBar* GetMainToolBar() const { return m_mainToolBar; }
    CMainToolBar* GetSearchToolBar() const { return m_searchToolBar; }
    wxComboBox* GetSearchCombo() const { return m_searchCombo; }
    wxComboBox* GetListCombo() const { return m_listCombo; }
    XStatusBar* GetStatusBarEx() const { return m_statusBar; }
    wxImageList* GetImageList() const { return m_imageList.get(); }
    CTrayIcon* GetTrayIcon() const { return m_trayIcon.get(); }
    CTaskbarNotifier* GetNotifier() const { return m_notifier; }
    CDownloadManager* GetDownloadManager() const { return m_downloadManager.get(); }
    const std::shared_ptr<CRefreshHost>& GetRefreshHost() const { return m_refreshHost; }
    const uFile& GetSubscriptionTreeFile() const { return m_subscriptionTreeFile; }
    /// The last rectangle the window had while neither minimised nor
    /// maximised: what the close stores. Position of the window manager's
    /// frame, size of the window inside it.
    wxRect GetNormalRect() const { return m_normalRect; }
    /// Places the window at a rectangle of the kind GetNormalRect gives.
    void PlaceAt(const wxRect& rect);

    /// Shows a text in the status bar's message pane.
    void ShowStatusText(const wxString& text);
    /// The tool bars' and menus' fly-by help: the prompt while the pointer is
    /// on a tool or entry; once it left, a text set meanwhile stays, else the
    /// text the prompt covered comes back, and "Ready" where there was none.
    void DoGiveHelp(const wxString& help, bool show) override;

    // The subscription tree (MainFrameTreeFile.cpp, MainFrameTree.cpp,
    // MainFrameFeeds.cpp, MainFrameLists.cpp).
    /// FindTreeItem modes: compare the record's value, or the label.
    static constexpr int kFindByValue = 0;
    static constexpr int kFindByLabel = 1;
    /// The first item of that kind whose value or label equals the text
    /// (ignoring case), searching the start item, its descendants, then the
    /// items after it at its level and theirs.
    wxTreeItemId FindTreeItem(const uString& text, const wxTreeItemId& start, int mode, uint16_t kind) const;
    /// Fetches the feed and stores it in the list; a feed with items gets
    /// its tree item (or, when the list has it already, that one is shown).
    /// Only http, https and ftp addresses are fetched ("feed:" ones as
    /// http); a "file://" address is read from disk when localFile says it
    /// names a feed file the user opened (or a list holds it already). False
    /// when the address was refused or the fetch failed (the user was told
    /// why).
    bool AddSubscription(const wxTreeItemId& list, const uString& url, const uString& title, bool autoArchive,
                         bool autoDownload, bool localFile = false);
    /// The feed's label: its stored title with its current unread count from
    /// the list database.
    void RefreshFeedLabel(const uString& database, const wxTreeItemId& feed);
    /// RefreshFeedLabel for every feed of an open list; false when not handled.
    bool RefreshListLabels(const wxTreeItemId& list);
    /// Puts a list's feeds under it, with counts and site icons.
    bool LoadListFeeds(const wxTreeItemId& list);
    void NewChannel();
    void NewFolder();
    /// Checks the request, searches the list it names (by label) and shows
    /// the results; false, with the message shown, otherwise.
    bool SearchDatabases(const CFeedSearchCriteria& request);
    /// Adds the matches of the list named by the request (mode: by value or
    /// by label) to the store's items; true when the list exists and matched.
    bool SearchList(CFeedStore& store, const CFeedSearchCriteria& request, int mode);
    /// The feed item whose items the item list shows; none when it shows none.
    wxTreeItemId GetCurrentChannelItem() const { return m_currentChannelItem; }
    void SetCurrentChannelItem(const wxTreeItemId& item) { m_currentChannelItem = item; }

    // Outline files, saving what is shown, subscribing to addresses and the
    // feed directory (mainwindow/src/opml/).
    void OnFileImport();
    /// Offers the file's feeds and imports the chosen ones into the list the
    /// user picks, whatever group of the file they stood in.
    void ImportOpmlFile(const uString& path);
    void OnFileExport();
    void ExportListAsOpml(const uString& database, const uString& label);
    bool SaveBranchAsOpml(const wxTreeItemId& item, const uString& path);
    void OnFileSave();
    /// Save once the browser pane has given the page's source.
    void SaveShown(const uString& source);
    bool SaveItemsAsRss(const uString& path);
    void SubscribeFeedsOfPage(const uString& url, const uString& text);
    /// A feed address (a feed link clicked in the browser pane): the list
    /// dialog, then the subscription as New Subscription makes it.
    bool SubscribeIntoChosenList(const uString& url);
    void OnBrowseDirectory();
    void OnLookForFeeds();

    // Searches and news watches (search/MainFrameSearch.cpp).
    /// Find (32792): the search dialog, then its search.
    void OnFind();
    /// "Find" on the search bar (32793): one search with the bar's request.
    void OnFindInBar();
    bool HasSearchText() const;
    /// Searches every list for the watch's keywords on the search worker;
    /// when the results arrive, shows the matches if there are any and sets
    /// the count. False when the item is no watch with keywords.
    bool RefreshWatch(const wxTreeItemId& watch);
    /// The watch's label with the number of its unread matches (counted on
    /// the search worker).
    void UpdateWatchCount(const wxTreeItemId& watch);
    /// True while a search of the worker runs or its results are not shown yet.
    bool IsSearchBusy() const;
    /// UpdateWatchCount for every watch from the start item on.
    void UpdateWatchCounts(const wxTreeItemId& start);
    /// The search bar's list box from the lists of the tree.
    void RefillListCombo();

    // Commands of no one pane (commands/FrameCommands.cpp).
    enum Pane
    {
        kPaneNone,
        kPaneTree,
        kPaneList,
        kPaneBrowser
    };
    /// The pane that holds the focus.
    int FocusedPane() const;
    /// The check mark of a command that has one; false for the others.
    bool GetCommandCheck(int command, bool& checked) const;

    // The interface language (language/MainFrameLanguage.cpp).
    const CLanguageSelector* GetLanguageSelector() const;
    wxMenu* GetLanguageMenu() const { return m_languageMenu; }

    // Enclosures and the media library (MainFrameEnclosures.cpp).
    /// Hands a .torrent file to the BitTorrent engine and keeps a copy in the
    /// torrent folder under the torrent's key; false without an engine or
    /// when the engine refuses the file (whatever the copy gives). Refused
    /// because another torrent holds its data name, it says so over `parent`
    /// (none: the frame).
    bool AddTorrentFile(const uString& path, wxWindow* parent = nullptr);
    /// Fetches the address into the temp folder under the MD5 of the address
    /// (time-out in seconds, 0: none); the fetch's result.
    bool DownloadToTemp(const uString& address, uFile& file, int timeout);

private:
    long OnOpenOpmlFile(const CFrameMessage& message);
    long OnOpenRssFile(const CFrameMessage& message);
    long OnSubscribeUrl(const CFrameMessage& message);
    long OnViewSource(const CFrameMessage& message);
    bool SubscribeUrl(const uString& url, int hops);
    /// Stores the feeds in the list on a worker behind a progress dialog
    /// that can cancel it: whole, or (cancelled, failed) not at all.
    void ImportIntoList(const wxTreeItemId& list, const std::vector<feeds::ImportedFeed>& feeds);
    opml::Node BranchNode(const wxTreeItemId& item);

    class DownloadHost;
    struct MessageEntry
    {
        std::uint32_t message;
        long (CMainFrame::*handler)(const CFrameMessage&);
    };
    struct CommandEntry
    {
        int command;
        void (CMainFrame::*handler)();
        bool (CMainFrame::*enabled)() const; // null: always enabled
        // With the focus in the browser's page the engine decides at the
        // command: `enabled` shows its last answer, which may lag behind.
        bool pageDecides = false;
    };
    static const MessageEntry kMessageMap[];
    static const CommandEntry kCommandMap[];

    // Creation, in order (MainFrame.cpp).
    void Construct();
    bool OnCreateClient();
    bool OnCreate();
    void CreateToolBars();
    void LayoutBars();
    wxToolBar* CreateToolBar(int toolBarId);
    void CreateDownloadManager();
    void RemoveMenuEntry(int popupIndex, int command);

    // Start-up and close steps that other parts of the window fill in
    // (MainFrameSteps.cpp).
    void ChooseLanguage();
    void LoadTree();
    void CreateListColumns();
    void RegisterFileTypes();
    void InstallLanguageMenu();
    void FillLanguageMenu();
    void OnMenuOpenEvent(wxMenuEvent& event);
    void OnUpdateLanguage(wxUpdateUIEvent& event);
    bool OnLanguageCommand(int command);
    void RebuildMenuBar();
    void ReadBarTexts(const wxString& previousIdleText);
    // "Ready", in the interface language now current.
    static wxString IdleText();
    void CheckForUpdate();
    void StartVersionCheck(const uString& url);
    long OnVersionChecked(const CFrameMessage& message);
    void SetUpNotifier();
    void ShowNotifier(const uString& titles);
    void WriteTree();
    // After a change to the tree: writes the tree file once the change is
    // complete (the turn of the event loop is over), when the part the file
    // keeps differs from what was written last.
    void ScheduleTreeWrite();
    void WriteTreeIfChanged();
    void FreeTreeItemData();
    void FreeListRows();
    void FillItemList(CFeedStore& store);
    void UpdateRunAtLogon(bool startAtLogon);

    // Layout and window events.
    void OnSizeEvent(wxSizeEvent& event);
    void OnMoveEvent(wxMoveEvent& event);
    void OnIconizeEvent(wxIconizeEvent& event);
    void OnTrayIconEmbedding(bool embedded);
    void HideInTray();
    void SetHiddenInTray(bool hidden);
    void OnMaximizeEvent(wxMaximizeEvent& event);
    void OnCloseWindow(wxCloseEvent& event);
    void LayoutPanes();
    void TrackNormalRect();
    wxSize FrameExtents() const;
    wxRect RectInsideFrame() const;
    // False (and the toolkit's idea of it) while the window is not on the screen.
    bool RectOnScreen(wxRect& rect) const;
    void DetachImageList();

    // Messages and commands (MainFrameMessages.cpp).
    void OnWindowMessage(ui::CWindowMessageEvent& event);
    void OnMenuCommand(wxCommandEvent& event);
    void OnUpdateCommand(wxUpdateUIEvent& event);
    const CommandEntry* FindCommand(int command) const;
    bool IsOwnCommand(int command) const;
    void OnAppAbout();
    void OnAppExit();
    void OnTrayRestore();
    long OnRestoreWindow(const CFrameMessage& message);
    void OnDownloadManager(); // MainFrameDownloadPanel.cpp
    // The BitTorrent manager panel (MainFrameTorrentPanel.cpp).
    void OnTorrentManager();
    bool HasTorrentEngine() const;
    void ShowTorrentManager(wxWindow* parent);
    void AddTorrentInteractive(wxWindow* panel);
    // The Preferences (preferences/MainFramePreferences.cpp).
    void OnPreferences();
    long OnShowPreferences(const CFrameMessage& message);
    void ShowPreferences(int startPage);

    // The subscription tree: file, messages and commands.
    void ConnectTreeView();
    void ReadTreeNode(const subscription::TreeNode& node, const wxTreeItemId& parent);
    void RescueLists(const wxTreeItemId& item);
    void ClearShownChannel();
    bool GetFeedList(const wxTreeItemId& feed, uString& database) const;
    uString ListDatabaseFile(const uString& database) const;
    /// Whether another list item than this one names its database file.
    bool IsListDatabaseShared(const wxTreeItemId& list) const;
    uString CreateList(const wxTreeItemId& target);
    long OnFeedUpdated(const CFrameMessage& message);
    long OnTreeLabelEdited(const CFrameMessage& message);
    long OnNewChannelMessage(const CFrameMessage& message);
    long OnNewFolderMessage(const CFrameMessage& message);
    long OnAddSubscription(const CFrameMessage& message);
    long OnFeedProperties(const CFrameMessage& message);
    long OnWatchProperties(const CFrameMessage& message);
    long OnUnsubscribe(const CFrameMessage& message);
    long OnMarkAllRead(const CFrameMessage& message);
    long OnRemoveOutdated(const CFrameMessage& message);
    long OnMoveFeed(const CFrameMessage& message);
    long OnTreeExpanding(const CFrameMessage& message);
    long OnOpenList(const CFrameMessage& message);
    long OnNewList(const CFrameMessage& message);
    long OnRemoveList(const CFrameMessage& message);

    // Reading: the item list, the browser pane and what the tree's selection
    // shows (MainFrameReading.cpp).
    void CreateReadingPanes();
    void StartBrowser();
    long OnShowSelectedItem(const CFrameMessage& message);
    long OnShowNextItem(const CFrameMessage& message);
    long OnOpenItem(const CFrameMessage& message);
    long OnTreeSelChanged(const CFrameMessage& message);
    long OnTreeItemPage(const CFrameMessage& message);
    void ShowTreeSelection();
    void ShowTreeItemPage();
    void ShowChannel(const wxTreeItemId& feed, CFeedStore& store, const uString& url);
    void SelectTreeItemQuietly(const wxTreeItemId& item);
    void UpdateFrameTitle(const wxTreeItemId& item);
    void FollowRelabelledFeed(const wxTreeItemId& feed);
    void OnNewSubscription();
    void OnEditDelete();
    void OnFileNewList();
    void OnRemoveAllOutdated();

    // Searches (search/MainFrameSearch.cpp).
    long OnSearchMessage(const CFrameMessage& message);
    long OnNewWatch(const CFrameMessage& message);
    long OnRefreshWatch(const CFrameMessage& message);
    void SetWatchCount(const wxTreeItemId& watch, int unread);
    bool IsLiveWatch(const wxTreeItemId& watch, const uString& keywords) const;

    // Commands of no one pane (commands/FrameCommands.cpp).
    bool IsFocusInBrowserFrame() const;
    // In the browser frame, on its page rather than its address box.
    bool IsFocusInPage() const;
    // The focus is in the browser frame, and its target takes the command
    // (the page's engine decides by itself).
    bool MayEditInBrowserFrame(bool (CWebBrowserFrame::*can)() const) const;
    bool IsFocusInSearchBar() const;
    bool CanEditCut() const;
    bool CanEditCopy() const;
    bool CanEditPaste() const;
    void OnEditCut();
    void OnEditCopy();
    void OnEditPaste();
    void OnFilePrint();
    void OnHelpFaq();
    bool HasCentralPage() const;
    void OnBrowseCentral();
    void OnViewBrowserBar();
    void OnViewToolbar();
    void OnViewStatusBar();
    void OnFocusTree();
    void OnFocusList();
    void OnFocusAddress();
    void OnFocusBrowser();
    void OnNextPane();
    void OnPreviousPane();
    long OnCompactList(const CFrameMessage& message);

    // Enclosures and the media library (MainFrameEnclosures.cpp).
    long OnDownloadNow(const CFrameMessage& message);
    long OnDownloadLater(const CFrameMessage& message);
    long OnArchiveItem(const CFrameMessage& message);
    long OnDeleteItem(const CFrameMessage& message);
    long OnOpenTorrentFile(const CFrameMessage& message);
    long OnAddTorrent(const CFrameMessage& message);
    void OnPlayPodcasts();
    void OnOpenUrl();
    void OnExploreLibrary();
    void OnExploreMusic();
    void OnExploreMovie();
    void ExploreFolder(const uFile& folder);
    uString ChooseTorrentFile(wxWindow* parent);
    void DownloadListItem(int row, bool now);
    void DeleteListItem(const CTransferRowData& row);
    bool MakeTransferRecord(const CTransferRowData& row, CItemRecord& item, CTransferItem& record);

    // Refresh cycle (RefreshCycle.cpp).
    long OnNotifyNewItems(const CFrameMessage& message);
    long OnStatusText(const CFrameMessage& message);
    long OnSetStatus(const CFrameMessage& message);
    long OnUpdateDone(const CFrameMessage& message);
    long OnSettingsChanged(const CFrameMessage& message);
    void StartRefreshTimer();
    void ArmSchedulerTimer();
    // Timer arming that may be asked for on any thread ends up here.
    void ArmTimer(int timerId, std::uint64_t milliseconds);
    void KillTimerById(int timerId);
    void OnTimerEvent(wxTimerEvent& event);

    Options m_options;
    CProfileStore* m_profile;
    std::shared_ptr<CLanguageSelector> m_languageSelector;
    wxMenu* m_languageMenu = nullptr;
    bool m_languageEventsBound = false;
    CPreference* m_preference = nullptr;

    // Panes.
    wxSplitterWindow* m_outerSplitter = nullptr;
    wxSplitterWindow* m_innerSplitter = nullptr;
    bool m_splittersReady = false;
    CTreeViewEx* m_treeView = nullptr;
    CKestrovaView* m_itemListView = nullptr;
    CWebBrowserFrame* m_browserFrame = nullptr;
    wxWebView* m_browser = nullptr;

    // Bars.
    XStatusBar* m_statusBar = nullptr;
    wxToolBar* m_mainToolBar = nullptr;
    CMainToolBar* m_searchToolBar = nullptr;
    wxComboBox* m_searchCombo = nullptr;
    wxComboBox* m_listCombo = nullptr;
    CTaskbarNotifier* m_notifier = nullptr; // a child window: wx deletes it

    // Timers.
    wxTimer m_timer1;
    wxTimer m_timer2;
    int m_timer1Id = 0;
    int m_timer2Id = 0;
    int m_refreshInterval = 0;

    uFile m_subscriptionTreeFile;
    std::vector<subscription::TreeNode> m_writtenTree; // as the tree file was last written or read
    bool m_treeWriteScheduled = false;
    bool m_listChannelShown = false; // the item list shows a channel's items
    bool m_selectingQuietly = false; // the frame moves the tree selection itself
    bool m_firstRefresh = false;
    bool m_closeComing = false; // PrepareToClose was called
    // Expires when the window begins to close: a command that goes on when
    // the browser pane answers (StillOpen) asks it first.
    std::shared_ptr<char> m_open = std::make_shared<char>();
    bool m_hiddenInTray = false;
    bool m_trayPending = false; // minimised with the icon shown: hidden once the area takes it
    wxRect m_normalRect;
    std::vector<uString> m_subscriptionLists;
    ListCollector m_listCollector;
    wxTreeItemId m_currentChannelItem;
    uString m_statusMemory;                  // the last text WM_APP_SETSTATUS showed
    wxString m_textUnderHover;               // the text a link's address covers
    std::optional<wxString> m_textUnderHelp; // set while a prompt shows; empty for the idle text
    wxString m_helpShown;                    // the prompt, to tell a text set since

    std::unique_ptr<CItemReader> m_reader; // works on the item list and the browser pane
    std::unique_ptr<wxImageList> m_imageList;
    std::map<std::string, int> m_iconMap;
    int m_nextImageIndex = kTreeImageCount;

    // Messages from workers, and work handed to this thread.
    std::shared_ptr<CUiThreadCaller> m_uiCaller;
    std::unique_ptr<uMessageWindow> m_messageWindow;
    std::function<void(const CFrameMessage&)> m_messageObserver;
    std::shared_ptr<CUiMessageBox> m_messageBox;
    std::shared_ptr<CUiCredentialPrompt> m_credentialPrompt;

    // Services, released by the destructor in this order.
    std::unique_ptr<CTrayIcon> m_trayIcon;
    std::unique_ptr<CPreferenceEnvironment> m_downloadEnvironment;
    std::unique_ptr<DownloadHost> m_downloadHost;
    std::shared_ptr<CDownloadManager> m_downloadManager;
    std::shared_ptr<CRefreshHost> m_refreshHost;
    std::unique_ptr<CSearchWorker> m_searchWorker; // stopped before the configuration goes
    unsigned m_listGeneration = 0;                 // counts the fillings of the item list
    bool m_workersIdle = true;                     // false when the close's wait ran out
};
