#include "common/Dialog.h"

#include <wx/sizer.h>

namespace ui
{
CDialog::CDialog(wxWindow* parent, wxWindowID id, const wxString& title, long style)
    : wxDialog(parent, id, title, wxDefaultPosition, wxDefaultSize, style)
{
    Bind(wxEVT_SIZE, &CDialog::OnSize, this);
}

bool CDialog::Show(bool show)
{
    if (!show || IsShown())
        return wxDialog::Show(show);
    PlaceOnParent();
    // Handlers of the dialog's initialisation (texts translated, pages
    // fitted) run in here and may have grown it: centre it again.
    const bool shown = wxDialog::Show(true);
    PlaceOnParent();
    return shown;
}

void CDialog::PlaceOnParent()
{
    wxSize client = GetClientSize();
    // Nothing of the layout is ever cut off.
    if (wxSizer* sizer = GetSizer())
        client.IncTo(sizer->ComputeFittingClientSize(this));
    SetClientSize(client);
    CentreOnParent();
    m_placedClient = GetClientSize();
    m_placedOuter = GetSize();
}

void CDialog::OnSize(wxSizeEvent& event)
{
    event.Skip();
    if (!IsShown())
        return;
    const wxSize client = GetClientSize();
    const wxSize outer = GetSize();
    // The window manager's frame turned out other than guessed: the outer
    // size changed around the same contents.
    if (client == m_placedClient && outer != m_placedOuter)
        CentreOnParent();
    // A resize by the user changes the contents and is left where it is.
    m_placedClient = client;
    m_placedOuter = outer;
}
} // namespace ui
