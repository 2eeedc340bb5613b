#include "mainwindow/SubscriptionTreeFile.h"

#include "foundation/uFile.h"
#include "foundation/uXml.h"
#include "foundation/uXmlLimits.h"

#include <algorithm>
#include <ctime>
#include <deque>

using namespace xercesc;

namespace subscription
{
namespace
{
const XMLCh kRootName[] = u"Kestrova";

uString Attribute(const DOMElement& element, const XMLCh* name)
{
    return uString(element.getAttribute(name));
}

bool IsExpandStatus(const DOMElement& element)
{
    return Attribute(element, u"status").equalsNoCase("expand");
}

bool NameIs(const DOMElement& element, const XMLCh* name)
{
    return XMLString::equals(element.getTagName(), name);
}

// Builds the nodes in document order. Top-level nodes live in a deque so that
// a channel nested deep in the file, which is appended at the top level,
// never moves the nodes whose children are still being read.
class TreeReader
{
public:
    void ReadNode(const DOMNode* node, TreeNode* parent)
    {
        TreeNode* inserted = nullptr;
        if (node->getNodeType() == DOMNode::ELEMENT_NODE)
            inserted = InsertElement(static_cast<const DOMElement&>(*node), parent);

        TreeNode* childParent = inserted != nullptr ? inserted : parent;
        for (const DOMNode* child = node->getFirstChild(); child != nullptr; child = child->getNextSibling())
            ReadNode(child, childParent);

        // A channel or folder can only open once it has children.
        if (inserted != nullptr && (inserted->kind == kChannel || inserted->kind == kFolder))
            inserted->expanded = inserted->expanded || (m_wantsExpand.back() && !inserted->children.empty());
        if (inserted != nullptr)
            m_wantsExpand.pop_back();
    }

    std::vector<TreeNode> TakeRoots()
    {
        std::vector<TreeNode> roots;
        roots.reserve(m_roots.size());
        for (TreeNode& node : m_roots)
            roots.push_back(std::move(node));
        return roots;
    }

private:
    TreeNode* InsertElement(const DOMElement& element, TreeNode* parent)
    {
        uint16_t kind;
        if (NameIs(element, u"channel"))
            kind = kChannel;
        else if (NameIs(element, u"folder"))
            kind = kFolder;
        else if (NameIs(element, u"keyword"))
            kind = kWatch;
        else if (NameIs(element, u"newsfeed"))
            kind = kList;
        else
            return nullptr;

        uString name = Attribute(element, u"name");
        if (name.isEmpty())
            return nullptr;

        TreeNode node;
        node.kind = kind;
        node.label = name;
        if (kind == kWatch)
            node.value = Attribute(element, u"value");
        else if (kind == kList)
            node.value = Attribute(element, u"url");
        bool expand = kind != kWatch && IsExpandStatus(element);
        // A list's state needs no children: expanding it loads its feeds.
        node.expanded = kind == kList && expand;

        TreeNode* inserted;
        if (kind == kChannel || parent == nullptr)
        {
            m_roots.push_back(std::move(node));
            inserted = &m_roots.back();
            if (kind == kChannel)
                ExpandFirstTopLevel();
        }
        else
        {
            parent->children.push_back(std::move(node));
            inserted = &parent->children.back();
        }
        m_wantsExpand.push_back(expand);
        return inserted;
    }

    // Every channel read opens the first top-level item, which only works
    // when that item has children by then (a list always has: its feeds or
    // the placeholder that stands for them).
    void ExpandFirstTopLevel()
    {
        TreeNode& first = m_roots.front();
        if (first.kind == kList || !first.children.empty())
            first.expanded = true;
    }

    std::deque<TreeNode> m_roots;
    std::vector<bool> m_wantsExpand; // the "status" of each open element that inserted a node
};

// How deep the elements the node writes nest: itself and its deepest written
// child. Counting stops past `limit`, which bounds the recursion.
int WrittenDepth(const TreeNode& node, int limit)
{
    if (node.kind == kFeed || limit <= 0)
        return 0;
    int deepest = 0;
    if (node.kind == kChannel || node.kind == kFolder || node.kind == kWatch)
    {
        for (const TreeNode& child : node.children)
            deepest = std::max(deepest, WrittenDepth(child, limit - 1));
    }
    return 1 + deepest;
}

uString SetAsideName(const uString& path)
{
    char stamp[32] = "";
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) != nullptr)
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    uString base = path + ".bad-" + stamp;
    uString candidate = base;
    for (int n = 1; uFile().setPath(candidate.c_str()); ++n)
        candidate = base + "-" + n;
    return candidate;
}

void AppendNode(uXmlDocument& document, DOMElement& parent, const TreeNode& node)
{
    const XMLCh* elementName = nullptr;
    switch (node.kind)
    {
    case kChannel:
        elementName = u"channel";
        break;
    case kFolder:
        elementName = u"folder";
        break;
    case kWatch:
        elementName = u"keyword";
        break;
    case kList:
        elementName = u"newsfeed";
        break;
    default:
        return;
    }
    DOMElement* element = document.createElement(elementName);
    if (element == nullptr)
        return;
    uXmlString label(node.label.c_str());
    element->setAttribute(u"name", label.get());
    if (node.kind == kChannel)
        element->setAttribute(u"type", u"newsfeed");
    if (node.kind == kWatch || node.kind == kList)
    {
        uXmlString value(node.value.c_str());
        element->setAttribute(node.kind == kWatch ? u"value" : u"url", value.get());
    }
    if (node.kind != kWatch && node.expanded)
        element->setAttribute(u"status", u"expand");
    parent.appendChild(element);

    if (node.kind == kChannel || node.kind == kFolder || node.kind == kWatch)
    {
        for (const TreeNode& child : node.children)
            AppendNode(document, *element, child);
    }
}
} // namespace

TreeFileStatus ReadTreeFile(const uFile& file, std::vector<TreeNode>& roots, uString& setAside)
{
    roots.clear();
    setAside.setEmpty();
    if (!file.exists())
        return TreeFileStatus::kMissing;

    uXmlDocument document;
    bool loaded = document.load(file.getPath().c_str(), false, false, false, false);
    const DOMElement* root = loaded ? document.getDocumentElement() : nullptr;
    // A document cut short at an error would lose the rest of the tree.
    if (root == nullptr || document.isPartial())
    {
        document.releaseDocument();
        uFile bad(file);
        uString target = SetAsideName(file.getPath());
        if (bad.moveTo(target.c_str()))
            setAside = target;
        return TreeFileStatus::kUnreadable;
    }

    TreeReader reader;
    reader.ReadNode(root, nullptr);
    roots = reader.TakeRoots();
    return TreeFileStatus::kLoaded;
}

bool FitsTreeFile(const std::vector<TreeNode>& roots)
{
    // One level for the root element; the limit counts open elements, and
    // counting the leaves too keeps this on the safe side.
    const int room = xmllimits::kMaxNestingDepth - 1;
    for (const TreeNode& node : roots)
    {
        if (WrittenDepth(node, room + 1) > room)
            return false;
    }
    return true;
}

bool WriteTreeFile(const uFile& file, const std::vector<TreeNode>& roots)
{
    if (!FitsTreeFile(roots))
        return false;
    uXmlDocument document(kRootName, nullptr, nullptr);
    DOMElement* root = document.getDocumentElement();
    if (root == nullptr)
        return false;
    for (const TreeNode& node : roots)
        AppendNode(document, *root, node);
    return document.save(file.getPath().c_str());
}
} // namespace subscription
