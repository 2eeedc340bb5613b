#include "dialogs/Opml.h"

#include "foundation/uHtmlEntities.h"
#include "foundation/uXml.h"

#include <filesystem>

using namespace xercesc;

namespace opml
{
namespace
{
bool NameIs(const DOMNode* node, const XMLCh* name)
{
    return node->getNodeType() == DOMNode::ELEMENT_NODE &&
           XMLString::compareIString(node->getNodeName(), name) == 0;
}

uString Attribute(const DOMElement* element, const XMLCh* name)
{
    return uString(element->getAttribute(name));
}

uString Text(const DOMNode* node)
{
    const XMLCh* text = node->getTextContent();
    return text != nullptr ? uString(text) : uString();
}

// The last "title" anywhere inside the head.
void FindLastTitle(const DOMNode* node, uString& title)
{
    for (const DOMNode* child = node->getFirstChild(); child != nullptr; child = child->getNextSibling())
    {
        if (NameIs(child, u"title"))
            title = TrimSpace(Text(child));
        FindLastTitle(child, title);
    }
}

bool TypeIs(const uString& type, const char* value)
{
    return type.equalsNoCase(value);
}

// An outline element as a row when it is a feed or a link. Readers that
// leave the type out still mean a feed when they give an xmlUrl.
bool ReadRow(const DOMElement* element, Row& row, uString& label)
{
    uString type = Attribute(element, u"type");
    uString text = DecodeEntitiesOnce(Attribute(element, u"text"));
    uString title = DecodeEntitiesOnce(Attribute(element, u"title"));
    label = title.isEmpty() ? text : title;
    row.title = label;
    row.description = DecodeEntitiesOnce(Attribute(element, u"description"));
    if (TypeIs(type, "rss") || (type.isEmpty() && !Attribute(element, u"xmlUrl").isEmpty()))
    {
        row.link = Attribute(element, u"xmlUrl");
        if (row.link.isEmpty())
            row.link = Attribute(element, u"url");
        row.page = Attribute(element, u"htmlUrl");
        row.link.trim();
        // Readers export feeds they never fetched without a title: the
        // address names them until the first refresh brings one.
        if (label.isEmpty())
            row.title = label = row.link;
        return !row.link.isEmpty();
    }
    if (TypeIs(type, "link"))
    {
        row.link = Attribute(element, u"url");
        row.link.trim();
        return !row.link.isEmpty();
    }
    return false;
}

// Every outline at any depth: rows in document order, and the nesting.
void ReadOutlines(const DOMNode* node, std::vector<Outline>& into, std::vector<Row>& rows)
{
    for (const DOMNode* child = node->getFirstChild(); child != nullptr; child = child->getNextSibling())
    {
        if (!NameIs(child, u"outline"))
        {
            ReadOutlines(child, into, rows);
            continue;
        }
        Outline outline;
        if (ReadRow(static_cast<const DOMElement*>(child), outline.row, outline.label))
            rows.push_back(outline.row);
        else
            outline.row = Row();
        ReadOutlines(child, outline.children, rows);
        if (outline.row.link.isEmpty() && outline.label.isEmpty())
        {
            // An unnamed group adds nothing: its outlines stay where it is.
            for (Outline& inner : outline.children)
                into.push_back(std::move(inner));
            continue;
        }
        into.push_back(std::move(outline));
    }
}

Document Refused(int error, const char* reason)
{
    Document document;
    document.error = error;
    document.reason = reason;
    return document;
}

Document ReadLoaded(uXmlDocument& xml, bool parsed)
{
    const DOMElement* root = parsed ? xml.getDocumentElement() : nullptr;
    if (root == nullptr)
        return Refused(kLoadFailed, "The file is not an XML document.");
    // Outline files never need a document type; one that declares entities
    // is refused whole rather than expanded.
    if (xml.getDocument()->getDoctype() != nullptr)
        return Refused(kLoadFailed, "The file declares a document type, which outline files never do.");
    if (xml.isPartial())
        return Refused(kLoadFailed, "The file is damaged or ends before its document is complete.");
    if (XMLString::compareIString(root->getTagName(), u"opml") != 0)
        return Refused(kNotOpml, "");

    Document document;
    for (const DOMNode* child = root->getFirstChild(); child != nullptr; child = child->getNextSibling())
    {
        if (NameIs(child, u"head"))
            FindLastTitle(child, document.headTitle);
        else if (NameIs(child, u"body"))
            ReadOutlines(child, document.outlines, document.rows);
    }
    return document;
}

// ---- writing

void SetAttribute(DOMElement* element, const XMLCh* name, const uString& value)
{
    uXmlString text(XmlSafe(value).c_str());
    element->setAttribute(name, text.get());
}

DOMElement* Append(uXmlDocument& xml, DOMNode* parent, const XMLCh* name)
{
    DOMElement* element = xml.createElement(name);
    if (element != nullptr)
        parent->appendChild(element);
    return element;
}

void AppendFeed(uXmlDocument& xml, DOMNode* parent, const Feed& feed)
{
    DOMElement* outline = Append(xml, parent, u"outline");
    if (outline == nullptr)
        return;
    outline->setAttribute(u"type", u"rss");
    SetAttribute(outline, u"text", feed.title);
    SetAttribute(outline, u"title", feed.title);
    if (!feed.description.isEmpty())
        SetAttribute(outline, u"description", feed.description);
    SetAttribute(outline, u"xmlUrl", feed.url);
    if (!feed.page.isEmpty())
        SetAttribute(outline, u"htmlUrl", feed.page);
}

void AppendNode(uXmlDocument& xml, DOMNode* parent, const Node& node)
{
    bool grouping = node.kind == 0 || node.kind == 1 || (node.kind == 3 && node.hasDatabase);
    if (!grouping)
        return;
    DOMElement* outline = Append(xml, parent, u"outline");
    if (outline == nullptr)
        return;
    SetAttribute(outline, u"text", node.label);
    for (const Feed& feed : node.feeds)
        AppendFeed(xml, outline, feed);
    for (const Node& child : node.children)
        AppendNode(xml, outline, child);
}

// `opml` > `head` > `title`, and the body the caller fills.
DOMElement* StartDocument(uXmlDocument& xml, const uString& title)
{
    DOMElement* root = xml.getDocumentElement();
    if (root == nullptr)
        return nullptr;
    root->setAttribute(u"version", u"2.0");
    DOMElement* head = Append(xml, root, u"head");
    DOMElement* titleElement = head != nullptr ? Append(xml, head, u"title") : nullptr;
    if (titleElement == nullptr)
        return nullptr;
    uXmlString text(XmlSafe(title).c_str());
    titleElement->appendChild(xml.createTextNode(text.get()));
    return Append(xml, root, u"body");
}

bool Save(uXmlDocument& xml, const char* path)
{
    xml.setStandalone(true);
    return xml.save(path);
}

void PlanOutlines(const std::vector<Outline>& outlines, const std::set<std::string>& chosen,
                  std::set<std::string>& taken, std::vector<Feed>& feeds, std::vector<Node>& groups)
{
    for (const Outline& outline : outlines)
    {
        if (!outline.row.link.isEmpty())
        {
            std::string link = outline.row.link.c_str();
            if (chosen.count(link) != 0 && taken.insert(link).second)
                feeds.push_back(
                    {outline.row.title, outline.row.description, outline.row.link, outline.row.page});
            // A feed outline with outlines inside keeps them at its level.
            PlanOutlines(outline.children, chosen, taken, feeds, groups);
            continue;
        }
        Node group;
        std::vector<Feed> own;
        PlanOutlines(outline.children, chosen, taken, own, group.children);
        if (own.empty() && group.children.empty())
            continue;
        group.label = outline.label;
        if (group.children.empty())
        {
            group.kind = 3;
            group.feeds = std::move(own);
        }
        else if (!own.empty())
        {
            // A group with feeds and groups: a folder whose first list, of
            // the group's name, holds the feeds.
            Node list;
            list.kind = 3;
            list.label = outline.label;
            list.feeds = std::move(own);
            group.children.insert(group.children.begin(), std::move(list));
        }
        groups.push_back(std::move(group));
    }
}

std::size_t CountFeeds(const std::vector<Node>& nodes)
{
    std::size_t count = 0;
    for (const Node& node : nodes)
        count += node.feeds.size() + CountFeeds(node.children);
    return count;
}

// The code point at text[i] and its length in bytes; length 0 for a broken sequence.
std::size_t DecodeUtf8(const unsigned char* text, std::size_t size, std::size_t i, char32_t& code)
{
    unsigned char lead = text[i];
    std::size_t length = lead < 0x80         ? 1
                         : (lead >> 5) == 6  ? 2
                         : (lead >> 4) == 14 ? 3
                         : (lead >> 3) == 30 ? 4
                                             : 0;
    if (length == 0 || i + length > size)
        return 0;
    code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k)
    {
        if ((text[i + k] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (text[i + k] & 0x3F);
    }
    static const char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

bool AllowedInXml(char32_t code)
{
    if (code < 0x20)
        return code == 0x09 || code == 0x0A || code == 0x0D;
    return code != 0xFFFE && code != 0xFFFF;
}
} // namespace

Document ReadFile(const char* path)
{
    std::error_code error;
    auto size = std::filesystem::file_size(path, error);
    if (error)
        return Refused(kLoadFailed, "The file cannot be read.");
    if (size > static_cast<std::uintmax_t>(kMaxFileBytes))
        return Refused(kLoadFailed, "The file is larger than 32 MB, more than any list of feeds needs.");
    uXmlDocument xml;
    bool parsed = xml.load(path, false, false, false, false);
    return ReadLoaded(xml, parsed);
}

Document ReadText(const std::string& text)
{
    if (text.size() > static_cast<std::size_t>(kMaxFileBytes))
        return Refused(kLoadFailed, "The file is larger than 32 MB, more than any list of feeds needs.");
    uXmlDocument xml;
    bool parsed = xml.loadXml(text.c_str(), false, false, false, false);
    return ReadLoaded(xml, parsed);
}

bool WriteList(const uString& label, const std::vector<Feed>& feeds, const char* path)
{
    uXmlDocument xml(u"opml", nullptr, nullptr);
    DOMElement* body = StartDocument(xml, label);
    if (body == nullptr)
        return false;
    for (const Feed& feed : feeds)
        AppendFeed(xml, body, feed);
    return Save(xml, path);
}

bool WriteBranch(const Node* item, const uString& title, const char* path)
{
    uXmlDocument xml(u"opml", nullptr, nullptr);
    DOMElement* body = StartDocument(xml, title);
    if (body == nullptr)
        return false;
    if (item != nullptr)
        AppendNode(xml, body, *item);
    return Save(xml, path);
}

std::size_t ImportPlan::FeedCount() const
{
    return feeds.size() + CountFeeds(groups);
}

ImportPlan PlanImport(const std::vector<Outline>& outlines, const std::set<std::string>& chosen)
{
    ImportPlan plan;
    std::set<std::string> taken;
    PlanOutlines(outlines, chosen, taken, plan.feeds, plan.groups);
    return plan;
}

uString XmlSafe(const uString& text)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.c_str());
    std::size_t size = static_cast<std::size_t>(text.getLength());
    std::string out;
    out.reserve(size);
    for (std::size_t i = 0; i < size;)
    {
        char32_t code = 0;
        std::size_t length = DecodeUtf8(bytes, size, i, code);
        if (length == 0)
        {
            ++i;
            continue;
        }
        if (AllowedInXml(code))
            out.append(text.c_str() + i, length);
        i += length;
    }
    return uString(out.c_str());
}

uString TrimSpace(const uString& text)
{
    std::string value = text.c_str();
    const char* blanks = " \t\r\n";
    std::size_t first = value.find_first_not_of(blanks);
    if (first == std::string::npos)
        return uString();
    std::size_t last = value.find_last_not_of(blanks);
    return uString(value.substr(first, last - first + 1).c_str());
}

uString DecodeEntitiesOnce(const uString& text)
{
    std::string_view source(text.c_str(), static_cast<std::size_t>(text.getLength()));
    if (source.find('&') == std::string_view::npos)
        return text;
    std::string out;
    for (std::size_t i = 0; i < source.size();)
    {
        if (source[i] == '&')
        {
            std::size_t used = html::DecodeReference(source.substr(i), out);
            if (used > 0)
            {
                i += used;
                continue;
            }
        }
        out += source[i++];
    }
    return uString(out.c_str());
}
} // namespace opml
