#include "mainwindow/FeedSubscription.h"

#include "feeds/FeedStore.h"
#include "feeds/Preference.h"

#include <atomic>
#include <thread>
#include <wx/app.h>
#include <wx/progdlg.h>
#include <wx/utils.h>

namespace subscription
{
namespace
{
constexpr int kFallbackTimeoutSeconds = 60;

// The fetch runs on a worker: a slow or stalled server must not freeze the
// window for the whole time-out. The dialog's loop keeps repainting and
// timers running; Cancel aborts the transfer within about a second. The
// store is the worker's until it is joined.
bool FetchWithProgress(CFeedStore& store, const uString& url, bool& cancelled)
{
    cancelled = false;
    if (wxTheApp == nullptr) // no window to keep alive (a program without the toolkit)
        return store.FetchFeed(url, WindowFetchTimeout(), /*login=*/true, /*showMessages=*/false);
    std::atomic<bool> abort{false};
    std::atomic<bool> finished{false};
    bool fetched = false;
    std::thread worker(
        [&]
        {
            fetched =
                store.FetchFeed(url, WindowFetchTimeout(), /*login=*/true, /*showMessages=*/false, &abort);
            finished = true;
        });
    {
        wxWindow* parent = wxTheApp->GetTopWindow();
        wxProgressDialog progress("Subscribe", wxString::FromUTF8(url.c_str()), 100, parent,
                                  wxPD_APP_MODAL | wxPD_CAN_ABORT | wxPD_AUTO_HIDE | wxPD_ELAPSED_TIME);
        while (!finished)
        {
            if (!abort && !progress.Pulse())
                abort = true;
            wxMilliSleep(20);
        }
    }
    worker.join();
    cancelled = abort;
    return fetched && !cancelled;
}
} // namespace

int WindowFetchTimeout()
{
    int configured = CPreference::GetInstance()->GetGeneralSection().nDefaultTimeout;
    return configured > 0 ? configured : kFallbackTimeoutSeconds;
}

SubscribeOutcome SubscribeFeed(CFeedStore& store, const uString& database, const uString& url,
                               const uString& title, bool autoArchive, bool autoDownload)
{
    bool cancelled = false;
    if (!FetchWithProgress(store, url, cancelled))
        return cancelled ? SubscribeOutcome::kCancelled : SubscribeOutcome::kFailed;
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
