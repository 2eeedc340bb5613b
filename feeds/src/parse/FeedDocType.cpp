#include "feeds/FeedDocType.h"

#include "foundation/uXml.h"

#include <cctype>
#include <string>

namespace
{

const char* const kHtmlMarkers[] = {"<html", "</html>", "<title>", "</title>", "<body", "</body>"};
constexpr int kMarkerCount = sizeof kHtmlMarkers / sizeof kHtmlMarkers[0];
constexpr std::size_t kLongestMarker = 7;

} // namespace

CFeedDocType::CFeedDocType(const uFile& file, const uString& url) : m_url(url)
{
    ClassifyXml(file);
    if (m_kind == kUndecided)
        ClassifyHtml(file);
    if (m_kind == kUndecided)
        m_kind = kOther;
}

CFeedDocType::~CFeedDocType() = default;

void CFeedDocType::ClassifyXml(const uFile& file)
{
    uXmlDocument document;
    if (!document.load(file.getPath().c_str(), /*doNamespaces=*/true, /*doSchema=*/true,
                       /*fullSchemaChecking=*/false, /*createEntityReferenceNodes=*/false))
        return;
    xercesc::DOMElement* root = document.getDocumentElement();
    if (!root)
        return;
    uString name(root->getNodeName());
    if (name.equalsNoCase("rss"))
    {
        m_kind = kRss;
    }
    else if (name.equalsNoCase("opml"))
    {
        m_kind = kOpml;
    }
    else if (name.equalsNoCase("redirect"))
    {
        xercesc::DOMNode* first = root->getFirstChild();
        if (!first || uString(first->getNodeName()) != "newLocation")
            return;
        uString location(first->getTextContent());
        location.trim();
        // A document that sends its reader back to itself would be followed for ever.
        if (location.isEmpty() || location == m_url)
            return;
        m_url = location;
        m_kind = kRedirect;
    }
}

// A web page has all six markers. The file is scanned in pieces, each
// overlapping the last by a marker's length, so a large download is never
// held in memory whole.
void CFeedDocType::ClassifyHtml(const uFile& file)
{
    uFile input(file.getPath().c_str());
    if (!input.open())
        return;
    bool found[kMarkerCount] = {};
    int foundCount = 0;
    std::string window;
    char buffer[64 * 1024];
    while (foundCount < kMarkerCount)
    {
        uint32_t count = sizeof buffer;
        if (!input.read(buffer, &count) || count == uFile::kEndOfFile)
            break;
        for (uint32_t i = 0; i < count; ++i)
            window += static_cast<char>(std::tolower(static_cast<unsigned char>(buffer[i])));
        for (int i = 0; i < kMarkerCount; ++i)
        {
            if (!found[i] && window.find(kHtmlMarkers[i]) != std::string::npos)
            {
                found[i] = true;
                ++foundCount;
            }
        }
        if (window.size() > kLongestMarker - 1)
            window.erase(0, window.size() - (kLongestMarker - 1));
    }
    input.close();
    if (foundCount == kMarkerCount)
        m_kind = kWebPage;
}
