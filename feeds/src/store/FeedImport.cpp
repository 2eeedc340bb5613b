#include "feeds/FeedImport.h"

#include "feeds/FeedAddress.h"
#include "feeds/FeedStore.h"
#include "foundation/uFile.h"

#include <algorithm>
#include <chrono>
#include <functional>

namespace feeds
{
namespace
{
constexpr std::size_t kBatch = 200;
// Older than any time-to-live: the first refresh after the import fetches it.
const char* const kLongAgo = "2000-01-01 00:00:00";

// A refresh may write the list for a while: waited for as any statement
// waits, but in short steps, so that a cancel (or the program's stop) is
// not held up by the wait.
bool BeginWhenFree(uActiveXDataObjectExt& data, const std::function<bool()>& stopped)
{
    constexpr int kStepMs = 100;
    const auto until =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(ado::kDefaultBusyTimeoutMs);
    data.setBusyTimeout(kStepMs);
    bool begun = false;
    while (!(begun = data.execute("BEGIN IMMEDIATE")) && data.isBusy() && !stopped() &&
           std::chrono::steady_clock::now() < until)
    {
    }
    data.setBusyTimeout(ado::kDefaultBusyTimeoutMs);
    return begun;
}
} // namespace

bool AddFeedsUnfetched(CFeedStore& store, const uString& database, const std::vector<ImportedFeed>& feeds,
                       ImportCounts& counts, const std::function<void(std::size_t done)>& progress,
                       const std::atomic<bool>* stop)
{
    auto stopped = [stop] { return stop != nullptr && stop->load(); };
    store.SetDatabase(database);
    if (!store.EnsureOpen(false))
        return false;
    uActiveXDataObjectExt& data = store.dataObject;
    // One transaction for the whole import: a cancel or a failed commit
    // leaves the list as it was, never with part of the file in it.
    if (!BeginWhenFree(data, stopped))
        return false;
    ImportCounts made;
    uString sql;
    for (std::size_t start = 0; start < feeds.size() && !stopped(); start += kBatch)
    {
        std::size_t end = std::min(feeds.size(), start + kBatch);
        for (std::size_t i = start; i < end; ++i)
        {
            const ImportedFeed& feed = feeds[i];
            // Outline files name any address: a local file or a script never
            // becomes a feed, whoever passed it on.
            const uString url = FeedAddress(feed.url);
            if (url.isEmpty())
            {
                ++made.failed;
                continue;
            }
            uString error;
            if (store.CountRows(uString("channel"), uString("feed"), url, error, nullptr) > 0)
            {
                ++made.known;
                continue;
            }
            uString title = feed.title;
            // The title names library and archive folders, as a fetched one
            // does. An empty one stays empty: the first fetch fills it in.
            if (!title.isEmpty())
                MakeValidFileName(title);
            sql.format("INSERT INTO channel (feed, description, title, ttl, attributes, lastupdate) "
                       "VALUES(%s, %s, %s, 0, 0, '%s')",
                       SqlHexLiteral(url).c_str(), SqlHexLiteral(feed.description).c_str(),
                       SqlHexLiteral(title).c_str(), kLongAgo);
            if (data.execute(sql.c_str()))
                ++made.added;
            else
                ++made.failed;
        }
        if (progress)
            progress(end);
    }
    if (stopped() || !data.execute("COMMIT"))
    {
        data.execute("ROLLBACK");
        return false;
    }
    counts.added += made.added;
    counts.known += made.known;
    counts.failed += made.failed;
    return true;
}
} // namespace feeds
