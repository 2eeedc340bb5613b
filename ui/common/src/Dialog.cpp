#include "common/Dialog.h"

#include "common/TitleWidth.h"

#include <wx/sizer.h>
#include <wx/textentry.h>

namespace ui
{
namespace
{
// A field that takes typing now.
wxTextEntry* TypingField(wxWindow* window)
{
    auto* field = dynamic_cast<wxTextEntry*>(window);
    return field != nullptr && window->IsShownOnScreen() && window->IsEnabled() && field->IsEditable()
               ? field
               : nullptr;
}

// The first field below `parent` that takes typing, in the order the fields
// were made (the order Tab walks them).
wxTextEntry* FirstTypingField(wxWindow* parent)
{
    for (wxWindow* child : parent->GetChildren())
    {
        if (child->IsTopLevel())
            continue;
        if (wxTextEntry* field = TypingField(child))
            return field;
        if (wxTextEntry* inner = FirstTypingField(child))
            return inner;
    }
    return nullptr;
}
} // namespace

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
    // The standard buttons took the focus for OK when they were made: typing
    // would go nowhere and Enter would take the suggested value.
    FocusFirstTextField();
    return shown;
}

void CDialog::PlaceOnParent()
{
    wxSize client = GetClientSize();
    // Nothing of the layout is ever cut off, nor the title.
    if (wxSizer* sizer = GetSizer())
        client.IncTo(sizer->ComputeFittingClientSize(this));
    client.IncTo(wxSize(TitleFittingClientWidth(*this), client.y));
    SetClientSize(client);
    CentreOnParent();
    m_placedClient = GetClientSize();
    m_placedOuter = GetSize();
}

void CDialog::FocusFirstTextField()
{
    // A dialog that chose its field itself (the password when the user name
    // is known, say) keeps it.
    wxWindow* focused = FindFocus();
    wxTextEntry* field = focused != nullptr && IsDescendant(focused) ? TypingField(focused) : nullptr;
    if (field == nullptr)
        field = FirstTypingField(this);
    if (field == nullptr)
        return;
    if (auto* window = dynamic_cast<wxWindow*>(field))
        window->SetFocus();
    field->SelectAll();
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
