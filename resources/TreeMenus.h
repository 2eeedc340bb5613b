#pragma once

#include "Menus.h"

#include <span>

// The context menus of the subscription tree, one table per node kind. A
// menu's pop-ups are chosen by their index: the first offers the commands on
// the item, the second (for a closed channel, folder or list) opens it.
namespace resources
{
// Menu 194: a channel.
inline constexpr MenuItem kMenu194[] = {
    {MenuItemKind::Popup, 0, "process_channel"},
    {MenuItemKind::Command, 144, "Create New List"},
    {MenuItemKind::Command, 155, "Create New Watch"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 139, "Add Folder"},
    {MenuItemKind::Command, 138, "Close Channel"},
    {MenuItemKind::Command, 140, "Rename Channel"},
    {MenuItemKind::Command, 141, "Remove Channel"},
    {MenuItemKind::EndPopup},
    {MenuItemKind::Popup, 0, "open_channel"},
    {MenuItemKind::Command, 137, "Open Channel"},
    {MenuItemKind::EndPopup},
};

// Menu 187: a folder.
inline constexpr MenuItem kMenu187[] = {
    {MenuItemKind::Popup, 0, "process_folder"},
    {MenuItemKind::Command, 144, "Add New List"},
    {MenuItemKind::Command, 155, "Add New Watch"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 139, "Create Folder"},
    {MenuItemKind::Command, 138, "Close Folder"},
    {MenuItemKind::Command, 140, "Rename Folder"},
    {MenuItemKind::Command, 141, "Remove Folder"},
    {MenuItemKind::EndPopup},
    {MenuItemKind::Popup, 0, "open_folder"},
    {MenuItemKind::Command, 137, "Open Folder"},
    {MenuItemKind::EndPopup},
};

// Menu 214: a news watch.
inline constexpr MenuItem kMenu214[] = {
    {MenuItemKind::Popup, 0, "process_watch"},
    {MenuItemKind::Command, 176, "Refresh"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 141, "Remove"},
    {MenuItemKind::Command, 140, "Rename"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 215, "Properties"},
    {MenuItemKind::EndPopup},
};

// Menu 181: a list.
inline constexpr MenuItem kMenu181[] = {
    {MenuItemKind::Popup, 0, "process_access"},
    {MenuItemKind::Command, 150, "Add Subscription"},
    {MenuItemKind::Command, 32768, "Mark All Read"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 140, "Rename List"},
    {MenuItemKind::Command, 145, "Remove List"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 146, "Compact List"},
    {MenuItemKind::EndPopup},
    {MenuItemKind::Popup, 0, "open_access"},
    {MenuItemKind::Command, 143, "Open List"},
    {MenuItemKind::EndPopup},
};

// Menu 180: a feed.
inline constexpr MenuItem kMenu180[] = {
    {MenuItemKind::Popup, 0, "process_subscription"},
    {MenuItemKind::Command, 133, "Refresh"},
    {MenuItemKind::Command, 134, "Unsubscribe"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 32768, "Mark All Read"},
    {MenuItemKind::Command, 32795, "Remove All Outdated"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 217, "View Source..."},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 135, "Properties"},
    {MenuItemKind::EndPopup},
};

inline constexpr MenuTable kTreeMenus[] = {
    {194, kMenu194}, {187, kMenu187}, {214, kMenu214}, {181, kMenu181}, {180, kMenu180},
};

/// The entries of a tree menu; empty when there is no tree menu of that id.
constexpr std::span<const MenuItem> FindTreeMenu(int id)
{
    for (const MenuTable& menu : kTreeMenus)
    {
        if (menu.id == id)
            return menu.items;
    }
    return {};
}
} // namespace resources
