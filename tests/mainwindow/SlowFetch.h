#pragma once

// A slow server for the fetches the user starts from the window, and a user
// who watches the window and cancels: shared by the frame and dialog tests.
#include "support/HttpMessage.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>
#include <wx/dialog.h>
#include <wx/progdlg.h>
#include <wx/timer.h>

namespace guitest
{
/// Holds a response after its first bytes until the test opens it. The wait
/// is bounded, far below the fetches' time-outs but far above what an abort
/// takes, only so that a client that never lets go cannot hang the test:
/// Expired() then says the transfer outlived the cancel.
class ResponseGate
{
public:
    void Wait()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        if (!m_changed.wait_for(lock, std::chrono::seconds(30), [this] { return m_open; }))
            m_expired = true;
    }
    void Open()
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_open = true;
        }
        m_changed.notify_all();
    }
    bool Expired() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_expired;
    }

private:
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_open = false;
    bool m_expired = false;
};

/// Opens the gate as it goes: declared after the server, it lets the
/// server's threads end also when a test stops early.
struct GateOpener
{
    std::shared_ptr<ResponseGate> gate;
    ~GateOpener() { gate->Open(); }
};

/// The body trickles at 10 bytes a second, and after its first bytes waits
/// at the gate: without Cancel the fetch would run into its time-out.
inline testsupport::HttpResponse TricklingResponse(const std::string& body, const std::string& type,
                                                   const std::shared_ptr<ResponseGate>& gate)
{
    testsupport::HttpResponse response = testsupport::TextResponse(200, body, type);
    response.dripMs = 100;
    response.dripBytes = 1;
    response.holdAfter = 20;
    response.hold = [gate] { gate->Wait(); };
    return response;
}

/// A timer of the window, running while it lives: it counts its ticks, and
/// at the tenth presses Cancel in the fetch's progress dialog, as a user
/// would. Any other modal dialog it meets after that is recorded and closed,
/// so that a command that goes on after Cancel fails the test, not hangs it.
class CancelProgressOnTick
{
public:
    static constexpr int kCancelTick = 10;

    CancelProgressOnTick()
    {
        m_timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { OnTick(); });
        m_timer.Start(100);
    }
    ~CancelProgressOnTick() { m_timer.Stop(); }

    int ticks = 0;
    bool cancelled = false;             ///< a progress dialog with Cancel was there, and was cancelled
    std::string progressTitle;          ///< the title of that dialog
    std::vector<std::string> afterward; ///< titles of the dialogs shown after Cancel

private:
    void OnTick()
    {
        ++ticks;
        for (wxWindow* window : wxTopLevelWindows)
        {
            if (auto* progress = dynamic_cast<wxGenericProgressDialog*>(window))
            {
                progressTitle = progress->GetTitle().utf8_string();
                wxWindow* button = progress->FindWindow(wxID_CANCEL);
                if (cancelled || ticks < kCancelTick || button == nullptr)
                    continue;
                wxCommandEvent click(wxEVT_BUTTON, wxID_CANCEL);
                click.SetEventObject(button);
                button->GetEventHandler()->ProcessEvent(click);
                cancelled = true;
            }
            else if (auto* dialog = dynamic_cast<wxDialog*>(window); dialog && dialog->IsModal() && cancelled)
            {
                afterward.push_back(dialog->GetTitle().utf8_string());
                dialog->EndModal(wxID_CANCEL);
            }
        }
    }

    wxTimer m_timer;
};
} // namespace guitest
