#pragma once

#include "support/ChildProcess.h"

#include <memory>
#include <string>
#include <vector>
#include <wx/gdicmn.h>

class wxWindow;

// The desktop of a user with a notification area, on the test's X server:
// openbox manages the windows and trayer is the tray, both the real programs.
// Queries go to the X server directly, as the window manager sees things.
class TrayDesktop
{
public:
    enum class WindowState
    {
        kWithdrawn, // not managed: hidden by the program
        kNormal,
        kIconic, // minimised
    };

    // Logs go into logFolder. Without the tray, only the window manager runs
    // (a test may play a tray of its own). Check Missing() and IsReady().
    explicit TrayDesktop(const std::string& logFolder, bool withTray = true);
    ~TrayDesktop();
    TrayDesktop(const TrayDesktop&) = delete;
    TrayDesktop& operator=(const TrayDesktop&) = delete;

    // The program that is not installed, empty when both are.
    std::string Missing() const { return m_missing; }
    // All started: the window manager took the screen, the tray its selection.
    bool IsReady() const { return m_ready; }
    // Ends the tray: its icons go back to their programs.
    void StopTray();

    // The X window of one of this process's top-level windows.
    static unsigned long XWindowOf(wxWindow* window);
    // The managed (shown or minimised) top-level window with this title, 0
    // when none is.
    unsigned long FindWindow(const std::string& title) const;
    // What a click on the title bar's minimise button asks the window manager.
    void Minimise(unsigned long window) const;
    WindowState StateOf(unsigned long window) const;
    // The keyboard's focus is on the window or inside it.
    bool HasFocus(unsigned long window) const;
    // Mapped and inside a mapped parent: on the screen.
    bool IsOnScreen(unsigned long window) const;
    // The screen rectangle of the window with the window manager's frame
    // around it, as the user sees it; empty when the window is not managed.
    wxRect FramedRectOf(unsigned long window) const;
    // The size of the window itself, inside the frame.
    wxSize SizeOf(unsigned long window) const;
    // The screen point of the window's own top-left corner, inside the frame.
    wxPoint OriginOf(unsigned long window) const;
    // Managed windows on the screen: the program's window and the dialogs
    // and boxes over it.
    int ShownWindows() const;
    // Pop-ups on the screen (menus, tips): windows the manager leaves alone.
    int PopupsShown() const;
    // Screen rectangles of the icons the tray holds (embedded and shown).
    std::vector<wxRect> EmbeddedIcons() const;

private:
    void* m_display = nullptr; // Display*
    std::string m_missing;
    bool m_ready = false;
    std::unique_ptr<testsupport::ChildProcess> m_windowManager;
    std::unique_ptr<testsupport::ChildProcess> m_tray;
};
