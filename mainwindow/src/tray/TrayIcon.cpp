#include "mainwindow/TrayIcon.h"

#include "common/MenuBuilder.h"
#include "common/ResourceImages.h"
#include "mainwindow/WindowMessage.h"
#include "tray/TrayIconWindow.h"

#include <algorithm>
#include <wx/app.h>
#include <wx/bmpbndl.h>
#include <wx/menu.h>
#include <wx/window.h>

namespace
{
// The tip the notification area shows is limited to 255 characters.
constexpr size_t kMaxTipLength = 255;

struct MouseEvent
{
    const wxEventTypeTag<wxTaskBarIconEvent>& type;
    unsigned trigger;
};
} // namespace

CTrayIconHandler::CTrayIconHandler(wxWindow* owner, int parameter, unsigned trigger)
    : m_owner(owner), m_parameter(parameter), m_trigger(trigger)
{
}

CTrayIconHandler::~CTrayIconHandler() = default;

void CTrayIconHandler::Handle(CTrayIcon&) {}

CTrayRestoreHandler::CTrayRestoreHandler(wxWindow* owner, unsigned trigger)
    : CTrayIconHandler(owner, 0, trigger)
{
}

void CTrayRestoreHandler::Handle(CTrayIcon&)
{
    if (m_owner != nullptr)
        ui::SendWindowMessage(m_owner->GetEventHandler(), WM_APP_RESTOREWINDOW, 0, 0);
}

CTrayMenuHandler::CTrayMenuHandler(wxWindow* owner, int menuId, unsigned trigger)
    : CTrayIconHandler(owner, menuId, trigger)
{
}

void CTrayMenuHandler::Handle(CTrayIcon& icon)
{
    // Before the menu: its items hold on to it.
    int picked = wxID_NONE;
    std::unique_ptr<wxMenu> menu = ui::BuildFirstSubMenu(m_parameter);
    if (!menu)
        return;
    // The pick comes from the toolkit and goes to the owner once the menu
    // has closed: wx drops it while a modal dialog runs, and the tray is how
    // the user reaches the window then. What wx passes on stops at the menu.
    WatchPicks(*menu, picked);
    // The notification area places the menu itself, next to the icon.
    icon.PopupMenu(menu.get());
    if (picked == wxID_NONE || m_owner == nullptr)
        return;
    wxCommandEvent command(wxEVT_MENU, picked);
    command.SetEventObject(&icon);
    m_owner->GetEventHandler()->ProcessEvent(command);
}

void CTrayMenuHandler::WatchPicks(wxMenu& menu, int& picked)
{
    menu.Bind(wxEVT_MENU, [](wxCommandEvent&) {});
    for (wxMenuItem* item : menu.GetMenuItems())
    {
        if (item->IsSubMenu())
            WatchPicks(*item->GetSubMenu(), picked);
        else if (!item->IsSeparator())
            trayicon::WatchMenuPick(item->GetMenuItem(), item->GetId(), picked);
    }
}

