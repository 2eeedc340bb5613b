#pragma once

#include "downloads/DownloadManager.h"
#include "downloads/XListModel.h"

#include <cstdint>
#include <vector>

// The download manager panel without its window: one row per queue entry in
// the owner-drawn list's model, the timer pass that turns the Progress column
// into live progress bars, the context menu's greying and the commands that
// act on the queue.
//
// A row finds its queue entry by the entry's id, kept in the row data's
// extra field: two lists may queue the same item link, and each row must act
// on its own entry. Runs on the window thread; the queue is read through
// copies while transfer tasks change it.
class CDownloadPanelModel
{
public:
    // Columns.
    static constexpr int kCheckColumn = 0;
    static constexpr int kFileColumn = 1;
    static constexpr int kFeedColumn = 2;
    static constexpr int kProgressColumn = 3;
    static constexpr int kSourceColumn = 4;

    // Commands of the context menu (menu 222).
    static constexpr int kShowFileLocation = 240;
    static constexpr int kLaunchFile = 236;
    static constexpr int kStartDownload = 239;
    static constexpr int kStopDownload = 237;
    static constexpr int kCancelDownload = 207;
    static constexpr int kDeleteFromList = 208;

    // manager may be null: the list stays empty.
    CDownloadPanelModel(CXListModel& list, CDownloadManager* manager);

    // The five columns over a list of that width; column 0's header gets a
    // check box.
    void InitColumns(int listWidth);
    void FillList();
    void ClearList();
    // ClearList and FillList, when there is a manager.
    void Refresh();

    // One pass of the 2-second timer over every row.
    void OnTimer();
    bool ProgressBarsMade() const { return m_progressBarsMade; }

    // The percent a progress bar shows for an entry (64-bit arithmetic,
    // within 0 to 100).
    int PercentOf(const CTransferItem& entry) const;

    // The widest texts a column's cells are known to show (the statuses'
    // names in the interface language); none for a column of names.
    static std::vector<uString> KnownCellTexts(int column);
    // The menu commands greyed for a row whose last shown status is this.
    static std::vector<int> GreyedCommands(int status);
    // The row's queue entry, found by its id; false without data or entry.
    bool FindEntry(int row, CTransferItem& entry) const;

    // The commands on a row; each does nothing (false) without the row's
    // data or entry, or when the entry's status does not allow it.
    bool StartDownload(int row);
    bool StopDownload(int row);
    bool CancelDownload(int row);
    bool DeleteFromList(int row);
    // The "Delete" button: removes the checked rows whose entries are New,
    // Complete, Failed, Stopped, Cancelled or Outdated; the count removed.
    int DeleteChecked();

    // The row's downloaded file under the configured library, else under the
    // default library; empty when it has none or it does not exist.
    uString LocalFile(int row) const;

    // A header click: columns other than 0 sort as text, the same column
    // again reverses the order.
    void OnColumnClick(int column);
    int GetSortColumn() const { return m_sortColumn; }
    bool IsSortAscending() const { return m_sortAscending; }

private:
    void ShowStatus(int row, CTransferRowData& data, const CTransferItem& entry);

    CXListModel& m_list;
    CDownloadManager* m_manager;
    bool m_sortAscending = true;
    int m_sortColumn = -1;
    bool m_progressBarsMade = false;
};
