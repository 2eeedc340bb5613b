#include "dialogs/TreePropSheet.h"

#include "foundation/uTranslation.h"

#include <algorithm>
#include <wx/button.h>
#include <wx/sizer.h>

namespace
{
class NodeData : public wxTreeItemData
{
public:
    explicit NodeData(int node) : node(node) {}
    int node;
};
} // namespace

CPropertyPageBase::CPropertyPageBase(wxWindow* parent, const wxString& caption)
    : wxPanel(parent, wxID_ANY), m_caption(caption)
{
    Hide();
}

CTreePropSheet::CTreePropSheet(const wxString& caption, wxWindow* parent, int startPage)
    : ui::CDialog(parent, wxID_ANY, caption, wxDEFAULT_DIALOG_STYLE), m_startPage(startPage)
{
    Bind(wxEVT_CHAR_HOOK, &CTreePropSheet::OnCharHook, this);
}

CTreePropSheet::~CTreePropSheet()
{
    if (m_tree != nullptr)
        m_tree->SetImageList(nullptr);
}

bool CTreePropSheet::SetTreeMode(bool treeMode, bool pageCaptions, bool treeImages)
{
    if (m_built)
        return false;
    m_treeMode = treeMode;
    if (treeMode)
    {
        m_pageCaptions = pageCaptions;
        m_treeImages = treeImages;
    }
    return true;
}

bool CTreePropSheet::SetDefaultTreeImages(const std::vector<wxBitmap>& images)
{
    if (images.size() != 2)
        return false;
    m_defaultImages = images;
    if (m_built)
        RebuildPageTree();
    return true;
}

void CTreePropSheet::AddPage(CPropertyPageBase* page)
{
    m_pages.push_back(page);
    if (m_built)
    {
        page->Reparent(m_frame->GetWnd());
        RebuildPageTree();
    }
}

bool CTreePropSheet::RemovePage(int index)
{
    if (index < 0 || index >= GetPageCount())
        return false;
    CPropertyPageBase* page = m_pages[index];
    m_pages.erase(m_pages.begin() + index);
    int successor = -1;
    if (m_current == index)
    {
        m_current = -1; // it is going: nothing to ask it
        successor = std::min(index, GetPageCount() - 1);
    }
    else if (m_current > index)
        --m_current;
    page->Destroy();
    if (!m_built)
        return true;
    RebuildPageTree();
    if (successor >= 0)
        SetActivePage(successor);
    else
        UpdatePageCaption();
    return true;
}

wxString CTreePropSheet::FormatEmptyPageMessage(const wxString& format, const wxString& caption)
{
    wxString message = format;
    message.Replace("%s", caption);
    return message;
}

wxTreeCtrl* CTreePropSheet::CreateTreeControl()
{
    return new wxTreeCtrl();
}

CPageFrame* CTreePropSheet::CreatePageFrame()
{
    return new CPageFrameWnd();
}

void CTreePropSheet::Build()
{
    if (m_built)
        return;
    m_built = true;
    wxSize pageSize(0, 0);
    for (CPropertyPageBase* page : m_pages)
        pageSize.IncTo(page->GetBestSize());

    m_frame = CreatePageFrame();
    wxASSERT(m_frame != nullptr);
    m_frame->Create(wxCLIP_SIBLINGS, wxRect(wxPoint(0, 0), pageSize), this, kPageFrameId);
    // No tab strip to measure here: a caption band about as tall as a tab.
    m_frame->SetCaptionHeight(GetCharHeight() + 8);
    m_frame->ShowCaption(m_treeMode && m_pageCaptions);
    for (CPropertyPageBase* page : m_pages)
        page->Reparent(m_frame->GetWnd());
    m_frame->GetWnd()->Bind(wxEVT_SIZE,
                            [this](wxSizeEvent& event)
                            {
                                PlaceCurrentPage();
                                event.Skip();
                            });

    auto* body = new wxBoxSizer(wxHORIZONTAL);
    if (m_treeMode)
    {
        m_tree = CreateTreeControl();
        wxASSERT(m_tree != nullptr);
        m_tree->Create(this, kTreeId, wxDefaultPosition, wxSize(m_treeWidth - 5, -1),
                       wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_HIDE_ROOT | wxTR_SINGLE |
                           wxBORDER_SUNKEN);
        m_tree->AddRoot(wxString());
        if (m_treeImages)
        {
            wxSize imageSize = m_defaultImages.empty() ? wxSize(16, 16) : m_defaultImages[0].GetSize();
            m_treeImageList = std::make_unique<wxImageList>(imageSize.x, imageSize.y, true, 1);
            m_tree->SetImageList(m_treeImageList.get());
        }
        m_tree->Bind(wxEVT_TREE_SEL_CHANGING, &CTreePropSheet::OnSelChanging, this);
        m_tree->Bind(wxEVT_TREE_SEL_CHANGED, &CTreePropSheet::OnSelChanged, this);
        body->Add(m_tree, 0, wxEXPAND | wxRIGHT, 5);
    }
    body->Add(m_frame->GetWnd(), 1, wxEXPAND);

    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(body, 1, wxEXPAND | wxALL, 8);
    auto* buttons = new wxStdDialogButtonSizer();
    buttons->AddButton(new wxButton(this, wxID_OK));
    buttons->AddButton(new wxButton(this, wxID_CANCEL));
    if (m_applyHandler)
        buttons->AddButton(new wxButton(this, wxID_APPLY));
    buttons->Realize();
    outer->Add(buttons, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 8);
    SetSizer(outer);
    FitPages();
    Bind(wxEVT_BUTTON, &CTreePropSheet::OnOK, this, wxID_OK);
    Bind(wxEVT_BUTTON, &CTreePropSheet::OnApply, this, wxID_APPLY);
    // The window translator has changed the texts by the time this runs;
    // the dialog centres itself on its parent once they fit.
    Bind(wxEVT_INIT_DIALOG,
         [this](wxInitDialogEvent& event)
         {
             FitPages();
             event.Skip();
         });

    RebuildPageTree();
    int start = m_startPage >= 0 && m_startPage < GetPageCount() ? m_startPage : 0;
    if (!m_pages.empty())
        SetActivePage(start);
}

