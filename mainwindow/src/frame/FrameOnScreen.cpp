#include "FrameOnScreen.h"

#include <X11/Xlib.h>
#include <dlfcn.h>

namespace
{
template <typename F> F Find(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_DEFAULT, name));
}

bool CornerOf(Display* display, Window own, int& x, int& y)
{
    // Looked up, as the toolkit's other calls are: the window library does
    // not link the X library itself.
    static const auto queryTree = Find<decltype(&XQueryTree)>("XQueryTree");
    static const auto attributesOf = Find<decltype(&XGetWindowAttributes)>("XGetWindowAttributes");
    static const auto release = Find<decltype(&XFree)>("XFree");
    if (queryTree == nullptr || attributesOf == nullptr || release == nullptr)
        return false;
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
} // namespace

bool FrameCornerOnScreen(void* widget, int& x, int& y)
{
    static const auto getWindow = Find<void* (*)(void*)>("gtk_widget_get_window");
    static const auto isA = Find<int (*)(void*, unsigned long)>("g_type_check_instance_is_a");
    static const auto x11Window = Find<unsigned long (*)()>("gdk_x11_window_get_type");
    static const auto getDisplay = Find<void* (*)(void*)>("gdk_window_get_display");
    static const auto getXDisplay = Find<Display* (*)(void*)>("gdk_x11_display_get_xdisplay");
    static const auto getXid = Find<Window (*)(void*)>("gdk_x11_window_get_xid");
    static const auto trapPush = Find<void (*)(void*)>("gdk_x11_display_error_trap_push");
    static const auto trapPop = Find<int (*)(void*)>("gdk_x11_display_error_trap_pop");
    if (widget == nullptr || getWindow == nullptr || isA == nullptr || x11Window == nullptr ||
        getDisplay == nullptr || getXDisplay == nullptr || getXid == nullptr || trapPush == nullptr ||
        trapPop == nullptr)
        return false;
    void* window = getWindow(widget);
    if (window == nullptr || isA(window, x11Window()) == 0)
        return false;
    // The X server's errors held back: the window manager may take its frame
    // away at any moment, and an error the toolkit did not expect ends the
    // program.
    void* display = getDisplay(window);
    trapPush(display);
    const bool found = CornerOf(getXDisplay(display), getXid(window), x, y);
    return trapPop(display) == 0 && found;
}
