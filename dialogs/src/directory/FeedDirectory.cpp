#include "dialogs/FeedDirectory.h"

#include "dialogs/Opml.h"
#include "feeds/FeedAddress.h"
#include "feeds/LibraryFiles.h"
#include "foundation/uFile.h"
#include "foundation/uTranslation.h"
#include "foundation/uXml.h"

#include <sys/stat.h>

using namespace xercesc;

namespace feeddirectory
{
namespace
{
// The caption of a document with a title: this text in the interface
// language, " : " and the title.
constexpr const char* kCaptionTitle = "Feeds Directory";

bool NameIs(const DOMNode* node, const XMLCh* name)
{
    return node->getNodeType() == DOMNode::ELEMENT_NODE &&
           XMLString::compareIString(node->getNodeName(), name) == 0;
}

uString Attribute(const DOMElement* element, const XMLCh* name)
{
    return uString(element->getAttribute(name));
}

void FindEntries(const DOMNode* node, std::vector<Entry>& entries)
{
    if (node->getNodeType() == DOMNode::ELEMENT_NODE && XMLString::equals(node->getNodeName(), u"directory"))
    {
        const auto* element = static_cast<const DOMElement*>(node);
        Entry entry{Attribute(element, u"name"), Attribute(element, u"url"),
                    Attribute(element, u"status").equalsNoCase("expand")};
        if (!entry.name.isEmpty() && !entry.url.isEmpty())
            entries.push_back(entry);
    }
    for (const DOMNode* child = node->getFirstChild(); child != nullptr; child = child->getNextSibling())
        FindEntries(child, entries);
}

uString TrimEnd(const uString& text)
{
    std::string value = text.c_str();
    std::size_t last = value.find_last_not_of(" \t\r\n");
    return uString(last == std::string::npos ? "" : value.substr(0, last + 1).c_str());
}

void AddOutlines(const DOMNode* node, std::vector<Node>& into, Listing& listing)
{
    for (const DOMNode* child = node->getFirstChild(); child != nullptr; child = child->getNextSibling())
    {
        std::vector<Node>* parent = &into;
        if (NameIs(child, u"title"))
        {
            uString text(child->getTextContent());
            if (!text.isEmpty())
                listing.caption = uString(std::string(uTr(kCaptionTitle)).c_str()) + " : " + TrimEnd(text);
        }
        else if (NameIs(child, u"outline"))
        {
            const auto* element = static_cast<const DOMElement*>(child);
            uString label = Attribute(element, u"text");
            if (label.isEmpty())
                label = Attribute(element, u"title");
            if (label.isEmpty())
                label = Attribute(element, u"description");
            uString type = Attribute(element, u"type");
            uString url;
            if (type.equalsNoCase("link"))
                url = Attribute(element, u"url");
            else if (type.equalsNoCase("rss"))
                url = Attribute(element, u"xmlUrl");
            // Listing an address subscribes nothing: the directory shows what
            // its document names, and subscribing refuses what is no feed.
            uString address = url.isEmpty() ? url : feeds::FeedAddress(url);
            if (address.isEmpty())
                address = url;
            if (!label.isEmpty())
            {
                into.push_back(Node{opml::DecodeEntitiesOnce(label), address, {}});
                parent = &into.back().children;
            }
        }
        AddOutlines(child, *parent, listing);
    }
}

const DOMElement* FirstTitle(const DOMNode* node)
{
    for (const DOMNode* child = node->getFirstChild(); child != nullptr; child = child->getNextSibling())
    {
        if (NameIs(child, u"title"))
            return static_cast<const DOMElement*>(child);
        if (const DOMElement* found = FirstTitle(child))
            return found;
    }
    return nullptr;
}
} // namespace

bool ReadFile(const char* path, std::vector<Entry>& entries)
{
    entries.clear();
    uXmlDocument xml;
    if (!xml.load(path, false, false, false, false) || xml.getDocumentElement() == nullptr)
        return false;
    FindEntries(xml.getDocumentElement(), entries);
    return true;
}

bool WriteFile(const char* path, const std::vector<Entry>& entries)
{
    uXmlDocument xml(u"KestDirectory", nullptr, nullptr);
    DOMElement* root = xml.getDocumentElement();
    if (root == nullptr)
        return false;
    for (const Entry& entry : entries)
    {
        DOMElement* element = xml.createElement(u"directory");
        if (element == nullptr)
            return false;
        uXmlString name(opml::XmlSafe(entry.name).c_str());
        uXmlString url(opml::XmlSafe(entry.url).c_str());
        element->setAttribute(u"name", name.get());
        element->setAttribute(u"url", url.get());
        if (entry.expanded)
            element->setAttribute(u"status", u"expand");
        root->appendChild(element);
    }
    xml.setStandalone(true);
    return xml.save(path);
}

uString CachePath(const uString& cacheFolder, const uString& url)
{
    return uFile(cacheFolder.c_str(), feeds::Md5Hex(url).c_str()).getPath();
}

bool IsFresh(const char* path, std::time_t now)
{
    struct stat info
    {
    };
    if (stat(path, &info) != 0)
        return false;
    double age = std::difftime(now, info.st_mtime);
    return age >= 0 && age <= kCacheSeconds;
}

Listing ReadListing(const char* path)
{
    Listing listing;
    struct stat info
    {
    };
    if (stat(path, &info) != 0 || info.st_size > opml::kMaxFileBytes)
    {
        listing.error = kCannotLoad;
        return listing;
    }
    uXmlDocument xml;
    bool loaded = xml.load(path, false, false, false, false);
    const DOMElement* root = loaded ? xml.getDocumentElement() : nullptr;
    // A directory never needs a document type; a damaged one is not shown in part.
    if (root == nullptr || xml.getDocument()->getDoctype() != nullptr || xml.isPartial())
    {
        listing.error = kCannotLoad;
        return listing;
    }
    if (XMLString::compareIString(root->getTagName(), u"opml") != 0)
    {
        listing.error = kNotADirectory;
        return listing;
    }
    if (const DOMElement* title = FirstTitle(xml.getDocument()))
        listing.firstTitle = uString(title->getTextContent());
    AddOutlines(xml.getDocument(), listing.nodes, listing);
    return listing;
}
} // namespace feeddirectory
