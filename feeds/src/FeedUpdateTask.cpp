#include "feeds/DownloadQueue.h"
#include "feeds/FeedStore.h"
#include "feeds/FeedUpdate.h"
#include "feeds/Preference.h"

#include <utility>

namespace
{

constexpr int kFeedTimeoutSeconds = 60;
constexpr int kMaxNotifiedTitles = 3;

} // namespace

CFeedUpdateTask::CFeedUpdateTask(const uString& listName, const uString& feedUrl, uWindowHandle window,
                                 std::shared_ptr<CDownloadQueue> downloadManager, bool postTitles,
                                 std::shared_ptr<uSemaphore> semaphore, uThread* thread,
                                 std::shared_ptr<CTaskTracker> tracker)
    : m_listName(listName), m_feedUrl(feedUrl), m_window(window),
      m_downloadManager(std::move(downloadManager)), m_postTitles(postTitles),
      m_semaphore(std::move(semaphore)), m_thread(thread), m_tracker(std::move(tracker))
{
    if (m_tracker)
        m_tracker->TaskStarted();
}

CFeedUpdateTask::~CFeedUpdateTask()
{
    // The last touch of anything shared: whoever waits for the tasks may free
    // what they use once the count drops, so the references go first (the
    // members would otherwise be released only after this body).
    m_downloadManager.reset();
    m_semaphore.reset();
    if (m_tracker)
        m_tracker->TaskEnded();
}

void CFeedUpdateTask::run()
{
    {
        uComInit com;
        if (m_thread)
            m_thread->setPriority(m_thread->getPriority() + 1); // below normal; best effort
        UpdateFeed();
    }
    if (m_semaphore)
    {
        int countAfter = -1;
        if (m_semaphore->post(&countAfter) && countAfter == m_semaphore->getInitialCount())
            PostMessage(m_window, WM_APP_UPDATEDONE);
    }
    delete m_thread; // a detached thread: this only lets it go
    delete this;
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

    const bool fetched = store.FetchFeed(m_feedUrl, kFeedTimeoutSeconds, false, false,
                                         m_tracker ? &m_tracker->StopFlag() : nullptr);
    // A fetch cut short by the close stores nothing, so that the feed stays
    // due; a fetch that failed on its own is stored as an update without
    // items, and the feed waits for its ttl.
    if (m_tracker && m_tracker->IsStopping())
        return;
    // The channel is keyed by the address it was subscribed under, never by
    // the feed's own link element.
    store.channel.link = m_feedUrl;
    store.SaveChannel(m_listName, false, false, false, false);

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
