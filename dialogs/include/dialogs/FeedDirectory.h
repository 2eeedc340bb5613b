#pragma once

#include "foundation/uString.h"

#include <ctime>
#include <vector>

// The feed directory's data: the directories kept in directory.xml, the day
// a downloaded directory stays in the cache, and the outlines of a directory
// document as folders and feeds. No window code.
namespace feeddirectory
{
constexpr int kFileUnreadable = 3001;
constexpr int kCannotLoad = 3002;
constexpr int kNotADirectory = 3003;
constexpr long kCacheSeconds = 86400;

/// A top-level entry of the directory file.
struct Entry
{
    uString name;
    uString url;
    bool expanded = false;
};

/// Every "directory" element (that spelling only) with a name and a url, in
/// document order; false when the file cannot be read as XML.
bool ReadFile(const char* path, std::vector<Entry>& entries);
/// Writes `KestDirectory` with one `directory` per entry, standalone,
/// through a temporary file.
bool WriteFile(const char* path, const std::vector<Entry>& entries);

/// The cache file of a directory address: the folder and the MD5 of the address.
uString CachePath(const uString& cacheFolder, const uString& url);
/// True when the file exists and was written at most a day before `now`; a
/// time in the future counts as stale.
bool IsFresh(const char* path, std::time_t now);

/// An outline of a directory document: a feed (url not empty) or a folder.
struct Node
{
    uString label;
    uString url;
    std::vector<Node> children;
};

/// A directory document read.
struct Listing
{
    int error = 0;      ///< 0, kCannotLoad or kNotADirectory
    uString caption;    ///< from the last "title" met: "Feeds Directory : " + its text; empty without one
    uString firstTitle; ///< the text of the first "title" in document order
    std::vector<Node> nodes;
};
/// Reads the document: labels are the first non-empty of text, title and
/// description; the address is `url` for type "link" and `xmlUrl` for type
/// "rss" (no other fallback), else the outline is a folder; an outline
/// without a label adds nothing but its outlines still come in. A "feed:"
/// address becomes http; any other address is kept as written, whatever
/// its scheme: only subscribing refuses what is no feed address.
Listing ReadListing(const char* path);
} // namespace feeddirectory
