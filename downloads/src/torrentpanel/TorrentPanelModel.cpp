#include "downloads/TorrentPanelModel.h"

#include "downloads/TorrentData.h"
#include "downloads/TransferFigures.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

namespace
{
constexpr const char* kTorrentSuffix = ".torrent";

bool EndsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The .torrent files of the folder, by name, so that "the first" is stable.
std::vector<std::string> TorrentFileNames(const uFile& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder.getPath().c_str(), error))
    {
        const std::string name = entry.path().filename().string();
        if (EndsWith(name, kTorrentSuffix) && entry.is_regular_file(error))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool IsActiveStatus(int status)
{
    return status == CTransferItem::kQueued || status == CTransferItem::kDownloading ||
           status == CTransferItem::kDownloaded;
}
} // namespace

CTorrentPanelModel::CTorrentPanelModel(CXListModel& list, CDownloadManager* manager)
    : m_list(list), m_manager(manager), m_engine(manager != nullptr ? manager->GetEngine() : nullptr)
{
}

uFile CTorrentPanelModel::TorrentFolder() const
{
    if (m_manager == nullptr)
        return uFile();
    uFile folder = m_manager->GetEnvironment().GetSettings().torrentDir;
    if (!folder.getPath().isEmpty())
        folder.ensureDirectory();
    return folder;
}

void CTorrentPanelModel::LoadTorrentFolder()
{
    if (m_engine == nullptr)
        return;
    const uFile folder = TorrentFolder();
    for (const std::string& fileName : TorrentFileNames(folder))
    {
        uFile file(folder.getPath().c_str(), fileName.c_str());
        uString name;
        if (!m_engine->ReadTorrentName(file, name) || std::string(name.c_str()) + kTorrentSuffix != fileName)
            continue;
        if (m_engine->AddTorrent(file))
            m_engine->PauseTorrentByFile(file);
    }
}

void CTorrentPanelModel::InitColumns(int listWidth)
{
    // Shares of 64; together they are wider than the list, which scrolls.
    static constexpr int kWeights[kTorrentColumnCount - 1] = {24, 6, 4, 5, 5, 8, 6, 6, 4, 8};
    const int width = listWidth - 2;
    int used = 0;
    for (int column = 0; column < kTorrentColumnCount; ++column)
    {
        const int columnWidth =
            column < kTorrentColumnCount - 1 ? kWeights[column] * width / 64 : std::max(width - used - 2, 0);
        used += columnWidth;
        m_list.InsertColumn(column, kTorrentColumnTitles[column], column == 0 ? kAlignLeft : kAlignRight,
                            columnWidth);
    }
    FillTorrentList();
}

std::vector<uString> CTorrentPanelModel::KnownCellTexts(int column)
{
    switch (column)
    {
    case 2:
        return {uString("100.00")};
    case 5:
        return {FormatTimeLeft(59.99f), FormatTimeLeft(3599.0f), FormatTimeLeft(86399.0f)};
    case 7:
        return {uString("INF"), uString("99.99")};
    case 9:
    {
        std::vector<uString> names;
        for (int state = 0; state < CTorrentStatus::kStateCount; ++state)
            names.emplace_back(TorrentStateName(state));
        return names;
    }
    default:
        return {};
    }
}

void CTorrentPanelModel::FillTorrentList()
{
    std::vector<CTorrentStatus> torrents;
    if (m_engine == nullptr || !m_engine->ListTorrents(torrents))
        return;
    int row = 0;
    for (const CTorrentStatus& status : torrents)
        AddTorrentRow(row++, status);
}

void CTorrentPanelModel::AddTorrentRow(int row, const CTorrentStatus& status)
{
    row = m_list.InsertItem(row, status.displayName);
    if (row == -1)
        return;
    // A long name is cut by its column; its tip shows it whole.
    m_list.SetItemToolTip(row, 0, status.displayName);
    m_list.SetItemImage(row, 0, RowImage(status.state));
    for (int column = 1; column < kTorrentColumnCount - 1; ++column)
        m_list.SetItemText(row, column, FormatTorrentCell(status, column));
    auto data = std::make_unique<CTransferRowData>();
    data->status = static_cast<uint16_t>(status.state);
    data->label = status.displayName;
    data->item = status.name;
    m_list.SetItemData(row, std::move(data));
}

bool CTorrentPanelModel::UpdateTorrentRow(int row)
{
    const CTransferRowData* data = RowData(row);
    CTorrentStatus status;
    if (m_engine == nullptr || data == nullptr || !m_engine->GetStatusByName(data->item, status))
        return false;
    // The model repaints only cells whose text or image really changed.
    m_list.SetItemText(row, 0, status.displayName);
    m_list.SetItemToolTip(row, 0, status.displayName);
    for (int column = 1; column < kTorrentColumnCount - 1; ++column)
        m_list.SetItemText(row, column, FormatTorrentCell(status, column));
    m_list.SetItemImage(row, 0, RowImage(status.state));
    return true;
}

