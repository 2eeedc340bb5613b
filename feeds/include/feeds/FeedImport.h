#pragma once

#include "foundation/uString.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

class CFeedStore;

namespace feeds
{
/// A feed named by an outline file: stored as it is named, fetched later.
struct ImportedFeed
{
    uString url;
    uString title;
    uString description;
};

struct ImportCounts
{
    std::size_t added = 0;
    std::size_t known = 0;  ///< the list held the address already
    std::size_t failed = 0; ///< the database refused the row, or the address is no network one
};

/// Stores a channel row per feed that the list does not hold yet, without
/// fetching anything: each row is due, so the next refresh fetches it. Runs
/// on any thread (the store is the caller's own). All rows go in one
/// transaction, whole or not at all; progress(done) runs after each batch,
/// and a stop flag set meanwhile ends the work and stores nothing. False,
/// with the counts untouched, when the database cannot be opened, the stop
/// flag was set or the transaction failed.
bool AddFeedsUnfetched(CFeedStore& store, const uString& database, const std::vector<ImportedFeed>& feeds,
                       ImportCounts& counts, const std::function<void(std::size_t done)>& progress = {},
                       const std::atomic<bool>* stop = nullptr);
} // namespace feeds
