#pragma once

#include <functional>
#include <mutex>

class wxEvtHandler;

// Hands work from any thread to the user-interface thread, through a window
// that may go away: once Detach has returned, nothing more is queued to it,
// and what was queued before is dropped with the window.
class CUiThreadCaller
{
public:
    explicit CUiThreadCaller(wxEvtHandler* target) : m_target(target) {}
    CUiThreadCaller(const CUiThreadCaller&) = delete;
    CUiThreadCaller& operator=(const CUiThreadCaller&) = delete;

    // Runs the work on the user-interface thread: at once when called there,
    // else at the window's next turn of its event loop. False when detached.
    bool Call(std::function<void()> work);
    // Always queued, also from the user-interface thread.
    bool Queue(std::function<void()> work);
    void Detach();
    bool IsAttached() const;

private:
    mutable std::mutex m_lock;
    wxEvtHandler* m_target; // guarded by m_lock
};
