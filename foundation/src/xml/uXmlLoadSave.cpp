#include "XmlDiagnostics.h"
#include "foundation/uFile.h"
#include "foundation/uXml.h"

#include <cstring>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLEntityResolver.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLUni.hpp>

using namespace xercesc;

namespace
{

// Bounds entity expansion (the "billion laughs" document).
constexpr XMLSize_t kEntityExpansionLimit = 10000;

// Every external entity, external DTD subset and schema reads as empty, so a
// load never touches the network or any file but the one named.
class RefuseExternalResources : public XMLEntityResolver
{
public:
    InputSource* resolveEntity(XMLResourceIdentifier* resource) override
    {
        static const XMLByte nothing[1] = {0};
        const XMLCh* id = resource && resource->getSystemId() ? resource->getSystemId() : u"refused";
        return new MemBufInputSource(nothing, 0, id, false);
    }
};

// Keeps the parser's innermost open node readable after the parse: the DOM
// does not say which of its elements the document closed.
class BreakAwareParser : public XercesDOMParser
{
public:
    using XercesDOMParser::XercesDOMParser;
    DOMNode* openNode() const { return fCurrentParent; }
};

} // namespace

void uXmlDocument::report(const std::string& text)
{
    m_errorText.appendBytes(text.data(), text.size());
}

bool uXmlDocument::parse(const char* bytes, std::size_t length, const uString& systemId,
                         const char* reportName, bool doNamespaces, bool doSchema, bool fullSchemaChecking,
                         bool createEntityReferenceNodes)
{
    m_partial = false;
    m_openAtBreak = nullptr;
    m_errorText.setEmpty();
    m_refusal = xmllimits::Check(bytes, length);
    if (m_refusal != xmllimits::Refusal::kNone)
    {
        report("Fatal Error at file \"" + std::string(systemId.c_str()) + "\", line 0, column 0\n" +
               "   Message: refused: " + xmllimits::Describe(m_refusal) + "\n");
        return false;
    }
    RefuseExternalResources resolver;
    SecurityManager security;
    security.setEntityExpansionLimit(kEntityExpansionLimit);
    uXmlErrorHandler errors;
    BreakAwareParser parser(nullptr, XMLPlatformUtils::fgMemoryManager, nullptr);
    // No validation and no external DTD subset: with every DTD and schema
    // refused, validating only printed noise, and this library version leaks
    // memory on every load that validates against an external subset.
    parser.setValidationScheme(XercesDOMParser::Val_Never);
    parser.setLoadExternalDTD(false);
    parser.setDoNamespaces(doNamespaces);
    parser.setDoSchema(doSchema);
    parser.setValidationSchemaFullChecking(fullSchemaChecking);
    parser.setCreateEntityReferenceNodes(createEntityReferenceNodes);
    parser.setLoadSchema(false);
    parser.setXMLEntityResolver(&resolver);
    parser.setDisableDefaultEntityResolution(true);
    parser.setSecurityManager(&security);
    parser.setErrorHandler(&errors);

    uString id(systemId);
    MemBufInputSource source(reinterpret_cast<const XMLByte*>(bytes), length, id.getWide(), false);
    bool failed = true;
    try
    {
        parser.parse(source);
        failed = false;
    }
    catch (const OutOfMemoryException&)
    {
        report("OutOfMemoryException\n");
    }
    catch (const XMLException& exception)
    {
        report("An error occurred during parsing\n   Message: " + xmldiag::Utf8(exception.getMessage()) +
               "\n");
    }
    catch (const DOMException& exception)
    {
        std::string text = "\nDOM Error during parsing: '" + std::string(reportName) + "'\n" +
                           "DOMException code is:  " + std::to_string(exception.code) + "\n";
        if (exception.getMessage())
            text += "Message is: " + xmldiag::Utf8(exception.getMessage()) + "\n";
        report(text);
    }
    catch (...)
    {
        report("An error occurred during parsing\n \n");
    }
    // What the parser survived comes after what it threw, as it happened.
    m_errorText += errors.getReport();
    // Keep the parser's own document: a copy would lose the document type,
    // entity text and everything outside the root element.
    if (!failed && parser.getDocument() && parser.getDocument()->getDocumentElement())
    {
        m_partial = errors.sawFatalErrors();
        DOMNode* open = parser.openNode();
        if (m_partial && open != nullptr && open->getNodeType() != DOMNode::DOCUMENT_NODE)
            m_openAtBreak = open;
        m_document = parser.adoptDocument();
    }
    return !failed;
}

