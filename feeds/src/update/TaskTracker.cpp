#include "feeds/TaskTracker.h"

#include <chrono>

void CTaskTracker::TaskStarted()
{
    std::lock_guard hold(m_lock);
    ++m_running;
}

void CTaskTracker::TaskEnded()
{
    std::lock_guard hold(m_lock);
    if (m_running > 0 && --m_running == 0)
        m_idle.notify_all();
}

std::size_t CTaskTracker::RunningTasks() const
{
    std::lock_guard hold(m_lock);
    return m_running;
}

bool CTaskTracker::WaitIdle(uint32_t milliseconds) const
{
    std::unique_lock hold(m_lock);
    return m_idle.wait_for(hold, std::chrono::milliseconds(milliseconds), [this] { return m_running == 0; });
}
