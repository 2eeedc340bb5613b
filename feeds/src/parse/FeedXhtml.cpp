#include "FeedXhtml.h"

#include <string>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/XMLString.hpp>

namespace
{

using xercesc::DOMNode;

// The name without its prefix: with namespaces on or off, "xhtml:p" is "p".
const XMLCh* LocalName(const DOMNode* node)
{
    const XMLCh* name = node->getNodeName();
    const int colon = xercesc::XMLString::lastIndexOf(name, u':');
    return colon < 0 ? name : name + colon + 1;
}

void AppendEscaped(std::u16string& out, const XMLCh* text, bool attribute)
{
    for (; text && *text; ++text)
    {
        switch (*text)
        {
        case u'&':
            out += u"&amp;";
            break;
        case u'<':
            out += u"&lt;";
            break;
        case u'>':
            out += u"&gt;";
            break;
        case u'"':
            out += attribute ? u"&quot;" : u"\"";
            break;
        default:
            out += *text;
        }
    }
}

// Elements an HTML reader takes as empty: only they are written "<br/>";
// any other empty element gets its end tag, or "<a/>" would open a link.
bool IsVoidElement(const XMLCh* name)
{
    static const char16_t* const kVoid[] = {u"area",  u"base",   u"br",    u"col",  u"embed",
                                            u"hr",    u"img",    u"input", u"link", u"meta",
                                            u"param", u"source", u"track", u"wbr"};
    for (const char16_t* candidate : kVoid)
        if (xercesc::XMLString::equals(name, candidate))
            return true;
    return false;
}

void StartTag(std::u16string& out, const DOMNode* element)
{
    out += u'<';
    out += LocalName(element);
    const xercesc::DOMNamedNodeMap* attributes = element->getAttributes();
    for (XMLSize_t i = 0; attributes && i < attributes->getLength(); ++i)
    {
        const DOMNode* attribute = attributes->item(i);
        const XMLCh* name = attribute->getNodeName();
        if (xercesc::XMLString::equals(name, u"xmlns") || xercesc::XMLString::startsWith(name, u"xmlns:"))
            continue;
        out += u' ';
        out += name;
        out += u"=\"";
        AppendEscaped(out, attribute->getNodeValue(), true);
        out += u'"';
    }
}

void Close(std::u16string& out, const DOMNode* node)
{
    if (node->getNodeType() != DOMNode::ELEMENT_NODE)
        return;
    out += u"</";
    out += LocalName(node);
    out += u'>';
}

// Writes the node's opening; true when its children follow (an element with
// children, or an entity reference, whose children are its text).
bool Open(std::u16string& out, const DOMNode* node)
{
    switch (node->getNodeType())
    {
    case DOMNode::ELEMENT_NODE:
        StartTag(out, node);
        if (node->getFirstChild())
        {
            out += u'>';
            return true;
        }
        if (IsVoidElement(LocalName(node)))
        {
            out += u"/>";
            return false;
        }
        out += u'>';
        Close(out, node);
        return false;
    case DOMNode::TEXT_NODE:
    case DOMNode::CDATA_SECTION_NODE:
        AppendEscaped(out, node->getNodeValue(), false);
        return false;
    case DOMNode::ENTITY_REFERENCE_NODE:
        return node->getFirstChild() != nullptr;
    default:
        return false;
    }
}

} // namespace

uString InnerXhtml(const DOMNode* construct)
{
    const DOMNode* container = construct;
    for (const DOMNode* child = construct->getFirstChild(); child; child = child->getNextSibling())
        if (child->getNodeType() == DOMNode::ELEMENT_NODE)
        {
            if (xercesc::XMLString::equals(LocalName(child), u"div"))
                container = child;
            break;
        }
    // Without recursion: the depth of the markup is the document's to choose.
    std::u16string out;
    const DOMNode* node = container->getFirstChild();
    while (node)
    {
        if (Open(out, node))
        {
            node = node->getFirstChild();
            continue;
        }
        for (;;)
        {
            if (const DOMNode* next = node->getNextSibling())
            {
                node = next;
                break;
            }
            node = node->getParentNode();
            if (!node || node == container)
            {
                node = nullptr;
                break;
            }
            Close(out, node);
        }
    }
    return uString(out.c_str());
}
