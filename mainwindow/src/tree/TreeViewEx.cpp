#include "mainwindow/TreeViewEx.h"

#include "common/MenuBuilder.h"
#include "common/Messages.h"
#include "mainwindow/FeedLabel.h"
#include "mainwindow/WindowMessage.h"

#include <wx/toplevel.h>

using namespace subscription;

namespace
{
constexpr int kDeleteCommand = 32774;

// The record an item owns: wx deletes it with the item.
class CTreeItemRecord : public wxTreeItemData
{
public:
    CTreeItemRecord(uint16_t kind, const uString& value) : record(value, kind) {}

    CNamedValue record;
};

struct KindImages
{
    int image;
    int selectedImage;
};

KindImages ImagesOfKind(uint16_t kind)
{
    switch (kind)
    {
    case kChannel:
        return {kImageChannel, kImageChannel};
    case kWatch:
        return {kImageWatch, kImageWatch};
    case kList:
        return {kImageList, kImageList};
    default: // folders, and feeds without a site icon
        return {kImageFolder, kImageFolderOpen};
    }
}

wxString ToWx(const uString& text)
{
    return wxString::FromUTF8(text.c_str());
}

void AppendNodes(const CTreeViewEx& tree, const wxTreeItemId& parent, std::vector<TreeNode>& nodes)
{
    wxTreeItemIdValue cookie;
    for (wxTreeItemId item = tree.GetFirstChild(parent, cookie); item.IsOk();
         item = tree.GetNextChild(parent, cookie))
    {
        const CNamedValue* record = tree.GetRecord(item);
        if (record == nullptr || record->value > kList)
            continue;
        TreeNode node;
        node.kind = record->value;
        node.label = tree.GetLabel(item);
        // A watch shows its unread matches in its label; they are counted
        // anew, and a stored count would become part of its title.
        if (node.kind == kWatch)
            node.label = StripUnreadCount(node.label);
        node.value = record->text;
        node.expanded = tree.IsExpanded(item);
        if (node.kind != kList)
            AppendNodes(tree, item, node.children);
        nodes.push_back(std::move(node));
    }
}
} // namespace

namespace subscription
{
std::intptr_t ItemToParam(const wxTreeItemId& item)
{
    return reinterpret_cast<std::intptr_t>(item.GetID());
}

wxTreeItemId ParamToItem(std::intptr_t param)
{
    return wxTreeItemId(reinterpret_cast<void*>(param));
}
} // namespace subscription

CTreeViewEx::CTreeViewEx(wxWindow* parent, wxWindowID id)
    : wxTreeCtrl(parent, id, wxDefaultPosition, wxDefaultSize,
                 wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_EDIT_LABELS | wxTR_HIDE_ROOT | wxTR_SINGLE)
{
    AddRoot(wxString());
    Bind(wxEVT_RIGHT_DOWN, &CTreeViewEx::OnRightDown, this);
    Bind(wxEVT_LEFT_DCLICK, &CTreeViewEx::OnDoubleClick, this);
    Bind(wxEVT_TREE_SEL_CHANGED, &CTreeViewEx::OnSelChanged, this);
    Bind(wxEVT_TREE_ITEM_EXPANDING, &CTreeViewEx::OnItemExpanding, this);
    Bind(wxEVT_TREE_BEGIN_DRAG, &CTreeViewEx::OnBeginDrag, this);
    Bind(wxEVT_TREE_END_DRAG, &CTreeViewEx::OnEndDrag, this);
    Bind(wxEVT_TREE_END_LABEL_EDIT, &CTreeViewEx::OnEndLabelEdit, this);
    Bind(wxEVT_TREE_DELETE_ITEM, &CTreeViewEx::OnDeleteItem, this);
    Bind(wxEVT_TREE_KEY_DOWN, &CTreeViewEx::OnKeyDown, this);
    Bind(wxEVT_MENU, &CTreeViewEx::OnMenuCommand, this);
    // Expanded states are kept in the tree file too.
    Bind(wxEVT_TREE_ITEM_EXPANDED, [this](wxTreeEvent& event) { NotifyChanged(), event.Skip(); });
    Bind(wxEVT_TREE_ITEM_COLLAPSED, [this](wxTreeEvent& event) { NotifyChanged(), event.Skip(); });
}

