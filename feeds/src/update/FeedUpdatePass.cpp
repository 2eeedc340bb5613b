#include "feeds/DownloadQueue.h"
#include "feeds/FailedIcons.h"
#include "feeds/FeedStore.h"
#include "feeds/FeedUpdate.h"
#include "feeds/MessageBox.h"
#include "feeds/RefreshHost.h"
#include "foundation/uActiveXDataObjectExt.h"

#include <list>
#include <new>

namespace
{

// Puts the database object on the list's file: kept when it is there already,
// reconnected when it was closed, reopened on another file otherwise. Names
// compare byte for byte: two list names differing in case are two files here.
bool BringToList(uActiveXDataObjectExt& database, const uString& listName)
{
    if (database.getDatabaseName() == listName)
        return database.isConnected() || database.connect();
    database.close();
    CConnectionString connection(listName);
    return database.open(connection.c_str(), listName.c_str(), "", "");
}

bool Stopping(const std::shared_ptr<CTaskTracker>& tracker)
{
    return tracker && tracker->IsStopping();
}

// Hands a slot back for a task that never ran; when that frees the last one,
// the window hears that nothing runs, as from a finished task.
void ReleaseSlot(uSemaphore& semaphore, uWindowHandle window)
{
    int countAfter = -1;
    if (semaphore.post(&countAfter) && countAfter == semaphore.getInitialCount())
        PostMessage(window, WM_APP_UPDATEDONE);
}

} // namespace

namespace
{
constexpr double kPassCompactionFreeRatio = 0.25;
} // namespace

void UpdateAllFeeds(uActiveXDataObjectExt* database, uString listName, uWindowHandle window,
                    std::shared_ptr<uSemaphore> semaphore, std::shared_ptr<CDownloadQueue> downloadManager,
                    bool postTitles, bool postStatus, bool showMessages,
                    std::shared_ptr<CTaskTracker> tracker)
{
    uString status;
    if (postStatus)
    {
        status.format("Compacting database %s", listName.c_str());
        PostMessage(window, WM_APP_STATUSTEXT, 0, status);
    }
    // Every pass would otherwise rewrite the whole file; a quarter of it free
    // is worth the rewrite.
    CompactFeedDatabase(listName, downloadManager.get(), kPassCompactionFreeRatio);

    std::list<uString> feeds;
    if (!BringToList(*database, listName) ||
        !database->selectStringList("channel", "feed", feeds, nullptr, nullptr))
    {
        if (showMessages)
            CMessageBox::Display(database->getErrorText());
        return;
    }

    // A site without an icon is asked once a pass, not once for each of its feeds.
    auto failedIcons = std::make_shared<CFailedIcons>();
    for (const uString& feed : feeds)
    {
        if (Stopping(tracker))
            break;
        auto* task = new (std::nothrow)
            CFeedUpdateTask(listName, feed, window, downloadManager, postTitles, semaphore, nullptr, tracker);
        if (!task)
            continue;
        task->SetFailedIcons(failedIcons);
        if (!semaphore)
        {
            task->run(); // deletes the task
            continue;
        }
        semaphore->wait();
        if (Stopping(tracker))
        {
            delete task;
            ReleaseSlot(*semaphore, window);
            break;
        }
        auto* thread = new (std::nothrow) uThread(task);
        if (!thread)
        {
            delete task;
            ReleaseSlot(*semaphore, window);
            continue;
        }
        task->SetThread(thread);
        if (postStatus)
        {
            status.format("Checking Feed %s", feed.c_str());
            PostMessage(window, WM_APP_STATUSTEXT, 0, status);
        }
        if (!thread->start())
        {
            delete thread;
            delete task;
            ReleaseSlot(*semaphore, window);
        }
        // Once started, the task owns itself and its thread: neither is touched here again.
    }
}

unsigned RefreshWorkerProc(const std::shared_ptr<CRefreshHost>& host)
{
    {
        uComInit com;
        uActiveXDataObjectExt database;
        uString listName;
        std::shared_ptr<uSemaphore> lastSemaphore;
        // The count is read again before every list.
        for (std::size_t i = 0; host->ListAt(i, listName); ++i)
        {
            if (host->GetTaskTracker()->IsStopping())
                break;
            // Hidden in the tray: the notifier shows new titles, the status bar nothing.
            const bool hidden = host->IsHiddenInTray();
            std::shared_ptr<uSemaphore> semaphore =
                host->IsParallelMode() ? host->GetUpdateSemaphore() : std::shared_ptr<uSemaphore>();
            if (semaphore)
                lastSemaphore = semaphore;
            UpdateAllFeeds(&database, listName, host->GetWindow(), semaphore, host->GetDownloadQueue(),
                           /*postTitles=*/hidden, /*postStatus=*/!hidden, /*showMessages=*/false,
                           host->GetTaskTracker());
            if (!host->IsHiddenInTray())
                PostMessage(host->GetWindow(), WM_USER_FEEDUPDATED, 0, listName);
        }
        // Only a finished task reports the end of a pass; when the lists held no
        // feed (or could not be read) none ran, and the status bar would keep
        // "Compacting database ..." for good. Nothing runs now: say so.
        if (lastSemaphore && lastSemaphore->getCount() == lastSemaphore->getInitialCount())
            PostMessage(host->GetWindow(), WM_APP_UPDATEDONE);
    }
    host->RefreshEnded();
    return 0;
}
