#pragma once

#include "feeds/TaskTracker.h"
#include "foundation/uMessage.h"
#include "foundation/uString.h"
#include "foundation/uThread.h"

#include <functional>
#include <memory>
#include <utility>

class CDownloadQueue;
class CFailedIcons;
class CRefreshCompletion;
class CRefreshHost;
class uActiveXDataObjectExt;

// The periodic update of the subscriptions: a refresh worker runs one update
// pass per subscription list; a pass starts one task per feed; a task fetches,
// stores and purges its feed. Everything reaches the window through posted
// messages, each carrying its own copy of its text:
//   WM_APP_STATUSTEXT     "Compacting database <list>", "Checking Feed <url>"
//   WM_APP_NOTIFYNEWITEMS up to three new item titles, each ended by "\n"
//   WM_APP_UPDATEDONE     once per refresh, when its worker and the last task
//                         it started on a thread have ended (CRefreshCompletion)
//   WM_USER_FEEDUPDATED   the list file name, after its pass

// One feed's update. Runs once, on its own thread or inline, and then deletes
// its thread object and itself.
class CFeedUpdateTask : public uRunnable
{
public:
    // `semaphore` null: the task runs inline. `postTitles`: new item titles
    // are posted for the notifier. `tracker` may be null; the task counts in
    // it from construction to the end of its destruction. `completion` may be
    // null; the task holds it for as long as it exists.
    CFeedUpdateTask(const uString& listName, const uString& feedUrl, uWindowHandle window,
                    std::shared_ptr<CDownloadQueue> downloadManager, bool postTitles,
                    std::shared_ptr<uSemaphore> semaphore, uThread* thread,
                    std::shared_ptr<CTaskTracker> tracker = nullptr,
                    std::shared_ptr<CRefreshCompletion> completion = nullptr);
    ~CFeedUpdateTask() override;

    void SetThread(uThread* thread) { m_thread = thread; }
    // The icon links that failed in the task's pass, shared by its tasks.
    void SetFailedIcons(std::shared_ptr<CFailedIcons> failedIcons) { m_failedIcons = std::move(failedIcons); }
    // Tests only: called in every task before its fetch, on the task's
    // thread; it may throw. An empty function removes it.
    static void SetTestHook(std::function<void(const uString& feedUrl)> hook);
    // After run the task no longer exists.
    void run() override;

private:
    // The due test, fetch, store, purge, titles and enclosure queue.
    void UpdateFeed();

    uString m_listName;
    uString m_feedUrl;
    uWindowHandle m_window;
    std::shared_ptr<CDownloadQueue> m_downloadManager;
    bool m_postTitles;
    std::shared_ptr<uSemaphore> m_semaphore;
    uThread* m_thread; // owned
    std::shared_ptr<CTaskTracker> m_tracker;
    std::shared_ptr<CFailedIcons> m_failedIcons;
    std::shared_ptr<CRefreshCompletion> m_completion;
};

// One update pass over one list database: compaction, the list's feeds, one
// task per feed. `database` is the caller's and is kept across passes; it is
// reused when it is on this list already (names compared exactly: list files
// differing in case are different files). With a semaphore each task runs on
// a thread of its own once a slot is free, else inline. The pass does not
// wait for its tasks. Once the tracker asks to stop, no further task starts.
// Tasks on threads hold `completion` (may be null); inline ones never do.
void UpdateAllFeeds(uActiveXDataObjectExt* database, uString listName, uWindowHandle window,
                    std::shared_ptr<uSemaphore> semaphore, std::shared_ptr<CDownloadQueue> downloadManager,
                    bool postTitles, bool postStatus, bool showMessages,
                    std::shared_ptr<CTaskTracker> tracker = nullptr,
                    std::shared_ptr<CRefreshCompletion> completion = nullptr);

// The refresh worker: one pass per list of the host, then it clears the
// host's refresh-running flag. When any pass ran its tasks on threads, the
// window hears WM_APP_UPDATEDONE once, after the last of them. Returns 0.
unsigned RefreshWorkerProc(const std::shared_ptr<CRefreshHost>& host);
