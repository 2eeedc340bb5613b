#pragma once

#include <memory>
#include <vector>
#include <wx/accel.h>
#include <wx/menu.h>

namespace ui
{
/// The id a command carries in wx menus and events. wx menu ids stop below
/// 32767. The framework's own commands above it that wx knows (About, Exit,
/// Cut, Copy, Paste, Undo, Print, Print Setup) become wx's stock ids, so that
/// text fields answer them; the other ids from 32767 up move into free room
/// below it (0x8000 + n to 0x6000 + n for n below 256, 0xE000 + n to
/// 0x7000 + n). Every other
/// id stays as it is.
int MenuCommandId(int commandId);
/// The command id back from an id of a wx menu or event.
int ResourceCommandId(int wxId);

/// The first pop-up of a menu table of resources/Menus.h as a wx menu; null
/// when there is no such menu or it has no pop-up.
std::unique_ptr<wxMenu> BuildFirstSubMenu(int menuId);

/// A menu table as a menu bar, one menu per top-level pop-up. An entry whose
/// command has keys in accelerator table menuId shows its first keys after a
/// tab, and so answers them; a bare Delete is left out, as it would take the
/// key from the panes that have no use for it. Null when there is no such menu.
std::unique_ptr<wxMenuBar> BuildMenuBar(int menuId);

/// The entries of accelerator table tableId whose command is in no menu
/// entry of menu menuId, for the window's own accelerator table. Bare Delete
/// is left out here too.
std::vector<wxAcceleratorEntry> AcceleratorsOutsideMenu(int tableId, int menuId);
} // namespace ui
