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

// Menu 128: the main window's menu bar. Accelerator hints are not part of
// the texts: the menu builder adds them from accelerator table 128.
inline constexpr MenuItem kMenu128[] = {
    {MenuItemKind::Popup, 0, "&File"},
    {MenuItemKind::Popup, 0, "New ..."},
    {MenuItemKind::Command, 32770, "&New Subscription"},
    {MenuItemKind::Command, 149, "New &List"},
    {MenuItemKind::Command, 151, "New &Download"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 148, "New Folder"},
    {MenuItemKind::Command, 147, "New Channel"},
    {MenuItemKind::EndPopup},
    {MenuItemKind::Command, 32785, "&Open URL..."},
    {MenuItemKind::Command, 129, "&Save"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 57607, "&Print..."},
    {MenuItemKind::Command, 57606, "P&rint Setup..."},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 32771, "&Import"},
    {MenuItemKind::Command, 32772, "&Export"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 57665, "E&xit"},
    {MenuItemKind::EndPopup},
    {MenuItemKind::Popup, 0, "&Edit"},
    {MenuItemKind::Command, 57643, "&Undo"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 57635, "Cu&t"},
    {MenuItemKind::Command, 57634, "&Copy"},
    {MenuItemKind::Command, 57637, "&Paste"},
    {MenuItemKind::Command, 32774, "Delete"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 136, "Preferences..."},
    {MenuItemKind::EndPopup},
    {MenuItemKind::Popup, 0, "&View"},
    {MenuItemKind::Command, 59392, "&Toolbar"},
    {MenuItemKind::Command, 59393, "&Status Bar"},
    {MenuItemKind::Command, 252, "Browser Bar"},
    {MenuItemKind::Command, 57653, "S&plit"},
    {MenuItemKind::EndPopup},
    {MenuItemKind::Popup, 0, "Tools"},
    {MenuItemKind::Command, 240, "Language"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 32776, "Refresh Now"},
    {MenuItemKind::Command, 32791, "Download Now"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 32792, "&Find ... "},
    {MenuItemKind::Command, 216, "&Browse ..."},
    {MenuItemKind::Separator},
    {MenuItemKind::Popup, 0, "Show Media"},
    {MenuItemKind::Command, 160, "Library Folder"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 161, "My Music"},
    {MenuItemKind::Command, 162, "My Movie"},
    {MenuItemKind::EndPopup},
    {MenuItemKind::Command, 159, "Download Manager"},
    {MenuItemKind::Command, 243, "BitTorrent Manager"},
    {MenuItemKind::EndPopup},
    {MenuItemKind::Popup, 0, "&Help"},
    {MenuItemKind::Command, 223, "Frequent Ask Question"},
    {MenuItemKind::Command, 153, "Check for Update ..."},
    {MenuItemKind::Command, 154, "Browse Kestrova Central"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 57664, "&About Kestrova..."},
    {MenuItemKind::EndPopup},
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

// Menus 210 and 211: an item-list row's menu, without and with the commands
// for the item's attachment (plain and stream items get 210).
inline constexpr MenuItem kMenu210[] = {
    {MenuItemKind::Popup, 0, "Item"},
    {MenuItemKind::Command, 212, "Display Original Website"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 241, "Archive This Item"},
    {MenuItemKind::Command, 213, "Delete This Item"},
    {MenuItemKind::EndPopup},
};

inline constexpr MenuItem kMenu211[] = {
    {MenuItemKind::Popup, 0, "Item"},
    {MenuItemKind::Command, 212, "Display Original Website"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 242, "Download Attachment Now"},
    {MenuItemKind::Command, 209, "Download Attachment Later"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 241, "Archive This Item"},
    {MenuItemKind::Command, 213, "Delete This Item"},
    {MenuItemKind::EndPopup},
};

// Menu 222: a row's menu in the download manager panel.
inline constexpr MenuItem kMenu222[] = {
    {MenuItemKind::Popup, 0, "Download"},
    {MenuItemKind::Command, 240, "Show File Location"},
    {MenuItemKind::Command, 236, "Launch File"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 239, "Start Download"},
    {MenuItemKind::Command, 237, "Stop Download"},
    {MenuItemKind::Command, 207, "Cancel Download"},
    {MenuItemKind::Separator},
    {MenuItemKind::Command, 208, "Delete from List"},
    {MenuItemKind::EndPopup},
};

struct MenuTable
{
    int id;
    std::span<const MenuItem> items;
};

inline constexpr MenuTable kMenus[] = {
    {128, kMenu128},
    {156, kMenu156},
    {210, kMenu210},
    {211, kMenu211},
    {222, kMenu222},
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
