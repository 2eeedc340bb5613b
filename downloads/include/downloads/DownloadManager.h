#pragma once

#include "downloads/DownloadEnvironment.h"
#include "downloads/DownloadHost.h"
#include "downloads/DownloadTask.h"
#include "downloads/TorrentEngine.h"
#include "downloads/TransferItem.h"
#include "downloads/TransferLimiter.h"
#include "feeds/DownloadQueue.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// The download queue, the limiter that bounds the transfers running at once,
// and the BitTorrent engine.
//
// Threads: the window, the download starter, every transfer task and the feed
// update tasks use the queue at the same time. One mutex guards it; readers
// get copies, and a finished task writes its record back in one locked step.
// Engine calls are never made while that mutex is held.
class CDownloadManager : public CDownloadQueue
{
public:
    // Loads the queue file, then the engine plug-in from the program folder
    // (no engine when programDir is empty or the plug-in does not load).
    // host may be null: no status texts, no scheduler timer.
    CDownloadManager(CDownloadEnvironment& environment, CDownloadHost* host);
    // The same with an engine made by the caller (or none); nothing is loaded.
    CDownloadManager(CDownloadEnvironment& environment, CDownloadHost* host,
                     std::unique_ptr<CTorrentEngine> engine);
    // Stops the starter, aborts and waits for the running tasks (their partial
    // files stay for a resume), deletes the engine, then saves the queue.
    ~CDownloadManager() override;
    CDownloadManager(const CDownloadManager&) = delete;
    CDownloadManager& operator=(const CDownloadManager&) = delete;

    // The feed engine's view (feeds/DownloadQueue.h).
    bool AddItem(const CTransferRequest& request) override;
    bool RemoveItem(const CTransferRequest& request) override;
    void RemoveByPath(const uFile& path) override;
    bool IsBusy() const override { return m_busy.load(); }
    bool HasTorrentEngine() const override { return m_engine != nullptr; }
    bool RemoveTorrent(const uFile& torrentFile) override;

    // Queue operations. A look-up by record compares the id; the first match wins.
    // Appends a copy unless that id is queued; true when it is queued afterwards.
    bool AddItem(const CTransferItem& record);
    bool RemoveItem(const CTransferItem& record);
    bool Contains(const CTransferItem& record) const;
    int CountByStatus(int status) const;
    bool GetItemByPath(const uFile& path, CTransferItem& record) const;
    bool GetItemByItem(const uString& item, CTransferItem& record) const;
    bool GetItemById(const uString& id, CTransferItem& record) const;
    // A copy of the queue in its order.
    std::vector<CTransferItem> GetItems() const;
    bool HasRunningTask(const CTransferItem& record) const;
    // Set the field on the queued entry and on the given record; neither
    // changes when the id is not queued.
    bool SetStatus(CTransferItem& record, int status);
    bool SetRetry(CTransferItem& record, int retry);
    // Copies the record's localfile and length into its queued entry.
    bool SetLocalFile(const CTransferItem& record);

    // Stop: the entry becomes Stopped and its transfer ends; the partial file
    // stays. Cancel: the same, then the partial file (or the torrent and its
    // data) is deleted and the entry becomes Cancelled. False when there was
    // nothing to stop.
    bool StopItem(const CTransferItem& record);
    bool CancelItem(const CTransferItem& record);

    // One transfer for the record at once, outside the limiter; the record is
    // queued first when absent. False when a task already runs for it.
    bool StartItemTask(const CTransferItem& record);
    // Starts a task per entry that is neither Failed nor Complete, at most
    // nMaxDownloadingThreads at once (blocks for free slots), then re-arms the
    // scheduler. False, doing nothing, when free space is short or another
    // starter runs.
    bool StartPending();
    // StartPending on a thread of its own; false when one is running already.
    bool DownloadNow();
    // Blocks until the starter has ended and no task runs.
    void WaitForTasks();

    // Whether the "My Download" folder's file system has nMinFreeSpace plus the
    // requested MiB free (0 asks for nMinFreeSpace again).
    bool HasEnoughFreeSpace(int64_t requestedMiB = 0);
    // Arms the timer for the next scheduled pass, or kills it; the delay in
    // milliseconds, 0 when killed or without a host.
    uint64_t SetScheduleTimer(int timerId = CDownloadHost::kSchedulerTimer);

