#include "downloads/DownloadPanelModel.h"

#include "downloads/ListSorter.h"
#include "feeds/LibraryFiles.h"
#include "foundation/uTranslation.h"

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>

namespace
{
bool IsActiveStatus(int status)
{
    return status == CTransferItem::kQueued || status == CTransferItem::kDownloading ||
           status == CTransferItem::kDownloaded;
}

bool IsOneOf(int status, std::initializer_list<int> statuses)
{
    return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
}

// Statuses whose entry leaves the queue on a delete.
bool IsRemovable(int status)
{
    return IsOneOf(status, {CTransferItem::kNew, CTransferItem::kComplete, CTransferItem::kFailed,
                            CTransferItem::kStopped, CTransferItem::kCancelled, CTransferItem::kOutdated});
}

// The status as the progress column shows it, in the interface language.
uString StatusText(int status)
{
    return uString(std::string(uTr(CTransferItem::GetStatusName(status))).c_str());
}
} // namespace

CDownloadPanelModel::CDownloadPanelModel(CXListModel& list, CDownloadManager* manager)
    : m_list(list), m_manager(manager)
{
}

void CDownloadPanelModel::InitColumns(int listWidth)
{
    struct Column
    {
        const char* title;
        int alignment;
        int share; // of 64; the last column takes the rest
    };
    static constexpr Column kColumns[] = {
        {"", kAlignCentre, 4},          {"File", kAlignLeft, 24},  {"Feed", kAlignLeft, 12},
        {"Progress", kAlignCentre, 10}, {"Source", kAlignLeft, 0},
    };
    const int width = listWidth - 2;
    int used = 0;
    for (int index = 0; index < 5; ++index)
    {
        const int columnWidth = index < 4 ? kColumns[index].share * width / 64 : width - used - 2;
        used += columnWidth;
        m_list.InsertColumn(index, kColumns[index].title, kColumns[index].alignment, columnWidth);
    }
    m_list.SetHeaderCheckedState(kCheckColumn, kHeaderUnchecked);
}

std::vector<uString> CDownloadPanelModel::KnownCellTexts(int column)
{
    std::vector<uString> texts;
    for (int status = 0; column == kProgressColumn && status < CTransferItem::kStatusCount; ++status)
        texts.push_back(StatusText(status));
    return texts;
}

void CDownloadPanelModel::FillList()
{
    if (m_manager == nullptr)
        return;
    int row = 0;
    for (const CTransferItem& entry : m_manager->GetItems())
    {
        row = m_list.InsertItem(row, "");
        if (row == -1)
            return;
        m_list.SetCheckbox(row, kCheckColumn, 0);
        uString file = entry.GetLocalFileName();
        if (file.isEmpty())
            file = entry.filename;
        m_list.SetItemText(row, kFileColumn, file);
        m_list.SetItemText(row, kFeedColumn, entry.label);
        m_list.SetItemText(row, kProgressColumn, StatusText(entry.status));
        m_list.SetItemText(row, kSourceColumn, entry.item);
        // Names and addresses are often wider than their columns: their
        // tips show them whole.
        m_list.SetItemToolTip(row, kFileColumn, file);
        m_list.SetItemToolTip(row, kFeedColumn, entry.label);
        m_list.SetItemToolTip(row, kSourceColumn, entry.item);
        m_list.SetItemData(row,
                           std::make_unique<CTransferRowData>(entry.ds, entry.label, entry.item, entry.id,
                                                              static_cast<uint16_t>(entry.status), 0));
        ++row;
    }
}

void CDownloadPanelModel::ClearList()
{
    m_list.DeleteAllItems();
}

void CDownloadPanelModel::Refresh()
{
    if (m_manager == nullptr)
        return;
    ClearList();
    FillList();
}

int CDownloadPanelModel::PercentOf(const CTransferItem& entry) const
{
    CTorrentEngine* engine = m_manager != nullptr ? m_manager->GetEngine() : nullptr;
    uint64_t done = 0;
    uint64_t total = 0;
    if (entry.type == CTransferItem::kTypeTorrent && engine != nullptr)
    {
        CTorrentStatus status;
        if (engine->GetStatusByFile(entry.localfile, status))
        {
            done = status.done;
            total = status.total;
        }
        if (total == 0)
            total = 1024;
    }
    else if (entry.length > 0)
    {
        done = static_cast<uint64_t>(std::max<int64_t>(entry.GetLocalFileSize(), 0));
        total = entry.length;
    }
    else
        return 1;
    // 64 bits: 50 MB of 100 MB is 50, not what a 32-bit product wraps to.
    const uint64_t percent = done >= total ? 100 : done * 100 / total;
    return static_cast<int>(std::min<uint64_t>(percent, 100));
}

void CDownloadPanelModel::ShowStatus(int row, CTransferRowData& data, const CTransferItem& entry)
{
    const int before = data.status;
    const int now = entry.status;
    const bool wasActive = IsActiveStatus(before);
    const bool isActive = IsActiveStatus(now);
    auto showText = [&] { m_list.SetItemText(row, kProgressColumn, StatusText(now)); };
    if (before == CTransferItem::kNew)
    {
        if (isActive)
            m_list.SetProgress(row, kProgressColumn, true);
        else if (now != CTransferItem::kNew)
            showText();
    }
    else if (wasActive)
    {
        if (isActive)
        {
            if (!m_progressBarsMade)
                m_list.SetProgress(row, kProgressColumn, true);
            m_list.UpdateProgress(row, kProgressColumn, PercentOf(entry));
        }
        else
        {
            if (m_progressBarsMade)
                m_list.DeleteProgress(row, kProgressColumn);
            showText();
        }
    }
    else if (IsOneOf(before, {CTransferItem::kStopped, CTransferItem::kFailed, CTransferItem::kCancelled}))
    {
        if (isActive)
        {
            m_list.SetProgress(row, kProgressColumn, true);
            m_list.UpdateProgress(row, kProgressColumn, PercentOf(entry));
        }
        else if (now != before)
            showText();
    }
    // Complete, Outdated and Duplicated rows keep what they show.
    data.status = static_cast<uint16_t>(now);
}

