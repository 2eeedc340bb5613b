#pragma once

#include <functional>
#include <vector>

// The window the toolkit makes for a notification-area icon. Setting an icon
// only asks the notification area to take it; the area embeds the window
// later, or never (a tray that has gone, or one that does not work). Only an
// embedded icon is one the user can see and click.
namespace trayicon
{
/// The icon windows of this process, as opaque handles.
std::vector<void*> IconWindows();

/// Sets `picked` to `id` when the user picks this item (a toolkit menu item)
/// of a pop-up menu. The toolkit reports a pick that wx drops: wx passes no
/// pop-up menu's command on while a modal dialog runs. `picked` must outlive
/// the item.
void WatchMenuPick(void* item, int id, int& picked);

/// Follows one icon window while it lives: whether the notification area
/// holds it now, and a call on this thread each time that changes.
class CIconWindowWatch
{
public:
    CIconWindowWatch(void* window, std::function<void(bool embedded)> changed);
    ~CIconWindowWatch();
    CIconWindowWatch(const CIconWindowWatch&) = delete;
    CIconWindowWatch& operator=(const CIconWindowWatch&) = delete;

    bool IsEmbedded() const;

private:
    static void OnNotify(void* window, void* property, void* watch);

    void* m_window;
    unsigned long m_signal = 0;
    std::function<void(bool)> m_changed;
};
} // namespace trayicon
