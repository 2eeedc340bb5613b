#include "FeedXhtml.h"
#include "feeds/FeedStore.h"
#include "feeds/PageUrl.h"
#include "foundation/uXml.h"

#include <unordered_map>
#include <utility>
#include <vector>
#include <xercesc/util/XMLString.hpp>

// The RSS, RDF and Atom readers. Element names are compared as written in the
// document, prefix included ("dc:date"), and only elements take part. A
// field takes the text of the element's whole subtree unless an attribute is
// named. Nothing is validated: the storing step skips what it cannot use.

namespace
{

using xercesc::DOMElement;
using xercesc::DOMNode;

bool IsElement(const DOMNode* node)
{
    return node->getNodeType() == DOMNode::ELEMENT_NODE;
}

bool NameIs(const DOMNode* node, const char16_t* name)
{
    return xercesc::XMLString::equals(node->getNodeName(), name);
}

// The concatenated text of the node's descendants, as the DOM's text content
// gives it, gathered without the DOM's own copy: that one is allocated in the
// document and lives as long as the document, once per call.
uString TextOf(const DOMNode* root)
{
    uString text;
    const DOMNode* node = root->getFirstChild();
    while (node)
    {
        const auto type = node->getNodeType();
        if (type == DOMNode::TEXT_NODE || type == DOMNode::CDATA_SECTION_NODE)
            text.appendWideText(node->getNodeValue());
        const DOMNode* next = (type == DOMNode::COMMENT_NODE || type == DOMNode::PROCESSING_INSTRUCTION_NODE)
                                  ? nullptr
                                  : node->getFirstChild();
        while (!next && node != root)
        {
            next = node->getNextSibling();
            if (!next)
                node = node->getParentNode();
        }
        node = next;
    }
    return text;
}

uString AttributeOf(const DOMNode* element, const char16_t* name)
{
    return uString(static_cast<const DOMElement*>(element)->getAttribute(name));
}

// Every child element in document order.
template <typename Visit> void ForEachChildElement(const DOMNode* parent, Visit visit)
{
    for (const DOMNode* child = parent->getFirstChild(); child; child = child->getNextSibling())
        if (IsElement(child))
            visit(child);
}

// Pre-order walk of the node's subtree without recursion, so that a document
// nested thousands of levels deep cannot exhaust the stack. `depth` holds the
// depth of the node being visited (the first one at its value plus 1) and is
// back where it was afterwards.
template <typename Visit> void WalkTree(const DOMNode* root, int32_t& depth, Visit visit)
{
    const DOMNode* node = root;
    ++depth;
    while (node)
    {
        visit(node);
        if (const DOMNode* child = node->getFirstChild())
        {
            node = child;
            ++depth;
            continue;
        }
        while (node != root && !node->getNextSibling())
        {
            node = node->getParentNode();
            --depth;
        }
        node = node == root ? nullptr : node->getNextSibling();
    }
    --depth;
}

// Links as stored: a relative one is made absolute against the xml:base in
// force at its element (each one resolved against the one around it), and
// the document's address under them all. An absolute link is kept as written.
// Each element's base is resolved once for the whole document: resolving
// every ancestor's again for each link costs the square of the nesting. A
// base longer than kMaxBaseBytes is not taken: nested relative bases would
// otherwise grow with every level, and so would every link below them.
class CXmlBases
{
public:
    static constexpr int kMaxBaseBytes = 8192;

    explicit CXmlBases(const uString& address) : m_bases{address} {}

    uString Absolute(uString link, const DOMNode* element)
    {
        if (link.isEmpty() || pageurl::HasScheme(link))
            return link;
        const std::size_t base = BaseOf(element);
        if (base == kTooLong)
            return uString();
        return pageurl::ResolveReference(m_bases[base], link);
    }

    // A relative link stood under a base too long to take.
    bool Refused() const { return m_refused; }

private:
    static constexpr std::size_t kTooLong = static_cast<std::size_t>(-1);

    // Index into m_bases of the base in force at the element.
    std::size_t BaseOf(const DOMNode* element)
    {
        std::vector<const DOMNode*> unknown;
        std::size_t base = 0; // the document's address
        for (const DOMNode* node = element; node && IsElement(node); node = node->getParentNode())
        {
            if (const auto known = m_known.find(node); known != m_known.end())
            {
                base = known->second;
                break;
            }
            unknown.push_back(node);
        }
        for (auto node = unknown.rbegin(); node != unknown.rend(); ++node)
        {
            const XMLCh* own = static_cast<const DOMElement*>(*node)->getAttribute(u"xml:base");
            if (own && *own && base != kTooLong)
            {
                uString resolved = pageurl::ResolveReference(m_bases[base], uString(own));
                if (resolved.getLength() > kMaxBaseBytes)
                    base = kTooLong;
                else
                {
                    m_bases.push_back(std::move(resolved));
                    base = m_bases.size() - 1;
                }
            }
            m_known.emplace(*node, base);
        }
        if (base == kTooLong)
            m_refused = true;
        return base;
    }

