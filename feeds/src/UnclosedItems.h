#pragma once

#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>

// Takes out of a feed document that broke off the items ("entry" in Atom)
// it had not closed at the break: they end wherever the answer stopped, a
// link or a description half way, and stored so they would stay beside the
// whole item of the next fetch. openAtBreak is the innermost node still open
// there (uXmlDocument::getOpenAtBreak); null takes nothing out.
void DropUnclosedItems(xercesc::DOMElement* root, xercesc::DOMNode* openAtBreak);
