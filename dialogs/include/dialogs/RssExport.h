#pragma once

#include "feeds/FeedRecords.h"
#include "foundation/uString.h"

#include <vector>

// What Save writes and offers, without window code.
namespace rssexport
{
inline constexpr const char* kChannelTitle = "Kestrova Subscription";
inline constexpr const char* kChannelDescription = "Kestrova News Feed Export";
inline constexpr const char* kGenerator = "Kestrova RSS reader/Podcast client";

/// The items as an RSS document: `rss` > `channel` with the program's
/// title, link, description, copyright and generator, then one `item` each
/// with only its non-empty fields (description falls back to the content,
/// then the subject) and its enclosure. Written through a temporary file;
/// false when it could not be.
bool WriteItems(const std::vector<CItemRecord>& items, const char* path);

enum class SaveAction
{
    kNothing,
    kPage,
    kRss,
    kOpml,
};

/// What Save may write and how its dialog offers it.
struct SaveChoices
{
    uString filter; ///< "" when nothing can be saved
    std::vector<uString> extensions;
};
/// The page when there is one, the item list's rows as RSS when there are
/// any, a tree branch when the selected item is neither a feed nor a watch;
/// in that order, the first being the default.
SaveChoices OfferedChoices(bool hasPage, bool hasItems, bool branchSelected);

/// By the chosen file's extension, case ignored: ".htm" and ".html" the page,
/// ".rss" the items, ".opml" the branch; anything else nothing.
SaveAction ActionForPath(const uString& path);

/// What a save writes: what the chosen file's extension names when that is
/// offered, else what the filter left chosen (index into the offer, the
/// first one when unknown) shows, under the name as typed; kNothing only
/// when nothing is offered.
SaveAction ActionForSave(const uString& path, const SaveChoices& choices, int filterIndex);

/// The text shown as it is in a page: "&", "<" and ">" escaped (in that
/// order, so that a character reference is shown, not decoded) inside
/// "<pre>".
uString EscapeAsSource(const uString& text);
} // namespace rssexport
