#pragma once

#include <memory>
#include <wx/menu.h>

namespace ui
{
/// The id a command carries in wx menus and events. wx menu ids stop below
/// 32767, so the framework's own commands above it (About 57664, Exit 57665)
/// become wx's stock ids; every other id stays as it is.
int MenuCommandId(int commandId);

/// The first pop-up of a menu table of resources/Menus.h as a wx menu; null
/// when there is no such menu or it has no pop-up.
std::unique_ptr<wxMenu> BuildFirstSubMenu(int menuId);
} // namespace ui
