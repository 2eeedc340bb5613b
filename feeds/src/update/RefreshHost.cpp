#include "feeds/RefreshHost.h"

#include "feeds/FeedUpdate.h"
#include "foundation/uThread.h"

#include <chrono>
#include <utility>

namespace
{

// Runs the worker with a reference of its own to the host, so that a host
// whose owner has given up waiting stays valid until the worker is done.
// Deletes itself first, like an update task.
class WorkerRun : public uRunnable
{
public:
    explicit WorkerRun(std::shared_ptr<CRefreshHost> host) : m_host(std::move(host)) {}

    void run() override
    {
        std::shared_ptr<CRefreshHost> host = std::move(m_host);
        delete this;
        RefreshWorkerProc(host);
        // Releasing `host` may destroy it here, on the worker's own thread.
    }

private:
    std::shared_ptr<CRefreshHost> m_host;
};

uint32_t MillisecondsLeft(std::chrono::steady_clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<uint32_t>(left.count()) : 0;
}

} // namespace

std::shared_ptr<CRefreshHost>
CRefreshHost::Create(uWindowHandle window, std::shared_ptr<CDownloadQueue> downloads, int maxScanningThreads)
{
    return std::shared_ptr<CRefreshHost>(new CRefreshHost(window, std::move(downloads), maxScanningThreads));
}

CRefreshHost::CRefreshHost(uWindowHandle window, std::shared_ptr<CDownloadQueue> downloads,
                           int maxScanningThreads)
    : m_window(window), m_downloads(std::move(downloads)),
      m_semaphore(std::make_shared<uSemaphore>(ScanningThreadCount(maxScanningThreads))),
      m_tracker(std::make_shared<CTaskTracker>())
{
}

CRefreshHost::~CRefreshHost() = default;

int CRefreshHost::ScanningThreadCount(int maxScanningThreads)
{
    return maxScanningThreads >= 1 && maxScanningThreads <= 8 ? maxScanningThreads : 2;
}

CRefreshHost::RefreshStart CRefreshHost::RefreshAll(std::vector<uString> lists)
{
    std::lock_guard hold(m_workerLock);
    if (m_closed.load())
        return RefreshStart::kClosed;
    if (m_refreshRunning.load())
        return RefreshStart::kRunning;
    if (lists.empty())
        return RefreshStart::kNoLists;
    // The last worker cleared the flag as its last action, so this join is short.
    m_worker.reset();
    {
        std::lock_guard listHold(m_listLock);
        m_lists = std::move(lists);
    }
    m_refreshRunning.store(true);
    auto* run = new WorkerRun(shared_from_this());
    auto thread = std::make_unique<uThread>(run);
    thread->setDetached(false);
    if (!thread->start())
    {
        delete run;
        m_refreshRunning.store(false);
        return RefreshStart::kThreadFailed;
    }
    m_worker = std::move(thread);
    return RefreshStart::kStarted;
}

std::size_t CRefreshHost::ListCount() const
{
    std::lock_guard hold(m_listLock);
    return m_lists.size();
}

bool CRefreshHost::ListAt(std::size_t index, uString& out) const
{
    std::lock_guard hold(m_listLock);
    if (index >= m_lists.size())
        return false;
    out = m_lists[index];
    return true;
}

bool CRefreshHost::WaitIdle(uint32_t milliseconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    {
        std::lock_guard hold(m_workerLock);
        if (m_worker)
        {
            if (!m_worker->join(milliseconds))
                return false;
            m_worker.reset();
        }
    }
    return m_tracker->WaitIdle(MillisecondsLeft(deadline));
}

void CRefreshHost::Stop()
{
    {
        std::lock_guard hold(m_workerLock);
        m_closed.store(true);
    }
    m_tracker->RequestStop();
}

bool CRefreshHost::Close(uint32_t milliseconds)
{
    Stop();
    return WaitIdle(milliseconds);
}
