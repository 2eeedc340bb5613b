#include "common/ToplevelWindows.h"

#include <dlfcn.h>
#include <glib.h>

namespace ui
{
std::vector<void*> ToplevelWindows()
{
    using ListToplevels = GList* (*)();
    static const auto listToplevels =
        reinterpret_cast<ListToplevels>(::dlsym(RTLD_DEFAULT, "gtk_window_list_toplevels"));
    std::vector<void*> windows;
    if (listToplevels == nullptr)
        return windows;
    GList* toplevels = listToplevels();
    for (GList* entry = toplevels; entry != nullptr; entry = entry->next)
    {
        if (entry->data != nullptr)
            windows.push_back(entry->data);
    }
    g_list_free(toplevels);
    return windows;
}

void PresentWindowsOver(void* window)
{
    using TransientFor = void* (*)(void*);
    using WindowCall = void (*)(void*);
    using IsVisible = int (*)(void*);
    static const auto transientFor =
        reinterpret_cast<TransientFor>(::dlsym(RTLD_DEFAULT, "gtk_window_get_transient_for"));
    static const auto deiconify = reinterpret_cast<WindowCall>(::dlsym(RTLD_DEFAULT, "gtk_window_deiconify"));
    static const auto present = reinterpret_cast<WindowCall>(::dlsym(RTLD_DEFAULT, "gtk_window_present"));
    static const auto isVisible =
        reinterpret_cast<IsVisible>(::dlsym(RTLD_DEFAULT, "gtk_widget_get_visible"));
    if (window == nullptr || transientFor == nullptr || deiconify == nullptr || present == nullptr ||
        isVisible == nullptr)
        return;
    for (void* over : ToplevelWindows())
    {
        if (transientFor(over) != window || isVisible(over) == 0)
            continue;
        deiconify(over);
        present(over);
        PresentWindowsOver(over);
    }
}
} // namespace ui
