#include "Accelerators.h"
#include "CommandIds.h"
#include "Menus.h"
#include "ToolBars.h"
#include "ado/Connection.h"
#include "common/MenuBuilder.h"
#include "common/ToplevelWindows.h"
#include "mainwindow/AboutDlg.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/OpenDialogs.h"
#include "mainwindow/TrayIcon.h"
#include "mainwindow/WindowMessage.h"

#include <algorithm>
#include <wx/weakref.h>

// The message map: each private message the frame handles, by number. A
// message without an entry is answered with 0.
const CMainFrame::MessageEntry CMainFrame::kMessageMap[] = {
    {WM_APP_NOTIFYNEWITEMS, &CMainFrame::OnNotifyNewItems},
    {WM_APP_STATUSTEXT, &CMainFrame::OnStatusText},
    {WM_APP_SETSTATUS, &CMainFrame::OnSetStatus},
    {WM_APP_UPDATEDONE, &CMainFrame::OnUpdateDone},
    {WM_APP_SETTINGSCHANGED, &CMainFrame::OnSettingsChanged},
    {WM_APP_RESTOREWINDOW, &CMainFrame::OnRestoreWindow},
    {WM_APP_VERSIONCHECKED, &CMainFrame::OnVersionChecked},
    {WM_USER_FEEDUPDATED, &CMainFrame::OnFeedUpdated},
    {WM_APP_TREELABELEDITED, &CMainFrame::OnTreeLabelEdited},
    {WM_APP_NEWCHANNEL, &CMainFrame::OnNewChannelMessage},
    {WM_APP_NEWFOLDER, &CMainFrame::OnNewFolderMessage},
    {WM_APP_ADDSUBSCRIPTION, &CMainFrame::OnAddSubscription},
    {WM_APP_FEEDPROPERTIES, &CMainFrame::OnFeedProperties},
    {WM_APP_WATCHPROPERTIES, &CMainFrame::OnWatchProperties},
    {WM_APP_UNSUBSCRIBE, &CMainFrame::OnUnsubscribe},
    {WM_APP_MARKALLREAD, &CMainFrame::OnMarkAllRead},
    {WM_APP_REMOVEOUTDATED, &CMainFrame::OnRemoveOutdated},
    {WM_APP_MOVEFEED, &CMainFrame::OnMoveFeed},
    {WM_APP_TREEEXPANDING, &CMainFrame::OnTreeExpanding},
    {WM_APP_OPENLIST, &CMainFrame::OnOpenList},
    {WM_APP_NEWLIST, &CMainFrame::OnNewList},
    {WM_APP_REMOVELIST, &CMainFrame::OnRemoveList},
    {WM_APP_SHOWSELECTEDITEM, &CMainFrame::OnShowSelectedItem},
    {WM_APP_SHOWNEXTITEM, &CMainFrame::OnShowNextItem},
    {WM_USER_OPENITEM, &CMainFrame::OnOpenItem},
    {WM_APP_TREESELCHANGED, &CMainFrame::OnTreeSelChanged},
    {WM_APP_TREEDBLCLK, &CMainFrame::OnTreeItemPage},
    {WM_APP_REFRESHFEED, &CMainFrame::OnTreeItemPage},
    {WM_APP_OPENOPMLFILE, &CMainFrame::OnOpenOpmlFile},
    {WM_APP_OPENRSSFILE, &CMainFrame::OnOpenRssFile},
    {WM_APP_SUBSCRIBEURL, &CMainFrame::OnSubscribeUrl},
    {WM_APP_VIEWSOURCE, &CMainFrame::OnViewSource},
    {WM_APP_SEARCH, &CMainFrame::OnSearchMessage},
    {WM_APP_NEWWATCH, &CMainFrame::OnNewWatch},
    {WM_APP_REFRESHWATCH, &CMainFrame::OnRefreshWatch},
    {WM_APP_COMPACTLIST, &CMainFrame::OnCompactList},
    {WM_APP_SHOWPREFERENCES, &CMainFrame::OnShowPreferences},
    {WM_APP_DOWNLOADNOW, &CMainFrame::OnDownloadNow},
    {WM_APP_DOWNLOADLATER, &CMainFrame::OnDownloadLater},
    {WM_APP_ARCHIVEITEM, &CMainFrame::OnArchiveItem},
    {WM_APP_DELETEITEM, &CMainFrame::OnDeleteItem},
    {WM_APP_OPENTORRENTFILE, &CMainFrame::OnOpenTorrentFile},
    {WM_APP_ADDTORRENT, &CMainFrame::OnAddTorrent},
};

