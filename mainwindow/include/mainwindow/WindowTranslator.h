#pragma once

class wxMenu;
class wxWindow;

namespace ui
{
/// Puts the texts of a window and all its children (title, labels, buttons,
/// boxes, radio items, book pages, list columns, tips) into the interface
/// language. Texts without a translation stay as they are.
void TranslateWindow(wxWindow* window);

/// The same for a menu's entries and sub-menus (their keys stay).
void TranslateMenu(wxMenu* menu);

/// From now on every dialog, and every other top-level window when it is
/// first shown, and every menu when it opens, is translated before the user
/// sees it: windows need no code of their own for it. Safe to call more than once. UI thread.
void InstallWindowTranslator();
} // namespace ui
