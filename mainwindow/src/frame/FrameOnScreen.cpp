#include "FrameOnScreen.h"

#include <X11/Xlib.h>
#include <dlfcn.h>

namespace
{
template <typename F> F Find(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_DEFAULT, name));
}
} // namespace

bool FrameCornerOnScreen(void* widget, int& x, int& y)
{
    // Looked up, as the toolkit's other calls are: the window library does
    // not link the X library itself.
    static const auto getWindow = Find<void* (*)(void*)>("gtk_widget_get_window");
    static const auto getDisplay = Find<void* (*)(void*)>("gdk_window_get_display");
    static const auto getXDisplay = Find<Display* (*)(void*)>("gdk_x11_display_get_xdisplay");
    static const auto getXid = Find<Window (*)(void*)>("gdk_x11_window_get_xid");
    static const auto isX11 = Find<int (*)(void*, unsigned long)>("g_type_check_instance_is_a");
    static const auto x11WindowType = Find<unsigned long (*)()>("gdk_x11_window_get_type");
    static const auto queryTree = Find<decltype(&XQueryTree)>("XQueryTree");
    static const auto attributesOf = Find<decltype(&XGetWindowAttributes)>("XGetWindowAttributes");
    static const auto release = Find<decltype(&XFree)>("XFree");
    if (widget == nullptr || getWindow == nullptr || getDisplay == nullptr || getXDisplay == nullptr ||
        getXid == nullptr || isX11 == nullptr || x11WindowType == nullptr || queryTree == nullptr ||
        attributesOf == nullptr || release == nullptr)
        return false;
    void* window = getWindow(widget);
    if (window == nullptr || isX11(window, x11WindowType()) == 0)
        return false;
    Display* display = getXDisplay(getDisplay(window));
    const Window own = getXid(window);
    XWindowAttributes attributes{};
    if (attributesOf(display, own, &attributes) == 0 || attributes.map_state != IsViewable)
        return false;
    // The frame is the ancestor that is a child of the root.
    Window frame = own;
    for (;;)
    {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (queryTree(display, frame, &root, &parent, &children, &count) == 0)
            return false;
        if (children != nullptr)
            release(children);
        if (parent == root || parent == 0)
            break;
        frame = parent;
    }
    if (frame != own && attributesOf(display, frame, &attributes) == 0)
        return false;
    x = attributes.x;
    y = attributes.y;
    return true;
}