void CTreePropSheet::FitPages()
{
    // A changed label does not always drop the sizes its control and the
    // page remember: forget them all, so the longest text sets the width.
    std::function<void(wxWindow*)> forget = [&](wxWindow* window)
    {
        window->InvalidateBestSize();
        for (wxWindow* child : window->GetChildren())
            forget(child);
    };
    wxSize pageSize(0, 0);
    for (CPropertyPageBase* page : m_pages)
    {
        forget(page);
        pageSize.IncTo(page->GetBestSize());
    }
    int captionSpace = m_frame->GetShowCaption() ? m_frame->GetCaptionHeight() + 1 : 0;
    m_frame->GetWnd()->SetMinSize(wxSize(pageSize.x, pageSize.y + captionSpace));
    if (m_tree != nullptr)
        m_tree->SetMinSize(wxSize(m_treeWidth - 5, pageSize.y));
    GetSizer()->SetSizeHints(this);
    PlaceCurrentPage();
}

int CTreePropSheet::ShowModal()
{
    Build();
    return wxDialog::ShowModal();
}

void CTreePropSheet::RebuildPageTree()
{
    if (m_tree == nullptr)
        return;
    m_guard = true;
    m_tree->DeleteChildren(m_tree->GetRootItem());
    m_guard = false;
    m_pageTree = treesheet::PageTree();
    m_items.clear();
    int pathImage = -1;
    int pageImage = -1;
    if (m_treeImages && m_treeImageList)
    {
        m_treeImageList->RemoveAll();
        for (const wxBitmap& image : m_defaultImages)
            m_treeImageList->Add(image);
        if (m_defaultImages.size() == 2)
        {
            pathImage = 0;
            pageImage = 1; // the pages have no images of their own: the last one
        }
    }
    m_guard = true;
    for (int index = 0; index < GetPageCount(); ++index)
    {
        wxTreeItemId item = InsertPagePath(m_pages[index]->GetCaption(), index, pathImage);
        m_pageTree.At(NodeOf(item)).image = pageImage;
        m_tree->SetItemImage(item, pageImage);
        m_tree->SetItemImage(item, pageImage, wxTreeItemIcon_Selected);
    }
    for (const wxTreeItemId& item : m_items)
    {
        if (m_tree->ItemHasChildren(item))
            m_tree->Expand(item);
    }
    m_guard = false;
    SelectCurrentPageItem();
}

wxTreeItemId CTreePropSheet::InsertPagePath(const wxString& caption, int page, int pathImage)
{
    const size_t known = m_pageTree.Nodes().size();
    const int node = m_pageTree.InsertPagePath(caption.utf8_string(), page, pathImage);
    // The nodes the path added come last, each after its parent.
    for (size_t added = known; added < m_pageTree.Nodes().size(); ++added)
    {
        const treesheet::Node& data = m_pageTree.Nodes()[added];
        wxTreeItemId parent = data.parent < 0 ? m_tree->GetRootItem() : m_items[data.parent];
        m_items.push_back(m_tree->AppendItem(parent, wxString::FromUTF8(std::string(uTr(data.text))),
                                             data.image, data.image, new NodeData(static_cast<int>(added))));
    }
    return m_items[node];
}

treesheet::CaptionSplit CTreePropSheet::SplitCaptionPath(const wxString& path)
{
    return treesheet::SplitCaptionPath(path.utf8_string());
}

wxTreeItemId CTreePropSheet::FindPageItem(int page) const
{
    if (m_tree == nullptr || page < 0 || page >= GetPageCount())
        return wxTreeItemId();
    const int node = m_pageTree.FindPage(page);
    return node >= 0 ? m_items[node] : wxTreeItemId();
}

bool CTreePropSheet::SelectPageItem(int page)
{
    wxTreeItemId item = FindPageItem(page);
    if (!item.IsOk())
        return false;
    // The page is current already: selecting its item must not ask it again.
    const bool guard = m_guard;
    m_guard = true;
    m_tree->SelectItem(item);
    m_guard = guard;
    return true;
}

