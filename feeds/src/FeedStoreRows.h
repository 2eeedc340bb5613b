#pragma once

#include "feeds/FeedStore.h"

#include <initializer_list>
#include <utility>
#include <vector>

// Row reading shared by the feed store's source files.
namespace feedrows
{

// Reads the listed positions of the current row; false, leaving the targets
// as they were, when one cannot be read (no row).
bool ReadRow(uActiveXDataObjectExt& data, std::initializer_list<std::pair<int, uString*>> fields);

// Moves the read items to `items`, each with its enclosure when it has one.
// The enclosures come through a store of their own, as the row set of the
// reading store may not be disturbed while it is read.
void AppendWithEnclosures(const uString& subscriptionFolder, const uString& database,
                          std::vector<std::pair<CItemRecord, bool>>& rows, std::vector<CItemRecord>& items);

} // namespace feedrows
