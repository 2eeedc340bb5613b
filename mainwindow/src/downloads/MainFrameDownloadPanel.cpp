#include "dialogs/FeedDownloadCtrl.h"
#include "mainwindow/MainFrame.h"

void CMainFrame::OnDownloadManager()
{
    CFeedDownloadCtrl dialog(m_downloadManager.get(), this);
    dialog.SetBitTorrentManager([this](CDownloadManager*, wxWindow* parent) { ShowTorrentManager(parent); });
    dialog.ShowModal();
}
