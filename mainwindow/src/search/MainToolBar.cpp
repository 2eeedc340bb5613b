#include "mainwindow/MainToolBar.h"

#include "common/Clipboard.h"
#include "common/ToolBarButtons.h"
#include "dialogs/FeedSearchDlg.h"

#include <algorithm>

namespace
{
constexpr int kImageSize = 16;
// Room for the drop-down button and the frame around the text.
constexpr int kComboChrome = 56;

uString ToUtf8(const wxString& text)
{
    return uString(text.utf8_string().c_str());
}

template <std::size_t Count>
constexpr int32_t NameIndex(const std::string_view (&names)[Count], std::string_view name)
{
    for (std::size_t i = 0; i < Count; ++i)
    {
        if (names[i] == name)
            return static_cast<int32_t>(i);
    }
    return -1;
}

// The bar searches as the search dialog does when "Contains" and "Title and
// Description" are chosen there: its tables give the request's values.
constexpr int32_t kBarMatch = NameIndex(CFeedSearchDlg::kMatchNames, CMainToolBar::kMatchName);
constexpr int32_t kBarField = NameIndex(CFeedSearchDlg::kFieldNames, CMainToolBar::kFieldName);
static_assert(kBarMatch >= 0 && kBarField >= 0, "the search dialog names the bar's choices");
} // namespace

int CSmartComboBox::AddToHistory(const wxString& text)
{
    if (text.empty())
        return -1;
    int found = FindString(text, /*bCase=*/false);
    // An equal entry in another letter case is the same phrase.
    if (found != wxNOT_FOUND && GetString(static_cast<unsigned>(found)).CmpNoCase(text) == 0)
        Delete(static_cast<unsigned>(found));
    if (static_cast<int>(GetCount()) >= kHistoryLimit)
        Delete(GetCount() - 1);
    return Insert(text, 0);
}

CMainToolBar::CMainToolBar(wxWindow* parent)
    : wxToolBar(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                wxTB_FLAT | wxTB_HORIZONTAL | wxTB_NODIVIDER)
{
    SetToolBitmapSize(wxSize(kImageSize, kImageSize));
}

void CMainToolBar::LoadToolBar(int toolBarId)
{
    ui::AddToolButtons(*this, toolBarId);
}

bool CMainToolBar::CreateSearchCombo(int position, int id, int width, int)
{
    if (position < 0 || static_cast<size_t>(position) >= GetToolsCount())
        return false;
    DeleteToolByPos(static_cast<size_t>(position));
    m_searchCombo = new CSmartComboBox(this, id, wxEmptyString, wxDefaultPosition, wxSize(width, -1), 0,
                                       nullptr, wxCB_DROPDOWN | wxTE_PROCESS_ENTER);
    m_searchCombo->Bind(wxEVT_TEXT_ENTER, &CMainToolBar::OnPhraseEnter, this);
    return InsertControl(static_cast<size_t>(position), m_searchCombo) != nullptr;
}

bool CMainToolBar::CreateListCombo(int position, int id, int width, int)
{
    if (position < 0 || static_cast<size_t>(position) >= GetToolsCount())
        return false;
    DeleteToolByPos(static_cast<size_t>(position));
    m_listComboWidth = width;
    m_listCombo = new CSmartComboBox(this, id, wxEmptyString, wxDefaultPosition, wxSize(width, -1), 0,
                                     nullptr, wxCB_DROPDOWN | wxCB_READONLY);
    m_listCombo->Bind(wxEVT_COMBOBOX_DROPDOWN,
                      [this](wxCommandEvent& event)
                      {
                          event.Skip();
                          if (!m_listSource)
                              return;
                          std::vector<uString> names = m_listSource();
                          bool same = names.size() == m_listCombo->GetCount();
                          for (size_t i = 0; same && i < names.size(); ++i)
                              same = ToUtf8(m_listCombo->GetString(static_cast<unsigned>(i))) == names[i];
                          if (!same)
                              RefillListCombo(names);
                      });
    return InsertControl(static_cast<size_t>(position), m_listCombo) != nullptr;
}

void CMainToolBar::FillListCombo(const std::vector<uString>& names)
{
    if (m_listCombo == nullptr)
        return;
    m_listCombo->Clear();
    for (const uString& name : names)
        m_listCombo->Append(wxString::FromUTF8(name.c_str()));
    if (!names.empty())
        m_listCombo->SetSelection(0);
    FitListCombo();
}

