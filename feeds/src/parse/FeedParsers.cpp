#include "FeedXhtml.h"
#include "PageUrl.h"
#include "feeds/FeedStore.h"
#include "foundation/uXml.h"

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

// A link as stored: a relative one is made absolute against the xml:base in
// force at the element (each one resolved against the one around it), and
// the document's address under them all. An absolute link is kept as written.
uString AbsoluteLink(uString link, const DOMNode* element, const uString& address)
{
    if (link.isEmpty() || pageurl::HasScheme(link))
        return link;
    std::vector<const XMLCh*> bases;
    for (const DOMNode* node = element; node && IsElement(node); node = node->getParentNode())
    {
        const XMLCh* base = static_cast<const DOMElement*>(node)->getAttribute(u"xml:base");
        if (base && *base)
            bases.push_back(base);
    }
    uString base(address);
    for (auto outer = bases.rbegin(); outer != bases.rend(); ++outer)
        base = pageurl::ResolveReference(base, uString(*outer));
    return pageurl::ResolveReference(base, link);
}

uString LinkOf(const DOMNode* node, const uString& address)
{
    return AbsoluteLink(TextOf(node), node, address);
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
void ReadEnclosure(CItemRecord& item, const DOMNode* node, const char16_t* linkAttribute,
                   const uString& address)
{
    item.enclosureLink = AbsoluteLink(AttributeOf(node, linkAttribute), node, address);
    item.enclosureLength = AttributeOf(node, u"length");
    item.enclosureType = AttributeOf(node, u"type");
    if (item.enclosureType.isEmpty())
        item.enclosureType = GuessMediaType(item.enclosureLink);
}

CItemRecord ReadRssItem(const DOMNode* element, const uString& address)
{
    CItemRecord item;
    ForEachChildElement(element,
                        [&item, &address](const DOMNode* node)
                        {
                            if (NameIs(node, u"title"))
                                item.title = TextOf(node);
                            else if (NameIs(node, u"description"))
                                item.description = TextOf(node);
                            else if (NameIs(node, u"link"))
                                item.link = LinkOf(node, address);
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
                                ReadEnclosure(item, node, u"url", address);
                        });
    if (item.link.isEmpty())
        item.link = item.enclosureLink.isEmpty() ? item.guid : item.enclosureLink;
    if (item.title.isEmpty())
        item.title = item.subject.isEmpty() ? uString("Untitled") : item.subject;
    return item;
}

CItemRecord ReadRdfItem(const DOMNode* element, const uString& address)
{
    CItemRecord item;
    ForEachChildElement(element,
                        [&item, &address](const DOMNode* node)
                        {
                            if (NameIs(node, u"title"))
                                item.title = TextOf(node);
                            else if (NameIs(node, u"link"))
                                item.link = LinkOf(node, address);
                            else if (NameIs(node, u"dc:description") || NameIs(node, u"description"))
                                item.description = TextOf(node);
                            else if (NameIs(node, u"dc:creator"))
                                item.author = TextOf(node);
                            else if (NameIs(node, u"dc:subject") || NameIs(node, u"subject"))
                                item.subject = TextOf(node);
                        });
    return item;
}

CItemRecord ReadAtomEntry(const DOMNode* element, const uString& address)
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
                                    ReadEnclosure(item, node, u"href", address);
                                // A link without rel is the alternate one (RFC 4287): many feeds
                                // leave it out, and an entry without a link would not be stored.
                                else if ((rel.isEmpty() || rel.equalsNoCase("alternate")) &&
                                         item.link.isEmpty())
                                {
                                    item.link = TextOf(node);
                                    if (item.link.isEmpty())
                                        item.link = AttributeOf(node, u"href");
                                    item.link = AbsoluteLink(std::move(item.link), node, address);
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

void VisitRss(CFeedStore& store, const DOMNode* node)
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
        channel.link = LinkOf(node, store.documentAddress);
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
        store.items.push_back(ReadRssItem(node, store.documentAddress));
}

void VisitRdf(CFeedStore& store, const DOMNode* node)
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
            channel.link = LinkOf(node, store.documentAddress);
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
        store.items.push_back(ReadRdfItem(node, store.documentAddress));
}

void VisitAtom(CFeedStore& store, const DOMNode* node)
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
        channel.link = AbsoluteLink(std::move(channel.link), node, store.documentAddress);
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
        store.items.push_back(ReadAtomEntry(node, store.documentAddress));
}

template <typename Visit> void WalkChannel(CFeedStore& store, const uXmlNode& node, Visit visit)
{
    if (const DOMNode* root = uXmlNode::getDomNode(&node))
        WalkTree(root, store.parseDepth, [&store, visit](const DOMNode* current) { visit(store, current); });
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
    if (const DOMNode* node = uXmlNode::getDomNode(&item))
        items.push_back(ReadRssItem(node, documentAddress));
}

void CFeedStore::ParseRdfItem(const uXmlNode& item)
{
    if (const DOMNode* node = uXmlNode::getDomNode(&item))
        items.push_back(ReadRdfItem(node, documentAddress));
}

void CFeedStore::ParseAtomEntry(const uXmlNode& entry)
{
    if (const DOMNode* node = uXmlNode::getDomNode(&entry))
        items.push_back(ReadAtomEntry(node, documentAddress));
}

void CFeedStore::ParseImage(const uXmlNode& image)
{
    if (const DOMNode* node = uXmlNode::getDomNode(&image))
        ReadImage(channel, node);
}
