#pragma once

#include "foundation/uString.h"
#include "foundation/uXml.h"

// Attribute access in the program's UTF-8, for the settings files.
namespace xmlattr
{

// The attribute's text; empty when the element lacks it.
uString Get(const xercesc::DOMElement* element, const XMLCh* name);
// False when the element is null or the library refused the value.
bool Set(xercesc::DOMElement* element, const XMLCh* name, const char* value);
// The first element of that name anywhere in the document (document order,
// the root included); null when there is none.
xercesc::DOMElement* FirstElement(const uXmlDocument& document, const XMLCh* name);
// A new element of that name appended to the parent; null on failure.
xercesc::DOMElement* AppendElement(uXmlDocument& document, xercesc::DOMElement* parent, const XMLCh* name);

} // namespace xmlattr
