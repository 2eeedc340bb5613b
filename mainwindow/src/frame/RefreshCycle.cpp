#include "StringTable.h"
#include "downloads/DownloadManager.h"
#include "feeds/Preference.h"
#include "feeds/RefreshHost.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/StartupRules.h"
#include "mainwindow/TreeViewEx.h"
#include "mainwindow/UiThreadCaller.h"
#include "mainwindow/XStatusBar.h"

namespace
{
constexpr int kReadyString = 57345;
constexpr int kMillisecondsPerMinute = 60000;

// RefreshListLabels for every list at or below the items from start on.
void RefreshOpenLists(CMainFrame& frame, CTreeViewEx& tree, const wxTreeItemId& start)
{
    for (wxTreeItemId item = start; item.IsOk(); item = tree.GetNextSibling(item))
    {
        if (tree.IsKind(item, subscription::kList))
            frame.RefreshListLabels(item); // open lists only; their children are feeds
        else
            RefreshOpenLists(frame, tree, tree.GetFirstChildItem(item));
    }
}
} // namespace

void CMainFrame::RefreshAll()
{
    if (!m_refreshHost || m_refreshHost->IsRefreshRunning())
        return;
    m_subscriptionLists = CollectLists(kCollectDatabases);
    if (!m_subscriptionLists.empty())
    {
        // Every pass, the start-up one too, runs its tasks in parallel: the
        // choice is made before the worker starts, not raced against it.
        m_refreshHost->SetParallelMode(true);
        m_refreshHost->RefreshAll(m_subscriptionLists);
    }
    // The start-up call only marks the flag; every later call that found the
    // worker idle writes the download queue, whether a worker started or not.
    if (m_firstRefresh)
    {
        if (m_downloadManager)
            m_downloadManager->SaveQueue();
    }
    else
    {
        m_firstRefresh = true;
    }
}

void CMainFrame::DownloadNow()
{
    if (!m_downloadManager || m_downloadManager->IsBusy())
        return;
    m_downloadManager->DownloadNow();
}

void CMainFrame::OnTimer(int timerId)
{
    if (timerId == kRefreshTimer)
        RefreshAll();
    else if (timerId == kSchedulerTimer)
        DownloadNow();
}

void CMainFrame::OnTimerEvent(wxTimerEvent& event)
{
    OnTimer(event.GetId());
}

bool CMainFrame::CanRefreshNow() const
{
    return !m_refreshHost || !m_refreshHost->IsRefreshRunning();
}

bool CMainFrame::CanDownloadNow() const
{
    return m_downloadManager && !m_downloadManager->IsBusy() && m_downloadManager->CountByStatus(0) > 0;
}

void CMainFrame::StartRefreshTimer()
{
    // 0 or less means 5 minutes, and the configuration keeps the 5.
    CPreference::GeneralSection general = m_preference->GetGeneralSection();
    if (general.nRefreshRate <= 0)
    {
        general.nRefreshRate = startup::kDefaultRefreshMinutes;
        m_preference->SetGeneralSection(general);
    }
    m_refreshInterval = startup::RefreshMinutes(general.nRefreshRate) * kMillisecondsPerMinute;
    m_timer1.Start(m_refreshInterval);
    m_timer1Id = kRefreshTimer;
}

void CMainFrame::ArmSchedulerTimer()
{
    // Arms timer 2 through ArmTimer, or kills it when nothing is scheduled.
    if (m_downloadManager)
        m_downloadManager->SetScheduleTimer(kSchedulerTimer);
}

void CMainFrame::ArmTimer(int timerId, std::uint64_t milliseconds)
{
    if (!m_uiCaller->IsAttached())
        return;
    if (timerId == kRefreshTimer)
    {
        m_timer1.Start(startup::TimerMilliseconds(milliseconds));
        m_timer1Id = kRefreshTimer;
    }
    else if (timerId == kSchedulerTimer)
    {
        m_timer2.Start(startup::TimerMilliseconds(milliseconds));
        m_timer2Id = kSchedulerTimer;
    }
}

void CMainFrame::KillTimerById(int timerId)
{
    if (timerId == kRefreshTimer)
    {
        m_timer1.Stop();
        m_timer1Id = 0;
    }
    else if (timerId == kSchedulerTimer)
    {
        m_timer2.Stop();
        m_timer2Id = 0;
    }
}

long CMainFrame::OnNotifyNewItems(const CFrameMessage& message)
{
    if (message.text != nullptr && m_hiddenInTray && m_preference->GetGeneralSection().bNotifyUponNewArrival)
        ShowNotifier(*message.text);
    return 0;
}

long CMainFrame::OnStatusText(const CFrameMessage& message)
{
    if (message.text == nullptr || m_hiddenInTray)
        return 0;
    ShowStatusText(wxString::FromUTF8(message.text->c_str()));
    return 0;
}

long CMainFrame::OnSetStatus(const CFrameMessage& message)
{
    if (message.text != nullptr)
    {
        // A text never touches the feed indicator, repeated or not.
        if (*message.text == m_statusMemory || m_statusBar == nullptr)
            return 0;
        // The address of the link under the pointer covers the text shown
        // while it shows, and its end (an empty text) takes back only what
        // it put there: a save's result or a refresh's progress shown
        // meanwhile stays, or comes back from under the address. The idle
        // text is no message: a link's end leaves the bar empty.
        const wxString shown = m_statusBar->GetStatusText(0);
        if (m_statusMemory.isEmpty() || shown != wxString::FromUTF8(m_statusMemory.c_str()))
            m_textUnderHover = shown == IdleText() ? wxString() : shown;
        m_statusMemory = *message.text;
        ShowStatusText(m_statusMemory.isEmpty() ? m_textUnderHover
                                                : wxString::FromUTF8(m_statusMemory.c_str()));
        return 0;
    }
    auto value = static_cast<std::intptr_t>(message.wParam);
    if (m_statusBar != nullptr)
        m_statusBar->SetIndicator(value > 0    ? XStatusBar::kFeedsFound
                                  : value == 0 ? XStatusBar::kIndicatorIdle
                                               : XStatusBar::kNoFeeds);
    return 0;
}

long CMainFrame::OnUpdateDone(const CFrameMessage&)
{
    std::string_view ready = resources::FindString(kReadyString);
    ShowStatusText(wxString::FromUTF8(ready.data(), ready.size()));
    if (m_treeView == nullptr || m_closeComing)
        return 0;
    // The updates may have brought new matches of the news watches.
    UpdateWatchCounts(m_treeView->GetFirstTopLevelItem());
    // A list reports when its last task starts; now that every task ended,
    // open lists show what they brought: unread counts, and the titles of
    // feeds imported without one.
    RefreshOpenLists(*this, *m_treeView, m_treeView->GetFirstTopLevelItem());
    return 0;
}

void CMainFrame::PrepareToClose()
{
    m_closeComing = true;
    m_open.reset();
    if (m_refreshHost)
        m_refreshHost->Stop();
}

std::function<bool()> CMainFrame::StillOpen() const
{
    return [open = std::weak_ptr<char>(m_open)] { return !open.expired(); };
}

long CMainFrame::OnSettingsChanged(const CFrameMessage&)
{
    // The creation rule holds here too: a rate of 0 or less would otherwise
    // arm a timer that fires without pause.
    StartRefreshTimer();
    UpdateRunAtLogon(m_preference->GetGeneralSection().bStartupAtLogon);
    ArmSchedulerTimer();
    return 0;
}
