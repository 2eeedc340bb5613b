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
} // namespace ui
