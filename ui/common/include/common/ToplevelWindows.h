#pragma once

#include <vector>

namespace ui
{
/// The toolkit's top-level windows of this process (GtkWindow objects, as
/// `void*`: the window library reaches the toolkit only through wx, so the
/// list is looked up at run time); empty where there is no such list.
/// UI thread only.
std::vector<void*> ToplevelWindows();

/// Brings the shown windows that stand over `window` (its dialogs, theirs
/// in turn) back from minimised and up, the innermost on top.
void PresentWindowsOver(void* window);
} // namespace ui
