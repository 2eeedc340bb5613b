#include "downloads/XListModel.h"

#include <algorithm>
#include <string>

int CXListModel::InsertColumn(int index, const uString& title, int alignment, int width)
{
    if (index < 0)
        return -1;
    index = std::min(index, GetColumns());
    XListColumn column;
    column.title = title;
    column.alignment = alignment;
    column.width = width;
    m_columns.insert(m_columns.begin() + index, column);
    for (Row& row : m_rows)
        row.cells.insert(row.cells.begin() + index, XListCellData());
    Changed(-1, -1);
    return index;
}

const XListColumn* CXListModel::GetColumn(int column) const
{
    return ValidColumn(column) ? &m_columns[column] : nullptr;
}

bool CXListModel::SetColumnWidth(int column, int width)
{
    if (!ValidColumn(column))
        return false;
    if (m_columns[column].width != width)
    {
        m_columns[column].width = width;
        Changed(-1, -1);
    }
    return true;
}

int CXListModel::GetHeaderCheckedState(int column) const
{
    return ValidColumn(column) ? m_columns[column].headerState : -1;
}

bool CXListModel::SetHeaderCheckedState(int column, int state)
{
    if (!ValidColumn(column))
        return false;
    if (m_columns[column].headerState != state)
    {
        m_columns[column].headerState = state;
        Changed(-1, column);
    }
    return true;
}

int CXListModel::InsertItem(int index, const uString& text)
{
    if (index < 0)
        return -1;
    index = std::min(index, GetItemCount());
    Row row;
    row.cells.resize(m_columns.empty() ? 1 : m_columns.size());
    row.cells[0].text = text;
    m_rows.insert(m_rows.begin() + index, std::move(row));
    if (m_selection >= index)
        ++m_selection;
    Changed(-1, -1);
    return index;
}

bool CXListModel::DeleteItem(int row)
{
    if (row < 0 || row >= GetItemCount())
        return false;
    m_rows.erase(m_rows.begin() + row);
    if (m_selection == row)
        m_selection = -1;
    else if (m_selection > row)
        --m_selection;
    Changed(-1, -1);
    return true;
}

bool CXListModel::DeleteAllItems()
{
    m_rows.clear();
    m_selection = -1;
    Changed(-1, -1);
    return true;
}

XListCellData* CXListModel::Cell(int row, int column)
{
    if (row < 0 || row >= GetItemCount() || column < 0 ||
        column >= static_cast<int>(m_rows[row].cells.size()))
        return nullptr;
    return &m_rows[row].cells[column];
}

const XListCellData* CXListModel::GetCell(int row, int column) const
{
    return const_cast<CXListModel*>(this)->Cell(row, column);
}

bool CXListModel::IsRowEnabled(int row) const
{
    const XListCellData* cell = GetCell(row, 0);
    return cell != nullptr && cell->enabled;
}

bool CXListModel::SetItemText(int row, int column, const uString& text)
{
    XListCellData* cell = Cell(row, column);
    if (cell == nullptr)
        return false;
    if (!cell->text.equals(&text))
    {
        cell->text = text;
        Changed(row, column);
    }
    return true;
}

uString CXListModel::GetItemText(int row, int column) const
{
    const XListCellData* cell = GetCell(row, column);
    return cell != nullptr ? cell->text : uString();
}

bool CXListModel::SetItemImage(int row, int column, int image)
{
    XListCellData* cell = Cell(row, column);
    if (cell == nullptr)
        return false;
    if (cell->image != image)
    {
        cell->image = image;
        Changed(row, column);
    }
    return true;
}

bool CXListModel::SetItemToolTip(int row, int column, const uString& text)
{
    XListCellData* cell = Cell(row, column);
    if (cell == nullptr)
        return false;
    cell->tooltip = text;
    return true;
}

CTransferRowData* CXListModel::GetItemData(int row) const
{
    if (row < 0 || row >= GetItemCount())
        return nullptr;
    return m_rows[row].data.get();
}

bool CXListModel::SetItemData(int row, std::unique_ptr<CTransferRowData> data)
{
    if (row < 0 || row >= GetItemCount())
        return false;
    m_rows[row].data = std::move(data);
    return true;
}

bool CXListModel::SetCheckbox(int row, int column, int state)
{
    XListCellData* cell = Cell(row, column);
    if (cell == nullptr)
        return false;
    if (cell->checkState != state)
    {
        cell->checkState = state;
        Changed(row, column);
    }
    UpdateHeaderCheckbox(column);
    return true;
}

int CXListModel::GetCheckbox(int row, int column) const
{
    const XListCellData* cell = GetCell(row, column);
    return cell != nullptr ? cell->checkState : -1;
}

int CXListModel::CountCheckedItems(int column) const
{
    if (!ValidColumn(column))
        return 0;
    return static_cast<int>(std::count_if(m_rows.begin(), m_rows.end(),
                                          [column](const Row& row) {
                                              return column < static_cast<int>(row.cells.size()) &&
                                                     row.cells[column].checkState == 1;
                                          }));
}

