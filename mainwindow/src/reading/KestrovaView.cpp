#include "mainwindow/KestrovaView.h"

#include "common/ColumnWidth.h"
#include "common/MenuBuilder.h"
#include "mainwindow/ItemKind.h"

#include <algorithm>
#include <wx/imaglist.h>
#include <wx/menu.h>

namespace
{
struct ColumnSpec
{
    const char* title;
    int width;
};
const ColumnSpec kColumns[CKestrovaView::kColumnCount] = {
    {"Title", 480},
    {"Author", 80},
    {"Category", 80},
    {"Publish Date", 100},
};

wxString ToWx(const uString& text)
{
    return wxString::FromUTF8(text.c_str(), static_cast<size_t>(text.getLength()));
}

// A full date as the list shows it ("2025-09-28 23:59:59"), each digit the
// font's widest: no date of that form is wider.
wxString WidestDate(const wxWindow& list)
{
    wxChar widest = '0';
    for (wxChar digit = '1'; digit <= '9'; ++digit)
    {
        if (list.GetTextExtent(wxString(digit)).x > list.GetTextExtent(wxString(widest)).x)
            widest = digit;
    }
    wxString date("0000-00-00 00:00:00");
    date.Replace("0", wxString(widest));
    return date;
}
} // namespace

CKestrovaView::CKestrovaView(wxWindow* parent, wxWindowID id)
    : wxListCtrl(parent, id, wxDefaultPosition, wxDefaultSize,
                 wxLC_REPORT | wxLC_VIRTUAL | wxLC_SINGLE_SEL | wxBORDER_SUNKEN)
{
    for (int column = 0; column < kColumnCount; ++column)
        AppendColumn(kColumns[column].title, wxLIST_FORMAT_LEFT, kColumns[column].width);

    // The rows are drawn by a child window, which offers its mouse and key
    // events to the list first (positions stay in the child's coordinates,
    // as HitTest takes them); an event handled here never reaches the rows.
    Bind(wxEVT_LEFT_DOWN, &CKestrovaView::OnLeftDown, this);
    Bind(wxEVT_LEFT_UP, &CKestrovaView::OnLeftUp, this);
    Bind(wxEVT_LEFT_DCLICK, &CKestrovaView::OnLeftDoubleClick, this);
    Bind(wxEVT_RIGHT_DOWN, &CKestrovaView::OnRightDown, this);
    Bind(wxEVT_KEY_DOWN, &CKestrovaView::OnKeyDown, this);
    Bind(wxEVT_LIST_ITEM_ACTIVATED, &CKestrovaView::OnItemActivated, this);
    Bind(wxEVT_LIST_ITEM_RIGHT_CLICK, &CKestrovaView::OnItemRightClick, this);
    Bind(wxEVT_LIST_COL_CLICK, &CKestrovaView::OnColumnClick, this);
    Bind(wxEVT_MENU, &CKestrovaView::OnMenuCommand, this);
    Bind(wxEVT_LIST_COL_END_DRAG,
         [this](wxListEvent& event)
         {
             event.Skip();
             if (event.GetColumn() >= 0 && event.GetColumn() < kColumnCount)
                 m_widthChosen[event.GetColumn()] = true;
         });
    FitColumns();
}

CKestrovaView::~CKestrovaView() = default;

void CKestrovaView::AppendRow(Row row)
{
    m_rows.push_back(std::move(row));
    SetItemCount(static_cast<long>(m_rows.size()));
}

void CKestrovaView::ClearRows()
{
    // The selection goes first: wx must not ask for rows that are gone.
    SetItemCount(0);
    m_rows.clear();
    m_rightClickedRow = -1;
    m_clickRow = -1;
    Refresh();
}

