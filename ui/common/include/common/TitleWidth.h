#pragma once

class wxTopLevelWindow;

namespace ui
{
/// The least client width at which a window manager's title bar shows the
/// window's whole title: the title in the bold face title bars commonly use,
/// beside the window's icon and its three buttons. The window manager draws
/// the bar, and a window sized only for its contents loses the middle of a
/// long title (a translated one, most often) to an ellipsis. Never more than
/// the screen the window is on holds. UI thread only.
int TitleFittingClientWidth(const wxTopLevelWindow& window);
} // namespace ui
