#pragma once

#include <vector>
#include <wx/string.h>

class wxWindow;

namespace ui
{
/// The width of a list column that is `width` pixels wide in the program's
/// own language: `width` itself there, as the layout was drawn; in a
/// translated interface at least what each of `texts` (its header, and the
/// cells that must show whole) takes in the list's font with the padding the
/// list draws around a text, for translations run longer. UI thread only.
int ColumnWidthFor(const wxWindow& list, int width, const std::vector<wxString>& texts);
} // namespace ui
