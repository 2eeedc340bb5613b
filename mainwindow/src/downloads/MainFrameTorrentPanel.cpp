#include "dialogs/FeedDownloadCtrl.h"
#include "dialogs/TorrentCtrl.h"
#include "mainwindow/FileChooser.h"
#include "mainwindow/MainFrame.h"

bool CMainFrame::HasTorrentEngine() const
{
    return m_downloadManager && m_downloadManager->HasTorrentEngine();
}

void CMainFrame::ShowTorrentManager(wxWindow* parent)
{
    CTorrentCtrl dialog(m_downloadManager.get(), parent);
    dialog.SetOpenTorrent([this](wxWindow* panel) { AddTorrentInteractive(panel); });
    dialog.ShowModal();
}

void CMainFrame::OnTorrentManager()
{
    if (HasTorrentEngine())
        ShowTorrentManager(this);
}

void CMainFrame::AddTorrentInteractive(wxWindow* panel)
{
    // The panel's Open Torrent: the same file dialog and engine hand-over as
    // the frame's, which keeps a copy in the torrent folder.
    if (!HasTorrentEngine())
        return;
    const uString path = ChooseTorrentFile(panel);
    if (!path.isEmpty())
        AddTorrentFile(path, panel);
}