void CMainToolBar::RefillListCombo(const std::vector<uString>& names)
{
    if (m_listCombo == nullptr)
        return;
    wxString selected = m_listCombo->GetStringSelection();
    FillListCombo(names);
    int index = selected.empty() ? wxNOT_FOUND : m_listCombo->FindString(selected, /*bCase=*/true);
    if (index != wxNOT_FOUND)
        m_listCombo->SetSelection(index);
}

void CMainToolBar::FitListCombo()
{
    // The table's width cuts most labels short here: the box grows to the
    // longest one.
    int widest = 0;
    for (unsigned i = 0; i < m_listCombo->GetCount(); ++i)
        widest = std::max(widest, m_listCombo->GetTextExtent(m_listCombo->GetString(i)).GetWidth());
    int width = std::max(m_listComboWidth, widest + kComboChrome);
    if (width == m_listCombo->GetSize().GetWidth())
        return;
    m_listCombo->SetMinSize(wxSize(width, -1));
    m_listCombo->SetSize(wxSize(width, -1));
    Realize();
    if (wxWindow* parent = GetParent())
        parent->Layout();
}

void CMainToolBar::FillRequest()
{
    uString listName = m_listCombo != nullptr ? ToUtf8(m_listCombo->GetValue()) : uString();
    wxString phrase = m_searchCombo != nullptr ? m_searchCombo->GetValue() : wxString();
    if (m_searchCombo != nullptr)
    {
        m_searchCombo->AddToHistory(phrase);
        m_searchCombo->ChangeValue(wxString());
    }
    m_request.listName = listName;
    m_request.phrase = ToUtf8(phrase);
    m_request.matchMode = kBarMatch;
    m_request.field = kBarField;
}

void CMainToolBar::StartSearch()
{
    FillRequest();
    if (m_searchHandler)
        m_searchHandler(m_request);
}

const CFeedSearchCriteria& CMainToolBar::GetSearchRequest()
{
    FillRequest();
    return m_request;
}

void CMainToolBar::OnPhraseEnter(wxCommandEvent&)
{
    StartSearch();
}

bool CMainToolBar::HasSearchText() const
{
    return m_searchCombo != nullptr && !m_searchCombo->GetValue().empty();
}

bool CMainToolBar::HasFocus() const
{
    // Whether the top-level window is "active" is the window manager's to
    // say, and there may be none: the focus alone decides.
    for (wxWindow* focus = wxWindow::FindFocus(); focus != nullptr; focus = focus->GetParent())
    {
        if (focus == this)
            return true;
    }
    return false;
}

bool CMainToolBar::HasSelection() const
{
    if (m_searchCombo == nullptr)
        return false;
    long from = 0;
    long to = 0;
    m_searchCombo->GetSelection(&from, &to);
    return from >= 0 && from < to;
}

bool CMainToolBar::CanCut() const
{
    return HasFocus() && HasSelection();
}

bool CMainToolBar::CanCopy() const
{
    return HasFocus() && HasSelection();
}

bool CMainToolBar::CanPaste() const
{
    return HasFocus();
}

void CMainToolBar::Cut()
{
    if (!CanCut())
        return;
    wxString text = m_searchCombo->GetValue();
    if (text.empty())
        return;
    long from = 0;
    long to = 0;
    m_searchCombo->GetSelection(&from, &to);
    SetClipboardText(ToUtf8(text.Mid(static_cast<size_t>(from), static_cast<size_t>(to - from))));
    m_searchCombo->SetValue(text.Left(static_cast<size_t>(from)) + text.Mid(static_cast<size_t>(to)));
}

void CMainToolBar::Copy()
{
    if (!CanCopy())
        return;
    wxString text = m_searchCombo->GetValue();
    if (text.empty())
        return;
    long from = 0;
    long to = 0;
    m_searchCombo->GetSelection(&from, &to);
    SetClipboardText(ToUtf8(text.Mid(static_cast<size_t>(from), static_cast<size_t>(to - from))));
}

void CMainToolBar::Paste()
{
    if (!HasFocus() || m_searchCombo == nullptr)
        return;
    uString clipboard = GetClipboardText();
    long from = 0;
    long to = 0;
    m_searchCombo->GetSelection(&from, &to);
    if (clipboard.isEmpty() || from < 0 || from > to)
        return;
    wxString text = m_searchCombo->GetValue();
    m_searchCombo->SetValue(text.Left(static_cast<size_t>(from)) + wxString::FromUTF8(clipboard.c_str()) +
                            text.Mid(static_cast<size_t>(to)));
}
