#include "mainwindow/MenuBuilder.h"

#include "Menus.h"

namespace ui
{
namespace
{
struct StockCommand
{
    int commandId;
    int wxId;
};
const StockCommand kStockCommands[] = {
    {57664, wxID_ABOUT},
    {57665, wxID_EXIT},
};

wxString FromUtf8(std::string_view text)
{
    return wxString::FromUTF8(text.data(), text.size());
}

// Appends items[position...] up to the matching EndPopup; returns the
// position after it.
size_t AppendMenuItems(wxMenu& menu, std::span<const resources::MenuItem> items, size_t position)
{
    using resources::MenuItemKind;
    while (position < items.size())
    {
        const resources::MenuItem& item = items[position++];
        switch (item.kind)
        {
        case MenuItemKind::Command:
            menu.Append(MenuCommandId(item.id), FromUtf8(item.text));
            break;
        case MenuItemKind::Separator:
            menu.AppendSeparator();
            break;
        case MenuItemKind::Popup:
        {
            auto* subMenu = new wxMenu;
            position = AppendMenuItems(*subMenu, items, position);
            menu.AppendSubMenu(subMenu, FromUtf8(item.text));
            break;
        }
        case MenuItemKind::EndPopup:
            return position;
        }
    }
    return position;
}
} // namespace

int MenuCommandId(int commandId)
{
    for (const StockCommand& stock : kStockCommands)
    {
        if (stock.commandId == commandId)
            return stock.wxId;
    }
    return commandId;
}

std::unique_ptr<wxMenu> BuildFirstSubMenu(int menuId)
{
    std::span<const resources::MenuItem> items = resources::FindMenu(menuId);
    for (size_t i = 0; i < items.size(); ++i)
    {
        if (items[i].kind == resources::MenuItemKind::Popup)
        {
            auto menu = std::make_unique<wxMenu>();
            AppendMenuItems(*menu, items, i + 1);
            return menu;
        }
    }
    return nullptr;
}
} // namespace ui
