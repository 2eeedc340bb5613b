#include "common/MenuBuilder.h"

#include "Accelerators.h"
#include "Menus.h"
#include "StringTable.h"
#include "foundation/uTranslation.h"

#include <algorithm>
#include <string_view>

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
    {57664, wxID_ABOUT}, {57665, wxID_EXIT}, {57635, wxID_CUT},   {57634, wxID_COPY},
    {57637, wxID_PASTE}, {57643, wxID_UNDO}, {57607, wxID_PRINT}, {57606, wxID_PRINT_SETUP},
};

// Command ids from 32767 up: the user commands (0x8000 + n) and the
// framework's (0xE000 + n), each moved into room that no command uses (the
// language entries sit at 0x6F00 to 0x6FFF).
constexpr int kUserCommands = 0x8000;
constexpr int kUserCommandsMoved = 0x6000;
constexpr int kUserRangeSize = 0x0100;
constexpr int kFrameworkCommands = 0xE000;
constexpr int kFrameworkCommandsMoved = 0x7000;
constexpr int kFrameworkRangeSize = 0x0FFF;

wxString FromUtf8(std::string_view text)
{
    return wxString::FromUTF8(text.data(), text.size());
}

// The entries that show whether something is shown: the bars.
bool IsCheckCommand(int command)
{
    return command == 59392 || command == 59393 || command == 252;
}

// The key a bare Delete press would send; it belongs to the panes' own key handling.
bool IsBareDelete(std::string_view keys)
{
    return keys == "Delete";
}

wxString MenuLabel(const resources::MenuItem& item, std::span<const resources::Accelerator> accelerators)
{
    wxString label = FromUtf8(uTr(item.text));
    for (const resources::Accelerator& accelerator : accelerators)
    {
        if (accelerator.command == item.id && !IsBareDelete(accelerator.keys))
            return label + "\t" + FromUtf8(accelerator.keys);
    }
    return label;
}

// Appends items[position...] up to the matching EndPopup; returns the
// position after it.
size_t AppendMenuItems(wxMenu& menu, std::span<const resources::MenuItem> items, size_t position,
                       std::span<const resources::Accelerator> accelerators)
{
    using resources::MenuItemKind;
    while (position < items.size())
    {
        const resources::MenuItem& item = items[position++];
        switch (item.kind)
        {
        case MenuItemKind::Command:
            // The status bar shows the command's prompt while the entry is highlighted.
            menu.Append(MenuCommandId(item.id), MenuLabel(item, accelerators),
                        FromUtf8(resources::CommandPrompt(item.id)),
                        IsCheckCommand(item.id) ? wxITEM_CHECK : wxITEM_NORMAL);
            break;
        case MenuItemKind::Separator:
            menu.AppendSeparator();
            break;
        case MenuItemKind::Popup:
        {
            auto* subMenu = new wxMenu;
            position = AppendMenuItems(*subMenu, items, position, accelerators);
            menu.AppendSubMenu(subMenu, FromUtf8(uTr(item.text)));
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
    if (commandId >= kUserCommands && commandId < kUserCommands + kUserRangeSize)
        return commandId - kUserCommands + kUserCommandsMoved;
    if (commandId >= kFrameworkCommands && commandId < kFrameworkCommands + kFrameworkRangeSize)
        return commandId - kFrameworkCommands + kFrameworkCommandsMoved;
    return commandId;
}

int ResourceCommandId(int wxId)
{
    for (const StockCommand& stock : kStockCommands)
    {
        if (stock.wxId == wxId)
            return stock.commandId;
    }
    if (wxId >= kUserCommandsMoved && wxId < kUserCommandsMoved + kUserRangeSize)
        return wxId - kUserCommandsMoved + kUserCommands;
    if (wxId >= kFrameworkCommandsMoved && wxId < kFrameworkCommandsMoved + kFrameworkRangeSize)
        return wxId - kFrameworkCommandsMoved + kFrameworkCommands;
    return wxId;
}

std::unique_ptr<wxMenu> BuildFirstSubMenu(int menuId)
{
    std::span<const resources::MenuItem> items = resources::FindMenu(menuId);
    for (size_t i = 0; i < items.size(); ++i)
    {
        if (items[i].kind == resources::MenuItemKind::Popup)
        {
            auto menu = std::make_unique<wxMenu>();
            AppendMenuItems(*menu, items, i + 1, resources::FindAccelerators(menuId));
            return menu;
        }
    }
    return nullptr;
}

std::unique_ptr<wxMenuBar> BuildMenuBar(int menuId)
{
    std::span<const resources::MenuItem> items = resources::FindMenu(menuId);
    if (items.empty())
        return nullptr;
    std::span<const resources::Accelerator> accelerators = resources::FindAccelerators(menuId);
    auto bar = std::make_unique<wxMenuBar>();
    size_t position = 0;
    while (position < items.size())
    {
        const resources::MenuItem& item = items[position++];
        if (item.kind != resources::MenuItemKind::Popup)
            continue;
        auto* menu = new wxMenu;
        position = AppendMenuItems(*menu, items, position, accelerators);
        bar->Append(menu, FromUtf8(uTr(item.text)));
    }
    return bar;
}

std::vector<wxAcceleratorEntry> AcceleratorsOutsideMenu(int tableId, int menuId)
{
    std::span<const resources::MenuItem> items = resources::FindMenu(menuId);
    std::span<const resources::Accelerator> accelerators = resources::FindAccelerators(tableId);
    std::vector<wxAcceleratorEntry> entries;
    for (const resources::Accelerator& accelerator : accelerators)
    {
        if (IsBareDelete(accelerator.keys))
            continue;
        // A menu entry's label carries the first keys of its command.
        bool inMenu = std::any_of(items.begin(), items.end(),
                                  [&](const resources::MenuItem& item)
                                  {
                                      return item.kind == resources::MenuItemKind::Command &&
                                             MenuLabel(item, accelerators).AfterFirst('\t') ==
                                                 FromUtf8(accelerator.keys);
                                  });
        if (inMenu)
            continue;
        wxAcceleratorEntry entry;
        if (entry.FromString(FromUtf8(accelerator.keys)))
        {
            entry.Set(entry.GetFlags(), entry.GetKeyCode(), MenuCommandId(accelerator.command));
            entries.push_back(entry);
        }
    }
    return entries;
}
} // namespace ui
