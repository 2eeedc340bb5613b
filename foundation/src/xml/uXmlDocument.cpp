#include "XmlDiagnostics.h"
#include "foundation/uXml.h"

#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>

using namespace xercesc;

namespace
{

// Runs a document factory call, printing what the library throws; null when it threw.
template <typename Result, typename Call> Result* guardedCreate(DOMDocument* document, Call call)
{
    if (!document)
        return nullptr;
    try
    {
        return call(document);
    }
    catch (const OutOfMemoryException&)
    {
        xmldiag::PrintOutOfMemory();
    }
    catch (const DOMException& exception)
    {
        xmldiag::PrintDomExceptionCode(exception.code);
    }
    catch (...)
    {
        xmldiag::Print("An error occurred creating the node\n");
    }
    return nullptr;
}

} // namespace

uXmlDocument::uXmlDocument() = default;

uXmlDocument::uXmlDocument(const XMLCh* rootName, const XMLCh* namespaceURI, DOMDocumentType* doctype)
    : m_document(createDocument(rootName, namespaceURI, doctype))
{
}

uXmlDocument::~uXmlDocument()
{
    releaseDocument();
}

void uXmlDocument::release()
{
    delete this;
}

DOMDocument* uXmlDocument::createDocument(const XMLCh* rootName, const XMLCh* namespaceURI,
                                          DOMDocumentType* doctype)
{
    DOMImplementation* implementation = DOMImplementationRegistry::getDOMImplementation(u"Core");
    if (!implementation)
    {
        xmldiag::Print("Requested implementation is not supported\n");
        return nullptr;
    }
    try
    {
        return implementation->createDocument(namespaceURI, rootName, doctype,
                                              XMLPlatformUtils::fgMemoryManager);
    }
    catch (const OutOfMemoryException&)
    {
        xmldiag::PrintOutOfMemory();
    }
    catch (const DOMException& exception)
    {
        xmldiag::PrintDomExceptionCode(exception.code);
    }
    catch (...)
    {
        xmldiag::Print("An error occurred creating the document\n");
    }
    return nullptr;
}

void uXmlDocument::releaseDocument()
{
    if (m_document)
        m_document->release();
    m_document = nullptr;
    m_partial = false;
    m_openAtBreak = nullptr;
}

DOMElement* uXmlDocument::getDocumentElement() const
{
    return m_document ? m_document->getDocumentElement() : nullptr;
}

DOMElement* uXmlDocument::createElement(const XMLCh* tagName)
{
    return guardedCreate<DOMElement>(m_document, [&](DOMDocument* d) { return d->createElement(tagName); });
}

DOMText* uXmlDocument::createTextNode(const XMLCh* data)
{
    return guardedCreate<DOMText>(m_document, [&](DOMDocument* d) { return d->createTextNode(data); });
}

DOMComment* uXmlDocument::createComment(const XMLCh* data)
{
    return guardedCreate<DOMComment>(m_document, [&](DOMDocument* d) { return d->createComment(data); });
}

DOMCDATASection* uXmlDocument::createCDATASection(const XMLCh* data)
{
    return guardedCreate<DOMCDATASection>(m_document,
                                          [&](DOMDocument* d) { return d->createCDATASection(data); });
}

DOMProcessingInstruction* uXmlDocument::createProcessingInstruction(const XMLCh* target, const XMLCh* data)
{
    return guardedCreate<DOMProcessingInstruction>(m_document, [&](DOMDocument* d)
                                                   { return d->createProcessingInstruction(target, data); });
}

DOMAttr* uXmlDocument::createAttribute(const XMLCh* name)
{
    return guardedCreate<DOMAttr>(m_document, [&](DOMDocument* d) { return d->createAttribute(name); });
}

DOMEntityReference* uXmlDocument::createEntityReference(const XMLCh* name)
{
    return guardedCreate<DOMEntityReference>(m_document,
                                             [&](DOMDocument* d) { return d->createEntityReference(name); });
}

DOMDocumentFragment* uXmlDocument::createDocumentFragment()
{
    return guardedCreate<DOMDocumentFragment>(m_document,
                                              [](DOMDocument* d) { return d->createDocumentFragment(); });
}

DOMNodeList* uXmlDocument::getElementsByTagName(const XMLCh* tagName) const
{
    return m_document ? m_document->getElementsByTagName(tagName) : nullptr;
}

int uXmlDocument::setStandalone(bool standalone)
{
    if (!m_document)
        return 1;
    m_document->setXmlStandalone(standalone);
    return 0;
}
