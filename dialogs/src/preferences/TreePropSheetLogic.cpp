#include "dialogs/TreePropSheetLogic.h"

#include <algorithm>

namespace treesheet
{
namespace
{
void ReplaceAll(std::string& text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}
} // namespace

CaptionSplit SplitCaptionPath(const std::string& path)
{
    size_t at = path.find("::");
    while (at != std::string::npos)
    {
        size_t backslashes = 0;
        while (backslashes < at && path[at - 1 - backslashes] == '\\')
            ++backslashes;
        if (at != 0 && backslashes % 2 == 0)
            break;
        at = path.find("::", at + 1);
    }
    CaptionSplit split;
    if (at == std::string::npos)
    {
        split.part = path;
        split.last = true;
        return split;
    }
    split.part = path.substr(0, at);
    ReplaceAll(split.part, "\\::", "::");
    ReplaceAll(split.part, "\\\\", "\\");
    split.rest = path.substr(at + 2);
    return split;
}

int PageTree::InsertPagePath(const std::string& caption, int page, int pathImage)
{
    int parent = -1;
    std::string path = caption;
    for (;;)
    {
        CaptionSplit split = SplitCaptionPath(path);
        const std::vector<int>& siblings = parent < 0 ? m_roots : m_nodes[parent].children;
        auto found = std::find_if(siblings.begin(), siblings.end(),
                                  [&](int node) { return m_nodes[node].text == split.part; });
        int node = 0;
        if (found != siblings.end())
            node = *found;
        else
        {
            node = static_cast<int>(m_nodes.size());
            Node added;
            added.text = split.part;
            added.parent = parent;
            added.image = split.last ? -1 : pathImage;
            m_nodes.push_back(added);
            (parent < 0 ? m_roots : m_nodes[parent].children).push_back(node);
        }
        if (split.last)
        {
            m_nodes[node].data = page;
            return node;
        }
        parent = node;
        path = split.rest;
    }
}

int PageTree::FindPage(int page) const
{
    std::vector<int> stack(m_roots.rbegin(), m_roots.rend());
    while (!stack.empty())
    {
        int node = stack.back();
        stack.pop_back();
        if (m_nodes[node].data == page)
            return node;
        stack.insert(stack.end(), m_nodes[node].children.rbegin(), m_nodes[node].children.rend());
    }
    return -1;
}

const std::vector<int>& PageTree::Siblings(int node) const
{
    int parent = m_nodes[node].parent;
    return parent < 0 ? m_roots : m_nodes[parent].children;
}

int PageTree::DeepestLast(int node) const
{
    while (!m_nodes[node].children.empty())
        node = m_nodes[node].children.back();
    return node;
}

int PageTree::Next(int node) const
{
    if (m_roots.empty())
        return -1;
    if (node < 0)
        return m_roots.front();
    if (!m_nodes[node].children.empty())
        return m_nodes[node].children.front();
    for (int current = node; current >= 0; current = m_nodes[current].parent)
    {
        const std::vector<int>& siblings = Siblings(current);
        auto at = std::find(siblings.begin(), siblings.end(), current);
        if (at + 1 != siblings.end())
            return *(at + 1);
    }
    return m_roots.front();
}

int PageTree::Previous(int node) const
{
    if (m_roots.empty())
        return -1;
    if (node < 0)
        return DeepestLast(m_roots.back());
    const std::vector<int>& siblings = Siblings(node);
    auto at = std::find(siblings.begin(), siblings.end(), node);
    if (at != siblings.begin())
        return DeepestLast(*(at - 1));
    if (m_nodes[node].parent >= 0)
        return m_nodes[node].parent;
    return DeepestLast(m_roots.back());
}
} // namespace treesheet
