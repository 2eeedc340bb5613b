#include "tray/TrayIconWindow.h"

#include "common/ToplevelWindows.h"

#include <glib-object.h>

namespace trayicon
{
namespace
{
bool IsIconWindow(GObject* object)
{
    // The notification-area icon of GTK 3 is a plug of this type.
    GType plug = g_type_from_name("GtkPlug");
    return plug != 0 && G_TYPE_CHECK_INSTANCE_TYPE(object, plug) &&
           g_strcmp0(G_OBJECT_TYPE_NAME(object), "GtkTrayIcon") == 0;
}
} // namespace

std::vector<void*> IconWindows()
{
    std::vector<void*> windows;
    for (void* window : ui::ToplevelWindows())
    {
        if (IsIconWindow(static_cast<GObject*>(window)))
            windows.push_back(window);
    }
    return windows;
}

namespace
{
struct MenuPick
{
    int id;
    int* picked;
};

void OnMenuItemActivate(void*, void* pick)
{
    auto* self = static_cast<MenuPick*>(pick);
    *self->picked = self->id;
}

void FreeMenuPick(void* pick, GClosure*)
{
    delete static_cast<MenuPick*>(pick);
}
} // namespace

void WatchMenuPick(void* item, int id, int& picked)
{
    g_signal_connect_data(static_cast<GObject*>(item), "activate", G_CALLBACK(OnMenuItemActivate),
                          new MenuPick{id, &picked}, FreeMenuPick, GConnectFlags(0));
}

CIconWindowWatch::CIconWindowWatch(void* window, std::function<void(bool embedded)> changed)
    : m_window(window), m_changed(std::move(changed))
{
    // Held, so that the toolkit dropping the icon leaves no dangling window.
    g_object_ref(static_cast<GObject*>(m_window));
    m_signal =
        g_signal_connect(static_cast<GObject*>(m_window), "notify::embedded", G_CALLBACK(OnNotify), this);
}

CIconWindowWatch::~CIconWindowWatch()
{
    g_signal_handler_disconnect(static_cast<GObject*>(m_window), m_signal);
    g_object_unref(static_cast<GObject*>(m_window));
}

bool CIconWindowWatch::IsEmbedded() const
{
    gboolean embedded = FALSE;
    g_object_get(static_cast<GObject*>(m_window), "embedded", &embedded, nullptr);
    return embedded != FALSE;
}

void CIconWindowWatch::OnNotify(void*, void*, void* watch)
{
    auto* self = static_cast<CIconWindowWatch*>(watch);
    if (self->m_changed)
        self->m_changed(self->IsEmbedded());
}
} // namespace trayicon
