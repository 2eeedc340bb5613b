#pragma once

#include "common/Dialog.h"
#include "dialogs/PageFrame.h"
#include "dialogs/TreePropSheetLogic.h"

#include <functional>
#include <memory>
#include <vector>
#include <wx/imaglist.h>
#include <wx/panel.h>
#include <wx/treectrl.h>

/// A page of a tree sheet: a panel with a caption (its place in the tree,
/// "A::B" for B under A) that may refuse to be left.
class CPropertyPageBase : public wxPanel
{
public:
    CPropertyPageBase(wxWindow* parent, const wxString& caption);

    const wxString& GetCaption() const { return m_caption; }
    /// The page is about to be left (another page, OK): false keeps it, after
    /// telling the user why.
    virtual bool OnKillActive() { return true; }
    virtual void OnSetActive() {}

private:
    wxString m_caption;
};

/// A property sheet whose row of tabs is a tree of pages on its left; the
/// current page sits in a page frame with a caption band. Ctrl+Tab and
/// Ctrl+Shift+Tab walk the tree. OK (and Apply, when an apply handler is
/// set) first ask the current page to let go, then the handler; a handler
/// that returns false keeps the sheet open.
class CTreePropSheet : public ui::CDialog
{
public:
    static constexpr int kTreeId = 32494;
    /// Its old id 65535 is outside what wx accepts: the frame takes any id.
    static constexpr int kPageFrameId = wxID_ANY;

    CTreePropSheet(const wxString& caption, wxWindow* parent, int startPage = 0);
    ~CTreePropSheet() override;

    /// Before the sheet is built only; page captions and tree images only in tree mode.
    bool SetTreeMode(bool treeMode, bool pageCaptions = false, bool treeImages = false);
    /// Exactly two images (path node, page); anything else is refused.
    bool SetDefaultTreeImages(const std::vector<wxBitmap>& images);
    void SetEmptyPageMessage(const wxString& message) { m_emptyPageMessage = message; }
    /// Called on OK and Apply after the current page let go; false keeps the sheet open.
    void SetApplyHandler(std::function<bool()> handler) { m_applyHandler = std::move(handler); }

    /// Pages are made with the sheet as their parent and added in order.
    void AddPage(CPropertyPageBase* page);
    /// Removes the page and destroys its window; a removed current page
    /// hands over to the page now at its index (or the last one). False for
    /// an index that names no page.
    bool RemovePage(int index);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPageBase* GetPage(int index) const { return m_pages.at(index); }
    int GetActiveIndex() const { return m_current; }
    CPropertyPageBase* GetActivePage() const { return m_current >= 0 ? m_pages[m_current] : nullptr; }
    /// Shows that page and selects its tree item; false when the current page refused to go.
    bool SetActivePage(int index);

    /// Makes the tree and the page frame (done by ShowModal too).
    void Build();
    int ShowModal() override;
    wxTreeCtrl* GetTree() const { return m_tree; }
    CPageFrame* GetPageFrame() const { return m_frame; }
    const treesheet::PageTree& GetPageTree() const { return m_pageTree; }
    /// Ctrl+Tab and Ctrl+Shift+Tab.
    void ActivateNext();
    void ActivatePrevious();
    /// Selects the tree node as a click would (the page may refuse).
    void SelectNode(int node);

    /// The page's tree item, searched depth first; invalid for an index
    /// below 0 or not below the page count.
    wxTreeItemId FindPageItem(int page) const;
    /// Selects the page's item as the caret without activating anything
    /// (the page is current already); false when it has none.
    bool SelectPageItem(int page);
    void SelectCurrentPageItem();
    /// Splits off the first part of a caption path "A::B" (see
    /// treesheet::SplitCaptionPath for escapes).
    static treesheet::CaptionSplit SplitCaptionPath(const wxString& path);

protected:
    /// Inserts the caption's path from the tree root, reusing the nodes
    /// earlier pages named; new path nodes get pathImage. The page's item.
    wxTreeItemId InsertPagePath(const wxString& caption, int page, int pathImage = -1);
    virtual wxString FormatEmptyPageMessage(const wxString& format, const wxString& caption);
    virtual wxTreeCtrl* CreateTreeControl();
    virtual CPageFrame* CreatePageFrame();

private:
    void RebuildPageTree();
    /// Sizes the page area to the largest page as its texts are now (they
    /// are translated after the pages are made) and the sheet around it.
    void FitPages();
    bool ActivatePage(int index);
    void PlaceCurrentPage();
    void UpdatePageCaption();
    int NodeOf(const wxTreeItemId& item) const;
    void OnSelChanging(wxTreeEvent& event);
    void OnSelChanged(wxTreeEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnApply(wxCommandEvent& event);
    bool LeaveAndApply();

    bool m_treeMode = true;
    wxTreeCtrl* m_tree = nullptr;
    CPageFrame* m_frame = nullptr;
    bool m_guard = false;
    bool m_pageCaptions = false;
    bool m_treeImages = false;
    std::unique_ptr<wxImageList> m_treeImageList;
    std::vector<wxBitmap> m_defaultImages;
    wxString m_emptyPageMessage;
    int m_treeWidth = 150;

    bool m_built = false;
    int m_startPage = 0;
    int m_current = -1;
    std::vector<CPropertyPageBase*> m_pages;
    treesheet::PageTree m_pageTree;
    std::vector<wxTreeItemId> m_items; // by node
    std::function<bool()> m_applyHandler;
};
