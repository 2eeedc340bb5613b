#include "mainwindow/OpenDialogs.h"

#include "common/ToplevelWindows.h"

#include <algorithm>
#include <dlfcn.h>
#include <wx/dialog.h>
#include <wx/progdlg.h>

namespace
{
COpenDialogs* g_current = nullptr;

// The toolkit, looked up in the one the program already runs on.
struct Gtk
{
    using Respond = void (*)(void* dialog, int response);
    using GetType = unsigned long (*)();
    using IsA = int (*)(void* instance, unsigned long type);
    using IsVisible = int (*)(void* widget);
    Respond respond = reinterpret_cast<Respond>(dlsym(RTLD_DEFAULT, "gtk_dialog_response"));
    GetType dialogType = reinterpret_cast<GetType>(dlsym(RTLD_DEFAULT, "gtk_dialog_get_type"));
    IsA isA = reinterpret_cast<IsA>(dlsym(RTLD_DEFAULT, "g_type_check_instance_is_a"));
    IsVisible isVisible = reinterpret_cast<IsVisible>(dlsym(RTLD_DEFAULT, "gtk_widget_get_visible"));
};

const Gtk& Toolkit()
{
    static const Gtk gtk;
    return gtk;
}

// A toolkit dialog in its own loop (gtk_dialog_run: the message boxes, the
// engine's Print dialog, a file dialog's own questions) is out of reach of
// EndModal; a Cancel response ends that loop the way the user's Cancel does.
void RespondCancel(void* dialog)
{
    constexpr int kGtkResponseCancel = -6;
    if (Toolkit().respond != nullptr && dialog != nullptr)
        Toolkit().respond(dialog, kGtkResponseCancel);
}

// The toolkit's dialogs on the screen that no wx dialog of the list stands for.
std::vector<void*> OtherShownDialogs(const std::vector<wxDialog*>& known)
{
    const Gtk& gtk = Toolkit();
    std::vector<void*> dialogs;
    if (gtk.dialogType == nullptr || gtk.isA == nullptr || gtk.isVisible == nullptr)
        return dialogs;
    for (void* window : ui::ToplevelWindows())
    {
        const bool isKnown = std::any_of(known.begin(), known.end(),
                                         [window](wxDialog* dialog) { return dialog->GetHandle() == window; });
        if (!isKnown && gtk.isA(window, gtk.dialogType()) != 0 && gtk.isVisible(window) != 0)
            dialogs.push_back(window);
    }
    return dialogs;
}
} // namespace

COpenDialogs::COpenDialogs()
{
    Register();
    g_current = this;
}

COpenDialogs::~COpenDialogs()
{
    Unregister();
    if (g_current == this)
        g_current = nullptr;
}

COpenDialogs* COpenDialogs::Current()
{
    return g_current;
}

void COpenDialogs::EndAll()
{
    m_refusing = true;
    // Copies: ending a dialog takes it off the list.
    const std::vector<wxDialog*> open = m_open;
    for (void* other : OtherShownDialogs(open))
        RespondCancel(other);
    for (auto dialog = open.rbegin(); dialog != open.rend(); ++dialog)
    {
        if ((*dialog)->IsModal())
            (*dialog)->EndModal(wxID_CANCEL);
        else if (dynamic_cast<wxGenericProgressDialog*>(*dialog) != nullptr)
            (*dialog)->Close(true); // as its Cancel: the fetch behind it ends
        else
            RespondCancel((*dialog)->GetHandle());
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