void CTorrentPanelModel::OnTimer()
{
    if (m_engine == nullptr)
        return;
    for (int row = 0; row < m_list.GetItemCount(); ++row)
        UpdateTorrentRow(row);
}

void CTorrentPanelModel::RefreshList()
{
    m_list.DeleteAllItems();
    FillTorrentList();
}

int CTorrentPanelModel::RowImage(int state)
{
    switch (state)
    {
    case 0:
    case 1:
        return 1;
    case 2:
    case 3:
        return 2;
    case 4:
    case 5:
        return 4;
    case 6:
        return 5;
    default:
        return 0;
    }
}

std::vector<int> CTorrentPanelModel::GreyedCommands(int state)
{
    if (state >= 0 && state <= 4)
        return {kShowFileLocation, kLaunchFile, kStartDownload, kDeleteFromList};
    if (state == 5 || state == 6)
        return {kCancelDownload, kStopDownload, kStartDownload};
    return {};
}

bool CTorrentPanelModel::FindTorrentFile(const uString& name, uFile& path) const
{
    if (m_engine == nullptr)
        return false;
    const uFile folder = TorrentFolder();
    for (const std::string& fileName : TorrentFileNames(folder))
    {
        uFile file(folder.getPath().c_str(), fileName.c_str());
        uString found;
        if (m_engine->ReadTorrentName(file, found) && found == name.c_str())
        {
            path = file;
            return true;
        }
    }
    return false;
}

const CTransferRowData* CTorrentPanelModel::RowData(int row) const
{
    const CTransferRowData* data = row >= 0 ? m_list.GetItemData(row) : nullptr;
    return data != nullptr && !data->item.isEmpty() ? data : nullptr;
}

bool CTorrentPanelModel::FindActiveRecord(int row, CTransferItem& record) const
{
    const CTransferRowData* data = RowData(row);
    uFile path;
    return data != nullptr && m_manager != nullptr && FindTorrentFile(data->item, path) &&
           m_manager->GetItemByPath(path, record) && IsActiveStatus(record.status);
}

bool CTorrentPanelModel::CancelDownload(int row)
{
    const CTransferRowData* data = RowData(row);
    if (data == nullptr || m_engine == nullptr)
        return false;
    CTransferItem record;
    bool done;
    uFile path;
    if (FindActiveRecord(row, record))
    {
        FindTorrentFile(data->item, path);
        done = m_manager->CancelItem(record);
    }
    else
    {
        done = m_engine->RemoveTorrent(data->item);
        path = uFile(TorrentFolder().getPath().c_str(),
                     (std::string(data->item.c_str()) + kTorrentSuffix).c_str());
    }
    if (path.isFile())
        path.remove();
    RefreshList();
    return done;
}

bool CTorrentPanelModel::StopDownload(int row)
{
    const CTransferRowData* data = RowData(row);
    if (data == nullptr || m_engine == nullptr)
        return false;
    CTransferItem record;
    const bool done =
        FindActiveRecord(row, record) ? m_manager->StopItem(record) : m_engine->PauseTorrent(data->item);
    RefreshList();
    return done;
}

bool CTorrentPanelModel::StartDownload(int row)
{
    const CTransferRowData* data = RowData(row);
    uFile path;
    if (data == nullptr || !FindTorrentFile(data->item, path) || !m_engine->ResumeTorrent(data->item))
        return false;
    // A torrent the queue does not hold leaves the list as it is.
    CTransferItem record;
    if (m_manager->GetItemByPath(path, record))
    {
        m_manager->SetStatus(record, CTransferItem::kDownloading);
        RefreshList();
    }
    return true;
}

bool CTorrentPanelModel::DeleteFromList(int row)
{
    if (row < 0 || row >= m_list.GetItemCount())
        return false;
    const CTransferRowData* data = RowData(row);
    bool done = false;
    if (data != nullptr && m_engine != nullptr)
    {
        CTransferItem record;
        if (FindActiveRecord(row, record))
            done = m_manager->CancelItem(record);
        else
        {
            const bool ran = m_engine->RemoveTorrent(data->item);
            uFile path;
            if (FindTorrentFile(data->item, path))
                path.remove();
            // A torrent the engine ran held its data name alone; one gone from
            // the engine leaves data of that name another torrent holds alone.
            // Only a direct child of the torrent folder: a bad name deletes nothing.
            const uFile folder = TorrentFolder();
            done = (!ran && torrent::IsDataHeldByOther(*m_engine, folder, data->item, data->label)) ||
                   torrent::DeleteTorrentData(folder, data->label);
        }
    }
    m_list.DeleteItem(row);
    return done;
}

uString CTorrentPanelModel::DataPath(int row) const
{
    const CTransferRowData* data = RowData(row);
    if (data == nullptr || data->label.isEmpty() || data->label == "." || data->label == ".." ||
        std::string(data->label.c_str()).find('/') != std::string::npos)
        return uString();
    uFile path(TorrentFolder().getPath().c_str(), data->label.c_str());
    return path.exists() ? path.getPath() : uString();
}
