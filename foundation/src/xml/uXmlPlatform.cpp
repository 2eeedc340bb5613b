#include "XmlDiagnostics.h"
#include "foundation/uXml.h"

#include <mutex>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLNetAccessor.hpp>

namespace
{

// Initialize and Terminate are not thread-safe, so the count and the calls
// share one lock.
std::mutex guardLock;
int guardCount = 0;

bool acquire()
{
    std::lock_guard<std::mutex> lock(guardLock);
    if (guardCount == 0)
    {
        try
        {
            xercesc::XMLPlatformUtils::Initialize();
        }
        catch (const xercesc::XMLException& exception)
        {
            xmldiag::Print("Error during Xerces-c Initialization.\n  Exception message:" +
                           xmldiag::Utf8(exception.getMessage()) + "\n");
            return false;
        }
        // Nothing in the program fetches XML over the network; without an
        // accessor the library cannot, whatever a document asks for.
        delete xercesc::XMLPlatformUtils::fgNetAccessor;
        xercesc::XMLPlatformUtils::fgNetAccessor = nullptr;
    }
    ++guardCount;
    return true;
}

void releaseGuard()
{
    std::lock_guard<std::mutex> lock(guardLock);
    if (--guardCount == 0)
        xercesc::XMLPlatformUtils::Terminate();
}

} // namespace

uXmlPlatform::uXmlPlatform() : m_counted(acquire()) {}

uXmlPlatform::uXmlPlatform(const uXmlPlatform&) : m_counted(acquire()) {}

uXmlPlatform::~uXmlPlatform()
{
    if (m_counted)
        releaseGuard();
}
