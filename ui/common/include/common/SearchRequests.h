#pragma once

#include "feeds/FeedSearchCriteria.h"

#include <ctime>
#include <vector>

class CFeedStore;

// The searches of the search bar, the search dialog and the news watches,
// without any window: what they ask the feed store and how they add up the
// answers of several lists.
namespace search
{
/// The request a news watch runs on one list: its keywords, unchanged, in
/// titles and descriptions; only unread items when it is for the count.
CFeedSearchCriteria WatchRequest(const uString& database, const uString& keywords, bool unreadOnly);

/// Searches the lists in the order given into one store, so that the items
/// of all lists add up; true when at least one list matched. A list that
/// cannot be opened adds nothing. Any thread: the store is the caller's.
bool SearchWatchLists(CFeedStore& store, const std::vector<uString>& databases, const uString& keywords);

/// The unread matches of a watch's keywords over all lists.
int CountWatchUnread(const std::vector<uString>& databases, const uString& keywords);

/// A day as the store's date bounds take it: "YYYY-MM-DD" in local time,
/// whatever the locale prints dates as.
uString FormatSearchDate(std::time_t when);

/// The search dialog's first range: fourteen days before now, and now.
struct DateRange
{
    std::time_t start;
    std::time_t end;
};
DateRange DefaultSearchDates(std::time_t now);
} // namespace search
