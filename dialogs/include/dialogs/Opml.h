#pragma once

#include "foundation/uString.h"

#include <cstdint>
#include <string>
#include <vector>

// Subscription outline files: reading what other readers write, and writing
// a list or a branch of the subscription tree. No window code: the dialogs
// and the frame build on these.
namespace opml
{
/// Message ids of the reader's failures (string table).
constexpr int kLoadFailed = 3001;
constexpr int kNotOpml = 3008;
/// Larger files are refused before they are read: a list of many thousand
/// feeds is a few megabytes.
constexpr std::int64_t kMaxFileBytes = 32LL * 1024 * 1024;
/// The title of a branch written without a tree item.
inline constexpr const char* kDefaultTitle = "Kestrova Subscription";

/// One row of the import dialog: a feed or link outline.
struct Row
{
    uString title;
    uString description;
    uString link; ///< the feed address (`xmlUrl`, else `url`), or a link outline's `url`
    uString page; ///< `htmlUrl`
};

/// What a file holds once read.
struct Document
{
    int error = 0;         ///< 0, kLoadFailed or kNotOpml
    uString reason;        ///< why a file was refused, for the user (may be empty)
    uString headTitle;     ///< the last `title` in the head, trimmed
    std::vector<Row> rows; ///< every feed and link outline at any depth, in document order
};

/// Reads an outline file. A file that is too large, declares a document
/// type, stops before its end or has no root gives kLoadFailed; a root other
/// than "opml" gives kNotOpml; in both cases there are no rows.
Document ReadFile(const char* path);
/// The same over text in memory (tests, downloaded directories).
Document ReadText(const std::string& text);

/// A feed as a list writes it.
struct Feed
{
    uString title;
    uString description;
    uString url;
    uString page; ///< written only when not empty
};

/// A tree item for the branch writer. Kinds are the subscription tree's: 0 channel, 1 folder, 2 watch, 3
/// list, 4 feed.
struct Node
{
    std::uint16_t kind = 1;
    uString label;
    bool hasDatabase = false;   ///< lists: a database name is set
    std::vector<Feed> feeds;    ///< lists: their feeds in the store's order
    std::vector<Node> children; ///< folders and channels: their items
};

/// One list's feeds: `opml` > `head` > `title`, `body` > one `type`="rss"
/// outline per feed. Saved standalone through a temporary file; false when
/// the file could not be written.
bool WriteList(const uString& label, const std::vector<Feed>& feeds, const char* path);
/// A branch of the tree: channels and folders become grouping outlines,
/// lists with a database a grouping outline with their feeds; other kinds
/// write nothing, nor do their descendants. A null item writes an empty body.
bool WriteBranch(const Node* item, const uString& title, const char* path);

/// The text without the characters XML 1.0 cannot hold (controls other than
/// tab, line feed and carriage return; U+FFFE, U+FFFF; broken UTF-8): a
/// writer that met one would fail or write a truncated file.
uString XmlSafe(const uString& text);
/// Trims blanks, tabs, carriage returns and line feeds at both ends.
uString TrimSpace(const uString& text);
/// The text with HTML character references decoded once ("&amp;amp;" gives
/// "&amp;"): some readers escape their titles twice.
uString DecodeEntitiesOnce(const uString& text);
} // namespace opml
