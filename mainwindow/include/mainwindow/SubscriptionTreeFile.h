#pragma once

#include "foundation/uString.h"

#include <cstdint>
#include <vector>

class uFile;

namespace subscription
{
/// The kinds of the subscription tree's item records (CNamedValue::value).
enum NodeKind : uint16_t
{
    kChannel = 0,
    kFolder = 1,
    kWatch = 2,
    kList = 3,
    kFeed = 4,
};

/// One item of the subscription tree as the tree file keeps it. Feeds never
/// appear here: they come from the list databases.
struct TreeNode
{
    uint16_t kind = kChannel;
    uString label;
    /// The keywords of a watch, the database file name of a list; empty otherwise.
    uString value;
    /// For a list: its feeds are loaded at start.
    bool expanded = false;
    std::vector<TreeNode> children;

    bool operator==(const TreeNode&) const = default;
};

enum class TreeFileStatus
{
    kMissing,    ///< no file: an empty tree, nothing to tell the user
    kLoaded,     ///< read (possibly empty)
    kUnreadable, ///< not an XML document with a root element: an empty tree
};

/// Reads the tree file into top-level nodes, with the reading rules of the
/// file: element names are exact, "status" is compared ignoring case, a
/// channel is always top-level, a nameless or unknown element adds nothing and
/// its children join the enclosing item, and each channel that is read
/// expands the first top-level item when that has children by then.
///
/// An unreadable file is moved aside to "<name>.bad-<date>-<time>" (with a
/// number when that exists too), so that the tree written at close cannot
/// replace the user's arrangement; `setAside` then names the copy (empty when
/// the move failed).
TreeFileStatus ReadTreeFile(const uFile& file, std::vector<TreeNode>& roots, uString& setAside);

/// False when the nodes nest deeper than the reader of the tree file
/// accepts (the XML limits' nesting depth, the root element included): such
/// a file would be refused at the next start.
bool FitsTreeFile(const std::vector<TreeNode>& roots);

/// Writes the nodes as the tree file (root element "Kestrova"), replacing
/// the file atomically. Feed nodes are skipped, list nodes are written
/// without children. False when the file could not be written; a tree that
/// does not fit the file (FitsTreeFile) leaves the file as it was.
bool WriteTreeFile(const uFile& file, const std::vector<TreeNode>& roots);
} // namespace subscription
