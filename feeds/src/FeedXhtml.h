#pragma once

#include "foundation/uString.h"

#include <xercesc/dom/DOMNode.hpp>

// The markup inside an Atom text construct of type "xhtml", written out again
// as XHTML: the wrapping "div" is dropped, prefixes and namespace declarations
// go, text is escaped again (so "&lt;b&gt;" stays text), comments and
// processing instructions are left out.
uString InnerXhtml(const xercesc::DOMNode* construct);
