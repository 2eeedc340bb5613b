#pragma once

#include <span>
#include <string_view>

// Menus as data: each table lists its entries in order, a pop-up's entries
// between its Popup and EndPopup lines.
namespace resources
{
enum class MenuItemKind
{
    Command,
    Separator,
    Popup,
    EndPopup,
};

struct MenuItem
{
    MenuItemKind kind;
    int id = 0;
    std::string_view text = {};
};

// Menu 156: the notification-area icon's menu.
inline constexpr MenuItem kMenu156[] = {
    {MenuItemKind::Popup, 0, "Tray"},
    {MenuItemKind::Command, 157, "Restore"},
    {MenuItemKind::Popup, 0, "Show Library"},
    {MenuItemKind::Command, 160, "Library Folder"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 161, "My Music"},
    {MenuItemKind::Command, 162, "My Movie"},
    {MenuItemKind::EndPopup},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 158, "Preference"},
    {MenuItemKind::Command, 159, "Download Manager"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 57664, "About Kestrova"},
    {MenuItemKind::Command, 57665, "Exit"},
    {MenuItemKind::EndPopup},
};

struct MenuTable
{
    int id;
    std::span<const MenuItem> items;
};

inline constexpr MenuTable kMenus[] = {
    {156, kMenu156},
};

/// The entries of a menu; empty when there is no menu of that id.
constexpr std::span<const MenuItem> FindMenu(int id)
{
    for (const MenuTable& menu : kMenus)
    {
        if (menu.id == id)
            return menu.items;
    }
    return {};
}
} // namespace resources
