#pragma once

#include <string>
#include <xercesc/util/XercesDefs.hpp>

// Helpers shared by the XML layer's sources for its standard-error reports.
namespace xmldiag
{

// UTF-8 of a library text for printing; "" for null.
std::string Utf8(const XMLCh* text);

// Prints the text and flushes standard error.
void Print(const std::string& text);

// "OutOfMemoryException", "DOMException code is:  N" and the like, each
// followed by a newline.
void PrintOutOfMemory();
void PrintDomExceptionCode(int code);

} // namespace xmldiag
