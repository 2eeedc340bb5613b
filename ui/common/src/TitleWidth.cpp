#include "common/TitleWidth.h"

#include <algorithm>
#include <wx/display.h>
#include <wx/toplevel.h>

namespace ui
{
namespace
{
// The icon, minimise, maximise and close: each about a square two lines of
// text high, with the bar's padding.
constexpr int kTitleBarSquares = 4;
constexpr int kSquareInLines = 2;
} // namespace

int TitleFittingClientWidth(const wxTopLevelWindow& window)
{
    const wxString title = window.GetTitle();
    if (title.empty())
        return 0;
    const wxFont bold = window.GetFont().Bold();
    int width = 0;
    int height = 0;
    window.GetTextExtent(title, &width, &height, nullptr, nullptr, &bold);
    const int wanted = width + kTitleBarSquares * kSquareInLines * height;
    const int frame = window.GetSize().x - window.GetClientSize().x;
    const int screen = wxDisplay(&window).GetClientArea().width - frame;
    return std::min(wanted, screen);
}
} // namespace ui
