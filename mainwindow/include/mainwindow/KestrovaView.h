#pragma once

#include "downloads/ListSorter.h"
#include "downloads/TransferRowData.h"
#include "foundation/uString.h"

#include <functional>
#include <memory>
#include <vector>
#include <wx/listctrl.h>

class wxMouseEvent;
class wxKeyEvent;

// The item list: the upper right pane, one row per item of the shown channel
// or search result. It decides nothing itself: clicks, keys and its menu
// commands go to the frame through the hooks, and the frame fills, renders
// and changes the rows.
//
// A virtual report list: the rows live here (a channel may hold thousands of
// items) and wx asks for what it draws. wx's own list behaves unlike the old
// one in four ways, handled here: a click on the row already selected still
// shows it; a double-click and Enter are told apart; Up and Down move the
// selection once, through the frame, not a second time by the list itself;
// Home, End, Page Up and Page Down show the row they move the selection to.
class CKestrovaView : public wxListCtrl, public ISortableList
{
public:
    enum Column : int
    {
        kTitle = 0,
        kAuthor = 1,
        kCategory = 2,
        kPublishDate = 3,
        kColumnCount = 4
    };
    // Menu commands of the row menus 210 and 211.
    enum Command : int
    {
        kDisplayWebsite = 212,
        kDeleteItem = 213,
        kArchiveItem = 241,
        kDownloadNow = 242,
        kDownloadLater = 209,
    };

    struct Row
    {
        uString text[kColumnCount];
        int image = -1;
        std::unique_ptr<CTransferRowData> data; // null: a row without a record
    };

    struct Hooks
    {
        std::function<void()> showSelectedItem;
        // 1 for a double-click, 0 for Enter and "Display Original Website".
        std::function<void(int doubleClick)> openItem;
        // WXK_UP and WXK_DOWN arrive as 38 and 40.
        std::function<void(int key)> showNextItem;
        // Delete, archive, download now or later, for the row the index points
        // to; the index may be read during the call only.
        std::function<void(int command, const int* row)> rowCommand;
    };

    CKestrovaView(wxWindow* parent, wxWindowID id);
    ~CKestrovaView() override;

    void SetHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    // ---- rows (the frame fills them).
    void AppendRow(Row row);
    void ClearRows();
    // Removes the row and its record; the rows after it move up.
    void DeleteRow(int row);
    int GetRowCount() const { return static_cast<int>(m_rows.size()); }
    const Row* GetRow(int row) const;
    CTransferRowData* GetRowData(int row) const;
    uString GetRowText(int row, int column) const;
    void SetRowImage(int row, int image);
    // Widens each column to show its header whole, the date column any full
    // date, and all but the title every row's text; a width the user
    // dragged stays.
    void FitColumns();
    // Selects and focuses the row alone and keeps it in view; no hook runs.
    void SelectRow(int row);
    // The first selected row, -1 when none.
    int GetSelectedRow() const;

    // ---- clicks, for the kept-flag toggle.
    // True while the click being handled landed on the row's icon.
    bool WasIconClicked(int row) const;
    int GetRightClickedRow() const { return m_rightClickedRow; }

    // ---- sorting: a new column sorts ascending, the same column flips.
    void SortByColumn(int column);
    int GetSortColumn() const { return m_sortColumn; }
    bool IsSortAscending() const { return m_sortAscending; }

    // ISortableList
    int GetSortRowCount() const override { return GetRowCount(); }
    uString GetSortText(int row, int column) const override { return GetRowText(row, column); }
    void ApplySortOrder(const std::vector<int>& order) override;

protected:
    wxString OnGetItemText(long item, long column) const override;
    int OnGetItemImage(long item) const override;

private:
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnLeftDoubleClick(wxMouseEvent& event);
    void OnRightDown(wxMouseEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void OnItemActivated(wxListEvent& event);
    void OnItemRightClick(wxListEvent& event);
    void OnColumnClick(wxListEvent& event);
    void OnMenuCommand(wxCommandEvent& event);
    int RowAt(const wxPoint& point, bool* onIcon) const;
    void ForgetClick();

    std::vector<Row> m_rows;
    Hooks m_hooks;
    bool m_sortAscending = true;
    int m_sortColumn = -1;
    int m_rightClickedRow = -1;
    // Where the left click being handled landed: its row and whether on the
    // icon; forgotten once its hook has run.
    int m_clickRow = -1;
    bool m_clickOnIcon = false;
    // The button release that ends a double-click is no click of its own.
    bool m_swallowNextUp = false;
    // The user dragged the column's edge: its width is theirs.
    bool m_widthChosen[kColumnCount] = {false, false, false, false};
};
