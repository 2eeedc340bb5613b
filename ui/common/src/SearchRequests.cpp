#include "common/SearchRequests.h"

#include "feeds/FeedStore.h"

namespace search
{
namespace
{
constexpr std::time_t kDefaultRangeSeconds = 1209600; // 14 days
constexpr const char* kUnreadCondition = "readstatus = 0";
} // namespace

CFeedSearchCriteria WatchRequest(const uString& database, const uString& keywords, bool unreadOnly)
{
    CFeedSearchCriteria request;
    request.listName = database;
    request.phrase = keywords;
    request.matchMode = CFeedSearchCriteria::kContains;
    request.field = CFeedSearchCriteria::kTitleAndDescription;
    if (unreadOnly)
        request.condition = kUnreadCondition;
    return request;
}

bool SearchWatchLists(CFeedStore& store, const std::vector<uString>& databases, const uString& keywords)
{
    bool found = false;
    for (const uString& database : databases)
    {
        CFeedSearchCriteria request = WatchRequest(database, keywords, /*unreadOnly=*/false);
        store.SetDatabase(database);
        // The count first: a list without matches is not read at all.
        if (store.OpenSearch(request) > 0 && store.LoadSearchResults(request, /*clearFirst=*/false))
            found = true;
    }
    return found;
}

int CountWatchUnread(const std::vector<uString>& databases, const uString& keywords)
{
    int sum = 0;
    for (const uString& database : databases)
    {
        CFeedSearchCriteria request = WatchRequest(database, keywords, /*unreadOnly=*/true);
        CFeedStore store;
        store.SetDatabase(database);
        sum += store.OpenSearch(request);
    }
    return sum;
}

uString FormatSearchDate(std::time_t when)
{
    std::tm local{};
    localtime_r(&when, &local);
    uString text;
    text.format("%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return text;
}

DateRange DefaultSearchDates(std::time_t now)
{
    return DateRange{now - kDefaultRangeSeconds, now};
}
} // namespace search
