#include "downloads/TorrentDetailPages.h"

#include "StringTable.h"
#include "foundation/uTranslation.h"

#include <string>
#include <vector>

namespace
{
constexpr int kSummaryRows = 15;
constexpr int kBytesText = 3093;
constexpr const char* kSummaryLabels[kSummaryRows] = {"Torrent:",
                                                      "Save Location:",
                                                      "InfoHash:",
                                                      "Piece Size:",
                                                      "Total Files Size:",
                                                      "Comments:",
                                                      "Trackers:",
                                                      "",
                                                      "Progress:",
                                                      "Remaining:",
                                                      "",
                                                      "Total Downloaded:",
                                                      "Total Uploaded:",
                                                      "Average Download Rate:",
                                                      "Average Upload Rate:"};

// A label in the interface language.
std::string Translated(const char* text)
{
    return std::string(uTr(text));
}

template <typename... Args> uString Format(const char* format, Args... args)
{
    uString text;
    text.format(format, args...);
    return text;
}

uString Rate(float bytesPerSecond)
{
    return Format("%.2f KB/s", static_cast<double>(bytesPerSecond) * 0.0009765625);
}

// A count of bytes in the interface language.
uString Bytes(uint64_t count)
{
    return Format(resources::StringText(kBytesText).c_str(), static_cast<unsigned long long>(count));
}
} // namespace

CTorrentDetailPages::CTorrentDetailPages(ITextTable& table, CTorrentEngine* engine, uFile torrentFolder)
    : m_table(table), m_engine(engine), m_torrentFolder(std::move(torrentFolder))
{
}

void CTorrentDetailPages::ShowPage(int selection, const uString& name, const uString& displayName)
{
    if (selection < 0 || selection >= kPageCount)
        return;
    if (selection != m_currentPage)
    {
        m_currentPage = selection;
        Layout(selection);
    }
    Fill(selection, name, displayName);
}

void CTorrentDetailPages::ClearDetailList()
{
    for (int row = m_table.GetRowCount() - 1; row >= 0; --row)
        m_table.DeleteRow(row);
    for (int column = m_columnCount - 1; column >= 0; --column)
        m_table.DeleteColumn(column);
    m_columnCount = 0;
}

void CTorrentDetailPages::AddColumn(const char* title, int width, bool rightAligned)
{
    m_table.InsertColumn(m_columnCount++, title, width, rightAligned);
}

int CTorrentDetailPages::FittedWidth(const char* title, int width, int& grown,
                                     std::vector<uString> texts) const
{
    texts.emplace_back(Translated(title).c_str());
    const int fitted = m_table.FittingWidth(width, texts);
    grown += fitted - width;
    return fitted;
}

void CTorrentDetailPages::Layout(int page)
{
    ClearDetailList();
    const int width = m_table.GetWidth();
    int grown = 0;
    switch (page)
    {
    case kSummary:
    {
        std::vector<uString> labels;
        for (const char* label : kSummaryLabels)
            labels.emplace_back(Translated(label).c_str());
        const int nameWidth = FittedWidth("Name", 160, grown, labels);
        AddColumn("Name", nameWidth, true);
        AddColumn("Value", width - 2 - 160 - grown);
        for (int row = 0; row < kSummaryRows; ++row)
            m_table.InsertRow(row, labels[static_cast<std::size_t>(row)]);
        break;
    }
    case kTrackers:
    {
        const int urlWidth = FittedWidth("Tracker URL", 480, grown);
        AddColumn("Tracker URL", urlWidth);
        AddColumn("Tier", width - 2 - 480 - grown);
        break;
    }
    case kFiles:
    {
        const int sizeWidth = FittedWidth("Size", 80, grown);
        const int progressWidth = FittedWidth("Progress", 80, grown);
        AddColumn("File Name", width - 162 - grown);
        AddColumn("Size", sizeWidth);
        AddColumn("Progress", progressWidth);
        break;
    }
    case kPeers:
        AddColumn("Address:Port", FittedWidth("Address:Port", 120, grown));
        for (const char* title : {"Rate Dn", "Rate Up", "Downloaded", "Uploaded"})
            AddColumn(title, FittedWidth(title, 60, grown), true);
        AddColumn("Status", width - 2 - 280 - grown);
        break;
    default:
        break;
    }
}

