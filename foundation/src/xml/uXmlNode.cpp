#include "XmlDiagnostics.h"
#include "foundation/uXml.h"

#include <xercesc/util/OutOfMemoryException.hpp>

using xercesc::DOMNode;

namespace
{

const char* const kNodeTypeNames[] = {
    nullptr,         "element",          "attribute",     "text",
    "cdata section", "entity reference", "entity",        "processing instruction",
    "comment",       "document",         "document type", "document fragment",
    "notation",
};

// Runs a tree edit, printing what the library throws; false when it threw.
template <typename Edit> bool guardedEdit(Edit edit)
{
    try
    {
        edit();
        return true;
    }
    catch (const xercesc::OutOfMemoryException&)
    {
        xmldiag::PrintOutOfMemory();
    }
    catch (const xercesc::DOMException& exception)
    {
        xmldiag::PrintDomExceptionCode(exception.code);
    }
    catch (...)
    {
        xmldiag::Print("An error occurred creating the node\n");
    }
    return false;
}

// Deletes a consumed wrapper and hands back its node.
DOMNode* consume(uXmlNode* wrapper)
{
    if (!wrapper)
        return nullptr;
    DOMNode* node = wrapper->detach();
    wrapper->release();
    return node;
}

} // namespace

uXmlNode::uXmlNode(DOMNode* node) : m_node(node) {}

uXmlNode::uXmlNode(const uXmlNode& other) : uXmlPlatform(other), m_node(nullptr)
{
    if (!other.m_node)
        return;
    DOMNode* clone = nullptr;
    guardedEdit([&] { clone = other.m_node->cloneNode(true); });
    m_node = clone;
    m_ownsClone = clone != nullptr;
}

uXmlNode::~uXmlNode()
{
    if (!m_ownsClone || !m_node)
        return;
    // A clone that went into a tree belongs to it now.
    const bool inTree = m_node->getNodeType() == DOMNode::ATTRIBUTE_NODE
                            ? static_cast<xercesc::DOMAttr*>(m_node)->getOwnerElement() != nullptr
                            : m_node->getParentNode() != nullptr;
    if (!inTree)
        guardedEdit([&] { m_node->release(); });
}

void uXmlNode::release()
{
    delete this;
}

int uXmlNode::getFirstChild(uXmlNode*& child) const
{
    child = nullptr;
    if (!m_node)
        return 1;
    DOMNode* first = m_node->getFirstChild();
    if (!first)
        return 1;
    child = new uXmlNode(first);
    return 0;
}

int uXmlNode::getNextSibling(uXmlNode*& sibling) const
{
    sibling = nullptr;
    if (!m_node)
        return 1;
    DOMNode* next = m_node->getNextSibling();
    if (!next)
        return 1;
    sibling = new uXmlNode(next);
    return 0;
}

const XMLCh* uXmlNode::getAttribute(const XMLCh* name) const
{
    if (!m_node || !name || m_node->getNodeType() != DOMNode::ELEMENT_NODE)
        return nullptr;
    return static_cast<const xercesc::DOMElement*>(m_node)->getAttribute(name);
}

const XMLCh* uXmlNode::getTextContent() const
{
    return m_node ? m_node->getTextContent() : nullptr;
}

const XMLCh* uXmlNode::getNodeName() const
{
    return m_node ? m_node->getNodeName() : nullptr;
}

int uXmlNode::getNodeName(const XMLCh*& name) const
{
    name = getNodeName();
    return m_node ? 0 : 1;
}

int uXmlNode::getNodeValue(const XMLCh*& value) const
{
    value = nullptr;
    if (!m_node)
        return 1;
    value = m_node->getNodeValue();
    return 0;
}

unsigned short uXmlNode::getNodeTypeIndex() const
{
    return m_node ? static_cast<unsigned short>(m_node->getNodeType() - 1) : 0xFFFF;
}

int uXmlNode::getNodeTypeIndex(unsigned short& index) const
{
    index = getNodeTypeIndex();
    return m_node ? 0 : 1;
}

int uXmlNode::getNodeTypeName(const char*& name) const
{
    name = nullptr;
    if (!m_node)
        return 1;
    unsigned type = m_node->getNodeType();
    if (type < std::size(kNodeTypeNames))
        name = kNodeTypeNames[type];
    return 0;
}

int uXmlNode::hasChildNodes(bool& hasChildren) const
{
    hasChildren = false;
    if (!m_node)
        return 1;
    hasChildren = m_node->hasChildNodes();
    return 0;
}

DOMNode* uXmlNode::appendChild(DOMNode* child)
{
    if (!m_node || !child)
        return nullptr;
    DOMNode* appended = nullptr;
    guardedEdit([&] { appended = m_node->appendChild(child); });
    return appended;
}

int uXmlNode::appendChild(uXmlNode* child)
{
    DOMNode* node = consume(child);
    if (!m_node || !node)
        return 1;
    return guardedEdit([&] { m_node->appendChild(node); }) ? 0 : 1;
}

int uXmlNode::insertBefore(uXmlNode* newChild, const uXmlNode* refChild)
{
    DOMNode* node = consume(newChild);
    if (!m_node || !node)
        return 1;
    return guardedEdit([&] { m_node->insertBefore(node, getDomNode(refChild)); }) ? 0 : 1;
}

int uXmlNode::removeChild(uXmlNode* oldChild, uXmlNode*& removed)
{
    removed = nullptr;
    DOMNode* node = consume(oldChild);
    if (!m_node || !node)
        return 1;
    DOMNode* result = nullptr;
    if (!guardedEdit([&] { result = m_node->removeChild(node); }) || !result)
        return 1;
    removed = new uXmlNode(result);
    return 0;
}

int uXmlNode::replaceChild(uXmlNode* newChild, uXmlNode* oldChild, uXmlNode*& replaced)
{
    replaced = nullptr;
    DOMNode* fresh = consume(newChild);
    DOMNode* old = consume(oldChild);
    if (!m_node || !fresh || !old)
        return 1;
    DOMNode* result = nullptr;
    if (!guardedEdit([&] { result = m_node->replaceChild(fresh, old); }) || !result)
        return 1;
    replaced = new uXmlNode(result);
    return 0;
}

int uXmlNode::cloneNode(bool deep, uXmlNode*& clone) const
{
    clone = nullptr;
    if (!m_node)
        return 1;
    DOMNode* result = nullptr;
    if (!guardedEdit([&] { result = m_node->cloneNode(deep); }) || !result)
        return 1;
    clone = new uXmlNode(result);
    return 0;
}

DOMNode* uXmlNode::detach()
{
    DOMNode* node = m_node;
    m_node = nullptr;
    m_ownsClone = false;
    return node;
}

DOMNode* uXmlNode::getDomNode(const uXmlNode* wrapper)
{
    return wrapper ? wrapper->m_node : nullptr;
}
