#include "mainwindow/WebBrowserFrame.h"

#include "foundation/uTranslation.h"
#include "mainwindow/HtmlCtrl.h"

#include <wx/artprov.h>
#include <wx/combobox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/toolbar.h>
#include <wx/toplevel.h>
#include <wx/webview.h>

namespace
{
wxString ToWx(const uString& text)
{
    return wxString::FromUTF8(text.c_str(), static_cast<size_t>(text.getLength()));
}

uString ToUString(const wxString& text)
{
    return uString(text.utf8_str().data());
}

struct ToolButton
{
    int command;
    const char* art;
    const char* fallbackArt;
    const char* label; // also its tool tip
    const char* tip;   // the fly-by text the window's status bar shows
};

// Five buttons; Stop (5002) and Refresh (5003) are commands without buttons.
const ToolButton kButtons[] = {
    {CWebBrowserFrame::kBack, wxART_GO_BACK, wxART_GO_BACK, "Back", "Goes back one step."},
    {CWebBrowserFrame::kForward, wxART_GO_FORWARD, wxART_GO_FORWARD, "Forward", "Goes forward one step."},
    {CWebBrowserFrame::kHome, wxART_GO_HOME, wxART_GO_HOME, "Start Page", "Opens your start page."},
    {CWebBrowserFrame::kSearch, wxART_FIND, wxART_FIND, "Search the Internet", "Opens your search page."},
    {CWebBrowserFrame::kSendMail, "mail-send", wxART_REPORT_VIEW, "Send email",
     "Email the contents of the current page."},
};

wxBitmap ToolBitmap(const ToolButton& button)
{
    wxBitmap bitmap = wxArtProvider::GetBitmap(button.art, wxART_TOOLBAR, wxSize(24, 24));
    if (!bitmap.IsOk())
        bitmap = wxArtProvider::GetBitmap(button.fallbackArt, wxART_TOOLBAR, wxSize(24, 24));
    if (!bitmap.IsOk())
        bitmap = wxBitmap(24, 24); // a theme without icons: the label still shows
    return bitmap;
}
} // namespace

CWebBrowserFrame::CWebBrowserFrame(wxWindow* parent, wxWindowID id, const uString& templateDir)
    : wxPanel(parent, id)
{
    auto* bars = new wxBoxSizer(wxHORIZONTAL);
    CreateToolBar();
    bars->Add(m_toolBar, 0, wxALIGN_CENTER_VERTICAL);
    m_addressLabel = new wxStaticText(this, wxID_ANY, "  Address ");
    bars->Add(m_addressLabel, 0, wxALIGN_CENTER_VERTICAL);
    m_address = new wxComboBox(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxSize(200, -1), 0, nullptr,
                               wxCB_DROPDOWN | wxTE_PROCESS_ENTER);
    bars->Add(m_address, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);

    m_view = std::make_unique<CHtmlCtrl>(this, wxID_ANY, templateDir);
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(bars, 0, wxEXPAND);
    column->Add(m_view->GetWebView(), 1, wxEXPAND);
    SetSizer(column);

    m_address->Bind(wxEVT_TEXT_ENTER, &CWebBrowserFrame::OnAddressEnter, this);
    m_address->Bind(wxEVT_COMBOBOX, &CWebBrowserFrame::OnAddressChosen, this);
    // A written page keeps the address its writer set (the item's link);
    // any other page the pane comes to show, however it got there, shows
    // its own.
    // What the user is typing is never replaced by where the pane went in
    // the meantime (the start page's late load, a frame's redirect); the
    // next address the user or the program gives shows again.
    m_address->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { m_typed = true; });
    m_view->SetAddressHandler(
        [this](const wxString& url)
        {
            if (!m_typed)
                m_address->ChangeValue(url);
        });
    Bind(wxEVT_TOOL, &CWebBrowserFrame::OnCommand, this, kBack, kSendMail);
    Bind(wxEVT_MENU, &CWebBrowserFrame::OnCommand, this, kBack, kSendMail);
}

// The view's window belongs to this panel; the wrapper goes first.
CWebBrowserFrame::~CWebBrowserFrame() = default;

void CWebBrowserFrame::CreateToolBar()
{
    m_toolBar = new wxToolBar(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                              wxTB_HORIZONTAL | wxTB_FLAT | wxTB_NODIVIDER);
    m_toolBar->SetToolBitmapSize(wxSize(24, 24));
    for (const ToolButton& button : kButtons)
        m_toolBar->AddTool(button.command, button.label, ToolBitmap(button), wxNullBitmap, wxITEM_NORMAL,
                           button.label, button.tip);
    m_toolBar->Realize();
    // Sized now: GTK warns about a bar allocated before it has a size.
    m_toolBar->SetSize(m_toolBar->GetBestSize());
}

void CWebBrowserFrame::ReadToolTexts()
{
    auto translated = [](const char* text) { return wxString::FromUTF8(std::string(uTr(text))); };
    for (const ToolButton& button : kButtons)
    {
        m_toolBar->SetToolShortHelp(button.command, translated(button.label));
        m_toolBar->SetToolLongHelp(button.command, translated(button.tip));
    }
}

