#include "TrayDesktop.h"

#include "IgnoreXErrors.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <chrono>
#include <dlfcn.h>
#include <filesystem>
#include <functional>
#include <thread>
#include <wx/window.h>

namespace
{
const char* const kWindowManager = "/usr/bin/openbox";
const char* const kTray = "/usr/bin/trayer";

Display* AsDisplay(void* display)
{
    return static_cast<Display*>(display);
}

// Polls the X server until done() holds; false after about 10 s.
bool WaitFor(const std::function<bool()>& done)
{
    for (int i = 0; i < 200; ++i)
    {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

bool HasProperty(Display* display, Window window, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    int status = XGetWindowProperty(display, window, property, 0, 1, False, AnyPropertyType, &type, &format,
                                    &count, &after, &data);
    if (data != nullptr)
        XFree(data);
    return status == Success && type != None;
}

// Every window below `window`, depth first.
void Descendants(Display* display, Window window, std::vector<Window>& out)
{
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return;
    for (unsigned i = 0; i < count; ++i)
    {
        out.push_back(children[i]);
        Descendants(display, children[i], out);
    }
    if (children != nullptr)
        XFree(children);
}
} // namespace

TrayDesktop::TrayDesktop(const std::string& logFolder, bool withTray)
{
    for (const char* program : {kWindowManager, kTray})
    {
        if (!std::filesystem::exists(program))
        {
            m_missing = program;
            return;
        }
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return;
    m_display = display;
    m_windowManager = std::make_unique<testsupport::ChildProcess>(std::vector<std::string>{kWindowManager},
                                                                  logFolder + "/openbox.log");
    // The manager's selection, not a property on the root window: that one
    // outlives a manager that ended.
    Atom managerSelection =
        XInternAtom(display, ("WM_S" + std::to_string(DefaultScreen(display))).c_str(), False);
    if (!WaitFor([&] { return XGetSelectionOwner(display, managerSelection) != None; }))
        return;
    if (!withTray)
    {
        m_ready = true;
        return;
    }
    // At the bottom right, as a panel's notification area usually is; the
    // work area leaves it out.
    m_tray = std::make_unique<testsupport::ChildProcess>(
        std::vector<std::string>{kTray, "--edge", "bottom", "--align", "right", "--widthtype", "pixel",
                                 "--width", "96", "--height", "28"},
        logFolder + "/trayer.log");
    Atom selection =
        XInternAtom(display, ("_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(display))).c_str(), False);
    m_ready = WaitFor([&] { return XGetSelectionOwner(display, selection) != None; });
}

TrayDesktop::~TrayDesktop()
{
    m_tray.reset();
    m_windowManager.reset();
    if (m_display != nullptr)
        XCloseDisplay(AsDisplay(m_display));
}

void TrayDesktop::StopTray()
{
    m_tray.reset();
}

unsigned long TrayDesktop::XWindowOf(wxWindow* window)
{
    // wx gives the toolkit's widget; GTK and GDK are in the process with it.
    using WidgetWindow = void* (*)(void*);
    using WindowXid = unsigned long (*)(void*);
    static auto widgetWindow = reinterpret_cast<WidgetWindow>(::dlsym(RTLD_DEFAULT, "gtk_widget_get_window"));
    static auto windowXid = reinterpret_cast<WindowXid>(::dlsym(RTLD_DEFAULT, "gdk_x11_window_get_xid"));
    if (window == nullptr || widgetWindow == nullptr || windowXid == nullptr)
        return 0;
    void* gdkWindow = widgetWindow(window->GetHandle());
    return gdkWindow != nullptr ? windowXid(gdkWindow) : 0;
}

unsigned long TrayDesktop::FindWindow(const std::string& title) const
{
    Display* display = AsDisplay(m_display);
    guitest::IgnoreXErrors quiet(display);
    std::vector<Window> windows;
    Descendants(display, DefaultRootWindow(display), windows);
    Atom wmState = XInternAtom(display, "WM_STATE", False);
    for (Window window : windows)
    {
        char* name = nullptr;
        if (!XFetchName(display, window, &name) || name == nullptr)
            continue;
        bool match = title == name;
        XFree(name);
        // The window manager marks the client windows it manages.
        if (match && HasProperty(display, window, wmState))
            return window;
    }
    return 0;
}

bool TrayDesktop::HasFocus(unsigned long window) const
{
    Display* display = AsDisplay(m_display);
    guitest::IgnoreXErrors quiet(display);
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    while (focus != None && focus != PointerRoot && focus != DefaultRootWindow(display))
    {
        if (focus == window)
            return true;
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, focus, &root, &parent, &children, &count))
            return false;
        if (children != nullptr)
            XFree(children);
        focus = parent;
    }
    return false;
}

void TrayDesktop::Minimise(unsigned long window) const
{
    Display* display = AsDisplay(m_display);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_CHANGE_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = IconicState;
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
    XSync(display, False);
}

TrayDesktop::WindowState TrayDesktop::StateOf(unsigned long window) const
{
    Display* display = AsDisplay(m_display);
    guitest::IgnoreXErrors quiet(display);
    Atom wmState = XInternAtom(display, "WM_STATE", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    WindowState state = WindowState::kWithdrawn;
    if (XGetWindowProperty(display, window, wmState, 0, 2, False, wmState, &type, &format, &count, &after,
                           &data) == Success &&
        data != nullptr && count > 0)
    {
        long value = reinterpret_cast<long*>(data)[0];
        state = value == IconicState   ? WindowState::kIconic
                : value == NormalState ? WindowState::kNormal
                                       : WindowState::kWithdrawn;
    }
    if (data != nullptr)
        XFree(data);
    return state;
}

bool TrayDesktop::IsOnScreen(unsigned long window) const
{
    Display* display = AsDisplay(m_display);
    guitest::IgnoreXErrors quiet(display);
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

wxRect TrayDesktop::FramedRectOf(unsigned long window) const
{
    Display* display = AsDisplay(m_display);
    guitest::IgnoreXErrors quiet(display);
    // The window manager's frame is the ancestor that is a child of the root.
    Window frame = window;
    for (;;)
    {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, frame, &root, &parent, &children, &count))
            return {};
        if (children != nullptr)
            XFree(children);
        if (parent == root || parent == 0)
            break;
        frame = parent;
    }
    if (frame == window)
        return {};
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, frame, &attributes))
        return {};
    return wxRect(attributes.x, attributes.y, attributes.width + 2 * attributes.border_width,
                  attributes.height + 2 * attributes.border_width);
}

wxSize TrayDesktop::SizeOf(unsigned long window) const
{
    Display* display = AsDisplay(m_display);
    guitest::IgnoreXErrors quiet(display);
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) ? wxSize(attributes.width, attributes.height)
                                                              : wxSize();
}

