#include "feeds/DownloadQueue.h"
#include "feeds/FailedIcons.h"
#include "feeds/FeedStore.h"
#include "feeds/FeedUpdate.h"
#include "feeds/Preference.h"
#include "feeds/RefreshCompletion.h"

#include <cstdio>
#include <exception>
#include <functional>
#include <mutex>
#include <utility>

namespace
{

constexpr int kFeedTimeoutSeconds = 60;
constexpr int kMaxNotifiedTitles = 3;

std::mutex g_testHookLock;
std::function<void(const uString&)> g_testHook;

void RunTestHook(const uString& feedUrl)
{
    std::function<void(const uString&)> hook;
    {
        std::lock_guard hold(g_testHookLock);
        hook = g_testHook;
    }
    if (hook)
        hook(feedUrl);
}

} // namespace

CFeedUpdateTask::CFeedUpdateTask(const uString& listName, const uString& feedUrl, uWindowHandle window,
                                 std::shared_ptr<CDownloadQueue> downloadManager, bool postTitles,
                                 std::shared_ptr<uSemaphore> semaphore, uThread* thread,
                                 std::shared_ptr<CTaskTracker> tracker,
                                 std::shared_ptr<CRefreshCompletion> completion)
    : m_listName(listName), m_feedUrl(feedUrl), m_window(window),
      m_downloadManager(std::move(downloadManager)), m_postTitles(postTitles),
      m_semaphore(std::move(semaphore)), m_thread(thread), m_tracker(std::move(tracker)),
      m_completion(std::move(completion))
{
    if (m_tracker)
        m_tracker->TaskStarted();
    if (m_completion)
        m_completion->Hold();
}

CFeedUpdateTask::~CFeedUpdateTask()
{
    // The last touch of anything shared: whoever waits for the tasks may free
    // what they use once the count drops, so the references go first (the
    // members would otherwise be released only after this body).
    m_downloadManager.reset();
    m_semaphore.reset();
    // Only once the slot is free again: the end is told when none is taken.
    if (m_completion)
        m_completion->Release();
    if (m_tracker)
        m_tracker->TaskEnded();
}

void CFeedUpdateTask::SetTestHook(std::function<void(const uString& feedUrl)> hook)
{
    std::lock_guard hold(g_testHookLock);
    g_testHook = std::move(hook);
}

void CFeedUpdateTask::run()
{
    // Every way out gives the slot back and ends the task: a slot or a count
    // left taken would keep the pass, and every later refresh, waiting.
    struct Finish
    {
        CFeedUpdateTask* task;
        ~Finish()
        {
            if (task->m_semaphore)
                task->m_semaphore->post();
            delete task->m_thread; // a detached thread: this only lets it go
            delete task;
        }
    } finish{this};
    try
    {
        uComInit com;
        if (m_thread)
            m_thread->setPriority(m_thread->getPriority() + 1); // below normal; best effort
        UpdateFeed();
    }
    catch (const std::exception& error)
    {
        // This feed fails; the others of the pass go on.
        std::fprintf(stderr, "Update of %s failed: %s\n", m_feedUrl.c_str(), error.what());
    }
    catch (...)
    {
        std::fprintf(stderr, "Update of %s failed\n", m_feedUrl.c_str());
    }
}

void CFeedUpdateTask::UpdateFeed()
{
    const bool stopping = m_tracker && m_tracker->IsStopping();
    CFeedStore store;
    store.SetDatabase(m_listName);
    if (m_downloadManager)
        store.downloadManager = m_downloadManager.get();
    int attributes = 0;
    if (stopping || !store.IsUpdateDue(m_feedUrl, &attributes))
        return;

    RunTestHook(m_feedUrl);
    const bool fetched = store.FetchFeed(m_feedUrl, kFeedTimeoutSeconds, false, false,
                                         m_tracker ? &m_tracker->StopFlag() : nullptr);
    // A refused document or address is news the user should see: the pass
    // says nothing else about a failing feed.
    const bool refused =
        store.errorCode == CFeedStore::kDocumentRefused || store.errorCode == CFeedStore::kAddressRefused;
    if (refused && !m_postTitles)
        PostMessage(m_window, WM_APP_STATUSTEXT, 0, m_feedUrl + ": " + store.errorText);
    // A fetch cut short by the close stores nothing, so that the feed stays
    // due; a fetch that failed on its own is stored as an update without
    // items, and the feed waits for its ttl.
    if (m_tracker && m_tracker->IsStopping())
        return;
    // The channel is keyed by the address it was subscribed under, never by
    // the feed's own link element.
    store.channel.link = m_feedUrl;
    store.SetUpdatePass(m_tracker ? &m_tracker->StopFlag() : nullptr, m_failedIcons.get());
    store.SaveChannel(m_listName, false, false, false, false);
    // A save cut short by the close stored nothing: nothing to purge or queue.
    if (m_tracker && m_tracker->IsStopping())
        return;

    CPreference* preference = CPreference::GetInstance();
    // Only a complete document tells which stored items the feed dropped.
    if (fetched && !store.documentPartial && preference->GetGeneralSection().bAutoPurge)
        store.PurgeItems(m_feedUrl, m_listName, false);

    if (m_postTitles && !store.newTitles.empty())
    {
        uString titles;
        int count = 0;
        for (const uString& title : store.newTitles)
        {
            if (count++ == kMaxNotifiedTitles)
                break;
            titles += title;
            titles += "\n";
        }
        PostMessage(m_window, WM_APP_NOTIFYNEWITEMS, 0, titles);
    }

    const bool queue = (attributes & 3) != 0 || preference->GetDownloadSection().bAutoDownload;
    store.QueueFeedEnclosures(m_listName, m_feedUrl, queue);
}
