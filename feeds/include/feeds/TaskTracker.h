#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

// What the update tasks of a refresh share with whoever must outlive them:
// how many tasks exist, and whether they have been asked to stop. Tasks hold
// it by shared pointer, so it stays valid for a task that outlives the bounded
// wait at close.
class CTaskTracker
{
public:
    CTaskTracker() = default;
    CTaskTracker(const CTaskTracker&) = delete;
    CTaskTracker& operator=(const CTaskTracker&) = delete;

    // A task counts from its construction to the end of its destructor.
    void TaskStarted();
    void TaskEnded();
    std::size_t RunningTasks() const;
    // Waits until no task exists; false when the bound ran out first.
    bool WaitIdle(uint32_t milliseconds) const;

    // Asks running tasks to end soon: their fetches are aborted and nothing
    // more is stored. Never undone.
    void RequestStop() { m_stop.store(true); }
    bool IsStopping() const { return m_stop.load(); }
    // Handed to the fetches of the tasks as their abort flag.
    const std::atomic<bool>& StopFlag() const { return m_stop; }

private:
    mutable std::mutex m_lock;
    mutable std::condition_variable m_idle;
    std::size_t m_running = 0;
    std::atomic<bool> m_stop{false};
};
