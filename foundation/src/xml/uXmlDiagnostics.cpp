#include "XmlDiagnostics.h"
#include "foundation/uXml.h"

#include <cstdio>
#include <xercesc/sax/SAXParseException.hpp>

namespace xmldiag
{

std::string Utf8(const XMLCh* text)
{
    if (!text)
        return std::string();
    uString converted(text);
    return std::string(converted.c_str(), static_cast<std::size_t>(converted.getLength()));
}

void Print(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void PrintOutOfMemory()
{
    Print("OutOfMemoryException\n");
}

void PrintDomExceptionCode(int code)
{
    Print("DOMException code is:  " + std::to_string(code) + "\n");
}

} // namespace xmldiag

namespace
{

std::string parseReport(const char* kind, const xercesc::SAXParseException& exception)
{
    // Line and column are 64-bit in this library version.
    return std::string(kind) + " at file \"" + xmldiag::Utf8(exception.getSystemId()) + "\", line " +
           std::to_string(static_cast<unsigned long long>(exception.getLineNumber())) + ", column " +
           std::to_string(static_cast<unsigned long long>(exception.getColumnNumber())) +
           "\n   Message: " + xmldiag::Utf8(exception.getMessage()) + "\n";
}

void add(uString& report, const std::string& text)
{
    report.appendBytes(text.data(), text.size());
}

} // namespace

void uXmlErrorHandler::warning(const xercesc::SAXParseException&) {}

void uXmlErrorHandler::error(const xercesc::SAXParseException& exception)
{
    m_sawErrors = true;
    add(m_report, parseReport("Error", exception));
}

void uXmlErrorHandler::fatalError(const xercesc::SAXParseException& exception)
{
    m_sawErrors = true;
    m_sawFatalErrors = true;
    add(m_report, parseReport("Fatal Error", exception));
}

void uXmlErrorHandler::resetErrors()
{
    m_sawErrors = m_sawFatalErrors = false;
    m_report.setEmpty();
}

bool uDomErrorHandler::handleError(const xercesc::DOMError& error)
{
    const char* kind;
    switch (error.getSeverity())
    {
    case xercesc::DOMError::DOM_SEVERITY_WARNING:
        kind = "\nWarning Message: ";
        break;
    case xercesc::DOMError::DOM_SEVERITY_ERROR:
        kind = "\nError Message: ";
        break;
    default:
        kind = "\nFatal Message: ";
        break;
    }
    add(m_report, kind + xmldiag::Utf8(error.getMessage()) + "\n");
    return true;
}

uXmlString::uXmlString(const char* text)
{
    if (!text)
        return;
    m_text.assign(text);
    // The wide copy belongs to m_text and stays valid as long as it is untouched.
    m_wide = m_text.getWide();
}

uXmlString::uXmlString(const XMLCh* text)
{
    if (!text)
        return;
    m_text = uString(text);
    m_hasText = true;
}

const char* uXmlString::getText() const
{
    return m_hasText ? m_text.c_str() : nullptr;
}
