#include "mainwindow/UiThreadCaller.h"

#include <wx/event.h>
#include <wx/thread.h>

bool CUiThreadCaller::Call(std::function<void()> work)
{
    if (wxIsMainThread())
    {
        if (!IsAttached())
            return false;
        work();
        return true;
    }
    return Queue(std::move(work));
}

bool CUiThreadCaller::Queue(std::function<void()> work)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_target == nullptr)
        return false;
    // Queuing is thread-safe; the lock keeps the window alive meanwhile.
    m_target->CallAfter(std::move(work));
    return true;
}

void CUiThreadCaller::Detach()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_target = nullptr;
}

bool CUiThreadCaller::IsAttached() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_target != nullptr;
}
