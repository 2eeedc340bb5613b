#pragma once

namespace ui
{
/// From now on no tool tip shows while a menu is open: a tip shown when a
/// menu opens goes, and none (of ours, the tool bars' or the web view's)
/// comes over it until the last menu closed. Without this the toolkit keeps
/// answering the pointer over the windows around an open menu with their
/// tips, drawn above the menu. Call once the toolkit runs, from the program
/// and from the window tests alike; further calls do nothing. UI thread only.
void KeepToolTipsOffMenus();
} // namespace ui
