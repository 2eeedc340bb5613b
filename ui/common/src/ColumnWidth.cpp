#include "common/ColumnWidth.h"

#include <algorithm>
#include <wx/display.h>
#include <wx/listctrl.h>
#include <wx/settings.h>
#include <wx/window.h>

namespace ui
{
namespace
{
// A header draws its text inside a margin on each side, a cell inside a
// smaller one, and a separator line: both cut a text narrower than this.
constexpr int kTextPadding = 14;
// The room a window as wide as the screen leaves the window manager's frame.
constexpr int kScreenMargin = 80;
} // namespace

int ColumnWidthFor(const wxWindow& font, int width, const std::vector<wxString>& texts, int extra)
{
    for (const wxString& text : texts)
    {
        if (!text.empty())
            width = std::max(width, font.GetTextExtent(text).x + kTextPadding + extra);
    }
    return width;
}

void FitListColumn(wxListCtrl& list, int column, const std::vector<wxString>& cells)
{
    wxListItem header;
    header.SetMask(wxLIST_MASK_TEXT);
    if (!list.GetColumn(column, header))
        return;
    std::vector<wxString> texts = cells;
    texts.push_back(header.GetText());
    const int width = list.GetColumnWidth(column);
    const int fitted = ColumnWidthFor(list, width, texts);
    if (fitted > width)
        list.SetColumnWidth(column, fitted);
}

void WidenToShowColumns(wxWindow& window, const wxWindow& list, int columnsWidth)
{
    // A full list shows a vertical scroll bar beside the columns.
    const int missing =
        columnsWidth + wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, &list) - list.GetClientSize().x;
    if (missing <= 0)
        return;
    const int screen = wxDisplay(&window).GetClientArea().width - kScreenMargin;
    const wxSize size = window.GetSize();
    window.SetSize(std::max(std::min(size.x + missing, screen), size.x), size.y);
    window.Layout();
}
} // namespace ui
