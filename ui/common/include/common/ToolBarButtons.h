#pragma once

class wxToolBar;

namespace ui
{
/// Adds the buttons of a tool-bar table (resources/ToolBars.h) to the bar,
/// each with its 16 by 16 image, its tip and its command's prompt, which the
/// status bar shows while the pointer is on it.
void AddToolButtons(wxToolBar& bar, int toolBarId);

/// Gives the buttons of the table that the bar holds their tips and prompts
/// again, in the interface language now current.
void ReadToolTexts(wxToolBar& bar, int toolBarId);
} // namespace ui