void CDownloadPanelModel::OnTimer()
{
    if (m_manager == nullptr)
        return;
    // One copy of the queue per pass, looked up by id: a list of thousands
    // of rows costs one pass, not one queue walk per row.
    const std::vector<CTransferItem> entries = m_manager->GetItems();
    std::unordered_map<std::string, const CTransferItem*> byId;
    byId.reserve(entries.size());
    for (const CTransferItem& entry : entries)
        byId.emplace(entry.id.c_str(), &entry);
    for (int row = 0; row < m_list.GetItemCount(); ++row)
    {
        CTransferRowData* data = m_list.GetItemData(row);
        if (data == nullptr)
            continue;
        auto found = byId.find(data->extra.c_str());
        if (found == byId.end())
            continue;
        ShowStatus(row, *data, *found->second);
    }
    m_progressBarsMade = true;
}

std::vector<int> CDownloadPanelModel::GreyedCommands(int status)
{
    switch (status)
    {
    case CTransferItem::kNew:
    case CTransferItem::kStopped:
    case CTransferItem::kFailed:
    case CTransferItem::kCancelled:
    case CTransferItem::kOutdated:
        return {kShowFileLocation, kLaunchFile, kCancelDownload, kStopDownload};
    case CTransferItem::kQueued:
    case CTransferItem::kDownloading:
    case CTransferItem::kDownloaded:
        return {kShowFileLocation, kLaunchFile, kStartDownload, kDeleteFromList};
    case CTransferItem::kComplete:
        return {kCancelDownload, kStopDownload, kStartDownload};
    default:
        return {};
    }
}

bool CDownloadPanelModel::FindEntry(int row, CTransferItem& entry) const
{
    const CTransferRowData* data = m_list.GetItemData(row);
    return m_manager != nullptr && data != nullptr && m_manager->GetItemById(data->extra, entry);
}

bool CDownloadPanelModel::StartDownload(int row)
{
    CTransferItem entry;
    if (!FindEntry(row, entry) || !IsOneOf(entry.status, {CTransferItem::kNew, CTransferItem::kStopped,
                                                          CTransferItem::kFailed, CTransferItem::kCancelled}))
        return false;
    // A stopped torrent the engine still holds is paused there: resume it.
    // Fetching its .torrent again would be refused as a duplicate and lose
    // the entry.
    CTorrentEngine* engine = m_manager->GetEngine();
    CTorrentStatus status;
    if (entry.status == CTransferItem::kStopped && entry.type == CTransferItem::kTypeTorrent &&
        engine != nullptr && engine->GetStatusByFile(entry.localfile, status))
    {
        if (!engine->ResumeTorrent(status.name))
            return false;
        return m_manager->SetStatus(entry, CTransferItem::kDownloading);
    }
    entry.status = CTransferItem::kQueued;
    return m_manager->StartItemTask(entry);
}

bool CDownloadPanelModel::StopDownload(int row)
{
    CTransferItem entry;
    return FindEntry(row, entry) && entry.IsActive() && m_manager->StopItem(entry);
}

bool CDownloadPanelModel::CancelDownload(int row)
{
    CTransferItem entry;
    return FindEntry(row, entry) && entry.IsActive() && m_manager->CancelItem(entry);
}

bool CDownloadPanelModel::DeleteFromList(int row)
{
    CTransferItem entry;
    if (!FindEntry(row, entry) || !(IsRemovable(entry.status) || entry.status == CTransferItem::kDuplicated))
        return false;
    if (!m_manager->RemoveItem(entry))
        return false;
    return m_list.DeleteItem(row);
}

int CDownloadPanelModel::DeleteChecked()
{
    int removed = 0;
    for (int row = m_list.GetItemCount() - 1; row >= 0; --row)
    {
        CTransferItem entry;
        if (m_list.GetCheckbox(row, kCheckColumn) != 1 || !FindEntry(row, entry) ||
            !IsRemovable(entry.status))
            continue;
        if (m_manager->RemoveItem(entry) && m_list.DeleteItem(row))
            ++removed;
    }
    return removed;
}

uString CDownloadPanelModel::LocalFile(int row) const
{
    const CTransferRowData* data = m_list.GetItemData(row);
    if (m_manager == nullptr || data == nullptr)
        return uString();
    CDownloadEnvironment& environment = m_manager->GetEnvironment();
    uString file;
    if (!environment.GetEnclosureFile(data->ds, data->item, file) || file.isEmpty())
        return uString();
    // The stored name is relative; it must stay inside the library.
    const CDownloadSettings settings = environment.GetSettings();
    for (const uFile& library : {settings.libraryDir, settings.defaultLibraryDir})
    {
        uString path;
        if (feeds::ResolveInside(library, file, path) && uFile(path.c_str()).exists())
            return path;
    }
    return uString();
}

void CDownloadPanelModel::OnColumnClick(int column)
{
    if (column <= kCheckColumn || column >= m_list.GetColumns())
        return;
    if (column != m_sortColumn)
    {
        m_sortColumn = column;
        m_sortAscending = true;
    }
    else
        m_sortAscending = !m_sortAscending;
    CListSorter(m_list, column).Sort(m_sortAscending, 3);
}
