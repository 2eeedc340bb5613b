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
    CTorrentEngine* engine = m_downloadManager ? m_downloadManager->GetEngine() : nullptr;
    if (engine == nullptr)
        return;
    ui::FileRequest request;
    request.filter = "Torrent Files (*.torrent)|*.torrent";
    const uString path = ui::ChooseFile(panel, request);
    if (!path.isEmpty())
        engine->AddTorrent(uFile(path.c_str()));
}
