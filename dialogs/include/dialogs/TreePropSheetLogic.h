#pragma once

#include <string>
#include <vector>

// The page tree of the tree sheet as plain data: how a page caption
// "A::B" becomes nodes, and how Ctrl+Tab walks them.
namespace treesheet
{
struct CaptionSplit
{
    std::string part; ///< the first part, unescaped unless it is the last
    std::string rest; ///< the text after the separator; empty for the last part
    bool last = false;
};

/// Splits off the first part of a caption path at the first "::" that is
/// not at position 0 and not escaped by an odd run of backslashes. A part
/// before a separator has "\::" made "::" and then "\\" made "\"; the last
/// part keeps its backslashes.
CaptionSplit SplitCaptionPath(const std::string& path);

struct Node
{
    std::string text;
    int data = -1;  ///< page index; -1 for a node that is only a path part
    int image = -1; ///< -1: none
    int parent = -1;
    std::vector<int> children;
};

class PageTree
{
public:
    /// Inserts the caption's path, reusing the first child with the same text
    /// at each level; a new path node gets `pathImage` (or none when -1). The
    /// page's own node is returned, with its data set to `page`.
    int InsertPagePath(const std::string& caption, int page, int pathImage);
    /// Depth first from the first root; -1 when no node carries the page.
    int FindPage(int page) const;
    /// First child, else next sibling, else an ancestor's next sibling, else the first root.
    int Next(int node) const;
    /// Previous sibling's deepest last descendant, else the parent, else the
    /// last root's deepest last descendant.
    int Previous(int node) const;

    const std::vector<Node>& Nodes() const { return m_nodes; }
    const std::vector<int>& Roots() const { return m_roots; }
    Node& At(int node) { return m_nodes[node]; }

private:
    const std::vector<int>& Siblings(int node) const;
    int DeepestLast(int node) const;

    std::vector<Node> m_nodes;
    std::vector<int> m_roots;
};
} // namespace treesheet
