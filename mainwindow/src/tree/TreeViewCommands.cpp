// The tree view's context menus, their commands, removal, and drag and drop.
#include "TreeMenus.h"
#include "common/MenuBuilder.h"
#include "common/Messages.h"
#include "common/UserPrompt.h"
#include "mainwindow/TreeViewEx.h"

#include <wx/menu.h>
#include <wx/utils.h>

using namespace subscription;

namespace
{
constexpr int kMenuOfKind[] = {194, 187, 214, 181, 180}; // by node kind

enum Command
{
    kRefreshFeed = 133,
    kUnsubscribe = 134,
    kFeedProperties = 135,
    kOpenItem = 137,
    kCloseItem = 138,
    kNewFolder = 139,
    kRename = 140,
    kRemove = 141,
    kNewChannel = 142,
    kOpenList = 143,
    kNewList = 144,
    kRemoveList = 145,
    kCompactList = 146,
    kAddSubscription = 150,
    kNewWatch = 155,
    kRefreshWatch = 176,
    kWatchProperties = 215,
    kViewSource = 217,
    kMarkAllRead = 32768,
    kRemoveOutdated = 32795,
};

constexpr int kCommands[] = {kRefreshFeed,     kUnsubscribe,     kFeedProperties, kOpenItem,
                             kCloseItem,       kNewFolder,       kRename,         kRemove,
                             kNewChannel,      kOpenList,        kNewList,        kRemoveList,
                             kCompactList,     kAddSubscription, kNewWatch,       kRefreshWatch,
                             kWatchProperties, kViewSource,      kMarkAllRead,    kRemoveOutdated};

// Messages that carry the remembered item, by command.
struct ItemMessage
{
    int command;
    unsigned message;
};
constexpr ItemMessage kItemMessages[] = {
    {kOpenList, WM_APP_OPENLIST},
    {kNewList, WM_APP_NEWLIST},
    {kRemoveList, WM_APP_REMOVELIST},
    {kCompactList, WM_APP_COMPACTLIST},
    {kNewWatch, WM_APP_NEWWATCH},
    {kRefreshWatch, WM_APP_REFRESHWATCH},
    {kWatchProperties, WM_APP_WATCHPROPERTIES},
    {kMarkAllRead, WM_APP_MARKALLREAD},
    {kRemoveOutdated, WM_APP_REMOVEOUTDATED},
};

// Messages that carry nothing, by command.
constexpr ItemMessage kPlainMessages[] = {
    {kFeedProperties, WM_APP_FEEDPROPERTIES},
    {kNewFolder, WM_APP_NEWFOLDER},
    {kAddSubscription, WM_APP_ADDSUBSCRIPTION},
};

constexpr int kCannotRemove = 3017;
constexpr int kConfirmRemove = 3016;
constexpr int kCannotRename = 3026;

// The popup-th pop-up of a tree menu as a wx menu; null when there is none.
std::unique_ptr<wxMenu> BuildPopup(int menuId, int popup)
{
    using resources::MenuItemKind;
    std::span<const resources::MenuItem> items = resources::FindTreeMenu(menuId);
    int seen = -1;
    std::unique_ptr<wxMenu> menu;
    for (const resources::MenuItem& item : items)
    {
        if (item.kind == MenuItemKind::Popup && ++seen == popup)
        {
            menu = std::make_unique<wxMenu>();
            continue;
        }
        if (!menu)
            continue;
        if (item.kind == MenuItemKind::EndPopup)
            break;
        if (item.kind == MenuItemKind::Separator)
            menu->AppendSeparator();
        else if (item.kind == MenuItemKind::Command)
            menu->Append(ui::MenuCommandId(item.id), wxString::FromUTF8(item.text.data(), item.text.size()));
    }
    return menu;
}

// A drop is a copy when Ctrl, and no other modifier, is held.
bool IsExactlyCtrlHeld()
{
    return wxGetKeyState(WXK_CONTROL) && !wxGetKeyState(WXK_SHIFT) && !wxGetKeyState(WXK_ALT);
}
} // namespace

// ---- context menus

bool CTreeViewEx::ChooseContextMenu(const wxTreeItemId& item, MenuChoice& choice) const
{
    const CNamedValue* record = GetRecord(item);
    if (record == nullptr || record->value > kFeed)
        return false;
    uint16_t kind = record->value;
    choice.menuId = kMenuOfKind[kind];
    bool openable = kind == kChannel || kind == kFolder || kind == kList;
    choice.popup = openable && !IsExpanded(item) && GetFirstChildItem(item).IsOk() ? 1 : 0;
    return true;
}

