// The frame's commands on an item's enclosure and on the media library:
// download now or later, archive, delete an item, add a .torrent file, play
// the downloaded podcasts, open an address, and show the library folders.
// Everything here runs on the user-interface thread; the transfers belong to
// the download manager, the hand-offs to the desktop's opener.
#include "CommandIds.h"
#include "StringTable.h"
#include "common/DesktopShell.h"
#include "common/MenuBuilder.h"
#include "common/Messages.h"
#include "common/UserPrompt.h"
#include "dialogs/SubscriptionDlgs.h"
#include "downloads/DownloadManager.h"
#include "downloads/MediaPlayer.h"
#include "downloads/TorrentData.h"
#include "downloads/TorrentEngine.h"
#include "feeds/FeedStore.h"
#include "feeds/LibraryFiles.h"
#include "feeds/MediaTypes.h"
#include "feeds/Preference.h"
#include "feeds/WebFetch.h"
#include "mainwindow/FileChooser.h"
#include "mainwindow/ItemReader.h"
#include "mainwindow/KestrovaView.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/WebBrowserFrame.h"
#include "mainwindow/WindowMessage.h"

#include <cstring>
#include <list>
#include <wx/wupdlock.h>

namespace
{
constexpr int kNoMediaString = 3029;
constexpr int kTorrentFilesName = 3108;
constexpr int kAllFilesName = 3101;
constexpr int kDataNameHeldString = 3110;

// The full path of a recorded local file: under the configured library, else
// under the start-up one; false when no file is at either (or the name
// leads out of them).
bool FindLibraryFile(const uString& localFile, uString& path)
{
    if (localFile.isEmpty())
        return false;
    CPreference* preference = CPreference::GetInstance();
    for (const uFile& root : {preference->GetLibraryDir(), preference->GetDefaultLibraryDir()})
    {
        if (feeds::ResolveInside(root, localFile, path) && uFile(path.c_str()).exists())
            return true;
    }
    return false;
}

// Whether the path lies below the folder (by text: both come from the same
// configuration).
bool IsInside(const uFile& folder, const uFile& path)
{
    uString prefix = folder.getPath();
    if (prefix.isEmpty())
        return false;
    prefix += "/";
    return path.getPath().getLength() > prefix.getLength() &&
           std::strncmp(path.getPath().c_str(), prefix.c_str(),
                        static_cast<std::size_t>(prefix.getLength())) == 0;
}

const int* RowPointer(const CFrameMessage& message)
{
    return reinterpret_cast<const int*>(message.lParam);
}
} // namespace

bool CMainFrame::MakeTransferRecord(const CTransferRowData& row, CItemRecord& item, CTransferItem& record)
{
    CFeedStore store;
    store.SetDatabase(row.ds);
    uString feed;
    store.GetItemFeed(row.item, feed);
    item.link = row.item;
    store.LoadEnclosure(item);
    if (item.enclosureLink.isEmpty())
        return false;
    const int type = IsTorrentType(item.enclosureType) || IsTorrentType(item.enclosureLink)
                         ? CTransferItem::kTypeTorrent
                         : CTransferItem::kTypePlain;
    // Video is asked first: "video/x-audio" would otherwise count as audio.
    const int media = IsVideoType(item.enclosureType)   ? CTransferItem::kMediaVideo
                      : IsAudioType(item.enclosureType) ? CTransferItem::kMediaAudio
                                                        : CTransferItem::kMediaOther;
    record = CTransferItem(type, media, row.label, row.ds, feed, row.item, item.enclosureLink);
    const int64_t length = feeds::LeadingInteger(item.enclosureLength);
    record.length = length > 0 ? static_cast<uint64_t>(length) : 0;
    return true;
}

