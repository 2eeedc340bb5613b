#include "XmlAttributes.h"

#include <xercesc/util/XMLException.hpp>

using namespace xercesc;

namespace xmlattr
{

uString Get(const DOMElement* element, const XMLCh* name)
{
    if (!element)
        return uString();
    uXmlString text(element->getAttribute(name));
    return uString(text.getText());
}

bool Set(DOMElement* element, const XMLCh* name, const char* value)
{
    if (!element)
        return false;
    uXmlString wide(value ? value : "");
    try
    {
        element->setAttribute(name, wide.get() ? wide.get() : u"");
        return true;
    }
    catch (const DOMException&)
    {
        return false;
    }
}

DOMElement* FirstElement(const uXmlDocument& document, const XMLCh* name)
{
    DOMDocument* dom = document.getDocument();
    if (!dom)
        return nullptr;
    DOMNodeList* found = dom->getElementsByTagName(name);
    if (!found || found->getLength() == 0)
        return nullptr;
    return dynamic_cast<DOMElement*>(found->item(0));
}

DOMElement* AppendElement(uXmlDocument& document, DOMElement* parent, const XMLCh* name)
{
    if (!parent)
        return nullptr;
    DOMElement* element = document.createElement(name);
    if (!element)
        return nullptr;
    try
    {
        parent->appendChild(element);
        return element;
    }
    catch (const DOMException&)
    {
        element->release();
        return nullptr;
    }
}

} // namespace xmlattr