// The commands the frame answers, with their enabling rule. Commands of the
// frame's own menu and tool bars that have no entry here are disabled.
const CMainFrame::CommandEntry CMainFrame::kCommandMap[] = {
    {resources::cmd::kRefreshNow, &CMainFrame::RefreshAll, &CMainFrame::CanRefreshNow},
    {resources::cmd::kDownloadNow, &CMainFrame::DownloadNow, &CMainFrame::CanDownloadNow},
    {resources::cmd::kAbout, &CMainFrame::OnAppAbout, nullptr},
    {resources::cmd::kExit, &CMainFrame::OnAppExit, nullptr},
    {resources::cmd::kCheckForUpdate, &CMainFrame::CheckForUpdate, nullptr},
    {resources::cmd::kRestore, &CMainFrame::OnTrayRestore, nullptr},
    {resources::cmd::kNewSubscription, &CMainFrame::OnNewSubscription, nullptr},
    {resources::cmd::kNewList, &CMainFrame::OnFileNewList, nullptr},
    {resources::cmd::kNewFolder, &CMainFrame::NewFolder, nullptr},
    {resources::cmd::kNewChannel, &CMainFrame::NewChannel, nullptr},
    {resources::cmd::kDelete, &CMainFrame::OnEditDelete, nullptr},
    {resources::cmd::kRemoveAllOutdated, &CMainFrame::OnRemoveAllOutdated, nullptr},
    {resources::cmd::kImport, &CMainFrame::OnFileImport, nullptr},
    {resources::cmd::kExport, &CMainFrame::OnFileExport, nullptr},
    {resources::cmd::kSave, &CMainFrame::OnFileSave, nullptr},
    {resources::cmd::kBrowseDirectory, &CMainFrame::OnBrowseDirectory, nullptr},
    {resources::cmd::kLookForFeeds, &CMainFrame::OnLookForFeeds, nullptr},
    {resources::cmd::kFindDialog, &CMainFrame::OnFind, nullptr},
    {resources::cmd::kFind, &CMainFrame::OnFindInBar, &CMainFrame::HasSearchText},
    {resources::cmd::kCut, &CMainFrame::OnEditCut, &CMainFrame::CanEditCut, /*pageDecides=*/true},
    {resources::cmd::kCopy, &CMainFrame::OnEditCopy, &CMainFrame::CanEditCopy, /*pageDecides=*/true},
    {resources::cmd::kPaste, &CMainFrame::OnEditPaste, &CMainFrame::CanEditPaste, /*pageDecides=*/true},
    {resources::cmd::kPrint, &CMainFrame::OnFilePrint, nullptr},
    {resources::cmd::kPrintDirect, &CMainFrame::OnFilePrint, nullptr},
    {resources::cmd::kFaq, &CMainFrame::OnHelpFaq, nullptr},
    {resources::cmd::kBrowseCentral, &CMainFrame::OnBrowseCentral, &CMainFrame::HasCentralPage},
    {resources::cmd::kViewToolbar, &CMainFrame::OnViewToolbar, nullptr},
    {resources::cmd::kViewStatusBar, &CMainFrame::OnViewStatusBar, nullptr},
    {resources::cmd::kBrowserBar, &CMainFrame::OnViewBrowserBar, nullptr},
    {resources::cmd::kFocusTree, &CMainFrame::OnFocusTree, nullptr},
    {resources::cmd::kFocusList, &CMainFrame::OnFocusList, nullptr},
    {resources::cmd::kFocusAddress, &CMainFrame::OnFocusAddress, nullptr},
    {resources::cmd::kFocusBrowser, &CMainFrame::OnFocusBrowser, nullptr},
    {resources::cmd::kNextPane, &CMainFrame::OnNextPane, nullptr},
    {resources::cmd::kPreviousPane, &CMainFrame::OnPreviousPane, nullptr},
    {resources::cmd::kDownloadManager, &CMainFrame::OnDownloadManager, nullptr},
    {resources::cmd::kTorrentManager, &CMainFrame::OnTorrentManager, &CMainFrame::HasTorrentEngine},
    {resources::cmd::kPreferences, &CMainFrame::OnPreferences, nullptr},
    {resources::cmd::kPreference, &CMainFrame::OnPreferences, nullptr},
    {resources::cmd::kPlayPodcasts, &CMainFrame::OnPlayPodcasts, nullptr},
    {resources::cmd::kOpenUrl, &CMainFrame::OnOpenUrl, nullptr},
    {resources::cmd::kLibraryFolder, &CMainFrame::OnExploreLibrary, nullptr},
    {resources::cmd::kMyMusic, &CMainFrame::OnExploreMusic, nullptr},
    {resources::cmd::kMyMovie, &CMainFrame::OnExploreMovie, nullptr},
};

long CMainFrame::WindowProc(const CFrameMessage& message)
{
    if (m_messageObserver)
        m_messageObserver(message);
    for (const MessageEntry& entry : kMessageMap)
    {
        if (entry.message == message.message)
            return (this->*entry.handler)(message);
    }
    return 0;
}

