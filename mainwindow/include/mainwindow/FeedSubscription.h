#pragma once

#include "foundation/uString.h"

class CFeedStore;

namespace subscription
{
/// Seconds a feed fetch started from the window may take: the configured
/// default, or 60 when none is set, so that the window never waits without
/// end.
int WindowFetchTimeout();

enum class SubscribeOutcome
{
    kFailed,            ///< fetching or reading failed: the store's error text tells why, nothing is stored
    kAdded,             ///< a new channel in the list
    kAlreadySubscribed, ///< the list held the feed already: new items stored, title and flags applied
    kCancelled,         ///< the user cancelled the fetch: nothing is stored, nothing to tell
};

/// Fetches the feed (on a worker, while a progress dialog that can cancel it
/// keeps the window painting) and stores it in the list database as a subscription,
/// under its address, with the given title (or the feed's own when it is
/// empty) and the two flags. The store is left holding the fetched channel
/// and its items. The feed store itself tells the user about an address the
/// list holds already. With localFile the address is "file://" and a path,
/// read from disk instead of fetched (as every refresh reads it): a feed
/// file the user opened.
SubscribeOutcome SubscribeFeed(CFeedStore& store, const uString& database, const uString& url,
                               const uString& title, bool autoArchive, bool autoDownload,
                               bool localFile = false);

/// Removes the feed from the list database: the enclosure rows of its items,
/// its items, image, icon and channel, in this order, after withdrawing its
/// downloads from the store's queue when it has one. Downloaded media stay in
/// the library. False, with the database's text, when a delete failed.
bool DeleteFeedRows(CFeedStore& store, const uString& database, const uString& url, uString& error);
} // namespace subscription