void CMainFrame::DownloadListItem(int row, bool now)
{
    if (row < 0 || !m_downloadManager || m_itemListView == nullptr)
        return;
    const CTransferRowData* data = m_itemListView->GetRowData(row);
    if (data == nullptr)
        return;
    CItemRecord item;
    CTransferItem record;
    if (!MakeTransferRecord(*data, item, record))
        return;

    // Downloaded before: show where it is instead of fetching it again.
    uString path;
    if (FindLibraryFile(item.enclosureFile, path))
    {
        uString folder;
        if (uFile(path.c_str()).getDirectory(folder))
            ui::OpenOrSay(this, folder);
        return;
    }
    if (!now && IsStreamType(item.enclosureType))
        return;
    if (record.type == CTransferItem::kTypeTorrent)
    {
        CTransferContext context;
        context.tempDir = m_preference->GetTempDir();
        context.torrentDir = m_preference->GetTorrentDir();
        if (!record.Prepare(context) || record.localfile.exists())
            return;
    }
    if (now)
    {
        // Queued first, so that the queue knows the entry whose task runs.
        record.status = CTransferItem::kQueued;
        m_downloadManager->AddItem(record);
        m_downloadManager->StartItemTask(record);
    }
    else
    {
        m_downloadManager->AddItem(record);
    }
}

long CMainFrame::OnDownloadNow(const CFrameMessage& message)
{
    if (const int* row = RowPointer(message))
        DownloadListItem(*row, /*now=*/true);
    return 0;
}

long CMainFrame::OnDownloadLater(const CFrameMessage& message)
{
    if (const int* row = RowPointer(message))
        DownloadListItem(*row, /*now=*/false);
    return 0;
}

long CMainFrame::OnArchiveItem(const CFrameMessage& message)
{
    const int* row = RowPointer(message);
    if (row == nullptr || *row < 0 || m_itemListView == nullptr || !m_reader)
        return 0;
    CTransferRowData* data = m_itemListView->GetRowData(*row);
    if (data == nullptr)
        return 0;
    if (!m_reader->KeepListItem(data->ds, data->item, data->label, /*keep=*/true))
        return 0;
    data->status = 1;
    wxWindowUpdateLocker noUpdates(m_itemListView);
    m_reader->RefreshListRow(*row);
    return 0;
}

long CMainFrame::OnDeleteItem(const CFrameMessage& message)
{
    const int* pointer = RowPointer(message);
    if (pointer == nullptr || *pointer < 0 || m_itemListView == nullptr)
        return -1;
    const int row = *pointer;
    if (const CTransferRowData* data = m_itemListView->GetRowData(row))
        DeleteListItem(*data);
    m_itemListView->DeleteRow(row);
    return 0;
}

void CMainFrame::DeleteListItem(const CTransferRowData& row)
{
    CItemRecord item;
    CTransferItem record;
    if (m_downloadManager && MakeTransferRecord(row, item, record))
    {
        // The queued copy knows where its partial file is.
        for (const CTransferItem& queued : m_downloadManager->GetItems())
        {
            if (queued.id != record.id)
                continue;
            const bool taskStopped = m_downloadManager->CancelItem(queued);
            // A cancelled entry would be fetched again by the next Download
            // Now: the item is gone, so is its entry.
            m_downloadManager->RemoveItem(queued);
            // Without a running task nobody else removes a partial file; a
            // finished entry names the library file, which is not ours to
            // delete here.
            if (!taskStopped && queued.type == CTransferItem::kTypePlain &&
                IsInside(m_preference->GetTempDir(), queued.localfile))
                uFile(queued.localfile).remove();
            break;
        }
    }
    CFeedStore store;
    store.SetDatabase(row.ds);
    uString error;
    // Only this item's media, and never a file another item still names.
    store.DeleteItemEnclosures(row.item, error, nullptr);
    store.MarkItemDeleted(row.item, error, nullptr);
}