long CMainFrame::SendMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
{
    return WindowProc(CFrameMessage{message, wParam, lParam, nullptr});
}

long CMainFrame::SendMessage(std::uint32_t message, std::uintptr_t wParam, const uString& text)
{
    return WindowProc(CFrameMessage{message, wParam, 0, &text});
}

void CMainFrame::SetMessageObserver(std::function<void(const CFrameMessage&)> observer)
{
    m_messageObserver = std::move(observer);
}

void CMainFrame::OnWindowMessage(ui::CWindowMessageEvent& event)
{
    CFrameMessage message{event.Message(), event.WParam(), event.LParam(),
                          event.Text() ? &*event.Text() : nullptr};
    event.SetResult(WindowProc(message));
}

const CMainFrame::CommandEntry* CMainFrame::FindCommand(int command) const
{
    for (const CommandEntry& entry : kCommandMap)
    {
        if (entry.command == command)
            return &entry;
    }
    return nullptr;
}

bool CMainFrame::IsOwnCommand(int command) const
{
    for (const resources::MenuItem& item : resources::FindMenu(resources::id::kMainMenu))
    {
        if (item.kind == resources::MenuItemKind::Command && item.id == command)
            return true;
    }
    for (int toolBar : {resources::id::kMainMenu, resources::id::kSearchToolBar})
    {
        for (const resources::ToolButton& button : resources::FindToolBar(toolBar))
        {
            if (button.command == command)
                return true;
        }
    }
    for (const resources::Accelerator& accelerator : resources::FindAccelerators(resources::id::kMainMenu))
    {
        if (accelerator.command == command)
            return true;
    }
    return false;
}

void CMainFrame::OnMenuCommand(wxCommandEvent& event)
{
    if (OnLanguageCommand(ui::ResourceCommandId(event.GetId())))
        return;
    const CommandEntry* entry = FindCommand(ui::ResourceCommandId(event.GetId()));
    if (entry == nullptr)
    {
        event.Skip();
        return;
    }
    if (entry->enabled == nullptr || (this->*entry->enabled)() || (entry->pageDecides && IsFocusInPage()))
        (this->*entry->handler)();
}

void CMainFrame::OnUpdateCommand(wxUpdateUIEvent& event)
{
    // Update events of every child window pass here too: only the frame's
    // own commands are its business.
    int command = ui::ResourceCommandId(event.GetId());
    if (!IsOwnCommand(command))
    {
        event.Skip();
        return;
    }
    if (command == resources::cmd::kLanguage)
    {
        OnUpdateLanguage(event);
        return;
    }
    const CommandEntry* entry = FindCommand(command);
    event.Enable(entry != nullptr && (entry->enabled == nullptr || (this->*entry->enabled)()));
    bool checked = false;
    if (GetCommandCheck(command, checked))
        event.Check(checked);
}

void CMainFrame::OnAppAbout()
{
    CAboutDlg dialog(this);
    dialog.ShowModal();
}

// File > Exit, the tray's Exit and a stop signal all end the program here.
// The questions that wait end first, the innermost first, and none opens
// after: the close must not destroy the window under a dialog's loop (the
// dialogs on a handler's stack would go with it, and the code after their
// ShowModal would find the window gone), so it waits until every such loop
// has returned. The refresh stops posting now, and the close is queued behind
// what it posted before, which is not worked through.
void CMainFrame::OnAppExit()
{
    // A list another program (or a task of ours) holds keeps nothing waiting
    // for long from now on: a fetch or an import that waits for it ends, and
    // the program within its bound.
    ado::Connection::LimitBusyWaits(kStopLockWaitMs);
    wxWeakRef<CMainFrame> self(this);
    auto close = [self]
    {
        if (self && !self->IsBeingDeleted())
            self->CallAfter(
                [self]
                {
                    if (self && !self->IsBeingDeleted())
                        self->Close(true);
                });
    };
    if (COpenDialogs* open = COpenDialogs::Current())
        open->EndAll(close);
    else
        close();
    PrepareToClose();
}

void CMainFrame::OnTrayRestore()
{
    if (m_trayIcon)
        OnRestoreWindow(CFrameMessage{WM_APP_RESTOREWINDOW});
}

long CMainFrame::OnRestoreWindow(const CFrameMessage&)
{
    // Showing the window normally is a restore, wherever it was. A window
    // hidden while minimised is still minimised to the toolkit, whatever
    // IsIconized says: without this it would come back minimised.
    Iconize(false);
    Show();
    Raise();
    OnRestored();
    // A dialog waiting on the window went into the tray with it and comes
    // back over it.
    ui::PresentWindowsOver(GetHandle());
    return 0;
}
