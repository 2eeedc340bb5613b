#include "mainwindow/FeedSubscription.h"

#include "feeds/FeedStore.h"
#include "feeds/Preference.h"

namespace subscription
{
namespace
{
constexpr int kFallbackTimeoutSeconds = 60;
} // namespace

int WindowFetchTimeout()
{
    int configured = CPreference::GetInstance()->GetGeneralSection().nDefaultTimeout;
    return configured > 0 ? configured : kFallbackTimeoutSeconds;
}

SubscribeOutcome SubscribeFeed(CFeedStore& store, const uString& database, const uString& url,
                               const uString& title, bool autoArchive, bool autoDownload)
{
    if (!store.FetchFeed(url, WindowFetchTimeout(), /*login=*/true, /*showMessages=*/false))
        return SubscribeOutcome::kFailed;
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
