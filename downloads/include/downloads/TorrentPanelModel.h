#pragma once

#include "downloads/DownloadManager.h"
#include "downloads/XListModel.h"

#include <vector>

// The BitTorrent manager panel without its window: one row per torrent the
// engine holds in the owner-drawn list's model, the timer pass that refreshes
// the cells, the context menu's greying and the commands. A torrent the
// download queue is working on is steered through the download manager,
// every other straight through the engine.
//
// Row data: status = the torrent's state when the row was added (the menu's
// greying keeps using it), label = its display name, item = its name (the
// key of every engine call for the row). Window thread only.
class CTorrentPanelModel
{
public:
    // Commands of the context menu (menu 222).
    static constexpr int kShowFileLocation = 240;
    static constexpr int kLaunchFile = 236;
    static constexpr int kStartDownload = 239;
    static constexpr int kStopDownload = 237;
    static constexpr int kCancelDownload = 207;
    static constexpr int kDeleteFromList = 208;

    // manager may be null, and may hold no engine: the list then stays empty.
    CTorrentPanelModel(CXListModel& list, CDownloadManager* manager);

    CTorrentEngine* GetEngine() const { return m_engine; }
    // The data folder's "torrent" folder, created when missing.
    uFile TorrentFolder() const;

    // Adds and pauses every "<name>.torrent" of the torrent folder whose
    // torrent is named so; other .torrent files (those the queue fetched
    // under another name) are left to the queue.
    void LoadTorrentFolder();

    // The eleven columns over a list of that width.
    void InitColumns(int listWidth);
    void FillTorrentList();
    void AddTorrentRow(int row, const CTorrentStatus& status);
    // Fresh texts for the row's cells (only those that changed); false when
    // the engine no longer knows the torrent.
    bool UpdateTorrentRow(int row);
    // One pass of the timer: every row updated, none added or removed.
    void OnTimer();
    void RefreshList();

    // The widest texts a column's cells are known to show: the states' names
    // in the interface language, a whole percent, the longest times left.
    static std::vector<uString> KnownCellTexts(int column);
    static int RowImage(int state);
    // The menu commands greyed for a row added in that state.
    static std::vector<int> GreyedCommands(int state);

    // The first .torrent file of the torrent folder describing that torrent.
    bool FindTorrentFile(const uString& name, uFile& path) const;
    // The queue's record for the row's .torrent file when it is Queued,
    // Downloading or Downloaded.
    bool FindActiveRecord(int row, CTransferItem& record) const;

    // The commands on a row; false when the row has no data or name, or the
    // engine or manager refused.
    bool CancelDownload(int row);
    bool StopDownload(int row);
    bool StartDownload(int row);
    bool DeleteFromList(int row);

    // The torrent's data in the torrent folder, when it exists; empty
    // otherwise (or when its name could reach outside the folder).
    uString DataPath(int row) const;

private:
    const CTransferRowData* RowData(int row) const;

    CXListModel& m_list;
    CDownloadManager* m_manager;
    CTorrentEngine* m_engine;
};