CTreeViewEx::~CTreeViewEx()
{
    m_changeHandler = nullptr;
    // The items go with the control; nobody is to hear of selection changes then.
    ++m_quietDeletes;
    DeleteAllItems();
}

// ---- items and records

CNamedValue* CTreeViewEx::GetRecord(const wxTreeItemId& item) const
{
    if (!item.IsOk())
        return nullptr;
    auto* data = static_cast<CTreeItemRecord*>(GetItemData(item));
    return data != nullptr ? &data->record : nullptr;
}

void CTreeViewEx::SetRecord(const wxTreeItemId& item, uint16_t kind, const uString& value)
{
    delete GetItemData(item);
    SetItemData(item, new CTreeItemRecord(kind, value));
}

bool CTreeViewEx::IsKind(const wxTreeItemId& item, uint16_t kind) const
{
    const CNamedValue* record = GetRecord(item);
    return record != nullptr && record->value == kind;
}

bool CTreeViewEx::IsPlaceholder(const wxTreeItemId& item) const
{
    return item.IsOk() && item != GetRootItem() && GetItemData(item) == nullptr;
}

wxTreeItemId CTreeViewEx::GetFirstTopLevelItem() const
{
    return GetFirstChildItem(GetRootItem());
}

wxTreeItemId CTreeViewEx::GetFirstChildItem(const wxTreeItemId& item) const
{
    if (!item.IsOk())
        return wxTreeItemId();
    wxTreeItemIdValue cookie;
    return GetFirstChild(item, cookie);
}

wxTreeItemId CTreeViewEx::GetParentItem(const wxTreeItemId& item) const
{
    if (!item.IsOk() || item == GetRootItem())
        return wxTreeItemId();
    wxTreeItemId parent = GetItemParent(item);
    return parent == GetRootItem() ? wxTreeItemId() : parent;
}

wxTreeItemId CTreeViewEx::AppendNode(const wxTreeItemId& parent, uint16_t kind, const uString& label,
                                     const uString& value)
{
    KindImages images = ImagesOfKind(kind);
    return AppendItem(parent.IsOk() ? parent : GetRootItem(), ToWx(label), images.image, images.selectedImage,
                      new CTreeItemRecord(kind, value));
}

wxTreeItemId CTreeViewEx::AppendPlaceholder(const wxTreeItemId& list)
{
    return AppendItem(list, wxString());
}

uString CTreeViewEx::GetLabel(const wxTreeItemId& item) const
{
    if (!item.IsOk())
        return uString();
    return uString(GetItemText(item).utf8_str().data());
}

void CTreeViewEx::SetLabel(const wxTreeItemId& item, const uString& label)
{
    SetItemText(item, ToWx(label));
}

void CTreeViewEx::SetImages(const wxTreeItemId& item, int image, int selectedImage)
{
    SetItemImage(item, image, wxTreeItemIcon_Normal);
    SetItemImage(item, selectedImage, wxTreeItemIcon_Selected);
}

void CTreeViewEx::DeleteItemQuietly(const wxTreeItemId& item)
{
    if (!item.IsOk() || item == GetRootItem())
        return;
    ++m_quietDeletes;
    Delete(item);
    --m_quietDeletes;
}

void CTreeViewEx::FreeTreeItemData(const wxTreeItemId& item)
{
    ReleaseItemRecords(item, false);
}

std::vector<TreeNode> CTreeViewEx::CollectNodes() const
{
    std::vector<TreeNode> nodes;
    AppendNodes(*this, GetRootItem(), nodes);
    return nodes;
}

// ---- changes

void CTreeViewEx::NotifyChanged()
{
    if (m_changeHandler)
        m_changeHandler();
}

void CTreeViewEx::SetItemText(const wxTreeItemId& item, const wxString& text)
{
    wxTreeCtrl::SetItemText(item, text);
    NotifyChanged();
}

void CTreeViewEx::SetItemData(const wxTreeItemId& item, wxTreeItemData* data)
{
    wxTreeCtrl::SetItemData(item, data);
    NotifyChanged();
}

void CTreeViewEx::Delete(const wxTreeItemId& item)
{
    wxTreeCtrl::Delete(item);
    NotifyChanged();
}

