#pragma once

#include <functional>
#include <memory>
#include <vector>
#include <wx/taskbar.h>

class CTrayIcon;
class wxMenu;
class wxWindow;
namespace trayicon
{
class CIconWindowWatch;
}

/// Turns one mouse action on the notification-area icon into an action. The
/// base class does nothing.
class CTrayIconHandler
{
public:
    /// The mouse actions an icon reports, by their window-message numbers.
    enum Trigger : unsigned
    {
        kMouseMove = 512,
        kLeftButtonDown = 513,
        kLeftButtonUp = 514,
        kLeftDoubleClick = 515,
        kRightButtonDown = 516,
        kRightButtonUp = 517,
        kRightDoubleClick = 518,
    };

    explicit CTrayIconHandler(wxWindow* owner, int parameter = 0, unsigned trigger = kLeftDoubleClick);
    virtual ~CTrayIconHandler();

    virtual void Handle(CTrayIcon& icon);

    wxWindow* GetOwner() const { return m_owner; }
    int GetParameter() const { return m_parameter; }
    unsigned GetTrigger() const { return m_trigger; }

protected:
    wxWindow* m_owner;
    int m_parameter;
    unsigned m_trigger;
};

/// Restores the main window: sends it WM_APP_RESTOREWINDOW (0, 0).
class CTrayRestoreHandler : public CTrayIconHandler
{
public:
    explicit CTrayRestoreHandler(wxWindow* owner, unsigned trigger = kLeftDoubleClick);
    void Handle(CTrayIcon& icon) override;
};

/// Pops up the first sub-menu of a menu (the parameter is its id); the
/// commands go to the owner window.
class CTrayMenuHandler : public CTrayIconHandler
{
public:
    CTrayMenuHandler(wxWindow* owner, int menuId, unsigned trigger);
    void Handle(CTrayIcon& icon) override;

private:
    static void WatchPicks(wxMenu& menu, int& picked);
};

/// The main window's icon in the notification area, shown while the window
/// is minimised. Where the desktop has no notification area, Add() fails and
/// the window must stay reachable some other way. The area takes a shown icon
/// in a moment, or never: only an embedded icon can be seen and clicked.
class CTrayIcon : public wxTaskBarIcon
{
public:
    using HandlerTable = std::vector<std::unique_ptr<CTrayIconHandler>>;

    /// With an empty table the default one is built: a right-button press
    /// opens menu menuId, a left double-click restores the owner. An empty
    /// tip becomes the application's name.
    CTrayIcon(wxWindow* owner, int iconId, int menuId, const wxString& tip, HandlerTable handlers = {});
    ~CTrayIcon() override;

    /// Shows the icon (image iconId, the tip cut to 255 characters). False,
    /// and not shown, when there is no notification area or the icon cannot
    /// be set.
    bool Add();
    /// Removes the icon; false, doing nothing, when it was not shown.
    bool Remove();
    bool IsShown() const { return m_shown; }
    /// Shown and held by the notification area.
    bool IsEmbedded() const;
    /// Called from the event loop when the area takes the shown icon
    /// (true) or lets it go (false).
    void SetEmbeddingHandler(std::function<void(bool embedded)> handler)
    {
        m_embeddingHandler = std::move(handler);
    }

    /// Runs, in table order, every handler whose trigger is lParam, when
    /// wParam is this icon's id. Always 0.
    long Dispatch(unsigned wParam, unsigned lParam);

    wxWindow* GetOwner() const { return m_owner; }
    int GetIconId() const { return m_iconId; }
    const wxString& GetTip() const { return m_tip; }
    const HandlerTable& GetHandlers() const { return m_handlers; }

private:
    int RunHandlers(unsigned wParam, unsigned lParam);
    void OnMouse(wxTaskBarIconEvent& event, unsigned trigger);
    void ForwardToOwner(wxEvent& event);
    void WatchIconWindow(const std::vector<void*>& before);

    bool m_shown = false;
    wxWindow* m_owner;
    int m_iconId;
    wxString m_tip;
    HandlerTable m_handlers;
    std::unique_ptr<trayicon::CIconWindowWatch> m_watch; // while shown
    std::function<void(bool)> m_embeddingHandler;
};
