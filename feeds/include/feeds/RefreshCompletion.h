#pragma once

#include "foundation/uMessage.h"

#include <atomic>

// The end of one refresh, told to the window once: the refresh worker holds it
// while it runs its passes, and every update task it starts on a thread holds
// it until the task is gone. Whoever lets go last posts WM_APP_UPDATEDONE.
// Tasks that end faster than the pass starts new ones leave the semaphore free
// many times in one pass; none of those moments is the end.
class CRefreshCompletion
{
public:
    // Held once, by its creator.
    explicit CRefreshCompletion(uWindowHandle window) : m_window(window) {}
    CRefreshCompletion(const CRefreshCompletion&) = delete;
    CRefreshCompletion& operator=(const CRefreshCompletion&) = delete;

    void Hold() { m_holders.fetch_add(1); }
    // Any thread. The last release posts WM_APP_UPDATEDONE.
    void Release()
    {
        if (m_holders.fetch_sub(1) == 1)
            PostMessage(m_window, WM_APP_UPDATEDONE);
    }

private:
    const uWindowHandle m_window;
    std::atomic<int> m_holders{1};
};