    std::vector<uString> m_bases;
    std::unordered_map<const DOMNode*, std::size_t> m_known;
    bool m_refused = false;
};

uString LinkOf(const DOMNode* node, CXmlBases& bases)
{
    return bases.Absolute(TextOf(node), node);
}

// An Atom text construct: the markup of type "xhtml" as XHTML, anything else
// as its text.
uString TextConstructOf(const DOMNode* node)
{
    const XMLCh* type = static_cast<const DOMElement*>(node)->getAttribute(u"type");
    if (xercesc::XMLString::equals(type, u"xhtml"))
        return InnerXhtml(node);
    return TextOf(node);
}

void SetFirst(uString& field, const DOMNode* node)
{
    if (field.isEmpty())
        field = TextOf(node);
}

// The enclosure of an RSS item or an Atom entry; a missing type is guessed
// from the address.
void ReadEnclosure(CItemRecord& item, const DOMNode* node, const char16_t* linkAttribute, CXmlBases& bases)
{
    item.enclosureLink = bases.Absolute(AttributeOf(node, linkAttribute), node);
    item.enclosureLength = AttributeOf(node, u"length");
    item.enclosureType = AttributeOf(node, u"type");
    if (item.enclosureType.isEmpty())
        item.enclosureType = GuessMediaType(item.enclosureLink);
}

CItemRecord ReadRssItem(const DOMNode* element, CXmlBases& bases)
{
    CItemRecord item;
    ForEachChildElement(element,
                        [&item, &bases](const DOMNode* node)
                        {
                            if (NameIs(node, u"title"))
                                item.title = TextOf(node);
                            else if (NameIs(node, u"description"))
                                item.description = TextOf(node);
                            else if (NameIs(node, u"link"))
                                item.link = LinkOf(node, bases);
                            else if (NameIs(node, u"author"))
                                item.author = TextOf(node);
                            else if (NameIs(node, u"category"))
                                item.category = TextOf(node);
                            else if (NameIs(node, u"pubDate"))
                                item.pubDate = CFeedStore::NormalizeDate(TextOf(node));
                            else if (NameIs(node, u"subject"))
                                item.subject = TextOf(node);
                            else if (NameIs(node, u"guid"))
                                item.guid = TextOf(node);
                            else if (NameIs(node, u"enclosure"))
                                ReadEnclosure(item, node, u"url", bases);
                        });
    if (item.link.isEmpty())
        item.link = item.enclosureLink.isEmpty() ? item.guid : item.enclosureLink;
    if (item.title.isEmpty())
        item.title = item.subject.isEmpty() ? uString("Untitled") : item.subject;
    return item;
}

CItemRecord ReadRdfItem(const DOMNode* element, CXmlBases& bases)
{
    CItemRecord item;
    ForEachChildElement(element,
                        [&item, &bases](const DOMNode* node)
                        {
                            if (NameIs(node, u"title"))
                                item.title = TextOf(node);
                            else if (NameIs(node, u"link"))
                                item.link = LinkOf(node, bases);
                            else if (NameIs(node, u"dc:description") || NameIs(node, u"description"))
                                item.description = TextOf(node);
                            else if (NameIs(node, u"dc:creator"))
                                item.author = TextOf(node);
                            else if (NameIs(node, u"dc:subject") || NameIs(node, u"subject"))
                                item.subject = TextOf(node);
                        });
    return item;
}

CItemRecord ReadAtomEntry(const DOMNode* element, CXmlBases& bases)
{
    CItemRecord item;
    uString published;
    uString updated;
    ForEachChildElement(element,
                        [&](const DOMNode* node)
                        {
                            if (NameIs(node, u"atom:title") || NameIs(node, u"title"))
                                item.title = TextOf(node);
                            else if (NameIs(node, u"atom:summary") || NameIs(node, u"summary"))
                                item.description = TextConstructOf(node);
                            else if (NameIs(node, u"atom:author") || NameIs(node, u"author"))
                                item.author = TextOf(node);
                            else if (NameIs(node, u"dc:subject") || NameIs(node, u"subject"))
                                item.subject = TextOf(node);
                            else if (NameIs(node, u"category"))
                                item.category = AttributeOf(node, u"term");
                            else if (NameIs(node, u"atom:modified") || NameIs(node, u"modified"))
                                item.pubDate = TextOf(node);
                            else if (NameIs(node, u"atom:published") || NameIs(node, u"published"))
                                published = TextOf(node);
                            else if (NameIs(node, u"atom:updated") || NameIs(node, u"updated"))
                                updated = TextOf(node);
                            else if (NameIs(node, u"atom:content") || NameIs(node, u"content"))
                                item.content = TextConstructOf(node);
                            else if (NameIs(node, u"atom:link") || NameIs(node, u"link"))
                            {
                                const uString rel = AttributeOf(node, u"rel");
                                if (rel.equalsNoCase("enclosure"))
                                    ReadEnclosure(item, node, u"href", bases);
                                // A link without rel is the alternate one (RFC 4287): many feeds
                                // leave it out, and an entry without a link would not be stored.
                                else if ((rel.isEmpty() || rel.equalsNoCase("alternate")) &&
                                         item.link.isEmpty())
                                {
                                    item.link = TextOf(node);
                                    if (item.link.isEmpty())
                                        item.link = AttributeOf(node, u"href");
                                    item.link = bases.Absolute(std::move(item.link), node);
                                }
                            }
                        });
    // Atom 1.0 dates the entry with these; Atom 0.3 with "modified".
    if (!published.isEmpty())
        item.pubDate = published;
    else if (!updated.isEmpty())
        item.pubDate = updated;
    // Feeds that give only the full content would otherwise show nothing.
    if (item.description.isEmpty())
        item.description = item.content;
    return item;
}

void ReadImage(CChannelRecord& channel, const DOMNode* element)
{
    ForEachChildElement(element,
                        [&channel](const DOMNode* node)
                        {
                            if (NameIs(node, u"title"))
                                channel.imageTitle = TextOf(node);
                            else if (NameIs(node, u"url"))
                                channel.imageUrl = TextOf(node);
                            else if (NameIs(node, u"link"))
                                channel.imageLink = TextOf(node);
                            else if (NameIs(node, u"width"))
                                channel.imageWidth = TextOf(node);
                            else if (NameIs(node, u"height"))
                                channel.imageHeight = TextOf(node);
                            else if (NameIs(node, u"description"))
                                channel.imageDescription = TextOf(node);
                        });
}

void VisitRss(CFeedStore& store, CXmlBases& bases, const DOMNode* node)
{
    if (!IsElement(node) || store.parseDepth != 3)
        return;
    CChannelRecord& channel = store.channel;
    // Any grandchild of the root counts, whatever its parent is called.
    if (NameIs(node, u"copyright"))
        channel.copyright = TextOf(node);
    else if (NameIs(node, u"title"))
        channel.title = TextOf(node);
    else if (NameIs(node, u"link"))
        channel.link = LinkOf(node, bases);
    else if (NameIs(node, u"description"))
        channel.description = TextOf(node);
    else if (NameIs(node, u"language"))
        channel.language = TextOf(node);
    else if (NameIs(node, u"webMaster"))
        channel.webMaster = TextOf(node);
    else if (NameIs(node, u"managingEditor"))
        channel.managingEditor = TextOf(node);
    else if (NameIs(node, u"lastBuildDate"))
        channel.lastBuildDate = TextOf(node);
    else if (NameIs(node, u"ttl"))
        channel.ttl = TextOf(node);
    else if (NameIs(node, u"category"))
        channel.category = TextOf(node);
    else if (NameIs(node, u"generator"))
        channel.generator = TextOf(node);
    else if (NameIs(node, u"image"))
        ReadImage(channel, node);
    else if (NameIs(node, u"item"))
        store.items.push_back(ReadRssItem(node, bases));
}

void VisitRdf(CFeedStore& store, CXmlBases& bases, const DOMNode* node)
{
    if (!IsElement(node))
        return;
    CChannelRecord& channel = store.channel;
    const int32_t depth = store.parseDepth;
    // Title, link and description of the channel and its items are all at
    // depth 3: the first one, the channel's, is kept. The other fields have
    // no depth condition, so the items' own values overwrite them.
    if (NameIs(node, u"dc:rights"))
        channel.copyright = TextOf(node);
    else if (depth == 3 && NameIs(node, u"title"))
        SetFirst(channel.title, node);
    else if (depth == 3 && NameIs(node, u"link"))
    {
        if (channel.link.isEmpty())
            channel.link = LinkOf(node, bases);
    }
    else if (depth == 3 && NameIs(node, u"description"))
        SetFirst(channel.description, node);
    else if (NameIs(node, u"language"))
        channel.language = TextOf(node);
    else if (NameIs(node, u"dc:publisher"))
        channel.webMaster = TextOf(node);
    else if (NameIs(node, u"dc:creator"))
        channel.managingEditor = TextOf(node);
    else if (NameIs(node, u"dc:date"))
        channel.lastBuildDate = TextOf(node);
    else if (NameIs(node, u"ttl"))
        channel.ttl = TextOf(node);
    else if (NameIs(node, u"category"))
        channel.category = TextOf(node);
    else if (depth == 2 && NameIs(node, u"image"))
        ReadImage(channel, node);
    else if (NameIs(node, u"item"))
        store.items.push_back(ReadRdfItem(node, bases));
}

void VisitAtom(CFeedStore& store, CXmlBases& bases, const DOMNode* node)
{
    if (!IsElement(node))
        return;
    CChannelRecord& channel = store.channel;
    const int32_t depth = store.parseDepth;
    // Rows without a depth condition also match inside entries, so the last
    // entry's summary, author, date and category overwrite the feed's.
    if (NameIs(node, u"rights"))
        channel.copyright = TextOf(node);
    else if (depth == 2 && NameIs(node, u"title"))
        channel.title = TextOf(node);
    else if (depth == 2 && NameIs(node, u"subtitle"))
    {
        channel.title += " - ";
        channel.title += TextOf(node);
    }
    else if (depth == 2 && NameIs(node, u"link"))
    {
        if (channel.link.isEmpty())
            channel.link = TextOf(node);
        if (channel.link.isEmpty())
            channel.link = AttributeOf(node, u"href");
        channel.link = bases.Absolute(std::move(channel.link), node);
    }
    else if (NameIs(node, u"tagline") || NameIs(node, u"summary"))
        channel.description = TextOf(node);
    else if (NameIs(node, u"author") || NameIs(node, u"contributor"))
        channel.managingEditor = TextOf(node);
    else if (NameIs(node, u"xml:lang"))
        channel.language = TextOf(node);
    else if (NameIs(node, u"updated"))
        channel.lastBuildDate = TextOf(node);
    else if (NameIs(node, u"category"))
        channel.category = TextOf(node);
    else if (NameIs(node, u"generator"))
        channel.generator = TextOf(node);
    else if (NameIs(node, u"logo"))
        channel.imageLink = TextOf(node);
    else if (NameIs(node, u"icon"))
        channel.iconLink = TextOf(node);
    else if (NameIs(node, u"entry"))
        store.items.push_back(ReadAtomEntry(node, bases));
}

template <typename Visit> void WalkChannel(CFeedStore& store, const uXmlNode& node, Visit visit)
{
    CXmlBases bases(store.documentAddress);
    if (const DOMNode* root = uXmlNode::getDomNode(&node))
        WalkTree(root, store.parseDepth,
                 [&store, &bases, visit](const DOMNode* current) { visit(store, bases, current); });
    store.linksRefused = store.linksRefused || bases.Refused();
}

// One record read on its own, outside a walk.
template <typename Read> void ReadOne(CFeedStore& store, const uXmlNode& element, Read read)
{
    CXmlBases bases(store.documentAddress);
    if (const DOMNode* node = uXmlNode::getDomNode(&element))
        store.items.push_back(read(node, bases));
    store.linksRefused = store.linksRefused || bases.Refused();
}

// The entries take the root's wrapper and delete it; the node stays with
// its document.
template <typename Walk> void RunEntry(uXmlNode* root, Walk walk)
{
    if (!root)
        return;
    walk(*root);
    root->detach();
    root->release();
}

} // namespace