bool CMainFrame::AddTorrentFile(const uString& path, wxWindow* parent)
{
    CTorrentEngine* engine = m_downloadManager ? m_downloadManager->GetEngine() : nullptr;
    if (engine == nullptr)
        return false;
    const uFile source(path.c_str());
    if (!source.isFile())
        return false;
    if (!engine->AddTorrent(source))
    {
        uString key;
        uString dataName;
        if (!engine->WasDuplicate() && engine->ReadTorrentName(source, key) &&
            engine->GetDataName(source, dataName) &&
            torrent::IsDataHeldByOther(*engine, m_preference->GetTorrentDir(), key, dataName))
            ui::ShowPrompt(parent != nullptr ? parent : this, kDataNameHeldString, wxOK | wxICON_WARNING,
                           dataName);
        return false;
    }
    CTorrentStatus status;
    if (!engine->GetStatusByFile(source, status))
        return false;
    // The engine's key names the copy; a key that is no plain file name is
    // not used as one.
    if (!status.name.isEmpty() && status.name.findChar('/') < 0 && status.name.c_str()[0] != '.')
    {
        uFile copy = m_preference->GetTorrentDir();
        copy.append((status.name + ".torrent").c_str());
        copy.copyFrom(path.c_str(), 1);
    }
    return true;
}

long CMainFrame::OnOpenTorrentFile(const CFrameMessage& message)
{
    if (message.text != nullptr && AddTorrentFile(*message.text))
    {
        // As the menu's "BitTorrent Manager" does: the panel shows the torrent.
        wxCommandEvent command(wxEVT_MENU, ui::MenuCommandId(resources::cmd::kTorrentManager));
        GetEventHandler()->ProcessEvent(command);
    }
    return 0;
}

uString CMainFrame::ChooseTorrentFile(wxWindow* parent)
{
    ui::FileRequest request;
    request.filter = ui::FilterOf({{kTorrentFilesName, "*.torrent"}, {kAllFilesName, "*.*"}});
    return ui::ChooseFile(parent != nullptr ? parent : this, request);
}

long CMainFrame::OnAddTorrent(const CFrameMessage& message)
{
    auto* panel = reinterpret_cast<wxWindow*>(message.lParam);
    const uString path = ChooseTorrentFile(panel);
    if (!path.isEmpty() && AddTorrentFile(path, panel) && panel != nullptr)
        ui::SendWindowMessage(panel->GetEventHandler(), WM_APP_ADDTORRENT, 0, 0);
    return 0;
}

void CMainFrame::OnPlayPodcasts()
{
    const std::vector<uString> lists = CollectLists(kCollectDatabases);
    std::list<uString> files;
    if (lists.empty() || !FindEnclosureFiles(lists, files))
    {
        ui::ShowPrompt(this, kNoMediaString, wxOK | wxICON_INFORMATION);
        return;
    }
    // Neither automation player exists here: the values that name them mean
    // the playlist file too.
    const int format = m_preference->GetPodcastSection().nFormatPlayLists;
    if (format < 0 || format > 2)
        return;
    std::unique_ptr<CMediaPlayer> player = CreateMediaPlayer(uString("m3u"));
    if (!player)
        return;
    for (const uString& file : files)
    {
        uString path;
        if (FindLibraryFile(file, path))
            player->AddFile(path);
    }
    uFile playlist = m_preference->GetLibraryDir();
    playlist.append(CM3UPlayer::kPlaylistName);
    if (player->Save(playlist))
        ui::OpenOrSay(this, playlist.getPath());
}

void CMainFrame::OnOpenUrl()
{
    COpenURLDlg dialog(this);
    if (dialog.ShowModal() == wxID_OK && m_browserFrame != nullptr)
        m_browserFrame->Navigate(dialog.url);
}

void CMainFrame::ExploreFolder(const uFile& folder)
{
    folder.ensurePath();
    ui::OpenOrSay(this, folder.getPath(), /*explore=*/true);
}

void CMainFrame::OnExploreLibrary()
{
    ExploreFolder(m_preference->GetLibraryDir());
}

void CMainFrame::OnExploreMusic()
{
    ExploreFolder(m_preference->GetMusicDir());
}

void CMainFrame::OnExploreMovie()
{
    ExploreFolder(m_preference->GetMovieDir());
}

bool CMainFrame::DownloadToTemp(const uString& address, uFile& file, int timeout)
{
    file = m_preference->GetTempDir();
    file.ensurePath();
    file.append(feeds::Md5Hex(address).c_str());
    return FetchUrlToFile(address, file, timeout, nullptr, /*login=*/true, /*prompt=*/true);
}
