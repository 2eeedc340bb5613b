#include "mainwindow/OpenDialogs.h"

#include "common/ToplevelWindows.h"

#include <algorithm>
#include <dlfcn.h>
#include <utility>
#include <wx/dialog.h>
#include <wx/evtloop.h>
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
template <typename Open> void EndToolkitLoops(const std::vector<Open>& known)
{
    const Gtk& gtk = Toolkit();
    if (!gtk.Complete())
        return;
    for (void* window : ui::ToplevelWindows())
    {
        if (gtk.isVisible(window) == 0 ||
            std::any_of(known.begin(), known.end(),
                        [window](const Open& open) { return open.dialog->GetHandle() == window; }))
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
    m_retry.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { EndInnermost(); });
}

COpenDialogs::~COpenDialogs()
{
    m_retry.Stop();
    Unregister();
    if (g_current == this)
        g_current = nullptr;
}

COpenDialogs* COpenDialogs::Current()
{
    return g_current;
}

void COpenDialogs::EndAll(std::function<void()> whenEnded)
{
    m_refusing = true;
    if (whenEnded)
        m_whenEnded = std::move(whenEnded);
    EndToolkitLoops(m_open);
    EndInnermost();
}

void COpenDialogs::EndInnermost()
{
    if (m_open.empty())
    {
        if (std::function<void()> whenEnded = std::exchange(m_whenEnded, nullptr))
            whenEnded();
        return;
    }
    constexpr int kRetryMs = 50;
    Open& innermost = m_open.back();
    if (innermost.ending)
        return; // its Exit comes; a second stop asks no more
    wxDialog* dialog = innermost.dialog;
    // Marked first: what ends it may already run events.
    innermost.ending = true;
    if (dynamic_cast<wxGenericProgressDialog*>(dialog) != nullptr)
    {
        dialog->Close(true); // as its Cancel: the fetch behind it ends
    }
    else if (!dialog->IsModal())
    {
        RespondCancel(dialog->GetHandle()); // a toolkit box in a loop of its own
    }
    else if (wxEventLoopBase::GetActive() != innermost.enclosing)
    {
        // Its loop runs now. The toolkit exits only the running loop: an
        // outer dialog ended while an inner one runs would stay in its loop
        // for good, hidden, with its window gone from under it.
        dialog->EndModal(wxID_CANCEL);
    }
    else
    {
        // Its loop has not started yet (or a loop of the toolkit's runs over it).
        innermost.ending = false;
        EndToolkitLoops(m_open);
        m_retry.StartOnce(kRetryMs);
    }
}

int COpenDialogs::Enter(wxDialog* dialog)
{
    if (m_refusing)
        return wxID_CANCEL;
    m_open.push_back(Open{dialog, wxEventLoopBase::GetActive(), false});
    return wxID_NONE;
}

void COpenDialogs::Exit(wxDialog* dialog)
{
    m_open.erase(std::remove_if(m_open.begin(), m_open.end(),
                                [dialog](const Open& open) { return open.dialog == dialog; }),
                 m_open.end());
    // The loop of the one it was opened over runs again: that one ends next.
    if (m_refusing)
        EndInnermost();
}
