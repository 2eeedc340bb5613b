#include "common/MenuToolTips.h"

#include "common/ToplevelWindows.h"

#include <algorithm>
#include <dlfcn.h>
#include <glib-object.h>
#include <vector>

namespace ui
{
namespace
{
// The toolkit's kinds of top-level window (GdkWindowTypeHint) that matter here.
constexpr int kDropdownMenuHint = 8;
constexpr int kPopupMenuHint = 9;
constexpr int kToolTipHint = 10;

// The window library links the toolkit only through wx: the few of its
// functions used here are looked up at run time.
struct Toolkit
{
    GType window = 0;
    gboolean (*isMapped)(void*) = nullptr;
    void (*hide)(void*) = nullptr;

    bool IsComplete() const { return window != 0 && isMapped && hide; }
};

const Toolkit& GetToolkit()
{
    static const Toolkit toolkit = []
    {
        Toolkit found;
        found.window = g_type_from_name("GtkWindow");
        found.isMapped =
            reinterpret_cast<gboolean (*)(void*)>(::dlsym(RTLD_DEFAULT, "gtk_widget_get_mapped"));
        found.hide = reinterpret_cast<void (*)(void*)>(::dlsym(RTLD_DEFAULT, "gtk_widget_hide"));
        return found;
    }();
    return toolkit;
}

// The kind of top-level window, -1 for any other widget.
int WindowHint(GObject* object)
{
    if (!G_TYPE_CHECK_INSTANCE_TYPE(object, GetToolkit().window))
        return -1;
    int hint = -1;
    g_object_get(object, "type-hint", &hint, nullptr);
    return hint;
}

bool IsMenuHint(int hint)
{
    return hint == kPopupMenuHint || hint == kDropdownMenuHint;
}

// The kinds of this process's top-level windows on the screen now; tips
// among them are hidden when hideTips is set.
std::vector<int> ShownHints(bool hideTips)
{
    const Toolkit& toolkit = GetToolkit();
    std::vector<int> hints;
    for (void* window : ToplevelWindows())
    {
        if (!toolkit.isMapped(window))
            continue;
        hints.push_back(WindowHint(static_cast<GObject*>(window)));
        if (hideTips && hints.back() == kToolTipHint)
            toolkit.hide(window);
    }
    return hints;
}

bool IsMenuShown()
{
    const std::vector<int> hints = ShownHints(/*hideTips=*/false);
    return std::any_of(hints.begin(), hints.end(), IsMenuHint);
}

gboolean OnMap(GSignalInvocationHint*, guint, const GValue* values, gpointer)
{
    auto* object = static_cast<GObject*>(g_value_get_object(&values[0]));
    const int hint = object != nullptr ? WindowHint(object) : -1;
    if (IsMenuHint(hint))
        ShownHints(/*hideTips=*/true); // a menu opens: the tips go
    else if (hint == kToolTipHint && IsMenuShown())
        GetToolkit().hide(object); // mapped but not painted yet: it never shows
    return TRUE;                   // the hook stays
}
} // namespace

void KeepToolTipsOffMenus()
{
    static bool installed = false;
    if (installed || !GetToolkit().IsComplete())
        return;
    const guint map = g_signal_lookup("map", g_type_from_name("GtkWidget"));
    if (map == 0)
        return;
    g_signal_add_emission_hook(map, 0, OnMap, nullptr, nullptr);
    installed = true;
}
} // namespace ui