CTrayIcon::CTrayIcon(wxWindow* owner, int iconId, int menuId, const wxString& tip, HandlerTable handlers)
    : m_owner(owner), m_iconId(iconId), m_tip(tip), m_handlers(std::move(handlers))
{
    if (m_tip.empty() && wxTheApp != nullptr)
        m_tip = wxTheApp->GetAppDisplayName();
    if (m_handlers.empty())
    {
        m_handlers.push_back(
            std::make_unique<CTrayMenuHandler>(owner, menuId, CTrayIconHandler::kRightButtonDown));
        m_handlers.push_back(
            std::make_unique<CTrayRestoreHandler>(owner, CTrayIconHandler::kLeftDoubleClick));
    }

    static const MouseEvent kMouseEvents[] = {
        {wxEVT_TASKBAR_MOVE, CTrayIconHandler::kMouseMove},
        {wxEVT_TASKBAR_LEFT_DOWN, CTrayIconHandler::kLeftButtonDown},
        {wxEVT_TASKBAR_LEFT_UP, CTrayIconHandler::kLeftButtonUp},
        {wxEVT_TASKBAR_LEFT_DCLICK, CTrayIconHandler::kLeftDoubleClick},
        {wxEVT_TASKBAR_RIGHT_DOWN, CTrayIconHandler::kRightButtonDown},
        {wxEVT_TASKBAR_RIGHT_UP, CTrayIconHandler::kRightButtonUp},
        {wxEVT_TASKBAR_RIGHT_DCLICK, CTrayIconHandler::kRightDoubleClick},
    };
    for (const MouseEvent& mouse : kMouseEvents)
    {
        unsigned trigger = mouse.trigger;
        Bind(mouse.type, [this, trigger](wxTaskBarIconEvent& event) { OnMouse(event, trigger); });
    }
    // The pop-up menu reports to the icon, not to the window it serves.
    Bind(wxEVT_MENU, &CTrayIcon::ForwardToOwner, this);
    Bind(wxEVT_UPDATE_UI, &CTrayIcon::ForwardToOwner, this);
}

CTrayIcon::~CTrayIcon()
{
    Remove();
}

bool CTrayIcon::Add()
{
    if (m_shown)
        return true;
    if (!wxTaskBarIcon::IsAvailable())
        return false;
    wxBitmap image = ui::LoadResourceBitmap(m_iconId);
    std::vector<void*> before = trayicon::IconWindows();
    if (!image.IsOk() || !SetIcon(wxBitmapBundle::FromBitmap(image), m_tip.Left(kMaxTipLength)))
        return false;
    m_shown = true;
    WatchIconWindow(before);
    return true;
}

void CTrayIcon::WatchIconWindow(const std::vector<void*>& before)
{
    // The icon's window is the one setting the icon made. Without one (an
    // icon of another kind) the icon never counts as embedded, and the
    // window it stands for stays an ordinary minimised one.
    for (void* window : trayicon::IconWindows())
    {
        if (std::find(before.begin(), before.end(), window) != before.end())
            continue;
        m_watch = std::make_unique<trayicon::CIconWindowWatch>(window,
                                                               [this](bool embedded)
                                                               {
                                                                   // Inside the toolkit's event handling: the
                                                                   // owner hears of it afterwards.
                                                                   CallAfter(
                                                                       [this, embedded]
                                                                       {
                                                                           if (m_shown && m_embeddingHandler)
                                                                               m_embeddingHandler(embedded);
                                                                       });
                                                               });
        return;
    }
}

bool CTrayIcon::IsEmbedded() const
{
    return m_shown && m_watch && m_watch->IsEmbedded();
}

bool CTrayIcon::Remove()
{
    if (!m_shown)
        return false;
    m_watch.reset();
    RemoveIcon();
    m_shown = false;
    return true;
}

long CTrayIcon::Dispatch(unsigned wParam, unsigned lParam)
{
    RunHandlers(wParam, lParam);
    return 0;
}

int CTrayIcon::RunHandlers(unsigned wParam, unsigned lParam)
{
    int ran = 0;
    if (wParam != static_cast<unsigned>(m_iconId))
        return ran;
    // By index: a handler may run a nested event loop (the pop-up menu).
    for (size_t i = 0; i < m_handlers.size(); ++i)
    {
        if (m_handlers[i]->GetTrigger() == lParam)
        {
            m_handlers[i]->Handle(*this);
            ++ran;
        }
    }
    return ran;
}

void CTrayIcon::OnMouse(wxTaskBarIconEvent& event, unsigned trigger)
{
    int ran = m_shown ? RunHandlers(static_cast<unsigned>(m_iconId), trigger) : 0;
    // Unhandled, GTK turns a single click into a double-click event next,
    // which is what restores the window there.
    if (ran == 0)
        event.Skip();
}

void CTrayIcon::ForwardToOwner(wxEvent& event)
{
    if (m_owner == nullptr || !m_owner->GetEventHandler()->ProcessEvent(event))
        event.Skip();
}
