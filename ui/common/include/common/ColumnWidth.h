#pragma once

#include <vector>
#include <wx/string.h>

class wxWindow;
class wxListCtrl;

namespace ui
{
/// The width a list column shows whole in, in any interface language: at
/// least `width` (what the layout gives it, or what it has grown to), and
/// at least what each of `texts` (its header, and the widest texts its cells
/// are known to show) takes in `font`'s font with the padding a list draws
/// around a text, plus `extra` (an image beside the text). It only widens.
/// UI thread only.
int ColumnWidthFor(const wxWindow& font, int width, const std::vector<wxString>& texts, int extra = 0);

/// Widens a report list's column to its header and `cells` by
/// ColumnWidthFor; it never narrows it.
void FitListColumn(wxListCtrl& list, int column, const std::vector<wxString>& cells = {});

/// Widens `window` (a dialog at its laid-out size) so that `list`'s client
/// area is at least `columnsWidth` wide, as far as the screen allows.
void WidenToShowColumns(wxWindow& window, const wxWindow& list, int columnsWidth);
} // namespace ui