void CFeedStore::ParseRssFeed(uXmlNode* root)
{
    RunEntry(root, [this](const uXmlNode& node) { ParseRssChannel(node); });
}

void CFeedStore::ParseRdfFeed(uXmlNode* root)
{
    channel.title.setEmpty();
    channel.link.setEmpty();
    channel.description.setEmpty();
    RunEntry(root, [this](const uXmlNode& node) { ParseRdfChannel(node); });
}

void CFeedStore::ParseAtomFeed(uXmlNode* root)
{
    RunEntry(root, [this](const uXmlNode& node) { ParseAtomChannel(node); });
}

void CFeedStore::ParseRssChannel(const uXmlNode& node)
{
    WalkChannel(*this, node, VisitRss);
}

void CFeedStore::ParseRdfChannel(const uXmlNode& node)
{
    WalkChannel(*this, node, VisitRdf);
}

void CFeedStore::ParseAtomChannel(const uXmlNode& node)
{
    WalkChannel(*this, node, VisitAtom);
}

void CFeedStore::ParseRssItem(const uXmlNode& item)
{
    ReadOne(*this, item, ReadRssItem);
}

void CFeedStore::ParseRdfItem(const uXmlNode& item)
{
    ReadOne(*this, item, ReadRdfItem);
}

void CFeedStore::ParseAtomEntry(const uXmlNode& entry)
{
    ReadOne(*this, entry, ReadAtomEntry);
}

void CFeedStore::ParseImage(const uXmlNode& image)
{
    if (const DOMNode* node = uXmlNode::getDomNode(&image))
        ReadImage(channel, node);
}
