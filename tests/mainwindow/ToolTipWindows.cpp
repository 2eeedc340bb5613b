#include "ToolTipWindows.h"

#include "IgnoreXErrors.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace guitest
{
namespace
{

bool IsToolTip(Display* display, Window window)
{
    const Atom type = XInternAtom(display, "_NET_WM_WINDOW_TYPE", False);
    const Atom tip = XInternAtom(display, "_NET_WM_WINDOW_TYPE_TOOLTIP", False);
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, type, 0, 8, False, XA_ATOM, &actual, &format, &count, &after,
                           &data) != Success ||
        data == nullptr)
        return false;
    bool found = false;
    for (unsigned long i = 0; i < count && !found; ++i)
        found = reinterpret_cast<Atom*>(data)[i] == tip;
    XFree(data);
    return found;
}
} // namespace

int ShownToolTips()
{
    // What the server shows, not what the toolkit believes.
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return -1;
    int tips = 0;
    {
        IgnoreXErrors quiet(display);
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        {
            for (unsigned i = 0; i < count; ++i)
            {
                XWindowAttributes attributes;
                if (XGetWindowAttributes(display, children[i], &attributes) &&
                    attributes.map_state == IsViewable && IsToolTip(display, children[i]))
                    ++tips;
            }
            XFree(children);
        }
    }
    XCloseDisplay(display);
    return tips;
}

ToolTipWatch::ToolTipWatch() : m_display(XOpenDisplay(nullptr))
{
    if (m_display == nullptr)
        return;
    auto* display = static_cast<Display*>(m_display);
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
}

ToolTipWatch::~ToolTipWatch()
{
    if (m_display != nullptr)
        XCloseDisplay(static_cast<Display*>(m_display));
}

int ToolTipWatch::Mapped()
{
    auto* display = static_cast<Display*>(m_display);
    if (display == nullptr)
        return 0;
    IgnoreXErrors quiet(display);
    XSync(display, False);
    while (XPending(display) > 0)
    {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && IsToolTip(display, event.xmap.window))
            ++m_mapped;
    }
    return m_mapped;
}
} // namespace guitest
