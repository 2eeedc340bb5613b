#include "FrameDownloadHost.h"
#include "downloads/DownloadManager.h"
#include "downloads/PreferenceEnvironment.h"
#include "feeds/Preference.h"
#include "feeds/RefreshHost.h"
#include "foundation/uCurlTransfer.h"
#include "mainwindow/ItemReader.h"
#include "mainwindow/KestrovaView.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/OpenDialogs.h"
#include "mainwindow/SearchWorker.h"
#include "mainwindow/TrayIcon.h"
#include "mainwindow/TreeViewEx.h"
#include "mainwindow/UiPrompts.h"
#include "mainwindow/UiThreadCaller.h"

#include <wx/listctrl.h>
#include <wx/treectrl.h>

void CMainFrame::OnCloseWindow(wxCloseEvent&)
{
    // Never under a dialog's loop, whoever closes: the dialogs end first.
    if (COpenDialogs* open = COpenDialogs::Current(); open != nullptr && open->AnyOpen())
    {
        OnAppExit();
        return;
    }
    // A label still being edited ends as when the focus leaves it: the name
    // typed goes into the tree written below, not away with the window.
    if (m_treeView != nullptr && m_treeView->GetEditControl() != nullptr)
        m_treeView->EndEditLabel(m_treeView->GetFocusedItem(), /*discardChanges=*/false);
    // Commands still waiting for the browser pane's answer end here.
    m_open.reset();
    // The rectangle the window last had while shown normally: a window hidden
    // in the tray or minimised reports no useful one of its own.
    TrackNormalRect();
    wxRect rect = m_normalRect.IsEmpty() ? RectInsideFrame() : m_normalRect;
    m_preference->SetWindowRect(rect.x, rect.y, rect.width, rect.height);

    // The records go below: the tree must not be written again without them.
    if (m_treeView != nullptr)
        m_treeView->SetChangeHandler(nullptr);
    WriteTree();

    // Nobody will answer a dialog from now on: workers that ask are refused.
    m_credentialPrompt->Cancel();
    CCredentialPrompt::Install(nullptr);
    CMessageBox::Install(nullptr);
    // The refresh worker and its tasks: fetches aborted, then a bounded wait.
    if (m_refreshHost)
        m_workersIdle = m_refreshHost->Close(m_options.closeWaitMs);

    FreeTreeItemData();
    FreeListRows();
    m_reader.reset();
    DetachImageList();
    m_treeView = nullptr;
    m_itemListView = nullptr;
    m_browserFrame = nullptr;
    m_browser = nullptr;

    KillTimerById(kRefreshTimer);
    if (m_timer2Id != 0)
        KillTimerById(kSchedulerTimer);

    // Posts from late workers go nowhere from now on, and no more work is
    // handed to this thread.
    m_uiCaller->Detach();
    if (m_messageWindow)
        m_messageWindow->close();
    Destroy();
}

CMainFrame::~CMainFrame()
{
    // A frame destroyed without a close still lets nothing reach it.
    m_uiCaller->Detach();
    if (m_messageWindow)
        m_messageWindow->close();
    if (m_credentialPrompt)
        m_credentialPrompt->Cancel();
    if (m_refreshHost && m_workersIdle && m_refreshHost->IsRefreshRunning())
        m_workersIdle = m_refreshHost->Close(m_options.closeWaitMs);

    m_trayIcon.reset();
    // Its searches open list databases through the configuration.
    m_searchWorker.reset();
    // The panes outlive this body; the image list does not.
    DetachImageList();

    if (m_workersIdle)
    {
        // Stops and waits for the transfers, then writes download.xml.
        m_downloadManager.reset();
        m_refreshHost.reset();
        m_downloadHost.reset();
        m_downloadEnvironment.reset();
    }
    else
    {
        // A task still runs past the bound and holds the download manager:
        // leave it, and what it uses, to the process's end, but keep the
        // queue file ahead of the configuration files.
        if (m_downloadManager)
            m_downloadManager->SaveQueue();
        new std::shared_ptr<CDownloadManager>(std::move(m_downloadManager));
        new std::shared_ptr<CRefreshHost>(std::move(m_refreshHost));
        m_downloadHost.release();
        m_downloadEnvironment.release();
    }
    // Cookies that found the folder locked by another program are still due.
    uCurlTransfer::saveDueCookies();
    // Writes auth.xml, then config.xml.
    CPreference::Release();
    m_preference = nullptr;
}

void CMainFrame::DetachImageList()
{
    if (m_treeView != nullptr)
        m_treeView->SetImageList(nullptr);
    if (m_itemListView != nullptr)
        m_itemListView->SetImageList(nullptr, wxIMAGE_LIST_SMALL);
}