void CKestrovaView::DeleteRow(int row)
{
    if (row < 0 || row >= GetRowCount())
        return;
    // wx keeps selection states by position: the rows after it move up, so
    // does what stands selected.
    const int selected = GetSelectedRow();
    if (selected >= 0)
        SetItemState(selected, 0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    m_rows.erase(m_rows.begin() + row);
    SetItemCount(static_cast<long>(m_rows.size()));
    if (selected > row)
        SelectRow(selected - 1);
    m_rightClickedRow = -1;
    m_clickRow = -1;
    Refresh();
}

void CKestrovaView::FitColumns()
{
    for (int column = 0; column < kColumnCount; ++column)
    {
        // A width the user dragged a column to is theirs.
        if (m_widthChosen[column])
            continue;
        // The short columns show every row's text; a title longer than
        // the layout's column is cut, as the pane's width is the titles'.
        std::vector<wxString> cells;
        if (column == kPublishDate)
            cells.push_back(WidestDate(*this));
        for (std::size_t row = 0; column != kTitle && row < m_rows.size(); ++row)
            cells.push_back(ToWx(m_rows[row].text[column]));
        ui::FitListColumn(*this, column, cells);
    }
}

const CKestrovaView::Row* CKestrovaView::GetRow(int row) const
{
    if (row < 0 || row >= GetRowCount())
        return nullptr;
    return &m_rows[static_cast<std::size_t>(row)];
}

CTransferRowData* CKestrovaView::GetRowData(int row) const
{
    const Row* entry = GetRow(row);
    return entry != nullptr ? entry->data.get() : nullptr;
}

uString CKestrovaView::GetRowText(int row, int column) const
{
    const Row* entry = GetRow(row);
    if (entry == nullptr || column < 0 || column >= kColumnCount)
        return uString();
    return entry->text[column];
}

void CKestrovaView::SetRowImage(int row, int image)
{
    if (row < 0 || row >= GetRowCount())
        return;
    m_rows[static_cast<std::size_t>(row)].image = image;
    RefreshItem(row);
}

void CKestrovaView::SelectRow(int row)
{
    if (row < 0 || row >= GetRowCount())
        return;
    for (long selected = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); selected != -1;
         selected = GetNextItem(selected, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
    {
        if (selected != row)
            SetItemState(selected, 0, wxLIST_STATE_SELECTED);
    }
    SetItemState(row, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                 wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    EnsureVisible(row);
}

int CKestrovaView::GetSelectedRow() const
{
    long selected = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    return selected >= 0 && selected < GetRowCount() ? static_cast<int>(selected) : -1;
}

bool CKestrovaView::WasIconClicked(int row) const
{
    return row >= 0 && row == m_clickRow && m_clickOnIcon;
}

void CKestrovaView::SortByColumn(int column)
{
    if (column < 0 || column >= kColumnCount)
        return;
    if (column != m_sortColumn)
    {
        m_sortColumn = column;
        m_sortAscending = true;
    }
    else
    {
        m_sortAscending = !m_sortAscending;
    }
    // Every column, the date included, sorts as text: the stored date form
    // ("YYYY-MM-DD hh:mm:ss") orders correctly as text.
    CListSorter sorter(*this, column);
    sorter.Sort(m_sortAscending, 3);
    ShowSortIndicator(column, m_sortAscending);
}

void CKestrovaView::ApplySortOrder(const std::vector<int>& order)
{
    if (order.size() != m_rows.size())
        return;
    const int selected = GetSelectedRow();
    std::vector<Row> sorted;
    sorted.reserve(m_rows.size());
    int newSelected = -1;
    for (std::size_t position = 0; position < order.size(); ++position)
    {
        sorted.push_back(std::move(m_rows[static_cast<std::size_t>(order[position])]));
        if (order[position] == selected)
            newSelected = static_cast<int>(position);
    }
    m_rows.swap(sorted);
    // The selection stays with its item.
    if (newSelected >= 0)
        SelectRow(newSelected);
    m_rightClickedRow = -1;
    m_clickRow = -1;
    RefreshItems(0, GetItemCount() - 1);
}

wxString CKestrovaView::OnGetItemText(long item, long column) const
{
    return ToWx(GetRowText(static_cast<int>(item), static_cast<int>(column)));
}

int CKestrovaView::OnGetItemImage(long item) const
{
    const Row* row = GetRow(static_cast<int>(item));
    return row != nullptr ? row->image : -1;
}

int CKestrovaView::RowAt(const wxPoint& point, bool* onIcon) const
{
    int flags = 0;
    long row = HitTest(point, flags);
    if (onIcon != nullptr)
        *onIcon = false;
    if (row < 0 || row >= GetRowCount())
        return -1;
    if (onIcon != nullptr)
    {
        // The icon stands at the start of the first column.
        wxRect rect;
        int iconWidth = 16, iconHeight = 16;
        if (wxImageList* images = GetImageList(wxIMAGE_LIST_SMALL))
            images->GetSize(0, iconWidth, iconHeight);
        if (GetItemRect(row, rect))
            *onIcon = point.x >= rect.x && point.x < rect.x + iconWidth + 8;
    }
    return static_cast<int>(row);
}

void CKestrovaView::OnLeftDown(wxMouseEvent& event)
{
    m_clickRow = RowAt(event.GetPosition(), &m_clickOnIcon);
    event.Skip(); // the list selects the row
}

void CKestrovaView::OnLeftUp(wxMouseEvent& event)
{
    event.Skip();
    if (m_swallowNextUp)
    {
        m_swallowNextUp = false;
        return;
    }
    // Also for the row already selected, which the list reports no change for.
    if (m_clickRow >= 0 && m_hooks.showSelectedItem)
        CallAfter(
            [this]
            {
                m_hooks.showSelectedItem();
                ForgetClick();
            });
    else
        ForgetClick();
}

void CKestrovaView::ForgetClick()
{
    // A click counts for the row it is handled for, once: a row shown later
    // by a key or a right-click was not clicked, whatever the mouse did before.
    m_clickRow = -1;
    m_clickOnIcon = false;
}

void CKestrovaView::OnLeftDoubleClick(wxMouseEvent& event)
{
    // Not passed on: the list would report it as an activation, like Enter.
    m_clickRow = RowAt(event.GetPosition(), &m_clickOnIcon);
    m_swallowNextUp = true;
    if (m_clickRow >= 0 && m_hooks.openItem)
        CallAfter(
            [this]
            {
                m_hooks.openItem(1);
                ForgetClick();
            });
}

void CKestrovaView::OnRightDown(wxMouseEvent& event)
{
    m_rightClickedRow = -1;
    // The list reports right-clicks on rows only; one on empty space still
    // shows the selected item first, as a click on a row does.
    if (RowAt(event.GetPosition(), nullptr) < 0 && m_hooks.showSelectedItem)
        m_hooks.showSelectedItem();
    event.Skip();
}

void CKestrovaView::OnKeyDown(wxKeyEvent& event)
{
    const int key = event.GetKeyCode();
    if ((key == WXK_UP || key == WXK_DOWN) && !event.HasAnyModifiers())
    {
        // The frame shows the next row and selects it; the list must not
        // move the selection a second time.
        if (m_hooks.showNextItem)
            m_hooks.showNextItem(key == WXK_UP ? 38 : 40);
        return;
    }
    event.Skip();
    if ((key == WXK_HOME || key == WXK_END || key == WXK_PAGEUP || key == WXK_PAGEDOWN) &&
        !event.HasAnyModifiers() && m_hooks.showSelectedItem)
    {
        // The list moves the selection for these keys itself, after this
        // handler: the row it lands on is shown once it has.
        const int before = GetSelectedRow();
        CallAfter(
            [this, before]
            {
                const int after = GetSelectedRow();
                if (after >= 0 && after != before && m_hooks.showSelectedItem)
                    m_hooks.showSelectedItem();
            });
    }
}

void CKestrovaView::OnItemActivated(wxListEvent&)
{
    if (m_hooks.openItem)
        m_hooks.openItem(0);
}

void CKestrovaView::OnItemRightClick(wxListEvent& event)
{
    if (m_hooks.showSelectedItem)
        m_hooks.showSelectedItem();
    m_rightClickedRow = static_cast<int>(event.GetIndex());
    const CTransferRowData* data = GetRowData(m_rightClickedRow);
    if (m_rightClickedRow < 0 || data == nullptr)
        return;
    std::unique_ptr<wxMenu> menu = ui::BuildFirstSubMenu(itemkind::MenuFor(data->flag));
    if (menu)
        PopupMenu(menu.get());
}

void CKestrovaView::OnColumnClick(wxListEvent& event)
{
    SortByColumn(event.GetColumn());
}

void CKestrovaView::OnMenuCommand(wxCommandEvent& event)
{
    const int command = event.GetId();
    switch (command)
    {
    case kDisplayWebsite:
        if (m_rightClickedRow >= 0 && m_hooks.openItem)
            m_hooks.openItem(0);
        break;
    case kDeleteItem:
    case kArchiveItem:
    case kDownloadNow:
    case kDownloadLater:
        if (m_rightClickedRow >= 0 && m_hooks.rowCommand)
            m_hooks.rowCommand(command, &m_rightClickedRow);
        break;
    default:
        event.Skip();
    }
}
