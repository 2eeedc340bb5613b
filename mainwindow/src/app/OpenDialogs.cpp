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
    using GetType = unsigned long (*)();
    using IsA = int (*)(void* instance, unsigned long type);
    using WidgetCall = void (*)(void* widget);
    using IsVisible = int (*)(void* widget);
    using Child = void* (*)(void* container);
    using Respond = void (*)(void* dialog, int response);
    GetType dialogType = reinterpret_cast<GetType>(dlsym(RTLD_DEFAULT, "gtk_dialog_get_type"));
    GetType menuType = reinterpret_cast<GetType>(dlsym(RTLD_DEFAULT, "gtk_menu_get_type"));
    IsA isA = reinterpret_cast<IsA>(dlsym(RTLD_DEFAULT, "g_type_check_instance_is_a"));
    IsVisible isVisible = reinterpret_cast<IsVisible>(dlsym(RTLD_DEFAULT, "gtk_widget_get_visible"));
    Child child = reinterpret_cast<Child>(dlsym(RTLD_DEFAULT, "gtk_bin_get_child"));
    Respond respond = reinterpret_cast<Respond>(dlsym(RTLD_DEFAULT, "gtk_dialog_response"));
    WidgetCall cancelMenu = reinterpret_cast<WidgetCall>(dlsym(RTLD_DEFAULT, "gtk_menu_shell_cancel"));

    bool Complete() const
    {
        return dialogType && menuType && isA && isVisible && child && respond && cancelMenu;
    }
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

// Ends the loops of the toolkit's windows on the screen that no wx dialog
// of the list stands for: its dialogs are answered Cancel, and a pop-up
// menu (wx waits in a loop until it closes) is closed as Escape closes it.
void EndToolkitLoops(const std::vector<wxDialog*>& known)
{
    const Gtk& gtk = Toolkit();
    if (!gtk.Complete())
        return;
    for (void* window : ui::ToplevelWindows())
    {
        if (gtk.isVisible(window) == 0 ||
            std::any_of(known.begin(), known.end(),
                        [window](wxDialog* dialog) { return dialog->GetHandle() == window; }))
            continue;
        if (gtk.isA(window, gtk.dialogType()) != 0)
            RespondCancel(window);
        else if (void* menu = gtk.child(window); menu != nullptr && gtk.isA(menu, gtk.menuType()) != 0)
            gtk.cancelMenu(menu);
    }
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
    EndToolkitLoops(open);
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