void CTorrentDetailPages::Fill(int page, const uString& name, const uString& displayName)
{
    if (m_engine == nullptr || name.isEmpty())
        return;
    switch (page)
    {
    case kSummary:
        FillSummary(name, displayName);
        break;
    case kTrackers:
        FillTrackers(name);
        break;
    case kFiles:
        FillFiles(name);
        break;
    case kPeers:
        FillPeers(name);
        break;
    default:
        break;
    }
}

void CTorrentDetailPages::SetCell(int row, int column, const uString& text)
{
    if (!(m_table.GetCell(row, column) == text.c_str()))
        m_table.SetCell(row, column, text);
}

void CTorrentDetailPages::KeepRow(int row, const uString& text)
{
    if (row >= m_table.GetRowCount() || !(m_table.GetCell(row, 0) == text.c_str()))
        m_table.InsertRow(row, text);
}

void CTorrentDetailPages::FillSummary(const uString& name, const uString& displayName)
{
    CTorrentStatus status;
    if (!m_engine->GetStatusByName(name, status))
        return;
    uString location = m_torrentFolder.getPath();
    location += "/";
    location += status.displayName;
    SetCell(0, 1, displayName);
    SetCell(1, 1, location);
    SetCell(2, 1, name);
    SetCell(3, 1, Format("%d", status.pieceSize));
    SetCell(4, 1, Format("%llu", static_cast<unsigned long long>(status.total)));
    SetCell(5, 1, status.comment);
    std::vector<TorrentTrackerEntry> trackers;
    if (m_engine->GetTrackers(name, trackers))
    {
        uString joined;
        for (std::size_t index = 0; index < trackers.size(); ++index)
        {
            if (index > 0)
                joined += ";";
            joined += trackers[index].url;
        }
        SetCell(6, 1, joined);
    }
    // A torrent of no bytes gives what the division makes of 0 / 0.
    SetCell(8, 1,
            Format("%.2f%%", static_cast<double>(status.done) / static_cast<double>(status.total) * 100));
    SetCell(9, 1, Bytes(status.total - status.done));
    SetCell(11, 1, Bytes(status.done));
    SetCell(12, 1, Bytes(status.uploaded));
    SetCell(13, 1, Rate(status.downloadRate));
    SetCell(14, 1, Rate(status.uploadRate));
}

void CTorrentDetailPages::FillTrackers(const uString& name)
{
    std::vector<TorrentTrackerEntry> trackers;
    if (!m_engine->GetTrackers(name, trackers))
        return;
    for (std::size_t index = 0; index < trackers.size(); ++index)
    {
        const int row = static_cast<int>(index);
        KeepRow(row, trackers[index].url);
        SetCell(row, 1, Format("%d", trackers[index].tier));
    }
}

void CTorrentDetailPages::FillFiles(const uString& name)
{
    std::vector<TorrentFileEntry> files;
    if (!m_engine->GetFiles(name, files))
        return;
    for (std::size_t index = 0; index < files.size(); ++index)
    {
        const TorrentFileEntry& file = files[index];
        const int row = static_cast<int>(index);
        KeepRow(row, file.path);
        SetCell(row, 1, Format("%llu", static_cast<unsigned long long>(file.size)));
        // The engine's verified bytes: the file on disk is sparse, its size tells nothing.
        const double percent =
            file.size == 0 ? 0.0 : static_cast<double>(file.done) / static_cast<double>(file.size) * 100;
        SetCell(row, 2, Format("%.2f%%", percent));
    }
}

void CTorrentDetailPages::FillPeers(const uString& name)
{
    std::vector<TorrentPeerEntry> peers;
    if (!m_engine->GetPeers(name, peers))
        return;
    for (std::size_t index = 0; index < peers.size(); ++index)
    {
        const TorrentPeerEntry& peer = peers[index];
        const int row = static_cast<int>(index);
        KeepRow(row, peer.address);
        SetCell(row, 1, Rate(peer.downloadRate));
        SetCell(row, 2, Rate(peer.uploadRate));
        SetCell(row, 3, Format("%llu KB", static_cast<unsigned long long>(peer.downloaded / 1024)));
        SetCell(row, 4, Format("%llu KB", static_cast<unsigned long long>(peer.uploaded / 1024)));
        SetCell(row, 5, peer.status);
    }
}