bool uXmlDocument::load(const char* path, bool doNamespaces, bool doSchema, bool fullSchemaChecking,
                        bool createEntityReferenceNodes)
{
    releaseDocument();
    m_errorText.setEmpty();
    if (!path)
        return false;
    // Read the file ourselves: the library would take the path through the
    // locale's code page, which breaks non-ASCII names.
    uFile file(path, uFile::kModeRead);
    m_refusal = file.getSize() > xmllimits::kMaxDocumentBytes ? xmllimits::Refusal::kTooLarge
                                                              : xmllimits::Refusal::kNone;
    if (m_refusal != xmllimits::Refusal::kNone)
    {
        report("Fatal Error at file \"" + std::string(path) + "\", line 0, column 0\n" +
               "   Message: refused: " + xmllimits::Describe(m_refusal) + "\n");
        return false;
    }
    uString bytes;
    bool read = file.open() && file.readAll(bytes);
    file.close();
    if (!read)
    {
        report("Fatal Error at file \"" + std::string(path) +
               "\", line 0, column 0\n   Message: the file cannot be read\n");
        return false;
    }
    return parse(bytes.c_str(), static_cast<std::size_t>(bytes.getLength()), uString(path), path,
                 doNamespaces, doSchema, fullSchemaChecking, createEntityReferenceNodes);
}

bool uXmlDocument::load(const char16_t* path, bool doNamespaces, bool doSchema, bool fullSchemaChecking,
                        bool createEntityReferenceNodes)
{
    if (!path)
    {
        releaseDocument();
        return false;
    }
    uString utf8(path);
    return load(utf8.c_str(), doNamespaces, doSchema, fullSchemaChecking, createEntityReferenceNodes);
}

bool uXmlDocument::loadXml(const char* text, bool doNamespaces, bool doSchema, bool fullSchemaChecking,
                           bool createEntityReferenceNodes)
{
    releaseDocument();
    m_errorText.setEmpty();
    if (!text)
        return false;
    return parse(text, std::strlen(text), uString("memBufInfo"), text, doNamespaces, doSchema,
                 fullSchemaChecking, createEntityReferenceNodes);
}

bool uXmlDocument::save(const char* path, unsigned permissions)
{
    m_errorText.setEmpty();
    if (!path || !*path || !m_document)
        return false;
    DOMImplementation* implementation = DOMImplementationRegistry::getDOMImplementation(u"LS");
    if (!implementation)
    {
        report("Requested implementation is not supported\n");
        return false;
    }
    uDomErrorHandler errors;
    MemBufFormatTarget target;
    DOMLSSerializer* writer = nullptr;
    DOMLSOutput* output = nullptr;
    bool written = false;
    try
    {
        writer = implementation->createLSSerializer(XMLPlatformUtils::fgMemoryManager);
        DOMConfiguration* config = writer->getDomConfig();
        config->setParameter(XMLUni::fgDOMErrorHandler, static_cast<DOMErrorHandler*>(&errors));
        const std::pair<const XMLCh*, bool> features[] = {
            {XMLUni::fgDOMWRTSplitCdataSections, true},
            {XMLUni::fgDOMWRTDiscardDefaultContent, true},
            {XMLUni::fgDOMWRTFormatPrettyPrint, true},
            {XMLUni::fgDOMWRTBOM, false},
        };
        for (const auto& [name, value] : features)
            if (config->canSetParameter(name, value))
                config->setParameter(name, value);
        output = implementation->createLSOutput(XMLPlatformUtils::fgMemoryManager);
        output->setByteStream(&target);
        written = writer->write(m_document, output);
    }
    catch (const OutOfMemoryException&)
    {
        report("OutOfMemoryException\n");
    }
    catch (const XMLException& exception)
    {
        report("An error occurred during creation of output transcoder. Msg is:\n" +
               xmldiag::Utf8(exception.getMessage()) + "\n");
    }
    catch (const DOMException& exception)
    {
        report("DOMException code is:  " + std::to_string(exception.code) + "\n");
    }
    m_errorText += errors.getReport();
    if (output)
        output->release();
    if (writer)
        writer->release();
    if (!written)
        return false;
    uFile file(path, uFile::kModeWrite);
    return file.replaceContents(target.getRawBuffer(), target.getLen(), permissions);
}

bool uXmlDocument::save(const char16_t* path, unsigned permissions)
{
    if (!path)
        return false;
    uString utf8(path);
    return save(utf8.c_str(), permissions);
}
