#include "dialogs/PrefModels.h"
#include "dialogs/PreferencesHolder.h"
#include "downloads/DownloadManager.h"
#include "mainwindow/MainFrame.h"
#include "common/Messages.h"

void CMainFrame::ShowPreferences(int startPage)
{
    CTorrentEngine* engine = m_downloadManager ? m_downloadManager->GetEngine() : nullptr;
    // The frame re-reads its timers and the start-at-logon entry when told.
    CPreferencesHolder holder(this, engine, startPage, [this] { SendMessage(WM_APP_SETTINGSCHANGED); });
}

void CMainFrame::OnPreferences()
{
    ShowPreferences(prefs::kGeneralPage);
}

long CMainFrame::OnShowPreferences(const CFrameMessage&)
{
    bool hasEngine = m_downloadManager && m_downloadManager->GetEngine() != nullptr;
    ShowPreferences(prefs::PersonalPageIndex(hasEngine));
    return 0;
}
