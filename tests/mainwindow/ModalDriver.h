#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <vector>
#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/progdlg.h>
#include <wx/timer.h>

namespace guitest
{
/// Shows the dialog modally and runs the steps one after the other inside
/// its loop, each on its own turn of the loop, as a user's actions would
/// come. Returns what ShowModal returned; a dialog still open after the last
/// step is cancelled so that the test goes on (and sees wxID_CANCEL).
inline int RunModal(wxDialog& dialog, std::vector<std::function<void(wxDialog&)>> steps)
{
    auto queue = std::make_shared<std::vector<std::function<void(wxDialog&)>>>(std::move(steps));
    auto next = std::make_shared<std::function<void(size_t)>>();
    *next = [&dialog, queue, next](size_t index)
    {
        if (!dialog.IsModal())
            return;
        if (index == queue->size())
        {
            dialog.EndModal(wxID_CANCEL);
            return;
        }
        (*queue)[index](dialog);
        dialog.CallAfter(
            [next, index]
            {
                if (*next)
                    (*next)(index + 1);
            });
    };
    dialog.CallAfter(
        [next]
        {
            if (*next)
                (*next)(0);
        });
    int result = dialog.ShowModal();
    *next = nullptr; // breaks the cycle
    return result;
}

/// Presses a button of the dialog as a click would.
inline void Press(wxDialog& dialog, int id)
{
    wxWindow* button = dialog.FindWindow(id);
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(button != nullptr ? button : &dialog);
    (button != nullptr ? button : &dialog)->GetEventHandler()->ProcessEvent(click);
}
} // namespace guitest

namespace guitest
{
/// Acts on the first modal dialog of that class once the code under test has
/// opened it (within a bounded number of turns of the event loop).
template <typename Dialog> void WhenDialogShown(std::function<void(Dialog&)> act)
{
    auto poll = std::make_shared<std::function<void(int)>>();
    *poll = [poll, act](int turnsLeft)
    {
        for (wxWindow* window : wxTopLevelWindows)
        {
            auto* dialog = dynamic_cast<Dialog*>(window);
            if (dialog != nullptr && dialog->IsModal())
            {
                act(*dialog);
                *poll = nullptr;
                return;
            }
        }
        if (turnsLeft == 0)
        {
            *poll = nullptr;
            return;
        }
        wxTheApp->CallAfter(
            [poll, turnsLeft]
            {
                if (*poll)
                    (*poll)(turnsLeft - 1);
            });
    };
    wxTheApp->CallAfter(
        [poll]
        {
            if (*poll)
                (*poll)(10000);
        });
}

/// As WhenDialogShown, for a dialog that another thread or a later step
/// opens: looks every 20 ms, for at most maxMs, instead of counting turns.
/// A fetch's progress dialog counts as open once shown: it keeps input from
/// the window without a modal loop of its own.
template <typename Dialog> void WhenDialogShownWithin(int maxMs, std::function<void(Dialog&)> act)
{
    auto* timer = new wxTimer();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
    timer->Bind(wxEVT_TIMER,
                [timer, act, deadline](wxTimerEvent&)
                {
                    Dialog* shown = nullptr;
                    for (wxWindow* window : wxTopLevelWindows)
                    {
                        auto* dialog = dynamic_cast<Dialog*>(window);
                        const bool progress = dynamic_cast<wxGenericProgressDialog*>(window) != nullptr;
                        if (dialog != nullptr && (dialog->IsModal() || (progress && dialog->IsShown())))
                            shown = dialog;
                    }
                    if (shown == nullptr && std::chrono::steady_clock::now() < deadline)
                        return;
                    timer->Stop();
                    if (shown != nullptr)
                        act(*shown);
                    // Only now: the act may run nested loops, and this handler belongs to the timer.
                    wxTheApp->CallAfter([timer] { delete timer; });
                });
    timer->Start(20);
}
} // namespace guitest
