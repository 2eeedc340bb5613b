#include "FakeTrayHost.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <algorithm>

namespace
{
constexpr long kRequestDock = 0;    // _NET_SYSTEM_TRAY_OPCODE
constexpr long kEmbeddedNotify = 0; // _XEMBED
constexpr int kStripWidth = 8 * FakeTrayHost::kIconSize;
} // namespace

FakeTrayHost::FakeTrayHost()
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return;
    m_display = display;
    int screen = DefaultScreen(display);
    Window root = RootWindow(display, screen);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = 0x404040;
    Window tray = XCreateWindow(display, root, 0, 0, kStripWidth, kIconSize, 0, CopyFromParent, InputOutput,
                                CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
    XSelectInput(display, tray, SubstructureNotifyMask | StructureNotifyMask);
    XMapRaised(display, tray);

    Atom selection = XInternAtom(display, ("_NET_SYSTEM_TRAY_S" + std::to_string(screen)).c_str(), False);
    m_opcodeAtom = XInternAtom(display, "_NET_SYSTEM_TRAY_OPCODE", False);
    m_xembedAtom = XInternAtom(display, "_XEMBED", False);
    long horizontal = 0;
    XChangeProperty(display, tray, XInternAtom(display, "_NET_SYSTEM_TRAY_ORIENTATION", False), XA_CARDINAL,
                    32, PropModeReplace, reinterpret_cast<unsigned char*>(&horizontal), 1);
    XSetSelectionOwner(display, selection, tray, CurrentTime);
    if (XGetSelectionOwner(display, selection) != tray)
    {
        XDestroyWindow(display, tray);
        return;
    }
    m_tray = tray;

    // Tells icons that already exist that a tray has come.
    XClientMessageEvent manager{};
    manager.type = ClientMessage;
    manager.window = root;
    manager.message_type = XInternAtom(display, "MANAGER", False);
    manager.format = 32;
    manager.data.l[0] = CurrentTime;
    manager.data.l[1] = static_cast<long>(selection);
    manager.data.l[2] = static_cast<long>(tray);
    XSendEvent(display, root, False, StructureNotifyMask, reinterpret_cast<XEvent*>(&manager));
    XSync(display, False);
}

FakeTrayHost::~FakeTrayHost()
{
    auto* display = static_cast<Display*>(m_display);
    if (display == nullptr)
        return;
    if (m_tray != 0)
    {
        // Icons go back to the root window rather than being destroyed with the tray.
        for (unsigned long icon : m_docked)
            XReparentWindow(display, icon, RootWindow(display, DefaultScreen(display)), 0, 0);
        XDestroyWindow(display, m_tray);
    }
    XCloseDisplay(display);
}

void FakeTrayHost::Pump()
{
    auto* display = static_cast<Display*>(m_display);
    if (display == nullptr || m_tray == 0)
        return;
    while (XPending(display) > 0)
    {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == DestroyNotify)
        {
            std::erase(m_docked, event.xdestroywindow.window);
            continue;
        }
        if (event.type != ClientMessage || event.xclient.message_type != m_opcodeAtom ||
            event.xclient.data.l[1] != kRequestDock)
            continue;
        Window icon = static_cast<Window>(event.xclient.data.l[2]);
        if (std::find(m_docked.begin(), m_docked.end(), icon) != m_docked.end())
            continue;
        int slot = static_cast<int>(m_docked.size());
        XSelectInput(display, icon, StructureNotifyMask);
        XReparentWindow(display, icon, m_tray, slot * kIconSize, 0);
        XResizeWindow(display, icon, kIconSize, kIconSize);
        XMapRaised(display, icon);
        XClientMessageEvent embedded{};
        embedded.type = ClientMessage;
        embedded.window = icon;
        embedded.message_type = m_xembedAtom;
        embedded.format = 32;
        embedded.data.l[0] = CurrentTime;
        embedded.data.l[1] = kEmbeddedNotify;
        embedded.data.l[3] = static_cast<long>(m_tray);
        embedded.data.l[4] = 0; // protocol version
        XSendEvent(display, icon, False, NoEventMask, reinterpret_cast<XEvent*>(&embedded));
        XSync(display, False);
        m_docked.push_back(icon);
    }
}

wxPoint FakeTrayHost::IconCentre(int i) const
{
    return wxPoint(i * kIconSize + kIconSize / 2, kIconSize / 2);
}
