#pragma once

#include "foundation/uString.h"
#include "mainwindow/SubscriptionTreeFile.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>
#include <wx/treectrl.h>

class wxMenu;

/// What the tree view sends with WM_APP_MOVEFEED, on its stack for the
/// duration of the send.
class CTreeDropRequest
{
public:
    uString url;            ///< the dragged feed's address
    uString sourceDatabase; ///< the list it comes from; empty for a copy, so nothing is deleted there
    /// Set by the frame when the feed is now stored in the target list: only
    /// then does a move take the source item away.
    bool moved = false;
};

namespace subscription
{
/// Images of the tree image list.
enum TreeImage
{
    kImageChannel = 0,
    kImageFolder = 3,
    kImageFolderOpen = 4,
    kImageList = 5,
    kImageWarning = 6,
    kImageWatch = 17,
};

/// A tree item as a message parameter, and back.
std::intptr_t ItemToParam(const wxTreeItemId& item);
wxTreeItemId ParamToItem(std::intptr_t param);
} // namespace subscription

/// The subscription tree pane: channels, folders, news watches, lists and
/// their feeds. Every item but a list's placeholder carries a CNamedValue
/// record (kind, value), owned by the item. The view handles the mouse and
/// keyboard: context menus by kind, label editing, drag and drop and the
/// expansion of lists; everything else becomes a private message sent to the
/// top-level window it lives in, which handles it before the send returns.
///
/// wx has a single root: it is hidden, and its children are the "top-level
/// items". UI thread only.
class CTreeViewEx : public wxTreeCtrl
{
public:
    /// A context menu: the menu table and the pop-up in it.
    struct MenuChoice
    {
        int menuId = 0;
        int popup = 0;
    };

    CTreeViewEx(wxWindow* parent, wxWindowID id = wxID_ANY);
    ~CTreeViewEx() override;

    // ---- items and their records
    /// The item's record; null for the placeholder, the hidden root or no item.
    CNamedValue* GetRecord(const wxTreeItemId& item) const;
    /// Gives the item a record of its own (any earlier one is freed).
    void SetRecord(const wxTreeItemId& item, uint16_t kind, const uString& value);
    /// True when the item has a record of that kind.
    bool IsKind(const wxTreeItemId& item, uint16_t kind) const;
    /// A list's placeholder: an item without a record that stands for the
    /// feeds not loaded yet.
    bool IsPlaceholder(const wxTreeItemId& item) const;
    wxTreeItemId GetFirstTopLevelItem() const;
    wxTreeItemId GetFirstChildItem(const wxTreeItemId& item) const;
    /// Null item for a top-level item, as for the hidden root.
    wxTreeItemId GetParentItem(const wxTreeItemId& item) const;
    /// Appends an item under the parent (at the top level when the parent is
    /// not valid) with the images of its kind and a record.
    wxTreeItemId AppendNode(const wxTreeItemId& parent, uint16_t kind, const uString& label,
                            const uString& value);
    wxTreeItemId AppendPlaceholder(const wxTreeItemId& list);
    uString GetLabel(const wxTreeItemId& item) const;
    void SetLabel(const wxTreeItemId& item, const uString& label);
    void SetImages(const wxTreeItemId& item, int image, int selectedImage);
    /// Deletes the item with its subtree without telling the frame about the
    /// selection changes on the way.
    void DeleteItemQuietly(const wxTreeItemId& item);
    /// Frees the records of the item and its descendants.
    void FreeTreeItemData(const wxTreeItemId& item);
    /// The tree as the tree file keeps it: items without a record are left
    /// out with their subtree, feeds are left out, lists have no children.
    std::vector<subscription::TreeNode> CollectNodes() const;

    // ---- changes: the handler hears of every item added, removed, renamed,
    // given a record, opened or closed, whoever made the change (the handler
    // itself decides whether the tree file's part of the tree changed).
    void SetChangeHandler(std::function<void()> handler) { m_changeHandler = std::move(handler); }
    /// For a change made in a record in place.
    void NotifyChanged();
    void SetItemText(const wxTreeItemId& item, const wxString& text) override;
    void SetItemData(const wxTreeItemId& item, wxTreeItemData* data) override;
    void Delete(const wxTreeItemId& item) override;
    void DeleteChildren(const wxTreeItemId& item) override;

    // ---- the remembered item: the item of the last right-click, selection
    // change or double-click, on which the context menus' commands act.
    wxTreeItemId GetRememberedItem() const { return m_remembered; }
    void SetRememberedItem(const wxTreeItemId& item) { m_remembered = item; }
    void ForgetRememberedItem() { m_remembered = wxTreeItemId(); }

    // ---- context menus and their commands
    /// The menu for an item: none for an item without a record.
    bool ChooseContextMenu(const wxTreeItemId& item, MenuChoice& choice) const;
    std::unique_ptr<wxMenu> BuildContextMenu(const wxTreeItemId& item) const;
    /// A right-click at a point of the window: remembers the item there (or
    /// none) and shows its menu.
    void OnRClick(const wxPoint& point);
    /// Runs a context-menu command on the remembered item.
    void RunCommand(int command);
    void OnRename();
    void OnRemove();
    /// True when a child of the item's parent (the item included) already
    /// has the label, ignoring case.
    bool HasChildLabel(const wxTreeItemId& item, const uString& label) const;
    /// Frees the records of the item and its descendants; with reinsert on,
    /// every list among them is first added again, closed and without its
    /// feeds, as the last child of the first top-level item.
    void ReleaseItemRecords(const wxTreeItemId& item, bool reinsert);

    // ---- drag and drop
    /// Drops the source item on the target: a copy keeps the source, a move
    /// takes it away when the drop did something.
    void DropItem(const wxTreeItemId& source, const wxTreeItemId& target, bool copy);
    /// Gives the new item the source's record and images, and copies the
    /// source's children under it (a list gets a placeholder instead of its
    /// feeds). On a move the records of a list's feeds are freed.
    void CopyBranch(const wxTreeItemId& newItem, const wxTreeItemId& source, bool move);

protected:
    wxTreeItemId DoInsertItem(const wxTreeItemId& parent, size_t previous, const wxString& text, int image,
                              int selectedImage, wxTreeItemData* data) override;
    wxTreeItemId DoInsertAfter(const wxTreeItemId& parent, const wxTreeItemId& previous, const wxString& text,
                               int image, int selectedImage, wxTreeItemData* data) override;

private:
    long SendToFrame(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    bool IsSelfOrDescendant(const wxTreeItemId& item, const wxTreeItemId& ancestor) const;
    wxTreeItemId InsertCopy(const wxTreeItemId& parent, const wxTreeItemId& after,
                            const wxTreeItemId& source);

    void OnRightDown(wxMouseEvent& event);
    void OnDoubleClick(wxMouseEvent& event);
    void OnSelChanged(wxTreeEvent& event);
    void OnItemExpanding(wxTreeEvent& event);
    void OnBeginDrag(wxTreeEvent& event);
    void OnEndDrag(wxTreeEvent& event);
    void OnEndLabelEdit(wxTreeEvent& event);
    void OnDeleteItem(wxTreeEvent& event);
    void OnKeyDown(wxTreeEvent& event);
    void OnMenuCommand(wxCommandEvent& event);

    wxTreeItemId m_remembered;
    wxTreeItemId m_dragged;
    bool m_dragging = false;
    int m_quietDeletes = 0; // > 0 while items are deleted on purpose
    std::function<void()> m_changeHandler;
};
