#include "common/ColumnWidth.h"

#include "foundation/uTranslation.h"

#include <algorithm>
#include <wx/window.h>

namespace ui
{
namespace
{
// A header draws its text inside a margin on each side, a cell inside a
// smaller one, and a separator line: both cut a text narrower than this.
constexpr int kTextPadding = 14;
} // namespace

int ColumnWidthFor(const wxWindow& list, int width, const std::vector<wxString>& texts)
{
    if (uGetCatalog() == nullptr)
        return width;
    for (const wxString& text : texts)
    {
        if (!text.empty())
            width = std::max(width, list.GetTextExtent(text).x + kTextPadding);
    }
    return width;
}
} // namespace ui