std::unique_ptr<wxMenu> CTreeViewEx::BuildContextMenu(const wxTreeItemId& item) const
{
    MenuChoice choice;
    if (!ChooseContextMenu(item, choice))
        return nullptr;
    return BuildPopup(choice.menuId, choice.popup);
}

void CTreeViewEx::OnRClick(const wxPoint& point)
{
    int flags = 0;
    wxTreeItemId item = HitTest(point, flags);
    m_remembered = item.IsOk() && item != GetRootItem() ? item : wxTreeItemId();
    // Selected too, on purpose: otherwise the menu acts on an item the highlight does not show.
    if (m_remembered.IsOk() && GetSelection() != m_remembered)
        SelectItem(m_remembered);
    std::unique_ptr<wxMenu> menu = BuildContextMenu(m_remembered);
    if (menu)
        PopupMenu(menu.get(), point);
}

void CTreeViewEx::OnMenuCommand(wxCommandEvent& event)
{
    for (int command : kCommands)
    {
        if (ui::MenuCommandId(command) == event.GetId())
        {
            RunCommand(command);
            return;
        }
    }
    event.Skip();
}

void CTreeViewEx::RunCommand(int command)
{
    if (command == kNewChannel)
    {
        SendToFrame(WM_APP_NEWCHANNEL, 0, 0);
        return;
    }
    wxTreeItemId item = m_remembered;
    if (!item.IsOk())
        return;
    for (const ItemMessage& entry : kItemMessages)
    {
        if (entry.command == command)
        {
            SendToFrame(entry.message, 0, ItemToParam(item));
            return;
        }
    }
    for (const ItemMessage& entry : kPlainMessages)
    {
        if (entry.command == command)
        {
            SendToFrame(entry.message, 0, 0);
            return;
        }
    }
    switch (command)
    {
    case kRefreshFeed:
        if (item != GetSelection())
            SelectItem(item);
        SendToFrame(WM_APP_REFRESHFEED, 0, 0);
        break;
    case kUnsubscribe:
        SendToFrame(WM_APP_UNSUBSCRIBE, 0, 0);
        ForgetRememberedItem();
        break;
    case kOpenItem:
        Expand(item);
        break;
    case kCloseItem:
        Collapse(item);
        break;
    case kRename:
        // The menu is still closing and gives the focus back to the tree
        // afterwards, which would end an edit begun now at once.
        CallAfter([this] { OnRename(); });
        break;
    case kRemove:
        OnRemove();
        break;
    case kViewSource:
        if (CNamedValue* record = GetRecord(item))
            SendToFrame(WM_APP_VIEWSOURCE, 0, reinterpret_cast<std::intptr_t>(&record->text));
        break;
    default:
        break;
    }
}

// ---- renaming and removing

void CTreeViewEx::OnRename()
{
    if (!m_remembered.IsOk())
        return;
    SetFocus();
    if (EditLabel(m_remembered) == nullptr)
        ui::ShowPrompt(this, kCannotRename, wxOK | wxICON_INFORMATION, GetLabel(m_remembered));
}

bool CTreeViewEx::HasChildLabel(const wxTreeItemId& item, const uString& label) const
{
    wxTreeItemId parent = GetItemParent(item);
    if (!parent.IsOk())
        return false;
    wxTreeItemIdValue cookie;
    for (wxTreeItemId child = GetFirstChild(parent, cookie); child.IsOk();
         child = GetNextChild(parent, cookie))
    {
        if (GetLabel(child).equalsNoCase(label))
            return true;
    }
    return false;
}

void CTreeViewEx::OnRemove()
{
    wxTreeItemId item = m_remembered;
    if (!IsKind(item, kChannel) && !IsKind(item, kFolder) && !IsKind(item, kWatch))
        return;
    if (item == GetFirstTopLevelItem())
    {
        ui::ShowPrompt(this, kCannotRemove, wxOK | wxICON_INFORMATION, GetLabel(item));
        return;
    }
    if (ui::ShowPrompt(this, kConfirmRemove, wxYES_NO | wxICON_QUESTION, GetLabel(item)) != wxYES)
        return;
    ReleaseItemRecords(item, true);
    DeleteItemQuietly(item);
}

void CTreeViewEx::ReleaseItemRecords(const wxTreeItemId& item, bool reinsert)
{
    if (!item.IsOk())
        return;
    if (reinsert && IsKind(item, kList))
        AppendNode(GetFirstTopLevelItem(), kList, GetLabel(item), GetRecord(item)->text);
    if (item != GetRootItem())
    {
        delete GetItemData(item);
        SetItemData(item, nullptr);
    }
    wxTreeItemIdValue cookie;
    for (wxTreeItemId child = GetFirstChild(item, cookie); child.IsOk(); child = GetNextChild(item, cookie))
        ReleaseItemRecords(child, reinsert);
}

