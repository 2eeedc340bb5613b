#include "dialogs/Opml.h"

#include "StringTable.h"
#include "foundation/uHtmlEntities.h"
#include "foundation/uXml.h"
#include "foundation/uXmlLimits.h"

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

// An outline element as a row when it is a feed or a link. Two kinds of
// outline that the reading rules would drop stay rows, since dropping them
// loses a subscription: a feed with an xmlUrl but no type (some readers
// leave the type out), and a feed without text or title (readers export
// feeds they have not fetched yet with title=""; such a feed takes its own
// title at its first fetch).
bool ReadRow(const DOMElement* element, Row& row)
{
    uString type = Attribute(element, u"type");
    uString text = DecodeEntitiesOnce(Attribute(element, u"text"));
    row.title = DecodeEntitiesOnce(Attribute(element, u"title"));
    if (row.title.isEmpty())
        row.title = text;
    row.description = DecodeEntitiesOnce(Attribute(element, u"description"));
    if (TypeIs(type, "rss") || (type.isEmpty() && !Attribute(element, u"xmlUrl").isEmpty()))
    {
        row.link = Attribute(element, u"xmlUrl");
        if (row.link.isEmpty())
            row.link = Attribute(element, u"url");
        row.page = Attribute(element, u"htmlUrl");
    }
    else if (TypeIs(type, "link"))
    {
        row.link = Attribute(element, u"url");
    }
    row.link.trim();
    return !row.link.isEmpty();
}

// Every outline at any depth, in document order; the children of every
// node are read whether or not it gave a row.
void ReadOutlines(const DOMNode* node, std::vector<Row>& rows)
{
    for (const DOMNode* child = node->getFirstChild(); child != nullptr; child = child->getNextSibling())
    {
        Row row;
        if (NameIs(child, u"outline") && ReadRow(static_cast<const DOMElement*>(child), row))
            rows.push_back(std::move(row));
        ReadOutlines(child, rows);
    }
}

// Why a file was refused, in the interface language.
constexpr int kTooDeep = 3065;
constexpr int kEntitiesRefused = 3066;
constexpr int kTooLarge = 3067;
constexpr int kNotXml = 3068;
constexpr int kDocumentType = 3069;
constexpr int kIncomplete = 3070;
constexpr int kUnreadable = 3071;

Document Refused(int error, int reason = 0)
{
    Document document;
    document.error = error;
    if (reason != 0)
        document.reason = resources::StringText(reason);
    return document;
}

Document ReadLoaded(uXmlDocument& xml, bool parsed)
{
    // Refused by the reader's limits before anything was built: the user
    // learns why, not that the file is no XML at all.
    switch (xml.getRefusal())
    {
    case xmllimits::Refusal::kTooDeep:
        return Refused(kLoadFailed, kTooDeep);
    case xmllimits::Refusal::kEntityExpansion:
        return Refused(kLoadFailed, kEntitiesRefused);
    case xmllimits::Refusal::kTooLarge:
        return Refused(kLoadFailed, kTooLarge);
    case xmllimits::Refusal::kNone:
        break;
    }
    const DOMElement* root = parsed ? xml.getDocumentElement() : nullptr;
    if (root == nullptr)
        return Refused(kLoadFailed, kNotXml);
    // Outline files never need a document type; one that declares entities
    // is refused whole rather than expanded.
    if (xml.getDocument()->getDoctype() != nullptr)
        return Refused(kLoadFailed, kDocumentType);
    if (xml.isPartial())
        return Refused(kLoadFailed, kIncomplete);
    if (XMLString::compareIString(root->getTagName(), u"opml") != 0)
        return Refused(kNotOpml);

    Document document;
    for (const DOMNode* child = root->getFirstChild(); child != nullptr; child = child->getNextSibling())
    {
        if (NameIs(child, u"head"))
            FindLastTitle(child, document.headTitle);
        else if (NameIs(child, u"body"))
            ReadOutlines(child, document.rows);
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
        return Refused(kLoadFailed, kUnreadable);
    if (size > static_cast<std::uintmax_t>(kMaxFileBytes))
        return Refused(kLoadFailed, kTooLarge);
    uXmlDocument xml;
    bool parsed = xml.load(path, false, false, false, false);
    return ReadLoaded(xml, parsed);
}

Document ReadText(const std::string& text)
{
    if (text.size() > static_cast<std::size_t>(kMaxFileBytes))
        return Refused(kLoadFailed, kTooLarge);
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