void CTreePropSheet::SelectCurrentPageItem()
{
    SelectPageItem(m_current);
}

int CTreePropSheet::NodeOf(const wxTreeItemId& item) const
{
    if (!item.IsOk())
        return -1;
    auto* data = dynamic_cast<NodeData*>(m_tree->GetItemData(item));
    return data != nullptr ? data->node : -1;
}

bool CTreePropSheet::ActivatePage(int index)
{
    if (index < 0 || index >= GetPageCount())
        return false;
    CPropertyPageBase* current = GetActivePage();
    // A hidden current page (a node without a page is selected) has let go already.
    if (current != nullptr && index != m_current && current->IsShown() && !current->OnKillActive())
        return false;
    if (current != nullptr && index != m_current)
        current->Hide();
    m_current = index;
    PlaceCurrentPage();
    m_pages[index]->Show();
    m_pages[index]->OnSetActive();
    return true;
}

void CTreePropSheet::PlaceCurrentPage()
{
    if (m_frame == nullptr || m_current < 0)
        return;
    m_pages[m_current]->SetSize(m_frame->GetMsgRect());
    // Also when the size stayed: its texts may have changed since.
    m_pages[m_current]->Layout();
}

bool CTreePropSheet::SetActivePage(int index)
{
    if (!m_built)
    {
        m_startPage = index;
        return true;
    }
    if (!ActivatePage(index))
        return false;
    SelectCurrentPageItem();
    UpdatePageCaption();
    return true;
}

void CTreePropSheet::UpdatePageCaption()
{
    if (m_frame == nullptr)
        return;
    CPropertyPageBase* page = GetActivePage();
    bool real = page != nullptr && page->IsShown();
    wxString text;
    int image = -1;
    if (m_tree != nullptr)
    {
        wxTreeItemId item = m_tree->GetSelection();
        if (!item.IsOk())
            return;
        text = m_tree->GetItemText(item);
        image = m_tree->GetItemImage(item);
    }
    else if (page != nullptr)
        text = page->GetCaption();
    if (!real)
        m_frame->SetMsgText(FormatEmptyPageMessage(m_emptyPageMessage, text));
    if (m_frame->GetShowCaption())
    {
        wxBitmap icon;
        if (m_treeImages && m_treeImageList && image >= 0 && image < m_treeImageList->GetImageCount())
            icon = m_treeImageList->GetBitmap(image);
        m_frame->SetCaption(text, icon);
    }
}

void CTreePropSheet::OnSelChanging(wxTreeEvent& event)
{
    if (m_guard)
        return;
    m_guard = true;
    int node = NodeOf(event.GetItem());
    int page = node >= 0 ? m_pageTree.Nodes()[node].data : -1;
    if (page >= 0 && page < GetPageCount())
    {
        if (!ActivatePage(page))
            event.Veto();
    }
    else
    {
        CPropertyPageBase* current = GetActivePage();
        if (current != nullptr && current->IsShown() && !current->OnKillActive())
            event.Veto();
        else if (current != nullptr)
            current->Hide();
    }
    m_tree->SetFocus();
    m_guard = false;
}

void CTreePropSheet::OnSelChanged(wxTreeEvent& event)
{
    UpdatePageCaption();
    event.Skip();
}

void CTreePropSheet::SelectNode(int node)
{
    if (m_tree != nullptr && node >= 0 && node < static_cast<int>(m_items.size()))
        m_tree->SelectItem(m_items[node]);
}

void CTreePropSheet::ActivateNext()
{
    if (m_tree == nullptr)
    {
        if (GetPageCount() > 0)
            SetActivePage((m_current + 1) % GetPageCount());
        return;
    }
    SelectNode(m_pageTree.Next(NodeOf(m_tree->GetSelection())));
}

void CTreePropSheet::ActivatePrevious()
{
    if (m_tree == nullptr)
    {
        if (GetPageCount() > 0)
            SetActivePage((m_current + GetPageCount() - 1) % GetPageCount());
        return;
    }
    SelectNode(m_pageTree.Previous(NodeOf(m_tree->GetSelection())));
}

void CTreePropSheet::OnCharHook(wxKeyEvent& event)
{
    if (event.GetKeyCode() == WXK_TAB && event.ControlDown())
    {
        if (event.ShiftDown())
            ActivatePrevious();
        else
            ActivateNext();
        return;
    }
    event.Skip();
}

bool CTreePropSheet::LeaveAndApply()
{
    CPropertyPageBase* current = GetActivePage();
    if (current != nullptr && current->IsShown() && !current->OnKillActive())
        return false;
    return !m_applyHandler || m_applyHandler();
}

void CTreePropSheet::OnOK(wxCommandEvent&)
{
    if (LeaveAndApply())
        EndModal(wxID_OK);
}

void CTreePropSheet::OnApply(wxCommandEvent&)
{
    LeaveAndApply();
}