void CWebBrowserFrame::Navigate(const uString& url, int, const uString&, const uString&, const void*, int)
{
    if (!m_view)
        return;
    m_view->Navigate(url);
    wxString text = ToWx(url);
    m_address->ChangeValue(text);
    RecordAddress(text);
    m_typed = false;
}

void CWebBrowserFrame::RecordAddress(const wxString& url)
{
    // Repeats are kept: the list is what was visited, in order.
    m_address->Insert(url, 0);
    while (m_address->GetCount() > static_cast<unsigned>(kHistorySize))
        m_address->Delete(m_address->GetCount() - 1);
}

void CWebBrowserFrame::SetAddressText(const uString& text)
{
    if (m_view)
        m_view->SetPageAddress(text);
    m_address->ChangeValue(ToWx(text));
    m_typed = false;
}

uString CWebBrowserFrame::GetAddressText() const
{
    return ToUString(m_address->GetValue());
}

std::vector<uString> CWebBrowserFrame::GetHistory() const
{
    std::vector<uString> history;
    for (unsigned i = 0; i < m_address->GetCount(); ++i)
        history.push_back(ToUString(m_address->GetString(i)));
    return history;
}

void CWebBrowserFrame::OnAddressEnter(wxCommandEvent&)
{
    wxString url = m_address->GetValue();
    if (url.empty())
        return;
    m_view->Navigate(ToUString(url));
    RecordAddress(url);
    m_address->ChangeValue(url);
    m_typed = false;
}

void CWebBrowserFrame::OnAddressChosen(wxCommandEvent& event)
{
    int chosen = event.GetSelection();
    if (chosen == wxNOT_FOUND)
        return;
    m_view->Navigate(ToUString(m_address->GetString(static_cast<unsigned>(chosen))));
    m_typed = false;
}

void CWebBrowserFrame::OnCommand(wxCommandEvent& event)
{
    const int command = event.GetId();
    if (command == kSendMail)
    {
        if (m_sendMail)
            m_sendMail();
        return;
    }
    wxWebView* view = m_view ? m_view->GetWebView() : nullptr;
    if (view == nullptr)
        return;
    switch (command)
    {
    case kBack:
        m_typed = false;
        m_view->GoBack();
        break;
    case kForward:
        m_typed = false;
        m_view->GoForward();
        break;
    case kStop:
        view->Stop();
        break;
    case kRefresh:
        m_typed = false;
        m_view->Reload();
        break;
    case kHome:
        Navigate(uString(kHomeUrl));
        break;
    case kSearch:
        Navigate(uString(kSearchUrl));
        break;
    default:
        event.Skip();
    }
}

void CWebBrowserFrame::ToggleBars()
{
    m_barsShown = !m_barsShown;
    m_toolBar->Show(m_barsShown);
    m_addressLabel->Show(m_barsShown);
    m_address->Show(m_barsShown);
    Layout();
}

void CWebBrowserFrame::FocusBrowser()
{
    wxWebView* view = m_view ? m_view->GetWebView() : nullptr;
    if (view == nullptr)
        return;
    for (wxWindow* focus = wxWindow::FindFocus(); focus != nullptr; focus = focus->GetParent())
    {
        if (focus == view)
            return;
    }
    view->SetFocus();
}

void CWebBrowserFrame::FocusBrowser(bool raiseFrame)
{
    if (raiseFrame)
    {
        if (wxWindow* top = wxGetTopLevelParent(this))
            top->Raise();
    }
    FocusBrowser();
}

void CWebBrowserFrame::FocusAddress()
{
    if (m_barsShown)
        m_address->SetFocus();
}

int CWebBrowserFrame::GetFocusTarget() const
{
    for (wxWindow* focus = wxWindow::FindFocus(); focus != nullptr; focus = focus->GetParent())
    {
        if (focus == m_address || wxDynamicCast(focus, wxComboBox) != nullptr)
            return 2;
    }
    return 1;
}

bool CWebBrowserFrame::CanCut() const
{
    if (GetFocusTarget() == 2)
        return m_address->CanCut();
    return m_view && m_view->CanCut();
}

bool CWebBrowserFrame::CanCopy() const
{
    if (GetFocusTarget() == 2)
        return m_address->CanCopy();
    return m_view && m_view->CanCopy();
}

bool CWebBrowserFrame::CanPaste() const
{
    if (GetFocusTarget() == 2)
        return true;
    return m_view && m_view->CanPaste();
}

void CWebBrowserFrame::Cut()
{
    if (GetFocusTarget() == 2)
        m_address->Cut();
    else if (m_view)
        m_view->GetWebView()->Cut();
}

void CWebBrowserFrame::Copy()
{
    if (GetFocusTarget() == 2)
        m_address->Copy();
    else if (m_view)
        m_view->GetWebView()->Copy();
}

void CWebBrowserFrame::Paste()
{
    if (GetFocusTarget() == 2)
        m_address->Paste();
    else if (m_view)
        m_view->GetWebView()->Paste();
}