void CXListModel::UpdateHeaderCheckbox(int column)
{
    const int state = GetHeaderCheckedState(column);
    if (state == -1 || state == kHeaderNoCheckbox)
        return;
    SetHeaderCheckedState(column,
                          CountCheckedItems(column) == GetItemCount() ? kHeaderChecked : kHeaderUnchecked);
}

bool CXListModel::SetProgress(int row, int column, bool showText, const uString& message)
{
    XListCellData* cell = Cell(row, column);
    if (cell == nullptr)
        return false;
    cell->showProgress = true;
    cell->percent = 0;
    cell->showProgressMessage = showText;
    cell->progressMessage = message;
    Changed(row, column);
    return true;
}

bool CXListModel::UpdateProgress(int row, int column, int percent)
{
    XListCellData* cell = Cell(row, column);
    if (cell == nullptr)
        return false;
    percent = std::clamp(percent, 0, 100);
    if (cell->percent != percent)
    {
        cell->percent = percent;
        Changed(row, column);
    }
    return true;
}

bool CXListModel::DeleteProgress(int row, int column)
{
    XListCellData* cell = Cell(row, column);
    if (cell == nullptr)
        return false;
    if (cell->showProgress || cell->percent != 0)
    {
        cell->showProgress = false;
        cell->percent = 0;
        Changed(row, column);
    }
    return true;
}

bool CXListModel::ToggleCheckbox(int row, int column)
{
    XListCellData* cell = Cell(row, column);
    if (cell == nullptr || cell->checkState == -1 || !IsRowEnabled(row))
        return false;
    cell->checkState = cell->checkState == 0 ? 1 : 0;
    Changed(row, column);
    UpdateHeaderCheckbox(column);
    return true;
}

bool CXListModel::ClickHeaderCheckbox(int column)
{
    const int before = GetHeaderCheckedState(column);
    if (before == -1 || before == kHeaderNoCheckbox)
        return false;
    SetHeaderCheckedState(column, before == kHeaderUnchecked ? kHeaderChecked : kHeaderUnchecked);
    const int state = before == kHeaderUnchecked ? 1 : 0;
    for (int row = 0; row < GetItemCount(); ++row)
    {
        XListCellData* cell = Cell(row, column);
        if (cell != nullptr && cell->checkState != -1 && cell->checkState != state)
        {
            cell->checkState = state;
            Changed(row, column);
        }
    }
    return true;
}

bool CXListModel::SetSelection(int row)
{
    if (row < -1 || row >= GetItemCount())
        return false;
    if (m_selection != row)
    {
        const int before = m_selection;
        m_selection = row;
        if (before != -1)
            Changed(before, -1);
        if (row != -1)
            Changed(row, -1);
    }
    return true;
}

void CXListModel::ApplySortOrder(const std::vector<int>& order)
{
    std::vector<Row> sorted;
    sorted.reserve(m_rows.size());
    int selection = -1;
    for (int index : order)
    {
        if (index == m_selection)
            selection = static_cast<int>(sorted.size());
        sorted.push_back(std::move(m_rows.at(index)));
    }
    m_rows.swap(sorted);
    m_selection = selection;
    Changed(-1, -1);
}

void CXListModel::Changed(int row, int column)
{
    if (m_observer)
        m_observer(row, column);
}

XProgressLayout LayOutProgress(const XListRect& cell, int percent)
{
    percent = std::clamp(percent, 0, 100);
    XProgressLayout layout;
    layout.frame = {cell.left + 1, cell.top, cell.right - 2, cell.bottom - 1};
    const XListRect& frame = layout.frame;
    layout.inside = {frame.left + 1, frame.top + 1, frame.right, frame.bottom};
    if (percent > 0)
    {
        const int start = frame.left + 2;
        layout.bar = {start, frame.top + 2, start + (frame.right - start) * percent / 100, frame.bottom};
    }
    else
        layout.bar = {frame.left + 2, frame.top + 2, frame.left + 2, frame.bottom};
    layout.text = {frame.left + 2, frame.top + 1, frame.right - 1, frame.bottom - 1};
    return layout;
}

uString ProgressText(const uString& message, int percent)
{
    const std::string number = std::to_string(percent);
    if (message.isEmpty())
        return uString((number + "%").c_str());
    const std::string source = message.c_str();
    std::string text;
    bool substituted = false;
    for (size_t i = 0; i < source.size(); ++i)
    {
        if (source[i] == '%' && i + 1 < source.size() && source[i + 1] == '%')
        {
            text += '%';
            ++i;
        }
        else if (!substituted && source[i] == '%' && i + 1 < source.size() && source[i + 1] == 'd')
        {
            text += number;
            substituted = true;
            ++i;
        }
        else
            text += source[i];
    }
    return uString(text.c_str());
}

XListRect LayOutCheckbox(const XListRect& cell, bool hasText, int boxSize)
{
    const int side = boxSize > 0 ? boxSize : std::max(cell.Height() - 1, 0);
    XListRect box;
    box.left = hasText ? cell.left + 9 : cell.left + cell.Width() / 2 - side / 2 - 1;
    box.top = cell.top + (cell.Height() - 1 - side) / 2;
    box.right = box.left + side;
    box.bottom = box.top + side;
    return box;
}