    // download.xml in the subscription folder.
    bool SaveQueue() const;
    void LoadQueue();
    // Removes the work file that a save cut short by a kill left in the
    // subscription folder (download.xml, written whole or not at all, stays).
    // At start, while no other instance runs. True when there was one.
    static bool RemoveQueueLeftover(const uFile& subscriptionDir);

    // One step of the record's life (the body of a transfer task); task gives
    // the abort flag and may be null. changed tells whether the record must
    // be written back. True when this run's download succeeded or it filed
    // the record as Complete.
    bool RunTransfer(CTransferItem& record, bool& changed, const CDownloadTask* task = nullptr);

    CTorrentEngine* GetEngine() const { return m_engine.get(); }
    CDownloadEnvironment& GetEnvironment() const { return m_environment; }
    int GetLimit() const { return m_limit; }

private:
    friend class CDownloadTask;

    struct Entry
    {
        CTransferItem record;
        CDownloadTask* task = nullptr; // the task running for it, cleared by the task before it ends
    };
    struct TaskSlot
    {
        std::unique_ptr<CDownloadTask> task;
        std::unique_ptr<uThread> thread; // destroyed first: joins before the task goes
        bool finished = false;
    };

    void Initialise();
    std::list<Entry>::iterator Find(const uString& id);
    std::list<Entry>::const_iterator Find(const uString& id) const;
    bool AddLocked(const CTransferItem& record);
    // Runs fn on the queued entry's record and then copies it to the caller's
    // record, unless the task was aborted (then only the caller's changes).
    bool Update(CTransferItem& record, const CDownloadTask* task,
                const std::function<void(CTransferItem&)>& change);

    bool LaunchTask(const CTransferItem& record, bool holdsSlot);
    void StartPendingBody();
    void ReapFinishedTasks();
    void StopAllTasks();
    // Called by a task at its end.
    void ReleaseSlot() { m_limiter.Release(); }
    void RunPostProcess(const CTransferItem& record);
    // Writes the record back (when changed and not aborted), drops a
    // cancelled download's partial file and then clears the entry's task;
    // the task's abort reason as it stood then.
    int FinishTask(CDownloadTask* task, const CTransferItem& record, bool changed);
    void MarkFinished(CDownloadTask* task);
    // Tells the host once the transfers the starter announced have all ended.
    void ReportIfIdle();
    uFile GetTempDir() const;

    // RunTransfer's steps.
    void FilePlainDownload(CTransferItem& record, bool& changed, bool& ok, const CDownloadTask* task);
    void HandOverTorrent(CTransferItem& record, bool& changed, bool& ok, const CDownloadTask* task);
    void CollectTorrent(CTransferItem& record, bool& changed, bool& ok, const CDownloadTask* task);
    CTransferContext MakeContext(const CDownloadSettings& settings, const CDownloadTask* task) const;

    CDownloadEnvironment& m_environment;
    CDownloadHost* m_host;

    mutable std::mutex m_queueLock;
    std::list<Entry> m_queue;

    std::atomic<bool> m_busy{false};
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_announced{false}; // a "Downloading" text is showing
    int m_limit;
    CTransferLimiter m_limiter;
    std::thread m_starter;
    std::mutex m_starterLock; // guards m_starter

    std::mutex m_taskLock;
    std::condition_variable m_taskEnded;
    std::list<TaskSlot> m_tasks;

    std::unique_ptr<CTorrentEngine> m_engine;
};

// The delay until the next scheduled pass in milliseconds, or none when no
// time is enabled. Interval mode: nSchedulerInterval minutes, a value of 0 or
// less counting as 5. Daily mode: the earliest enabled time of day, taken
// with the seconds of now, that lies after now (today or tomorrow).
std::optional<uint64_t> ComputeScheduleDelay(const CDownloadSettings& settings, time_t now);

// The limit of transfers at once for nMaxDownloadingThreads (low 16 bits,
// signed): 1 to 4, anything else 1.
int TransferLimitFor(int nMaxDownloadingThreads);
