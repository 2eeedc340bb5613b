#include "feeds/PageUrl.h"

#include "foundation/uUrl.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace pageurl
{

namespace
{

// Index of the first of "?" or "#" at or after `from`, or the length.
int EndOfPath(const uString& url, int from)
{
    for (int i = from; i < url.getLength(); ++i)
    {
        char c = url.getAt(i);
        if (c == '?' || c == '#')
            return i;
    }
    return url.getLength();
}

uString SchemeOf(const uString& siteRoot)
{
    int colon = siteRoot.findChar(':');
    return colon > 0 ? uString(siteRoot, 0, colon) : uString("http");
}

bool HasSiteRoot(const PageBase& base)
{
    return !base.siteRoot.isEmpty();
}

// A URI reference taken apart (RFC 3986, appendix B).
struct UriParts
{
    std::string scheme; // empty: none
    bool hasAuthority = false;
    std::string authority;
    std::string path;
    bool hasQuery = false;
    std::string query;
    bool hasFragment = false;
    std::string fragment;
};

bool IsSchemeChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
}

// The length of the scheme at the start of the text, 0 when there is none.
std::size_t SchemeLength(std::string_view text)
{
    if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0])))
        return 0;
    std::size_t i = 1;
    while (i < text.size() && IsSchemeChar(text[i]))
        ++i;
    return i < text.size() && text[i] == ':' ? i : 0;
}

UriParts SplitUri(std::string_view text)
{
    UriParts parts;
    if (const std::size_t scheme = SchemeLength(text))
    {
        parts.scheme = text.substr(0, scheme);
        text.remove_prefix(scheme + 1);
    }
    if (const std::size_t hash = text.find('#'); hash != std::string_view::npos)
    {
        parts.hasFragment = true;
        parts.fragment = text.substr(hash + 1);
        text = text.substr(0, hash);
    }
    if (const std::size_t question = text.find('?'); question != std::string_view::npos)
    {
        parts.hasQuery = true;
        parts.query = text.substr(question + 1);
        text = text.substr(0, question);
    }
    if (text.substr(0, 2) == "//")
    {
        text.remove_prefix(2);
        const std::size_t slash = std::min(text.find('/'), text.size());
        parts.hasAuthority = true;
        parts.authority = text.substr(0, slash);
        text.remove_prefix(slash);
    }
    parts.path = text;
    return parts;
}

// RFC 3986, section 5.2.4.
std::string RemoveDotSegments(std::string_view in)
{
    std::string out;
    const auto dropLastSegment = [&out] { out.erase(std::min(out.rfind('/'), out.size())); };
    while (!in.empty())
    {
        if (in.substr(0, 3) == "../")
            in.remove_prefix(3);
        else if (in.substr(0, 2) == "./")
            in.remove_prefix(2);
        else if (in.substr(0, 3) == "/./")
            in.remove_prefix(2);
        else if (in == "/.")
            in = "/";
        else if (in.substr(0, 4) == "/../")
        {
            in.remove_prefix(3);
            dropLastSegment();
        }
        else if (in == "/..")
        {
            in = "/";
            dropLastSegment();
        }
        else if (in == "." || in == "..")
            in = {};
        else
        {
            const std::size_t end = std::min(in.find('/', 1), in.size());
            out.append(in.substr(0, end));
            in.remove_prefix(end);
        }
    }
    return out;
}

} // namespace

