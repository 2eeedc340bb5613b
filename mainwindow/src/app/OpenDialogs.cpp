#include "mainwindow/OpenDialogs.h"

#include <algorithm>
#include <dlfcn.h>
#include <wx/dialog.h>
#include <wx/progdlg.h>

namespace
{
// The toolkit's own message boxes run in GTK's loop, not in a wx one, so
// EndModal cannot reach them; a Cancel response ends that loop the way the
// user's Cancel does. Looked up in the toolkit the program already runs on.
void RespondCancel(wxDialog& dialog)
{
    using Respond = void (*)(void* dialog, int response);
    static Respond respond = reinterpret_cast<Respond>(dlsym(RTLD_DEFAULT, "gtk_dialog_response"));
    constexpr int kGtkResponseCancel = -6;
    if (respond != nullptr && dialog.GetHandle() != nullptr)
        respond(dialog.GetHandle(), kGtkResponseCancel);
}
} // namespace

void COpenDialogs::EndAll()
{
    m_refusing = true;
    // A copy: ending a dialog takes it off the list.
    std::vector<wxDialog*> open = m_open;
    for (auto dialog = open.rbegin(); dialog != open.rend(); ++dialog)
    {
        if ((*dialog)->IsModal())
            (*dialog)->EndModal(wxID_CANCEL);
        else if (dynamic_cast<wxGenericProgressDialog*>(*dialog) != nullptr)
            (*dialog)->Close(true); // as its Cancel: the fetch behind it ends
        else
            RespondCancel(**dialog);
    }
}

int COpenDialogs::Enter(wxDialog* dialog)
{
    if (m_refusing)
        return wxID_CANCEL;
    m_open.push_back(dialog);
    return wxID_NONE;
}

void COpenDialogs::Exit(wxDialog* dialog)
{
    m_open.erase(std::remove(m_open.begin(), m_open.end(), dialog), m_open.end());
}
