#include "StringTable.h"
#include "feeds/DownloadQueue.h"
#include "feeds/FailedIcons.h"
#include "feeds/FeedStore.h"
#include "feeds/FeedUpdate.h"
#include "feeds/MessageBox.h"
#include "feeds/RefreshCompletion.h"
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

} // namespace

namespace
{
constexpr double kPassCompactionFreeRatio = 0.25;
// Status texts, formatted on this worker in the interface language.
constexpr int kCompactingText = 3075;
constexpr int kCheckingText = 3076;
} // namespace

void UpdateAllFeeds(uActiveXDataObjectExt* database, uString listName, uWindowHandle window,
                    std::shared_ptr<uSemaphore> semaphore, std::shared_ptr<CDownloadQueue> downloadManager,
                    bool postTitles, bool postStatus, bool showMessages,
                    std::shared_ptr<CTaskTracker> tracker, std::shared_ptr<CRefreshCompletion> completion)
{
    uString status;
    if (postStatus)
    {
        status.format(resources::StringText(kCompactingText).c_str(), listName.c_str());
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
        auto* task =
            new (std::nothrow) CFeedUpdateTask(listName, feed, window, downloadManager, postTitles, semaphore,
                                               nullptr, tracker, semaphore ? completion : nullptr);
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
            semaphore->post();
            delete task;
            break;
        }
        auto* thread = new (std::nothrow) uThread(task);
        if (!thread)
        {
            semaphore->post();
            delete task;
            continue;
        }
        task->SetThread(thread);
        if (postStatus)
        {
            status.format(resources::StringText(kCheckingText).c_str(), feed.c_str());
            PostMessage(window, WM_APP_STATUSTEXT, 0, status);
        }
        if (!thread->start())
        {
            delete thread;
            semaphore->post();
            delete task;
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
        // Held by the worker until every list has had its pass.
        auto completion = std::make_shared<CRefreshCompletion>(host->GetWindow());
        bool tasksOnThreads = false;
        // The count is read again before every list.
        for (std::size_t i = 0; host->ListAt(i, listName); ++i)
        {
            if (host->GetTaskTracker()->IsStopping())
                break;
            // Hidden in the tray: the notifier shows new titles, the status bar nothing.
            const bool hidden = host->IsHiddenInTray();
            std::shared_ptr<uSemaphore> semaphore =
                host->IsParallelMode() ? host->GetUpdateSemaphore() : std::shared_ptr<uSemaphore>();
            tasksOnThreads = tasksOnThreads || semaphore;
            UpdateAllFeeds(&database, listName, host->GetWindow(), semaphore, host->GetDownloadQueue(),
                           /*postTitles=*/hidden, /*postStatus=*/!hidden, /*showMessages=*/false,
                           host->GetTaskTracker(), completion);
            if (!host->IsHiddenInTray())
                PostMessage(host->GetWindow(), WM_USER_FEEDUPDATED, 0, listName);
        }
        // The end is told after the last task, or here when every task has
        // ended already or none started (lists without feeds would otherwise
        // leave "Compacting database ..." in the status bar for good). Inline
        // passes tell nothing: the window hears of each list as it is done.
        if (tasksOnThreads)
            completion->Release();
    }
    host->RefreshEnded();
    return 0;
}