uString ResolveReference(const uString& base, const uString& reference)
{
    std::string_view text(reference.c_str(), static_cast<std::size_t>(reference.getLength()));
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    const UriParts from = SplitUri(base.c_str());
    if (text.empty() || SchemeLength(text) > 0 || from.scheme.empty())
        return reference;
    const UriParts relative = SplitUri(text);
    UriParts target = from;
    if (relative.hasAuthority)
    {
        target.authority = relative.authority;
        target.path = RemoveDotSegments(relative.path);
        target.hasQuery = relative.hasQuery;
        target.query = relative.query;
    }
    else if (relative.path.empty())
    {
        if (relative.hasQuery)
            target.query = relative.query;
        target.hasQuery = target.hasQuery || relative.hasQuery;
    }
    else
    {
        if (relative.path.front() == '/')
            target.path = RemoveDotSegments(relative.path);
        else if (from.hasAuthority && from.path.empty())
            target.path = RemoveDotSegments("/" + relative.path);
        else
            target.path = RemoveDotSegments(from.path.substr(0, from.path.rfind('/') + 1) + relative.path);
        target.hasQuery = relative.hasQuery;
        target.query = relative.query;
    }
    std::string out = target.scheme + ":";
    if (target.hasAuthority || relative.hasAuthority)
        out += "//" + target.authority;
    out += target.path;
    if (target.hasQuery)
        out += "?" + target.query;
    if (relative.hasFragment)
        out += "#" + relative.fragment;
    return uString(out.c_str());
}

bool HasScheme(const uString& text)
{
    const char* start = text.c_str();
    while (*start && std::isspace(static_cast<unsigned char>(*start)))
        ++start;
    return SchemeLength(start) > 0;
}

bool SplitPageUrl(const uString& url, PageBase& base)
{
    base = PageBase();
    int scheme = url.find("://");
    if (scheme < 1)
        return false;
    int hostEnd = url.getLength();
    for (int i = scheme + 3; i < url.getLength(); ++i)
    {
        char c = url.getAt(i);
        if (c == '/' || c == '?' || c == '#')
        {
            hostEnd = i;
            break;
        }
    }
    base.siteRoot = uString(url, 0, hostEnd);

    // The directory is cut from the path alone: a "/" inside the query names no folder.
    int pathEnd = EndOfPath(url, hostEnd);
    int lastSlash = -1;
    for (int i = hostEnd; i < pathEnd; ++i)
    {
        if (url.getAt(i) == '/')
            lastSlash = i;
    }
    base.directory = lastSlash < 0 ? base.siteRoot + "/" : uString(url, 0, lastSlash + 1);

    int fragment = url.findChar('#');
    base.document = fragment < 0 ? url : uString(url, 0, fragment);
    return true;
}

void TakePageBase(const uString& pageUrl, uString& siteRoot, uString& directory)
{
    PageBase base;
    if (SplitPageUrl(pageUrl, base))
    {
        siteRoot = base.siteRoot;
        directory = base.directory;
    }
    else
    {
        directory.setEmpty();
    }
}

uString ResolveLink(const PageBase& base, const uString& link)
{
    if (link.startsWith("//"))
        return HasSiteRoot(base) ? SchemeOf(base.siteRoot) + ":" + link : link;
    if (link.startsWith("/"))
        return base.siteRoot + link;
    int length = link.getLength();
    if ((length > 4 && link.getAt(4) == ':') || (length > 5 && link.getAt(5) == '/') ||
        (length > 6 && link.getAt(6) == '/'))
        return link;
    return base.directory + link;
}

uString ResolveAction(const PageBase& base, const uString& action)
{
    if (action.startsWith("//"))
        return HasSiteRoot(base) ? SchemeOf(base.siteRoot) + ":" + action : action;
    if (action.startsWith("/"))
        return base.siteRoot + action;
    if (action.contains("://"))
        return action;
    if (action.isEmpty())
        return base.document;
    if (action.startsWith("?"))
        return uString(base.document, 0, EndOfPath(base.document, 0)) + action;
    return base.directory + action;
}

bool SameOrigin(const uString& a, const uString& b)
{
    if (a.find("://") < 1 || b.find("://") < 1)
        return false;
    return ExtractScheme(a).equalsNoCase(ExtractScheme(b)) && ExtractHost(a).equalsNoCase(ExtractHost(b)) &&
           ExtractPort(a) == ExtractPort(b);
}

} // namespace pageurl