wxPoint TrayDesktop::OriginOf(unsigned long window) const
{
    Display* display = AsDisplay(m_display);
    guitest::IgnoreXErrors quiet(display);
    int x = 0;
    int y = 0;
    Window child = 0;
    return XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child)
               ? wxPoint(x, y)
               : wxPoint();
}

int TrayDesktop::ShownWindows() const
{
    Display* display = AsDisplay(m_display);
    std::vector<Window> windows;
    {
        guitest::IgnoreXErrors quiet(display);
        Descendants(display, DefaultRootWindow(display), windows);
    }
    int shown = 0;
    for (Window window : windows)
    {
        if (StateOf(window) == WindowState::kNormal && IsOnScreen(window))
            ++shown;
    }
    return shown;
}

int TrayDesktop::PopupsShown() const
{
    Display* display = AsDisplay(m_display);
    guitest::IgnoreXErrors quiet(display);
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return 0;
    int shown = 0;
    for (unsigned i = 0; i < count; ++i)
    {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, children[i], &attributes) && attributes.override_redirect &&
            attributes.map_state == IsViewable)
            ++shown;
    }
    if (children != nullptr)
        XFree(children);
    return shown;
}

std::vector<wxRect> TrayDesktop::EmbeddedIcons() const
{
    Display* display = AsDisplay(m_display);
    guitest::IgnoreXErrors quiet(display);
    Window root = DefaultRootWindow(display);
    Atom xembedInfo = XInternAtom(display, "_XEMBED_INFO", False);
    std::vector<Window> windows;
    Descendants(display, root, windows);
    std::vector<wxRect> icons;
    for (Window window : windows)
    {
        // An icon not taken by a tray waits, unmapped, on the root window.
        Window parentRoot = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, window, &parentRoot, &parent, &children, &count))
            continue;
        if (children != nullptr)
            XFree(children);
        if (parent == root || !HasProperty(display, window, xembedInfo) || !IsOnScreen(window))
            continue;
        XWindowAttributes attributes{};
        XGetWindowAttributes(display, window, &attributes);
        int x = 0, y = 0;
        Window child = 0;
        XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child);
        icons.emplace_back(x, y, attributes.width, attributes.height);
    }
    return icons;
}
