#pragma once

#include "feeds/TaskTracker.h"
#include "foundation/uMessage.h"
#include "foundation/uSemaphore.h"
#include "foundation/uString.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class CDownloadQueue;
class uThread;

// The state of the main window that the refresh worker and the update tasks
// read, without any window: the main frame owns one and is its message
// target; tests and command-line drivers use it on its own.
//
// The worker keeps the host alive while it runs, and the tasks keep the
// semaphore, the download queue and the task tracker alive, so that nothing
// they use is freed under them if they outlive the bounded wait at close.
// Messages reach the window through its registered handle (uMessage.h); once
// the window has closed its handle, posts from late workers go nowhere.
class CRefreshHost : public std::enable_shared_from_this<CRefreshHost>
{
public:
    enum class RefreshStart
    {
        kStarted,      // the worker runs over the given lists
        kRunning,      // a refresh runs already: nothing was done
        kNoLists,      // the worker was idle but there is nothing to refresh
        kThreadFailed, // the worker thread could not be started
        kClosed,       // Close was called: no refresh starts any more
    };

    // The update-task semaphore gets ScanningThreadCount(maxScanningThreads)
    // slots. `downloads` may be null (no enclosure is queued then).
    static std::shared_ptr<CRefreshHost>
    Create(uWindowHandle window, std::shared_ptr<CDownloadQueue> downloads, int maxScanningThreads);
    // Does not wait: call Close first. A worker still running holds its own
    // reference, so the destructor may run on the worker's thread.
    ~CRefreshHost();
    CRefreshHost(const CRefreshHost&) = delete;
    CRefreshHost& operator=(const CRefreshHost&) = delete;

    // The setting clamped to 1..8; anything else gives 2.
    static int ScanningThreadCount(int maxScanningThreads);

    // Refresh All: when no refresh runs, takes the lists (database file names
    // of the subscription lists, in tree order), sets the refresh-running flag
    // and starts RefreshWorkerProc on a thread of its own. What Refresh All
    // does afterwards with the parallel-mode flag and the download queue file
    // is the caller's: whether the start-up pass runs its tasks in parallel
    // depends on whether the caller sets the flag before or after this call.
    RefreshStart RefreshAll(std::vector<uString> lists);
    bool IsRefreshRunning() const { return m_refreshRunning.load(); }

    // The lists of the current (or last) refresh, read under a lock; the
    // worker reads the count again before every list.
    std::size_t ListCount() const;
    // False, leaving `out` as it was, past the end.
    bool ListAt(std::size_t index, uString& out) const;

    // Set on the user-interface thread, read by the worker once per list.
    // Parallel mode: tasks run on threads of their own, bounded by the
    // update-task semaphore; otherwise one after another on the worker.
    void SetParallelMode(bool on) { m_parallelMode.store(on); }
    bool IsParallelMode() const { return m_parallelMode.load(); }
    // The frame's hidden-in-tray flag, read once per list: while set, passes
    // post new-item titles instead of status texts, and no
    // WM_USER_FEEDUPDATED.
    void SetHiddenInTray(bool hidden) { m_hiddenInTray.store(hidden); }
    bool IsHiddenInTray() const { return m_hiddenInTray.load(); }

    uWindowHandle GetWindow() const { return m_window; }
    const std::shared_ptr<uSemaphore>& GetUpdateSemaphore() const { return m_semaphore; }
    const std::shared_ptr<CDownloadQueue>& GetDownloadQueue() const { return m_downloads; }
    const std::shared_ptr<CTaskTracker>& GetTaskTracker() const { return m_tracker; }

    // Waits, with one bound for both, for the worker to end and then for
    // every update task to end; true when both did. Nothing is stopped.
    bool WaitIdle(uint32_t milliseconds);
    // The first half of Close, which waits for nothing: no further refresh
    // starts, no further task starts, running fetches are aborted and nothing
    // more is stored.
    void Stop();
    // The close of the program: Stop, then WaitIdle with the bound. False
    // when something still ran when the bound ran out.
    bool Close(uint32_t milliseconds = 60000);

private:
    CRefreshHost(uWindowHandle window, std::shared_ptr<CDownloadQueue> downloads, int maxScanningThreads);

    friend unsigned RefreshWorkerProc(const std::shared_ptr<CRefreshHost>& host);
    // The worker's last action.
    void RefreshEnded() { m_refreshRunning.store(false); }

    const uWindowHandle m_window;
    const std::shared_ptr<CDownloadQueue> m_downloads;
    const std::shared_ptr<uSemaphore> m_semaphore;
    const std::shared_ptr<CTaskTracker> m_tracker;

    std::atomic<bool> m_refreshRunning{false};
    std::atomic<bool> m_parallelMode{false};
    std::atomic<bool> m_hiddenInTray{false};
    std::atomic<bool> m_closed{false};

    mutable std::mutex m_listLock;
    std::vector<uString> m_lists; // guarded by m_listLock

    // Starting, joining and replacing the worker thread happen under this
    // lock, on the threads that call RefreshAll, WaitIdle and Close.
    std::mutex m_workerLock;
    std::unique_ptr<uThread> m_worker;
};
