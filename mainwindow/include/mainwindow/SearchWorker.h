#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class CUiThreadCaller;

/// Runs searches off the user-interface thread, one at a time and in the
/// order asked, and hands each one's ending to the user-interface thread.
/// A search waiting for its turn is replaced by a newer one of the same key:
/// only the last request for a watch matters.
class CSearchWorker
{
public:
    /// Runs on the worker; returns what is then run on the user-interface
    /// thread (it may be empty).
    using Job = std::function<std::function<void()>()>;

    explicit CSearchWorker(std::shared_ptr<CUiThreadCaller> caller);
    /// Waits for the running search; the waiting ones are dropped.
    ~CSearchWorker();
    CSearchWorker(const CSearchWorker&) = delete;
    CSearchWorker& operator=(const CSearchWorker&) = delete;

    void Post(const void* key, Job job);
    /// True while a search runs or waits, or its ending has not run yet.
    bool IsBusy() const;

private:
    struct Entry
    {
        const void* key;
        Job job;
    };
    void Run();

    std::shared_ptr<CUiThreadCaller> m_caller;
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<Entry> m_waiting;
    int m_unfinished = 0; // posted and not yet ended on the UI thread
    bool m_stopping = false;
    std::thread m_thread;
};
