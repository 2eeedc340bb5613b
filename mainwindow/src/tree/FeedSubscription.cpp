#include "mainwindow/FeedSubscription.h"

#include "StringTable.h"
#include "common/FetchProgress.h"
#include "feeds/FeedAddress.h"
#include "feeds/FeedStore.h"
#include "feeds/Preference.h"
#include "foundation/uFile.h"

namespace subscription
{
namespace
{
constexpr int kFallbackTimeoutSeconds = 60;
constexpr int kUnreadableDocument = 3001;

// The fetch runs behind the progress dialog: a slow or stalled server must
// not freeze the window for the whole time-out. The store is the worker's
// until the call returns. With messages on, a site that wants a login asks
// for it, and the store tells the user itself why a fetch failed.
ui::FetchEnd FetchWithProgress(CFeedStore& store, const uString& url)
{
    const int timeout = WindowFetchTimeout();
    return ui::RunFetch(
        nullptr, uString("Subscribe"), url,
        [&](const std::atomic<bool>& abort)
        { return store.FetchFeed(url, timeout, /*login=*/true, /*showMessages=*/true, &abort); });
}
} // namespace

int WindowFetchTimeout()
{
    int configured = CPreference::GetInstance()->GetGeneralSection().nDefaultTimeout;
    return configured > 0 ? configured : kFallbackTimeoutSeconds;
}

SubscribeOutcome SubscribeFeed(CFeedStore& store, const uString& database, const uString& url,
                               const uString& title, bool autoArchive, bool autoDownload, bool localFile)
{
    if (localFile)
    {
        const uString path = feeds::LocalFeedPath(url);
        store.Reset();
        if (path.isEmpty() || !store.LoadFeedFile(uFile(path.c_str()), /*showMessages=*/false))
        {
            if (store.errorText.isEmpty())
                store.errorText = resources::StringText(kUnreadableDocument);
            return SubscribeOutcome::kFailed;
        }
    }
    else
    {
        ui::FetchEnd end = FetchWithProgress(store, url);
        if (end != ui::FetchEnd::kDone)
            return end == ui::FetchEnd::kCancelled ? SubscribeOutcome::kCancelled : SubscribeOutcome::kFailed;
    }
    store.channel.link = url;
    if (!title.isEmpty())
        store.channel.title = title;

    store.SetDatabase(database);
    uString error;
    bool known = store.CountRows(uString("channel"), uString("feed"), url, error, nullptr) > 0;
    store.SaveChannel(database, /*showMessages=*/true, /*subscribe=*/true, autoArchive, autoDownload);
    uString feed = url;
    store.UpdateChannelProperties(feed, store.channel.title, url, autoArchive, autoDownload);
    return known ? SubscribeOutcome::kAlreadySubscribed : SubscribeOutcome::kAdded;
}

bool DeleteFeedRows(CFeedStore& store, const uString& database, const uString& url, uString& error)
{
    store.SetDatabase(database);
    store.UnqueueFeedEnclosures(database, url);
    using Delete = void (CFeedStore::*)(const uString&, uString&, uint16_t*);
    const Delete steps[] = {&CFeedStore::DeleteFeedEnclosures, &CFeedStore::DeleteItems,
                            &CFeedStore::DeleteImages, &CFeedStore::DeleteIcons, &CFeedStore::DeleteChannel};
    for (Delete step : steps)
    {
        uint16_t code = 0;
        (store.*step)(url, error, &code);
        if (code != 0)
            return false;
    }
    return true;
}
} // namespace subscription
