#pragma once

#include <wx/dialog.h>

namespace ui
{
/// The base of the program's dialogs and panels: each opens at the client
/// size its layout gave it, and wide enough for its whole title in the
/// window manager's bar, centred on its parent, from its first opening.
///
/// GTK learns the size of the window manager's frame only once a window of
/// that kind has been mapped. Until then wx takes a size set as a whole as
/// the outer size and, when the frame arrives, shrinks the contents to keep
/// it (squashing the bottom row of buttons), and a window it holds back for
/// that frame loses its position. So the size is set as a client size, which
/// wx keeps, and the dialog is centred again once the frame is known.
///
/// It opens with the focus in its first field that takes typing (or in the
/// field it put the focus into itself), the field's text selected, so that
/// what the user types replaces a suggested value; Enter still presses the
/// default button.
class CDialog : public wxDialog
{
public:
    CDialog(wxWindow* parent, wxWindowID id, const wxString& title, long style = wxDEFAULT_DIALOG_STYLE);

    bool Show(bool show = true) override;

private:
    void PlaceOnParent();
    void FocusFirstTextField();
    void OnSize(wxSizeEvent& event);

    // The client size laid out and the outer size it was centred with.
    wxSize m_placedClient;
    wxSize m_placedOuter;
};
} // namespace ui