void CTreeViewEx::DeleteChildren(const wxTreeItemId& item)
{
    wxTreeCtrl::DeleteChildren(item);
    NotifyChanged();
}

wxTreeItemId CTreeViewEx::DoInsertItem(const wxTreeItemId& parent, size_t previous, const wxString& text,
                                       int image, int selectedImage, wxTreeItemData* data)
{
    wxTreeItemId item = wxTreeCtrl::DoInsertItem(parent, previous, text, image, selectedImage, data);
    NotifyChanged();
    return item;
}

wxTreeItemId CTreeViewEx::DoInsertAfter(const wxTreeItemId& parent, const wxTreeItemId& previous,
                                        const wxString& text, int image, int selectedImage,
                                        wxTreeItemData* data)
{
    wxTreeItemId item = wxTreeCtrl::DoInsertAfter(parent, previous, text, image, selectedImage, data);
    NotifyChanged();
    return item;
}

// ---- messages to the frame

long CTreeViewEx::SendToFrame(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    wxWindow* frame = wxGetTopLevelParent(this);
    if (frame == nullptr)
        return 0;
    return ui::SendWindowMessageResult(frame, message, wParam, lParam);
}

// ---- events

void CTreeViewEx::OnRightDown(wxMouseEvent& event)
{
    SetFocus();
    OnRClick(event.GetPosition());
}

void CTreeViewEx::OnDoubleClick(wxMouseEvent& event)
{
    wxTreeItemId selected = GetSelection();
    m_remembered = selected != GetRootItem() ? selected : wxTreeItemId();
    SendToFrame(WM_APP_TREEDBLCLK, 0, 0);
    // The control goes on to open or close the item.
    event.Skip();
}

void CTreeViewEx::OnSelChanged(wxTreeEvent& event)
{
    if (m_quietDeletes > 0)
        return;
    wxTreeItemId selected = event.GetItem();
    // With nothing else selected the control may select its hidden root.
    m_remembered = selected != GetRootItem() ? selected : wxTreeItemId();
    SendToFrame(WM_APP_TREESELCHANGED, 0, 0);
}

void CTreeViewEx::OnItemExpanding(wxTreeEvent& event)
{
    // The notified item: the control expands on clicks, keys and calls alike.
    wxTreeItemId list = event.GetItem();
    if (!IsKind(list, kList))
        return;
    wxTreeItemId first = GetFirstChildItem(list);
    if (!first.IsOk() || !IsPlaceholder(first))
        return;
    DeleteItemQuietly(first);
    SendToFrame(WM_APP_TREEEXPANDING, 0, ItemToParam(list));
}

void CTreeViewEx::OnEndLabelEdit(wxTreeEvent& event)
{
    if (event.IsEditCancelled())
        return;
    wxTreeItemId item = event.GetItem();
    uString label(event.GetLabel().utf8_str().data());
    // The control would set the text after this handler and so undo the label
    // the frame gives a feed (its unread count): set it here instead.
    event.Veto();
    if (label.isEmpty() || HasChildLabel(item, label))
        return;
    SetLabel(item, label);
    m_remembered = item;
    SendToFrame(WM_APP_TREELABELEDITED, 0, 0);
}

void CTreeViewEx::OnDeleteItem(wxTreeEvent& event)
{
    wxTreeItemId item = event.GetItem();
    if (item == m_remembered)
        m_remembered = wxTreeItemId();
    if (item == m_dragged)
        m_dragged = wxTreeItemId();
    event.Skip();
}

void CTreeViewEx::OnKeyDown(wxTreeEvent& event)
{
    const wxKeyEvent& key = event.GetKeyEvent();
    if (key.GetKeyCode() != WXK_DELETE || key.HasAnyModifiers())
    {
        event.Skip();
        return;
    }
    // Delete is the tree's key only: as a frame accelerator it would also
    // take the key from every text field.
    wxWindow* frame = wxGetTopLevelParent(this);
    if (frame == nullptr)
        return;
    wxCommandEvent command(wxEVT_MENU, ui::MenuCommandId(kDeleteCommand));
    command.SetEventObject(this);
    frame->GetEventHandler()->ProcessEvent(command);
}
