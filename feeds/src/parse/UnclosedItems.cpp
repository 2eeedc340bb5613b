#include "UnclosedItems.h"

#include <vector>
#include <xercesc/util/XMLString.hpp>

using xercesc::DOMNode;
using xercesc::XMLString;

void DropUnclosedItems(xercesc::DOMElement* root, DOMNode* openAtBreak)
{
    if (root == nullptr || openAtBreak == nullptr)
        return;
    // The names the readers take items by, as written (prefix included).
    const XMLCh* item = XMLString::compareIString(root->getNodeName(), u"feed") == 0 ? u"entry" : u"item";
    std::vector<DOMNode*> unclosed;
    for (DOMNode* node = openAtBreak; node != nullptr && node != root; node = node->getParentNode())
        if (node->getNodeType() == DOMNode::ELEMENT_NODE && XMLString::equals(node->getNodeName(), item))
            unclosed.push_back(node);
    // Innermost first: each one is still in its parent when it is taken out.
    for (DOMNode* node : unclosed)
        node->getParentNode()->removeChild(node);
}
