#include "feeds/DownloadQueue.h"
#include "feeds/FeedStore.h"
#include "feeds/Preference.h"

void CompactFeedDatabase(const uString& subscriptionFolder, const uString& fileName, CDownloadQueue* queue,
                         double minFreeRatio)
{
    if (queue && queue->IsBusy())
        return;
    // In place: stores of other threads may hold the file open, and a copy
    // renamed over it would silently drop everything they write afterwards.
    // The database waits only briefly for them and otherwise leaves the file
    // for the next pass, losing nothing.
    const CConnectionString connection(subscriptionFolder, fileName);
    uActiveXDataObjectExt::compactInPlace(connection.c_str(), minFreeRatio);
}

void CompactFeedDatabase(const uString& fileName, CDownloadQueue* queue, double minFreeRatio)
{
    CompactFeedDatabase(CPreference::GetInstance()->GetSubscriptionDir().getPath(), fileName, queue,
                        minFreeRatio);
}

uString GuessMediaType(uString text)
{
    const int dot = text.reverseFindChar('.');
    if (dot <= 0)
        return text;
    const uString extension(text, dot + 1, text.getLength() - dot - 1);
    if (extension.equalsNoCase("mov") || extension.equalsNoCase("mp4") || extension.equalsNoCase("wmv"))
        return uString("video/mpeg");
    if (extension.equalsNoCase("mp3"))
        return uString("audio/mpeg");
    return extension;
}