// ---- drag and drop

void CTreeViewEx::OnBeginDrag(wxTreeEvent& event)
{
    if (m_dragging || !event.GetItem().IsOk())
        return;
    m_dragging = true;
    m_dragged = event.GetItem();
    SelectItem(m_dragged);
    event.Allow();
}

void CTreeViewEx::OnEndDrag(wxTreeEvent& event)
{
    if (!m_dragging)
        return;
    m_dragging = false;
    wxTreeItemId source = m_dragged;
    m_dragged = wxTreeItemId();
    if (source.IsOk() && event.GetItem().IsOk())
        DropItem(source, event.GetItem(), IsExactlyCtrlHeld());
}

bool CTreeViewEx::IsSelfOrDescendant(const wxTreeItemId& item, const wxTreeItemId& ancestor) const
{
    for (wxTreeItemId step = item; step.IsOk(); step = GetParentItem(step))
    {
        if (step == ancestor)
            return true;
    }
    return false;
}

wxTreeItemId CTreeViewEx::InsertCopy(const wxTreeItemId& parent, const wxTreeItemId& after,
                                     const wxTreeItemId& source)
{
    return after.IsOk() ? InsertItem(parent, after, GetItemText(source))
                        : AppendItem(parent, GetItemText(source));
}

void CTreeViewEx::DropItem(const wxTreeItemId& source, const wxTreeItemId& target, bool copy)
{
    const CNamedValue* from = GetRecord(source);
    const CNamedValue* onto = GetRecord(target);
    // A branch dropped into itself would have to contain its own copy.
    if (from == nullptr || onto == nullptr || IsSelfOrDescendant(target, source))
        return;
    uint16_t sourceKind = from->value;
    uint16_t targetKind = onto->value;
    bool targetHoldsItems = targetKind == kChannel || targetKind == kFolder;

    wxTreeItemId newItem;
    if ((sourceKind == kFolder || sourceKind == kWatch || sourceKind == kList) && targetHoldsItems)
    {
        newItem = InsertCopy(target, wxTreeItemId(), source);
    }
    else if (sourceKind == kFeed && (targetKind == kList || targetKind == kFeed))
    {
        wxTreeItemId targetList = targetKind == kFeed ? GetParentItem(target) : target;
        const CNamedValue* toList = GetRecord(targetList);
        const CNamedValue* fromList = GetRecord(GetParentItem(source));
        if (toList == nullptr || fromList == nullptr || fromList->text == toList->text)
            return;
        CTreeDropRequest request;
        request.url = from->text;
        if (!copy)
            request.sourceDatabase = fromList->text;
        SendToFrame(WM_APP_MOVEFEED, ItemToParam(targetList), reinterpret_cast<std::intptr_t>(&request));
        // Only a feed that arrived in the target list may leave its source.
        if (!copy && request.moved)
        {
            FreeTreeItemData(source);
            DeleteItemQuietly(source);
        }
        return;
    }
    else if (sourceKind == kChannel && targetKind == kChannel)
    {
        newItem = InsertCopy(GetRootItem(), target, source);
    }
    else if (sourceKind != kFeed && targetKind != kFeed && GetItemParent(source) == GetItemParent(target))
    {
        newItem = InsertCopy(GetItemParent(target), target, source);
    }
    else
    {
        return;
    }

    CopyBranch(newItem, source, !copy);
    if (!copy)
    {
        FreeTreeItemData(source);
        DeleteItemQuietly(source);
    }
}

void CTreeViewEx::CopyBranch(const wxTreeItemId& newItem, const wxTreeItemId& source, bool move)
{
    const CNamedValue* record = GetRecord(source);
    if (record == nullptr)
        return;
    SetRecord(newItem, record->value, record->text);
    SetImages(newItem, GetItemImage(source, wxTreeItemIcon_Normal),
              GetItemImage(source, wxTreeItemIcon_Selected));
    if (record->value == kList)
    {
        // The feeds stay in the database; they are read again when the copy opens.
        if (GetFirstChildItem(source).IsOk())
            AppendPlaceholder(newItem);
        if (move)
            FreeTreeItemData(source);
        return;
    }
    wxTreeItemIdValue cookie;
    for (wxTreeItemId child = GetFirstChild(source, cookie); child.IsOk();
         child = GetNextChild(source, cookie))
        CopyBranch(AppendItem(newItem, GetItemText(child)), child, move);
}
