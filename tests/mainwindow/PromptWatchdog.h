#pragma once

// Ends a wait that the code under test would never end: a worker that waits
// for a password prompt nobody shows, or a prompt nobody answers. Refusing
// lets the worker go on, so the test fails on what it checks instead of
// hanging.
#include "dialogs/MailDlgs.h"
#include "mainwindow/UiPrompts.h"

#include <wx/timer.h>

namespace guitest
{
class PromptWatchdog
{
public:
    explicit PromptWatchdog(CUiCredentialPrompt& prompt, int maxMs = 20000)
    {
        m_timer.Bind(wxEVT_TIMER,
                     [this, &prompt](wxTimerEvent&)
                     {
                         fired = true;
                         prompt.Cancel();
                         for (wxWindow* window : wxTopLevelWindows)
                             if (auto* shown = dynamic_cast<CPromptUserPassDlg*>(window);
                                 shown && shown->IsModal())
                                 shown->EndModal(wxID_CANCEL);
                     });
        m_timer.StartOnce(maxMs);
    }
    ~PromptWatchdog() { m_timer.Stop(); }

    bool fired = false; ///< the wait had to be ended from outside

private:
    wxTimer m_timer;
};
} // namespace guitest
