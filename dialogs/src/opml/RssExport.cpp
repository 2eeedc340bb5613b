#include "dialogs/RssExport.h"

#include "StringTable.h"
#include "dialogs/Opml.h"
#include "dialogs/SubscriptionLogic.h"
#include "foundation/uXml.h"

#include <algorithm>
#include <string>

using namespace xercesc;

namespace rssexport
{
namespace
{
constexpr int kPageFilterName = 3097;
constexpr int kFeedFilterName = 3098;
constexpr int kOutlineFilterName = 3099;

void AppendText(uXmlDocument& xml, DOMElement* parent, const XMLCh* name, const uString& text)
{
    if (text.isEmpty())
        return;
    DOMElement* element = xml.createElement(name);
    if (element == nullptr)
        return;
    uXmlString value(opml::XmlSafe(text).c_str());
    element->appendChild(xml.createTextNode(value.get()));
    parent->appendChild(element);
}

void AppendItem(uXmlDocument& xml, DOMElement* channel, const CItemRecord& item)
{
    DOMElement* element = xml.createElement(u"item");
    if (element == nullptr)
        return;
    channel->appendChild(element);
    AppendText(xml, element, u"title", item.title);
    AppendText(xml, element, u"link", item.link);
    AppendText(xml, element, u"author", item.author);
    const uString& description = !item.description.isEmpty() ? item.description
                                 : !item.content.isEmpty()   ? item.content
                                                             : item.subject;
    AppendText(xml, element, u"description", description);
    AppendText(xml, element, u"pubDate", item.pubDate);
    if (item.enclosureLink.isEmpty())
        return;
    DOMElement* enclosure = xml.createElement(u"enclosure");
    if (enclosure == nullptr)
        return;
    const struct
    {
        const XMLCh* name;
        const uString& value;
    } attributes[] = {
        {u"url", item.enclosureLink}, {u"length", item.enclosureLength}, {u"type", item.enclosureType}};
    for (const auto& attribute : attributes)
    {
        if (attribute.value.isEmpty())
            continue;
        uXmlString value(opml::XmlSafe(attribute.value).c_str());
        enclosure->setAttribute(attribute.name, value.get());
    }
    element->appendChild(enclosure);
}
} // namespace

bool WriteItems(const std::vector<CItemRecord>& items, const char* path)
{
    uXmlDocument xml(u"rss", nullptr, nullptr);
    DOMElement* root = xml.getDocumentElement();
    DOMElement* channel = root != nullptr ? xml.createElement(u"channel") : nullptr;
    if (channel == nullptr)
        return false;
    // RSS readers look for the version; our own parser reads either way.
    root->setAttribute(u"version", u"2.0");
    root->appendChild(channel);
    AppendText(xml, channel, u"title", uString(kChannelTitle));
    AppendText(xml, channel, u"link", uString(kProductWebAddress));
    AppendText(xml, channel, u"description", uString(kChannelDescription));
    AppendText(xml, channel, u"copyright", uString(kProductWebAddress));
    AppendText(xml, channel, u"generator", uString(kGenerator));
    for (const CItemRecord& item : items)
        AppendItem(xml, channel, item);
    return xml.save(path);
}

SaveChoices OfferedChoices(bool hasPage, bool hasItems, bool branchSelected)
{
    SaveChoices choices;
    std::string filter;
    // The name in the interface language, the patterns as they are.
    auto offer = [&](bool offered, int name, const char* patterns, const char* extension)
    {
        if (!offered)
            return;
        if (!filter.empty())
            filter += "|";
        filter += resources::FindString(name);
        filter += patterns;
        choices.extensions.emplace_back(extension);
    };
    offer(hasPage, kPageFilterName, "|*.htm;*.html", "htm");
    offer(hasItems, kFeedFilterName, "|*.rss", "rss");
    offer(branchSelected, kOutlineFilterName, "|*.opml", "opml");
    choices.filter = filter.c_str();
    return choices;
}

SaveAction ActionForPath(const uString& path)
{
    std::string text = path.c_str();
    std::size_t slash = text.rfind('/');
    std::size_t dot = text.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return SaveAction::kNothing;
    std::string extension = text.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    // ".html" too: the filter offers it, and a name it offers must not save nothing in silence.
    if (extension == "htm" || extension == "html")
        return SaveAction::kPage;
    if (extension == "rss")
        return SaveAction::kRss;
    if (extension == "opml")
        return SaveAction::kOpml;
    return SaveAction::kNothing;
}

SaveAction ActionForSave(const uString& path, const SaveChoices& choices, int filterIndex)
{
    std::vector<SaveAction> offered;
    for (const uString& extension : choices.extensions)
        offered.push_back(ActionForPath(uString(("." + std::string(extension.c_str())).c_str())));
    SaveAction byName = ActionForPath(path);
    if (std::find(offered.begin(), offered.end(), byName) != offered.end())
        return byName;
    if (offered.empty())
        return SaveAction::kNothing;
    bool known = filterIndex >= 0 && static_cast<std::size_t>(filterIndex) < offered.size();
    return offered[known ? static_cast<std::size_t>(filterIndex) : 0];
}

uString EscapeAsSource(const uString& text)
{
    std::string out = "<pre>\n";
    for (const char* p = text.c_str(); *p != '\0'; ++p)
    {
        switch (*p)
        {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += *p;
        }
    }
    out += "\n</pre>";
    return uString(out.c_str());
}
} // namespace rssexport
