#include "mainwindow/ItemPage.h"

#include "StringTable.h"
#include "feeds/LibraryFiles.h"
#include "foundation/uAscii.h"
#include "foundation/uHtmlEntities.h"
#include "mainwindow/HtmlCtrlPolicy.h"

#include <cstring>
#include <string_view>

namespace itempage
{
namespace
{
// The texts of the shipped templates' links.
constexpr int kTemplateTexts[] = {3104, 3105, 3106, 3107};

constexpr const char* kPageFormat =
    "<html><head><meta content=\"text/html;charset=utf-8\" "
    "http-equiv=\"Content-Type\"><title>%s</title></head><body>%s</body></html>";

bool HasScheme(const uString& link, std::initializer_list<std::string_view> schemes)
{
    std::string_view text(link.c_str(), static_cast<std::size_t>(link.getLength()));
    for (std::string_view scheme : schemes)
    {
        if (StartsWithNoCase(text, scheme))
            return true;
    }
    return false;
}

bool AllDigits(const uString& text)
{
    if (text.isEmpty())
        return false;
    for (const char* p = text.c_str(); *p != '\0'; ++p)
    {
        if (*p < '0' || *p > '9')
            return false;
    }
    return true;
}

uString Page(const uString& escapedTitle, const uString& body)
{
    uString page;
    page.format(kPageFormat, escapedTitle.c_str(), body.c_str());
    return page;
}

// The local file's full path: under the configured library when it is
// there, else under the start-up library; never outside the two. Empty when
// it resolves inside neither.
uString LocalEnclosurePath(const uString& file, const uFile& libraryDir, const uFile& defaultLibraryDir)
{
    uString configured, startup;
    bool inConfigured = feeds::ResolveInside(libraryDir, file, configured);
    if (inConfigured && uFile(configured.c_str()).exists())
        return configured;
    if (feeds::ResolveInside(defaultLibraryDir, file, startup))
        return startup;
    return inConfigured ? configured : uString();
}
} // namespace

const char* TemplateName(int kind)
{
    switch (kind)
    {
    case 1:
        return "audio.template";
    case 2:
    case 6:
        return "video.template";
    case 3:
    case 5:
        return "cdrom.template";
    default:
        return "news.template";
    }
}

uString HtmlEscape(const uString& text)
{
    return uString(html::EscapeText(text.c_str()).c_str());
}

bool IsSafeLink(const uString& link)
{
    return IsNetworkLink(link) || HasScheme(link, {"file://"});
}

bool IsNetworkLink(const uString& link)
{
    return HasScheme(link, {"http://", "https://", "ftp://"});
}

bool IsSafeEnclosureLink(const uString& link)
{
    // The pane's own scheme reaches only the files the program allowed for
    // the page, whoever wrote the address.
    return IsSafeLink(link) || HasScheme(link, {"rtsp://", "mms://", "kestrova://file/"});
}

uString FileUri(const uString& path)
{
    static const char kHex[] = "0123456789ABCDEF";
    uString uri("file://");
    for (const char* p = path.c_str(); *p != '\0'; ++p)
    {
        unsigned char c = static_cast<unsigned char>(*p);
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '.' || c == '_' || c == '~' || c == '/';
        if (plain)
        {
            uri += static_cast<char>(c);
        }
        else
        {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

const char* PagePolicyMeta()
{
    return "<meta http-equiv=\"Content-Security-Policy\" content=\"script-src 'none'\">";
}

uString WithPagePolicy(const uString& html)
{
    std::string_view text(html.c_str(), static_cast<std::size_t>(html.getLength()));
    std::size_t start = 0;
    while (start < text.size() &&
           (text[start] == ' ' || text[start] == '\t' || text[start] == '\r' || text[start] == '\n'))
        ++start;
    std::size_t insertAt = 0;
    if (StartsWithNoCase(text.substr(start), "<!doctype"))
    {
        std::size_t end = text.find('>', start);
        insertAt = end == std::string_view::npos ? text.size() : end + 1;
    }
    uString page;
    page.append(html.c_str(), 0, static_cast<int>(insertAt));
    page += PagePolicyMeta();
    page.append(html.c_str(), static_cast<int>(insertAt), html.getLength() - static_cast<int>(insertAt));
    return page;
}

uString FillTemplate(const uString& templateText, const Fields& fields)
{
    const uString title = HtmlEscape(fields.title);
    const uString link = IsSafeLink(fields.link) ? HtmlEscape(fields.link) : uString();
    const uString enclosure =
        IsSafeEnclosureLink(fields.enclosure) ? HtmlEscape(fields.enclosure) : uString();
    struct Placeholder
    {
        std::string_view name;
        const uString& value;
    };
    const Placeholder placeholders[] = {
        {"##title##", title},
        {"##description##", fields.description},
        {"##enclosure##", enclosure},
        {"##link##", link},
    };

    std::string_view text(templateText.c_str(), static_cast<std::size_t>(templateText.getLength()));
    uString page;
    page.reserve(templateText.getLength() + fields.description.getLength() + 256);
    std::size_t copied = 0;
    std::size_t at = text.find("##");
    while (at != std::string_view::npos)
    {
        const Placeholder* match = nullptr;
        for (const Placeholder& placeholder : placeholders)
        {
            if (text.compare(at, placeholder.name.size(), placeholder.name) == 0)
            {
                match = &placeholder;
                break;
            }
        }
        if (match == nullptr)
        {
            at = text.find("##", at + 1);
            continue;
        }
        page.append(text.data(), static_cast<int>(copied), static_cast<int>(at - copied));
        page += match->value;
        copied = at + match->name.size();
        at = text.find("##", copied);
    }
    page.append(text.data(), static_cast<int>(copied), static_cast<int>(text.size() - copied));
    return page;
}

uString FallbackPage(const uString& title, const uString& description)
{
    return Page(HtmlEscape(title), description);
}

uString ChannelImagePage(const CChannelRecord& channel)
{
    if (channel.imageLink.isEmpty() || channel.imageUrl.isEmpty())
        return uString();
    if (!IsSafeLink(channel.imageLink) || !IsSafeLink(channel.imageUrl))
        return uString();
    const bool hasTitle = !channel.imageTitle.isEmpty();
    const bool hasWidth = AllDigits(channel.imageWidth);
    const bool hasHeight = AllDigits(channel.imageHeight);
    uString block;
    block.format("<center><a %s%s%s href=\"%s\"><img src=\"%s\" border=0%s%s%s%s></a></center>\n",
                 hasTitle ? "alt=\"" : "", hasTitle ? HtmlEscape(channel.imageTitle).c_str() : "",
                 hasTitle ? "\"" : "", HtmlEscape(channel.imageLink).c_str(),
                 HtmlEscape(channel.imageUrl).c_str(), hasWidth ? " width=" : "",
                 hasWidth ? channel.imageWidth.c_str() : "", hasHeight ? " height=" : "",
                 hasHeight ? channel.imageHeight.c_str() : "");
    return Page(HtmlEscape(channel.title), block);
}

uString EnclosureReference(const CItemRecord& item, int kind, const uFile& libraryDir,
                           const uFile& defaultLibraryDir, uString* localPath)
{
    if (item.enclosureFile.isEmpty())
        return item.enclosureLink;
    uString path = LocalEnclosurePath(item.enclosureFile, libraryDir, defaultLibraryDir);
    if (path.isEmpty())
        return item.enclosureLink;
    if (kind == 3)
    {
        uString folder;
        if (uFile(path.c_str()).getDirectory(folder))
            path = folder;
    }
    if (localPath != nullptr)
        *localPath = path;
    // Through the program's scheme: the page may reach this file and no other.
    return htmlctrl::PageFileUrl(path);
}

bool ReadTemplate(const uString& templateDir, int kind, uString& text)
{
    text.setEmpty();
    uFile file(templateDir.c_str(), TemplateName(kind), uFile::kModeRead);
    if (!file.open())
        return false;
    bool read = file.readAll(text);
    file.close();
    return read;
}

namespace
{
// The shipped links' texts in the interface language.
uString TranslateTemplate(const uString& templateText)
{
    std::string text = templateText.c_str();
    for (int id : kTemplateTexts)
    {
        const std::string_view english = resources::OriginalString(id);
        const std::string_view translated = resources::FindString(id);
        if (translated == english)
            continue;
        // Only a whole element text: the same words inside a sentence of
        // the user's stay.
        const std::string from = ">" + std::string(english) + "<";
        const std::string to =
            std::string(">") + HtmlEscape(uString(std::string(translated).c_str())).c_str() + "<";
        for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
    }
    return uString(text.c_str());
}
} // namespace

uString RenderItem(const uString& templateDir, int kind, const Fields& fields)
{
    uString templateText;
    if (!ReadTemplate(templateDir, kind, templateText))
        return FallbackPage(fields.title, fields.description);
    return FillTemplate(TranslateTemplate(templateText), fields);
}
} // namespace itempage
