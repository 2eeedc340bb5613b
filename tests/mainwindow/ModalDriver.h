#pragma once

#include <functional>
#include <memory>
#include <vector>
#include <wx/app.h>
#include <wx/dialog.h>

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
} // namespace guitest
