#pragma once

#include "downloads/ListSorter.h"
#include "downloads/TransferRowData.h"
#include "foundation/uString.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// The contents of one cell of the owner-drawn list: text with an optional
// image, a check box, or a progress bar with a percent text.
struct XListCellData
{
    // A colour the list paints with its own system colour.
    static constexpr uint32_t kSystemColour = 0xFFFFFFFFu;

    bool enabled = true; // only column 0's counts, for the whole row
    bool bold = false;
    int image = -1; // -1: none
    uString tooltip;
    bool comboEnabled = false;
    bool comboEditable = false;
    int comboDropHeight = 10;
    int comboInitialSelection = 0;
    uint32_t textColour = kSystemColour; // 0xRRGGBB
    uint32_t backgroundColour = kSystemColour;
    bool showProgress = false;
    int percent = 0;         // 0 to 100
    uString progressMessage; // its one "%d" receives the percent
    bool showProgressMessage = true;
    int checkState = -1; // -1 no check box, 0 unchecked, 1 checked
    uString text;
};

// Header check box states of a column.
inline constexpr int kHeaderNoCheckbox = 0;
inline constexpr int kHeaderUnchecked = 1;
inline constexpr int kHeaderChecked = 2;

// Column alignments.
inline constexpr int kAlignLeft = 0;
inline constexpr int kAlignCentre = 1;
inline constexpr int kAlignRight = 2;

struct XListColumn
{
    uString title;
    int alignment = kAlignLeft;
    int width = 0;
    int headerState = kHeaderNoCheckbox;
};

// The rows, cells and columns of the owner-drawn list, without a window: the
// rules of its check boxes, header check boxes and progress cells live here
// and the window only paints and forwards input. Row and column indices are
// checked: an index outside the rows or columns does nothing and returns
// false, -1 or 0.
//
// Each change calls the change observer with the row and column that need
// repainting (-1 for a whole row or column, -1/-1 for everything); a change
// that leaves a cell as it was calls nothing, so a timer that sets the same
// percent again repaints nothing.
class CXListModel : public ISortableList
{
public:
    using ChangeObserver = std::function<void(int row, int column)>;

    CXListModel() = default;
    CXListModel(const CXListModel&) = delete;
    CXListModel& operator=(const CXListModel&) = delete;

    void SetChangeObserver(ChangeObserver observer) { m_observer = std::move(observer); }

    // Columns.
    int InsertColumn(int index, const uString& title, int alignment, int width);
    int GetColumns() const { return static_cast<int>(m_columns.size()); }
    const XListColumn* GetColumn(int column) const;
    bool SetColumnWidth(int column, int width);
    int GetHeaderCheckedState(int column) const;
    bool SetHeaderCheckedState(int column, int state);

    // Rows. InsertItem puts the row at index (past the end: appended) with
    // one cell per column and column 0's text; the new index, -1 when index
    // is negative.
    int InsertItem(int index, const uString& text);
    bool DeleteItem(int row);
    bool DeleteAllItems();
    int GetItemCount() const { return static_cast<int>(m_rows.size()); }

    bool SetItemText(int row, int column, const uString& text);
    uString GetItemText(int row, int column) const;
    bool SetItemImage(int row, int column, int image);
    // The text the cell's tool tip shows (none when empty); nothing to repaint.
    bool SetItemToolTip(int row, int column, const uString& text);
    const XListCellData* GetCell(int row, int column) const;
    bool IsRowEnabled(int row) const;

    // The row's data; the list owns it and deletes it with the row.
    CTransferRowData* GetItemData(int row) const;
    bool SetItemData(int row, std::unique_ptr<CTransferRowData> data);

    // Stores the state; when the column's header has a check box it becomes
    // checked exactly when every row's cell is checked.
    bool SetCheckbox(int row, int column, int state);
    int GetCheckbox(int row, int column) const;
    int CountCheckedItems(int column) const;

    bool SetProgress(int row, int column, bool showText, const uString& message = uString());
    // The percent is kept within 0 to 100.
    bool UpdateProgress(int row, int column, int percent);
    bool DeleteProgress(int row, int column);

    // A click on a cell's check box: 0 becomes 1, anything else 0, and the
    // header follows. False (nothing changed) for a cell without a check
    // box or a disabled row.
    bool ToggleCheckbox(int row, int column);
    // A click on a header item whose image is a check box: the image flips
    // (1 to 2, anything else to 1) and every check box of the column becomes
    // checked when the header was 1, unchecked otherwise. False, changing
    // nothing, for a header without a check box: the click is the owner's
    // to sort by.
    bool ClickHeaderCheckbox(int column);

    // The single selection; -1 for none. Sorting keeps the selected row.
    int GetSelection() const { return m_selection; }
    bool SetSelection(int row);

    // ISortableList: the text of a column, and the new order (rows keep
    // their cells and data).
    int GetSortRowCount() const override { return GetItemCount(); }
    uString GetSortText(int row, int column) const override { return GetItemText(row, column); }
    void ApplySortOrder(const std::vector<int>& order) override;

private:
    struct Row
    {
        std::vector<XListCellData> cells;
        std::unique_ptr<CTransferRowData> data;
    };

    XListCellData* Cell(int row, int column);
    bool ValidColumn(int column) const { return column >= 0 && column < GetColumns(); }
    void UpdateHeaderCheckbox(int column);
    void Changed(int row, int column);

    std::vector<XListColumn> m_columns;
    std::vector<Row> m_rows;
    int m_selection = -1;
    ChangeObserver m_observer;
};

// A rectangle of the list's pixels: right and bottom are outside it.
struct XListRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

// Where a progress cell's parts go.
struct XProgressLayout
{
    XListRect frame;  // the cell less 1 at the left, 2 at the right, 1 at the bottom
    XListRect inside; // filled light grey
    XListRect bar;    // empty at 0 percent
    XListRect text;   // where the percent text is centred
};

// The layout of a progress cell at the percent (kept within 0 to 100, so
// the bar never leaves its cell).
XProgressLayout LayOutProgress(const XListRect& cell, int percent);

// The text a progress cell shows: the message with its first "%d" replaced
// by the percent and "%%" by "%", anything else as it stands; "40%" for an
// empty message. The message comes from the caller and is never used as a
// format.
uString ProgressText(const uString& message, int percent);

// The check box's square in a check-box cell: from the left + 9 with text,
// centred without; as high as the cell less 1 (or boxSize when above 0).
XListRect LayOutCheckbox(const XListRect& cell, bool hasText, int boxSize = 0);
