#pragma once

#include "downloads/TorrentEngine.h"
#include "foundation/uFile.h"

#include <vector>

// The plain list under the torrent list, as the detail pages use it.
class ITextTable
{
public:
    virtual ~ITextTable() = default;
    virtual int GetWidth() const = 0;
    virtual int GetRowCount() const = 0;
    virtual void InsertColumn(int column, const uString& title, int width, bool rightAligned) = 0;
    virtual void DeleteColumn(int column) = 0;
    virtual void InsertRow(int row, const uString& text) = 0;
    virtual void DeleteRow(int row) = 0;
    virtual uString GetCell(int row, int column) const = 0;
    virtual void SetCell(int row, int column, const uString& text) = 0;
    // The width a column of `width` pixels needs to show each of the texts
    // whole in the interface language (a translation may run longer).
    virtual int FittingWidth(int width, const std::vector<uString>& /*texts*/) const { return width; }
};

// The Summary, Trackers, Files and Peers pages of one torrent on a single
// list: its columns are laid out again whenever the page changes, and on the
// same page only the cells are refreshed, each written only when its text
// changed. Trackers, files and peers insert a row wherever the first cell
// differs, so their rows only grow until the next layout.
class CTorrentDetailPages
{
public:
    enum Page
    {
        kSummary = 0,
        kTrackers = 1,
        kFiles = 2,
        kPeers = 3,
        kPageCount = 4
    };
    static constexpr const char* kTabTitles[kPageCount] = {"Summary", "Trackers", "Files", "Peers"};

    // engine may be null: the pages stay empty.
    CTorrentDetailPages(ITextTable& table, CTorrentEngine* engine, uFile torrentFolder);

    // The next ShowPage lays its page out again (a click on another torrent).
    void Reset() { m_currentPage = -1; }
    int GetCurrentPage() const { return m_currentPage; }

    // Shows the selected tab's page for the torrent (name and display name
    // from its row; an empty name for no torrent).
    void ShowPage(int selection, const uString& name, const uString& displayName);

private:
    void ClearDetailList();
    void Layout(int page);
    void Fill(int page, const uString& name, const uString& displayName);
    void FillSummary(const uString& name, const uString& displayName);
    void FillTrackers(const uString& name);
    void FillFiles(const uString& name);
    void FillPeers(const uString& name);
    // Inserts a row at `row` unless its first cell already is the text.
    void KeepRow(int row, const uString& text);
    void SetCell(int row, int column, const uString& text);
    void AddColumn(const char* title, int width, bool rightAligned = false);
    // The width of a column that shows its header and `texts` whole; what
    // it grew by is added to `grown`, which the page's last column gives up.
    int FittedWidth(const char* title, int width, int& grown, std::vector<uString> texts = {}) const;

    ITextTable& m_table;
    CTorrentEngine* m_engine;
    uFile m_torrentFolder;
    int m_currentPage = -1;
    int m_columnCount = 0;
};
