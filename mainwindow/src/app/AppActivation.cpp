#include "mainwindow/AppActivation.h"

#include "mainwindow/MainFrame.h"
#include "common/Messages.h"
#include "mainwindow/StartupRules.h"

namespace app
{
bool RouteDocument(CMainFrame& frame, const std::string& path)
{
    std::uint32_t message = startup::DocumentMessageFor(path);
    if (message == 0)
        return false;
    // Sent: the handler runs before this returns, with the path as text.
    frame.SendMessage(message, 0, uString(path.c_str()));
    return true;
}

void BringForward(CMainFrame& frame)
{
    if (frame.IsHiddenInTray() || !frame.IsShown())
    {
        frame.SendMessage(WM_APP_RESTOREWINDOW);
        return;
    }
    if (frame.IsIconized())
        frame.Iconize(false);
    frame.Raise();
    frame.RequestUserAttention();
}

void ActivateFirstInstance(CMainFrame& frame, const std::string& path)
{
    if (path.empty())
        BringForward(frame);
    else
        RouteDocument(frame, path);
}
} // namespace app
